#include "png/target.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/failure.h"

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

// The descriptor a name of the process's own descriptors stands for:
// /dev/stdin, /dev/stdout, /dev/stderr, /dev/fd/N or /proc/self/fd/N; else
// -1. Opening such a name would reach the file behind the descriptor
// afresh, and a regular one would be replaced whole, losing what the
// descriptor's owner wrote before; the descriptor itself is written
// instead, from where it stands, as for -o -.
int descriptorNamed(const std::string& name) {
  const char* const streams[] = {"/dev/stdin", "/dev/stdout", "/dev/stderr"};
  for (int fd = 0; fd < 3; ++fd)
    if (name == streams[fd]) return fd;
  for (const std::string folder : {"/dev/fd/", "/proc/self/fd/"}) {
    if (name.compare(0, folder.size(), folder) != 0) continue;
    const std::string number = name.substr(folder.size());
    if (number.empty() || number.size() > 9 || (number[0] == '0' && number != "0") ||
        number.find_first_not_of("0123456789") != std::string::npos)
      return -1;
    return std::atoi(number.c_str());
  }
  return -1;
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

// Gives the new file the owner and permission bits of the file it
// replaces, or those a new file would get.
void settleMode(const Output& output, int fd) {
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
}

// The signals that end the process, which the temporary file's handlers
// catch and the final link and rename hold off.
sigset_t endingSignals() {
  sigset_t ending;
  sigemptyset(&ending);
  for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaddset(&ending, sig);
  return ending;
}

// Creates a named temporary file in the target's folder, so that the final
// rename stays within one file system: the way for a file system that
// refuses unnamed ones.
int createTemporary(const Output& output) {
  const std::string pattern = temporaryPattern(output.path);
  if (pattern.size() >= sizeof TEMPORARY) cannotWrite(output.name, ENAMETOOLONG);

  // Signals stay blocked until the handlers know the name, so none can end
  // the process between the file's creation and its registration.
  const sigset_t ending = endingSignals();
  sigset_t previous;
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
  settleMode(output, fd);
  return fd;
}

// An unnamed file in the target's folder (O_TMPFILE): nothing of it is
// seen until it is linked into place, and a process ended by any signal,
// SIGKILL too, leaves nothing behind. -1 where the file system or the
// kernel has no such files, or no way to link one (/proc) is at hand.
int createUnnamed(const Output& output) {
  const std::string folder = folderOf(output.path);
  if (geteuid() != 0 && access("/proc/self/fd", X_OK) != 0) return -1;
  const int fd =
      open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) {
    if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return -1;
    cannotWrite(output.name, errno);
  }
  settleMode(output, fd);
  return fd;
}

// Gives the unnamed file `fd` the name `path`: directly where the process
// may (AT_EMPTY_PATH needs a privilege), else through /proc.
int linkUnnamed(int fd, const std::string& path) {
  if (linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0) return 0;
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
}

// Puts the complete unnamed file in place. A new target gets its name at
// once; an existing one is replaced by a rename from a fresh name beside
// it, the ending signals held off meanwhile so that no handler can end
// the process between the two.
void linkIntoPlace(const Output& output, int fd) {
  if (!output.replaces) {
    if (linkUnnamed(fd, output.path) == 0) return;
    if (errno != EEXIST) failWriting(output.name, std::strerror(errno));
    // Made by someone else meanwhile: replaced as any existing file is.
  }
  const std::string pattern = temporaryPattern(output.path);
  const std::string base = pattern.substr(0, pattern.size() - 6);
  const sigset_t ending = endingSignals();
  sigset_t previous;
  sigprocmask(SIG_BLOCK, &ending, &previous);
  int error = EEXIST;
  for (unsigned attempt = 0; attempt < 100 && error == EEXIST; ++attempt) {
    char suffix[7];
    std::snprintf(
        suffix, sizeof suffix, "%06u",
        unsigned(getpid() * 7919u + attempt * 104729u + unsigned(std::rand())) % 1000000u);
    const std::string name = base + suffix;
    if (linkUnnamed(fd, name) != 0) {
      error = errno;
      continue;
    }
    error = rename(name.c_str(), output.path.c_str()) == 0 ? 0 : errno;
    if (error != 0) unlink(name.c_str());
    if (error == EEXIST) error = EIO;  // only a fresh name may be taken again
  }
  sigprocmask(SIG_SETMASK, &previous, nullptr);
  if (error != 0) failWriting(output.name, std::strerror(error));
}

// Writes the file to `fd` and closes it; an empty string, or why it failed.
// `sync` waits until the data is on disk, so that a rename never puts an
// incomplete file in place after a crash.
std::string writeFile(int fd, bool sync, FunctionRef<std::string(std::FILE*)> write) {
  FILE* file = fdopen(fd, "wb");
  if (file == nullptr) return std::strerror(errno);
  errno = 0;
  std::string why = write(file);
  if (why.empty() && (std::fflush(file) != 0 || (sync && fsync(fileno(file)) != 0)))
    why = std::strerror(errno);
  if (std::fclose(file) != 0 && why.empty()) why = std::strerror(errno);
  return why;
}

}  // namespace

Output openOutput(const std::string& name) {
  Output output;
  output.name = name;
  const int descriptor = name == "-" ? STDOUT_FILENO : descriptorNamed(name);
  if (descriptor >= 0) {
    if (name == "-") output.name = "standard output";
    const int flags = fcntl(descriptor, F_GETFL);
    if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) cannotWrite(output.name, EBADF);
    if (isatty(descriptor))
      fail("refusing to write a PNG picture to a terminal: redirect " +
           (name == "-" ? std::string("standard output") : "'" + name + "'") + ", or -o FILE");
    output.fd = descriptor;
    if (fstat(descriptor, &output.old) != 0) cannotWrite(output.name, errno);
    return output;
  }
  struct stat st;
  output.replaces = stat(name.c_str(), &st) == 0;
  if (!output.replaces && errno != ENOENT) cannotWrite(name, errno);
  if (output.replaces && S_ISDIR(st.st_mode)) fail("'" + name + "' is a folder");
  if (output.replaces && !S_ISREG(st.st_mode)) {
    output.fd = openInPlace(name);
    output.old = st;
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

bool overwrites(const Output& output, const struct stat& input) {
  const bool exists = output.fd >= 0 || output.replaces;
  return exists && S_ISREG(input.st_mode) && S_ISREG(output.old.st_mode) &&
         output.old.st_dev == input.st_dev && output.old.st_ino == input.st_ino;
}

void writeOutput(const Output& output, FunctionRef<std::string(std::FILE*)> write) {
  // A full disk, a file size limit or a reader gone must show as a failed
  // write that the error path cleans up, not as a signal.
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
  if (output.fd >= 0) {
    const std::string why = writeFile(output.fd, false, write);
    if (!why.empty()) failWriting(output.name, why);
    return;
  }
  const int unnamed = createUnnamed(output);
  if (unnamed >= 0) {
    // The writer closes its own copy; this one stays open for the link.
    const int copy = fcntl(unnamed, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) failWriting(output.name, std::strerror(errno));
    const std::string why = writeFile(copy, true, write);
    if (!why.empty()) failWriting(output.name, why);
    linkIntoPlace(output, unnamed);
    close(unnamed);
    return;
  }
  const std::string why = writeFile(createTemporary(output), true, write);
  if (!why.empty()) failWriting(output.name, why);
  if (rename(TEMPORARY, output.path.c_str()) != 0) failWriting(output.name, std::strerror(errno));
  TEMPORARY[0] = '\0';
}

}  // namespace basin
