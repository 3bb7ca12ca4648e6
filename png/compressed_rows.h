// An image's rows compressed in pieces (png/deflate_flat.h), each piece a
// run of deflate blocks ended on a byte boundary, so that the pieces joined
// in order are one deflate stream, the same whichever thread made each.
// The pieces can be made while the image is still being drawn, so that
// little is left to compress once its last row is: each time more of its
// rows are final, rowsFinished compresses the whole pieces of rows among
// them on the calling thread. The pieces belong to the image they were made
// from (its pixels' storage and size); complete() takes them for that image
// and makes the rest, and starts over for any other.
#pragma once

#include <cstdint>
#include <vector>

#include "core/tasks.h"
#include "png/deflate_flat.h"
#include "png/image.h"

namespace basin {

class CompressedRows {
 public:
  // Rows [0, rows) of `image` are final: nothing changes them before it is
  // written. Out of memory, it stops and leaves the rest to complete().
  void rowsFinished(const ImageRows& image, int rows);

  // Makes every piece of `image` not made yet, as tasks on `tasks`; false
  // when there was not memory enough.
  bool complete(const ImageRows& image, TaskRunner& tasks);

  // The pieces joined in order are the image's deflate stream, once
  // complete.
  const std::vector<DeflatePiece>& pieces() const { return pieces_; }

 private:
  // Starts over, with no pieces made, unless the pieces are `image`'s.
  void belongTo(const ImageRows& image);

  std::vector<DeflatePiece> pieces_;
  int made_ = 0;  // pieces made, in order
  const std::uint8_t* of_ = nullptr;
  int width_ = 0, height_ = 0;
  bool gaveUp_ = false;
  DeflateScratch scratch_;
};

}  // namespace basin
