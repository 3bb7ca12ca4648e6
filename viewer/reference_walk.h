// The reference frame walk: one sample at a time on this thread, with the
// scalar solver. The programs draw through renderPicture (viewer/picture.h);
// the tests hold its pictures to this walk, bit for bit.
//
// A frame visits an n x n grid row by row from the top, each row left to
// right, solves each sample, colours it and hands it to a plotting routine
// right away. Sample positions are accumulated by addition in the storage
// type, step by step, as the picture has always been built; so the first
// sample sits at (XMIN + xstep, YMAX - ystep) and none on the left or top
// edge. It runs the model of the basin's storage type.
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
Rgb colourOf(BasicBasin<T>& basin, const BasicComplex<T>& root) {
  Rgb paint{0.0f, 0.0f, 0.0f};
  if (basin.solver.FAULT == 0) {
    findcolor(basin.registry, &paint, &root);
    shader(&paint, basin.solver.ITS);
  }
  return paint;
}

// Draws the current window on a size x size grid: plot(sample) for every
// sample in order, rowDone(row) after each row. Resets the pending window.
template <class T, class Plot, class RowDone>
void renderFrame(BasicBasin<T>& basin, int size, Plot&& plot, RowDone&& rowDone) {
  BasicViews<T>& v = basin.views;
  BasicSample<T> s{0, 0, BasicComplex<T>{T(v.XMIN()), T(v.YMAX())}, Rgb{}};
  AxisWalk<T> rows(v.YMIN(), v.YMAX(), size, false);
  resetPending(v);
  for (s.row = 1; s.row <= size; ++s.row) {
    s.pixel.im = T(rows.next());
    AxisWalk<T> columns(v.XMIN(), v.XMAX(), size, true);
    for (s.column = 1; s.column <= size; ++s.column) {
      s.pixel.re = T(columns.next());
      BasicComplex<T> root;
      newton(basin.solver, &s.pixel, &root);
      s.paint = colourOf(basin, root);
      plot(static_cast<const BasicSample<T>&>(s));
    }
    rowDone(s.row);
  }
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
