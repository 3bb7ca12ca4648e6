// Polynomials in exact arithmetic, for the work done once at start-up on a
// user's polynomial: reading it as written, splitting it into square-free
// factors and certifying its roots. Nothing here runs per sample.
#pragma once

#include <gmpxx.h>

#include <vector>

namespace basin {

// re + im i, both exact rationals.
struct GaussianRational {
  mpq_class re;
  mpq_class im;
};

// The coefficient of z^k at [k], with no zero coefficient after the last
// nonzero one: the zero polynomial is empty.
using ExactPolynomial = std::vector<GaussianRational>;

}  // namespace basin
