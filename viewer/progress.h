// basinshot's progress line.
#pragma once

#include <chrono>
#include <cstdio>

namespace basin {

// One line on a terminal's stderr that says how far the work has come:
// shown once it has taken a second, redrawn a few times a second, and
// cleared at the end.
class Progress {
 public:
  void update(long done, long total) {
    const Clock::time_point now = Clock::now();
    if (now - shown_ < std::chrono::milliseconds(250) || now - start_ < std::chrono::seconds(1))
      return;
    shown_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const double left = elapsed * double(total - done) / double(done);
    std::fprintf(stderr, "\rbasinshot: %ld of %ld rows, %.0f s, about %.0f s left\033[K", done,
                 total, elapsed, left);
    visible_ = true;
  }

  // Clears the line, so that what follows on stderr starts at its left.
  void clear() {
    if (visible_) std::fputs("\r\033[K", stderr);
    visible_ = false;
  }

 private:
  using Clock = std::chrono::steady_clock;
  Clock::time_point start_ = Clock::now();
  Clock::time_point shown_{};
  bool visible_ = false;
};

}  // namespace basin
