// An 8-bit RGB image as the PNG writers read it: `height` rows of `width`
// pixels, three bytes a pixel, the top row at `rgb` and each next row
// `stride` bytes on.
#pragma once

#include <cstddef>
#include <cstdint>

namespace basin {

struct ImageRows {
  const std::uint8_t* rgb = nullptr;
  int width = 0;
  int height = 0;
  std::size_t stride = 0;

  const std::uint8_t* row(int y) const { return rgb + std::size_t(y) * stride; }
};

}  // namespace basin
