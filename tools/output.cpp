#include "tools/output.h"

#include <fcntl.h>
#include <png.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/text.h"

namespace basin {
namespace {

[[noreturn]] void cannotWrite(const std::string& name, int error) {
  fail("cannot write '" + name + "': " + std::strerror(error));
}

// The folder part of `path`, with its final slash; empty for a bare name.
std::string folderOf(const std::string& path) { return path.substr(0, path.rfind('/') + 1); }

// The file a chain of symbolic links starting at `path` ends at, whether
// that file exists or not.
std::string followLinks(std::string path, const std::string& name) {
  for (int hop = 0; hop < 40; ++hop) {  // the kernel's own bound on a chain
    char target[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), target, sizeof target);
    if (n < 0) return path;  // not a link, or nothing there: the chain ends
    if (std::size_t(n) == sizeof target) cannotWrite(name, ENAMETOOLONG);
    const std::string next(target, std::size_t(n));
    path = next[0] == '/' ? next : folderOf(path) + next;
  }
  cannotWrite(name, ELOOP);
}

// Opens a target that is written in place: a device, a FIFO (waiting for
// its reader), whatever /dev/stdout leads to. Never truncated or created.
int openInPlace(const std::string& name) {
  const int fd = open(name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) cannotWrite(name, errno);
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISREG(st.st_mode)) fail("'" + name + "' changed while opening it");
  return fd;
}

// The temporary file, removed by every way out but a successful rename:
// the error paths below and the signals that end the process.
char TEMPORARY[PATH_MAX];

void removeTemporary(int sig) {
  unlink(TEMPORARY);  // async-signal-safe
  signal(sig, SIG_DFL);
  raise(sig);
}

[[noreturn]] void failWriting(const std::string& name, const std::string& why) {
  if (TEMPORARY[0] != '\0') unlink(TEMPORARY);
  fail("cannot write '" + name + "': " + why);
}

// "." + the target's name + ".XXXXXX", the name cut short so that the
// whole fits wherever the target's own name fits.
std::string temporaryPattern(const std::string& path) {
  const std::string folder = folderOf(path);
  const long longest = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  const std::size_t room = std::size_t(longest > 8 ? longest : NAME_MAX) - 8;
  return folder + "." + path.substr(folder.size(), room) + ".XXXXXX";
}

// Creates the temporary file in the target's folder, so that the final
// rename stays within one file system, with the owner and permission bits
// of the file it replaces, or those a new file would get.
int createTemporary(const Output& output) {
  const std::string pattern = temporaryPattern(output.path);
  if (pattern.size() >= sizeof TEMPORARY) cannotWrite(output.name, ENAMETOOLONG);

  // Signals stay blocked until the handlers know the name, so none can end
  // the process between the file's creation and its registration.
  sigset_t ending, previous;
  sigemptyset(&ending);
  for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&ending, sig);
  sigprocmask(SIG_BLOCK, &ending, &previous);
  char candidate[sizeof TEMPORARY];
  std::memcpy(candidate, pattern.c_str(), pattern.size() + 1);
  const int fd = mkstemp(candidate);
  const int error = errno;
  if (fd >= 0) {
    std::memcpy(TEMPORARY, candidate, sizeof TEMPORARY);
    for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) signal(sig, removeTemporary);
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  if (fd < 0) cannotWrite(output.name, error);

  mode_t mode = 0;
  if (output.replaces) {
    if (fchown(fd, output.old.st_uid, output.old.st_gid) != 0) {
      // Only root may give the file to another owner; anyone else keeps it.
    }
    mode = output.old.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  if (fchmod(fd, mode) != 0) failWriting(output.name, std::strerror(errno));
  return fd;
}

// Writes the PNG to `fd` and closes it; an empty string, or why it failed.
// `sync` waits until the data is on disk, so that a rename never puts an
// incomplete file in place after a crash.
std::string writePng(const Picture& picture, int fd, bool sync) {
  FILE* file = fdopen(fd, "wb");
  if (file == nullptr) return std::strerror(errno);
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(picture.size);
  image.height = png_uint_32(picture.size);
  image.format = PNG_FORMAT_RGB;
  image.flags = PNG_IMAGE_FLAG_FAST;
  errno = 0;
  std::string why;
  if (!png_image_write_to_stdio(&image, file, 0, picture.rgb.data(), 0, nullptr))
    why = errno != 0 ? std::strerror(errno) : image.message;
  else if (std::fflush(file) != 0 || (sync && fsync(fileno(file)) != 0))
    why = std::strerror(errno);
  if (std::fclose(file) != 0 && why.empty()) why = std::strerror(errno);
  return why;
}

}  // namespace

void fail(const std::string& message) {
  std::fprintf(stderr, "basinshot: %s\n", escaped(message).c_str());
  std::exit(FAILED);
}

Output openOutput(const std::string& name) {
  Output output;
  output.name = name;
  if (name == "-") {
    if (isatty(STDOUT_FILENO))
      fail("refusing to write a PNG picture to a terminal: redirect standard output, or -o FILE");
    output.name = "standard output";
    output.fd = STDOUT_FILENO;
    return output;
  }
  struct stat st;
  output.replaces = stat(name.c_str(), &st) == 0;
  if (!output.replaces && errno != ENOENT) cannotWrite(name, errno);
  if (output.replaces && S_ISDIR(st.st_mode)) fail("'" + name + "' is a folder");
  if (output.replaces && !S_ISREG(st.st_mode)) {
    output.fd = openInPlace(name);
    return output;
  }

  output.path = followLinks(name, name);
  if (output.replaces) {
    struct stat end;
    if (stat(output.path.c_str(), &end) != 0 || end.st_dev != st.st_dev || end.st_ino != st.st_ino)
      fail("cannot write '" + name + "': its links lead to no file that can be replaced");
    // The rename needs only the folder's permission; the file's own is the
    // user's say on whether it may be overwritten.
    if (faccessat(AT_FDCWD, output.path.c_str(), W_OK, AT_EACCESS) != 0) cannotWrite(name, errno);
    output.old = st;
  }
  const std::string folder = folderOf(output.path);
  if (faccessat(AT_FDCWD, folder.empty() ? "." : folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0)
    cannotWrite(name, errno);
  return output;
}

void writeOutput(const Output& output, const Picture& picture) {
  // A full disk, a file size limit or a reader gone must show as a failed
  // write that the error path cleans up, not as a signal.
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
  if (output.fd >= 0) {
    const std::string why = writePng(picture, output.fd, false);
    if (!why.empty()) failWriting(output.name, why);
    return;
  }
  const std::string why = writePng(picture, createTemporary(output), true);
  if (!why.empty()) failWriting(output.name, why);
  if (rename(TEMPORARY, output.path.c_str()) != 0) failWriting(output.name, std::strerror(errno));
  TEMPORARY[0] = '\0';
}

}  // namespace basin
