// The cost of a frame in memory, and of the solver alone under it.
//
// All walk the start-up grid of one program with positions accumulated as a
// frame accumulates them. solverAlone is the scalar `newton` a sample at a
// time, the reference. wholeFrame is the frame as the programs draw it, rows
// solved by the vector solver on a number of threads, coloured into the
// 8-bit picture by the threads that solve them and confirmed in order, for
// each path and for one thread and all; with /progress it also feeds
// basinshot's progress line after every row, which must cost nothing
// measurable. Every allocation made while a frame runs is counted, and a
// frame that allocates is reported as an error. Frames are timed by the
// clock on the wall: their work is done on other threads. threadGain
// alternates frames on one thread and on all, for the ratio of the two on a
// machine whose load comes and goes.
//
// solverLanes runs the same grid four rows at a time through solveRows, as
// a frame's threads do, on each path this CPU supports (single thread), for both programs, for z^3
// - 1, whose iterations should cost no more than those of z^4 - 1, and for z^4 - z^2 - 1, whose
// three terms the general kernel runs. Every solver benchmark reports `per_step`, the time per
// Newton iteration (the sum of ITS over the frame).
//
// A polynomial of the user's has its roots found at start-up (findRoots, at
// degree 18: one root of multiplicity 18, nine double roots, and 18 simple
// roots; each should take well under a millisecond), and each converged
// end point moved to the nearest of them before the registry sees it:
// wholeFrame/user-cube draws z^3 - 1 so; colourFrame/userCube colours that
// frame, solved beforehand, and colourFrame/userCubeUnsnapped colours it
// matching end points as they are, as the named programs do.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench/allocations.h"
#include "core/lanes.h"
#include "core/polynomial.h"
#include "core/programs.h"
#include "core/roots.h"
#include "viewer/picture.h"
#include "viewer/progress.h"

namespace basin {
namespace {

const Variant CUBE{"cube", {{{1, 3}, {-1, 0}}, 2}, 1e-10f, 1e-8f, 1};
// Three terms: the general kernel, which reads its term tables as it goes.
const Variant TRINOMIAL{"trinomial", {{{1, 4}, {-1, 2}, {-1, 0}}, 3}, 1e-10f, 1e-8f, 1};
// Complex coefficients, each term the complex product: beside the real
// tables of the same shapes, per step.
const Variant COMPLEX_CUBE{"complex-cube", {{{1, 3}, {0, 0, -1}}, 2}, 1e-10f, 1e-8f, 1};
const Variant COMPLEX_TRINOMIAL{
    "complex-trinomial", {{{1, 4}, {0, 2, -1}, {-1, 0}}, 3}, 1e-10f, 1e-8f, 1};
// The relaxed step, z - A f/f', on the kernel's z^N + c.
const Variant RELAXED_CUBE = [] {
  Variant cube{"relaxed-cube", {{{1, 3}, {-1, 0}}, 2}, 1e-10f, 1e-8f, 1};
  cube.relax = WideComplex{1.5, 0.5};
  return cube;
}();

Variant userVariant(const char* text) {
  Terms p;
  if (!parsePolynomial(text, &p, nullptr)) std::abort();
  return polynomialVariant(p, text, Tolerances{});
}

const Variant USER_CUBE = userVariant("z^3 - 1");

// The named programs' double models.
const Variant WIDE_DUOBASIN = variantOf(*findProgram("duobasin"), Precision::Double);
const Variant WIDE_QUADBASIN = variantOf(*findProgram("quadbasin"), Precision::Double);

void rootFinding(benchmark::State& state, const char* text) {
  Terms p;
  if (!parsePolynomial(text, &p, nullptr)) std::abort();
  std::vector<Root> roots;
  for (auto _ : state) {
    if (!findRoots(p.term, p.count, Precision::Float, &roots)) state.SkipWithError("no roots");
    benchmark::DoNotOptimize(roots.data());
  }
}
BENCHMARK_CAPTURE(rootFinding, repeated18,
                  "z^18 - 18z^17 + 153z^16 - 816z^15 + 3060z^14 - 8568z^13 + 18564z^12 - "
                  "31824z^11 + 43758z^10 - 48620z^9 + 43758z^8 - 31824z^7 + 18564z^6 - 8568z^5 + "
                  "3060z^4 - 816z^3 + 153z^2 - 18z + 1")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(rootFinding, squared9,  // a degree-9 polynomial squared: 9 double roots
                  "2.25z^18 - 2.25z^16 + 7.3125z^14 - 6.75z^12 + 1.5z^11 - 2.25z^10 + 3z^9 - "
                  "0.5625z^8 + 0.375z^7 - 12.234375z^6 + 4.5z^5 + 7z^4 - 5.8125z^3 + 10.25z^2 - "
                  "7.5z + 1.5625")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(rootFinding, simple18,
                  "0.3z^18 - 1.7z^17 + 2.1z^15 + 0.9z^12 - 3.3z^11 + z^9 - 0.1z^7 + 4.5z^4 - "
                  "2.2z^2 + 1.3z - 0.7")
    ->Unit(benchmark::kMicrosecond);

// Time per Newton iteration, from the iterations all runs made.
benchmark::Counter perStep(long iterations) {
  return benchmark::Counter(double(iterations),
                            benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void solverAlone(benchmark::State& state, const Variant& variant) {
  Basin basin(variant);
  setup(basin);
  const Views& v = basin.views;
  long steps = 0;
  for (auto _ : state) {
    AxisWalk<float> rows(v.YMIN(), v.YMAX(), GRID, false);
    for (int row = 1; row <= GRID; ++row) {
      Complex pixel{0, float(rows.next())};
      AxisWalk<float> columns(v.XMIN(), v.XMAX(), GRID, true);
      for (int column = 1; column <= GRID; ++column) {
        pixel.re = float(columns.next());
        Complex root;
        newton(basin.solver, &pixel, &root);
        benchmark::DoNotOptimize(root);
        steps += basin.solver.ITS;
      }
    }
  }
  state.counters["per_step"] = perStep(steps);
}

// T: the storage type of the variant, float or double.
template <class T>
void solverLanes(benchmark::State& state, const Variant& variant, LanePath path) {
  BasicSolver<T> solver(variant);
  derive(solver);
  const Views v;
  T xs[GRID], ys[GRID];
  axisPositions(v.XMIN(), v.XMAX(), GRID, true, xs);
  axisPositions(v.YMIN(), v.YMAX(), GRID, false, ys);
  // Four rows at once, as a frame's threads solve them.
  constexpr int BATCH = 4;
  static_assert(GRID % BATCH == 0, "whole batches");
  std::vector<BasicOutcome<T>> batch(GRID * BATCH);
  BasicOutcome<T>* const outs[BATCH] = {&batch[0], &batch[GRID], &batch[2 * GRID],
                                        &batch[3 * GRID]};
  long steps = 0;
  for (auto _ : state) {
    const BasicLaneJob<T> job(solver, path);
    for (int first = 0; first < GRID; first += BATCH) {
      solveRows(job, xs, ys + first, GRID, BATCH, outs);
      for (const BasicOutcome<T>& run : batch) steps += run.its;
    }
    benchmark::DoNotOptimize(batch.data());
  }
  state.counters["per_step"] = perStep(steps);
}

// The colouring alone of a frame solved beforehand: all that moving end
// points to roots adds to a frame.
void colourFrame(benchmark::State& state, bool snap) {
  Basin basin(USER_CUBE);
  setup(basin);
  if (!snap) basin.registry.snaps = 0;
  const Views& v = basin.views;
  float xs[GRID], ys[GRID];
  axisPositions(v.XMIN(), v.XMAX(), GRID, true, xs);
  axisPositions(v.YMIN(), v.YMAX(), GRID, false, ys);
  std::vector<Outcome> runs(std::size_t(GRID) * GRID);
  for (int row = 0; row < GRID; ++row)
    solveRow(basin.solver, xs, ys[row], GRID, &runs[std::size_t(row) * GRID], fastestLanePath());
  Picture picture = blankPicture(GRID);
  for (auto _ : state) {
    for (int row = 0; row < GRID; ++row)
      colourRow(basin.registry, &runs[std::size_t(row) * GRID], GRID, picture.at(0, row));
    benchmark::DoNotOptimize(picture.rgb.data());
  }
}
BENCHMARK_CAPTURE(colourFrame, userCube, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(colourFrame, userCubeUnsnapped, false)->Unit(benchmark::kMillisecond);

// The frame of `zooms` zooms at the centre (z@400,400 d), after the
// start-up frame, in a window of `size` (the start-up view fitted to it).
template <class T>
void wholeFrameIn(benchmark::State& state, const Variant& variant, LanePath path, int threads,
                  bool progress, int zooms, Size size) {
  RowSolver rows(threads);
  BasicBasin<T> basin(variant);
  setup(basin);
  Picture picture;
  renderPicture(basin, &picture, rows, path);  // sizes the buffers, finds the roots
  for (int i = 0; i < zooms; ++i) {
    zoom(basin.views, Pointer{400, 400});
    changewin(basin.views);
  }
  if (!resize(basin.views, size)) state.SkipWithError("the view cannot be drawn at this size");
  renderPicture(basin, &picture, rows, path);  // sizes the buffers for this size
  long allocations = 0;
  for (auto _ : state) {
    Progress line;  // new each frame: it stays silent for its first second
    const long before = basin::allocations();
    if (progress) {
      renderPicture(basin, &picture, rows, path, [&line](int row) { line.update(row, GRID); });
    } else {
      renderPicture(basin, &picture, rows, path);
    }
    allocations += basin::allocations() - before;
    benchmark::DoNotOptimize(picture.rgb.data());
  }
  state.counters["allocations"] = double(allocations);
  if (allocations != 0) state.SkipWithError("the frame allocated memory");
}

// The frame in the variant's own storage type.
void wholeFrame(benchmark::State& state, const Variant& variant, LanePath path, int threads,
                bool progress, int zooms, Size size = Size{}) {
  if (variant.precision == Precision::Double)
    return wholeFrameIn<double>(state, variant, path, threads, progress, zooms, size);
  wholeFrameIn<float>(state, variant, path, threads, progress, zooms, size);
}

double medianOf(std::vector<double> values) {
  std::nth_element(values.begin(), values.begin() + long(values.size() / 2), values.end());
  return values[values.size() / 2];
}

// Two threads against one, frame by frame: each iteration draws the frame
// on one thread and then on one thread a processor, so that both meet the
// machine as it is at that moment, however its load changes over the run.
// The counters give the median frame of each, in ms, and their ratio.
template <class T>
void threadGainIn(benchmark::State& state, const Variant& variant, LanePath path, int threads) {
  using Clock = std::chrono::steady_clock;
  RowSolver one(1), all(threads);
  BasicBasin<T> basin(variant);
  setup(basin);
  Picture picture;
  renderPicture(basin, &picture, all, path);
  std::vector<double> ms[2];
  for (auto _ : state)
    for (int k = 0; k < 2; ++k) {
      const Clock::time_point start = Clock::now();
      renderPicture(basin, &picture, k == 0 ? one : all, path);
      ms[k].push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
  const double oneMs = medianOf(ms[0]), allMs = medianOf(ms[1]);
  state.counters["one_ms"] = oneMs;
  state.counters["all_ms"] = allMs;
  state.counters["gain"] = oneMs / allMs;
}

void threadGain(benchmark::State& state, const Variant& variant, LanePath path, int threads) {
  if (variant.precision == Precision::Double)
    return threadGainIn<double>(state, variant, path, threads);
  threadGainIn<float>(state, variant, path, threads);
}

void configure(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->Repetitions(15)->ReportAggregatesOnly(true);
}

BENCHMARK_CAPTURE(solverAlone, duobasin, DUOBASIN)->Apply(configure);
BENCHMARK_CAPTURE(solverAlone, quadbasin, QUADBASIN)->Apply(configure);

// For each program and supported path: the solver alone, and whole frames
// on one thread and on one for each processor; and the frame with progress.
// The programs' double models (--double), named "-double", the same.
void registerPaths() {
  const int cores = std::max(1, int(std::thread::hardware_concurrency()));
  const auto solverOnly = [](const Variant* v) {
    return v == &CUBE || v == &TRINOMIAL || v == &COMPLEX_CUBE || v == &COMPLEX_TRINOMIAL ||
           v == &RELAXED_CUBE;
  };
  for (const Variant* variant :
       {&DUOBASIN, &QUADBASIN, &CUBE, &TRINOMIAL, &COMPLEX_CUBE, &COMPLEX_TRINOMIAL, &RELAXED_CUBE,
        &WIDE_DUOBASIN, &WIDE_QUADBASIN}) {
    const bool wide = variant->precision == Precision::Double;
    const std::string program = std::string(variant->name) + (wide ? "-double" : "");
    for (LanePath path : LANE_PATHS) {
      if (!laneSupported(path)) continue;
      const std::string lanes = std::string("/") + laneName(path);
      benchmark::RegisterBenchmark(("solverLanes/" + program + lanes).c_str(),
                                   wide ? solverLanes<double> : solverLanes<float>, *variant, path)
          ->Apply(configure);
      if (solverOnly(variant)) continue;
      for (int threads : {1, cores})
        benchmark::RegisterBenchmark(
            ("wholeFrame/" + program + lanes + "/threads:" + std::to_string(threads)).c_str(),
            wholeFrame, *variant, path, threads, false, 0, Size{})
            ->Apply(configure)
            ->UseRealTime();
      if (!wide && path != LanePath::Scalar)
        benchmark::RegisterBenchmark(("threadGain/" + program + lanes).c_str(), threadGain,
                                     *variant, path, cores)
            ->Unit(benchmark::kMillisecond)
            ->MinTime(3.0)
            ->UseRealTime();
    }
    if (!solverOnly(variant))
      benchmark::RegisterBenchmark(("wholeFrame/" + program + "/progress").c_str(), wholeFrame,
                                   *variant, fastestLanePath(), cores, true, 0, Size{})
          ->Apply(configure)
          ->UseRealTime();
  }
  benchmark::RegisterBenchmark("wholeFrame/user-cube", wholeFrame, USER_CUBE, fastestLanePath(),
                               cores, false, 0, Size{})
      ->Apply(configure)
      ->UseRealTime();
  // Desktop windows: the start-up view fitted to 1920 x 1080 and 1280 x 720.
  for (const Size size : {Size{1920, 1080}, Size{1280, 720}})
    benchmark::RegisterBenchmark(
        ("wholeFrame/quadbasin/" + std::to_string(size.width) + "x" + std::to_string(size.height))
            .c_str(),
        wholeFrame, QUADBASIN, fastestLanePath(), cores, false, 0, size)
        ->Apply(configure)
        ->UseRealTime();
  // Six zooms at the centre of quadbasin, where runs take many steps: with
  // floats and doubles, and as the plain scalar model on one thread.
  const struct {
    const char* name;
    const Variant& variant;
    LanePath path;
    int threads;
  } deep[] = {{"quadbasin/scalar/threads:1", QUADBASIN, LanePath::Scalar, 1},
              {"quadbasin", QUADBASIN, fastestLanePath(), cores},
              {"quadbasin-double", WIDE_QUADBASIN, fastestLanePath(), cores}};
  for (const auto& d : deep)
    benchmark::RegisterBenchmark((std::string("deepFrame/") + d.name).c_str(), wholeFrame,
                                 d.variant, d.path, d.threads, false, 6, Size{})
        ->Apply(configure)
        ->UseRealTime();
}

}  // namespace
}  // namespace basin

// Repetitions of all benchmarks run interleaved in random order, so a
// change in the machine's load over the run touches the solver and the
// frame alike and their ratio stays fair.
int main(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  int count = int(args.size());
  basin::registerPaths();
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
