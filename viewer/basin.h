// One program's whole state: its variant, the solver made from it, the
// root registry the frames fill, and the view windows the keys move.
//
// Both the GLUT viewer (viewer/viewer.cpp) and the viewer without a screen
// (viewer/replay.h) hold one; a frame of it is drawn by renderPicture
// (viewer/picture.h).
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

}  // namespace basin
