#include "core/lanes.h"

#include <cstdlib>
#include <cstring>

#include "core/lane_kernel.h"

namespace basin {

namespace {

constexpr LanePath FASTEST_FIRST[] = {LanePath::Avx512, LanePath::Avx2, LanePath::Sse2,
                                      LanePath::Scalar};

LanePath fastestSupported() {
  for (LanePath path : FASTEST_FIRST) {
    if (laneSupported(path)) return path;
  }
  return LanePath::Scalar;
}

// False for an exponent whose power the lanes do not keep; NaN fails both
// comparisons, and the range check comes before the conversion to int.
bool prepareTerms(const Term* table, int count, LaneTerm* terms, int* highest) {
  for (int i = 0; i < count; ++i) {
    const Term& term = table[i];
    if (!(term.exponent > -2.0f && term.exponent < MAXPOWER + 1.0f)) return false;
    const int n = int(term.exponent);
    const double c = term.coefficient;
    terms[i] = LaneTerm{c,
                        n == 0  ? 0
                        : n < 0 ? 1
                                : n,
                        c == 1.0 || c == -1.0,
                        {stored(c * 1.0), stored(c * 0.0)}};
    if (terms[i].power > *highest) *highest = terms[i].power;
  }
  return true;
}

void solveScalar(const Solver& solver, const float* xs, float y, int n, Outcome* out) {
  for (int i = 0; i < n; ++i) out[i] = solve(solver, Complex{xs[i], y});
}

}  // namespace

bool prepareLanes(const Solver& solver, LaneTables* tables) {
  tables->polyTerms = solver.terms > 0 ? solver.terms : 0;
  tables->derivTerms = solver.terms > 1 ? solver.terms - 1 : 0;
  tables->highest = 1;
  tables->ftol = solver.FTOL;
  return tables->polyTerms <= MAXTERMS &&
         prepareTerms(solver.POLY, tables->polyTerms, tables->poly, &tables->highest) &&
         prepareTerms(solver.DERIV, tables->derivTerms, tables->deriv, &tables->highest);
}

bool laneSupported(LanePath path) {
  switch (path) {
    case LanePath::Scalar:
      return true;
#ifdef BASIN_VECTOR_LANES
    case LanePath::Sse2:
      return true;  // part of every x86-64 CPU
    case LanePath::Avx2:
      return __builtin_cpu_supports("avx2");
    case LanePath::Avx512:
      return __builtin_cpu_supports("avx512f");
#endif
    default:
      return false;
  }
}

const char* laneName(LanePath path) {
  switch (path) {
    case LanePath::Sse2:
      return "sse2";
    case LanePath::Avx2:
      return "avx2";
    case LanePath::Avx512:
      return "avx512";
    default:
      return "scalar";
  }
}

LanePath lanePath() {
  const char* wanted = std::getenv("BASIN_LANES");
  if (wanted != nullptr) {
    for (LanePath path : FASTEST_FIRST) {
      if (std::strcmp(wanted, laneName(path)) == 0 && laneSupported(path)) return path;
    }
  }
  return fastestSupported();
}

void solveRow(const Solver& solver, const float* xs, float y, int n, Outcome* out, LanePath path) {
  if (!laneSupported(path)) path = fastestSupported();
  LaneTables tables;
  if (path == LanePath::Scalar || !prepareLanes(solver, &tables)) {
    solveScalar(solver, xs, y, n, out);
    return;
  }
#ifdef BASIN_VECTOR_LANES
  switch (path) {
    case LanePath::Avx512:
      lanes_avx512::solveRow(tables, xs, y, n, out);
      return;
    case LanePath::Avx2:
      lanes_avx2::solveRow(tables, xs, y, n, out);
      return;
    default:
      lanes_sse2::solveRow(tables, xs, y, n, out);
      return;
  }
#endif
  solveScalar(solver, xs, y, n, out);
}

}  // namespace basin
