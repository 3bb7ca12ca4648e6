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
// Every failure ends the program (core/failure.h): one line on stderr and
// exit status 2.
#pragma once

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "core/function_ref.h"

namespace basin {

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

// Puts what `write` writes into the file it is given in place as `output`,
// or fails. `write` gives "" once it has written the whole file, or why it
// could not. A new or replaced file is flushed to the disk before it is
// linked into place, so that no crash leaves an incomplete one.
void writeOutput(const Output& output, FunctionRef<std::string(std::FILE* file)> write);

}  // namespace basin
