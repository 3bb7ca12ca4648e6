#include "tests/shot/xsession.h"

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace basin {
namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void trouble(const std::string& what) { throw std::runtime_error(what); }

// Starts a program with only stdin, stdout and `keepFd` open; `quiet`
// sends its stderr to /dev/null.
pid_t spawn(const std::vector<std::string>& args, int keepFd = -1, bool quiet = false) {
  const pid_t pid = fork();
  if (pid < 0) trouble("fork failed");
  if (pid == 0) {
    if (quiet) freopen("/dev/null", "w", stderr);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (int fd = 3; fd < 256; ++fd)
      if (fd != keepFd) close(fd);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

void stop(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
}

// The output of a shell command; throws when it fails.
std::string output(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) trouble("cannot run " + command);
  std::string text;
  char buffer[65536];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  if (pclose(pipe) != 0) trouble("failed: " + command);
  return text;
}

// Run time in ns of every thread of `pid`, from the scheduler.
long long runtime(pid_t pid) {
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  long long total = 0;
  if (DIR* dir = opendir(tasks.c_str())) {
    while (const dirent* entry = readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
      long long ns = 0;
      if (stat >> ns) total += ns;
    }
    closedir(dir);
  }
  return total;
}

std::uint32_t big32(const std::string& data, std::size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(data.data() + at);
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

int shiftOf(std::uint32_t mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1) == 0) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

// A ZPixmap XWD dump of 24-bit true colour, 32 bits a pixel.
Raster parseXwd(const std::string& data) {
  if (data.size() < 100) trouble("short xwd capture");
  const std::uint32_t headerSize = big32(data, 0), depth = big32(data, 12), width = big32(data, 16),
                      height = big32(data, 20), byteOrder = big32(data, 28),
                      bitsPerPixel = big32(data, 44), bytesPerLine = big32(data, 48),
                      redMask = big32(data, 56), greenMask = big32(data, 60),
                      blueMask = big32(data, 64), colours = big32(data, 76);
  if (depth != 24 || bitsPerPixel != 32) trouble("unexpected xwd pixel format");
  const std::size_t start = headerSize + std::size_t(colours) * 12;
  if (data.size() < start + std::size_t(bytesPerLine) * height) trouble("short xwd capture");
  Raster r;
  r.width = int(width);
  r.height = int(height);
  r.rgb.resize(std::size_t(width) * height * 3);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const auto* p =
          reinterpret_cast<const unsigned char*>(data.data() + start + y * bytesPerLine + x * 4);
      const std::uint32_t v = byteOrder == 0
                                  ? (std::uint32_t(p[3]) << 24 | p[2] << 16 | p[1] << 8 | p[0])
                                  : (std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]);
      std::uint8_t* out = &r.rgb[3 * (std::size_t(y) * width + x)];
      out[0] = std::uint8_t((v & redMask) >> shiftOf(redMask));
      out[1] = std::uint8_t((v & greenMask) >> shiftOf(greenMask));
      out[2] = std::uint8_t((v & blueMask) >> shiftOf(blueMask));
    }
  }
  return r;
}

}  // namespace

XSession::XSession(const std::string& program) {
  int fds[2];
  if (pipe(fds) != 0) trouble("pipe failed");
  xvfb_ = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x1024x24",
                 "-nolisten", "tcp", "-noreset"},
                fds[1], true);  // it reports every display it finds taken
  close(fds[1]);
  // The number and its newline may come in separate writes; the read end
  // stays open until both are in, or Xvfb dies writing the newline.
  std::string number;
  char c;
  while (number.find('\n') == std::string::npos && read(fds[0], &c, 1) == 1) number += c;
  close(fds[0]);
  if (number.find('\n') == std::string::npos) trouble("Xvfb did not start");
  display_ = ":" + number.substr(0, number.find('\n'));
  setenv("DISPLAY", display_.c_str(), 1);

  // llvmpipe's linear fast path rounds some colour components one level
  // off round(c * 255), depending on the row; the general path does not.
  setenv("LP_PERF", "no_rast_linear", 1);
  viewer_ = spawn({program});
  window_ = output("xdotool search --sync --name Basinscope | head -n1");
  window_.erase(window_.find_last_not_of("\n") + 1);
  // With no window manager the window maps at (-1, -1); the move exposes it
  // at (0, 0) and redraws it.
  const long long before = runtime(viewer_);
  output("xdotool windowmove " + window_ + " 0 0");
  waitIdle(before);
}

XSession::~XSession() {
  stop(viewer_);
  stop(xvfb_);
}

void XSession::key(char key, int x, int y) {
  // The pointer moves first; the key goes without --window, which would
  // send a synthetic event with a made-up pointer position. Focus follows
  // the pointer with no window manager.
  output("xdotool mousemove --window " + window_ + " " + std::to_string(x) + " " +
         std::to_string(y));
  const long long before = runtime(viewer_);
  output(std::string("xdotool key ") + key);
  waitIdle(before);
}

Raster XSession::capture() {
  const Raster r = parseXwd(output("xwd -silent -id " + window_));
  if (r.width != 800 || r.height != 800) trouble("the window is not 800 x 800");
  return r;
}

// The viewer has taken in what was sent once its run time grows past
// `before`; its drawing is done once it then uses no processor time for
// 300 ms. Waiting for the start first keeps a busy machine, slow to wake
// the viewer, from passing for an idle one.
void XSession::waitIdle(long long before) {
  const auto deadline = Clock::now() + std::chrono::seconds(60);
  long long last = runtime(viewer_);
  while (last == before) {
    if (Clock::now() > deadline) trouble("the viewer never woke up");
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    last = runtime(viewer_);
  }
  auto changed = Clock::now();
  while (Clock::now() - changed < std::chrono::milliseconds(300)) {
    if (Clock::now() > deadline) trouble("the viewer never went idle");
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const long long now = runtime(viewer_);
    if (now != last) {
      last = now;
      changed = Clock::now();
    }
  }
}

}  // namespace basin
