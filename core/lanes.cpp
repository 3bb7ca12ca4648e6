#include "core/lanes.h"

#include <cstdlib>
#include <cstring>

#include "core/lane_kernel.h"
#include "core/speed.h"

namespace basin {

namespace {

template <class T>
using Kernel = void (*)(const LaneTables&, const T*, const T*, int, int, BasicOutcome<T>* const*);

struct InstructionSet {
  LanePath path;
  const char* name;
  bool (*supported)();
  // nullptr: the scalar run, a sample at a time
  Kernel<float> narrow;  // float storage
  Kernel<double> wide;   // double storage

  Kernel<float> kernel(const float*) const { return narrow; }
  Kernel<double> kernel(const double*) const { return wide; }
};

// Every path, in the order of LanePath, slowest first. The kernels exist
// where the build made them (BASIN_VECTOR_LANES: on x86-64).
#ifdef BASIN_VECTOR_LANES
#define BASIN_SET_ROW(Path, name, feature, width, flag)                         \
  {LanePath::Path, #name, [] { return bool(__builtin_cpu_supports(feature)); }, \
   static_cast<Kernel<float>>(&lanes_##name::solveRows),                        \
   static_cast<Kernel<double>>(&lanes_##name::solveRows)},
#else
#define BASIN_SET_ROW(Path, name, feature, width, flag) \
  {LanePath::Path, #name, [] { return false; }, nullptr, nullptr},
#endif
const InstructionSet SETS[] = {{LanePath::Scalar, "scalar", [] { return true; }, nullptr, nullptr},
                               BASIN_INSTRUCTION_SETS(BASIN_SET_ROW)};
#undef BASIN_SET_ROW
static_assert(sizeof SETS / sizeof SETS[0] == LANE_PATH_COUNT, "one row per path");

const InstructionSet& setOf(LanePath path) { return SETS[int(path)]; }

LanePath fastestSupported() {
  for (int i = LANE_PATH_COUNT - 1; i > 0; --i)
    if (SETS[i].supported()) return SETS[i].path;
  return LanePath::Scalar;
}

// False for an exponent whose power the lanes do not keep; NaN fails both
// comparisons, and the range check comes before the conversion to int.
template <class T>
bool prepareTerms(const BasicTerm<T>* table, int count, LaneTerm* terms, int* highest,
                  bool* complex) {
  for (int i = 0; i < count; ++i) {
    const BasicTerm<T>& term = table[i];
    if (!(term.exponent > T(-2) && term.exponent < T(MAXPOWER + 1))) return false;
    const int n = int(term.exponent);
    const double a = term.coefficient, b = term.imaginary;
    // The constant as multcom or prodcom leaves the coefficient times (1, 0).
    const double constant[2] = {
        isReal(term) ? storedAs<T>(a * 1.0) : storedAs<T>(a * 1.0 - b * 0.0),
        isReal(term) ? storedAs<T>(a * 0.0) : storedAs<T>(a * 0.0 + b * 1.0)};
    terms[i] = LaneTerm{a, b, n == 0 ? 0 : n < 0 ? 1 : n, {constant[0], constant[1]}};
    if (terms[i].power > *highest) *highest = terms[i].power;
    *complex = *complex || !isReal(term);
  }
  return true;
}

}  // namespace

template <class T>
bool prepareLanes(const BasicSolver<T>& solver, LaneTables* tables) {
  const int terms = solver.POLY.count;
  tables->polyTerms = terms > 0 ? terms : 0;
  tables->derivTerms = terms > 1 ? terms - 1 : 0;
  tables->highest = 1;
  tables->complex = false;
  tables->ftol = solver.FTOL;
  tables->relax[0] = solver.RELAX.re;
  tables->relax[1] = solver.RELAX.im;
  tables->relaxed = solver.relaxed;
  tables->branchFreeRetire = speedMeasures().branchFreeRetire;
  return tables->polyTerms <= MAXTERMS &&
         prepareTerms(solver.POLY.term, tables->polyTerms, tables->poly, &tables->highest,
                      &tables->complex) &&
         prepareTerms(solver.DERIV, tables->derivTerms, tables->deriv, &tables->highest,
                      &tables->complex);
}

bool laneSupported(LanePath path) { return setOf(path).supported(); }

const char* laneName(LanePath path) { return setOf(path).name; }

LanePath fastestLanePath() { return fastestSupported(); }

LanePath lanePathNamed(const char* wanted) {
  if (wanted != nullptr) {
    for (const InstructionSet& set : SETS)
      if (std::strcmp(wanted, set.name) == 0 && set.supported()) return set.path;
  }
  return fastestSupported();
}

template <class T>
BasicLaneJob<T>::BasicLaneJob(const BasicSolver<T>& s, LanePath p)
    : solver(&s), path(laneSupported(p) ? p : fastestSupported()), tables() {
  if (path != LanePath::Scalar && !prepareLanes(s, &tables)) path = LanePath::Scalar;
}

template <class T>
void solveRows(const BasicLaneJob<T>& job, const T* xs, const T* ys, int n, int rows,
               BasicOutcome<T>* const* outs) {
  if (const Kernel<T> kernel = setOf(job.path).kernel(xs))
    return kernel(job.tables, xs, ys, n, rows, outs);
  for (int r = 0; r < rows; ++r)
    for (int i = 0; i < n; ++i) outs[r][i] = solve(*job.solver, BasicComplex<T>{xs[i], ys[r]});
}

// The two storage types.
template bool prepareLanes(const BasicSolver<float>&, LaneTables*);
template bool prepareLanes(const BasicSolver<double>&, LaneTables*);
template struct BasicLaneJob<float>;
template struct BasicLaneJob<double>;
template void solveRows(const BasicLaneJob<float>&, const float*, const float*, int, int,
                        Outcome* const*);
template void solveRows(const BasicLaneJob<double>&, const double*, const double*, int, int,
                        WideOutcome* const*);

}  // namespace basin
