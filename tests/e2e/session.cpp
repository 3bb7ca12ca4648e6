#include "session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace e2e {
namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point after(double seconds) {
  return Clock::now() +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

void pause(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what); }

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (std::string& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

// The test's own environment with `set` entries (NAME=value) replacing any
// of the same name.
std::vector<std::string> environmentWith(const std::vector<std::string>& set) {
  std::vector<std::string> out;
  for (char** e = environ; *e; ++e) {
    const std::string entry(*e);
    bool replaced = false;
    for (const std::string& s : set)
      if (entry.compare(0, s.find('=') + 1, s, 0, s.find('=') + 1) == 0) replaced = true;
    if (!replaced) out.push_back(entry);
  }
  out.insert(out.end(), set.begin(), set.end());
  return out;
}

// Runs a short helper to its end; returns its exit status, its standard
// output in *out and its error output in *err.
int runHelper(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
              std::string* out, std::string* err, double timeout = 20) {
  std::vector<std::string> args = argv, env = environment;
  std::vector<char*> argp = pointers(args), envp = pointers(env);
  int outPipe[2], errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) fail("pipe failed");
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
    dup2(outPipe[1], 1);
    dup2(errPipe[1], 2);
    execvpe(argp[0], argp.data(), envp.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  if (pid < 0) fail("fork failed");
  out->clear();
  err->clear();
  const Clock::time_point deadline = after(timeout);
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  std::string* sinks[2] = {out, err};
  int open = 2;
  char buffer[65536];
  while (open > 0 && Clock::now() < deadline) {
    if (poll(fds, 2, 100) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, std::size_t(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (const pollfd& f : fds)
    if (f.fd >= 0) close(f.fd);
  if (open > 0) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  if (open > 0) fail(argv[0] + " did not finish within " + std::to_string(timeout) + " s");
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

std::uint32_t big32(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | std::uint8_t(bytes[at + i]);
  return v;
}

// A channel value from a pixel and its mask (the mask's bits, shifted down
// and scaled to 8 bits).
std::uint8_t component(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  const std::uint32_t max = mask >> shift;
  return std::uint8_t(((pixel & mask) >> shift) * 255 / max);
}

// Reads an xwd window dump: a big-endian header of 25 words and the window
// name, the colour map (12 bytes an entry), then the pixel rows. Handles the
// true-colour ZPixmaps of a 24-bit screen, 24 or 32 bits a pixel.
basin::Picture parseXwd(const std::string& bytes, bool oblong) {
  if (bytes.size() < 100) fail("xwd dump too short");
  std::uint32_t h[25];
  for (int i = 0; i < 25; ++i) h[i] = big32(bytes, 4 * std::size_t(i));
  const std::uint32_t headerSize = h[0], format = h[2], width = h[4], height = h[5];
  const std::uint32_t byteOrder = h[7], bitsPerPixel = h[11], bytesPerLine = h[12];
  const std::uint32_t red = h[14], green = h[15], blue = h[16], colours = h[19];
  if (format != 2 || (bitsPerPixel != 32 && bitsPerPixel != 24))
    fail("xwd dump is not a 24/32-bit ZPixmap");
  if (width != height && !oblong)
    fail("window is not square: " + std::to_string(width) + "x" + std::to_string(height));
  const std::size_t start = headerSize + 12 * std::size_t(colours);
  if (bytes.size() < start + std::size_t(bytesPerLine) * height) fail("xwd dump truncated");
  basin::Picture picture = basin::blankPicture(int(std::max(width, height)));
  const int bytesPerPixel = int(bitsPerPixel / 8);
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      const std::size_t at = start + std::size_t(y) * bytesPerLine + std::size_t(x) * bytesPerPixel;
      std::uint32_t pixel = 0;
      for (int b = 0; b < bytesPerPixel; ++b) {
        const std::uint32_t byte = std::uint8_t(bytes[at + b]);
        pixel |= byteOrder == 0 ? byte << (8 * b) : byte << (8 * (bytesPerPixel - 1 - b));
      }
      std::uint8_t* cell = picture.at(int(x), int(y));
      cell[0] = component(pixel, red);
      cell[1] = component(pixel, green);
      cell[2] = component(pixel, blue);
    }
  }
  return picture;
}

}  // namespace

void Child::start(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                  const std::string& log, int keepFd) {
  std::vector<std::string> args = argv, env = environment;
  std::vector<char*> argp = pointers(args), envp = pointers(env);
  const int logFd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (logFd < 0) fail("cannot write " + log);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // Dies with the test process, however that ends.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    const int nothing = open("/dev/null", O_RDONLY);
    dup2(nothing, 0);
    dup2(logFd, 1);
    dup2(logFd, 2);
    if (keepFd >= 0) fcntl(keepFd, F_SETFD, 0);
    execvpe(argp[0], argp.data(), envp.data());
    _exit(127);
  }
  close(logFd);
  if (pid < 0) fail("fork failed");
  pid_ = pid;
}

Child::~Child() { stop(); }

bool Child::running() {
  if (pid_ < 0 || ended_) return false;
  if (waitpid(pid_, &status_, WNOHANG) == pid_) ended_ = true;
  return !ended_;
}

bool Child::wait(double seconds, int* status) {
  const Clock::time_point deadline = after(seconds);
  while (running() && Clock::now() < deadline) pause(10);
  if (!ended_) return false;
  *status = status_;
  return true;
}

void Child::stop() {
  if (!running()) return;
  kill(pid_, SIGTERM);
  int status;
  if (wait(3, &status)) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, &status_, 0);
  ended_ = true;
}

Session::Session(const std::string& name, const std::vector<std::string>& program,
                 const std::vector<std::string>& environment)
    : name_(name), extra_(environment) {
  // Xvfb writes the number of the display it found free to the given fd.
  int numberPipe[2];
  if (pipe2(numberPipe, O_CLOEXEC) != 0) fail("pipe failed");
  xvfb_.start({"Xvfb", "-displayfd", std::to_string(numberPipe[1]), "-screen", "0", "1024x1024x24",
               "-nolisten", "tcp", "-br", "-noreset"},
              environmentWith({}), name + ".xvfb.log", numberPipe[1]);
  close(numberPipe[1]);
  std::string number;
  const Clock::time_point deadline = after(20);
  pollfd fd{numberPipe[0], POLLIN, 0};
  while (number.find('\n') == std::string::npos && Clock::now() < deadline) {
    if (poll(&fd, 1, 100) <= 0) continue;
    char c[16];
    const ssize_t n = read(numberPipe[0], c, sizeof c);
    if (n <= 0) break;
    number.append(c, std::size_t(n));
  }
  close(numberPipe[0]);
  if (number.find('\n') == std::string::npos)
    fail("Xvfb did not start (is it installed? see " + name + ".xvfb.log)");
  display_ = ":" + number.substr(0, number.find('\n'));

  program_.start(program, this->environment(), name + ".program.log");
  const std::string pid = std::to_string(program_.pid());
  while (window_.empty()) {
    if (Clock::now() > deadline)
      fail(program[0] + " opened no window (see " + name + ".program.log)");
    std::string out, err;
    const std::vector<std::string> env = environmentWith({"DISPLAY=" + display_});
    runHelper({"xdotool", "search", "--onlyvisible", "--pid", pid, "--name", "Basinscope"}, env,
              &out, &err);
    window_ = out.substr(0, out.find('\n'));
    if (window_.empty()) pause(50);
  }
  helper({"xdotool", "windowmove", window_, "0", "0"});
  while (helper({"xdotool", "getwindowgeometry", window_}).find("Position: 0,0") ==
         std::string::npos) {
    if (Clock::now() > deadline) fail("the window did not move to (0, 0)");
    pause(20);
  }
}

std::vector<std::string> Session::environment() const {
  std::vector<std::string> set = extra_;
  set.push_back("DISPLAY=" + display_);
  return environmentWith(set);
}

std::string Session::output() const {
  std::ifstream log(name_ + ".program.log", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(log), {});
}

int Session::framesPrinted() const {
  const std::string text = "\n" + output();
  int frames = 0;
  for (std::size_t at = text.find("\nbasinshot "); at != std::string::npos;
       at = text.find("\nbasinshot ", at + 1))
    ++frames;
  return frames;
}

bool Session::waitForFrames(int frames, double timeout) {
  const Clock::time_point deadline = after(timeout);
  while (framesPrinted() < frames) {
    if (Clock::now() > deadline || !program_.running()) return false;
    pause(10);
  }
  return true;
}

std::string Session::helper(const std::vector<std::string>& argv) {
  std::string out, err;
  const int status = runHelper(argv, environmentWith({"DISPLAY=" + display_}), &out, &err);
  if (status != 0) {
    std::string command;
    for (const std::string& a : argv) command += a + " ";
    fail(command + "failed with status " + std::to_string(status) + ": " + err);
  }
  return out;
}

std::string Session::title() {
  const std::string out = helper({"xdotool", "getwindowname", window_});
  return out.substr(0, out.find('\n'));
}

long Session::cpuTicks() const {
  std::ifstream stat("/proc/" + std::to_string(program_.pid()) + "/stat");
  std::string line;
  std::getline(stat, line);
  const std::size_t close = line.rfind(')');
  if (close == std::string::npos) return -1;
  // After the command name: state is field 3, utime 14 and stime 15.
  std::istringstream fields(line.substr(close + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) stime = std::stol(field);
  }
  return utime + stime;
}

double Session::ticksToSeconds(long ticks) { return double(ticks) / sysconf(_SC_CLK_TCK); }

bool Session::waitForRest(long sinceTicks, double minSeconds, double timeout) {
  // A frame keeps the process busy from start to end, so a pause of 0.4 s
  // (forty clock ticks) without any processor time means it has finished.
  const auto quiet = std::chrono::milliseconds(400);
  const Clock::time_point deadline = after(timeout);
  long last = -2;
  Clock::time_point stillSince = Clock::now();
  while (Clock::now() < deadline) {
    if (!program_.running()) return false;
    const long now = cpuTicks();
    if (now != last) {
      last = now;
      stillSince = Clock::now();
    } else if (ticksToSeconds(now - sinceTicks) >= minSeconds &&
               Clock::now() - stillSince >= quiet) {
      return true;
    }
    pause(50);
  }
  return false;
}

basin::Picture Session::capture(bool oblong) {
  return parseXwd(helper({"xwd", "-silent", "-id", window_}), oblong);
}

void Session::pressAt(int x, int y, const std::string& key) {
  // The server handles one client's requests in order, so the pointer is in
  // place before the key arrives.
  helper({"xdotool", "mousemove", "--window", window_, std::to_string(x), std::to_string(y)});
  helper({"xdotool", "key", key});
}

}  // namespace e2e
