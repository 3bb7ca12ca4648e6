// What the vector kernels share with the code that dispatches to them.
//
// core/lane_kernel.cpp is compiled once per instruction set
// (core/instruction_sets.h), each copy into its own namespace. LaneTables is the solver's
// term tables made ready for the lanes: it holds plain data only, so a
// kernel compiled for a wider instruction set never supplies an inline
// function that baseline code could end up calling.
#pragma once

#include "core/instruction_sets.h"
#include "core/newton.h"

namespace basin {

// The highest power of z a lane keeps: enough for every exponent.
constexpr int MAXPOWER = MAXDEGREE;

// One term as the lanes use it: coefficient * z^power, with power the
// exponent truncated (a negative one acts as 1, as pwrcom copies its input
// for every n other than 0 that leaves its loop empty). A power-0 term is
// the same coefficient times (1, 0) in every run, kept ready in `constant`
// as the stores would leave it. `imaginary` is the coefficient's imaginary
// part, 0 for a real term.
struct LaneTerm {
  double coefficient;
  double imaginary;
  int power;
  double constant[2];
};

struct LaneTables {
  LaneTerm poly[MAXTERMS];
  int polyTerms;
  LaneTerm deriv[MAXTERMS];
  int derivTerms;
  int highest;   // the highest power either table uses, at least 1
  bool complex;  // some term of either table has an imaginary part
  double ftol;
  double relax[2];        // the step's factor A, (1, 0) for the plain step
  bool relaxed;           // A is not 1
  bool branchFreeRetire;  // the speed measure of core/speed.h, read as the job was made
};

// Fills *tables from the solver; false when an exponent lies beyond
// MAXPOWER (or is no number), which only the scalar run handles.
template <class T>
bool prepareLanes(const BasicSolver<T>& solver, LaneTables* tables);

// Rows of runs as solveRows describes them, one namespace per instruction
// set (lanes_sse2, ...), one function per storage type.
#define BASIN_LANE_KERNELS(Path, name, feature, width, flag)                                      \
  namespace lanes_##name {                                                                        \
    void solveRows(const LaneTables& tables, const float* xs, const float* ys, int n, int rows,   \
                   Outcome* const* outs);                                                         \
    void solveRows(const LaneTables& tables, const double* xs, const double* ys, int n, int rows, \
                   WideOutcome* const* outs);                                                     \
  }
BASIN_INSTRUCTION_SETS(BASIN_LANE_KERNELS)
#undef BASIN_LANE_KERNELS

}  // namespace basin
