// Polynomials as users write them: the term table each gives, in the order
// the solver sums it, or the column each error points at.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/polynomial.h"
#include "core/programs.h"
#include "core/roots.h"
#include "core/text.h"
#include "tests/support/pictures.h"
#include "viewer/rootlist.h"
#include "viewer/shot.h"

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
    {"z^2 - nan", {}, 7},  // not a finite number, as strtod would have read it
    {"Inf z", {}, 1},
};

TEST(Polynomial, TablesAndErrorColumns) {
  for (const Case& c : CASES) {
    SCOPED_TRACE(c.text);
    Terms p;
    PolynomialError error{0, ""};
    const bool ok = parsePolynomial(c.text, &p, &error);
    ASSERT_EQ(ok, !c.table.empty()) << describeError(c.text, error);
    if (!ok) {
      EXPECT_EQ(error.column, c.column) << error.message;
      continue;
    }
    ASSERT_EQ(p.count, int(c.table.size()));
    for (int i = 0; i < p.count; ++i) {
      EXPECT_EQ(p.term[i].coefficient, c.table[i].coefficient) << "term " << i;
      EXPECT_EQ(p.term[i].exponent, c.table[i].exponent) << "term " << i;
    }
  }
}

TEST(Polynomial, GivesTheProgramsTables) {
  for (const auto& [text, variant] : {std::pair{"z^2 - 1", &DUOBASIN}, {"z^4 - 1", &QUADBASIN}}) {
    Terms p;
    ASSERT_TRUE(parsePolynomial(text, &p, nullptr));
    ASSERT_EQ(p.count, variant->POLY.count);
    for (int i = 0; i < MAXTERMS; ++i) {
      EXPECT_EQ(p.term[i].coefficient, variant->POLY.term[i].coefficient);
      EXPECT_EQ(p.term[i].exponent, variant->POLY.term[i].exponent);
    }
  }
}

TEST(Polynomial, EveryExponentOnceFillsTheTable) {
  std::string text = "1";
  for (int n = 1; n <= 18; ++n) text += " + z^" + std::to_string(n);
  Terms p;
  ASSERT_TRUE(parsePolynomial(text, &p, nullptr));
  EXPECT_EQ(p.count, MAXTERMS);
  EXPECT_EQ(p.term[0].exponent, 1.0f);
  EXPECT_EQ(p.term[MAXTERMS - 1].exponent, 0.0f);
  PolynomialError error{0, ""};
  EXPECT_FALSE(parsePolynomial(text + " + z^7", &p, &error));
  EXPECT_EQ(error.column, int(text.size()) + 4);
}

TEST(Polynomial, ErrorLineQuotesTheTextEscaped) {
  PolynomialError error{0, ""};
  Terms p;
  parsePolynomial("z^3 + z^3", &p, &error);
  EXPECT_EQ(describeError("z^3 + z^3", error), "'z^3 + z^3': column 7: exponent 3 appears twice");
  const std::string text = "z\x1b[2J\n'\\";
  parsePolynomial(text, &p, &error);
  EXPECT_EQ(describeError(text, error),
            "'z\\x1b[2J\\x0a'\\': column 2: expected '+' or '-' before the next term, found "
            "'\\x1b'");
}

// Valid UTF-8 stays as typed; what only looks like it (overlong forms,
// surrogates, code points past U+10FFFF, a cut sequence) is shown byte by byte.
TEST(Polynomial, EscapedKeepsOnlyValidUtf8) {
  const struct {
    const char* text;
    const char* shown;
  } cases[] = {
      {"\xc3\xa9 \xe2\x82\xac \xf0\x9d\x84\x9e", "\xc3\xa9 \xe2\x82\xac \xf0\x9d\x84\x9e"},
      {"\xc0\xaf", "\\xc0\\xaf"},
      {"\xe0\x80\xaf", "\\xe0\\x80\\xaf"},
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"},
      {"\xf4\x90\x80\x80", "\\xf4\\x90\\x80\\x80"},
      {"\xe2\x82", "\\xe2\\x82"},
      // Invisible format characters: a byte-order mark, a zero-width space,
      // a right-to-left override, a tag.
      {"z\xef\xbb\xbf\xe2\x80\x8b\xe2\x80\xae\xf3\xa0\x80\x81",
       "z\\u{FEFF}\\u{200B}\\u{202E}\\u{E0001}"},
  };
  for (const auto& c : cases) EXPECT_EQ(escaped(c.text), c.shown) << c.shown;
}

// Tolerances as a user writes them: the whole text a positive finite
// number, each refusal with its reason; the value untouched when refused.
TEST(Polynomial, TolerancesReadAndRefused) {
  const std::pair<const char*, float> read[] = {{"1e-10", 1e-10f}, {"+2", 2}, {".5", 0.5f}};
  for (const auto& [text, expected] : read) {
    double value = -7;
    EXPECT_EQ(readTolerance(text, &value), nullptr) << text;
    EXPECT_EQ(value, expected) << text;
  }
  // With --double each is the double nearest its text, in double's range.
  const std::pair<const char*, double> wide[] = {{"1e-10", 1e-10}, {"1e39", 1e39}, {"0.1", 0.1}};
  for (const auto& [text, expected] : wide) {
    double value = -7;
    EXPECT_EQ(readTolerance(text, &value, Precision::Double), nullptr) << text;
    EXPECT_EQ(value, expected) << text;
  }
  double tiny = -7;
  EXPECT_STREQ(readTolerance("1e-400", &tiny, Precision::Double), "rounds to 0 as a double");
  const std::pair<const char*, std::vector<const char*>> refused[] = {
      {"expected a number", {"", "-", "e5", " 1", "1x", "1e", "inf", "nan"}},
      {"rounds to 0 as a float", {"1e-50"}},
      {"must be a positive number below 3.4e38", {"0", "-1e-50", "-1", "1e39"}},
  };
  for (const auto& [reason, texts] : refused)
    for (const char* text : texts) {
      double value = -7;
      EXPECT_STREQ(readTolerance(text, &value), reason) << "'" << text << "'";
      EXPECT_EQ(value, -7) << "'" << text << "'";
    }
  Terms cubic;
  ASSERT_TRUE(parsePolynomial("z^3 - 1", &cubic, nullptr));
  const float inf = INFINITY, nan = NAN;
  const struct {
    Tolerances tolerances;
    const char* starts;  // nullptr: accepted
  } checks[] = {
      {{1e-10f, 1e-8f, 0}, nullptr},    {{1e-10f, 1e-8f, 16}, nullptr},
      {{1e-10f, 1e-8f, 17}, "--extra"}, {{1e-10f, 1e-8f, -1}, "--extra"},
      {{0, 1e-8f, 1}, "--ftol"},        {{nan, 1e-8f, 1}, "--ftol"},
      {{inf, 1e-8f, 1}, "--ftol"},      {{1e-10f, -1e-8f, 1}, "--rtol"},
      {{1e-10f, nan, 1}, "--rtol"},     {{1e-10f, inf, 1}, "--rtol"},
  };
  for (const auto& c : checks) {
    const char* fault = tolerancesFault(cubic, c.tolerances);
    const std::string said = fault ? fault : "accepted";
    EXPECT_EQ(said.rfind(c.starts ? c.starts : "accepted", 0), 0u)
        << c.tolerances.FTOL << " " << c.tolerances.RTOL << " " << c.tolerances.EXTRASLOTS;
  }
}

// The parameter set of a polynomial written by the user.
Variant userVariant(const char* text, const Tolerances& tolerances = {}) {
  Terms p;
  EXPECT_TRUE(readUserPolynomial(text, &p, nullptr)) << text;
  EXPECT_EQ(tolerancesFault(p, tolerances), nullptr);
  return polynomialVariant(p, text, tolerances);
}

TEST(Polynomial, DrawsTheNamedProgramsPicturesExactly) {
  Shot shot;
  std::string error;
  ASSERT_TRUE(parseKeys("z@400,400 d c@700,150 d", &shot.keys, &error));
  const Variant duo = userVariant("z^2 - 1", Tolerances{1e-14f, 1e-10f, 0});
  const Variant quad = userVariant("z^4 - 1");
  EXPECT_TRUE(takeShot(duo, shot).rgb == takeShot(DUOBASIN, shot).rgb);
  EXPECT_TRUE(takeShot(quad, shot).rgb == takeShot(QUADBASIN, shot).rgb);
  // As the viewer prints it, for basinshot to read back.
  EXPECT_EQ(openSession(quad)->viewLine(),
            "basinshot 'z^4 - 1' --ftol 1e-10 --rtol 1e-08 --extra 1 --window -2 2 -2 2 -o "
            "view.png");
}

// A plain sum is read as parsePolynomial reads it, in its order; anything
// else is expanded and summed from the highest power down, the constant
// last. (Their refusals are basinshot's, tests/tools/test_basinshot.cpp.)
TEST(Polynomial, WrittenFormsGiveTheirTables) {
  const struct {
    const char* text;
    std::vector<Term> table;
  } cases[] = {
      {"(z-1)^3 (z+2)", {{1, 4}, {-1, 3}, {-3, 2}, {5, 1}, {-2, 0}}},
      {"z^3 + z^3", {{2, 3}, {0, 0}}},
      {"2z + z^3", {{2, 1}, {1, 3}, {0, 0}}},
      {"z (2 + z^2)", {{1, 3}, {2, 1}, {0, 0}}},
      {"-0.5i z^2 + (1+i)", {{0, 2, -0.5f}, {1, 0, 1}}},
  };
  for (const auto& c : cases) {
    Terms p;
    ASSERT_TRUE(readUserPolynomial(c.text, &p, nullptr)) << c.text;
    ASSERT_EQ(p.count, int(c.table.size())) << c.text;
    for (int i = 0; i < p.count; ++i) {
      EXPECT_EQ(p.term[i].coefficient, c.table[i].coefficient) << c.text << ", term " << i;
      EXPECT_EQ(p.term[i].imaginary, c.table[i].imaginary) << c.text << ", term " << i;
      EXPECT_EQ(p.term[i].exponent, c.table[i].exponent) << c.text << ", term " << i;
    }
  }
}

// A polynomial factored and the same expanded draw the same picture, real
// or complex, in floats and in doubles.
TEST(Polynomial, FactoredAndExpandedFormsDrawAlike) {
  const std::pair<const char*, const char*> pairs[] = {
      {"(z-1)^3 (z+2)", "z^4 - z^3 - 3z^2 + 5z - 2"},
      {"(z - 0.1)^2", "z^2 - 0.2z + 0.01"},
      {"z z z - 1", "z^3 - 1"},  // the z^N + c kernel either way
      {"(z - i)(z + i)(z - 2)", "z^3 - 2z^2 + z - 2"},
      {"2i (z^3 - 0.5i)", "1 + 2i z^3"},
  };
  for (const auto& [factored, expanded] : pairs)
    for (const Precision precision : {Precision::Float, Precision::Double}) {
      Terms a, b;
      ASSERT_TRUE(readUserPolynomial(factored, &a, nullptr, precision)) << factored;
      ASSERT_TRUE(readUserPolynomial(expanded, &b, nullptr, precision)) << expanded;
      EXPECT_TRUE(takeShot(polynomialVariant(a, factored, {}, precision), Shot{}).rgb ==
                  takeShot(polynomialVariant(b, expanded, {}, precision), Shot{}).rgb)
          << factored;
    }
}

// --relax A read as a complex constant, each part rounded once, and
// printed on the view line so that it reads back as the same A.
TEST(Polynomial, RelaxationsReadBackOnTheViewLine) {
  const std::pair<const char*, const char*> cases[] = {
      {"0.5", "0.5"}, {"-0.25i", "-0.25i"}, {"(1+i)^2 - 0.1", "-0.1+2i"}};
  for (const auto& [text, printed] : cases) {
    Variant cube = userVariant("z^3 - i");
    ASSERT_EQ(readRelaxation(text, &cube.relax), "") << text;
    EXPECT_EQ(openSession(cube)->viewLine(),
              std::string("basinshot 'z^3 - i' --ftol 1e-10 --rtol 1e-08 --extra 1 --relax ") +
                  printed + " --window -2 2 -2 2 -o view.png");
  }
}

TEST(Polynomial, TextbookCasesDrawAsExpected) {
  // z^3 - 2z + 2 from 0: 0 -> 1 -> 0 -> ..., a cycle that never converges,
  // and the start-up picture is black around the centre.
  const Variant cycle = userVariant("z^3 - 2z + 2");
  Solver solver(cycle);
  derive(solver);
  const Outcome fromZero = solve(solver, Complex{0, 0});
  EXPECT_EQ(fromZero.its, MAXITS + 1);
  EXPECT_EQ(fromZero.fault, 1);
  const Picture cyclePicture = takeShot(cycle, Shot{});
  for (const int at : {396, 399, 403})
    EXPECT_EQ(support::hue(cyclePicture.at(at, 399)), "black") << at;

  // z^3 - 1: the real axis right of 0 is all in the colour of the root 1,
  // as shaded in the cell nearest to it, (600, 399).
  const Picture cube = takeShot(userVariant("z^3 - 1"), Shot{});
  const std::uint8_t* root = cube.at(599, 399);
  for (int x = 401; x < GRID; ++x) {
    EXPECT_EQ(support::hue(cube.at(x, 399)), support::hue(root)) << x;
  }
}

// Distinct roots, each with its exact multiplicity, however close roots lie:
// a cluster from an eigenvalue solver would not tell (z - 1)^18 from 18
// roots on a circle, nor a double root from two roots 2^-22 apart.
TEST(Roots, ExactMultiplicitiesAndPositions) {
  struct Want {
    double re, im;
    int multiplicity;
  };
  const struct {
    const char* text;
    std::vector<Want> roots;
  } cases[] = {
      {"z^3", {{0, 0, 3}}},
      {"z^4 - 2z^2 + 1", {{-1, 0, 2}, {1, 0, 2}}},
      {"z^3 - 3z + 2", {{-2, 0, 1}, {1, 0, 2}}},
      {"z^6 - 6z^5 + 15z^4 - 20z^3 + 15z^2 - 6z + 1", {{1, 0, 6}}},
      {"z^18 - 18z^17 + 153z^16 - 816z^15 + 3060z^14 - 8568z^13 + 18564z^12 - 31824z^11 + "
       "43758z^10 - 48620z^9 + 43758z^8 - 31824z^7 + 18564z^6 - 8568z^5 + 3060z^4 - 816z^3 + "
       "153z^2 - 18z + 1",
       {{1, 0, 18}}},
      {"z^2 - 2.000000238418579z + 1.000000238418579", {{1.000000238418579, 0, 1}, {1, 0, 1}}},
      {"z^5 - z^3", {{-1, 0, 1}, {1, 0, 1}, {0, 0, 3}}},
      {"z^2 + 1", {{0, 1, 1}, {0, -1, 1}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    Terms p;
    ASSERT_TRUE(parsePolynomial(c.text, &p, nullptr));
    std::vector<Root> roots;
    ASSERT_TRUE(findRoots(p.term, p.count, Precision::Double, &roots));
    ASSERT_EQ(roots.size(), c.roots.size());
    for (const Want& want : c.roots) {
      int found = 0;
      for (const Root& r : roots)
        found += std::abs(r.re - want.re) < 1e-12 && std::abs(r.im - want.im) < 1e-12 &&
                 r.multiplicity == want.multiplicity;
      EXPECT_EQ(found, 1) << want.re << " " << want.im << " x" << want.multiplicity;
    }
  }
}

// The start-up pictures of polynomials with repeated roots: how many colours
// the registry hands out and what share of the picture stays black, each
// against the picture drawn without the roots known (end points matched as
// they are, as the named programs do).
TEST(Roots, RepeatedRootsDrawInOneColourEach) {
  const struct {
    const char* text;
    int colours;
    double blackAtMost;
    bool unchanged;  // simple roots: the same picture as without the roots
  } cases[] = {
      {"z^4 - 2z^2 + 1", 2, 0.0, false},
      {"z^3", 1, 0.0, false},
      {"z^3 - 3z + 2", 2, 0.0, false},
      {"z^6 - 6z^5 + 15z^4 - 20z^3 + 15z^2 - 6z + 1", 1, 0.0, false},
      {"z^6 - 1", 6, 0.001, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const Variant variant = userVariant(c.text);
    Basin known(variant), unknown(variant);
    setup(known);
    setup(unknown);
    unknown.registry.snaps = 0;
    RowSolver rows(2);
    Picture knownPicture, unknownPicture;
    renderPicture(known, &knownPicture, rows, fastestLanePath());
    renderPicture(unknown, &unknownPicture, rows, fastestLanePath());
    long black = 0;
    for (int y = 0; y < GRID; ++y)
      for (int x = 0; x < GRID; ++x) {
        const std::uint8_t* cell = knownPicture.at(x, y);
        black += cell[0] == 0 && cell[1] == 0 && cell[2] == 0;
      }
    EXPECT_EQ(known.registry.store, c.colours);
    EXPECT_LE(double(black) / (GRID * GRID), c.blackAtMost);
    EXPECT_EQ(knownPicture.rgb == unknownPicture.rgb, c.unchanged);
  }
  std::string listing;
  ASSERT_TRUE(listRoots(userVariant("z^4 - 2z^2 + 1"), &listing));
  EXPECT_EQ(listing,
            "-1+0i multiplicity 2 colour 0 #ff0000\n"
            "1+0i multiplicity 2 colour 1 #00ff00\n");
}

}  // namespace
}  // namespace basin
