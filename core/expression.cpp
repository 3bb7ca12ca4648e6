#include "core/expression.h"

#include <mpfr.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/decimal_polynomial.h"
#include "core/newton.h"
#include "core/scanner.h"

namespace basin {
namespace {

constexpr int MAXNESTING = 100;  // parentheses; the reader recurses once a level
// The longest exact coefficient a text may lead to, in decimal digits. The
// longest a sensible text needs is about 17000, (1e308 z + 1e-308)^18.
constexpr double MAXDIGITS = 40000;

const char* const FACTOR = "a number, z, i or '('";

bool startsNumber(int c) { return isDigit(c) || c == '.'; }
bool startsFactor(int c) { return startsNumber(c) || isLetter(c) || c == '('; }

// The shapes a term of parsePolynomial's plain sums is made of.
enum class Shape {
  Literal,  // a real decimal number
  ZPower,   // z, or z^N
  Term,     // a literal times a ZPower
  Other
};

// A part of the text, read and expanded, with what its syntax says.
struct Piece {
  DecimalPolynomial value;
  int degree = 0;  // the largest the syntax allows, never above MAXDEGREE
  Growth growth;
  Shape shape = Shape::Other;
  int exponent = 0;    // of z, in a ZPower or a Term
  bool zero = false;   // the literal (of a Literal or a Term) has no nonzero digit
  bool plain = false;  // of a sum: each term one of today's, each exponent once
};

// What the last token of a factor was, for juxtapositions that are more
// likely typos than products.
enum class Last { Number, Z, I, Close };

bool isZero(const GaussianRational& c) { return c.re == 0 && c.im == 0; }

// ---- The reader ----

// The written form's reader, which expands as it reads.
struct Reader : Scanner {
  bool allowZ;
  Last last = Last::Number;

  // The character at `at` is not what `expected` says should come there.
  bool unexpected(const std::string& expected) {
    if (peek() == '/') return fail(at, "division is not allowed: write 0.5z, not z/2");
    if (isLetter(peek()) && peek() != 'z' && peek() != 'i')
      return fail(at, "unknown variable " + found(peek()) + ": the variable is z");
    return fail(at, "expected " + expected + ", found " + found(peek()));
  }
  bool tooLong(std::size_t where) {
    return fail(where, "the exact coefficients would be longer than " +
                           std::to_string(int(MAXDIGITS)) + " digits");
  }
  bool tooHigh(std::size_t where) {
    return fail(where,
                "the degree would be above " + std::to_string(MAXDEGREE) + ", the highest degree");
  }
};

bool readSum(Reader& r, int depth, Piece* out);

// The letters from the reader on, in lower case, as far as the longest word
// it looks for ("infinity") and one more.
std::string word(const Reader& r) {
  std::string letters;
  for (std::size_t at = r.at; at < r.text.size() && isLetter(r.text[at]) && letters.size() < 9;
       ++at)
    letters += char(r.text[at] | 0x20);
  return letters;
}

// "e3", "E-7" after a number's digits: the power of ten, saturated far
// beyond any double's.
bool readPowerOfTen(Reader& r, long long* power) {
  *power = 0;
  if (r.peek() != 'e' && r.peek() != 'E') return true;
  ++r.at;
  const bool negative = r.peek() == '-';
  if (r.peek() == '+' || r.peek() == '-') ++r.at;
  if (!isDigit(r.peek())) return r.fail(r.at, "expected the digits of a power of ten");
  for (; isDigit(r.peek()); ++r.at) *power = std::min(*power * 10 + (r.peek() - '0'), 1000000000LL);
  if (negative) *power = -*power;
  return true;
}

// A decimal number: digits with an optional point (at least one digit in
// all) and an optional power of ten, as the exact rational it writes.
bool readDecimal(Reader& r, Piece* piece) {
  const std::size_t start = r.at;
  std::string digits;  // the point left out
  long long fraction = 0;
  for (; isDigit(r.peek()); ++r.at) digits += char(r.peek());
  if (r.peek() == '.')
    for (++r.at; isDigit(r.peek()); ++r.at, ++fraction) digits += char(r.peek());
  if (digits.empty()) return r.unexpected("a digit after '.'");
  long long power = 0;
  if (!readPowerOfTen(r, &power)) return false;
  const std::string written = r.text.substr(start, r.at - start);
  // strtod rounds correctly whatever the power of ten, without building
  // the rational; it reads the point in the C locale, which the programs
  // never leave.
  const double nearest = std::strtod(written.c_str(), nullptr);
  const std::size_t lead = digits.find_first_not_of('0');
  if (std::isinf(nearest)) return r.fail(start, "number " + written + " is too large for a double");
  if (nearest == 0 && lead != std::string::npos)
    return r.fail(start, "number " + written + " is too small for a double: it rounds to 0");
  piece->shape = Shape::Literal;
  piece->zero = lead == std::string::npos;
  if (piece->zero) return true;
  // In a double's range, the power of ten is within a few hundred of the
  // digits' count.
  const long long shift = power - fraction;
  mpz_class whole(digits.substr(lead), 10);
  if (shift > 0) whole *= powerOfTen(static_cast<unsigned long>(shift));
  piece->value = DecimalPolynomial{{GaussianInteger{whole, 0}},
                                   static_cast<unsigned long>(std::max(-shift, 0LL))};
  piece->growth =
      Growth{double(mpz_sizeinbase(whole.get_mpz_t(), 2)), double(std::max(-shift, 0LL))};
  if (piece->growth.digits() > MAXDIGITS) return r.tooLong(start);
  return true;
}

// N after '^', the reader on its first character: digits, 0 ... 18.
bool readExponent(Reader& r, int* exponent) {
  const std::size_t start = r.at;
  if (r.peek() == 'z') return r.fail(start, "z in an exponent: an exponent is a whole number");
  if (r.peek() == '-') return r.fail(start, "a negative exponent: an exponent is 0 or more");
  if (r.peek() == '.') return r.fail(start, "the exponent must be a whole number");
  if (r.peek() == '(') return r.fail(start, "write the exponent in digits, as in z^3");
  if (!isDigit(r.peek())) return r.unexpected("a whole number from 0 to 18 after '^'");
  const int value = r.wholeNumber(MAXDEGREE);
  if (r.peek() == '.') return r.fail(r.at, "the exponent must be a whole number");
  if (value > MAXDEGREE)
    return r.fail(start, "exponent " + r.text.substr(start, r.at - start) + " is above " +
                             std::to_string(MAXDEGREE) + ", the largest allowed");
  *exponent = value;
  return true;
}

// An optional "^N" after a number, z, i or ')'.
bool readPower(Reader& r, Piece* piece) {
  r.skipBlanks();
  if (r.peek() != '^') return true;
  ++r.at;
  r.skipBlanks();
  const std::size_t start = r.at;
  int n = 0;
  if (!readExponent(r, &n)) return false;
  if (piece->degree * n > MAXDEGREE) return r.tooHigh(start);
  const Growth growth = powerOf(piece->growth, n);
  if (growth.digits() > MAXDIGITS) return r.tooLong(start);
  piece->value = power(std::move(piece->value), n);
  piece->degree *= n;
  piece->growth = growth;
  if (piece->shape == Shape::ZPower)
    piece->exponent = n;
  else
    piece->shape = Shape::Other;
  r.last = Last::Number;
  r.skipBlanks();
  if (r.peek() == '^') return r.fail(r.at, "a power of a power needs parentheses, as in (z^2)^3");
  return true;
}

// A parenthesised sum, the reader on the '('.
bool readParenthesised(Reader& r, int depth, Piece* piece) {
  const std::size_t open = r.at;
  if (depth >= MAXNESTING)
    return r.fail(open, "parentheses nested more than " + std::to_string(MAXNESTING) + " deep");
  ++r.at;
  if (!readSum(r, depth + 1, piece)) return false;
  if (r.peek() != ')') {
    if (r.peek() == END)
      return r.fail(r.at, "expected ')' to close the '(' of column " + std::to_string(open + 1) +
                              ", found the end of the text");
    return r.unexpected("'+', '-', '*' or ')'");
  }
  ++r.at;
  piece->shape = Shape::Other;
  r.last = Last::Close;
  return true;
}

// A number, z, i or a parenthesised sum, with its power if any; the reader
// on its first character.
bool readFactor(Reader& r, int depth, Piece* piece) {
  const int c = r.peek();
  const std::string letters = word(r);
  if (letters == "nan" || letters == "inf" || letters == "infinity")
    return r.fail(r.at,
                  "coefficient " + r.text.substr(r.at, letters.size()) + " is not a finite number");
  if (startsNumber(c)) {
    if (!readDecimal(r, piece)) return false;
    r.last = Last::Number;
  } else if (c == 'z') {
    if (!r.allowZ) return r.fail(r.at, "no z in a constant");
    ++r.at;
    *piece = Piece{{{GaussianInteger{0, 0}, GaussianInteger{1, 0}}, 0}, 1, {}, Shape::ZPower, 1};
    r.last = Last::Z;
  } else if (c == 'i') {
    ++r.at;
    piece->value = DecimalPolynomial{{GaussianInteger{0, 1}}, 0};
    r.last = Last::I;
  } else if (c == '(') {
    if (!readParenthesised(r, depth, piece)) return false;
  } else {
    return r.unexpected(FACTOR);
  }
  return readPower(r, piece);
}

// Whether a factor may follow the last one with nothing but blanks between;
// a number after a number, z, i or ')' is more likely a slip than a product.
bool mayJuxtapose(Reader& r) {
  if (!startsNumber(r.peek())) return true;
  switch (r.last) {
    case Last::Number:
      return r.fail(r.at, "two numbers side by side: join them, or write '*' between them");
    case Last::Z:
      return r.fail(r.at, "write the exponent after '^', as in z^3");
    default:
      return r.fail(r.at, "write a number before what it multiplies, as in 2i or 2(z+1)");
  }
}

// Factors one after the other, with '*' or side by side.
bool readProduct(Reader& r, int depth, Piece* out) {
  Piece product;
  if (!readFactor(r, depth, &product)) return false;
  for (;;) {
    r.skipBlanks();
    if (r.peek() == '*') {
      ++r.at;
      r.skipBlanks();
    } else if (!startsFactor(r.peek())) {
      break;
    } else if (!mayJuxtapose(r)) {
      return false;
    }
    const std::size_t start = r.at;
    Piece factor;
    if (!readFactor(r, depth, &factor)) return false;
    if (product.degree + factor.degree > MAXDEGREE) return r.tooHigh(start);
    const Growth growth = productOf(product.growth, factor.growth);
    if (growth.digits() > MAXDIGITS) return r.tooLong(start);
    product.value = multiplied(product.value, factor.value);
    product.degree += factor.degree;
    product.growth = growth;
    const bool term = product.shape == Shape::Literal && factor.shape == Shape::ZPower;
    product.shape = term ? Shape::Term : Shape::Other;
    product.exponent = factor.exponent;
  }
  *out = std::move(product);
  return true;
}

// Whether `term` is one of parsePolynomial's, its exponent not in `seen`
// (which takes it).
bool takesPlainTerm(const Piece& term, bool* seen) {
  if (term.shape != Shape::Literal && term.shape != Shape::ZPower && term.shape != Shape::Term)
    return false;
  const int exponent = term.shape == Shape::Literal ? 0 : term.exponent;
  if (term.shape == Shape::Term && term.zero && exponent > 0) return false;
  if (seen[exponent]) return false;
  seen[exponent] = true;
  return true;
}

// Signed products: a sign may open the sum, and joins each term to the next.
bool readSum(Reader& r, int depth, Piece* out) {
  bool seen[MAXDEGREE + 1] = {};
  Piece sum;
  for (bool first = true;; first = false) {
    r.skipBlanks();
    const bool hasSign = r.peek() == '+' || r.peek() == '-';
    if (!first && !hasSign) break;
    const bool subtract = r.peek() == '-';
    if (hasSign) {
      ++r.at;
      r.skipBlanks();
    }
    const std::size_t start = r.at;
    Piece term;
    if (!readProduct(r, depth, &term)) return false;
    const bool plain = takesPlainTerm(term, seen);
    if (first) {
      sum = std::move(term);
      if (subtract) negate(sum.value);
      sum.plain = plain;
      continue;
    }
    const Growth growth = sumOf(sum.growth, term.growth);
    if (growth.digits() > MAXDIGITS) return r.tooLong(start);
    addInto(sum.value, term.value, subtract);
    sum.degree = std::max(sum.degree, term.degree);
    sum.growth = growth;
    sum.shape = Shape::Other;
    sum.plain = sum.plain && plain;
  }
  *out = std::move(sum);
  return true;
}

// The whole text as one sum; `empty` is the message for a blank text.
bool readWhole(Reader& r, const char* empty, Piece* whole) {
  r.skipBlanks();
  if (r.peek() == END) return r.fail(r.at, empty);
  if (!readSum(r, 0, whole)) return false;
  if (r.peek() == ')') return r.fail(r.at, "')' without a matching '('");
  if (r.peek() != END) return r.unexpected("'+', '-', '*' or the end of the text");
  return true;
}

// q in decimal, to 6 significant digits, however large or small.
std::string decimal(const mpq_class& q) {
  mpfr_t x;
  mpfr_init2(x, 64);
  mpfr_set_q(x, q.get_mpq_t(), MPFR_RNDN);
  char* text = nullptr;
  mpfr_asprintf(&text, "%.6Rg", x);
  std::string result = text != nullptr ? text : "?";
  mpfr_free_str(text);
  mpfr_clear(x);
  return result;
}

// `part` (named `name` in a message) rounded into *value, or why it is
// refused: not 0, it rounds to 0 or overflows.
bool roundPart(const mpq_class& part, const std::string& name, Precision precision, double* value,
               std::string* fault) {
  *value = nearestStored(part, precision);
  const std::string type = std::string(" a ") + storageName(precision);
  if (std::isinf(*value)) {
    *fault = name + " (" + decimal(part) + ") is too large for" + type;
    return false;
  }
  if (*value == 0 && part != 0) {
    *fault = name + " (" + decimal(part) + ") rounds to 0 as" + type;
    return false;
  }
  return true;
}

// Both parts of the coefficient c, which `name` names.
bool roundCoefficient(const GaussianRational& c, const std::string& name, Precision precision,
                      RoundedTerm* term, std::string* fault) {
  const std::string real = c.im == 0 ? name : "the real part of " + name;
  return roundPart(c.re, real, precision, &term->re, fault) &&
         roundPart(c.im, "the imaginary part of " + name, precision, &term->im, fault);
}

}  // namespace

bool readExpression(const std::string& text, ExpressionReading* out, PolynomialError* error) {
  Reader r{{text}, true};
  Piece whole;
  const bool read = readWhole(r, "no polynomial: expected a term such as z^3 - 1", &whole);
  if (read && whole.value.coefficients.size() < 2) {
    const std::size_t first = text.find_first_not_of(" \t");
    r.fail(first, whole.degree == 0 ? "a polynomial of degree 0: it needs a term in z"
                                    : "the terms in z cancel, leaving a constant");
  }
  if (!r.error.message.empty()) {
    if (error != nullptr) *error = r.error;
    return false;
  }
  out->exact = exactOf(whole.value);
  out->plainSum = whole.plain;
  return true;
}

double nearestStored(const mpq_class& q, Precision precision) {
  // MPFR emulates the storage type once its exponent range is that of the
  // type: the rounding to the precision then finds the overflows, and
  // mpfr_subnormalize rounds again where subnormals have fewer bits, using
  // the first rounding's direction so that the two amount to one.
  const bool single = precision == Precision::Float;
  const mpfr_exp_t emin = mpfr_get_emin();
  const mpfr_exp_t emax = mpfr_get_emax();
  mpfr_set_emin(single ? -148 : -1073);
  mpfr_set_emax(single ? 128 : 1024);
  mpfr_t x;
  mpfr_init2(x, single ? 24 : 53);
  const int inexact = mpfr_set_q(x, q.get_mpq_t(), MPFR_RNDN);
  mpfr_subnormalize(x, inexact, MPFR_RNDN);
  const double value = mpfr_get_d(x, MPFR_RNDN);  // exact: x is a value of the type
  mpfr_clear(x);
  mpfr_set_emin(emin);
  mpfr_set_emax(emax);
  return value;
}

bool roundTerms(const std::string& text, const ExactPolynomial& exact, Precision precision,
                std::vector<RoundedTerm>* terms, PolynomialError* error) {
  std::vector<RoundedTerm> rounded;
  std::string fault;
  for (int k = int(exact.size()) - 1; k >= 0 && fault.empty(); --k) {
    if (k > 0 && isZero(exact[std::size_t(k)])) continue;
    RoundedTerm term{0, 0, k};
    const std::string name = "the coefficient of z^" + std::to_string(k);
    if (roundCoefficient(exact[std::size_t(k)], name, precision, &term, &fault))
      rounded.push_back(term);
  }
  if (fault.empty() && exact.empty()) rounded.push_back(RoundedTerm{0, 0, 0});
  if (!fault.empty()) {
    if (error != nullptr) *error = PolynomialError{int(text.size()) + 1, fault};
    return false;
  }
  *terms = std::move(rounded);
  return true;
}

bool readConstant(const std::string& text, Precision precision, double* re, double* im,
                  PolynomialError* error) {
  Reader r{{text}, false};
  Piece whole;
  RoundedTerm value{0, 0, 0};
  std::string fault;
  if (readWhole(r, "no constant: expected a number such as 0.5 or 1.5+0.5i", &whole) &&
      !whole.value.coefficients.empty() &&
      !roundCoefficient(exactOf(whole.value)[0], "the constant", precision, &value, &fault))
    r.fail(text.size(), fault);
  if (!r.error.message.empty()) {
    if (error != nullptr) *error = r.error;
    return false;
  }
  *re = value.re;
  *im = value.im;
  return true;
}

}  // namespace basin
