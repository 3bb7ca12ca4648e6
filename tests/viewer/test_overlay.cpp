// Drawing over a picture in memory: clipping to the canvas, legible panels, paths and the font.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "core/programs.h"
#include "viewer/cockpit.h"
#include "viewer/font.h"
#include "viewer/overlay.h"

namespace basin {
namespace {

constexpr double NOT_A_NUMBER = NAN;
constexpr Colour8 GREY{128, 128, 128};
constexpr Colour8 WHITE{255, 255, 255};
constexpr Colour8 YELLOW{255, 255, 0};
constexpr Corner CORNERS[] = {Corner::TopLeft, Corner::TopRight, Corner::BottomLeft,
                              Corner::BottomRight, Corner::Centre};

struct Sheet {
  int width, height;
  std::vector<std::uint8_t> rgb;

  Sheet(int w, int h, Colour8 fill) : width(w), height(h) {
    for (int k = 0; k < w * h; ++k) rgb.insert(rgb.end(), {fill.red, fill.green, fill.blue});
  }
  Canvas canvas() { return Canvas{rgb.data(), width, height}; }
  const std::uint8_t* at(int x, int y) const { return &rgb[3 * std::size_t(y * width + x)]; }
  bool white(int x, int y) const {
    return at(x, y)[0] == 255 && at(x, y)[1] == 255 && at(x, y)[2] == 255;
  }
  bool dark(int x, int y) const {
    return at(x, y)[0] <= 64 && at(x, y)[1] <= 64 && at(x, y)[2] <= 64;
  }
};

// The white pixels 8-connected to the white pixel (x, y).
std::vector<bool> whiteRegion(const Sheet& sheet, int x, int y) {
  std::vector<bool> region(std::size_t(sheet.width * sheet.height));
  std::vector<std::pair<int, int>> todo{{x, y}};
  while (!todo.empty()) {
    const auto [u, v] = todo.back();
    todo.pop_back();
    if (u < 0 || v < 0 || u >= sheet.width || v >= sheet.height) continue;
    if (region[std::size_t(v * sheet.width + u)] || !sheet.white(u, v)) continue;
    region[std::size_t(v * sheet.width + u)] = true;
    for (int dv = -1; dv <= 1; ++dv)
      for (int du = -1; du <= 1; ++du) todo.push_back({u + du, v + dv});
  }
  return region;
}

// Panels at every corner, paths through far and huge points, rings across the edges.
void drawEverywhere(Canvas canvas) {
  const double w = canvas.width, h = canvas.height;
  for (Corner corner : CORNERS) drawPanel(canvas, {"wider than the canvas", "", "g", "|"}, corner);
  drawPath(canvas, {{-5, -5}, {w + 3, h / 2}, {1e30, -1e30}, {-DBL_MAX, DBL_MAX}, {0.5, h}});
  drawPath(canvas, {{DBL_MAX, DBL_MAX}, {w - 0.5, 0.5}, {-1e300, 1e300}});
  for (PixelPoint at : {PixelPoint{0, 0}, {w, 0}, {0, h}, {w, h}, {-4, h / 2}, {w + 4, h / 2}})
    drawRing(canvas, at, YELLOW);
}

TEST(Overlay, NothingIsWrittenBeforeOrAfterTheCanvas) {
  for (const auto& [w, h] : {std::pair{1, 1}, {7, 5}, {40, 30}}) {
    const std::size_t guard = std::size_t(3 * w * 12);  // rows a stray write would reach
    std::vector<std::uint8_t> buffer(2 * guard + std::size_t(3 * w * h), 0xA5);
    drawEverywhere(Canvas{buffer.data() + guard, w, h});
    for (std::size_t k = 0; k < guard; ++k) {
      ASSERT_EQ(buffer[k], 0xA5) << w << "x" << h << " before, byte " << k;
      ASSERT_EQ(buffer[buffer.size() - 1 - k], 0xA5) << w << "x" << h << " after, byte " << k;
    }
  }
}

// A write past a side edge would land on the neighbouring row's other side, in the margin
// beside a panel at that side, which nothing else drawn here reaches.
TEST(Overlay, NothingWrapsAcrossASideEdge) {
  const std::vector<std::string> wide(2, std::string(40, 'W'));
  Sheet rightward(64, 40, GREY), leftward(64, 40, GREY);
  drawPanel(rightward.canvas(), wide, Corner::TopLeft);
  drawPath(rightward.canvas(), {{50.5, 30.5}, {1e30, 31}, {DBL_MAX, 35}});
  drawRing(rightward.canvas(), {62, 30}, WHITE);
  drawPanel(leftward.canvas(), wide, Corner::BottomRight);
  drawPath(leftward.canvas(), {{12.5, 5.5}, {-1e30, 6}, {-DBL_MAX, 8}});
  drawRing(leftward.canvas(), {1, 8}, WHITE);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 4; ++x) {
      ASSERT_EQ(rightward.at(x, y)[0], 128) << x << ", " << y;
      ASSERT_EQ(leftward.at(63 - x, y)[0], 128) << 63 - x << ", " << y;
    }
}

TEST(Overlay, TextIsWhiteOnADarkBandOverTheBrightestColours) {
  const std::vector<std::string> lines = {"Ag|@#", "y = 1.5"};
  int ink = 0;
  for (const std::string& line : lines)
    for (char c : line)
      for (int row = 0; row < GLYPH_HEIGHT; ++row) ink += __builtin_popcount(glyphRows(c)[row]);
  for (Colour8 fill : {WHITE, YELLOW}) {
    Sheet sheet(120, 40, fill);
    drawPanel(sheet.canvas(), lines, Corner::TopLeft);
    int left = 120, top = 40, right = -1, bottom = -1;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 120; ++x)
        if (sheet.dark(x, y))
          left = std::min(left, x), top = std::min(top, y), right = std::max(right, x),
          bottom = std::max(bottom, y);
    int strokes = 0;
    for (int y = top; y <= bottom; ++y)
      for (int x = left; x <= right; ++x) {
        ASSERT_TRUE(sheet.dark(x, y) || sheet.white(x, y)) << x << ", " << y;
        strokes += sheet.white(x, y);
      }
    EXPECT_EQ(strokes, ink);
    EXPECT_GE(right - left + 1, textWidth(lines[0]));
    EXPECT_GE(bottom - top + 1, 2 * lineHeight() - 1);
  }
}

TEST(Overlay, PathInsideHasBothDotsJoinedByALine) {
  Sheet sheet(64, 48, GREY);
  drawPath(sheet.canvas(), {{10.5, 10.5}, {50.5, 30.5}});
  const std::vector<bool> path = whiteRegion(sheet, 10, 10);
  EXPECT_TRUE(path[30 * 64 + 50]);
  EXPECT_TRUE(sheet.white(10, 12) && sheet.white(50, 28));  // off the line: the dots
  EXPECT_TRUE(sheet.dark(10, 13) && sheet.dark(30, 21));    // the black edges
}

// Paths from (20.5, 20.5): the last segment, or one from -DBL_MAX to DBL_MAX (whose length
// overflows a double) crossing the canvas, reaches the given column or row.
TEST(Overlay, SegmentToAFarPointReachesTheEdge) {
  struct Case {
    std::vector<PixelPoint> far;
    int edgeX, edgeY;  // -1: any
  } const cases[] = {{{{1e30, 5e29}}, 63, -1},
                     {{{-1e300, 3e299}}, 0, -1},
                     {{{7, DBL_MAX}}, -1, 47},
                     {{{-DBL_MAX, -DBL_MAX}}, 0, 0},
                     {{{-DBL_MAX, 0.5}, {DBL_MAX, 40.5}}, 63, 20}};
  for (const Case& c : cases) {
    Sheet sheet(64, 48, GREY);
    std::vector<PixelPoint> points{{20.5, 20.5}};
    points.insert(points.end(), c.far.begin(), c.far.end());
    drawPath(sheet.canvas(), points);
    const std::vector<bool> path = whiteRegion(sheet, 20, 20);
    bool reached = false;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x)
        reached |= path[std::size_t(y * 64 + x)] && (c.edgeX < 0 || x == c.edgeX) &&
                   (c.edgeY < 0 || y == c.edgeY);
    EXPECT_TRUE(reached) << c.far.back().x << ", " << c.far.back().y;
  }
}

TEST(Overlay, SegmentWhollyOutsideChangesNothing) {
  const std::vector<PixelPoint> outside[] = {{{-10, -10}, {-10, 100}},
                                             {{-1e30, -5}, {1e30, -5}},
                                             {{-20, 10}, {10, -20}},
                                             {{DBL_MAX, 0}, {DBL_MAX, DBL_MAX}},
                                             {{-DBL_MAX, DBL_MAX}, {DBL_MAX, DBL_MAX}}};
  for (const std::vector<PixelPoint>& points : outside) {
    Sheet sheet(40, 30, GREY);
    drawPath(sheet.canvas(), points);
    EXPECT_EQ(sheet.rgb, Sheet(40, 30, GREY).rgb) << points[0].x << ", " << points[0].y;
  }
}

TEST(Overlay, NonFinitePointEndsThePath) {
  const PixelPoint a{5.5, 5.5}, b{30.5, 20.5}, c{5.5, 25.5};
  const std::vector<PixelPoint> cut[][2] = {{{a, {NOT_A_NUMBER, 3}, b}, {a}},
                                            {{a, b, {INFINITY, 3}, c}, {a, b}},
                                            {{{NOT_A_NUMBER, NOT_A_NUMBER}, a, b}, {}},
                                            {{a, {3, -INFINITY}, b, c}, {a}}};
  for (const auto& [withEnd, prefix] : cut) {
    Sheet drawn(40, 30, GREY), expected(40, 30, GREY);
    drawPath(drawn.canvas(), withEnd);
    drawPath(expected.canvas(), prefix);
    EXPECT_EQ(drawn.rgb, expected.rgb) << withEnd.size() << " points";
  }
}

TEST(Overlay, RingShowsOnTheBasinOfItsOwnColour) {
  for (Colour8 colour : {YELLOW, WHITE, Colour8{0, 0, 128}, Colour8{0, 0, 0}, Colour8{255, 0, 0}}) {
    Sheet sheet(20, 20, colour);
    drawRing(sheet.canvas(), {10, 10}, colour);
    EXPECT_NE(sheet.rgb, Sheet(20, 20, colour).rgb)
        << int(colour.red) << " " << int(colour.green) << " " << int(colour.blue);
  }
}

TEST(Font, EveryPrintableCharacterHasItsOwnGlyph) {
  std::set<std::vector<std::uint8_t>> seen;
  for (int code = 32; code <= 126; ++code) {
    const std::uint8_t* rows = glyphRows(char(code));
    const std::vector<std::uint8_t> glyph(rows, rows + GLYPH_HEIGHT);
    EXPECT_EQ(glyph == std::vector<std::uint8_t>(GLYPH_HEIGHT), code == ' ') << char(code);
    EXPECT_TRUE(seen.insert(glyph).second) << char(code) << " repeats a glyph";
  }
  for (char other : {'\0', '\n', '\x7f', '\x80', '\xff'})
    EXPECT_EQ(glyphRows(other), glyphRows('?'));
}

// The run a probe shows is the scalar solver's, step for step; its end is
// told by kind; the help lists every key and gesture the viewer reads.
TEST(Cockpit, ProbesAreTheSolversRunsAndTheHelpListsEveryEntry) {
  Basin basin(QUADBASIN);
  setup(basin);
  const struct {
    Pointer at;
    RunEnd end;
  } samples[] = {{Pointer{230, 240}, RunEnd::Root},
                 {Pointer{600, 100}, RunEnd::Root},
                 {Pointer{600, 600}, RunEnd::NoConvergence},        // on re = -im
                 {Pointer{399, 399}, RunEnd::DerivativeVanished}};  // next to 0
  for (const auto& s : samples) {
    const SampleProbe probe = probeSample(basin, s.at, true);
    const Outcome run = solve(basin.solver, Complex{float(probe.sample.x), float(probe.sample.y)});
    EXPECT_EQ(probe.end, s.end) << s.at.x;
    EXPECT_EQ(probe.its, run.its);
    ASSERT_FALSE(probe.path.empty());
    EXPECT_EQ(probe.path.size(), std::size_t(std::min(run.its, MAXITS)));
    if (s.end == RunEnd::Root) {
      EXPECT_EQ(probe.path.back().x, double(run.end.re));
      EXPECT_EQ(probe.path.back().y, double(run.end.im));
    }
  }

  std::string help;
  for (const std::string& line : helpLines()) help += line + "\n";
  for (std::size_t i = 0; i < KEY_COUNT; ++i)
    EXPECT_NE(help.find(std::string("  ") + KEYS[i].label + " "), std::string::npos)
        << KEYS[i].label;
  for (std::size_t i = 0; i < MOUSE_COUNT; ++i)
    EXPECT_NE(help.find(MOUSE[i].gesture), std::string::npos) << MOUSE[i].gesture;
}

}  // namespace
}  // namespace basin
