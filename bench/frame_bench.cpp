// The cost of a frame in memory, and of the solver alone under it.
//
// Both walk the start-up grid of one program with positions accumulated as a
// frame accumulates them. The frame adds the registry, the shading and the
// 8-bit picture; its median should stay within 1.1 x the solver's. Every
// allocation made while a frame runs is counted, and a frame that allocates
// is reported as an error.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/allocations.h"
#include "examples/duobasin.h"
#include "examples/quadbasin.h"
#include "viewer/picture.h"

namespace basin {
namespace {

void solverAlone(benchmark::State& state, const Variant& variant) {
  Basin basin(variant);
  setup(basin);
  const Views& v = basin.views;
  for (auto _ : state) {
    AxisWalk rows(v.YMIN, v.YMAX, GRID, false);
    for (int row = 1; row <= GRID; ++row) {
      Complex pixel{0, rows.next()};
      AxisWalk columns(v.XMIN, v.XMAX, GRID, true);
      for (int column = 1; column <= GRID; ++column) {
        pixel.re = columns.next();
        Complex root;
        newton(basin.solver, &pixel, &root);
        benchmark::DoNotOptimize(root);
        benchmark::DoNotOptimize(basin.solver.ITS);
      }
    }
  }
}

void wholeFrame(benchmark::State& state, const Variant& variant) {
  Basin basin(variant);
  setup(basin);
  Picture picture = blankPicture(GRID);
  long allocations = 0;
  for (auto _ : state) {
    const long before = basin::allocations();
    renderPicture(basin, GRID, &picture);
    allocations += basin::allocations() - before;
    benchmark::DoNotOptimize(picture.rgb.data());
  }
  state.counters["allocations"] = double(allocations);
  if (allocations != 0) state.SkipWithError("the frame allocated memory");
}

void configure(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->Repetitions(15)->ReportAggregatesOnly(true);
}

BENCHMARK_CAPTURE(solverAlone, duobasin, DUOBASIN)->Apply(configure);
BENCHMARK_CAPTURE(wholeFrame, duobasin, DUOBASIN)->Apply(configure);
BENCHMARK_CAPTURE(solverAlone, quadbasin, QUADBASIN)->Apply(configure);
BENCHMARK_CAPTURE(wholeFrame, quadbasin, QUADBASIN)->Apply(configure);

}  // namespace
}  // namespace basin

// Repetitions of the four benchmarks run interleaved in random order, so a
// change in the machine's load over the run touches the solver and the
// frame alike and their ratio stays fair.
int main(int argc, char** argv) {
  std::vector<char*> args(argv, argv + argc);
  char interleave[] = "--benchmark_enable_random_interleaving=true";
  args.insert(args.begin() + 1, interleave);
  int count = int(args.size());
  benchmark::Initialize(&count, args.data());
  if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
