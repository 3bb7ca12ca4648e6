// Polynomials as users write them: the term table each gives, in the order
// the solver sums it, or the column each error points at.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/polynomial.h"
#include "examples/duobasin.h"
#include "examples/quadbasin.h"

namespace basin {
namespace {

struct Case {
  const char* text;
  std::vector<Term> table;  // empty for an error
  int column;               // of the error
};

const Case CASES[] = {
    {"z^3 - 1", {{1, 3}, {-1, 0}}, 0},
    {"z^3 - 2z + 2", {{1, 3}, {-2, 1}, {2, 0}}, 0},
    {"-0.5z^4 + z^2 - 0.25", {{-0.5f, 4}, {1, 2}, {-0.25f, 0}}, 0},
    {"2*z^5 + 1", {{2, 5}, {1, 0}}, 0},
    {" 1 -\tz ^ 2 ", {{-1, 2}, {1, 0}}, 0},  // the constant goes last
    {"3 * z", {{3, 1}, {0, 0}}, 0},          // a zero constant is added
    {"z^0 + z^2", {{1, 2}, {1, 0}}, 0},
    {"- z + 1e3z^2 - .5", {{-1, 1}, {1000, 2}, {-0.5f, 0}}, 0},
    {"0.1z^18 + z^02", {{0.1f, 18}, {1, 2}, {0, 0}}, 0},
    // The float nearest; through double the decimal would round to the tie
    // 1 + 2^-24 first, and from there to 1.
    {"1.0000000596046447753906251z - 1", {{1.00000012f, 1}, {-1, 0}}, 0},
    {"", {}, 1},
    {"   ", {}, 4},
    {"+", {}, 2},
    {"z^3 + z^3", {}, 7},
    {"z^2 - 1 + 2", {}, 11},
    {"  -5", {}, 3},
    {"z^0", {}, 1},
    {"z^19 - 1", {}, 3},
    {"z^019", {}, 3},
    {"2z3", {}, 3},
    {"z^-1", {}, 3},
    {"z^2.5", {}, 4},
    {"z^", {}, 3},
    {"Z^2 - 1", {}, 1},
    {"2x + 1", {}, 2},
    {"z^2 - 1 )", {}, 9},
    {"z^2 -", {}, 6},
    {"z^2 - - 1", {}, 7},
    {"2*3", {}, 3},
    {".z", {}, 2},
    {"2e+z", {}, 4},
    {"2^3", {}, 2},
    {"z + 0z^2", {}, 5},
    {"1e39z", {}, 1},
    {".z", {}, 2},
    {"2e+z", {}, 4},
    {"z\n", {}, 2},
};

TEST(Polynomial, TablesAndErrorColumns) {
  for (const Case& c : CASES) {
    SCOPED_TRACE(c.text);
    Polynomial p;
    PolynomialError error{0, ""};
    const bool ok = parsePolynomial(c.text, &p, &error);
    ASSERT_EQ(ok, !c.table.empty()) << describeError(c.text, error);
    if (!ok) {
      EXPECT_EQ(error.column, c.column) << error.message;
      continue;
    }
    ASSERT_EQ(p.terms, int(c.table.size()));
    for (int i = 0; i < p.terms; ++i) {
      EXPECT_EQ(p.POLY[i].coefficient, c.table[i].coefficient) << "term " << i;
      EXPECT_EQ(p.POLY[i].exponent, c.table[i].exponent) << "term " << i;
    }
  }
}

TEST(Polynomial, GivesTheProgramsTables) {
  for (const auto& [text, variant] : {std::pair{"z^2 - 1", &DUOBASIN}, {"z^4 - 1", &QUADBASIN}}) {
    Polynomial p;
    ASSERT_TRUE(parsePolynomial(text, &p, nullptr));
    ASSERT_EQ(p.terms, variant->terms);
    for (int i = 0; i < MAXTERMS; ++i) {
      EXPECT_EQ(p.POLY[i].coefficient, variant->POLY[i].coefficient);
      EXPECT_EQ(p.POLY[i].exponent, variant->POLY[i].exponent);
    }
  }
}

TEST(Polynomial, EveryExponentOnceFillsTheTable) {
  std::string text = "1";
  for (int n = 1; n <= 18; ++n) text += " + z^" + std::to_string(n);
  Polynomial p;
  ASSERT_TRUE(parsePolynomial(text, &p, nullptr));
  EXPECT_EQ(p.terms, MAXTERMS);
  EXPECT_EQ(p.POLY[0].exponent, 1.0f);
  EXPECT_EQ(p.POLY[MAXTERMS - 1].exponent, 0.0f);
  PolynomialError error{0, ""};
  EXPECT_FALSE(parsePolynomial(text + " + z^7", &p, &error));
  EXPECT_EQ(error.column, int(text.size()) + 4);
}

TEST(Polynomial, ErrorLineQuotesTheTextEscaped) {
  PolynomialError error{0, ""};
  Polynomial p;
  parsePolynomial("z^3 + z^3", &p, &error);
  EXPECT_EQ(describeError("z^3 + z^3", error), "'z^3 + z^3': column 7: exponent 3 appears twice");
  const std::string text = "z\x1b[2J\n'\\";
  parsePolynomial(text, &p, &error);
  EXPECT_EQ(describeError(text, error),
            "'z\\x1b[2J\\n\\'\\\\': column 2: expected '+' or '-' before the next term, found "
            "'\\x1b'");
}

}  // namespace
}  // namespace basin
