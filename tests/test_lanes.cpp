// The vector solver against the scalar run, bit for bit, on every path this
// CPU supports.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "core/lanes.h"
#include "examples/duobasin.h"
#include "examples/quadbasin.h"
#include "viewer/views.h"

namespace basin {
namespace {

// The vector paths this CPU supports, and all its paths with the scalar one.
const std::vector<LanePath> VECTOR_PATHS = [] {
  std::vector<LanePath> supported;
  for (LanePath path : {LanePath::Sse2, LanePath::Avx2, LanePath::Avx512}) {
    if (laneSupported(path)) supported.push_back(path);
  }
  return supported;
}();
std::vector<LanePath> allPaths() {
  std::vector<LanePath> paths = VECTOR_PATHS;
  paths.push_back(LanePath::Scalar);
  return paths;
}

bool sameBits(const Outcome& a, const Outcome& b) {
  return std::memcmp(&a.end, &b.end, sizeof a.end) == 0 && a.its == b.its && a.fault == b.fault;
}

// Exact figures: a difference in the last bit shows.
std::string describe(const Outcome& o) {
  char text[96];
  std::snprintf(text, sizeof text, "(%a, %a) its %d fault %d", o.end.re, o.end.im, o.its, o.fault);
  return text;
}

// Compares solveRow on each of `paths` with solve for the samples (xs[i], y),
// i < n; counts the differences per path into counts[path] and describes the
// first of each into firsts[path].
void compareRow(const Solver& solver, const float* xs, float y, int n,
                const std::vector<LanePath>& paths, int* counts, std::string* firsts) {
  std::vector<Outcome> scalar(n), lanes(n + 1);
  for (int i = 0; i < n; ++i) scalar[i] = solve(solver, Complex{xs[i], y});
  for (LanePath path : paths) {
    const int p = int(path);
    lanes[n].its = -7;
    solveRow(solver, xs, y, n, lanes.data(), path);
    if (lanes[n].its != -7) firsts[p] = "wrote past the row", ++counts[p];
    for (int i = 0; i < n; ++i) {
      if (sameBits(lanes[i], scalar[i]) || counts[p]++ > 0) continue;
      firsts[p] = "from " + describe(Outcome{{xs[i], y}, 0, 0}) + ": " + describe(lanes[i]) +
                  " instead of " + describe(scalar[i]);
    }
  }
}

// Under the sanitizers, which look for memory faults rather than other
// bits, a quarter of the rows keeps the test quick; the plain build compares
// every row.
#ifdef __SANITIZE_ADDRESS__
constexpr int ROW_THINNING = 4;
#else
constexpr int ROW_THINNING = 1;
#endif

struct Window {
  float xmin, xmax, ymin, ymax;
};

Window zoomedThriceAtCentre() {
  Views views;
  for (int i = 0; i < 3; ++i) {
    zoom(views, Pointer{400, 400});
    changewin(views);
  }
  return Window{views.XMIN, views.XMAX, views.YMIN, views.YMAX};
}

const Variant CUBIC{"z^3 - 2z + 2", {{1, 3}, {-2, 1}, {2, 0}}, 3, 1e-10f, 1e-8f, 1};
const Variant QUARTIC{
    "-0.5z^4 + z^2 - 0.25", {{-0.5f, 4}, {1, 2}, {-0.25f, 0}}, 3, 1e-10f, 1e-8f, 1};
const Variant QUINTIC{"2z^5 + 1", {{2, 5}, {1, 0}}, 2, 1e-12f, 1e-8f, 1};
// No constant, so the constant is a zero term; exponents out of order up to 18.
const Variant NO_CONSTANT{
    "z^2 + z^18 - 3z^5 + 0", {{1, 2}, {1, 18}, {-3, 5}, {0, 0}}, 4, 1e-10f, 1e-8f, 1};

TEST(Lanes, EveryFrameSampleMatchesTheScalarRunOnEveryPath) {
  const Window start{-2, 2, -2, 2};
  // The programs' frames in full; the other polynomials on every eighth
  // row, which keeps the whole table to a few seconds.
  const struct {
    const Variant& variant;
    Window window;
    int rowStep;
  } frames[] = {
      {QUADBASIN, start, 1},
      {QUADBASIN, zoomedThriceAtCentre(), 1},
      {QUADBASIN, {-1e10f, 1e10f, -1e10f, 1e10f}, 1},
      {QUADBASIN, {0.5f, 1.5f, -1e-39f, 1e-39f}, 1},  // subnormal rows
      {DUOBASIN, start, 1},
      {CUBIC, start, 8},
      {QUARTIC, start, 8},
      {QUINTIC, {-1.5f, 1.5f, -1.5f, 1.5f}, 8},
      {NO_CONSTANT, {-1.2f, 1.2f, -1.2f, 1.2f}, 8},
  };
  for (const auto& frame : frames) {
    Solver solver(frame.variant);
    derive(solver);
    const Window& w = frame.window;
    float xs[GRID], ys[GRID];
    axisPositions(w.xmin, w.xmax, GRID, true, xs);
    axisPositions(w.ymin, w.ymax, GRID, false, ys);
    int counts[4] = {};
    std::string firsts[4];
    for (int row = 0; row < GRID; row += frame.rowStep * ROW_THINNING) {
      compareRow(solver, xs, ys[row], GRID, VECTOR_PATHS, counts, firsts);
    }
    for (LanePath path : VECTOR_PATHS) {
      EXPECT_EQ(counts[int(path)], 0)
          << frame.variant.name << " over [" << w.xmin << ", " << w.xmax << "] x [" << w.ymin
          << ", " << w.ymax << "] on " << laneName(path) << ": " << firsts[int(path)];
    }
  }
}

TEST(Lanes, RowsShorterThanTheLanesAndRaggedEnds) {
  Solver solver(QUADBASIN);
  derive(solver);
  float xs[GRID];
  axisPositions(-2, 2, GRID, true, xs);
  for (int n : {0, 1, 3, 7, 13, 17}) {
    int counts[4] = {};
    std::string firsts[4];
    compareRow(solver, xs + 395, 1e-4f, n, allPaths(), counts, firsts);
    for (LanePath path : allPaths()) {
      EXPECT_EQ(counts[int(path)], 0) << laneName(path) << " n " << n << ": " << firsts[int(path)];
    }
  }
}

// Rows on the real axis, where the sign of a zero decides end-point bits;
// starts at zero, infinity, NaN and the tolerance itself; and the one start
// found in 3e8 duobasin steps whose quotient would change if divided by
// multiplying with 1 / d (in its fifth step; FTOL 1e-7 ends the run on the
// iterate it moves).
TEST(Lanes, SignedZerosAndSpecialStartsMatchTheScalarRun) {
  // |f(2)|^2 is 9 exactly: the run from 2 converges at once only if the
  // tolerance test lets equality pass.
  const Variant tie{"z^2 - 1, FTOL 9", {{1, 2}, {-1, 0}}, 2, 9.0f, 1e-8f, 0};
  const Variant early{"z^2 - 1, FTOL 1e-7", {{1, 2}, {-1, 0}}, 2, 1e-7f, 1e-8f, 0};
  const float inf = INFINITY, nan = NAN;
  const float specials[] = {2,      -2,     1,       -1,  0,    -0.0f, 1e-4f,
                            -1e-4f, 1e-40f, 3.4e38f, inf, -inf, nan,   -0x1.b541f8p-1f};
  float xs[GRID];
  axisPositions(-2, 2, GRID, true, xs);
  for (int i = 0; i < int(std::size(specials)); ++i) xs[i * 61] = specials[i];
  for (const Variant* variant : {&QUADBASIN, &DUOBASIN, &CUBIC, &NO_CONSTANT, &tie, &early}) {
    Solver solver(*variant);
    derive(solver);
    for (float y : {0.0f, -0.0f, 2.0f, nan, -0x1.e92446p+0f}) {
      int counts[4] = {};
      std::string firsts[4];
      compareRow(solver, xs, y, GRID, VECTOR_PATHS, counts, firsts);
      for (LanePath path : VECTOR_PATHS) {
        EXPECT_EQ(counts[int(path)], 0) << variant->name << " row " << y << " on " << laneName(path)
                                        << ": " << firsts[int(path)];
      }
    }
  }
}

TEST(Lanes, EnvironmentChoosesASupportedPath) {
  unsetenv("BASIN_LANES");
  const LanePath fastest = lanePath();
  EXPECT_TRUE(laneSupported(fastest));
  EXPECT_TRUE(laneSupported(LanePath::Scalar));
  const struct {
    const char* value;
    LanePath expected;
  } cases[] = {{"scalar", LanePath::Scalar},
               {"sse2", laneSupported(LanePath::Sse2) ? LanePath::Sse2 : fastest},
               {"avx2", laneSupported(LanePath::Avx2) ? LanePath::Avx2 : fastest},
               {"avx512", laneSupported(LanePath::Avx512) ? LanePath::Avx512 : fastest},
               {"AVX2", fastest},
               {"neon", fastest},
               {"", fastest}};
  for (const auto& c : cases) {
    setenv("BASIN_LANES", c.value, 1);
    EXPECT_EQ(lanePath(), c.expected) << c.value;
    EXPECT_STREQ(laneName(lanePath()), laneName(c.expected)) << c.value;
  }
  unsetenv("BASIN_LANES");
  EXPECT_EQ(lanePath(), fastest);
}

}  // namespace
}  // namespace basin
