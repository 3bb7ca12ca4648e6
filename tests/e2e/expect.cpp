#include "expect.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

namespace e2e {
namespace {

using basin::GRID;
using basin::Picture;

// Mesa's rasteriser places vertices on a grid of 1/256 pixel.
constexpr double SNAP = 1.0 / 256;

// How far GL's float arithmetic can put a position on an axis from where
// exact arithmetic puts it, in pixels: a few roundings of the terms of the
// projection (2 / (hi - lo)) * x - (hi + lo) / (hi - lo), scaled by half the
// window. Windows far from the origin cancel large terms and need more.
double slack(float lo, float hi) {
  const double width = double(hi) - lo;
  const double terms =
      (2 * std::max(std::fabs(lo), std::fabs(hi)) + std::fabs(double(hi) + lo)) / width + 1;
  return 4 * (GRID / 2.0) * std::ldexp(terms, -24);
}

// The pixels (counted from the low end of the axis) a position `u` pixels
// from the low edge may light: the one holding its snapped position, or
// either neighbour when it lies within `slack` of a snapping edge.
std::vector<int> pixelsFor(double u, double slack) {
  const double snapped = u + SNAP / 2;
  const double edge = std::round(snapped);
  if (std::fabs(snapped - edge) < slack) return {int(edge) - 1, int(edge)};
  return {int(std::floor(snapped))};
}

// Turns each sample's candidate pixels into each pixel's candidate samples.
// Samples are drawn in increasing order, so the last one to land wins.
std::vector<std::vector<int>> sources(const std::vector<std::vector<int>>& pixelsOfSample) {
  std::vector<int> certain(GRID, 0);
  for (int k = 1; k <= GRID; ++k) {
    const std::vector<int>& p = pixelsOfSample[k];
    if (p.size() == 1 && p[0] >= 0 && p[0] < GRID) certain[p[0]] = k;
  }
  std::vector<std::vector<int>> out(GRID);
  for (int p = 0; p < GRID; ++p) out[p].push_back(certain[p]);
  for (int k = 1; k <= GRID; ++k) {
    const std::vector<int>& p = pixelsOfSample[k];
    if (p.size() < 2) continue;
    for (int pixel : p)
      if (pixel >= 0 && pixel < GRID && k > certain[pixel]) out[pixel].push_back(k);
  }
  return out;
}

Colour colourAt(const Picture& picture, int x, int y) {
  const std::uint8_t* c = picture.at(x, y);
  return Colour{c[0], c[1], c[2]};
}

void paint(Picture& picture, int x, int y, const Colour& colour) {
  std::uint8_t* c = picture.at(x, y);
  c[0] = colour[0];
  c[1] = colour[1];
  c[2] = colour[2];
}

// Window edges at or just past a pixel edge may light the pixel on either
// side; otherwise a line lights the pixel it crosses.
std::vector<int> lineCandidates(double u, double slack) {
  const double edge = std::round(u);
  if (std::fabs(u - edge) < SNAP / 2 + slack) return {int(edge) - 1, int(edge)};
  return {int(std::floor(u))};
}

std::string describe(const Colour& c) {
  return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]);
}

}  // namespace

std::vector<std::vector<int>> placeColumns(float xmin, float xmax) {
  // The frame's accumulated real parts, from the left edge rightwards.
  const float step = basin::stored((double(xmax) - xmin) / GRID);
  const double margin = slack(xmin, xmax);
  std::vector<std::vector<int>> pixels(GRID + 1);
  float x = xmin;
  for (int i = 1; i <= GRID; ++i) {
    x = basin::stored(double(x) + step);
    pixels[i] = pixelsFor((double(x) - xmin) / (double(xmax) - xmin) * GRID, margin);
  }
  return sources(pixels);
}

std::vector<std::vector<int>> placeRows(float ymin, float ymax) {
  // The frame's accumulated imaginary parts, from the top edge downwards;
  // GL counts pixel rows from the bottom, the screen from the top.
  const float step = basin::stored((double(ymax) - ymin) / GRID);
  const double margin = slack(ymin, ymax);
  std::vector<std::vector<int>> pixels(GRID + 1);
  float y = ymax;
  for (int j = 1; j <= GRID; ++j) {
    y = basin::stored(double(y) - step);
    pixels[j] = pixelsFor((double(y) - ymin) / (double(ymax) - ymin) * GRID, margin);
    for (int& p : pixels[j]) p = GRID - 1 - p;
  }
  return sources(pixels);
}

Expected expectFrame(basin::Basin& basin, const Picture& before) {
  const basin::Views& v = basin.views;
  Expected out{before, Picture{}, placeColumns(v.XMIN, v.XMAX), placeRows(v.YMIN, v.YMAX)};
  basin::renderPicture(basin, GRID, &out.cells);
  return out;
}

std::vector<Expected> expectOutline(const basin::Views& v, const Picture& before) {
  const double width = double(v.XMAX) - v.XMIN, height = double(v.YMAX) - v.YMIN;
  const double xs = slack(v.XMIN, v.XMAX), ys = slack(v.YMIN, v.YMAX);
  const auto column = [&](float x) { return lineCandidates((x - v.XMIN) / width * GRID, xs); };
  const auto row = [&](float y) {
    std::vector<int> rows = lineCandidates((y - v.YMIN) / height * GRID, ys);
    for (int& r : rows) r = GRID - 1 - r;
    return rows;
  };
  const Colour white{255, 255, 255};
  const auto inside = [](int p) { return p >= 0 && p < GRID; };
  std::vector<Expected> out;
  for (int left : column(v.NXMIN))
    for (int right : column(v.NXMAX))
      for (int top : row(v.NYMAX))
        for (int bottom : row(v.NYMIN)) {
          Picture outlined = before;
          for (int y = std::max(top, 0); y <= std::min(bottom, GRID - 1); ++y) {
            if (inside(left)) paint(outlined, left, y, white);
            if (inside(right)) paint(outlined, right, y, white);
          }
          for (int x = std::max(left, 0); x <= std::min(right, GRID - 1); ++x) {
            if (inside(top)) paint(outlined, x, top, white);
            if (inside(bottom)) paint(outlined, x, bottom, white);
          }
          out.push_back(expectSame(outlined));
        }
  return out;
}

Expected expectSame(const Picture& before) {
  const std::vector<std::vector<int>> nothing(before.size, std::vector<int>{0});
  return Expected{before, Picture{}, nothing, nothing};
}

Expected expectBlack(int size) { return expectSame(basin::blankPicture(size)); }

namespace {

// The colour pixel (x, y) has when its column shows frame column `column`
// and its row frame row `row`.
Colour shown(const Expected& e, int x, int y, int column, int row) {
  return column == 0 || row == 0 ? colourAt(e.before, x, y)
                                 : colourAt(e.cells, column - 1, row - 1);
}

using Pixels = std::vector<std::pair<int, int>>;

// The misfits that the best of `candidates` leaves.
template <class Misfits>
Pixels fewest(const std::vector<int>& candidates, Misfits misfitsOf) {
  Pixels best = misfitsOf(candidates[0]);
  for (std::size_t i = 1; i < candidates.size() && !best.empty(); ++i) {
    Pixels other = misfitsOf(candidates[i]);
    if (other.size() < best.size()) best = std::move(other);
  }
  return best;
}

// The pixels of `screen` that fit no candidate, choosing for each pixel row
// the row of samples that fits it best, and then likewise for each pixel
// column with more than one candidate.
Pixels misfits(const Picture& screen, const Expected& e) {
  const int size = screen.size;
  const auto fits = [&](int x, int y, const std::vector<int>& columns, int row) {
    for (int column : columns)
      if (shown(e, x, y, column, row) == colourAt(screen, x, y)) return true;
    return false;
  };
  Pixels out;
  for (int y = 0; y < size; ++y) {
    const Pixels bad = fewest(e.rows[y], [&](int row) {
      Pixels in;
      for (int x = 0; x < size; ++x)
        if (!fits(x, y, e.columns[x], row)) in.emplace_back(x, y);
      return in;
    });
    out.insert(out.end(), bad.begin(), bad.end());
  }
  for (int x = 0; x < size && out.empty(); ++x) {
    if (e.columns[x].size() < 2) continue;
    out = fewest(e.columns[x], [&](int column) {
      Pixels in;
      for (int y = 0; y < size; ++y) {
        bool any = false;
        for (int row : e.rows[y]) any = any || fits(x, y, {column}, row);
        if (!any) in.emplace_back(x, y);
      }
      return in;
    });
  }
  return out;
}

void writePpm(const Picture& picture, const std::string& path) {
  std::ofstream file(path, std::ios::binary);
  file << "P6\n" << picture.size << " " << picture.size << "\n255\n";
  file.write(reinterpret_cast<const char*>(picture.rgb.data()),
             std::streamsize(picture.rgb.size()));
}

// The screen as expected, each pixel row and column taking its first
// candidate.
Picture firstChoice(const Expected& e) {
  Picture out = e.before;
  for (int y = 0; y < out.size; ++y)
    for (int x = 0; x < out.size; ++x)
      paint(out, x, y, shown(e, x, y, e.columns[x][0], e.rows[y][0]));
  return out;
}

}  // namespace

std::string compare(const Picture& screen, const std::vector<Expected>& options,
                    const std::string& label) {
  const Expected* closest = nullptr;
  Pixels wrong;
  for (const Expected& e : options) {
    if (e.before.size != screen.size) continue;
    Pixels bad = misfits(screen, e);
    if (bad.empty()) return "";
    if (!closest || bad.size() < wrong.size()) {
      closest = &e;
      wrong = std::move(bad);
    }
  }
  if (!closest) return "the screen is " + std::to_string(screen.size) + " pixels wide";

  std::ostringstream out;
  out << wrong.size() << " pixels differ from the expected screen";
  const Picture expected = firstChoice(*closest);
  for (std::size_t i = 0; i < wrong.size() && i < 8; ++i) {
    const auto [x, y] = wrong[i];
    out << "\n  pixel (" << x << ", " << y << ") shows " << describe(colourAt(screen, x, y))
        << ", expected " << describe(colourAt(expected, x, y));
  }
  if (label.empty()) return out.str();
  writePpm(screen, label + "-screen.ppm");
  writePpm(expected, label + "-expected.ppm");
  out << "\n  written: " << label << "-screen.ppm, " << label << "-expected.ppm";
  return out.str();
}

}  // namespace e2e
