// A real polynomial in z written as a user would, read into a term table.
//
// Accepted: terms joined by '+' or '-' ("z^3 - 2z + 2", "-0.5z^4 + z^2 - 0.25",
// "2*z^5 + 1"), the first term optionally signed; blanks (spaces, tabs)
// anywhere between tokens. A term is a coefficient, z, or a coefficient
// followed by z, with an optional '*' between them. z may carry an exponent
// "^N", N a whole number 0 ... MAXDEGREE in decimal digits; z alone is z^1 and z^0
// is a constant. A coefficient is a decimal number (digits with an optional
// point, an optional exponent such as 1e-3), rounded once to the storage
// type (float, or double on request); it is 1 (or -1 after a minus) when
// left out.
//
// The table keeps the terms in the written order, which is the order the
// solver sums them in, except the constant, which goes last because the
// derivation drops the last term; without a constant the table ends with a
// zero constant. Each exponent may appear once; the degree (the largest
// exponent) must be at least 1; a term in z may not have a zero coefficient,
// which would give the table a degree the polynomial does not have; and no
// coefficient, the constant's included, may be a number other than 0 that
// rounds to 0 as stored, which would draw another polynomial than written.
#pragma once

#include <string>

#include "core/newton.h"

namespace basin {

struct PolynomialError {
  int column;  // of the offending character, from 1; one past the end for "too short"
  std::string message;
  // The number at `column` is at fault, not the way the text is written: it
  // rounds to 0, overflows, or is no finite number.
  bool ofNumber = false;
};

// Reads `text` into *out and returns true, or leaves *out alone, fills
// *error (when not null) and returns false.
bool parsePolynomial(const std::string& text, Terms* out, PolynomialError* error,
                     Precision precision = Precision::Float);

// Reads `text` as people write polynomials: a plain sum of distinct
// powers as parsePolynomial reads it, with its order, its refusals and its
// pictures; any other text (products, powers of sums, a power written
// twice, complex coefficients) expanded exactly and rounded once, its terms
// in descending order of exponent, the constant last, by the roots module
// (core/written.h), which only such a text loads. Returns true with *out
// filled, or false with *error (when not null) filled.
bool readUserPolynomial(const std::string& text, Terms* out, PolynomialError* error,
                        Precision precision = Precision::Float);

// The step's factor A of --relax, written as a complex constant without z
// ("0.5", "1.5+0.5i", "(1+i)^2"), each part rounded
// once to `precision` into *relax; "" then, else why it is refused (*relax
// untouched): A = 0, whose runs never move, and a part that is not 0 but
// rounds to 0 or overflows. A plain decimal is read here, anything else by
// the roots module.
std::string readRelaxation(const std::string& text, WideComplex* relax,
                           Precision precision = Precision::Float);

// A as --relax reads it back, each part in the fewest digits that read
// back as it: "0.5", "1.5+0.5i", "-0.25i".
std::string relaxationText(const WideComplex& relax, Precision precision);

// One line for stderr: the text quoted, with its control characters
// escaped (core/text.h), then the column and the message, e.g.
//   'z^3 + z^3': column 7: exponent 3 appears twice
std::string describeError(const std::string& text, const PolynomialError& error);

// How a user's polynomial is drawn: the convergence and root-match
// tolerances and the registry slots beyond the degree (quadbasin's by
// default), each read in the storage type (the defaults are stored when
// the variant is made).
struct Tolerances {
  double FTOL = 1e-10;
  double RTOL = 1e-8;
  int EXTRASLOTS = 1;
};

// The palette's colours a polynomial's slots may take: all but the last,
// which is black (colour/colour.h checks the two agree).
constexpr int COLOURED_SLOTS = 19;

// The most extra slots a polynomial of `degree` may have: its slots then
// take the palette's colours up to the last but one, never its black.
inline int maxExtraSlots(int degree) { return COLOURED_SLOTS - degree; }

// Why `tolerances` cannot go with `polynomial`, or nullptr.
const char* tolerancesFault(const Terms& polynomial, const Tolerances& tolerances);

// Reads a tolerance as a user writes it: a decimal number, the whole text,
// rounded to the nearest float (or double), which must be positive and
// finite. Returns nullptr with *value set, or why the text is refused
// (*value untouched).
const char* readTolerance(const std::string& text, double* value,
                          Precision precision = Precision::Float);

// The parameter set that draws `polynomial`, written `text` by the user,
// every value stored in `precision`.
Variant polynomialVariant(const Terms& polynomial, const std::string& text,
                          const Tolerances& tolerances, Precision precision = Precision::Float);

}  // namespace basin
