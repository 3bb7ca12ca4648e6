// The roots of a term table, each distinct root once with its multiplicity.
//
// The coefficients are floats or doubles, so exact binary fractions: scaled by one
// power of two they become whole numbers, and the polynomial is split into
// square-free factors (Yun's algorithm: repeated gcds with the derivative)
// in exact integer arithmetic, which makes every multiplicity exact however
// close the roots lie. Each factor, whose roots are all
// simple, is then solved in double precision through the eigenvalues of its
// companion matrix, and each root polished with a few Newton steps on that
// factor. Roots of a real polynomial come as conjugate pairs; a real root
// has an imaginary part of exactly 0.
//
// Start-up work: it allocates, and costs well under a millisecond at degree
// 18. Nothing here runs per sample. Not for two threads at once: it turns
// GSL's process-wide error handler off while it runs.
#pragma once

#include <vector>

#include "core/newton.h"

namespace basin {

struct Root {
  double re;
  double im;
  int multiplicity;  // 1 for a simple root
};

// The distinct roots of the polynomial of `terms` terms in `table` (any
// order, each exponent once, degree at least 1), in the order of their
// factors' multiplicities, lowest first. False, with *roots empty, when the
// eigenvalue solver does not converge or a factor's coefficients do not fit
// a double.
bool findRoots(const Term* table, int terms, std::vector<Root>* roots);

}  // namespace basin
