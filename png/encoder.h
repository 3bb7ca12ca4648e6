// How a picture becomes a PNG file, behind one interface with two ways:
// - the fast one (FastEncoder): the rows compressed in pieces by the
//   project's own deflate (png/deflate_flat.h), made for pictures of large
//   flat areas, on every thread and ahead while the picture is drawn;
//   libpng writes the chunks around them;
// - the plain one: libpng's own png_write_image, with zlib; the reference
//   the tests hold the fast one to (the same pixels decoded, not the same
//   bytes), and the way out should the fast one ever be in doubt
//   (BASIN_PLAIN=png, core/speed.h).
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "core/tasks.h"
#include "png/image.h"

namespace basin {

class PngEncoder {
 public:
  virtual ~PngEncoder() = default;
  // Rows [0, rows) of `image` are final: the fast way compresses them now.
  virtual void rowsFinished(const ImageRows& image, int rows) = 0;
  // Writes the whole PNG of `image` to `file`, sharing the work out over
  // `tasks` and then winding them down; "" or why not.
  virtual std::string write(const ImageRows& image, std::FILE* file, TaskRunner& tasks) = 0;
};

// The fast way, or, with `plain`, libpng's.
std::unique_ptr<PngEncoder> pngEncoder(bool plain);

}  // namespace basin
