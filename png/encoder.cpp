#include "png/encoder.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include "png/compressed_rows.h"

namespace basin {
namespace {

// The zlib stream's two header bytes (deflate, 32 KiB window, fastest) and
// its trailer: the Adler-32 of all pieces' input, most significant byte first.
const unsigned char ZLIB_HEADER[2] = {0x78, 0x01};

void adlerTrailer(const std::vector<DeflatePiece>& pieces, unsigned char trailer[4]) {
  uLong adler = 1;
  for (const DeflatePiece& piece : pieces)
    adler = adler32_combine(adler, piece.adler, z_off_t(piece.length));
  for (int i = 0; i < 4; ++i) trailer[i] = (unsigned char)(adler >> (24 - 8 * i));
}

// libpng's reason for the failure at hand. Its own handlers would print it
// on stderr; the program says why it failed in one line of its own.
char encoderMessage[128];

[[noreturn]] void encoderFailed(png_structp png, png_const_charp message) {
  std::snprintf(encoderMessage, sizeof encoderMessage, "%s", message);
  png_longjmp(png, 1);
}

void encoderWarned(png_structp, png_const_charp) {}

// Bytes an IDAT chunk holds at most here: a stream of any length goes out
// in several.
constexpr std::size_t IDAT_BYTES = 1 << 16;

void writeIdat(png_structp png, const unsigned char* data, std::size_t length) {
  static const png_byte IDAT[5] = {'I', 'D', 'A', 'T', '\0'};
  for (std::size_t at = 0; at < length; at += IDAT_BYTES)
    png_write_chunk(png, IDAT, data + at, std::min(IDAT_BYTES, length - at));
}

// Writes the PNG of a `width` x `height` RGB image whose zlib stream is
// the header, `pieces` and `trailer` to `file`: libpng writes the signature
// and the chunks with their checksums. False with libpng's reason in `why`
// on failure. Plain C data only between setjmp and its longjmp.
bool encodePng(png_uint_32 width, png_uint_32 height, const DeflatePiece* pieces, std::size_t count,
               const unsigned char trailer[4], FILE* file, const char** why) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, encoderFailed, encoderWarned);
  if (png == nullptr) {
    *why = "out of memory";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    *why = encoderMessage;
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_write_info(png, info);
  writeIdat(png, ZLIB_HEADER, sizeof ZLIB_HEADER);
  for (std::size_t i = 0; i < count; ++i)
    writeIdat(png, pieces[i].bytes.data(), pieces[i].bytes.size());
  writeIdat(png, trailer, 4);
  static const png_byte IEND[5] = {'I', 'E', 'N', 'D', '\0'};
  png_write_chunk(png, IEND, nullptr, 0);
  png_destroy_write_struct(&png, &info);
  return true;
}

// A write struct and its info, both given back whatever happens.
struct Writer {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, encoderFailed, encoderWarned);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  ~Writer() { png_destroy_write_struct(&png, &info); }
};

// libpng's own way, the rows compressed by zlib at its fastest.
bool encodePlain(const ImageRows& image, FILE* file, const char** why) {
  Writer w;
  if (w.info == nullptr) {
    *why = "out of memory";
    return false;
  }
  std::vector<png_bytep> rows(std::size_t(image.height));
  for (int y = 0; y < image.height; ++y) rows[std::size_t(y)] = const_cast<png_bytep>(image.row(y));
  if (setjmp(png_jmpbuf(w.png))) {
    *why = encoderMessage;
    return false;
  }
  png_init_io(w.png, file);
  png_set_IHDR(w.png, w.info, png_uint_32(image.width), png_uint_32(image.height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE,
               PNG_FILTER_TYPE_BASE);
  png_set_compression_level(w.png, Z_BEST_SPEED);
  png_write_info(w.png, w.info);
  png_write_image(w.png, rows.data());
  png_write_end(w.png, nullptr);
  return true;
}

// The reason for a failed encoding: the system's, if it gave one.
std::string failure(const char* encoderWhy) {
  return errno != 0 ? std::strerror(errno) : encoderWhy;
}

class FastEncoder final : public PngEncoder {
 public:
  void rowsFinished(const ImageRows& image, int rows) override {
    compressed_.rowsFinished(image, rows);
  }

  std::string write(const ImageRows& image, std::FILE* file, TaskRunner& tasks) override {
    const bool complete = compressed_.complete(image, tasks);
    tasks.windDown();  // the threads end while the file is written
    if (!complete) return "not enough memory to compress the picture";
    const std::vector<DeflatePiece>& pieces = compressed_.pieces();
    unsigned char trailer[4];
    adlerTrailer(pieces, trailer);
    errno = 0;
    const char* why = nullptr;
    if (!encodePng(png_uint_32(image.width), png_uint_32(image.height), pieces.data(),
                   pieces.size(), trailer, file, &why))
      return failure(why);
    return "";
  }

 private:
  CompressedRows compressed_;
};

class PlainEncoder final : public PngEncoder {
 public:
  void rowsFinished(const ImageRows&, int) override {}

  std::string write(const ImageRows& image, std::FILE* file, TaskRunner& tasks) override {
    tasks.windDown();
    errno = 0;
    const char* why = nullptr;
    return encodePlain(image, file, &why) ? "" : failure(why);
  }
};

}  // namespace

std::unique_ptr<PngEncoder> pngEncoder(bool plain) {
  if (plain) return std::make_unique<PlainEncoder>();
  return std::make_unique<FastEncoder>();
}

}  // namespace basin
