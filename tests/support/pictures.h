// Pictures read back for comparison: PNG files and window captures, as the
// programs' own 8-bit picture type.
#pragma once

#include <string>

#include "viewer/picture.h"

namespace support {

// Reads a square 8-bit RGB PNG file; an empty picture when it cannot.
basin::Picture readPng(const std::string& path);

// Reads an xwd window dump of a 24-bit screen. A window that is not square
// throws std::runtime_error unless `oblong`; it is then padded with black
// rows or columns to a square.
basin::Picture readXwd(const std::string& bytes, bool oblong);

}  // namespace support
