// Where basinshot's picture goes, and how it fails.
//
// A target is settled before the picture is computed, so a target that
// cannot be written is reported at once:
// - "-" is standard output, and /dev/stdout, /dev/stderr, /dev/fd/N and
//   /proc/self/fd/N are the process's own descriptors: each is written in
//   place, from where it stands, never reopened, truncated or replaced,
//   and refused when it is a terminal;
// - an existing target that is not a regular file (a device, a FIFO) is
//   opened and written in place, never renamed over or removed;
// - otherwise the regular file at the end of any chain of symbolic links is
//   created or replaced: the picture goes to an unnamed file in its folder
//   (O_TMPFILE), made only once the picture is computed and linked into
//   place when complete (renamed over the old file through a fresh name),
//   so no run, failed, interrupted or killed, leaves a partial file
//   behind. Where the file system has no unnamed files, a named temporary
//   file beside the target takes its place, removed on failure and on the
//   signals that end the process. A replaced file keeps its permission
//   bits (and its owner, where the process may set it); one the user may
//   not write is refused, as cp would refuse it, whatever its folder
//   allows.
//
// Every failure ends the program with one line on stderr and exit status 2.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tools/deflate_flat.h"
#include "viewer/picture.h"

namespace basin {

constexpr int FAILED = 2;

// Ends the program: "basinshot: MESSAGE" on stderr, on one line with its
// control characters escaped, and exit status FAILED.
[[noreturn]] void fail(const std::string& message);

struct Output {
  std::string name;  // as the user gave it, for messages
  int fd = -1;       // a target written in place, already open
  std::string path;  // otherwise the regular file to create or replace
  bool replaces = false;
  struct stat old {};  // the file being replaced, or the one written in place
};

// Settles the target named by -o, or fails.
Output openOutput(const std::string& name);

// Whether writing `output` would overwrite `input`, a file the program
// reads: the same regular file (device and inode).
bool overwrites(const Output& output, const struct stat& input);

// A picture's rows compressed while the frame is still being drawn, so
// that little is left to compress once its last row is: each time more of
// its rows are final, rowsFinished compresses the whole pieces of rows
// among them on the calling thread. The pieces belong to the picture they
// were made from (its pixels' storage and size); writeOutput takes them for
// that picture and makes the rest, and starts over for any other.
class CompressedRows {
 public:
  // Rows [0, rows) of `picture` are final: nothing changes them before it
  // is written. Out of memory, it stops and leaves the rest to writeOutput.
  void rowsFinished(const Picture& picture, int rows);

  // Makes every piece of `picture` not made yet, on up to `threads`
  // threads; false when there was not memory enough.
  bool complete(const Picture& picture, int threads);

  // The pieces joined in order are the picture's deflate stream, once
  // complete.
  const std::vector<DeflatePiece>& pieces() const { return pieces_; }

 private:
  // Starts over, with no pieces made, unless the pieces are `picture`'s.
  void belongTo(const Picture& picture);

  std::vector<DeflatePiece> pieces_;
  int made_ = 0;  // pieces made, in order
  const std::uint8_t* of_ = nullptr;
  int size_ = 0;
  bool gaveUp_ = false;
  DeflateScratch scratch_;
};

// Writes `picture` as an 8-bit RGB PNG to `output`, compressed on
// `threads` threads (the file is the same for any number) after the pieces
// that `ahead` made of it, or fails.
void writeOutput(const Output& output, const Picture& picture, int threads,
                 CompressedRows* ahead = nullptr);

}  // namespace basin
