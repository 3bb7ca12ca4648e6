// The compressed image data of an 8-bit RGB PNG, made for pictures of large
// flat areas.
//
// deflateRows compresses `count` rows of 8-bit RGB pixels, `width` of them
// a row, the first at `rows` and each next `stride` bytes on, as PNG
// scanlines (each row after its filter byte, 0: no filter) into a piece of
// a raw deflate stream:
// - the pieces of consecutive row ranges, the last made with `last` set,
//   joined in order are one raw deflate stream whose inflated bytes are the
//   picture's scanlines; each piece but the last ends on a byte boundary;
// - piece.adler is the Adler-32 of the piece's inflated bytes (from 1) and
//   piece.length their number, so that the whole stream's checksum follows
//   from the pieces' (adler32_combine);
// - a piece depends only on its rows: the same whichever thread makes it,
//   so any number of threads makes the same stream;
// - `scratch` is room one thread reuses from piece to piece.
//
// Each piece is one block of Huffman codes made for it: a pixel that
// repeats the one to its left extends a copy of the bytes three back, the
// rest are literals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace basin {

struct DeflatePiece {
  std::vector<std::uint8_t> bytes;
  std::uint32_t adler = 1;
  std::uint64_t length = 0;
};

// Room left uninitialised, so that only the part a piece uses is ever
// touched: most of it is sized for the worst case.
template <class T>
struct Room {
  std::unique_ptr<T[]> data;
  std::size_t size = 0;

  T* atLeast(std::size_t n) {
    if (size < n) data.reset(new T[size = n]);
    return data.get();
  }
};

struct DeflateScratch {
  Room<std::uint16_t> tokens;
};

void deflateRows(const std::uint8_t* rows, std::size_t stride, int width, int count, bool last,
                 DeflateScratch& scratch, DeflatePiece& piece);

}  // namespace basin
