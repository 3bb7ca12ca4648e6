// The view windows and what the navigation commands do to them.
//
// A window of W x H pixels shows W x H samples, one a pixel. The view the
// user sets (by applying a mark, `r`, `u`/`U`, a wheel notch, a pan) is a
// base view: a rectangle with the window size it was set at. What a frame
// draws, the current window (XMIN ... YMAX), is the base fitted to the
// window's size: the base itself at the size it was set at, else the
// smallest rectangle of the window's shape (square pixels) with the base's
// centre that holds it (drawnView). So a window resized to any shape and
// back shows the same picture again. The pending window (NXMIN ... NYMAX)
// is a proposal that the marking commands replace and `changewin` commits;
// the home window (OXMIN ... OYMAX) is the start-up view, copied once. The
// history holds base views. Nothing here touches GL, so all of it is tested
// without a display.
//
// Every edge and position is held as a double and is a value of the
// model's storage type T. Each formula is computed in double and stored
// once (`keep`).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/complex.h"

namespace basin {

constexpr int GRID = 800;  // samples a side, and the window's start-up size in pixels

// A pointer position in window pixels (from the top-left corner, y down)
// together with the window's present size, so that the mapping to the
// plane stays right after the user resizes the window.
struct Pointer {
  int x;
  int y;
  int width = GRID;
  int height = GRID;
};

// A rectangle of the plane.
struct Window {
  double xmin, xmax, ymin, ymax;
};

bool sameWindow(const Window& a, const Window& b);

// A window's size in pixels, and so the samples of its frames.
struct Size {
  int width = GRID;
  int height = GRID;
};
inline bool operator==(const Size& a, const Size& b) {
  return a.width == b.width && a.height == b.height;
}
inline bool operator!=(const Size& a, const Size& b) { return !(a == b); }

// A view as the user set it: a rectangle of the plane, and the size of the
// window it was set in.
struct BaseView {
  Window window;
  Size size;
};

// The most views the history keeps, the current one among them.
constexpr std::size_t HISTORY_LIMIT = 100;

// The three windows, each read under its historical names as well, and the
// views drawn before and after the current one, for stepping back (`u`)
// and forward (`U`), of a model of storage type T: every edge a T, held in
// a double. Only the functions below write them.
template <class T>
struct BasicViews {
  Size size;  // the window's: a frame draws size.width x size.height samples
  BaseView base{{-2.0, 2.0, -2.0, 2.0}, Size{}};
  Window current = base.window;  // base fitted to `size`: what a frame draws
  // The pending window holds the current one from start-up on, so applying
  // before the first frame redraws the current window; it was marked in a
  // window of pendingSize.
  Window pending = current;
  Size pendingSize;
  // A resize keeps the mark through the frame it causes (resetPending).
  bool keepPending = false;
  BaseView home = base;
  std::vector<BaseView> earlier;  // oldest first; the last is the view before this one
  std::vector<BaseView> later;    // the views stepped back from, the nearest last

  // Room for the whole history at once, so no frame allocates for it.
  BasicViews() {
    earlier.reserve(HISTORY_LIMIT);
    later.reserve(HISTORY_LIMIT);
  }

  // A double result as these views store it.
  static double keep(double value) { return keptAs<T>(value); }

  // The current window: what a frame draws.
  double XMIN() const { return current.xmin; }
  double XMAX() const { return current.xmax; }
  double YMIN() const { return current.ymin; }
  double YMAX() const { return current.ymax; }
  // The pending window, marked by the keys and applied by `d`.
  double NXMIN() const { return pending.xmin; }
  double NXMAX() const { return pending.xmax; }
  double NYMIN() const { return pending.ymin; }
  double NYMAX() const { return pending.ymax; }
  // The home window, the start-up one, copied once.
  double OXMIN() const { return home.window.xmin; }
  double OXMAX() const { return home.window.xmax; }
  double OYMIN() const { return home.window.ymin; }
  double OYMAX() const { return home.window.ymax; }
};

// The float model's views, which most tests use.
using Views = BasicViews<float>;

// The home window becomes a copy of the base view.
template <class T>
void recordHome(BasicViews<T>& views) {
  views.home = views.base;
}

// A frame starts by forgetting any mark: pending = current; but the frame
// of a new window size keeps it, in the plane, for `d` to apply.
template <class T>
void resetPending(BasicViews<T>& views) {
  if (views.keepPending) {
    views.keepPending = false;
    return;
  }
  views.pending = views.current;
  views.pendingSize = views.size;
}

// Why `window` cannot be drawn by a model of storage type T in a window of
// `size` (an edge not finite, an axis empty, or too narrow for T to place
// the window's samples across it, see axisResolves), or nullptr when it
// can.
template <class T>
const char* windowFault(const Window& window, Size size = Size{});

// `base` as a window of `size` draws it: the base itself at the size it was
// set at (or when it has the window's shape already), else the smallest
// rectangle of the window's shape with the base's centre that holds it,
// each edge computed in double from the base's and stored once.
template <class T>
Window drawnView(const BaseView& base, Size size);

// The window is now `size`: the current window becomes the base fitted to
// it. False, changing nothing and saying why in *why if given, when that
// view cannot be drawn at this size (windowFault).
template <class T>
bool resize(BasicViews<T>& views, Size size, const char** why = nullptr);

// Reads a window from the texts of its four edges, XMIN XMAX YMIN YMAX,
// each the float (or double) nearest its text, as the command line does
// before the program has chosen its storage type. "" when it can be drawn,
// else why not: "'abc': not a number", or its windowFault.
std::string parseWindow(const std::string (&edges)[4], Window* window,
                        Precision precision = Precision::Float);

// Marks `window` as the pending window, as a key would; false, saying why
// in *why if given, when it cannot be drawn (windowFault): then no mark is
// left pending (pending = current).
template <class T>
bool markWindow(BasicViews<T>& views, const Window& window, const char** why = nullptr);

// The point of the plane a pointer position stands for, as the marks take
// it: per pixel of the pointer's window size across the current window,
// each coordinate stored.
template <class T>
void pointInPlane(const BasicViews<T>& views, const Pointer& at, double* x, double* y);

// Mark a pending window one third (zoom), three times (zoomo) or the same
// size (recent) as the current one, centred on the pointer. Each returns
// false, with no mark left pending and saying why in *why if given, when
// the new window could not be drawn (windowFault).
template <class T>
bool zoom(BasicViews<T>& views, const Pointer& at, const char** why = nullptr);
template <class T>
bool zoomo(BasicViews<T>& views, const Pointer& at, const char** why = nullptr);
template <class T>
bool recent(BasicViews<T>& views, const Pointer& at, const char** why = nullptr);

// Pending = home, marked in the window size home was set in.
template <class T>
void restore(BasicViews<T>& views) {
  views.pending = views.home.window;
  views.pendingSize = views.home.size;
}

// The pending window becomes the base view, set at pendingSize, and the
// current window that base fitted to the window (the caller then redraws).
// A view other than the current one is a new view in the history: the one
// it replaces goes behind it, the views stepped back from are dropped, and
// beyond HISTORY_LIMIT views the oldest goes. With no mark pending it only
// redraws.
template <class T>
void changewin(BasicViews<T>& views);

// Moves the view with the pointer, from `from` to `to` (a pan): the plane
// point under `from` comes under `to`, the view's size unchanged; applied
// at once, as changewin. False, changing nothing and saying why in *why if
// given, when that view cannot be drawn.
template <class T>
bool pan(BasicViews<T>& views, const Pointer& from, const Pointer& to, const char** why = nullptr);

// A wheel notch at the pointer: zooms in (`in`) or out by the cube root of
// 3 about the plane point under the pointer, which stays where it is;
// applied at once, as changewin. False as pan.
template <class T>
bool wheel(BasicViews<T>& views, const Pointer& at, bool in, const char** why = nullptr);

// Step back to the view before the current one (stepBack) or forward again
// to the one stepped back from (stepForward): it becomes current and
// pending. False, changing nothing and saying why in *why if given, when
// there is no such view.
template <class T>
bool stepBack(BasicViews<T>& views, const char** why = nullptr);
template <class T>
bool stepForward(BasicViews<T>& views, const char** why = nullptr);

// The smallest move, in pixels along either axis, that makes a press of
// the left button a drag rather than a click.
constexpr int DRAG_THRESHOLD = 5;

// The square a drag from `from` to `to` marks, in window pixels: its side
// the larger side of the rectangle dragged, centred where the drag started.
struct PixelSquare {
  int x, y, side;  // the centre and the side
};
PixelSquare draggedSquare(const Pointer& from, const Pointer& to);

// Marks the region of the plane under draggedSquare(from, to) as the
// pending window, with the guards of markWindow.
template <class T>
bool markSquare(BasicViews<T>& views, const Pointer& from, const Pointer& to,
                const char** why = nullptr);

// The positions a frame samples along one axis of [lo, hi], each a T: n
// of them, the first at lo + step (rising) or hi - step (falling) with
// step = (hi - lo) / n stored, each next one the previous plus or minus
// step, stored. Accumulated, never recomputed from the index, so the
// rounding drifts along the axis as it always has: the viewer's window
// samples where this says.
template <class T>
class AxisWalk {
 public:
  AxisWalk(double lo, double hi, int n, bool rising)
      : position_(rising ? lo : hi), step_(keptAs<T>((hi - lo) / n)), rising_(rising) {}
  double next() {
    position_ = keptAs<T>(rising_ ? position_ + step_ : position_ - step_);
    return position_;
  }

 private:
  double position_;
  double step_;
  bool rising_;
};

// The n positions a frame samples along one axis of [lo, hi], into
// out[0 ... n - 1], T the storage type (float or double). On the viewer's
// grid (n = GRID) they are AxisWalk's, so a print at 800 equals the window
// sample for sample. At any other n each is placed by its index k (from
// 1), formed in double from the edges and stored once: lo + (k * (hi -
// lo)) / n rising, hi - (k * (hi - lo)) / n falling. Nothing accumulates,
// so a print of any size covers the same region as the window it was made
// from.
template <class T>
void axisPositions(double lo, double hi, int n, bool rising, T* out);

// Position k (from 1) of the n that axisPositions gives: the very value a
// frame samples there.
template <class T>
double samplePosition(double lo, double hi, int n, int k, bool rising);

// Whether a frame can sample [lo, hi] with `samples` positions
// (axisPositions). On the viewer's grid the accumulated walk must move
// each step further along, and stay within RESOLVE_STEPS steps of each
// exact place (8 of the grid's 800, one per cent of the window): each
// sample is drawn in its own pixel wherever its position lies, so drift
// only moves where a column samples the plane; this bound keeps that small
// and refuses views where the positions collapse. At any other count the
// positions by index must be strictly increasing (rising) and decreasing
// (falling) as stored.
constexpr int RESOLVE_STEPS = 8;
template <class T = float>
bool axisResolves(double lo, double hi, int samples = GRID);

// Whether both axes of `window` resolve with `samples` positions a side,
// or with size.width across and size.height up.
template <class T>
bool windowResolves(const Window& window, int samples);
template <class T>
bool windowResolves(const Window& window, Size size);

// The most samples a side, up to `atMost`, with which `window` resolves
// (at least 1).
template <class T>
int largestPlaceable(const Window& window, int atMost);

}  // namespace basin
