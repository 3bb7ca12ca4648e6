#include "tests/support/pictures.h"

#include <png.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace support {
namespace {

std::uint32_t big32(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | std::uint8_t(bytes[at + i]);
  return v;
}

// A channel value from a pixel and its mask (the mask's bits, shifted down
// and scaled to 8 bits).
std::uint8_t component(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  const std::uint32_t max = mask >> shift;
  return std::uint8_t(((pixel & mask) >> shift) * 255 / max);
}

}  // namespace

basin::Picture readPng(const std::string& path) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return basin::Picture{};
  image.format = PNG_FORMAT_RGB;
  basin::Picture picture = basin::blankPicture(int(image.width), int(image.height));
  if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr))
    return basin::Picture{};
  return picture;
}

// Reads an xwd window dump: a big-endian header of 25 words and the window
// name, the colour map (12 bytes an entry), then the pixel rows. Handles the
// true-colour ZPixmaps of a 24-bit screen, 24 or 32 bits a pixel.
basin::Picture readXwd(const std::string& bytes) {
  if (bytes.size() < 100) throw std::runtime_error("xwd dump too short");
  std::uint32_t h[25];
  for (int i = 0; i < 25; ++i) h[i] = big32(bytes, 4 * std::size_t(i));
  const std::uint32_t headerSize = h[0], format = h[2], width = h[4], height = h[5];
  const std::uint32_t byteOrder = h[7], bitsPerPixel = h[11], bytesPerLine = h[12];
  const std::uint32_t red = h[14], green = h[15], blue = h[16], colours = h[19];
  if (format != 2 || (bitsPerPixel != 32 && bitsPerPixel != 24))
    throw std::runtime_error("xwd dump is not a 24/32-bit ZPixmap");
  const std::size_t start = headerSize + 12 * std::size_t(colours);
  if (bytes.size() < start + std::size_t(bytesPerLine) * height)
    throw std::runtime_error("xwd dump truncated");
  basin::Picture picture = basin::blankPicture(int(width), int(height));
  const int bytesPerPixel = int(bitsPerPixel / 8);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::size_t at = start + std::size_t(y) * bytesPerLine + std::size_t(x) * bytesPerPixel;
      std::uint32_t pixel = 0;
      for (int b = 0; b < bytesPerPixel; ++b) {
        const std::uint32_t byte = std::uint8_t(bytes[at + b]);
        pixel |= byteOrder == 0 ? byte << (8 * b) : byte << (8 * (bytesPerPixel - 1 - b));
      }
      std::uint8_t* cell = picture.at(int(x), int(y));
      cell[0] = component(pixel, red);
      cell[1] = component(pixel, green);
      cell[2] = component(pixel, blue);
    }
  }
  return picture;
}

}  // namespace support
