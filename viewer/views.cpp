#include "viewer/views.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "core/complex.h"

namespace basin {

void recordHome(Views& v) { v.home = v.current; }
void resetPending(Views& v) { v.pending = v.current; }
void restore(Views& v) { v.pending = v.home; }

bool sameWindow(const Window& a, const Window& b) {
  return a.xmin == b.xmin && a.xmax == b.xmax && a.ymin == b.ymin && a.ymax == b.ymax;
}

void changewin(Views& v) {
  if (sameWindow(v.current, v.pending)) return;  // drawn again, not a new view
  v.earlier.push_back(v.current);
  if (v.earlier.size() >= HISTORY_LIMIT) v.earlier.erase(v.earlier.begin());
  v.later.clear();
  v.current = v.pending;
}

namespace {

// Moves the current view onto `to` and the newest of `from` into its place.
bool step(Views& v, std::vector<Window>& from, std::vector<Window>& to, const char* none,
          const char** why) {
  if (why) *why = from.empty() ? none : nullptr;
  if (from.empty()) return false;
  to.push_back(v.current);
  v.current = v.pending = from.back();
  from.pop_back();
  return true;
}

}  // namespace

bool stepBack(Views& v, const char** why) {
  return step(v, v.earlier, v.later, "no earlier view to go back to", why);
}

bool stepForward(Views& v, const char** why) {
  return step(v, v.later, v.earlier, "no later view to go forward to", why);
}

AxisWalk::AxisWalk(double lo, double hi, int n, bool rising, Precision precision)
    : precision_(precision),
      position_(rising ? lo : hi),
      step_(storedIn(precision, (hi - lo) / n)),
      rising_(rising) {}

double AxisWalk::next() {
  position_ = storedIn(precision_, rising_ ? position_ + step_ : position_ - step_);
  return position_;
}

namespace {

// Position k (from 1) of n along [lo, hi], placed by its index.
double positionByIndex(double lo, double hi, int n, int k, bool rising, Precision precision) {
  double offset = (double(k) * (hi - lo)) / n;
  // Only a double window near the top of double's range overflows here: it
  // is placed by its share of the width instead.
  if (!std::isfinite(offset)) offset = double(k) * ((hi - lo) / n);
  return storedIn(precision, rising ? lo + offset : hi - offset);
}

// The accumulated walk's own check: see axisResolves.
bool walkResolves(double lo, double hi, int samples, Precision precision) {
  // Every addition of the walk rounds by up to half a unit in the last
  // place, and inside one binade always the same way, so the error grows
  // with the sample count; in deep zooms the step also falls below what
  // the positions can resolve, and they stall. Replaying the walk in both
  // directions answers both exactly.
  const double exact = (hi - lo) / samples;
  const double tolerance = RESOLVE_STEPS * exact;
  AxisWalk rising(lo, hi, samples, true, precision), falling(lo, hi, samples, false, precision);
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
  constexpr Precision precision = PRECISION_OF<T>;
  if (n == GRID) {
    AxisWalk walk(lo, hi, n, rising, precision);
    for (int i = 0; i < n; ++i) out[i] = T(walk.next());
    return;
  }
  for (int k = 1; k <= n; ++k) out[k - 1] = T(positionByIndex(lo, hi, n, k, rising, precision));
}

template void axisPositions(double, double, int, bool, float*);
template void axisPositions(double, double, int, bool, double*);

bool axisResolves(double lo, double hi, int samples, Precision precision) {
  if (!std::isfinite(lo) || !std::isfinite(hi) || !(lo < hi)) return false;
  if (samples == GRID) return walkResolves(lo, hi, samples, precision);
  const auto at = [&](int k, bool rising) {
    return positionByIndex(lo, hi, samples, k, rising, precision);
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

bool windowResolves(const Window& w, int samples, Precision precision) {
  return axisResolves(w.xmin, w.xmax, samples, precision) &&
         axisResolves(w.ymin, w.ymax, samples, precision);
}

// The fewer the samples, the wider apart they lie, so the counts that
// resolve run from 1 up to some largest: a bisection finds it. The
// accumulated walk of the viewer's grid, checked in its own way, may fail
// where placing by index holds; it then counts as failing.
int largestPlaceable(const Window& w, int atMost, Precision precision) {
  int good = 1, bad = atMost + 1;
  while (bad - good > 1) {
    const int mid = good + (bad - good) / 2;
    (windowResolves(w, mid, precision) ? good : bad) = mid;
  }
  return good;
}

const char* windowFault(const Window& w, Precision precision) {
  const bool single = precision == Precision::Float;
  if (!std::isfinite(w.xmin) || !std::isfinite(w.xmax) || !std::isfinite(w.ymin) ||
      !std::isfinite(w.ymax))
    return single ? "an edge is not finite (beyond the range of float)"
                  : "an edge is not finite (beyond the range of double)";
  if (!(w.xmin < w.xmax)) return "XMIN must be below XMAX";
  if (!(w.ymin < w.ymax)) return "YMIN must be below YMAX";
  // Only double edges can lie so far apart.
  if (!std::isfinite(w.xmax - w.xmin) || !std::isfinite(w.ymax - w.ymin))
    return "the window is too wide: its width is beyond the range of double";
  if (!windowResolves(w, GRID, precision))
    return single ? TOO_NARROW_FOR_FLOAT
                  : "the window is too narrow for double to place 800 samples across it";
  return nullptr;
}

namespace {

// The pointer in world coordinates, per pixel of the window's present size.
void toWorld(const Views& v, const Pointer& at, double* xw, double* yw) {
  const int width = at.width > 0 ? at.width : GRID;
  const int height = at.height > 0 ? at.height : GRID;
  const double xstep = v.keep((v.XMAX() - v.XMIN()) / width);
  const double ystep = v.keep((v.YMAX() - v.YMIN()) / height);
  *xw = v.keep(double(at.x) * xstep + v.XMIN());
  *yw = v.keep(v.YMAX() - double(at.y) * ystep);
}

// The window of half-extents hw and hh around (xw, yw), each edge stored.
Window around(const Views& v, double xw, double yw, double hw, double hh) {
  return Window{v.keep(xw - hw), v.keep(xw + hw), v.keep(yw - hh), v.keep(yw + hh)};
}

// Marks the window of half-extents half(w) and half(h) around the pointer.
// Each edge is a double formula of the stored pointer position and edges
// (w and h never rounded), rounded once when stored.
template <class Half>
bool markAround(Views& v, const Pointer& at, const char** why, Half half) {
  double xw, yw;
  toWorld(v, at, &xw, &yw);
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
  if (const char* fault = windowFault(read, precision)) return fault;
  *window = read;
  return "";
}

// A refused mark leaves no mark pending, so the `d` after it draws nothing
// new: not an older mark, which the user has given up.
bool markWindow(Views& v, const Window& w, const char** why) {
  const char* fault = windowFault(w, v.precision);
  if (why) *why = fault;
  v.pending = fault ? v.current : w;
  return fault == nullptr;
}

// The zoom factor is 3 per axis, taken as the square root of 9.
bool zoom(Views& v, const Pointer& at, const char** why) {
  return markAround(v, at, why, [](double extent) { return extent / (2 * std::sqrt(9.0)); });
}

bool zoomo(Views& v, const Pointer& at, const char** why) {
  return markAround(v, at, why, [](double extent) { return std::sqrt(9.0) * extent / 2; });
}

bool recentre(Views& v, const Pointer& at, const char** why) {
  return markAround(v, at, why, [](double extent) { return extent / 2; });
}

PixelSquare draggedSquare(const Pointer& from, const Pointer& to) {
  return PixelSquare{from.x, from.y, std::max(std::abs(to.x - from.x), std::abs(to.y - from.y))};
}

// The square's half-extents are its side's share of the window's pixels,
// in double from the stored edges, each edge rounded once when stored.
bool markSquare(Views& v, const Pointer& from, const Pointer& to, const char** why) {
  const PixelSquare square = draggedSquare(from, to);
  const int width = from.width > 0 ? from.width : GRID;
  const int height = from.height > 0 ? from.height : GRID;
  double xw, yw;
  toWorld(v, from, &xw, &yw);
  const double hw = (v.XMAX() - v.XMIN()) * square.side / (2.0 * width);
  const double hh = (v.YMAX() - v.YMIN()) * square.side / (2.0 * height);
  return markWindow(v, around(v, xw, yw, hw, hh), why);
}

}  // namespace basin
