#include "viewer/window/printing.h"

#include <fcntl.h>
#include <limits.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "png/numbered.h"
#include "viewer/command_line.h"

extern char** environ;

namespace basin {
namespace {

std::string sizeText(Size size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

// basinshot beside the viewer's own executable, as the build and an
// installation place them; else the one on the PATH.
std::string basinshotPath() {
  char self[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length > 0) {
    std::string path(self, std::size_t(length));
    path = path.substr(0, path.rfind('/') + 1) + "basinshot";
    if (access(path.c_str(), X_OK) == 0) return path;
  }
  return "basinshot";
}

}  // namespace

Size placeablePrint(const Session& session, const Window& window, Size asked) {
  const Size largest = session.largestPlaceable(window, asked);
  const double scale =
      std::min(double(largest.width) / asked.width, double(largest.height) / asked.height);
  if (scale >= 1) return asked;
  return Size{std::max(1, int(asked.width * scale)), std::max(1, int(asked.height * scale))};
}

Printer::Printer(std::string program, std::string folder, Size size)
    : program_(std::move(program)), folder_(std::move(folder)), size_(size) {}

std::string Printer::request(const Session& session) {
  const Size window = session.size();
  Size asked = size_.width > 0 ? size_
                               : Size{std::min(4 * window.width, MAX_PRINT_SIDE),
                                      std::min(4 * window.height, MAX_PRINT_SIDE)};
  Job job{session.viewArguments(), "", placeablePrint(session, session.current(), asked)};
  std::string said;
  if (job.size != asked)
    said = program_ + ": " + storageName(session.variant().precision) + " cannot place " +
           sizeText(asked) + " samples across this view: printing it at " + sizeText(job.size) +
           "\n";
  if (child_ > 0) {
    waiting_.push_back(std::move(job));
    return said + program_ + ": a print is under way: this one waits its turn (" +
           std::to_string(waiting_.size()) + " waiting)\n";
  }
  return said + start(std::move(job));
}

std::string Printer::start(Job job) {
  if (const std::string fault = claimNumbered(folder_, &job.path); !fault.empty())
    return program_ + ": cannot print: " + fault + "\n";
  std::vector<std::string> words = {basinshotPath()};
  words.insert(words.end(), job.arguments.begin(), job.arguments.end());
  words.insert(words.end(), {"--size", sizeText(job.size), "-o", job.path});
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int fault = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (fault != 0) {
    unlink(job.path.c_str());
    return program_ + ": cannot start basinshot: " + std::strerror(fault) + "\n";
  }
  child_ = pid;
  running_ = std::move(job);
  return program_ + ": printing the view at " + sizeText(running_.size) + " to " + running_.path +
         "\n";
}

std::string Printer::poll() {
  if (child_ <= 0) return "";
  int status = 0;
  if (waitpid(child_, &status, WNOHANG) != child_) return "";
  child_ = -1;
  std::string said;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    said = program_ + ": printed " + running_.path + "\n";
  } else {
    unlink(running_.path.c_str());  // basinshot leaves nothing of its own behind
    said = program_ + ": the print to " + running_.path + " failed\n";
  }
  while (!waiting_.empty() && child_ <= 0) {
    Job next = std::move(waiting_.front());
    waiting_.pop_front();
    said += start(std::move(next));
  }
  return said;
}

std::string Printer::atExit() const {
  std::string said;
  if (child_ > 0) said = program_ + ": the print to " + running_.path + " finishes on its own\n";
  if (!waiting_.empty())
    said += program_ + ": " + std::to_string(waiting_.size()) +
            " prints that had not started are dropped\n";
  return said;
}

}  // namespace basin
