// One program's whole state: its variant, the solver made from it, the
// root registry the frames fill, and the view windows the keys move. The
// variant's precision decides the storage type of all of them: `solver`
// runs the float model, `wideSolver` the double one.
//
// Both the GLUT viewer (viewer/viewer.cpp) and the viewer without a screen
// (viewer/replay.h) hold one; a frame of it is drawn by renderPicture
// (viewer/picture.h).
#pragma once

#include <vector>

#include "colour/colour.h"
#include "colour/row_colour.h"
#include "core/newton.h"
#include "viewer/views.h"

namespace basin {

struct Basin {
  explicit Basin(const Variant& v) : variant(v), solver(v), wideSolver(v) {}

  bool wide() const { return variant.precision == Precision::Double; }

  const Variant variant;  // a copy: the caller's may be a temporary
  Solver solver;
  WideSolver wideSolver;
  Registry registry;
  Views views;
  // The frame's sample positions, kept between frames, of the storage type.
  std::vector<float> columns, rows;
  std::vector<double> wideColumns, wideRows;
  // The rows a frame colours ahead of the registry, kept between frames.
  std::vector<Forecast> forecasts;
};

// Start-up: derive the derivative and degree, size the registry, and record
// the current window as home.
void setup(Basin& basin);

}  // namespace basin
