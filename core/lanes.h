// Newton runs for a row of samples, several at once in the lanes of a vector.
//
// solveRow gives every sample exactly the outcome `solve` gives it: the same
// end point bits, ITS and FAULT. Each lane carries out the scalar run's own
// sequence of double operations and float stores; a lane whose run ends
// writes its outcome and takes the next sample of the row at once, so no
// lane idles until the row runs out. Any term table a Solver holds works,
// for either storage type (float or double).
//
// The vector width is chosen at run time from what the CPU supports; on any
// other CPU, or for a table the lanes cannot hold, the scalar `solve` runs.
// Every function here is thread-safe and allocates nothing.
#pragma once

#include "core/lane_kernel.h"
#include "core/newton.h"

namespace basin {

// The instruction sets the solver can run on, slowest first; each is a row
// of one table in core/lanes.cpp (its name, how the CPU is asked whether it
// has it, and its kernel).
enum class LanePath { Scalar, Sse2, Avx2, Avx512 };
constexpr LanePath LANE_PATHS[] = {LanePath::Scalar, LanePath::Sse2, LanePath::Avx2,
                                   LanePath::Avx512};
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

// The runs from (xs[i], y), i = 0 ... n - 1, their outcomes into out[i].
template <class T>
void solveRow(const BasicLaneJob<T>& job, const T* xs, T y, int n, BasicOutcome<T>* out);

// The same for one row alone, its tables prepared on the spot.
template <class T>
void solveRow(const BasicSolver<T>& solver, const T* xs, T y, int n, BasicOutcome<T>* out,
              LanePath path = fastestLanePath()) {
  solveRow(BasicLaneJob<T>(solver, path), xs, y, n, out);
}

extern template struct BasicLaneJob<float>;
extern template struct BasicLaneJob<double>;

}  // namespace basin
