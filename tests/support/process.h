// Child processes for the tests: the programs under test, Xvfb and the X
// clients that drive it, all started, watched and ended one way.
//
// Everything a child needs is prepared before the fork, so a test may run
// other threads meanwhile. A child dies with the test process however that
// ends (PR_SET_PDEATHSIG), and one still running when its Child goes out of
// scope is ended and reaped.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace support {

using Clock = std::chrono::steady_clock;

// The moment `seconds` from now.
inline Clock::time_point after(double seconds) {
  return Clock::now() +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

// How a child starts beyond its arguments.
struct Launch {
  std::vector<std::string> environment = {};  // NAME=value, over the test's own
  std::string log = {};                       // standard output and error both to this file
  int stdoutFd = -1;                          // else standard output to this descriptor
  int stderrFd = -1;      // and standard error to this one; else both are captured
  int keepFd = -1;        // a descriptor of the test's that stays open in the child
  long fileLimit = 0;     // caps any file it writes (RLIMIT_FSIZE), as a full disk would
  bool asNobody = false;  // runs as user nobody, whom root's rights do not cover
};

// How a child ended, with what it wrote where that was captured.
struct Result {
  int status = -1;  // exit status, or -1 when a signal ended it
  int signal = 0;
  std::string out;
  std::string err;
};

class Child {
 public:
  // Starts argv[0] (looked up in PATH) with the rest of argv.
  explicit Child(const std::vector<std::string>& argv, const Launch& launch = {});
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child();

  pid_t pid() const { return pid_; }
  bool running();
  // Waits up to `seconds` for the child to end; true with its wait status.
  bool wait(double seconds, int* status);
  // Reads what it writes until it closes its output, then reaps it; after
  // `timeout` seconds it is killed and the test fails with an exception.
  Result finish(double timeout = 120);
  // SIGTERM, a short grace, then SIGKILL; always reaps.
  void stop();

 private:
  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = 0;
  int out_ = -1, err_ = -1;  // the captured ends, or -1
};

// Runs a child to its end and returns how it ended.
Result run(const std::vector<std::string>& argv, const Launch& launch = {}, double timeout = 120);

// The environment variable `name` as a whole number, or `fallback`.
unsigned long envNumber(const char* name, unsigned long fallback);

}  // namespace support
