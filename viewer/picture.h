// A frame drawn into memory: one 8-bit RGB cell per sample, the sample of
// column i, row j (from 1) in cell (i - 1, j - 1), colours converted to 8
// bits the way the screen's GL converts them; width x height cells, the
// window's pixels.
//
// renderPicture is how every program draws a frame. Its owner (the GLUT
// viewer, or a HeadlessViewer of viewer/replay.h) holds the RowSolver and
// the lane path it uses, chosen once when the program starts (RowPlan).
#pragma once

#include <cstdint>
#include <vector>

#include "colour/row_colour.h"
#include "core/huge_pages.h"
#include "core/lanes.h"
#include "core/rows.h"
#include "core/speed.h"
#include "viewer/basin.h"

namespace basin {

struct Picture {
  int width = 0;
  int height = 0;
  // Row-major, 3 bytes a cell, top row first, no padding.
  LargeBuffer<std::uint8_t> rgb;

  std::uint8_t* at(int x, int y) {
    return &rgb[3 * (std::size_t(y) * std::size_t(width) + std::size_t(x))];
  }
  const std::uint8_t* at(int x, int y) const {
    return &rgb[3 * (std::size_t(y) * std::size_t(width) + std::size_t(x))];
  }
  Size size() const { return Size{width, height}; }
};

// A black picture of width x height cells (size x size).
Picture blankPicture(int width, int height);
inline Picture blankPicture(int size) { return blankPicture(size, size); }

// How a program solves its frames' rows: on how many threads, and on which
// instruction set. The defaults: one thread for each processor the process
// may use, the fastest path the CPU has.
struct RowPlan {
  int threads = processorCount();
  LanePath lanes = fastestLanePath();

  static int processorCount();
};

// What a program takes from its environment, read once as it starts: the
// RowPlan's defaults changed by BASIN_THREADS (1 ... 64) and BASIN_LANES
// (lanePathNamed), a value out of range ignored; and the speed measures
// that BASIN_PLAIN leaves out (core/speed.h), set for the whole process. A
// BASIN_PLAIN with a name it does not know ends the program (core/failure.h).
RowPlan readEnvironment();

// Renders the current window of `basin` into `picture`, of the views'
// size (the window's: views.size.width x views.size.height samples),
// advancing the registry exactly as the viewer's frame does: the rows are
// solved by `solvers` on `lanes`, each coloured ahead by the thread that
// solved it, and taken into the registry in order on this thread
// (colour/row_colour.h; with that speed measure left out, each row is
// coloured in order alone); rowDone(rows) after each row, with the number of
// rows of the picture finished so far. Resets the pending window first. At
// size GRID the same picture, bit for bit, as the reference walk of
// viewer/reference_walk.h; at other sizes the samples sit where
// axisPositions places them by index.
template <class T, class RowDone>
void renderPicture(BasicBasin<T>& basin, Picture* picture, RowSolver& solvers, LanePath lanes,
                   RowDone&& rowDone) {
  const BasicViews<T>& v = basin.views;
  const int width = v.size.width, height = v.size.height;
  if (picture->width != width || picture->height != height) *picture = blankPicture(width, height);
  basin.columns.resize(std::size_t(width));
  basin.rows.resize(std::size_t(height));
  axisPositions(v.XMIN(), v.XMAX(), width, true, basin.columns.data());
  axisPositions(v.YMIN(), v.YMAX(), height, false, basin.rows.data());
  resetPending(basin.views);
  if (basin.forecasts.size() < std::size_t(solvers.depth()))
    basin.forecasts.resize(std::size_t(solvers.depth()));
  if (!speedMeasures().colourAhead) {
    solvers.solve(basin.solver, basin.columns.data(), basin.rows.data(), width, height, lanes,
                  [&](int row, const BasicOutcome<T>* outcomes) {
                    colourRow(basin.registry, outcomes, width, picture->at(0, row));
                    rowDone(row + 1);
                  });
    return;
  }
  ColourAhead colouring(basin.registry, basin.forecasts.data(), solvers.depth());
  solvers.solve(
      basin.solver, basin.columns.data(), basin.rows.data(), width, height, lanes,
      [&](int row, const BasicOutcome<T>* outcomes) {
        colouring.ahead(row, outcomes, width, picture->at(0, row));
      },
      [&](int row, const BasicOutcome<T>* outcomes) {
        colouring.inOrder(row, outcomes, width, picture->at(0, row));
        rowDone(row + 1);
      });
}

template <class T>
void renderPicture(BasicBasin<T>& basin, Picture* picture, RowSolver& rows, LanePath lanes) {
  renderPicture(basin, picture, rows, lanes, [](int) {});
}

}  // namespace basin
