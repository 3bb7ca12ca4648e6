#include "core/polynomial.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "core/scanner.h"
#include "core/written.h"

namespace basin {
namespace {

// A term as written: its coefficient, its exponent and where it starts.
struct Written {
  double coefficient;  // a value of the storage type
  int exponent;
  std::size_t at;
};

// A plain sum's reader, which rounds each number as it reads it.
struct Reader : Scanner {
  Precision precision;

  std::string typeName() const { return std::string("a ") + storageName(precision); }

  bool failNumber(std::size_t where, const std::string& message) {
    error = PolynomialError{int(where) + 1, message, true};
    return false;
  }
  // The character at `at` is not what `expected` says should come there.
  bool unexpected(const std::string& expected) {
    if (isLetter(peek()) && peek() != 'z')
      return fail(at, "unknown variable " + found(peek()) + ": the variable is z");
    return fail(at, "expected " + expected + ", found " + found(peek()));
  }
};

// Whether the digits before any power of ten are not all zeros, so that
// the number is not 0 although its float may be.
bool hasNonzeroDigit(const std::string& number) {
  for (const char c : number) {
    if (c == 'e' || c == 'E') return false;
    if (c >= '1' && c <= '9') return true;
  }
  return false;
}

// "e3", "E-7" after a number's digits.
bool readExponentPart(Reader& r) {
  if (r.peek() != 'e' && r.peek() != 'E') return true;
  ++r.at;
  if (r.peek() == '+' || r.peek() == '-') ++r.at;
  if (!isDigit(r.peek())) return r.fail(r.at, "expected the digits of a power of ten");
  while (isDigit(r.peek())) ++r.at;
  return true;
}

// A decimal number: digits with an optional point (at least one digit in
// all) and an optional exponent, the nearest value of the storage type.
bool readNumber(Reader& r, double* value) {
  const std::size_t start = r.at;
  std::size_t digits = 0;
  for (; isDigit(r.peek()); ++r.at) ++digits;
  if (r.peek() == '.')
    for (++r.at; isDigit(r.peek()); ++r.at) ++digits;
  if (digits == 0) return r.unexpected("a digit after '.'");
  if (!readExponentPart(r)) return false;
  const std::string number = r.text.substr(start, r.at - start);
  // strtof reads the point in the C locale, which the programs never leave.
  char* end = nullptr;
  *value = readStored(number.c_str(), &end, r.precision);
  if (*end != '\0') return r.fail(start, "cannot read the number " + number);
  if (std::isinf(*value))
    return r.failNumber(start, "coefficient " + number + " is too large for " + r.typeName());
  if (*value == 0 && hasNonzeroDigit(number))
    return r.failNumber(start, "coefficient " + number + " rounds to 0 as " + r.typeName());
  return true;
}

// "^N" after z: N in decimal digits, 0 ... MAXDEGREE.
bool readExponent(Reader& r, int* exponent) {
  r.skipBlanks();
  if (!isDigit(r.peek()))
    return r.unexpected("a whole number from 0 to " + std::to_string(MAXDEGREE) + " after '^'");
  const std::size_t start = r.at;
  const int value = r.wholeNumber(MAXDEGREE);
  if (r.peek() == '.') return r.fail(r.at, "the exponent must be a whole number");
  if (value > MAXDEGREE)
    return r.fail(start, "exponent " + r.text.substr(start, r.at - start) + " is above " +
                             std::to_string(MAXDEGREE) + ", the highest degree");
  *exponent = value;
  return true;
}

// z with its exponent, the reader on the z.
bool readPower(Reader& r, int* exponent) {
  ++r.at;
  r.skipBlanks();
  *exponent = 1;
  if (isDigit(r.peek())) return r.fail(r.at, "write the exponent after '^', as in z^3");
  if (r.peek() != '^') return true;
  ++r.at;
  return readExponent(r, exponent);
}

// The word of letters at the reader ("nan", "Inf"), lower-cased.
std::string wordAt(const Reader& r) {
  std::string word;
  for (std::size_t at = r.at; at < r.text.size() && isLetter(r.text[at]); ++at)
    word += char(std::tolower(static_cast<unsigned char>(r.text[at])));
  return word;
}

// One term after its sign (+1 or -1): a coefficient, z, or both.
bool readTerm(Reader& r, double sign, Written* term) {
  term->at = r.at;
  term->coefficient = sign;
  term->exponent = 0;
  // What strtod would read as a number, but no polynomial has.
  const std::string word = wordAt(r);
  if (word == "nan" || word == "inf" || word == "infinity")
    return r.failNumber(
        r.at, "coefficient " + r.text.substr(r.at, word.size()) + " is not a finite number");
  const bool number = isDigit(r.peek()) || r.peek() == '.';
  if (number) {
    double value = 0;
    if (!readNumber(r, &value)) return false;
    term->coefficient = sign * value;  // a sign change is exact
    r.skipBlanks();
    if (r.peek() == '*') {
      ++r.at;
      r.skipBlanks();
      if (r.peek() != 'z') return r.unexpected("z after '*'");
    }
  }
  if (r.peek() == 'z') {
    if (!readPower(r, &term->exponent)) return false;
  } else if (!number) {
    return r.unexpected("a number or z");
  }
  if (term->exponent > 0 && term->coefficient == 0)
    return r.fail(term->at, "a term in z with coefficient 0: leave it out");
  return true;
}

// The signed terms one after the other, each exponent once, at least one
// of them in z.
bool readTerms(Reader& r, Written* terms, int* count) {
  bool seen[MAXDEGREE + 1] = {};
  *count = 0;
  r.skipBlanks();
  const std::size_t first = r.at;
  if (r.peek() == END) return r.fail(r.at, "no polynomial: expected a term such as z^3 - 1");
  while (r.peek() != END) {
    double sign = 1;
    if (r.peek() == '+' || r.peek() == '-') {
      sign = r.peek() == '-' ? -1 : 1;
      ++r.at;
      r.skipBlanks();
    } else if (*count > 0) {
      if (r.peek() == '^') return r.fail(r.at, "'^' must follow z");
      return r.unexpected("'+' or '-' before the next term");
    }
    Written term;
    if (!readTerm(r, sign, &term)) return false;
    if (seen[term.exponent])
      return r.fail(term.at, term.exponent == 0
                                 ? "a second constant term"
                                 : "exponent " + std::to_string(term.exponent) + " appears twice");
    seen[term.exponent] = true;
    terms[(*count)++] = term;
    r.skipBlanks();
  }
  if (*count == 1 && terms[0].exponent == 0)
    return r.fail(first, "a polynomial of degree 0: it needs a term in z");
  return true;
}

}  // namespace

bool parsePolynomial(const std::string& text, Terms* out, PolynomialError* error,
                     Precision precision) {
  Reader r{{text}, precision};
  Written terms[MAXTERMS];
  int count = 0;
  if (!readTerms(r, terms, &count)) {
    if (error != nullptr) *error = r.error;
    return false;
  }
  Terms table;
  Term constant{0, 0};
  for (int i = 0; i < count; ++i) {
    const Term term{terms[i].coefficient, double(terms[i].exponent)};
    if (terms[i].exponent == 0)
      constant = term;
    else
      table.term[table.count++] = term;
  }
  table.term[table.count++] = constant;
  *out = table;
  return true;
}

bool readUserPolynomial(const std::string& text, Terms* out, PolynomialError* error,
                        Precision precision) {
  PolynomialError plain{0, ""};
  if (parsePolynomial(text, out, &plain, precision)) return true;
  PolynomialError written{0, ""};
  const WrittenReading reading = readWrittenPolynomial(text, precision, out, &written);
  if (reading == WrittenReading::Read) return true;
  // A plain sum keeps today's refusal; so does a number refused by both
  // readers (a decimal beyond a double's range), in today's words.
  const bool today =
      reading == WrittenReading::PlainSum || (plain.ofNumber && plain.column == written.column);
  if (error != nullptr) *error = today ? plain : written;
  return false;
}

std::string readRelaxation(const std::string& text, WideComplex* relax, Precision precision) {
  // A plain decimal: digits, a point and a power of ten, signed; strtod
  // then reads the whole of it or it is no number.
  const bool decimal =
      !text.empty() && text.find_first_not_of("0123456789.eE+-") == std::string::npos;
  char* end = nullptr;
  WideComplex value{decimal ? readStored(text.c_str(), &end, precision) : 0.0, 0.0};
  // Beyond the type's range, or not a number: the module says which.
  const bool plain = decimal && *end == '\0' && std::isfinite(value.re) &&
                     (value.re != 0 || !hasNonzeroDigit(text));
  PolynomialError error{0, ""};
  if (!plain && !readWrittenConstant(text, precision, &value, &error))
    return describeError(text, error);
  if (value.re == 0 && value.im == 0) return "'" + escaped(text) + "': A = 0 never moves a run";
  *relax = value;
  return "";
}

std::string relaxationText(const WideComplex& relax, Precision precision) {
  const std::string re = shortestDigits(relax.re, precision);
  if (relax.im == 0) return re;
  const std::string im = shortestDigits(relax.im, precision) + "i";
  if (relax.re == 0) return im;
  return re + (im[0] == '-' ? "" : "+") + im;
}

std::string describeError(const std::string& text, const PolynomialError& error) {
  return "'" + escaped(text) + "': column " + std::to_string(error.column) + ": " + error.message;
}

const char* tolerancesFault(const Terms& polynomial, const Tolerances& tolerances) {
  if (!(tolerances.FTOL > 0) || !std::isfinite(tolerances.FTOL))
    return "--ftol must be a positive finite number";
  if (!(tolerances.RTOL > 0) || !std::isfinite(tolerances.RTOL))
    return "--rtol must be a positive finite number";
  if (tolerances.EXTRASLOTS < 0 || tolerances.EXTRASLOTS > maxExtraSlots(degreeOf(polynomial)))
    return "--extra must lie from 0 to 19 less the degree, so the palette never runs out";
  return nullptr;
}

const char* readTolerance(const std::string& text, double* value, Precision precision) {
  const bool single = precision == Precision::Float;
  const std::size_t digits = !text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (text.size() <= digits || !(isDigit(text[digits]) || text[digits] == '.'))
    return "expected a number";
  char* end = nullptr;
  const double read = readStored(text.c_str(), &end, precision);
  if (*end != '\0') return "expected a number";
  if (!(read > 0) || !std::isfinite(read)) {
    if (read == 0 && digits == 0 && hasNonzeroDigit(text))
      return single ? "rounds to 0 as a float" : "rounds to 0 as a double";
    return single ? "must be a positive number below 3.4e38"
                  : "must be a positive number below 1.8e308";
  }
  *value = read;
  return nullptr;
}

Variant polynomialVariant(const Terms& polynomial, const std::string& text,
                          const Tolerances& tolerances, Precision precision) {
  return Variant{"polybasin",
                 polynomial,
                 storedIn(precision, tolerances.FTOL),
                 storedIn(precision, tolerances.RTOL),
                 tolerances.EXTRASLOTS,
                 text,
                 true,
                 precision};
}

}  // namespace basin
