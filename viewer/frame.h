// One program's whole state and the frame walk over the current window.
//
// A frame visits an n x n grid row by row from the top, each row left to
// right, solves each sample, colours it and hands it to a plotting routine
// right away. Sample positions are accumulated by float addition, step by
// step, as the picture has always been built; so the first sample sits at
// (XMIN + xstep, YMAX - ystep) and none on the left or top edge. The walk
// knows nothing of GL: the viewer plots to the screen, other callers to
// memory.
#pragma once

#include <vector>

#include "colour/colour.h"
#include "core/newton.h"
#include "viewer/views.h"

namespace basin {

struct Basin {
  explicit Basin(const Variant& v) : variant(v), solver(v) {}

  const Variant variant;  // a copy: the caller's may be a temporary
  Solver solver;
  Registry registry;
  Views views;
  std::vector<float> columns, rows;  // the frame's sample positions, kept between frames
};

// Start-up: derive the derivative and degree, size the registry, and record
// the current window as home.
void setup(Basin& basin);

// One sample as the walk hands it out: column and row counted from 1, its
// position in the plane and its colour (black when the run failed).
struct Sample {
  int column;
  int row;
  Complex pixel;
  Rgb paint;
};

// Colours the end point of the solver's last run.
inline Rgb colourOf(Basin& basin, const Complex& root) {
  Rgb paint{0.0f, 0.0f, 0.0f};
  if (basin.solver.FAULT == 0) {
    findcolor(basin.registry, &paint, &root);
    shader(&paint, basin.solver.ITS);
  }
  return paint;
}

// Draws the current window on a size x size grid: plot(sample) for every
// sample in order, rowDone(row) after each row. Resets the pending window.
template <class Plot, class RowDone>
void renderFrame(Basin& basin, int size, Plot&& plot, RowDone&& rowDone) {
  Views& v = basin.views;
  Sample s{0, 0, Complex{v.XMIN, v.YMAX}, Rgb{}};
  AxisWalk rows(v.YMIN, v.YMAX, size, false);
  resetPending(v);
  for (s.row = 1; s.row <= size; ++s.row) {
    s.pixel.im = rows.next();
    AxisWalk columns(v.XMIN, v.XMAX, size, true);
    for (s.column = 1; s.column <= size; ++s.column) {
      s.pixel.re = columns.next();
      Complex root;
      newton(basin.solver, &s.pixel, &root);
      s.paint = colourOf(basin, root);
      plot(static_cast<const Sample&>(s));
    }
    rowDone(s.row);
  }
}

}  // namespace basin
