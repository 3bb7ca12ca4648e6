// Exact polynomials over the decimals, as a written polynomial expands into,
// and the bound on their length that the syntax alone gives.
//
// Every number read is a decimal, so every coefficient is a Gaussian integer
// over a power of ten. The expansion keeps one power of ten for the whole
// polynomial and works on the integers: no fraction is reduced until the
// end, which spares a gcd at every step.
#pragma once

#include <gmpxx.h>

#include <algorithm>
#include <vector>

#include "core/exact.h"

namespace basin {

struct GaussianInteger {
  mpz_class re;
  mpz_class im;
};

struct DecimalPolynomial {
  std::vector<GaussianInteger> coefficients;  // of z^k at [k], none zero after the last nonzero
  unsigned long tens = 0;                     // the coefficients are over 10^tens
};

mpz_class powerOfTen(unsigned long n);

void negate(DecimalPolynomial& p);

// sum += term, or sum -= term.
void addInto(DecimalPolynomial& sum, DecimalPolynomial term, bool subtract);

DecimalPolynomial multiplied(const DecimalPolynomial& a, const DecimalPolynomial& b);

// base^n by squaring; base^0 is 1, 0^0 included.
DecimalPolynomial power(DecimalPolynomial base, int n);

// p's coefficients as fractions in lowest terms.
ExactPolynomial exactOf(const DecimalPolynomial& p);

constexpr double LOG2_10 = 3.321928094887362;

// A bound on the length of the exact coefficients. Every number read is a
// decimal, so every coefficient is a Gaussian integer over 10^tens, and the
// absolute values of those integers sum to at most 2^bits. That sum is
// submultiplicative, which makes the bound of a product the sum of the
// factors' and the bound of a power n times the base's.
struct Growth {
  double bits = 0;
  double tens = 0;
  double digits() const { return bits / LOG2_10 + tens; }
};

inline Growth sumOf(const Growth& a, const Growth& b) {
  const double tens = std::max(a.tens, b.tens);
  const double bits =
      std::max(a.bits + (tens - a.tens) * LOG2_10, b.bits + (tens - b.tens) * LOG2_10);
  return Growth{bits + 1, tens};
}

inline Growth productOf(const Growth& a, const Growth& b) {
  return Growth{a.bits + b.bits, a.tens + b.tens};
}

inline Growth powerOf(const Growth& a, int n) { return Growth{a.bits * n, a.tens * n}; }

}  // namespace basin
