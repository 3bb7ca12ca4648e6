// A frame drawn into memory: one 8-bit RGB cell per sample, the sample of
// column i, row j (from 1) in cell (i - 1, j - 1), colours converted to 8
// bits the way the screen's GL converts them.
#pragma once

#include <cstdint>
#include <vector>

#include "viewer/frame.h"

namespace basin {

struct Picture {
  int size = 0;
  std::vector<std::uint8_t> rgb;  // row-major, 3 bytes a cell, top row first

  std::uint8_t* at(int x, int y) { return &rgb[3 * (std::size_t(y) * size + x)]; }
  const std::uint8_t* at(int x, int y) const { return &rgb[3 * (std::size_t(y) * size + x)]; }
};

// A colour component in 0 ... 1 as an 8-bit channel value.
std::uint8_t channel(float component);

// A black picture of size x size cells.
Picture blankPicture(int size);

// Stores a sample's colour in its cell.
void paintCell(Picture* picture, const Sample& sample);

// Renders the current window of `basin` into `picture` (resized to size),
// advancing the registry exactly as the viewer's frame does; rowDone(rows)
// after each row, with the number of rows of the picture finished so far.
template <class RowDone>
void renderPicture(Basin& basin, int size, Picture* picture, RowDone&& rowDone) {
  if (picture->size != size) *picture = blankPicture(size);
  renderFrame(
      basin, size, [picture](const Sample& s) { paintCell(picture, s); }, rowDone);
}

inline void renderPicture(Basin& basin, int size, Picture* picture) {
  renderPicture(basin, size, picture, [](int) {});
}

}  // namespace basin
