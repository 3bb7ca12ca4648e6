// One program's state behind one interface, whatever its storage type: the
// programs choose float or double once, as they start (openSession), and
// everything below works in that type (SessionOf<T> holds a BasicBasin<T>).
// The GLUT viewer, the headless viewer, basinshot and the --roots listing
// reach the model only through this.
#pragma once

#include <memory>
#include <string>

#include "core/function_ref.h"
#include "viewer/basin.h"
#include "viewer/keys.h"
#include "viewer/picture.h"
#include "viewer/probe.h"

namespace basin {

class Session {
 public:
  virtual ~Session() = default;

  virtual const Variant& variant() const = 0;
  virtual const Registry& registry() const = 0;

  // The view windows (viewer/views.h): current, pending and home, and the
  // window's size, in pixels: what a frame draws.
  virtual const Window& current() const = 0;
  virtual const Window& pending() const = 0;
  virtual const Window& home() const = 0;
  virtual Size size() const = 0;

  // A key (or a drag's mark) on the view windows, as applyPress does it.
  virtual Effect press(const KeyPress& press, const char** why = nullptr) = 0;
  // Makes `window` current, as marking exactly it and pressing `d` would;
  // false, changing nothing, for a window this storage type cannot draw.
  virtual bool goTo(const Window& window) = 0;
  // The window a drag from `from` to `to` would mark, without marking it;
  // false when that mark would be refused.
  virtual bool squareOf(const Pointer& from, const Pointer& to, Window* square) const = 0;
  // The view a pan from `from` to `to` would give, without giving it; false
  // when that pan would be refused.
  virtual bool panned(const Pointer& from, const Pointer& to, Window* view) const = 0;
  // The point of the plane under a pointer position (pointInPlane).
  virtual void pointAt(const Pointer& at, double* x, double* y) const = 0;

  // The window is now `size`, its current window the base view fitted to
  // it (resize); false, changing nothing and saying why, when that cannot
  // be drawn. Draws nothing.
  virtual bool resize(Size size, const char** why = nullptr) = 0;
  // The current base view as a window of `size` would draw it.
  virtual Window fitted(Size size) const = 0;

  // Draws the current window at the window's size into `picture`
  // (renderPicture), calling rowDone(rows finished) after each row.
  virtual void render(Picture* picture, RowSolver& rows, LanePath lanes,
                      FunctionRef<void(int)> rowDone) = 0;
  void render(Picture* picture, RowSolver& rows, LanePath lanes) {
    render(picture, rows, lanes, [](int) {});
  }
  // Draws `window` at the window's size as a passing glimpse: neither the
  // view windows nor the registry keep anything of it (the frames shown
  // while a pan is dragged).
  virtual void glimpse(const Window& window, Picture* picture, RowSolver& rows, LanePath lanes,
                       FunctionRef<void(int)> rowDone) = 0;

  // The sample drawn in the pixel under `at` and its run solved again,
  // with every iterate when `withPath` (probeSample); the view's facts; the
  // polynomial's roots and their colours (viewer/probe.h).
  virtual SampleProbe probe(const Pointer& at, bool withPath) const = 0;
  virtual ViewFacts viewFacts() const = 0;
  virtual std::vector<RootMark> roots() const = 0;

  // Whether this storage type places size.width samples across `window`
  // and size.height up it (windowResolves), and the most a side it can
  // place across and up it (largestPlaceable).
  virtual bool resolves(const Window& window, Size size) const = 0;
  virtual Size largestPlaceable(const Window& window, Size atMost) const = 0;

  // The basinshot command that draws the current window, as printed after
  // each frame (see viewLine in viewer/view_line.h).
  virtual std::string viewLine() const = 0;
  // The same view as basinshot's arguments (viewArguments), for a print.
  virtual std::vector<std::string> viewArguments() const = 0;

  // A copy of the whole state, to try keys on without touching this one.
  virtual std::unique_ptr<Session> copy() const = 0;
};

// The session of `variant`, in its precision, set up (setup): the one place
// a program chooses its storage type.
std::unique_ptr<Session> openSession(const Variant& variant);

}  // namespace basin
