// Polynomials and constants as people write them, factored or expanded,
// with complex coefficients ("(z-1)^3 (z+2)", "z^3 - i", "1.5+0.5i"): read
// exactly (core/expression.h) and each coefficient rounded once, by the
// roots module (core/roots_module.h), which holds the exact arithmetic and
// is loaded the first time it is needed. A plain sum of distinct powers
// never needs it: parsePolynomial reads that as it always has.
//
// No GMP here: these are the calls into the module, for the programs.
#pragma once

#include <string>

#include "core/complex.h"
#include "core/newton.h"
#include "core/polynomial.h"

namespace basin {

// How reading a polynomial through the module ended.
enum class WrittenReading {
  Read,      // *out holds its terms
  PlainSum,  // a plain sum of distinct powers: parsePolynomial's own refusal stands
  Refused,   // *error says why
};

// Reads `text` (readExpression), then rounds its expanded coefficients once
// to `precision` (roundTerms) into *out: descending exponents, the constant
// last, each coefficient's imaginary part beside it. A module that cannot be
// loaded refuses at column 1.
WrittenReading readWrittenPolynomial(const std::string& text, Precision precision, Terms* out,
                                     PolynomialError* error);

// A complex constant written without z (readConstant), each part rounded
// once to `precision`; false with *error filled when refused.
bool readWrittenConstant(const std::string& text, Precision precision, WideComplex* value,
                         PolynomialError* error);

}  // namespace basin
