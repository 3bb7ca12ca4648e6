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

namespace basin {

class Session {
 public:
  virtual ~Session() = default;

  virtual const Variant& variant() const = 0;
  virtual const Registry& registry() const = 0;

  // The view windows (viewer/views.h): current, pending and home.
  virtual const Window& current() const = 0;
  virtual const Window& pending() const = 0;
  virtual const Window& home() const = 0;

  // A key (or a drag's mark) on the view windows, as applyPress does it.
  virtual Effect press(const KeyPress& press, const char** why = nullptr) = 0;
  // Makes `window` current, as marking exactly it and pressing `d` would;
  // false, changing nothing, for a window this storage type cannot draw.
  virtual bool goTo(const Window& window) = 0;
  // The window a drag from `from` to `to` would mark, without marking it;
  // false when that mark would be refused.
  virtual bool squareOf(const Pointer& from, const Pointer& to, Window* square) const = 0;

  // Draws the current window on a size x size grid into `picture`
  // (renderPicture), calling rowDone(rows finished) after each row.
  virtual void render(int size, Picture* picture, RowSolver& rows, LanePath lanes,
                      FunctionRef<void(int)> rowDone) = 0;
  void render(int size, Picture* picture, RowSolver& rows, LanePath lanes) {
    render(size, picture, rows, lanes, [](int) {});
  }

  // Whether this storage type places `samples` samples a side across
  // `window` (windowResolves), and the most it can (largestPlaceable).
  virtual bool resolves(const Window& window, int samples) const = 0;
  virtual int largestPlaceable(const Window& window, int atMost) const = 0;

  // The basinshot command that draws the current window, as printed after
  // each frame (see viewLine in viewer/view_line.h).
  virtual std::string viewLine() const = 0;

  // A copy of the whole state, to try keys on without touching this one.
  virtual std::unique_ptr<Session> copy() const = 0;
};

// The session of `variant`, in its precision, set up (setup): the one place
// a program chooses its storage type.
std::unique_ptr<Session> openSession(const Variant& variant);

}  // namespace basin
