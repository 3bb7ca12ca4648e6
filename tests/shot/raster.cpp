#include "tests/shot/raster.h"

#include <png.h>

#include <cstring>

namespace basin {

Raster readPng(const std::string& path) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  Raster r;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return r;
  image.format = PNG_FORMAT_RGB;
  r.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, r.rgb.data(), 0, nullptr)) return Raster{};
  r.width = int(image.width);
  r.height = int(image.height);
  return r;
}

}  // namespace basin
