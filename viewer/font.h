// The overlay's font: a hand-drawn bitmap for every printable ASCII character, drawn into
// pictures in memory by viewer/overlay.h, so that a headless build needs no font files.
//
// A glyph is GLYPH_WIDTH columns by GLYPH_HEIGHT rows: capitals and digits fill the top 7 rows,
// lower case letters start 2 rows lower, and the last 2 rows hold descenders (g, j, p, q, y, the
// comma and the underscore). Text sets glyphs in cells of CELL_WIDTH x CELL_HEIGHT pixels, the
// spare column and row keeping neighbouring characters and lines apart.
//
// glyphRows(c): the GLYPH_HEIGHT rows of c's glyph, top first, each row's leftmost column in bit
// GLYPH_WIDTH - 1 and its rightmost in bit 0. Any byte outside 32 ... 126 gives the glyph of '?'.
// The rows live as long as the program.
#pragma once

#include <cstdint>

namespace basin {

constexpr int GLYPH_WIDTH = 5;
constexpr int GLYPH_HEIGHT = 9;
constexpr int CELL_WIDTH = GLYPH_WIDTH + 1;
constexpr int CELL_HEIGHT = GLYPH_HEIGHT + 1;

const std::uint8_t* glyphRows(char c);

}  // namespace basin
