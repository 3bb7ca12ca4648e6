// Pictures read back for comparison: PNG files and window captures, as the
// programs' own 8-bit picture type.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "viewer/picture.h"

namespace support {

// Reads an 8-bit RGB PNG file; an empty picture when it cannot.
basin::Picture readPng(const std::string& path);

// Reads an xwd window dump of a 24-bit screen, of the window's size.
basin::Picture readXwd(const std::string& bytes);

// Whether two pixels (three channels each) are equal.
inline bool samePixel(const std::uint8_t* a, const std::uint8_t* b) {
  return a[0] == b[0] && a[1] == b[1] && a[2] == b[2];
}

// Where two pictures of one size differ, as (x, y).
inline std::vector<std::pair<int, int>> differences(const basin::Picture& a,
                                                    const basin::Picture& b) {
  std::vector<std::pair<int, int>> out;
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.width; ++x)
      if (!samePixel(a.at(x, y), b.at(x, y))) out.emplace_back(x, y);
  return out;
}

// Whether two pictures are of one size and the same in every pixel.
inline bool samePicture(const basin::Picture& a, const basin::Picture& b) {
  return a.width == b.width && a.height == b.height && a.rgb == b.rgb;
}

inline bool allBlack(const basin::Picture& picture) {
  for (const std::uint8_t v : picture.rgb)
    if (v != 0) return false;
  return true;
}

// Which of the palette's first colours a pixel shows, whatever its shade:
// "black", "red", "green", "yellow", "blue", or "other".
inline std::string hue(const std::uint8_t* c) {
  const char* const names[] = {"black", "red",   "green", "yellow",
                               "blue",  "other", "other", "other"};
  return names[(c[0] > 0) + 2 * (c[1] > 0) + 4 * (c[2] > 0)];
}

}  // namespace support
