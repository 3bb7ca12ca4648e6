// A viewer running under its own Xvfb, driven by xdotool and captured by
// xwd, for comparing what the window shows with basinshot's pictures.
#pragma once

#include <sys/types.h>

#include <string>

#include "tests/shot/raster.h"

namespace basin {

class XSession {
 public:
  // Starts Xvfb on a free display and `program` in it, moves the window to
  // (0, 0) and waits for the start-up frame to finish.
  explicit XSession(const std::string& program);
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  // Types a key with the pointer at window pixel (x, y), then waits until
  // the viewer has finished drawing.
  void key(char key, int x = 400, int y = 400);

  // The window's 800 x 800 pixels as shown now.
  Raster capture();

 private:
  void waitIdle(long long before);

  pid_t xvfb_ = -1;
  pid_t viewer_ = -1;
  std::string display_;
  std::string window_;
};

}  // namespace basin
