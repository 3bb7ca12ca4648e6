// One real program under a private X server, driven the way a person would.
//
// An XvfbProgram starts its own Xvfb on a display it picks itself, so runs
// side by side never meet; starts the program there; finds its window and
// moves it to (0, 0), since without a window manager freeglut maps it at
// (-1, -1) and a capture would lose its top row and left column. The server
// and the window come from tools/xvfb.sh, the one way the project's
// scripts and tests do both. Keys go through xdotool with the pointer placed first: with no
// window manager the focus follows the pointer, and GLUT reports the
// pointer's real position. Captures come from xwd. Whatever happens, the
// program and the server end with the object, and with the test process.
//
// The program runs with BASIN_EVENTS=2: it reports on standard error each
// key it takes in ("event key CODE"), each mouse button going down or up
// ("event mouse BUTTON down"), each frame it finishes ("event frame
// N") and each time it has nothing left to do ("event ready"). The waits
// below go by those lines and by the keys sent through pressAt and helper,
// never by the clock, so they hold however loaded the machine is.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "viewer/picture.h"

namespace support {

// The pause between two looks at a program's output.
void pollPause();

class XvfbProgram {
 public:
  // Starts Xvfb and `program` (its path, then its arguments; `environment`
  // entries NAME=value added to the test's own) and waits until its window
  // is mapped at (0, 0). `name` labels the logs. Throws std::runtime_error
  // on failure.
  XvfbProgram(const std::string& name, const std::vector<std::string>& program,
              const std::vector<std::string>& environment = {},
              const std::string& screen = "1024x1024");

  // What the program has written so far, standard output and error.
  std::string output() const;
  // The views it has printed, one after each frame drawn by `d`.
  int framesPrinted() const;
  // Waits up to `timeout` for the program to have printed `frames` views.
  bool waitForFrames(int frames, double timeout = 30);

  // The event lines so far, without their "event " prefix.
  std::vector<std::string> events() const;
  // Whole pictures put on the screen so far: frames finished, the start-up
  // frame included, and the stored picture shown again on an expose.
  int framesDrawn() const;
  // Frames computed so far, the start-up frame included.
  int framesComputed() const;

  // Waits until the program has taken in every key sent so far, has
  // finished at least `frames` frames and has nothing left to do: whatever
  // the keys started is then on the screen. False after `timeout`, or if
  // the program has ended.
  bool waitForRest(int frames = 0, double timeout = 30);

  // Waits until the window is open and its first frame drawn.
  bool waitForStartUp() { return waitForRest(1); }

  // Waits up to `timeout` until `done` holds for the event lines.
  template <class Done>
  bool waitForEvents(Done done, double timeout = 30);

  // User plus system time of the program so far, in clock ticks.
  long cpuTicks() const;
  static double ticksToSeconds(long ticks);

  std::string title();

  // The window's present content, 8-bit RGB, top row first, of its size.
  basin::Picture capture();

  // Resizes the window to width x height (another size than its own) and
  // waits until the program has taken that size and come to rest.
  bool resizeWindow(int width, int height, double timeout = 30);

  // Moves the pointer to window pixel (x, y), then types `key` (an xdotool
  // key name such as "z", "Z", "Escape", "space").
  void pressAt(int x, int y, const std::string& key);

  // Moves the pointer to window pixel (x, y) and clicks X's `button` there
  // (1 left, 2 middle, 3 right, 4 and 5 the wheel up and down).
  void clickAt(int x, int y, int button);
  // Drags with X's `button` (1 left, 2 middle) from (x0, y0) to (x1, y1).
  void dragAt(int x0, int y0, int x1, int y1, int button = 1);
  // pressAt, then waits for the program to rest; for a key that draws a
  // frame, first for the view it prints once the frame is on the screen.
  // Empty, or what did not happen.
  std::string pressAndWait(int x, int y, const std::string& key, bool drawsFrame);
  // Keys and mouse buttons sent so far, through pressAt, clickAt, dragAt
  // and helper.
  int keysSent() const { return keysSent_; }

  // Waits up to `seconds` for the program to end; true with its wait status.
  bool waitForExit(double seconds, int* status) { return program_->wait(seconds, status); }
  bool running() { return program_->running(); }

  const std::string& window() const { return window_; }
  // Runs a client such as xdotool on the display; its stdout. Throws on
  // failure. The keys an xdotool command types are counted as sent.
  std::string helper(const std::vector<std::string>& argv);

 private:
  std::string name_;
  std::string display_;
  std::string window_;
  std::unique_ptr<Child> xvfb_;
  std::unique_ptr<Child> program_;
  int keysSent_ = 0;
};

template <class Done>
bool XvfbProgram::waitForEvents(Done done, double timeout) {
  const Clock::time_point deadline = after(timeout);
  while (!done(events())) {
    if (Clock::now() > deadline || !program_->running()) return false;
    pollPause();
  }
  return true;
}

}  // namespace support
