// The measures taken only for speed, each behind a named switch with the
// plain way beside it, so that a user on another machine can rule any of
// them out in one step. All are on by default; a program's main reads
// BASIN_PLAIN once, as it starts, and sets them here before any work:
//
//   BASIN_PLAIN=all                        every measure left out
//   BASIN_PLAIN=png,colour-ahead           a comma-separated list of them
//
// Where a measure changes how a result is computed, the tests hold it to
// its plain way: the same pictures, the same registry, the same pixels
// decoded.
#pragma once

#include <string>

namespace basin {

struct SpeedMeasures {
  // New threads placed on another processor than their creator's
  // (core/processors.h); plain: where the system puts them.
  bool pinning = true;
  // Large buffers in 2 MiB pages (core/huge_pages.h); plain: the heap. Read
  // once, at the first large allocation.
  bool hugePages = true;
  // Rows coloured on the thread that solved them, checked in order
  // (colour/row_colour.h); plain: every row coloured in order.
  bool colourAhead = true;
  // On 8 float lanes, ended runs retired without a branch on which ended
  // (core/lane_kernel.cpp); plain: lane by lane.
  bool branchFreeRetire = true;
  // The project's own deflate for a PNG's rows (png/encoder.h); plain:
  // libpng's png_write_image.
  bool fastPng = true;
};

// The measures in force.
const SpeedMeasures& speedMeasures();
void setSpeedMeasures(const SpeedMeasures& measures);

// The measures a BASIN_PLAIN value leaves on (null or empty: all); false,
// with the word at fault in *unknown, for a name it does not know.
bool readPlain(const char* value, SpeedMeasures* measures, std::string* unknown);

// The names BASIN_PLAIN takes, for messages: "pinning, huge-pages, ...".
std::string speedMeasureNames();

}  // namespace basin
