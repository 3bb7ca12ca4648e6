#include "tests/support/xvfb_program.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "tests/support/pictures.h"

namespace support {
namespace {

// The keys an xdotool command line types: each word after `key` up to the
// next command, each character `type` types, and each `keydown` (a held
// key's repeats only add to the keys the program takes in).
int keysTyped(const std::vector<std::string>& argv) {
  if (argv.empty() || argv[0] != "xdotool") return 0;
  static const char* const COMMANDS[] = {"mousemove", "key",       "keydown",    "keyup",
                                         "sleep",     "type",      "windowmove", "windowsize",
                                         "click",     "mousedown", "mouseup"};
  const auto command = [](const std::string& word) {
    for (const char* c : COMMANDS)
      if (word == c) return true;
    return false;
  };
  int keys = 0;
  std::string current;
  for (std::size_t i = 1; i < argv.size(); ++i) {
    const std::string& word = argv[i];
    if (command(word)) {
      current = word;
      keys += word == "keydown";
    } else if (word.rfind("--", 0) == 0) {
      i += word != "--clearmodifiers";  // the option's value
    } else if (current == "key") {
      ++keys;
    } else if (current == "click") {
      keys += 2;  // the button goes down and up
    } else if (current == "mousedown" || current == "mouseup") {
      ++keys;
    } else if (current == "type") {
      keys += int(word.size());
    }
  }
  return keys;
}

[[noreturn]] void fail(const std::string& what) { throw std::runtime_error(what); }

// The number Xvfb writes to `fd` once it has found a free display.
std::string displayNumber(int fd, Clock::time_point deadline) {
  std::string number;
  pollfd wait{fd, POLLIN, 0};
  while (number.find('\n') == std::string::npos && Clock::now() < deadline) {
    if (poll(&wait, 1, 100) <= 0) continue;
    char c[16];
    const ssize_t n = read(fd, c, sizeof c);
    if (n <= 0) break;
    number.append(c, std::size_t(n));
  }
  return number.find('\n') == std::string::npos ? "" : number.substr(0, number.find('\n'));
}

}  // namespace

XvfbProgram::XvfbProgram(const std::string& name, const std::vector<std::string>& program,
                         const std::vector<std::string>& environment, const std::string& screen)
    : name_(name) {
  int numberPipe[2];
  if (pipe2(numberPipe, O_CLOEXEC) != 0) fail("pipe failed");
  Launch server;
  server.log = name + ".xvfb.log";
  server.keepFd = numberPipe[1];
  xvfb_ = std::make_unique<Child>(
      std::vector<std::string>{"bash", XVFB_SCRIPT, "serve", screen, std::to_string(numberPipe[1])},
      server);
  close(numberPipe[1]);
  const Clock::time_point deadline = after(20);
  const std::string number = displayNumber(numberPipe[0], deadline);
  close(numberPipe[0]);
  if (number.empty()) fail("Xvfb did not start (is it installed? see " + name + ".xvfb.log)");
  display_ = ":" + number;

  Launch viewer;
  viewer.environment = environment;
  viewer.environment.push_back("BASIN_EVENTS=2");
  viewer.environment.push_back("DISPLAY=" + display_);
  viewer.log = name + ".program.log";
  program_ = std::make_unique<Child>(program, viewer);
  const Result found = run({"bash", XVFB_SCRIPT, "window", std::to_string(program_->pid())},
                           Launch{{"DISPLAY=" + display_}}, 60);
  window_ = found.out.substr(0, found.out.find('\n'));
  if (found.status != 0 || window_.empty())
    fail(program[0] + ": " + found.err + " (see " + name + ".program.log)");
}

std::string XvfbProgram::output() const {
  std::ifstream log(name_ + ".program.log", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(log), {});
}

int XvfbProgram::framesPrinted() const {
  const std::string text = "\n" + output();
  int frames = 0;
  for (std::size_t at = text.find("\nbasinshot "); at != std::string::npos;
       at = text.find("\nbasinshot ", at + 1))
    ++frames;
  return frames;
}

bool XvfbProgram::waitForFrames(int frames, double timeout) {
  const Clock::time_point deadline = after(timeout);
  while (framesPrinted() < frames) {
    if (Clock::now() > deadline || !program_->running()) return false;
    pollPause();
  }
  return true;
}

void pollPause() { std::this_thread::sleep_for(std::chrono::milliseconds(5)); }

std::vector<std::string> XvfbProgram::events() const {
  std::istringstream out(output());
  std::vector<std::string> lines;
  for (std::string line; std::getline(out, line);)
    if (line.rfind("event ", 0) == 0 && !out.eof()) lines.push_back(line.substr(6));
  return lines;
}

namespace {

bool drawsWhole(const std::string& event) {
  return event.rfind("frame ", 0) == 0 || event.rfind("shown ", 0) == 0;
}

}  // namespace

int XvfbProgram::framesDrawn() const {
  int frames = 0;
  for (const std::string& e : events()) frames += drawsWhole(e);
  return frames;
}

int XvfbProgram::framesComputed() const {
  int frames = 0;
  for (const std::string& e : events()) frames += e.rfind("frame ", 0) == 0;
  return frames;
}

bool XvfbProgram::resizeWindow(int width, int height, double timeout) {
  const std::string taken = "size " + std::to_string(width) + " " + std::to_string(height);
  const auto count = [&taken](const std::vector<std::string>& lines) {
    return std::count(lines.begin(), lines.end(), taken);
  };
  const long before = count(events());
  helper({"xdotool", "windowsize", window_, std::to_string(width), std::to_string(height)});
  return waitForEvents([&](const std::vector<std::string>& e) { return count(e) > before; },
                       timeout) &&
         waitForRest(0, timeout);
}

bool XvfbProgram::waitForRest(int frames, double timeout) {
  return waitForEvents(
      [this, frames](const std::vector<std::string>& lines) {
        int keys = 0, drawn = 0;
        for (const std::string& e : lines) {
          keys += e.rfind("key ", 0) == 0 || e.rfind("mouse ", 0) == 0;
          drawn += drawsWhole(e);
        }
        return keys >= keysSent_ && drawn >= frames && !lines.empty() && lines.back() == "ready";
      },
      timeout);
}

std::string XvfbProgram::helper(const std::vector<std::string>& argv) {
  keysSent_ += keysTyped(argv);
  const Result r = run(argv, Launch{{"DISPLAY=" + display_}}, 20);
  if (r.status != 0) {
    std::string command;
    for (const std::string& a : argv) command += a + " ";
    fail(command + "failed with status " + std::to_string(r.status) + ": " + r.err);
  }
  return r.out;
}

std::string XvfbProgram::title() {
  const std::string out = helper({"xdotool", "getwindowname", window_});
  return out.substr(0, out.find('\n'));
}

long XvfbProgram::cpuTicks() const {
  std::ifstream stat("/proc/" + std::to_string(program_->pid()) + "/stat");
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

double XvfbProgram::ticksToSeconds(long ticks) {
  return double(ticks) / double(sysconf(_SC_CLK_TCK));
}

basin::Picture XvfbProgram::capture() {
  return readXwd(helper({"xwd", "-silent", "-id", window_}));
}

void XvfbProgram::pressAt(int x, int y, const std::string& key) {
  // The server handles one client's requests in order, so the pointer is in
  // place before the key arrives.
  helper({"xdotool", "mousemove", "--window", window_, std::to_string(x), std::to_string(y)});
  helper({"xdotool", "key", key});
}

void XvfbProgram::clickAt(int x, int y, int button) {
  helper({"xdotool", "mousemove", "--window", window_, std::to_string(x), std::to_string(y),
          "click", std::to_string(button)});
}

void XvfbProgram::dragAt(int x0, int y0, int x1, int y1, int button) {
  const std::string b = std::to_string(button);
  helper({"xdotool", "mousemove", "--window", window_, std::to_string(x0), std::to_string(y0),
          "mousedown", b, "mousemove", "--window", window_, std::to_string(x1), std::to_string(y1),
          "mouseup", b});
}

std::string XvfbProgram::pressAndWait(int x, int y, const std::string& key, bool drawsFrame) {
  const int frames = framesPrinted();
  pressAt(x, y, key);
  if (drawsFrame && !waitForFrames(frames + 1)) return "no frame was drawn after '" + key + "'";
  if (!waitForRest()) return "the program did not come to rest after '" + key + "'";
  return "";
}

}  // namespace support
