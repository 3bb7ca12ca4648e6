// Newton runs for rows of samples, several at once in the lanes of a vector.
//
// solveRows gives every sample exactly the outcome `solve` gives it: the
// same end point bits, ITS and FAULT. Each lane carries out the scalar run's
// own sequence of double operations and float stores; a lane whose run ends
// writes its outcome and takes the next sample at once, going on to the next
// row's when a row runs out, so no lane idles until the last row does. Any
// term table a Solver holds works, for either storage type (float or double).
//
// The vector width is chosen at run time from what the CPU supports; on any
// other CPU, or for a table the lanes cannot hold, the scalar `solve` runs.
// Every function here is thread-safe and allocates nothing.
#pragma once

#include "core/instruction_sets.h"
#include "core/lane_kernel.h"
#include "core/newton.h"

namespace basin {

// The paths the solver can run on: the scalar run, then each instruction
// set of core/instruction_sets.h, slowest first.
#define BASIN_LANE_PATH(Path, name, feature, width, flag) Path,
enum class LanePath { Scalar, BASIN_INSTRUCTION_SETS(BASIN_LANE_PATH) };
#undef BASIN_LANE_PATH
#define BASIN_LANE_PATH(Path, name, feature, width, flag) LanePath::Path,
constexpr LanePath LANE_PATHS[] = {LanePath::Scalar, BASIN_INSTRUCTION_SETS(BASIN_LANE_PATH)};
#undef BASIN_LANE_PATH
constexpr int LANE_PATH_COUNT = int(sizeof LANE_PATHS / sizeof LANE_PATHS[0]);

// The fastest path this CPU supports.
LanePath fastestLanePath();

// The path called `name` (scalar, sse2, avx2 or avx512) if this CPU
// supports it, else the fastest; a null name gets the fastest too. The
// programs read the name from their environment at start-up.
LanePath lanePathNamed(const char* name);

bool laneSupported(LanePath path);

// "scalar", "sse2", "avx2" or "avx512".
const char* laneName(LanePath path);

// One solver's term tables made ready for one path, once for any number of
// rows: a path this CPU does not support becomes the fastest one it does,
// and a table the lanes cannot hold the scalar path. Plain data; the solver
// must outlive it and not change.
template <class T>
struct BasicLaneJob {
  BasicLaneJob(const BasicSolver<T>& solver, LanePath path);

  const BasicSolver<T>* solver;
  LanePath path;
  LaneTables tables;
};

using LaneJob = BasicLaneJob<float>;
using WideLaneJob = BasicLaneJob<double>;

// The runs from (xs[i], ys[r]), i = 0 ... n - 1, r = 0 ... rows - 1, their
// outcomes into outs[r][i]. The slowest runs of a row hold up the lanes only
// in the last row: where a row's runs vary widely (quadbasin's), solving a
// few rows at once saves a sixth of the iterations or more.
template <class T>
void solveRows(const BasicLaneJob<T>& job, const T* xs, const T* ys, int n, int rows,
               BasicOutcome<T>* const* outs);

// The runs from (xs[i], y), i = 0 ... n - 1, their outcomes into out[i].
template <class T>
void solveRow(const BasicLaneJob<T>& job, const T* xs, T y, int n, BasicOutcome<T>* out) {
  solveRows(job, xs, &y, n, 1, &out);
}

// The same for one row alone, its tables prepared on the spot.
template <class T>
void solveRow(const BasicSolver<T>& solver, const T* xs, T y, int n, BasicOutcome<T>* out,
              LanePath path = fastestLanePath()) {
  solveRow(BasicLaneJob<T>(solver, path), xs, y, n, out);
}

extern template struct BasicLaneJob<float>;
extern template struct BasicLaneJob<double>;

}  // namespace basin
