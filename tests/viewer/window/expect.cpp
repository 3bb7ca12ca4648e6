#include "tests/viewer/window/expect.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "tests/support/pictures.h"

namespace e2e {
namespace {

using basin::GRID;
using basin::Picture;
using support::differences;

// Mesa's rasteriser places vertices on a grid of 1/256 pixel.
constexpr double SNAP = 1.0 / 256;

// How far GL's float arithmetic can put a position on an axis from where
// exact arithmetic puts it, in pixels: a few roundings of the terms of the
// projection (2 / (hi - lo)) * x - (hi + lo) / (hi - lo), scaled by half the
// window. Windows far from the origin cancel large terms and need more.
double slack(double lo, double hi, int pixels) {
  const double width = double(hi) - lo;
  const double terms =
      (2 * std::max(std::fabs(lo), std::fabs(hi)) + std::fabs(double(hi) + lo)) / width + 1;
  return 4 * (pixels / 2.0) * std::ldexp(terms, -24);
}

// An outline edge at or just past a pixel edge may light the pixel on
// either side; otherwise it lights the pixel it crosses.
std::vector<int> lineCandidates(double u, double slack) {
  const double edge = std::round(u);
  if (std::fabs(u - edge) < SNAP / 2 + slack) return {int(edge) - 1, int(edge)};
  return {int(std::floor(u))};
}

void paintWhite(Picture& picture, int x, int y) {
  std::uint8_t* c = picture.at(x, y);
  c[0] = c[1] = c[2] = 255;
}

std::string describe(const std::uint8_t* c) {
  return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]);
}

void writePpm(const Picture& picture, const std::string& path) {
  std::ofstream file(path, std::ios::binary);
  file << "P6\n" << picture.width << " " << picture.height << "\n255\n";
  file.write(reinterpret_cast<const char*>(picture.rgb.data()),
             std::streamsize(picture.rgb.size()));
}

}  // namespace

Picture expectFrame(basin::Basin& basin) {
  Picture out;
  basin::RowSolver rows(2);
  basin::renderPicture(basin, &out, rows, basin::fastestLanePath());
  return out;
}

std::vector<Picture> expectOutline(const basin::Views& v, const Picture& before) {
  const int W = v.size.width, H = v.size.height;
  const double width = double(v.XMAX()) - v.XMIN(), height = double(v.YMAX()) - v.YMIN();
  const double xs = slack(v.XMIN(), v.XMAX(), W), ys = slack(v.YMIN(), v.YMAX(), H);
  const auto column = [&](double x) { return lineCandidates((x - v.XMIN()) / width * W, xs); };
  const auto row = [&](double y) {
    std::vector<int> rows = lineCandidates((y - v.YMIN()) / height * H, ys);
    for (int& r : rows) r = H - 1 - r;  // GL counts rows from the bottom
    return rows;
  };
  const auto insideX = [W](int p) { return p >= 0 && p < W; };
  const auto insideY = [H](int p) { return p >= 0 && p < H; };
  std::vector<Picture> out;
  for (int left : column(v.NXMIN()))
    for (int right : column(v.NXMAX()))
      for (int top : row(v.NYMAX()))
        for (int bottom : row(v.NYMIN())) {
          Picture outlined = before;
          for (int y = std::max(top, 0); y <= std::min(bottom, H - 1); ++y) {
            if (insideX(left)) paintWhite(outlined, left, y);
            if (insideX(right)) paintWhite(outlined, right, y);
          }
          for (int x = std::max(left, 0); x <= std::min(right, W - 1); ++x) {
            if (insideY(top)) paintWhite(outlined, x, top);
            if (insideY(bottom)) paintWhite(outlined, x, bottom);
          }
          out.push_back(std::move(outlined));
        }
  return out;
}

std::string compare(const Picture& screen, const std::vector<Picture>& options,
                    const std::string& label) {
  const Picture* closest = nullptr;
  std::vector<std::pair<int, int>> wrong;
  for (const Picture& option : options) {
    if (option.width != screen.width || option.height != screen.height) continue;
    std::vector<std::pair<int, int>> bad = differences(screen, option);
    if (bad.empty()) return "";
    if (!closest || bad.size() < wrong.size()) {
      closest = &option;
      wrong = std::move(bad);
    }
  }
  if (!closest)
    return "the screen is " + std::to_string(screen.width) + " x " + std::to_string(screen.height);

  std::ostringstream out;
  out << wrong.size() << " pixels differ from the expected screen";
  for (std::size_t i = 0; i < wrong.size() && i < 8; ++i) {
    const auto [x, y] = wrong[i];
    out << "\n  pixel (" << x << ", " << y << ") shows " << describe(screen.at(x, y))
        << ", expected " << describe(closest->at(x, y));
  }
  if (label.empty()) return out.str();
  writePpm(screen, label + "-screen.ppm");
  writePpm(*closest, label + "-expected.ppm");
  out << "\n  written: " << label << "-screen.ppm, " << label << "-expected.ppm";
  return out.str();
}

}  // namespace e2e
