// The roots of a polynomial are certified by Arb, which comes with FLINT
// and, through it, NTL, and rest on exact rationals (GMP): libraries whose
// loading and start-up cost a program several milliseconds, while the named
// programs never use them. So the certifying code (core/roots.cpp), and the
// exact reading of polynomials as people write them (core/expression.cpp,
// reached through core/written.h), are a module of its own, loaded the
// first time either is asked for (core/roots_loader.cpp), and the programs
// hand it plain doubles and text. The CMake option BASIN_ROOTS_ON_DEMAND=OFF
// links it straight into the programs instead, the plain way, with the same
// results.
#pragma once

#include <string>
#include <vector>

#include "core/exact.h"
#include "core/newton.h"
#include "core/polynomial.h"
#include "core/roots.h"

namespace basin {

// The distinct roots of `p` (degree at least 1), each once with its exact
// multiplicity, in the order of their multiplicities, lowest first; within
// one multiplicity by wideRe, then wideIm, lowest first (distinct roots that
// round to the same pair of doubles in the order their factor's solver gives
// them). False, with *roots empty, when the degree is below 1 or the roots
// cannot be certified within the precision cap (several thousand bits).
bool certifiedRoots(const ExactPolynomial& p, Precision precision, std::vector<Root>* roots);

}  // namespace basin

// The module's entry points, each found by its name; `precision` is a
// basin::Precision.
// findRoots of the term table, each coefficient's imaginary part with it.
extern "C" bool basinTableRoots(const basin::Term* table, int terms, int precision,
                                std::vector<basin::Root>* roots);
// findWrittenRoots: the roots of `text` as written, expanded exactly.
extern "C" bool basinWrittenRoots(const std::string* text, int precision,
                                  std::vector<basin::Root>* roots);
// readWrittenPolynomial; the result is a basin::WrittenReading.
extern "C" int basinReadPolynomial(const std::string* text, int precision, basin::Terms* out,
                                   basin::PolynomialError* error);
// readWrittenConstant.
extern "C" bool basinReadConstant(const std::string* text, int precision, basin::WideComplex* value,
                                  basin::PolynomialError* error);
