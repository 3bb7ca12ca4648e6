// Pictures read back for comparison: from PNG files and window captures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace basin {

// An RGB raster read from a window capture or a PNG file.
struct Raster {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // row-major, top row first

  const std::uint8_t* at(int x, int y) const { return &rgb[3 * (std::size_t(y) * width + x)]; }
};

// Reads an 8-bit RGB PNG file; an empty raster when it cannot.
Raster readPng(const std::string& path);

}  // namespace basin
