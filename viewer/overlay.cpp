// The drawing of viewer/overlay.h: a panel darkens a box and sets glyphs in it; a path clips
// each segment in double to the canvas and a small border, then walks the pixels between the
// clipped ends with Bresenham's algorithm; dots and rings test each pixel of a small square by
// its centre's distance. Every pixel goes through one bounds-checked write.
#include "viewer/overlay.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "viewer/font.h"

namespace basin {
namespace {

constexpr Colour8 WHITE{255, 255, 255};
constexpr Colour8 BLACK{0, 0, 0};

constexpr int PANEL_PADDING = 3;  // band beyond the text on each side
constexpr int PANEL_MARGIN = 4;   // canvas edge to band
constexpr int BAND_SHIFT = 2;     // the band keeps a quarter of what lies under it

// How far outside the canvas a path's pixel may lie and still matter: a line's black edge is
// one pixel wide, so a line one pixel outside still edges the canvas's outer row.
constexpr double PATH_REACH = 2;

// A path's dots and the rings, as squared distances of a pixel's centre from theirs.
constexpr double DOT_WHITE2 = 2.5 * 2.5;
constexpr double DOT_EDGE2 = 3.5 * 3.5;
constexpr int DOT_REACH = 4;
constexpr double RING_INNER_EDGE2 = 3.0 * 3.0;
constexpr double RING_INNER2 = 4.0 * 4.0;
constexpr double RING_OUTER2 = 6.0 * 6.0;
constexpr double RING_OUTER_EDGE2 = 7.0 * 7.0;
constexpr int RING_REACH = 7;

bool usable(const Canvas& canvas) {
  return canvas.rgb != nullptr && canvas.width > 0 && canvas.height > 0;
}

std::uint8_t* pixelAt(const Canvas& canvas, std::int64_t x, std::int64_t y) {
  return canvas.rgb + 3 * (std::size_t(y) * std::size_t(canvas.width) + std::size_t(x));
}

bool inside(const Canvas& canvas, std::int64_t x, std::int64_t y) {
  return x >= 0 && y >= 0 && x < canvas.width && y < canvas.height;
}

// The one place a colour reaches the canvas; a pixel outside it is skipped.
void put(const Canvas& canvas, std::int64_t x, std::int64_t y, Colour8 colour) {
  if (!inside(canvas, x, y)) return;
  std::uint8_t* pixel = pixelAt(canvas, x, y);
  pixel[0] = colour.red;
  pixel[1] = colour.green;
  pixel[2] = colour.blue;
}

// 64-bit sizes, so that a panel of absurdly long lines cannot overflow.
std::int64_t spanOf(std::size_t characters) {
  if (characters == 0) return 0;
  const std::int64_t capped = std::int64_t(std::min<std::size_t>(characters, INT_MAX));
  return capped * CELL_WIDTH - (CELL_WIDTH - GLYPH_WIDTH);
}

// Pixels [left, right) x [top, bottom).
struct Box {
  std::int64_t left, top, right, bottom;
};

Box clippedTo(const Canvas& canvas, Box box) {
  return Box{std::max(box.left, std::int64_t{0}), std::max(box.top, std::int64_t{0}),
             std::min(box.right, std::int64_t{canvas.width}),
             std::min(box.bottom, std::int64_t{canvas.height})};
}

void darken(const Canvas& canvas, Box box) {
  const Box visible = clippedTo(canvas, box);
  for (std::int64_t y = visible.top; y < visible.bottom; ++y)
    for (std::int64_t x = visible.left; x < visible.right; ++x) {
      std::uint8_t* pixel = pixelAt(canvas, x, y);
      for (int c = 0; c < 3; ++c) pixel[c] = std::uint8_t(pixel[c] >> BAND_SHIFT);
    }
}

void drawGlyph(const Canvas& canvas, char c, std::int64_t left, std::int64_t top) {
  const std::uint8_t* rows = glyphRows(c);
  for (int row = 0; row < GLYPH_HEIGHT; ++row)
    for (int column = 0; column < GLYPH_WIDTH; ++column)
      if (rows[row] >> (GLYPH_WIDTH - 1 - column) & 1) put(canvas, left + column, top + row, WHITE);
}

// Only the characters whose cells meet the canvas are drawn, so a long line costs no more
// than the canvas is wide.
void drawText(const Canvas& canvas, const std::string& line, std::int64_t left, std::int64_t top) {
  if (top + GLYPH_HEIGHT <= 0 || top >= canvas.height) return;
  const std::int64_t length = std::int64_t(line.size());
  const std::int64_t first = left < 0 ? -left / CELL_WIDTH : 0;
  const std::int64_t last = std::min(length, (canvas.width - left) / CELL_WIDTH + 1);
  for (std::int64_t k = first; k < last; ++k)
    drawGlyph(canvas, line[std::size_t(k)], left + k * CELL_WIDTH, top);
}

// The band's top left corner for a band of the given size.
void placeBand(const Canvas& canvas, Corner corner, std::int64_t width, std::int64_t height,
               std::int64_t* left, std::int64_t* top) {
  const std::int64_t right = canvas.width - PANEL_MARGIN - width;
  const std::int64_t bottom = canvas.height - PANEL_MARGIN - height;
  switch (corner) {
    case Corner::TopLeft:
      *left = PANEL_MARGIN, *top = PANEL_MARGIN;
      return;
    case Corner::TopRight:
      *left = right, *top = PANEL_MARGIN;
      return;
    case Corner::BottomLeft:
      *left = PANEL_MARGIN, *top = bottom;
      return;
    case Corner::BottomRight:
      *left = right, *top = bottom;
      return;
    case Corner::Centre:
      *left = (canvas.width - width) / 2, *top = (canvas.height - height) / 2;
      return;
  }
}

// A segment's ends as pixel indices, each within PATH_REACH of the canvas.
struct Segment {
  int x0, y0, x1, y1;
};

// The box a path's segments are clipped to, in halved pixel coordinates: halving is exact, and
// the difference of two halved finite doubles cannot overflow.
struct HalfBox {
  double left, top, right, bottom;
};

enum Side : int { LEFT_SIDE = 1, RIGHT_SIDE = 2, TOP_SIDE = 4, BOTTOM_SIDE = 8 };

// The sides of `box` that p lies beyond, one bit each.
int sidesBeyond(PixelPoint p, const HalfBox& box) {
  return (p.x < box.left ? LEFT_SIDE : 0) | (p.x > box.right ? RIGHT_SIDE : 0) |
         (p.y < box.top ? TOP_SIDE : 0) | (p.y > box.bottom ? BOTTOM_SIDE : 0);
}

// Moves `end` along the line to `other` onto the edge of a side it lies beyond, `other` lying
// on the inner side of that edge. The move is measured from `other`, the end nearer the
// canvas, so that a point far away costs no precision where the line crosses the canvas; and
// the coordinate that reaches the edge is set to it exactly.
void moveOntoEdge(PixelPoint& end, PixelPoint other, int sides, const HalfBox& box) {
  if (sides & (LEFT_SIDE | RIGHT_SIDE)) {
    const double edge = sides & LEFT_SIDE ? box.left : box.right;
    end.y = other.y + (end.y - other.y) * ((edge - other.x) / (end.x - other.x));
    end.x = edge;
  } else {
    const double edge = sides & TOP_SIDE ? box.top : box.bottom;
    end.x = other.x + (end.x - other.x) * ((edge - other.y) / (end.y - other.y));
    end.y = edge;
  }
}

int pixelIndex(double half, double lowest, double highest) {
  return int(std::floor(std::clamp(2 * half, 2 * lowest, 2 * highest)));
}

// The part of a-b (both finite) within PATH_REACH of the canvas, by Cohen and Sutherland's
// clipping: an end beyond a side is moved onto its edge until both ends lie in the box, or
// both beyond one side. Exact arithmetic needs at most four moves; rounding can need another
// or two, and the ends are clamped to the box after the last.
bool clipSegment(const Canvas& canvas, PixelPoint a, PixelPoint b, Segment* segment) {
  constexpr int MOST_MOVES = 8;
  const HalfBox box{-0.5 * PATH_REACH, -0.5 * PATH_REACH, 0.5 * (canvas.width + PATH_REACH),
                    0.5 * (canvas.height + PATH_REACH)};
  PixelPoint ends[2] = {{0.5 * a.x, 0.5 * a.y}, {0.5 * b.x, 0.5 * b.y}};
  for (int move = 0; move < MOST_MOVES; ++move) {
    const int sides[2] = {sidesBeyond(ends[0], box), sidesBeyond(ends[1], box)};
    if (sides[0] & sides[1]) return false;
    if ((sides[0] | sides[1]) == 0) break;
    const int k = sides[0] != 0 ? 0 : 1;
    moveOntoEdge(ends[k], ends[1 - k], sides[k], box);
  }
  segment->x0 = pixelIndex(ends[0].x, box.left, box.right);
  segment->y0 = pixelIndex(ends[0].y, box.top, box.bottom);
  segment->x1 = pixelIndex(ends[1].x, box.left, box.right);
  segment->y1 = pixelIndex(ends[1].y, box.top, box.bottom);
  return true;
}

// Bresenham's walk from one end to the other, each pixel once, 8-connected.
template <class Plot>
void walk(Segment s, Plot&& plot) {
  const int dx = std::abs(s.x1 - s.x0), stepX = s.x0 < s.x1 ? 1 : -1;
  const int dy = -std::abs(s.y1 - s.y0), stepY = s.y0 < s.y1 ? 1 : -1;
  int error = dx + dy;
  for (;;) {
    plot(s.x0, s.y0);
    if (s.x0 == s.x1 && s.y0 == s.y1) return;
    const int twice = 2 * error;
    if (twice >= dy) error += dy, s.x0 += stepX;
    if (twice <= dx) error += dx, s.y0 += stepY;
  }
}

// The points before the first non-finite one.
std::size_t finitePrefix(const std::vector<PixelPoint>& points) {
  std::size_t count = 0;
  while (count < points.size() && std::isfinite(points[count].x) && std::isfinite(points[count].y))
    ++count;
  return count;
}

// A path is drawn in two layers, every black edge (of lines and dots) before any white, so that
// no edge cuts a line where it crosses another segment or meets a dot.
enum class Layer { Edge, White };

void drawLines(const Canvas& canvas, const std::vector<PixelPoint>& points, std::size_t count,
               Layer layer) {
  for (std::size_t k = 1; k < count; ++k) {
    Segment segment;
    if (!clipSegment(canvas, points[k - 1], points[k], &segment)) continue;
    if (layer == Layer::Edge)
      walk(segment, [&](int x, int y) {
        for (int v = -1; v <= 1; ++v)
          for (int u = -1; u <= 1; ++u) put(canvas, x + u, y + v, BLACK);
      });
    else
      walk(segment, [&](int x, int y) { put(canvas, x, y, WHITE); });
  }
}

// Colours by the squared distance of each pixel's centre from `at` (inside or near the
// canvas), out to `reach` pixels; `colourAt` gives the colour, or false for none.
template <class ColourAt>
void shadeAround(const Canvas& canvas, PixelPoint at, int reach, ColourAt&& colourAt) {
  const auto cx = std::int64_t(std::floor(at.x)), cy = std::int64_t(std::floor(at.y));
  for (std::int64_t y = cy - reach; y <= cy + reach; ++y)
    for (std::int64_t x = cx - reach; x <= cx + reach; ++x) {
      const double u = double(x) + 0.5 - at.x, v = double(y) + 0.5 - at.y;
      Colour8 colour;
      if (colourAt(u * u + v * v, &colour)) put(canvas, x, y, colour);
    }
}

bool withinReach(const Canvas& canvas, PixelPoint at, double reach) {
  return at.x >= -reach && at.y >= -reach && at.x <= canvas.width + reach &&
         at.y <= canvas.height + reach;
}

void drawDots(const Canvas& canvas, const std::vector<PixelPoint>& points, std::size_t count,
              Layer layer) {
  const double radius2 = layer == Layer::Edge ? DOT_EDGE2 : DOT_WHITE2;
  const Colour8 colour = layer == Layer::Edge ? BLACK : WHITE;
  for (std::size_t k = 0; k < count; ++k) {
    const PixelPoint& at = points[k];
    if (at.x < 0 || at.y < 0 || at.x >= canvas.width || at.y >= canvas.height) continue;
    shadeAround(canvas, at, DOT_REACH, [&](double distance2, Colour8* shade) {
      *shade = colour;
      return distance2 <= radius2;
    });
  }
}

// Black on light colours, white on dark ones, by the colour's luma (Rec. 601 weights).
Colour8 contrasting(Colour8 colour) {
  const int luma = 299 * colour.red + 587 * colour.green + 114 * colour.blue;
  return luma >= 1000 * 255 / 2 ? BLACK : WHITE;
}

}  // namespace

int textWidth(const std::string& line) {
  return int(std::min<std::int64_t>(spanOf(line.size()), INT_MAX));
}

int lineHeight() { return CELL_HEIGHT; }

void drawPanel(Canvas canvas, const std::vector<std::string>& lines, Corner corner) {
  if (!usable(canvas) || lines.empty()) return;
  std::int64_t widest = 0;
  for (const std::string& line : lines) widest = std::max(widest, spanOf(line.size()));
  const std::int64_t count = std::int64_t(std::min<std::size_t>(lines.size(), INT_MAX));
  const std::int64_t width = widest + 2 * PANEL_PADDING;
  const std::int64_t height =
      count * CELL_HEIGHT - (CELL_HEIGHT - GLYPH_HEIGHT) + 2 * PANEL_PADDING;
  std::int64_t left = 0, top = 0;
  placeBand(canvas, corner, width, height, &left, &top);
  darken(canvas, Box{left, top, left + width, top + height});
  const std::int64_t textTop = top + PANEL_PADDING;
  const std::int64_t first = std::max(std::int64_t{0}, -textTop / CELL_HEIGHT);
  const std::int64_t last = std::min(count, (canvas.height - textTop) / CELL_HEIGHT + 1);
  for (std::int64_t k = first; k < last; ++k)
    drawText(canvas, lines[std::size_t(k)], left + PANEL_PADDING, textTop + k * CELL_HEIGHT);
}

void drawPath(Canvas canvas, const std::vector<PixelPoint>& points) {
  if (!usable(canvas)) return;
  const std::size_t count = finitePrefix(points);
  for (Layer layer : {Layer::Edge, Layer::White}) {
    drawLines(canvas, points, count, layer);
    drawDots(canvas, points, count, layer);
  }
}

void drawRing(Canvas canvas, PixelPoint at, Colour8 colour) {
  if (!usable(canvas) || !std::isfinite(at.x) || !std::isfinite(at.y)) return;
  if (!withinReach(canvas, at, RING_REACH + 1)) return;
  const Colour8 edge = contrasting(colour);
  shadeAround(canvas, at, RING_REACH, [&](double distance2, Colour8* shade) {
    *shade = distance2 >= RING_INNER2 && distance2 <= RING_OUTER2 ? colour : edge;
    return distance2 >= RING_INNER_EDGE2 && distance2 <= RING_OUTER_EDGE2;
  });
}

}  // namespace basin
