// The vector solver against the scalar run, bit for bit, on every path this
// CPU supports.
#include <gtest/gtest.h>
#include <sched.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/huge_pages.h"
#include "core/lanes.h"
#include "core/processors.h"
#include "core/programs.h"
#include "core/rows.h"
#include "core/speed.h"
#include "viewer/views.h"

namespace basin {
namespace {

// The paths this CPU supports, the scalar one first or left out.
std::vector<LanePath> supportedPaths(bool withScalar) {
  std::vector<LanePath> paths;
  for (LanePath path : LANE_PATHS)
    if (laneSupported(path) && (withScalar || path != LanePath::Scalar)) paths.push_back(path);
  return paths;
}

// Exact figures: a difference in the last bit shows.
template <class T>
std::string describe(const BasicOutcome<T>& o) {
  char text[96];
  std::snprintf(text, sizeof text, "(%a, %a) its %d fault %d", double(o.end.re), double(o.end.im),
                o.its, o.fault);
  return text;
}

// Whether two outcomes agree in every bit: NaN and the sign of zero count.
template <class T>
bool same(const BasicOutcome<T>& a, const BasicOutcome<T>& b) {
  return std::memcmp(&a.end, &b.end, sizeof a.end) == 0 && a.its == b.its && a.fault == b.fault;
}

// Where solveRows on each path differs from solve: a count per path and the
// first difference described.
struct Differences {
  explicit Differences(std::vector<LanePath> on) : paths(std::move(on)) {}

  std::vector<LanePath> paths;
  int count[LANE_PATH_COUNT] = {};
  std::string first[LANE_PATH_COUNT];

  // The samples (xs[i], ys[r]), i < n, r < rows, solved together;
  // `reference`, if given, holds what solve gives them, row after row. T:
  // the storage type, float or double.
  template <class T>
  void compareRows(const BasicSolver<T>& solver, const T* xs, const T* ys, int n, int rows,
                   const BasicOutcome<T>* reference = nullptr) {
    const std::size_t row = std::size_t(n) + 1;  // and a cell that must stay as it is
    std::vector<BasicOutcome<T>> scalar(row * rows), lanes(row * rows);
    std::vector<BasicOutcome<T>*> outs;
    for (int r = 0; r < rows; ++r) {
      outs.push_back(&lanes[r * row]);
      for (int i = 0; i < n; ++i)
        scalar[r * row + i] =
            reference ? reference[r * n + i] : solve(solver, BasicComplex<T>{xs[i], ys[r]});
    }
    for (LanePath path : paths) {
      const int p = int(path);
      for (int r = 0; r < rows; ++r) lanes[r * row + n].its = -7;
      solveRows(BasicLaneJob<T>(solver, path), xs, ys, n, rows, outs.data());
      for (int r = 0; r < rows; ++r) {
        if (lanes[r * row + n].its != -7) first[p] = "wrote past a row", ++count[p];
        for (int i = 0; i < n; ++i) {
          const BasicOutcome<T>& a = lanes[r * row + i];
          const BasicOutcome<T>& b = scalar[r * row + i];
          if (same(a, b) || count[p]++ > 0) continue;
          first[p] = "from " + describe(BasicOutcome<T>{{xs[i], ys[r]}, 0, 0}) + ": " +
                     describe(a) + " instead of " + describe(b);
        }
      }
    }
  }

  template <class T>
  void compareRow(const BasicSolver<T>& solver, const T* xs, T y, int n,
                  const BasicOutcome<T>* reference = nullptr) {
    compareRows(solver, xs, &y, n, 1, reference);
  }

  void expectNone(const std::string& what) const {
    for (LanePath path : paths) {
      EXPECT_EQ(count[int(path)], 0)
          << what << " on " << laneName(path) << ": " << first[int(path)];
    }
  }
};

// Under the sanitizers, which look for memory faults rather than other
// bits, a quarter of the rows keeps the test quick; the plain build compares
// every row.
#ifdef __SANITIZE_ADDRESS__
constexpr int ROW_THINNING = 4;
#else
constexpr int ROW_THINNING = 1;
#endif

Window zoomedThriceAtCentre() {
  Views views;
  for (int i = 0; i < 3; ++i) {
    zoom(views, Pointer{400, 400});
    changewin(views);
  }
  return Window{views.XMIN(), views.XMAX(), views.YMIN(), views.YMAX()};
}

const Variant CUBIC{"z^3 - 2z + 2", {{{1, 3}, {-2, 1}, {2, 0}}, 3}, 1e-10f, 1e-8f, 1};
const Variant QUARTIC{
    "-0.5z^4 + z^2 - 0.25", {{{-0.5f, 4}, {1, 2}, {-0.25f, 0}}, 3}, 1e-10f, 1e-8f, 1};
const Variant QUINTIC{"2z^5 + 1", {{{2, 5}, {1, 0}}, 2}, 1e-12f, 1e-8f, 1};
// With QUADBASIN, DUOBASIN and QUINTIC, one of each power the kernel keeps
// in registers for a z^N + c: 2 ... 6.
const Variant CUBE{"z^3 - 1", {{{1, 3}, {-1, 0}}, 2}, 1e-10f, 1e-8f, 1};
const Variant SEXTIC{"-0.5z^6 + 0.3", {{{-0.5f, 6}, {0.3f, 0}}, 2}, 1e-10f, 1e-8f, 1};
// No constant, so the constant is a zero term; exponents out of order up to 18.
const Variant NO_CONSTANT{
    "z^2 + z^18 - 3z^5 + 0", {{{1, 2}, {1, 18}, {-3, 5}, {0, 0}}, 4}, 1e-10f, 1e-8f, 1};

// A full table: every exponent once, out of order, the constant last, one
// coefficient 0.
const Variant FULL_TABLE = [] {
  Variant full{"19 terms", {{}, MAXTERMS}, 1e-10f, 1e-8f, 1};
  for (int i = 0; i < MAXTERMS; ++i) {
    full.POLY.term[i] =
        Term{float(i % 3 - 1) * 0.75f + 0.125f * float(i), float((7 * i + 7) % 19)};  // 0 at i = 18
  }
  return full;
}();

// Complex coefficients: each term summed with the complex product, beside
// real terms in the same table; and relaxed steps, z - A f/f'.
const Variant CUBE_MINUS_I{"z^3 - i", {{{1, 3}, {0, 0, -1}}, 2}, 1e-10f, 1e-8f, 1};
const Variant COMPLEX_QUINTIC{
    "z^5 - (1+i)z + 0.5", {{{1, 5}, {-1, 1, -1}, {0.5f, 0}}, 3}, 1e-10f, 1e-8f, 1};
// Every exponent once, out of order; parts of every kind: 0, -0, pure
// imaginary, both parts, a complex constant.
const Variant COMPLEX_TABLE = [] {
  Variant table{"19 complex terms", {{}, MAXTERMS}, 1e-10f, 1e-8f, 1};
  for (int i = 0; i < MAXTERMS; ++i) {
    const float re = i % 4 == 1 ? 0.0f : float(i % 3 - 1) * 0.75f + 0.125f * float(i);
    const float im = i % 3 == 0 ? (i % 2 == 0 ? 0.0f : -0.0f) : 0.3f * float(i % 5) - 0.6f;
    table.POLY.term[i] = Term{re, float((7 * i + 7) % 19), im};
  }
  return table;
}();

Variant relaxed(Variant variant, float re, float im) {
  variant.relax = WideComplex{re, im};
  return variant;
}

// One frame's rows (every rowStep-th) on every path, and on three threads,
// against the scalar run, with every value stored as a T.
template <class T>
void expectFrameMatches(RowSolver& threads, const Variant& variant, const Window& w, int rowStep) {
  BasicSolver<T> solver(variant);
  derive(solver);
  T xs[GRID], ys[GRID];
  axisPositions(w.xmin, w.xmax, GRID, true, xs);
  axisPositions(w.ymin, w.ymax, GRID, false, ys);
  std::vector<T> rows;
  std::vector<BasicOutcome<T>> reference;
  for (int row = 0; row < GRID; row += rowStep * ROW_THINNING) {
    rows.push_back(ys[row]);
    for (int i = 0; i < GRID; ++i)
      reference.push_back(solve(solver, BasicComplex<T>{xs[i], ys[row]}));
  }
  const std::string what = std::string(variant.name) + (sizeof(T) == 8 ? " in double" : "") +
                           " over x " + std::to_string(w.xmin) + ", y " + std::to_string(w.ymin) +
                           " ...";
  // Three rows at a time: the lanes go on from one row to the next.
  Differences differences(supportedPaths(false));
  for (std::size_t j = 0; j < rows.size(); j += 3)
    differences.compareRows(solver, xs, &rows[j], GRID,
                            int(std::min<std::size_t>(3, rows.size() - j)), &reference[j * GRID]);
  differences.expectNone(what);
  if (rowStep > 1) return;
  for (LanePath path : supportedPaths(true)) {
    int wrong = 0, taken = 0;
    threads.solve(solver, xs, rows.data(), GRID, int(rows.size()), path,
                  [&](int j, const BasicOutcome<T>* out) {
                    wrong += j != taken++;
                    for (int i = 0; i < GRID; ++i) wrong += !same(out[i], reference[j * GRID + i]);
                  });
    EXPECT_EQ(wrong, 0) << what << " on " << laneName(path) << ", three threads";
  }
}

TEST(Lanes, EveryFrameSampleMatchesTheScalarRunOnEveryPathAndThreads) {
  RowSolver threads(3);
  const Window start{-2, 2, -2, 2};
  // 20 zooms deep at a basin boundary: only doubles tell the samples apart.
  const Window deep{0.3 - 5e-10, 0.3 + 5e-10, 0.7 - 5e-10, 0.7 + 5e-10};
  // The programs' frames in full; the other polynomials on every eighth
  // (or fortieth) row, which keeps the whole table to a few seconds.
  const Variant relaxedQuadbasin = relaxed(QUADBASIN, 1.5f, 0.5f);  // the kernel's z^N + c
  const Variant relaxedCube = relaxed(CUBE, 1.8f, 0);
  const Variant relaxedCubic = relaxed(CUBIC, 0.5f, 0);
  const Variant relaxedQuintic = relaxed(COMPLEX_QUINTIC, 0.7f, -0.3f);
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
      {CUBE, start, 8},
      {SEXTIC, start, 8},
      {NO_CONSTANT, {-1.2f, 1.2f, -1.2f, 1.2f}, 8},
      {FULL_TABLE, {-1.2f, 1.2f, -1.2f, 1.2f}, 40},
      {QUADBASIN, deep, 1},
      {CUBE_MINUS_I, start, 8},
      {COMPLEX_QUINTIC, start, 8},
      {COMPLEX_TABLE, {-1.2f, 1.2f, -1.2f, 1.2f}, 40},
      {relaxedQuadbasin, start, 8},
      {relaxedCube, start, 8},
      {relaxedCubic, start, 8},
      {relaxedQuintic, start, 8},
  };
  // Each frame with floats and with doubles (the variant's values are
  // floats, which doubles hold exactly).
  for (const auto& frame : frames) {
    expectFrameMatches<float>(threads, frame.variant, frame.window, frame.rowStep);
    expectFrameMatches<double>(threads, frame.variant, frame.window, frame.rowStep);
  }
  // Doubles far beyond float's range: |f|^2 overflows, the runs stop.
  expectFrameMatches<double>(threads, QUADBASIN, {-1e80, 1e80, -1e80, 1e80}, 1);
  // Ended runs retired lane by lane, that speed measure left out.
  SpeedMeasures plain;
  plain.branchFreeRetire = false;
  setSpeedMeasures(plain);
  for (int i = 0; i < 3; ++i)
    expectFrameMatches<float>(threads, frames[i].variant, frames[i].window, frames[i].rowStep);
  setSpeedMeasures(SpeedMeasures{});
}

// A row callback that throws leaves no worker behind on the job: the next,
// wider job (a larger ring) comes out right, and under AddressSanitizer no
// worker writes the freed ring. A second caller during a job is stopped.
TEST(RowSolverContract, ARowCallbackThatThrowsDrainsTheJobAndASecondCallerAborts) {
  Solver solver(QUADBASIN);
  derive(solver);
  std::vector<float> xs(2 * GRID), ys(GRID);
  axisPositions(-2, 2, 2 * GRID, true, xs.data());
  axisPositions(-2, 2, GRID, false, ys.data());
  {
    RowSolver rows(3);
    const auto wrongSamples = [&] {
      int wrong = 0;
      rows.solve(solver, xs.data(), ys.data(), 2 * GRID, 8, LanePath::Scalar,
                 [&](int j, const Outcome* out) {
                   for (int i = 0; i < 2 * GRID; i += 97)
                     wrong += !same(out[i],
                                    solve(solver, Complex{xs[std::size_t(i)], ys[std::size_t(j)]}));
                 });
      return wrong;
    };
    for (int round = 0; round < 20; ++round) {
      EXPECT_THROW(rows.solve(solver, xs.data(), ys.data(), GRID / 4, GRID, LanePath::Scalar,
                              [](int j, const Outcome*) {
                                if (j == 2) throw std::runtime_error("stop");
                              }),
                   std::runtime_error);
      ASSERT_EQ(wrongSamples(), 0) << "round " << round;
    }
    rows.windDown();  // the workers end: the caller solves the next job alone
    EXPECT_EQ(wrongSamples(), 0);
  }
  // No pool is left running here: a child forked beside threads may not start its own.
  const auto nested = [&] {
    RowSolver pool(2);
    pool.solve(solver, xs.data(), ys.data(), GRID, 2, LanePath::Scalar, [&](int, const Outcome*) {
      pool.solve(solver, xs.data(), ys.data(), GRID, 1, LanePath::Scalar,
                 [](int, const Outcome*) {});
    });
  };
  EXPECT_DEATH(nested(), "second caller");
}

// Large blocks come whole and zeroed, small ones as ever; growing a buffer
// past the huge-page size and back keeps its contents (AddressSanitizer
// builds use the ordinary heap, and check the small path's bounds).
TEST(LargeBuffers, GrowAndShrinkAcrossTheHugePageSize) {
  LargeBuffer<unsigned char> buffer(100, 7);
  for (const std::size_t size : {std::size_t(600) << 10, std::size_t(5) << 20, std::size_t(3000)}) {
    const bool grows = size > buffer.size();
    buffer.resize(size);
    EXPECT_EQ(buffer[99], 7);
    EXPECT_EQ(buffer[size - 1], grows ? 0 : 9);
    std::fill(buffer.begin() + 100, buffer.end(), 9);
    buffer.shrink_to_fit();
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 9), std::ptrdiff_t(size - 100));
  }
}

// A helper placed away from its creator's processor is left free to run on
// every processor it was allowed before, whatever they are: one alone, or
// all. Those are the processors the process counts as usable.
TEST(Processors, PlacingAwayLeavesTheAllowedProcessorsAsTheyWere) {
  cpu_set_t all, one;
  ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
  CPU_ZERO(&one);
  CPU_SET(sched_getcpu(), &one);
  for (const cpu_set_t* mask : {&all, &one}) {
    cpu_set_t after;
    std::thread([&] {
      sched_setaffinity(0, sizeof *mask, mask);
      EXPECT_EQ(usableProcessors(), CPU_COUNT(mask));
      std::atomic<bool> placed{false};
      std::thread helper([&] {
        while (!placed) std::this_thread::yield();
        sched_getaffinity(0, sizeof after, &after);
      });
      placeAwayFromCaller(helper, 0);
      placed = true;
      helper.join();
    }).join();
    EXPECT_TRUE(CPU_EQUAL(&after, mask)) << CPU_COUNT(mask) << " allowed";
  }
}

TEST(Lanes, RowsShorterThanTheLanesAndRaggedEnds) {
  Solver solver(QUADBASIN);
  derive(solver);
  float xs[GRID];
  axisPositions(-2, 2, GRID, true, xs);
  const float ys[] = {1e-4f, 0.3f, -0.7f, 1.5f, -1e-4f};
  for (int n : {0, 1, 3, 7, 13, 17}) {
    Differences differences(supportedPaths(true));
    differences.compareRow(solver, xs + 395, 1e-4f, n);
    differences.compareRows(solver, xs + 395, ys, n, 5);  // the lanes go on from row to row
    differences.expectNone("n " + std::to_string(n));
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
  const Variant tie{"z^2 - 1, FTOL 9", {{{1, 2}, {-1, 0}}, 2}, 9.0f, 1e-8f, 0};
  const Variant early{"z^2 - 1, FTOL 1e-7", {{{1, 2}, {-1, 0}}, 2}, 1e-7f, 1e-8f, 0};
  const float inf = INFINITY, nan = NAN;
  const float specials[] = {2,      -2,     1,       -1,  0,    -0.0f, 1e-4f,
                            -1e-4f, 1e-40f, 3.4e38f, inf, -inf, nan,   -0x1.b541f8p-1f};
  float xs[GRID];
  axisPositions(-2, 2, GRID, true, xs);
  for (int i = 0; i < int(std::size(specials)); ++i) xs[i * 61] = specials[i];
  // The same starts as doubles, with some beyond float's range.
  double wide[GRID];
  std::copy(std::begin(xs), std::end(xs), wide);
  for (int i = 0; i < 3; ++i) wide[i * 61 + 7] = std::array<double, 3>{1e300, -5e-324, 1e-200}[i];
  const Variant relaxedCube = relaxed(CUBE_MINUS_I, -0.5f, 1.25f);
  const Variant* const variants[] = {&QUADBASIN, &DUOBASIN,     &CUBIC,         &NO_CONSTANT, &tie,
                                     &early,     &CUBE_MINUS_I, &COMPLEX_TABLE, &relaxedCube};
  for (const Variant* variant : variants) {
    Solver solver(*variant);
    derive(solver);
    WideSolver wideSolver(*variant);
    derive(wideSolver);
    for (float y : {0.0f, -0.0f, 2.0f, nan, -0x1.e92446p+0f}) {
      Differences differences(supportedPaths(false));
      differences.compareRow(solver, xs, y, GRID);
      differences.compareRow(wideSolver, wide, double(y), GRID);
      differences.expectNone(std::string(variant->name) + " row " + std::to_string(y));
    }
  }
}

TEST(Lanes, ANameChoosesASupportedPath) {
  const LanePath fastest = fastestLanePath();
  EXPECT_TRUE(laneSupported(fastest));
  EXPECT_TRUE(laneSupported(LanePath::Scalar));
  const struct {
    const char* name;
    LanePath expected;
  } cases[] = {{"scalar", LanePath::Scalar},
               {"sse2", laneSupported(LanePath::Sse2) ? LanePath::Sse2 : fastest},
               {"avx2", laneSupported(LanePath::Avx2) ? LanePath::Avx2 : fastest},
               {"avx512", laneSupported(LanePath::Avx512) ? LanePath::Avx512 : fastest},
               {"AVX2", fastest},
               {"neon", fastest},
               {"", fastest},
               {nullptr, fastest}};
  for (const auto& c : cases)
    EXPECT_EQ(lanePathNamed(c.name), c.expected) << (c.name ? c.name : "(none)");
}

}  // namespace
}  // namespace basin
