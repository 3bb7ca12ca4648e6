// The GLUT viewer's one process-wide state, shared by its parts: the
// window's drawing (screen.h), the input state machine (input.h) and the
// process's set-up (main.cpp). Created before GLUT calls any callback.
#pragma once

#include <memory>
#include <string>

#include "viewer/cockpit.h"
#include "viewer/keys.h"
#include "viewer/picture.h"
#include "viewer/session.h"
#include "viewer/window/printing.h"

namespace basin {

struct Viewer {
  Viewer(const Variant& variant, const RowPlan& plan)
      : session(openSession(variant)), lanes(plan.lanes), rows(plan.threads) {}

  std::unique_ptr<Session> session;      // the model, in the storage type chosen once
  Picture picture = blankPicture(GRID);  // the frame on screen, 8-bit as shown
  Cockpit cockpit;                       // what is drawn over it when asked for
  Picture composed;                      // the frame with that drawn over it
  Pointer pointer{GRID / 2, GRID / 2};   // where the pointer was last seen
  FrameFacts facts;                      // the last frame's size and time
  std::string saveDir = ".";             // where `s` writes
  std::unique_ptr<Printer> printer;      // `S`'s prints
  bool marked = false;                   // the live mark is outlined: `mark`
  Window mark{};                         // the pending window as last outlined
  bool wiped = false;                    // the screen is black since a wipe
  int held = -1;                         // the button held for a click or a drag, or -1
  Pointer pressedAt{0, 0};               // where it went down
  double pressX = 0, pressY = 0;         // and the point of the plane under it then
  Pointer draggedTo{0, 0};               // where a drag's pointer was last seen
  bool dragging = false;                 // it has moved DRAG_THRESHOLD pixels or more
  int glimpses = 0;                      // frames shown while panning, kept nowhere
  int reshapes = 0;                      // the window's size changes seen so far
  bool fullScreen = false;               // `f` made it so
  Size windowed;                         // the window's size before full screen
  bool hasStart = false;                 // opened on a window of the user's: `start`
  Window start{};
  bool drawing = false;        // a frame is in progress
  KeyQueue keys;               // keys waiting for the frame to end
  HeldKeys keysHeld;           // keys down, to tell repeats from presses
  bool repeatsMarked = false;  // repeats come as presses with no release between
  bool runningKeys = false;    // runKeys is taking keys from the queue
  bool printing = true;        // standard output still takes the view lines
  int events = -1;             // descriptor of the event lines, or -1
  int frames = 0;              // frames finished so far
  int shown = 0;               // times the stored picture was shown again
  LanePath lanes;              // the instruction set the rows are solved on
  RowSolver rows;              // last, so its workers stop before anything they read goes
};

// The viewer's state; opened once by openViewer.
Viewer& viewer();
void openViewer(const Variant& variant, const RowPlan& plan);

// One line for a program that drives the viewer and waits on what it has
// done (tests, scripts): "key CODE" for each key press taken in, "frame N"
// for each frame finished, "shown N" for each time the stored picture is
// shown again, "ready" once no key waits and no frame is drawn; "mouse
// BUTTON down|up" for each button, "drag X Y" for each square shown while
// dragging, "glimpse N" for each view shown while panning, "rows N" as a
// frame's first N rows are shown, "size W H" once a settled size has been
// taken (drawn, or refused with the reason on standard error). Written to the descriptor
// BASIN_EVENTS names, if any.
void event(const std::string& what);

}  // namespace basin
