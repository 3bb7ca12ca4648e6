// Drawing over a picture in memory: the text panels, the path of a run's Newton iterates and the
// rings at the roots that the viewer shows over a frame and the PNG writer writes with it.
// Plain integer work on a byte buffer, with no GL and no font files, so that a headless build
// draws the same bytes as the window; every routine is deterministic and clips to the canvas,
// never touching a byte outside it, whatever the coordinates.
//
// textWidth(line): the pixels `line` spans in the overlay font (viewer/font.h), from the left
// of its first glyph to the right of its last; 0 for an empty line. lineHeight(): the distance
// between the tops of consecutive lines.
//
// drawPanel: `lines` in white on a band that darkens what lies under it to a quarter, so that
// white text reads on every colour, pure white and yellow included; the band reaches a few
// pixels past the text and sits a few pixels in from `corner` (or in the middle). Nothing for
// no lines. Text wider or taller than the canvas is cut off at its edges.
//
// drawPath: a white line with a one-pixel black edge through consecutive points, then a dot
// (white, black edge) at each point inside the canvas, so that the path shows on the bright
// saturated basin colours and on their dark shades alike. A segment that leaves the canvas is
// drawn up to the edge, one that stays outside draws nothing; the first non-finite point ends
// the path. Clipping is done in double before any coordinate becomes an int, so points like
// 1e30 or DBL_MAX cost no more than points inside.
//
// drawRing: a ring about 5 pixels in radius around `at` in `colour`, edged inside and out in
// black or white, whichever contrasts more with `colour`, so that it shows on the basin of its
// own colour. Nothing for a non-finite `at`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace basin {

// A picture's pixels to draw on: 3 bytes a pixel (R, G, B), rows top first, no padding. A null
// buffer or a size not above 0 is a canvas that takes nothing.
struct Canvas {
  std::uint8_t* rgb;
  int width;
  int height;
};

struct Colour8 {
  std::uint8_t red, green, blue;
};

int textWidth(const std::string& line);
int lineHeight();

enum class Corner { TopLeft, TopRight, BottomLeft, BottomRight, Centre };

void drawPanel(Canvas canvas, const std::vector<std::string>& lines, Corner corner);

// A point in pixel coordinates: x to the right, y down, the centre of pixel (i, j) at
// (i + 0.5, j + 0.5). Any double, however far outside the canvas.
struct PixelPoint {
  double x, y;
};

void drawPath(Canvas canvas, const std::vector<PixelPoint>& points);

void drawRing(Canvas canvas, PixelPoint at, Colour8 colour);

}  // namespace basin
