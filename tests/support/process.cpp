#include "tests/support/process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace support {
namespace {

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

}  // namespace

Child::Child(const std::vector<std::string>& argv, const Launch& launch) {
  std::vector<std::string> args = argv, env = environmentWith(launch.environment);
  std::vector<char*> argp = pointers(args), envp = pointers(env);
  const rlimit limit{rlim_t(launch.fileLimit), rlim_t(launch.fileLimit)};
  int log = -1, out[2] = {-1, -1}, err[2] = {-1, -1};
  if (!launch.log.empty()) {
    log = open(launch.log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (log < 0) throw std::runtime_error("cannot write " + launch.log);
  } else if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  const int stdoutFd = log >= 0 ? log : launch.stdoutFd >= 0 ? launch.stdoutFd : out[1];
  const int stderrFd = log >= 0 ? log : launch.stderrFd >= 0 ? launch.stderrFd : err[1];
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    const int nothing = open("/dev/null", O_RDONLY);
    dup2(nothing, 0);
    dup2(stdoutFd, 1);
    dup2(stderrFd, 2);
    if (launch.keepFd >= 0) fcntl(launch.keepFd, F_SETFD, 0);
    if (launch.fileLimit > 0) setrlimit(RLIMIT_FSIZE, &limit);
    if (launch.asNobody) {
      // Opened while still root: the build may lie in a folder nobody
      // cannot search (a private temporary clone, say).
      const int program = open(argp[0], O_PATH | O_CLOEXEC);
      if (program < 0 || setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
        _exit(126);
      fexecve(program, argp.data(), envp.data());
      _exit(127);
    }
    execvpe(argp[0], argp.data(), envp.data());
    _exit(127);
  }
  for (const int fd : {log, out[1], err[1]})
    if (fd >= 0) close(fd);
  if (pid < 0) throw std::runtime_error("fork failed");
  pid_ = pid;
  out_ = out[0];
  err_ = err[0];
}

Child::~Child() {
  stop();
  for (const int fd : {out_, err_})
    if (fd >= 0) close(fd);
}

bool Child::running() {
  if (pid_ < 0 || ended_) return false;
  if (waitpid(pid_, &status_, WNOHANG) == pid_) ended_ = true;
  return !ended_;
}

bool Child::wait(double seconds, int* status) {
  const Clock::time_point deadline = after(seconds);
  while (running() && Clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
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

Result Child::finish(double timeout) {
  Result result;
  const Clock::time_point deadline = after(timeout);
  pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = (out_ >= 0) + (err_ >= 0);
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
  out_ = fds[0].fd;
  err_ = fds[1].fd;
  int status = 0;
  if (open > 0 || !wait(timeout, &status)) {
    stop();
    throw std::runtime_error("a child did not finish within " + std::to_string(timeout) + " s");
  }
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

Result run(const std::vector<std::string>& argv, const Launch& launch, double timeout) {
  Child child(argv, launch);
  return child.finish(timeout);
}

unsigned long envNumber(const char* name, unsigned long fallback) {
  const char* text = std::getenv(name);
  return text && *text ? std::strtoul(text, nullptr, 10) : fallback;
}

}  // namespace support
