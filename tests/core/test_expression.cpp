// Polynomials written factored or expanded: the exact polynomial each gives,
// the columns and messages of refusals, and the single rounding of the
// exact coefficients to the storage type.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/expression.h"

namespace basin {
namespace {

// Coefficients from z^0 up, each "re" or "re,im" in GMP's rational syntax.
ExactPolynomial exactOf(const std::vector<std::string>& coefficients) {
  ExactPolynomial p;
  for (std::string c : coefficients) {
    if (c.find(',') == std::string::npos) c += ",0";
    p.push_back({mpq_class(c.substr(0, c.find(','))), mpq_class(c.substr(c.find(',') + 1))});
  }
  return p;
}

struct Good {
  const char* text;
  std::vector<std::string> exact;
  bool plainSum;
};

const Good GOOD[] = {
    {"(z-1)^3 (z+2)", {"-2", "5", "-3", "-1", "1"}, false},
    {"z^4 - z^3 - 3z^2 + 5z - 2", {"-2", "5", "-3", "-1", "1"}, true},
    {"(z^2+1)(z^2-4)", {"-4", "0", "-3", "0", "1"}, false},
    {"z^3 - i", {"0,-1", "0", "0", "1"}, false},
    {"z^2i", {"0", "0", "0,1"}, false},
    {"2(z-1)", {"-2", "2"}, false},
    {"-0.5i z^2", {"0", "0", "0,-1/2"}, false},
    {"(z - 0.1)^2", {"1/100", "-1/5", "1"}, false},
    {"z^2 - 0.2z + 0.01", {"1/100", "-1/5", "1"}, true},
    {"-z^2 + 2^3", {"8", "0", "-1"}, false},  // -(z^2), not (-z)^2
    {" 1 -\tz ^ 02 ", {"1", "0", "-1"}, true},
    {"2 * z + 1e-3 - .5E+1z^0", {"-4999/1000", "2"}, false},  // two constants
    {"3 z^3 + z^0", {"1", "0", "0", "3"}, true},
    {"z + 0z^2", {"0", "1"}, false},
    {"z*2 + z z", {"0", "2", "1"}, false},
    {"(1+i)^2 z - i^2", {"1", "0,2"}, false},
    {"z - 0e999999999", {"0", "1"}, true},
    {"((((z))))^2 - z^2 + z", {"0", "1"}, false},
};

TEST(Expression, ReadsFactoredAndExpandedForms) {
  for (const Good& c : GOOD) {
    SCOPED_TRACE(c.text);
    ExpressionReading reading;
    PolynomialError error{0, ""};
    ASSERT_TRUE(readExpression(c.text, &reading, &error)) << describeError(c.text, error);
    const ExactPolynomial expected = exactOf(c.exact);
    ASSERT_EQ(reading.exact.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
      EXPECT_EQ(reading.exact[k].re, expected[k].re) << "z^" << k;
      EXPECT_EQ(reading.exact[k].im, expected[k].im) << "z^" << k;
    }
    EXPECT_EQ(reading.plainSum, c.plainSum);
    Terms today;  // in double, where none of these rounds to 0
    EXPECT_EQ(parsePolynomial(c.text, &today, nullptr, Precision::Double), c.plainSum);
  }
}

// Which routine refuses: readExpression, readConstant, or roundTerms (as a
// float) after readExpression.
enum class Stage { Expression, Constant, Rounding };

struct Refusal {
  Stage stage;
  std::string text;
  int column;
  std::string message;
};

PolynomialError refusalOf(const Refusal& c) {
  PolynomialError error{0, ""};
  ExpressionReading reading;
  std::vector<RoundedTerm> terms;
  double re = 0, im = 0;
  if (c.stage == Stage::Constant) {
    EXPECT_FALSE(readConstant(c.text, Precision::Float, &re, &im, &error));
  } else if (c.stage == Stage::Expression) {
    EXPECT_FALSE(readExpression(c.text, &reading, &error));
  } else if (readExpression(c.text, &reading, &error)) {
    EXPECT_TRUE(roundTerms(c.text, reading.exact, Precision::Double, &terms, &error));
    EXPECT_FALSE(roundTerms(c.text, reading.exact, Precision::Float, &terms, &error));
  }
  return error;
}

const std::string NESTED = std::string(101, '(') + "z" + std::string(101, ')');
constexpr Stage EXPR = Stage::Expression;

const Refusal REFUSALS[] = {
    {EXPR, "", 1, "no polynomial: expected a term such as z^3 - 1"},
    {EXPR, "(z+1)^1000000000", 7, "exponent 1000000000 is above 18, the largest allowed"},
    {EXPR, "2^1000000000 z", 3, "exponent 1000000000 is above 18, the largest allowed"},
    {EXPR, "(z^2+1)^10", 9, "the degree would be above 18, the highest degree"},
    {EXPR, "z^10 (z^9 + 1)", 6, "the degree would be above 18, the highest degree"},
    {EXPR, "1e999999999 z", 1, "number 1e999999999 is too large for a double"},
    {EXPR, "z + 1e-999999999", 5, "number 1e-999999999 is too small for a double: it rounds to 0"},
    {EXPR, "((1e308)^18)^18 z", 14, "the exact coefficients would be longer than 40000 digits"},
    {EXPR, "(1 + 1e-300)^18 (1 + 1e-300)^18 (1 + 1e-300)^18 (1 + 1e-300)^18 z", 49,
     "the exact coefficients would be longer than 40000 digits"},
    {EXPR, "z^z", 3, "z in an exponent: an exponent is a whole number"},
    {EXPR, "z^1.5", 4, "the exponent must be a whole number"},
    {EXPR, "z^-1", 3, "a negative exponent: an exponent is 0 or more"},
    {EXPR, "z^(2)", 3, "write the exponent in digits, as in z^3"},
    {EXPR, "z^2^3", 4, "a power of a power needs parentheses, as in (z^2)^3"},
    {EXPR, "z/2", 2, "division is not allowed: write 0.5z, not z/2"},
    {EXPR, "NaN z", 1, "coefficient NaN is not a finite number"},
    {EXPR, "z + 2inf", 6, "coefficient inf is not a finite number"},
    {EXPR, "2x + 1", 2, "unknown variable 'x': the variable is z"},
    {EXPR, " z - z + 1", 2, "the terms in z cancel, leaving a constant"},
    {EXPR, "  5", 3, "a polynomial of degree 0: it needs a term in z"},
    {EXPR, "2 3z", 3, "two numbers side by side: join them, or write '*' between them"},
    {EXPR, "z^2 3", 5, "two numbers side by side: join them, or write '*' between them"},
    {EXPR, "2z3", 3, "write the exponent after '^', as in z^3"},
    {EXPR, "(z+1)2", 6, "write a number before what it multiplies, as in 2i or 2(z+1)"},
    {EXPR, "(z+1", 5, "expected ')' to close the '(' of column 1, found the end of the text"},
    {EXPR, "z+1)", 4, "')' without a matching '('"},
    {EXPR, "z - - 1", 5, "expected a number, z, i or '(', found '-'"},
    {EXPR, "z + .", 6, "expected a digit after '.', found the end of the text"},
    {EXPR, "z\n", 2, "expected '+', '-', '*' or the end of the text, found '\\x0a'"},
    {EXPR, NESTED, 101, "parentheses nested more than 100 deep"},
    {Stage::Constant, "2z", 2, "no z in a constant"},
    {Stage::Constant, "(1+i)^2/2", 8, "division is not allowed: write 0.5z, not z/2"},
    {Stage::Constant, "", 1, "no constant: expected a number such as 0.5 or 1.5+0.5i"},
    {Stage::Constant, "1 + 1e-50i", 11,
     "the imaginary part of the constant (1e-50) rounds to 0 as a float"},
    {Stage::Constant, "-1e39", 6, "the constant (-1e+39) is too large for a float"},
    {Stage::Rounding, "z^2 - 1e-30*1e-30", 18,
     "the coefficient of z^0 (-1e-60) rounds to 0 as a float"},
    {Stage::Rounding, "1e30^2 z^2 + 1", 15,
     "the coefficient of z^2 (1e+60) is too large for a float"},
    {Stage::Rounding, "z + (2 + 1e-50i)", 17,
     "the imaginary part of the coefficient of z^0 (1e-50) rounds to 0 as a float"},
};

TEST(Expression, RefusalsNameTheirColumn) {
  for (const Refusal& c : REFUSALS) {
    SCOPED_TRACE(c.text);
    const PolynomialError error = refusalOf(c);
    EXPECT_EQ(error.column, c.column);
    EXPECT_EQ(error.message, c.message);
  }
}

const double FLOAT_MIN = std::ldexp(1.0, -149);
const double DOUBLE_MIN = std::ldexp(1.0, -1074);

mpq_class twoTo(int n) {
  mpq_class q(1);
  if (n >= 0)
    q <<= static_cast<mp_bitcnt_t>(n);
  else
    q >>= static_cast<mp_bitcnt_t>(-n);
  return q;
}

struct Rounding {
  mpq_class q;
  Precision precision;
  double expected;
};

TEST(Expression, NearestStoredRoundsOnce) {
  const Rounding cases[] = {
      {1 + twoTo(-24), Precision::Float, 1},  // ties to even
      {1 + 3 * twoTo(-24), Precision::Float, 1 + std::ldexp(1.0, -22)},
      {1 + twoTo(-53), Precision::Double, 1},
      {-(1 + twoTo(-53) + twoTo(-200)), Precision::Double, -(1 + DBL_EPSILON)},
      {twoTo(-150), Precision::Float, 0},  // half the smallest subnormal
      {twoTo(-150) + twoTo(-400), Precision::Float, FLOAT_MIN},
      {3 * twoTo(-150), Precision::Float, 2 * FLOAT_MIN},
      {5 * twoTo(-1076), Precision::Double, DOUBLE_MIN},
      {twoTo(-1075), Precision::Double, 0},
      {twoTo(-1075) * 3, Precision::Double, 2 * DOUBLE_MIN},
      {twoTo(128) - twoTo(103), Precision::Float, INFINITY},  // the tie above FLT_MAX
      {twoTo(128) - twoTo(103) - twoTo(-10), Precision::Float, FLT_MAX},
      {twoTo(1024) - twoTo(970), Precision::Double, INFINITY},
      {-(twoTo(1024) - twoTo(970) - 1), Precision::Double, -DBL_MAX},
  };
  for (const Rounding& c : cases) {
    SCOPED_TRACE(c.q.get_str());
    EXPECT_EQ(nearestStored(c.q, c.precision), c.expected);
  }
  // Through readConstant, decimal texts round as strtof and strtod do.
  for (const char* text :
       {"0.1", "1.0000000596046447753906251", "1.00000005960464477539062499", "3.4028235e38",
        "7.0064923216240854e-46", "1.4e-45", "0.3", "2.2250738585072011e-308",
        "4.9406564584124654e-324", "1.7976931348623157e308", "123456789012345678901234567890"}) {
    SCOPED_TRACE(text);
    double re = 0, im = 1;
    PolynomialError error{0, ""};
    const float single = std::strtof(text, nullptr);
    if (single != 0 && std::isfinite(single)) {
      ASSERT_TRUE(readConstant(text, Precision::Float, &re, &im, &error)) << error.message;
      EXPECT_EQ(re, double(single));
      EXPECT_EQ(im, 0);
    }
    ASSERT_TRUE(readConstant(text, Precision::Double, &re, &im, &error)) << error.message;
    EXPECT_EQ(re, std::strtod(text, nullptr));
  }
}

TEST(Expression, ReadsAComplexConstant) {
  double re = 0, im = 0;
  ASSERT_TRUE(readConstant("(1+i)^2 - 0.5", Precision::Float, &re, &im, nullptr));
  EXPECT_EQ(re, -0.5);
  EXPECT_EQ(im, 2);
}

TEST(Expression, RoundedTermsInTheSolversOrder) {
  struct Case {
    const char* text;
    std::vector<RoundedTerm> terms;
  };
  const Case cases[] = {
      {"(z-1)^3 (z+2)", {{1, 0, 4}, {-1, 0, 3}, {-3, 0, 2}, {5, 0, 1}, {-2, 0, 0}}},
      {"2z + z^3", {{1, 0, 3}, {2, 0, 1}, {0, 0, 0}}},
      {"(z - 0.1)^2", {{1, 0, 2}, {double(-0.2f), 0, 1}, {double(0.01f), 0, 0}}},
      {"z^2 - 0.2z + 0.01", {{1, 0, 2}, {double(-0.2f), 0, 1}, {double(0.01f), 0, 0}}},
      {"-0.5i z^2 + 1e-3", {{0, -0.5, 2}, {double(1e-3f), 0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ExpressionReading reading;
    std::vector<RoundedTerm> terms;
    ASSERT_TRUE(readExpression(c.text, &reading, nullptr));
    ASSERT_TRUE(roundTerms(c.text, reading.exact, Precision::Float, &terms, nullptr));
    ASSERT_EQ(terms.size(), c.terms.size());
    for (std::size_t k = 0; k < terms.size(); ++k) {
      EXPECT_EQ(terms[k].re, c.terms[k].re);
      EXPECT_EQ(terms[k].im, c.terms[k].im);
      EXPECT_EQ(terms[k].exponent, c.terms[k].exponent);
    }
  }
}

}  // namespace
}  // namespace basin
