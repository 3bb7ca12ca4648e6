#include "viewer/views.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/complex.h"

namespace basin {

bool sameWindow(const Window& a, const Window& b) {
  return a.xmin == b.xmin && a.xmax == b.xmax && a.ymin == b.ymin && a.ymax == b.ymax;
}

template <class T>
Window drawnView(const BaseView& base, Size size) {
  if (base.size == size) return base.window;
  const Window& b = base.window;
  const double width = b.xmax - b.xmin, height = b.ymax - b.ymin;
  // Widths per pixel compared as width / W against height / H, crosswise.
  const double across = width * size.height, down = height * size.width;
  if (across == down) return b;  // the window's shape already
  if (across > down) {           // the base is the wider: its height grows
    const double centre = (b.ymin + b.ymax) / 2, half = width * size.height / size.width / 2;
    return Window{b.xmin, b.xmax, keptAs<T>(centre - half), keptAs<T>(centre + half)};
  }
  const double centre = (b.xmin + b.xmax) / 2, half = height * size.width / size.height / 2;
  return Window{keptAs<T>(centre - half), keptAs<T>(centre + half), b.ymin, b.ymax};
}

template <class T>
bool resize(BasicViews<T>& v, Size size, const char** why) {
  const Window drawn = drawnView<T>(v.base, size);
  const char* fault = windowFault<T>(drawn, size);
  if (why) *why = fault;
  if (fault) return false;
  v.keepPending = !sameWindow(v.pending, v.current) || v.pendingSize != v.size;
  v.size = size;
  v.current = drawn;
  return true;
}

template <class T>
void changewin(BasicViews<T>& v) {
  if (sameWindow(v.current, v.pending) && v.pendingSize == v.size) return;  // drawn again
  v.earlier.push_back(v.base);
  if (v.earlier.size() >= HISTORY_LIMIT) v.earlier.erase(v.earlier.begin());
  v.later.clear();
  v.base = BaseView{v.pending, v.pendingSize};
  v.current = drawnView<T>(v.base, v.size);
  v.pending = v.current;
  v.pendingSize = v.size;
}

namespace {

// Moves the base view onto `to` and the newest of `from` into its place,
// unless that one cannot be drawn in the window as it now is.
template <class T>
bool step(BasicViews<T>& v, std::vector<BaseView>& from, std::vector<BaseView>& to,
          const char* none, const char** why) {
  if (why) *why = from.empty() ? none : nullptr;
  if (from.empty()) return false;
  const Window drawn = drawnView<T>(from.back(), v.size);
  if (const char* fault = windowFault<T>(drawn, v.size)) {
    if (why) *why = fault;
    return false;
  }
  to.push_back(v.base);
  v.base = from.back();
  v.current = v.pending = drawn;
  v.pendingSize = v.size;
  from.pop_back();
  return true;
}

}  // namespace

template <class T>
bool stepBack(BasicViews<T>& v, const char** why) {
  return step(v, v.earlier, v.later, "no earlier view to go back to", why);
}

template <class T>
bool stepForward(BasicViews<T>& v, const char** why) {
  return step(v, v.later, v.earlier, "no later view to go forward to", why);
}

namespace {

// Position k (from 1) of n along [lo, hi], placed by its index.
template <class T>
double positionByIndex(double lo, double hi, int n, int k, bool rising) {
  double offset = (double(k) * (hi - lo)) / n;
  // Only a double window near the top of double's range overflows here: it
  // is placed by its share of the width instead.
  if (!std::isfinite(offset)) offset = double(k) * ((hi - lo) / n);
  return keptAs<T>(rising ? lo + offset : hi - offset);
}

// The accumulated walk's own check: see axisResolves.
template <class T>
bool walkResolves(double lo, double hi, int samples) {
  // Every addition of the walk rounds by up to half a unit in the last
  // place, and inside one binade always the same way, so the error grows
  // with the sample count; in deep zooms the step also falls below what
  // the positions can resolve, and they stall. Replaying the walk in both
  // directions answers both exactly.
  const double exact = (hi - lo) / samples;
  const double tolerance = RESOLVE_STEPS * exact;
  AxisWalk<T> rising(lo, hi, samples, true), falling(lo, hi, samples, false);
  double up = lo, down = hi;
  for (int i = 1; i <= samples; ++i) {
    const double nextUp = rising.next(), nextDown = falling.next();
    if (!(nextUp > up) || !(nextDown < down)) return false;
    if (std::fabs(nextUp - (lo + i * exact)) > tolerance) return false;
    if (std::fabs(nextDown - (hi - i * exact)) > tolerance) return false;
    up = nextUp;
    down = nextDown;
  }
  return true;
}

}  // namespace

template <class T>
void axisPositions(double lo, double hi, int n, bool rising, T* out) {
  if (n == GRID) {
    AxisWalk<T> walk(lo, hi, n, rising);
    for (int i = 0; i < n; ++i) out[i] = T(walk.next());
    return;
  }
  for (int k = 1; k <= n; ++k) out[k - 1] = T(positionByIndex<T>(lo, hi, n, k, rising));
}

template <class T>
double samplePosition(double lo, double hi, int n, int k, bool rising) {
  if (n != GRID) return positionByIndex<T>(lo, hi, n, k, rising);
  AxisWalk<T> walk(lo, hi, n, rising);
  double position = 0;
  for (int i = 0; i < k; ++i) position = walk.next();
  return position;
}

template <class T>
bool axisResolves(double lo, double hi, int samples) {
  if (!std::isfinite(lo) || !std::isfinite(hi) || !(lo < hi)) return false;
  if (samples == GRID) return walkResolves<T>(lo, hi, samples);
  const auto at = [&](int k, bool rising) {
    return positionByIndex<T>(lo, hi, samples, k, rising);
  };
  for (int k = 2; k <= samples; ++k) {
    if (!(at(k - 1, true) < at(k, true)) || !(at(k - 1, false) > at(k, false))) return false;
  }
  return true;
}

namespace {

const char* const TOO_NARROW_FOR_FLOAT =
    "the window is too narrow for float to place 800 samples across it (--double goes deeper)";

}  // namespace

template <class T>
bool windowResolves(const Window& w, int samples) {
  return axisResolves<T>(w.xmin, w.xmax, samples) && axisResolves<T>(w.ymin, w.ymax, samples);
}

template <class T>
bool windowResolves(const Window& w, Size size) {
  return axisResolves<T>(w.xmin, w.xmax, size.width) &&
         axisResolves<T>(w.ymin, w.ymax, size.height);
}

// The fewer the samples, the wider apart they lie, so the counts that
// resolve run from 1 up to some largest: a bisection finds it. The
// accumulated walk of the viewer's grid, checked in its own way, may fail
// where placing by index holds; it then counts as failing.
template <class T>
int largestPlaceable(const Window& w, int atMost) {
  int good = 1, bad = atMost + 1;
  while (bad - good > 1) {
    const int mid = good + (bad - good) / 2;
    (windowResolves<T>(w, mid) ? good : bad) = mid;
  }
  return good;
}

template <class T>
const char* windowFault(const Window& w, Size size) {
  const bool single = PRECISION_OF<T> == Precision::Float;
  if (!std::isfinite(w.xmin) || !std::isfinite(w.xmax) || !std::isfinite(w.ymin) ||
      !std::isfinite(w.ymax))
    return single ? "an edge is not finite (beyond the range of float)"
                  : "an edge is not finite (beyond the range of double)";
  if (!(w.xmin < w.xmax)) return "XMIN must be below XMAX";
  if (!(w.ymin < w.ymax)) return "YMIN must be below YMAX";
  // Only double edges can lie so far apart.
  if (!std::isfinite(w.xmax - w.xmin) || !std::isfinite(w.ymax - w.ymin))
    return "the window is too wide: its width is beyond the range of double";
  const bool across = axisResolves<T>(w.xmin, w.xmax, size.width);
  if (across && axisResolves<T>(w.ymin, w.ymax, size.height)) return nullptr;
  // Named with the count of the axis that fails; valid until the next call
  // on this thread.
  static thread_local char narrow[128];
  std::snprintf(narrow, sizeof narrow,
                "the window is too narrow for %s to place %d samples across it%s", storageName<T>(),
                across ? size.height : size.width, single ? " (--double goes deeper)" : "");
  return narrow;
}

template <class T>
void pointInPlane(const BasicViews<T>& v, const Pointer& at, double* xw, double* yw) {
  const int width = at.width > 0 ? at.width : GRID;
  const int height = at.height > 0 ? at.height : GRID;
  const double xstep = v.keep((v.XMAX() - v.XMIN()) / width);
  const double ystep = v.keep((v.YMAX() - v.YMIN()) / height);
  *xw = v.keep(double(at.x) * xstep + v.XMIN());
  *yw = v.keep(v.YMAX() - double(at.y) * ystep);
}

namespace {

// The window of half-extents hw and hh around (xw, yw), each edge stored.
template <class T>
Window around(const BasicViews<T>& v, double xw, double yw, double hw, double hh) {
  return Window{v.keep(xw - hw), v.keep(xw + hw), v.keep(yw - hh), v.keep(yw + hh)};
}

// Marks the window of half-extents half(w) and half(h) around the pointer.
// Each edge is a double formula of the stored pointer position and edges
// (w and h never rounded), rounded once when stored.
template <class T, class Half>
bool markAround(BasicViews<T>& v, const Pointer& at, const char** why, Half half) {
  double xw, yw;
  pointInPlane(v, at, &xw, &yw);
  return markWindow(v, around(v, xw, yw, half(v.XMAX() - v.XMIN()), half(v.YMAX() - v.YMIN())),
                    why);
}

}  // namespace

std::string parseWindow(const std::string (&edges)[4], Window* window, Precision precision) {
  double edge[4];
  for (int i = 0; i < 4; ++i) {
    const std::string& text = edges[i];
    char* end = nullptr;
    edge[i] = readStored(text.c_str(), &end, precision);
    // strtod reads "nan" as a number, which it is not.
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0])) || *end != '\0' ||
        std::isnan(edge[i]))
      return "'" + text + "': not a number";
  }
  const Window read{edge[0], edge[1], edge[2], edge[3]};
  // Edges apart as written that round to one float: too narrow for float.
  const auto apart = [&](int lo, int hi) {
    return std::strtod(edges[lo].c_str(), nullptr) < std::strtod(edges[hi].c_str(), nullptr);
  };
  const bool merged =
      (apart(0, 1) && !(read.xmin < read.xmax)) || (apart(2, 3) && !(read.ymin < read.ymax));
  if (merged && std::isfinite(read.xmin) && std::isfinite(read.xmax) && std::isfinite(read.ymin) &&
      std::isfinite(read.ymax))
    return TOO_NARROW_FOR_FLOAT;
  const char* fault = precision == Precision::Double ? windowFault<double>(read, Size{})
                                                     : windowFault<float>(read, Size{});
  if (fault) return fault;
  *window = read;
  return "";
}

// A refused mark leaves no mark pending, so the `d` after it draws nothing
// new: not an older mark, which the user has given up.
template <class T>
bool markWindow(BasicViews<T>& v, const Window& w, const char** why) {
  const char* fault = windowFault<T>(w, v.size);
  if (why) *why = fault;
  v.pending = fault ? v.current : w;
  v.pendingSize = v.size;
  return fault == nullptr;
}

template <class T>
bool pan(BasicViews<T>& v, const Pointer& from, const Pointer& to, const char** why) {
  const int width = from.width > 0 ? from.width : GRID;
  const int height = from.height > 0 ? from.height : GRID;
  const double dx = double(to.x - from.x) * (v.XMAX() - v.XMIN()) / width;
  const double dy = double(to.y - from.y) * (v.YMAX() - v.YMIN()) / height;
  const Window moved{v.keep(v.XMIN() - dx), v.keep(v.XMAX() - dx), v.keep(v.YMIN() + dy),
                     v.keep(v.YMAX() + dy)};
  if (!markWindow(v, moved, why)) return false;
  changewin(v);
  return true;
}

// k = the cube root of 3: three notches make the scale of one `z`.
template <class T>
bool wheel(BasicViews<T>& v, const Pointer& at, bool in, const char** why) {
  double px, py;
  pointInPlane(v, at, &px, &py);
  const double k = std::cbrt(3.0);
  const auto scaled = [&](double p, double edge) { return in ? (edge - p) / k : (edge - p) * k; };
  const Window zoomed{v.keep(px + scaled(px, v.XMIN())), v.keep(px + scaled(px, v.XMAX())),
                      v.keep(py + scaled(py, v.YMIN())), v.keep(py + scaled(py, v.YMAX()))};
  if (!markWindow(v, zoomed, why)) return false;
  changewin(v);
  return true;
}

// The zoom factor is 3 per axis, taken as the square root of 9.
template <class T>
bool zoom(BasicViews<T>& v, const Pointer& at, const char** why) {
  return markAround(v, at, why, [](double extent) { return extent / (2 * std::sqrt(9.0)); });
}

template <class T>
bool zoomo(BasicViews<T>& v, const Pointer& at, const char** why) {
  return markAround(v, at, why, [](double extent) { return std::sqrt(9.0) * extent / 2; });
}

template <class T>
bool recent(BasicViews<T>& v, const Pointer& at, const char** why) {
  return markAround(v, at, why, [](double extent) { return extent / 2; });
}

PixelSquare draggedSquare(const Pointer& from, const Pointer& to) {
  return PixelSquare{from.x, from.y, std::max(std::abs(to.x - from.x), std::abs(to.y - from.y))};
}

// The square's half-extents are its side's share of the window's pixels,
// in double from the stored edges, each edge rounded once when stored.
template <class T>
bool markSquare(BasicViews<T>& v, const Pointer& from, const Pointer& to, const char** why) {
  const PixelSquare square = draggedSquare(from, to);
  const int width = from.width > 0 ? from.width : GRID;
  const int height = from.height > 0 ? from.height : GRID;
  double xw, yw;
  pointInPlane(v, from, &xw, &yw);
  const double hw = (v.XMAX() - v.XMIN()) * square.side / (2.0 * width);
  const double hh = (v.YMAX() - v.YMIN()) * square.side / (2.0 * height);
  return markWindow(v, around(v, xw, yw, hw, hh), why);
}

// Each function above, for each storage type.
#define BASIN_VIEWS_FOR(T)                                                            \
  template void changewin(BasicViews<T>&);                                            \
  template bool stepBack(BasicViews<T>&, const char**);                               \
  template bool stepForward(BasicViews<T>&, const char**);                            \
  template void axisPositions(double, double, int, bool, T*);                         \
  template double samplePosition<T>(double, double, int, int, bool);                  \
  template bool axisResolves<T>(double, double, int);                                 \
  template bool windowResolves<T>(const Window&, int);                                \
  template bool windowResolves<T>(const Window&, Size);                               \
  template Window drawnView<T>(const BaseView&, Size);                                \
  template bool resize(BasicViews<T>&, Size, const char**);                           \
  template void pointInPlane(const BasicViews<T>&, const Pointer&, double*, double*); \
  template bool pan(BasicViews<T>&, const Pointer&, const Pointer&, const char**);    \
  template bool wheel(BasicViews<T>&, const Pointer&, bool, const char**);            \
  template int largestPlaceable<T>(const Window&, int);                               \
  template const char* windowFault<T>(const Window&, Size);                           \
  template bool markWindow(BasicViews<T>&, const Window&, const char**);              \
  template bool zoom(BasicViews<T>&, const Pointer&, const char**);                   \
  template bool zoomo(BasicViews<T>&, const Pointer&, const char**);                  \
  template bool recent(BasicViews<T>&, const Pointer&, const char**);                 \
  template bool markSquare(BasicViews<T>&, const Pointer&, const Pointer&, const char**);
BASIN_STORAGE_TYPES(BASIN_VIEWS_FOR)
#undef BASIN_VIEWS_FOR

}  // namespace basin
