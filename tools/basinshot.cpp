// basinshot: the picture of duobasin or quadbasin, drawn without a display
// and saved as a PNG file.
//
// It draws the start-up frame, then the --window if one is given, then
// replays the --keys script through the viewer's own key table, and writes
// the last frame drawn (black after a final w). Bad input gets one line on
// stderr and exit status 2, before anything is written. The picture goes to
// a temporary file beside the target, renamed into place once complete, so
// no run, failed or interrupted, leaves a partial picture behind.
#include <fcntl.h>
#include <png.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "examples/duobasin.h"
#include "examples/quadbasin.h"
#include "viewer/replay.h"

namespace {

constexpr int FAILED = 2;
constexpr int MAX_SIZE = 16384;

const char* const USAGE =
    "usage: basinshot duobasin|quadbasin [--keys \"KEYS\"] [--window XMIN XMAX YMIN YMAX]\n"
    "                 [--size N] -o picture.png\n"
    "\n"
    "Draws the program's start-up frame without a display, then the window if one\n"
    "is given, then replays the keys as the viewer would, and saves the last frame\n"
    "drawn as an 8-bit RGB PNG (black after a final w).\n"
    "\n"
    "  --keys KEYS     keys separated by blanks, as typed in the viewer:\n"
    "                    z@X,Y  zoom in around the pointer at pixel (X, Y)\n"
    "                    Z@X,Y  zoom out     c@X,Y  re-centre\n"
    "                    r      mark the start-up window\n"
    "                    d      apply the marked window and draw a frame\n"
    "                    w      wipe the picture to black\n"
    "                  X and Y are pixels of the viewer's 800 x 800 window from its\n"
    "                  top-left corner (0 ... 799), whatever --size is, so a script\n"
    "                  reaches the same view at every size.\n"
    "  --window XMIN XMAX YMIN YMAX\n"
    "                  after the start-up frame, draw this part of the plane, as if\n"
    "                  it had been marked and applied with d\n"
    "  --size N        the last frame on an N x N grid (1 ... 16384, default 800);\n"
    "                  frames before it are drawn on the viewer's 800 x 800 grid,\n"
    "                  so the roots keep the colours the viewer gives them\n"
    "  -o FILE         the PNG file to write\n"
    "  --help          print this text\n"
    "\n"
    "Exit status: 0 when the picture is written, 2 on bad input or when it cannot\n"
    "be written (then no file is left behind).\n";

// A failure the user can act on: reported on one line, exit status 2.
[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "basinshot: %s\n", message.c_str());
  std::exit(FAILED);
}

struct Options {
  const basin::Variant* variant = nullptr;
  basin::Shot shot;
  bool hasKeys = false;
  bool hasSize = false;
  std::string output;
};

int parseSize(const char* text) {
  const std::string s = text;
  long value = 0;
  bool digits = !s.empty() && s.size() <= 6;
  for (const char ch : s) {
    if (ch < '0' || ch > '9') digits = false;
    if (digits) value = value * 10 + (ch - '0');
  }
  if (!digits || value < 1 || value > MAX_SIZE)
    fail("--size '" + s + "': expected a whole number from 1 to 16384");
  return int(value);
}

// A window edge: a number as strtof reads it, whole, rounded to the nearest
// float. Infinities and NaNs, spelled out or reached by overflow, are
// reported by windowFault with the rest of the window's checks.
float parseEdge(const char* text) {
  char* end = nullptr;
  const float value = std::strtof(text, &end);
  if (*text == '\0' || std::isspace(static_cast<unsigned char>(*text)) || *end != '\0')
    fail(std::string("--window '") + text + "': not a number");
  return value;
}

Options parseArguments(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::fputs(USAGE, stdout);
      std::exit(0);
    }
  }
  const auto value = [&](int& i, int count) {
    if (i + count >= argc)
      fail(std::string(argv[i]) + " needs " + (count == 1 ? "a value" : "four values"));
    i += count;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--keys") {
      if (o.hasKeys) fail("--keys given twice");
      value(i, 1);
      std::string error;
      if (!basin::parseKeys(argv[i], &o.shot.keys, &error)) fail("--keys: " + error);
      o.hasKeys = true;
    } else if (arg == "--window") {
      if (o.shot.hasWindow) fail("--window given twice");
      value(i, 4);
      basin::Window& w = o.shot.window;
      w = basin::Window{parseEdge(argv[i - 3]), parseEdge(argv[i - 2]), parseEdge(argv[i - 1]),
                        parseEdge(argv[i])};
      if (const char* fault = basin::windowFault(w)) fail(std::string("--window: ") + fault);
      o.shot.hasWindow = true;
    } else if (arg == "--size") {
      if (o.hasSize) fail("--size given twice");
      value(i, 1);
      o.shot.size = parseSize(argv[i]);
      o.hasSize = true;
    } else if (arg == "-o") {
      if (!o.output.empty()) fail("-o given twice");
      value(i, 1);
      o.output = argv[i];
      if (o.output.empty()) fail("-o needs a file name");
    } else if (!arg.empty() && arg[0] == '-') {
      fail("unknown option '" + arg + "' (see basinshot --help)");
    } else if (o.variant != nullptr) {
      fail("unexpected argument '" + arg + "' (see basinshot --help)");
    } else if (arg == basin::DUOBASIN.name) {
      o.variant = &basin::DUOBASIN;
    } else if (arg == basin::QUADBASIN.name) {
      o.variant = &basin::QUADBASIN;
    } else {
      fail("unknown program '" + arg + "' (expected duobasin or quadbasin)");
    }
  }
  if (o.variant == nullptr) fail("no program given (see basinshot --help)");
  if (o.output.empty()) fail("no output file given: -o picture.png");
  return o;
}

// The temporary file, removed by every way out but a successful rename:
// the error paths below and the signals that end the process.
char TEMPORARY[PATH_MAX + 32];

void removeTemporary(int sig) {
  unlink(TEMPORARY);  // async-signal-safe
  signal(sig, SIG_DFL);
  raise(sig);
}

[[noreturn]] void failWriting(const std::string& path, const std::string& why) {
  if (TEMPORARY[0] != '\0') unlink(TEMPORARY);
  fail("cannot write '" + path + "': " + why);
}

// Creates the temporary file in the target's folder, so the final rename
// stays within one file system, with the permissions a new file would get.
int createTemporary(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) fail("'" + path + "' is a folder");
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string pattern = folder + "/." + name + ".XXXXXX";
  if (pattern.size() >= sizeof TEMPORARY) fail("'" + path + "': path too long");

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
  if (fd < 0) fail("cannot write '" + path + "': " + std::strerror(error));

  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  return fd;
}

void writePng(const basin::Picture& picture, int fd, const std::string& path) {
  FILE* file = fdopen(fd, "wb");
  if (file == nullptr) failWriting(path, std::strerror(errno));
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(picture.size);
  image.height = png_uint_32(picture.size);
  image.format = PNG_FORMAT_RGB;
  image.flags = PNG_IMAGE_FLAG_FAST;
  errno = 0;
  const bool written = png_image_write_to_stdio(&image, file, 0, picture.rgb.data(), 0, nullptr);
  const int writeError = errno;
  const bool flushed = written && std::fflush(file) == 0 && fsync(fileno(file)) == 0;
  const int flushError = errno;
  const bool closed = std::fclose(file) == 0;
  if (!written) failWriting(path, writeError != 0 ? std::strerror(writeError) : image.message);
  if (!flushed || !closed) failWriting(path, std::strerror(flushed ? errno : flushError));
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = parseArguments(argc, argv);
  // A full disk or a file size limit must show as a failed write that the
  // error path cleans up, not as a signal that ends the process.
  signal(SIGXFSZ, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
  const int fd = createTemporary(options.output);

  basin::Picture picture;
  try {
    picture = basin::takeShot(*options.variant, options.shot);
  } catch (const std::bad_alloc&) {
    const int n = options.shot.size;
    failWriting(options.output, "not enough memory for a " + std::to_string(n) + " x " +
                                    std::to_string(n) + " picture");
  }
  writePng(picture, fd, options.output);
  if (rename(TEMPORARY, options.output.c_str()) != 0)
    failWriting(options.output, std::strerror(errno));
  return 0;
}
