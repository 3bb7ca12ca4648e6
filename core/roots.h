// The roots of a polynomial, each distinct root once with its exact
// multiplicity, each part rounded once and certified.
//
// The polynomial has Gaussian-rational coefficients (a term table's floats
// and doubles are exact binary fractions, so Gaussian rationals too, and so
// are the decimals a polynomial is written with). It is
// split into square-free factors by Yun's algorithm (repeated gcds with the
// derivative) in exact arithmetic over the Gaussian rationals, which makes
// every multiplicity exact however close the roots lie. Each factor's roots
// are then isolated in ball arithmetic (Arb), the working precision raised
// until every point of each part's ball rounds to the same value; a part
// that sits exactly on the boundary between two values is recognised in
// exact arithmetic and rounded as the boundary itself rounds.
//
// Rounding is to nearest, ties to even, with subnormals, and to +-inf beyond
// the largest finite value plus half a unit; a part that is exactly 0 is +0.
// A real root of a factor with real coefficients has an imaginary part of
// exactly 0, and the others come in conjugate pairs, mirrored to the bit.
//
// Start-up work: it allocates, and costs about a millisecond at degree 18
// (a few when the coefficients span hundreds of decimal orders). Nothing
// here runs per sample, and it prints nothing. It hands FLINT's and MPFR's
// caches of the calling thread back when it returns.
#pragma once

#include <string>
#include <vector>

#include "core/complex.h"
#include "core/newton.h"

namespace basin {

struct Root {
  // Each part the value of the precision asked for nearest the exact root's
  // part: a float's value held in a double for Precision::Float (+-inf
  // beyond a float's range), a double for Precision::Double.
  double re;
  double im;
  // Each part the double nearest the exact root's part, whatever the
  // precision asked for.
  double wideRe;
  double wideIm;
  int multiplicity;  // exact; 1 for a simple root
};

// The distinct roots of the polynomial of `terms` terms in `table`, its
// coefficients (real and imaginary parts) exactly as stored (any order,
// each exponent once; a repeated exponent adds up), as certifiedRoots
// (core/roots_module.h) gives them, worked out by the roots module, loaded
// on demand. False, with *roots empty, when they cannot be certified, for a
// coefficient that is not finite, an exponent outside 0 ... MAXTERMS - 1,
// or a module that cannot be loaded.
bool findRoots(const Term* table, int terms, Precision precision, std::vector<Root>* roots);

// The distinct roots of the polynomial `text` as written, its decimals
// taken exactly and expanded (core/written.h), before any rounding: where
// rounding its coefficients split a repeated root or merged close ones,
// these still hold the written multiplicities. False, with *roots empty,
// when the text does not read or as findRoots.
bool findWrittenRoots(const std::string& text, Precision precision, std::vector<Root>* roots);

}  // namespace basin
