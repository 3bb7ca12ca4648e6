#include "viewer/window/input.h"

#include <GL/freeglut.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "viewer/window/screen.h"
#include "viewer/window/state.h"

namespace basin {
namespace {

Pointer pointerAt(int x, int y) {
  return Pointer{x, y, glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT)};
}

// The view just drawn, as the command that prints it at any size. A reader
// that has gone (a closed pipe) ends the printing, not the viewer.
void printView() {
  Viewer& v = viewer();
  if (!v.printing) return;
  const std::string line = v.session->viewLine() + "\n";
  if (std::fputs(line.c_str(), stdout) == EOF || std::fflush(stdout) == EOF) v.printing = false;
}

// Where the left button went down, as the window shows that point now:
// the picture stretches over a resized window, so the press point moves
// with it, and a drag's two ends are measured against one window size.
Pointer pressedNow(const Pointer& now) {
  const Pointer& p = viewer().pressedAt;
  return Pointer{int(std::lround((p.x + 0.5) * now.width / p.width - 0.5)),
                 int(std::lround((p.y + 0.5) * now.height / p.height - 0.5)), now.width,
                 now.height};
}

// The square a drag in progress would mark, outlined over the background,
// in place of the live mark while the button is held: the very window the
// release would mark, or, where that one could not be drawn, the square
// the pointer spans.
void dragOutline(const Pointer& to) {
  const Window& v = viewer().session->current();
  const Pointer from = pressedNow(to);
  Window square{};
  if (!viewer().session->squareOf(from, to, &square)) {
    const PixelSquare pixels = draggedSquare(from, to);
    const double xstep = (v.xmax - v.xmin) / to.width;
    const double ystep = (v.ymax - v.ymin) / to.height;
    const double half = pixels.side / 2.0;
    square = Window{v.xmin + (pixels.x - half) * xstep, v.xmin + (pixels.x + half) * xstep,
                    v.ymax - (pixels.y + half) * ystep, v.ymax - (pixels.y - half) * ystep};
  }
  showSquare(square);
}

// An expose or a resize: the stored picture (even after a wipe) and the
// live mark drawn again, nothing computed; the pending window stays
// marked. A drag in progress shows its square again, as the pointer now
// spans it.
void showAgain() {
  Viewer& v = viewer();
  v.wiped = false;
  if (v.leftDown && v.dragging)
    dragOutline(pointerAt(v.draggedTo.x, v.draggedTo.y));
  else
    redrawMark();
  event("shown " + std::to_string(++v.shown));
}

// Ends the process at once, without the destructors of static objects: it
// may be called while a frame is in progress (keys are taken in between
// its rows), with the row workers still reading the program's state.
[[noreturn]] void quit() {
  std::fflush(nullptr);
  std::_Exit(0);
}

// A refused mark draws nothing; the person who typed it is told why.
void refused(const KeyPress& typed, const char* why) {
  std::fprintf(stderr, "%s: %s at (%d, %d) refused: %s\n", viewer().session->variant().name,
               keyName(typed.key), typed.at.x, typed.at.y, why);
  std::fflush(stderr);
}

// Runs one key through the key table (viewer/keys.h), which updates the
// view windows, and draws what it asks for. For `d` the table has already
// made the pending window current.
void runKey(const KeyPress& typed) {
  Viewer& v = viewer();
  const char* why = nullptr;
  switch (v.session->press(typed, &why)) {
    case Effect::Outline:
      box();
      break;
    case Effect::Frame:
      frame();
      printView();
      break;
    case Effect::Refused:
      // A refused mark leaves none pending: its outline goes, and a drag's
      // square with it.
      refused(typed, why);
      v.marked = v.marked && sameWindow(v.session->pending(), v.mark);
      redrawMark();
      break;
    case Effect::Wipe:
      wipe();
      break;
    case Effect::None:
      if (!sameWindow(v.session->pending(), v.mark)) unbox();
      break;
  }
}

// Runs the waiting keys in order. Before each one the event loop takes in
// what X has delivered since, so Escape typed behind a burst of keys ends
// the process at once, and the queue's limits apply to every key typed,
// not only to those that arrived during a slow frame. Keys taken in here
// or during a frame run here too, after what was before them.
void runKeys() {
  Viewer& v = viewer();
  if (v.runningKeys) return;  // called again from within the event loop
  v.runningKeys = true;
  KeyPress typed;
  glutMainLoopEvent();
  while (v.keys.pop(&typed)) {
    runKey(typed);
    v.keys.done();
    glutMainLoopEvent();
  }
  v.runningKeys = false;
  if (const long dropped = v.keys.takeDropped()) {
    std::fprintf(stderr, "%s: %ld actions dropped: at most %zu wait while frames are drawn\n",
                 v.session->variant().name, dropped, KeyQueue::CAPACITY);
    std::fflush(stderr);
  }
  event("ready");
}

// The start-up frame, unseen, then the window asked for, applied as `d`
// would: the registry meets the roots in the order of every session.
void startAt(const Window& window) {
  Viewer& v = viewer();
  v.drawing = true;
  v.session->render(GRID, &v.picture, v.rows, v.lanes);
  v.session->goTo(window);
  frame();
}

// Queues, as one action, the keys `action` stands for (MOUSE).
void queueAction(const MouseAction& action, const Pointer& at, const Pointer& to = Pointer{0, 0}) {
  const std::vector<KeyPress> presses = pressesOf(action, at, to);
  viewer().keys.push(presses.data(), presses.size());
}

}  // namespace

// Only the first exposure computes a frame; later ones show what is stored.
void display() {
  Viewer& v = viewer();
  if (v.drawing) return;  // the frame in progress covers the window
  if (v.frames == 0 && v.hasStart) {
    startAt(v.start);
    printView();
  } else if (v.frames == 0) {
    frame();
    printView();
  } else {
    showAgain();
  }
  runKeys();
}

// Every key taken in ends with runKeys when no frame is in progress, even
// one that queues nothing, so that "ready" follows it.
void keyboard(unsigned char key, int x, int y) {
  Viewer& v = viewer();
  event("key " + std::to_string(key));
  if (key == ESCAPE) quit();
  const bool repeat = v.repeatsMarked && !v.held.goesDown(key);  // held, not typed again
  if (!repeat) v.keys.push(KeyPress{key, pointerAt(x, y)});
  if (!v.drawing) runKeys();
}

void keyboardUp(unsigned char key, int, int) { viewer().held.release(key); }

// GLUT's buttons: 0 left, 1 middle, 2 right, and freeglut's wheel as 3 (up)
// and 4 (down), each turn a press and a release. The left button acts as
// it is released, a click or the end of a drag; the others as they go down.
// Like keys, the actions queue behind a frame in progress.
void mouse(int button, int state, int x, int y) {
  Viewer& v = viewer();
  event("mouse " + std::to_string(button) + (state == GLUT_DOWN ? " down" : " up"));
  const Pointer at = pointerAt(x, y);
  if (button == GLUT_LEFT_BUTTON && state == GLUT_DOWN) {
    v.leftDown = true;
    v.dragging = false;
    v.pressedAt = at;
  } else if (button == GLUT_LEFT_BUTTON && v.leftDown) {
    v.leftDown = false;
    // Where it ends decides, as in a key script: a drag that came back is a click.
    queueAction(*mouseAction("drag"), pressedNow(at), at);
  } else if (state == GLUT_DOWN && button != GLUT_LEFT_BUTTON) {
    if (const MouseAction* action = buttonAction(button)) queueAction(*action, at);
  }
  if (!v.drawing) runKeys();
}

// A left drag of DRAG_THRESHOLD pixels or more shows the square it marks.
void motion(int x, int y) {
  Viewer& v = viewer();
  if (!v.leftDown) return;
  const Pointer at = pointerAt(x, y);
  if (!isDrag(pressedNow(at), at) && !v.dragging) return;
  v.dragging = true;
  v.draggedTo = at;
  if (v.drawing) return;
  dragOutline(at);
  event("drag " + std::to_string(x) + " " + std::to_string(y));
}

// Function and arrow keys do nothing; they are taken in all the same.
void special(int key, int, int) {
  event("key special " + std::to_string(key));
  if (!viewer().drawing) runKeys();
}

// With the pointer gone, so is the focus (there may be no window manager),
// and with it the releases of the keys held.
void entry(int state) {
  if (state == GLUT_LEFT) viewer().held.releaseAll();
}

}  // namespace basin
