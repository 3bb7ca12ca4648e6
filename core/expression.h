// Polynomials in z as people write them, factored or expanded, read into
// exact arithmetic; and the rounding that turns the exact coefficients into
// the values a model stores.
//
// The grammar: sums and differences of products, a single sign before the
// first term of a sum; products written with '*' or by juxtaposition
// ("2(z-1)", "(z-1)(z+1)", "3z", "-0.5i z^2"); parentheses; powers "^N" of
// z, of i, of a number or of a parenthesised expression, N a whole number
// from 0 to 18 in decimal digits, binding tighter than a sign (-z^2 is
// -(z^2)) and multiplying what follows it ("z^2i" is i z^2); decimal numbers
// (digits with an optional point, at least one digit, an optional power of
// ten such as 1e-3), each taken as the exact rational it writes; the
// imaginary unit i; blanks (spaces, tabs) between tokens.
//
// Every check that bounds the work comes from the syntax alone, before
// anything is expanded: the degree (at most 18), every exponent (at most
// 18), the range of each decimal (that of a double), the length of the
// exact coefficients the text can produce (40000 digits), and the nesting of
// parentheses (100 deep). A text of a few thousand characters, however
// written, is read in a few tenths of a second at most.
#pragma once

#include <gmpxx.h>

#include <string>
#include <vector>

#include "core/complex.h"
#include "core/exact.h"
#include "core/polynomial.h"

namespace basin {

struct ExpressionReading {
  ExactPolynomial exact;  // the polynomial as written, expanded exactly
  // A sum of signed terms, each a real decimal number, z, or a number times
  // z (with or without '*'), z with an optional ^N, each exponent at most
  // once, no term in z with a coefficient of 0: what parsePolynomial takes,
  // decided from the syntax alone, before any rounding.
  bool plainSum = false;
};

// Reads `text`, a polynomial of degree 1 to 18 once expanded, into *out and
// returns true; or leaves *out alone, fills *error (when not null) with the
// column of the offending character (one past the end for a text that ends
// too soon) and returns false. A decimal that rounds to 0 or overflows as a
// float is not refused here: only the expanded coefficients are rounded
// (roundTerms).
bool readExpression(const std::string& text, ExpressionReading* out, PolynomialError* error);

// The value of `precision` nearest the rational q (a float's value held in a
// double for Precision::Float), rounded once, ties to even, subnormals kept,
// +-inf beyond the range. It sets MPFR's exponent range while it runs and
// restores it; MPFR keeps that range per thread.
double nearestStored(const mpq_class& q, Precision precision);

struct RoundedTerm {
  double re, im;  // each a value of the storage type
  int exponent;
};

// The terms of `exact` as a solver sums them: every nonzero coefficient, each
// part rounded once to `precision`, in descending order of exponent, the
// constant last (a zero constant when there is none). A part that is not 0
// but rounds to 0, or overflows, is refused, at the column one past the end
// of `text` (the text `exact` was read from), since no single character is
// at fault; the message names the power of z, the exact part and the
// storage type, and describeError adds the text:
//   'z^2 - 1e-30*1e-30': column 18: the coefficient of z^0 (-1e-60) rounds to 0 as a float
// *terms is left alone on a refusal.
bool roundTerms(const std::string& text, const ExactPolynomial& exact, Precision precision,
                std::vector<RoundedTerm>* terms, PolynomialError* error);

// A complex constant written in the same grammar without z ("0.5",
// "1.5+0.5i", "(1+i)^2"), each part rounded once to `precision` into *re and
// *im. Refused as readExpression refuses, and also for a z ("no z in a
// constant") and for a part that is not 0 but rounds to 0 or overflows.
bool readConstant(const std::string& text, Precision precision, double* re, double* im,
                  PolynomialError* error);

}  // namespace basin
