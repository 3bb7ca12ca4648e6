// Newton runs for a row of samples, several at once in the lanes of a vector.
//
// solveRow gives every sample exactly the outcome `solve` gives it: the same
// end point bits, ITS and FAULT. Each lane carries out the scalar run's own
// sequence of double operations and float stores; a lane whose run ends
// writes its outcome and takes the next sample of the row at once, so no
// lane idles until the row runs out. Any term table a Solver holds works.
//
// The vector width is chosen at run time from what the CPU supports; on any
// other CPU, or for a table the lanes cannot hold, the scalar `solve` runs.
// Every function here is thread-safe and allocates nothing.
#pragma once

#include "core/newton.h"

namespace basin {

enum class LanePath { Scalar, Sse2, Avx2, Avx512 };

// The fastest path this CPU supports, unless the environment variable
// BASIN_LANES (scalar, sse2, avx2 or avx512) names a supported one; an
// unknown or unsupported name gets the fastest. Read at every call.
LanePath lanePath();

bool laneSupported(LanePath path);

// "scalar", "sse2", "avx2" or "avx512".
const char* laneName(LanePath path);

// The runs from (xs[i], y), i = 0 ... n - 1, their outcomes into out[i]. A
// path this CPU does not support is replaced by the fastest one it does.
void solveRow(const Solver& solver, const float* xs, float y, int n, Outcome* out,
              LanePath path = lanePath());

}  // namespace basin
