// The catalogue of named programs, each declared once: its name and its
// parameter set as written. The viewers, the picture writer, the
// benchmarks and the tests all find the named programs here; a user's
// polynomial is not among them. A model of either storage type reads the
// same entry (variantOf), each number the value of its storage type
// nearest the decimal written.
#pragma once

#include <string>

#include "core/newton.h"

namespace basin {

// The exact roots of the named programs' polynomials, re and im, for the
// rings and the information panel: known, so nothing need find them.
inline constexpr double ROOTS_OF_Z2_MINUS_1[][2] = {{-1, 0}, {1, 0}};
inline constexpr double ROOTS_OF_Z4_MINUS_1[][2] = {{0, 1}, {0, -1}, {-1, 0}, {1, 0}};

struct Program {
  const char* name;
  const char* formula;       // the polynomial as a person writes it: POLY, its terms in that order
  const char* FTOL;          // the convergence tolerance on |f(z)|^2, as written
  const char* RTOL;          // the root-match tolerance on squared distance, as written
  int EXTRASLOTS;            // registry slots beyond the degree
  const double (*roots)[2];  // its polynomial's roots, each once
  int rootCount;
};

inline constexpr Program PROGRAMS[] = {
    {"duobasin", "z^2 - 1", "1e-14", "1e-10", 0, ROOTS_OF_Z2_MINUS_1, 2},  // z^2 - 1
    {"quadbasin", "z^4 - 1", "1e-10", "1e-8", 1, ROOTS_OF_Z4_MINUS_1, 4},  // z^4 - 1
};

// The named program called `name`, or nullptr.
const Program* findProgram(const std::string& name);

// The parameter set of `program` for a model of `precision`.
Variant variantOf(const Program& program, Precision precision);

// The names joined for a message: "duobasin, quadbasin".
std::string programNames();

// The float models of the two named programs, which the tests and the
// benchmarks use most.
extern const Variant DUOBASIN;
extern const Variant QUADBASIN;

}  // namespace basin
