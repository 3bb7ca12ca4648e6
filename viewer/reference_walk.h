// The reference frame walk: one sample at a time on this thread, with the
// scalar solver. The programs draw through renderPicture (viewer/picture.h);
// the tests hold its pictures to this walk, bit for bit.
//
// A frame visits an n x n grid row by row from the top, each row left to
// right, solves each sample, colours it and hands it to a plotting routine
// right away. Sample positions are accumulated by addition in the storage
// type, step by step, as the picture has always been built; so the first
// sample sits at (XMIN + xstep, YMAX - ystep) and none on the left or top
// edge. It runs the float model or, for a variant of double precision, the
// double one.
#pragma once

#include <cstdint>

#include "viewer/basin.h"
#include "viewer/picture.h"

namespace basin {

// One sample as the walk hands it out: column and row counted from 1, its
// position in the plane and its colour (black when the run failed).
template <class T>
struct BasicSample {
  int column;
  int row;
  BasicComplex<T> pixel;
  Rgb paint;
};
using Sample = BasicSample<float>;

// Colours the end point of the solver's last run.
template <class T>
Rgb colourOf(Basin& basin, const BasicSolver<T>& solver, const BasicComplex<T>& root) {
  Rgb paint{0.0f, 0.0f, 0.0f};
  if (solver.FAULT == 0) {
    findcolor(basin.registry, &paint, &root);
    shader(&paint, solver.ITS);
  }
  return paint;
}

template <class T, class Plot, class RowDone>
void renderFrameIn(Basin& basin, BasicSolver<T>& solver, int size, Plot&& plot, RowDone&& rowDone) {
  Views& v = basin.views;
  const Precision precision = PRECISION_OF<T>;
  BasicSample<T> s{0, 0, BasicComplex<T>{T(v.XMIN()), T(v.YMAX())}, Rgb{}};
  AxisWalk rows(v.YMIN(), v.YMAX(), size, false, precision);
  resetPending(v);
  for (s.row = 1; s.row <= size; ++s.row) {
    s.pixel.im = T(rows.next());
    AxisWalk columns(v.XMIN(), v.XMAX(), size, true, precision);
    for (s.column = 1; s.column <= size; ++s.column) {
      s.pixel.re = T(columns.next());
      BasicComplex<T> root;
      newton(solver, &s.pixel, &root);
      s.paint = colourOf(basin, solver, root);
      plot(static_cast<const BasicSample<T>&>(s));
    }
    rowDone(s.row);
  }
}

// Draws the current window on a size x size grid: plot(sample) for every
// sample in order, rowDone(row) after each row. Resets the pending window.
// T is the storage type of the basin's variant: float, or double for one
// of double precision.
template <class T = float, class Plot, class RowDone>
void renderFrame(Basin& basin, int size, Plot&& plot, RowDone&& rowDone) {
  if constexpr (PRECISION_OF<T> == Precision::Double)
    renderFrameIn(basin, basin.wideSolver, size, plot, rowDone);
  else
    renderFrameIn(basin, basin.solver, size, plot, rowDone);
}

// Stores a sample's colour in its cell.
template <class T>
void paintCell(Picture* picture, const BasicSample<T>& s) {
  std::uint8_t* cell = picture->at(s.column - 1, s.row - 1);
  cell[0] = channel(s.paint.red);
  cell[1] = channel(s.paint.green);
  cell[2] = channel(s.paint.blue);
}

}  // namespace basin
