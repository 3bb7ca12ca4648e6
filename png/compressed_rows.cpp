#include "png/compressed_rows.h"

#include <algorithm>
#include <atomic>
#include <new>

namespace basin {
namespace {

constexpr int ROWS_PER_PIECE = 64;

int pieceCount(const ImageRows& image) {
  return (image.height + ROWS_PER_PIECE - 1) / ROWS_PER_PIECE;
}

void compressPiece(const ImageRows& image, int index, DeflateScratch& scratch,
                   DeflatePiece& piece) {
  const int first = index * ROWS_PER_PIECE;
  deflateRows(image.row(first), image.stride, image.width,
              std::min(ROWS_PER_PIECE, image.height - first), index == pieceCount(image) - 1,
              scratch, piece);
}

}  // namespace

void CompressedRows::belongTo(const ImageRows& image) {
  if (image.rgb == of_ && image.width == width_ && image.height == height_) return;
  of_ = image.rgb;
  width_ = image.width;
  height_ = image.height;
  made_ = 0;
  gaveUp_ = false;
  pieces_.clear();
}

void CompressedRows::rowsFinished(const ImageRows& image, int rows) {
  belongTo(image);
  if (gaveUp_) return;
  try {
    if (pieces_.empty()) pieces_.resize(std::size_t(pieceCount(image)));
    for (; made_ < int(pieces_.size()) &&
           std::min((made_ + 1) * ROWS_PER_PIECE, image.height) <= rows;
         ++made_)
      compressPiece(image, made_, scratch_, pieces_[std::size_t(made_)]);
  } catch (const std::bad_alloc&) {
    gaveUp_ = true;  // complete() makes the rest, or says there is no memory
  }
}

// The pieces not made yet are the tasks; each thread keeps room of its
// own, the calling thread the room the pieces made ahead already took.
bool CompressedRows::complete(const ImageRows& image, TaskRunner& tasks) {
  belongTo(image);
  const int count = pieceCount(image);
  std::vector<DeflateScratch> scratch;
  try {
    pieces_.resize(std::size_t(count));
    scratch.resize(std::size_t(tasks.threads()));
  } catch (const std::bad_alloc&) {
    return false;
  }
  std::swap(scratch[0], scratch_);
  std::atomic<bool> failed{false};
  tasks.forEach(count - made_, [&](int task, int slot) {
    const int index = made_ + task;
    try {
      if (!failed)
        compressPiece(image, index, scratch[std::size_t(slot)], pieces_[std::size_t(index)]);
    } catch (const std::bad_alloc&) {
      failed = true;  // on another thread it would end the process unexplained
    }
  });
  std::swap(scratch[0], scratch_);
  if (failed) return false;
  made_ = count;
  return true;
}

}  // namespace basin
