// One program's whole state, for a model of storage type T: its variant,
// the solver made from it, the root registry the frames fill, the view
// windows the keys move, and the frame's sample positions. Programs hold
// one through a Session (viewer/session.h), which chooses T once; the tests
// hold one of the type they look at. A frame of it is drawn by
// renderPicture (viewer/picture.h).
#pragma once

#include <vector>

#include "colour/colour.h"
#include "colour/row_colour.h"
#include "core/newton.h"
#include "viewer/views.h"

namespace basin {

template <class T>
struct BasicBasin {
  explicit BasicBasin(const Variant& v) : variant(v), solver(v) {}

  const Variant variant;  // a copy: the caller's may be a temporary
  BasicSolver<T> solver;
  Registry registry;
  BasicViews<T> views;
  // The frame's sample positions, kept between frames.
  std::vector<T> columns, rows;
  // The rows a frame colours ahead of the registry, kept between frames.
  std::vector<Forecast> forecasts;
};

// The float model's state, which most tests use.
using Basin = BasicBasin<float>;

// Start-up: derive the derivative and degree, size the registry, find a
// user's polynomial's roots for the registry to move end points to, and
// record the current window as home.
template <class T>
void setup(BasicBasin<T>& basin);

}  // namespace basin
