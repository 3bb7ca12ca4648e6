// Polynomials over the Gaussian rationals (the coefficient of z^k at [k], no
// zero coefficient after the last nonzero one), in exact arithmetic: what
// certifying a polynomial's roots needs before any ball is drawn.
//   gcd(a, b)               - monic; gcd(a, 0) is a made monic;
//   squareFree(f)           - Yun's algorithm: factor i (from 0) holds the roots
//                             of multiplicity i + 1, each simple;
//   surelySquareFree(f)     - true only when f is square-free (checked mod a
//                             prime), which spares most polynomials Yun's gcds.
#pragma once

#include <vector>

#include "core/exact.h"

namespace basin {

enum class Part { Real, Imaginary };

// Drops the zero coefficients after the last nonzero one.
void trim(ExactPolynomial& p);

// -1 for the zero polynomial.
int degree(const ExactPolynomial& p);

ExactPolynomial gcd(ExactPolynomial a, ExactPolynomial b);

std::vector<ExactPolynomial> squareFree(const ExactPolynomial& f);

// f(c0 + c1 t) as a polynomial in t.
ExactPolynomial composeLinear(const ExactPolynomial& f, const GaussianRational& c0,
                              const GaussianRational& c1);

// One part of each of p's coefficients, as a polynomial with real ones.
ExactPolynomial partOf(const ExactPolynomial& p, Part part);

// p(x) for a p with real coefficients.
mpq_class realValue(const ExactPolynomial& p, const mpq_class& x);

// Whether f is certainly square-free; false says nothing.
bool surelySquareFree(const ExactPolynomial& f);

}  // namespace basin
