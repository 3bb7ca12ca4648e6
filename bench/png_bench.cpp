// The cost of basinshot's PNG file: the start-up picture of quadbasin, 800,
// 3200 and 6400 samples a side, written to /dev/null as basinshot writes it
// (writeOutput, by the fast encoder on one thread and on two, and by
// libpng's, the plain one: wall-clock and whole-process CPU time), and its
// rows compressed alone on one thread, a piece at a time (deflateRows).
// Each reports the file's size in bytes and the raw rows compressed per
// second. Each picture is drawn once, before its first run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "core/programs.h"
#include "core/rows.h"
#include "png/deflate_flat.h"
#include "png/encoder.h"
#include "png/target.h"
#include "viewer/shot.h"

namespace basin {
namespace {

const Picture& startUpPicture(int size) {
  static std::map<int, Picture> drawn;
  auto found = drawn.find(size);
  if (found == drawn.end()) {
    Shot shot;
    shot.size = Size{size, size};
    found = drawn.emplace(size, takeShot(QUADBASIN, shot)).first;
  }
  return found->second;
}

ImageRows imageOf(const Picture& picture) {
  return ImageRows{picture.rgb.data(), picture.width, picture.height,
                   std::size_t(picture.width) * 3};
}

// Writes `picture` to `output` as basinshot does, the fast way on
// `threads` threads or, with `plain`, libpng's way.
void write(const Output& output, const Picture& picture, int threads, bool plain) {
  RowSolver team(threads);
  const std::unique_ptr<PngEncoder> encoder = pngEncoder(plain);
  writeOutput(output,
              [&](std::FILE* file) { return encoder->write(imageOf(picture), file, team); });
}

// The bytes of the file basinshot writes for `picture`.
double fileBytes(const Picture& picture, bool plain) {
  const int file = memfd_create("png", 0);
  Output output;
  output.name = "memory";
  output.fd = dup(file);
  write(output, picture, 1, plain);
  struct stat st {};
  fstat(file, &st);
  close(file);
  return double(st.st_size);
}

void setCounters(benchmark::State& state, const Picture& picture, bool plain = false) {
  state.counters["bytes"] = fileBytes(picture, plain);
  state.SetBytesProcessed(std::int64_t(state.iterations()) * (picture.width * 3 + 1) *
                          picture.height);
}

// Threads 0: libpng's plain encoder.
void writeFile(benchmark::State& state) {
  const Picture& picture = startUpPicture(int(state.range(0)));
  const int threads = int(state.range(1));
  for (auto _ : state) {
    Output output;
    output.name = "/dev/null";
    output.fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (output.fd < 0) std::abort();
    write(output, picture, std::max(threads, 1), threads == 0);  // closes the descriptor
  }
  setCounters(state, picture, threads == 0);
}

void compressRows(benchmark::State& state) {
  const Picture& picture = startUpPicture(int(state.range(0)));
  DeflateScratch scratch;
  DeflatePiece piece;
  for (auto _ : state) {
    for (int first = 0; first < picture.height; first += 64) {
      const int count = std::min(64, picture.height - first);
      deflateRows(picture.at(0, first), std::size_t(picture.width) * 3, picture.width, count,
                  first + count == picture.height, scratch, piece);
      benchmark::DoNotOptimize(piece.bytes.data());
    }
  }
  setCounters(state, picture);
}

void sizes(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);
}

BENCHMARK(writeFile)
    ->ArgsProduct({{800, 3200, 6400}, {0, 1, 2}})
    ->Apply(sizes)
    ->UseRealTime()
    ->MeasureProcessCPUTime();
BENCHMARK(compressRows)->Arg(800)->Arg(3200)->Arg(6400)->Apply(sizes);

}  // namespace
}  // namespace basin

BENCHMARK_MAIN();
