#include "viewer/window/input.h"

#include <GL/freeglut.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "png/numbered.h"
#include "viewer/window/screen.h"
#include "viewer/window/state.h"

namespace basin {
namespace {

// How long a window's size must stay put before its frame is solved at
// that size: a drag of its border sends sizes all along.
constexpr int SETTLE_MS = 100;

Size windowSize() { return Size{glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT)}; }

Pointer pointerAt(int x, int y) {
  const Size size = windowSize();
  return Pointer{x, y, size.width, size.height};
}

// The view just drawn, as the command that prints it at any size. A reader
// that has gone (a closed pipe) ends the printing, not the viewer.
void printView() {
  Viewer& v = viewer();
  if (!v.printing) return;
  const std::string line = v.session->viewLine() + "\n";
  if (std::fputs(line.c_str(), stdout) == EOF || std::fflush(stdout) == EOF) v.printing = false;
}

// Where the button went down, as the window shows that point now: the
// point of the plane under it then, in the pixels of the view and window
// size of now. Until a new size has settled the picture is stretched over
// the window, and the press point moves with it; after, it sits where the
// new frame draws that point. Either way a drag's two ends are measured in
// one window.
Pointer pressedNow(const Pointer& now) {
  const Viewer& v = viewer();
  const Window& w = v.session->current();
  const double x = (v.pressX - w.xmin) / (w.xmax - w.xmin) * now.width;
  const double y = (w.ymax - v.pressY) / (w.ymax - w.ymin) * now.height;
  return Pointer{int(std::lround(x)), int(std::lround(y)), now.width, now.height};
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

// While a pan is dragged the view follows the pointer: each glimpse draws
// the view of the pointer's latest position, those that came during it
// merged into the next. Glimpses are kept nowhere: the registry, the
// history and the view line see only the pan's release.
void followPan() {
  Viewer& v = viewer();
  while (v.held == GLUT_MIDDLE_BUTTON && v.dragging && !v.drawing) {
    const Pointer to = v.draggedTo;
    Window view{};
    if (!v.session->panned(pressedNow(to), to, &view)) return;
    glimpse(view);
    event("glimpse " + std::to_string(++v.glimpses));
    if (v.draggedTo.x == to.x && v.draggedTo.y == to.y) return;
  }
}

// An expose or a resize: the stored picture (even after a wipe) and the
// live mark drawn again, nothing computed; the pending window stays
// marked. A drag in progress shows its square again, as the pointer now
// spans it.
void showAgain() {
  Viewer& v = viewer();
  v.wiped = false;
  if (v.held == GLUT_LEFT_BUTTON && v.dragging)
    dragOutline(pointerAt(v.draggedTo.x, v.draggedTo.y));
  else
    redrawMark();
  event("shown " + std::to_string(++v.shown));
}

// A frame that moved no mark (a resize, a pan, a wheel notch) covers what
// is still marked: a square being dragged, or a pending window not yet
// applied, each shown again over it.
void showMarksAgain() {
  Viewer& v = viewer();
  if (v.held == GLUT_LEFT_BUTTON && v.dragging)
    dragOutline(pointerAt(v.draggedTo.x, v.draggedTo.y));
  else if (!sameWindow(v.session->pending(), v.session->current()))
    box();
}

// Ends the process at once, without the destructors of static objects: it
// may be called while a frame is in progress (keys are taken in between
// its rows), with the row workers still reading the program's state.
[[noreturn]] void quit() {
  std::fputs(viewer().printer->atExit().c_str(), stderr);
  std::fflush(nullptr);
  std::_Exit(0);
}

// A refused mark draws nothing; the person who typed it is told why.
void refused(const KeyPress& typed, const char* why) {
  if (typed.key == RESIZE) {
    std::fprintf(stderr, "%s: the view at %d x %d refused, the last picture stays: %s\n",
                 viewer().session->variant().name, typed.at.width, typed.at.height, why);
    std::fflush(stderr);
    return;
  }
  std::fprintf(stderr, "%s: %s at (%d, %d) refused: %s\n", viewer().session->variant().name,
               keyName(typed.key), typed.at.x, typed.at.y, why);
  std::fflush(stderr);
}

// Lines for standard error, flushed: the person at the window reads them.
void say(const std::string& text) {
  if (text.empty()) return;
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
}

// How often a print under way is looked in on.
constexpr int PRINT_POLL_MS = 100;

// Looks in on the print under way, and again later while one is.
void pollPrints(int) {
  Printer& printer = *viewer().printer;
  const std::string said = printer.poll();
  say(said);
  if (said.find("printed ") != std::string::npos) event("printed");
  if (printer.busy()) glutTimerFunc(PRINT_POLL_MS, pollPrints, 0);
}

// `s`: the stored frame, as it is, without what lies over it.
void save() {
  Viewer& v = viewer();
  std::string path;
  const ImageRows image{v.picture.rgb.data(), v.picture.width, v.picture.height,
                        std::size_t(v.picture.width) * 3};
  const std::string fault = saveNumbered(image, v.saveDir, &path);
  say(v.session->variant().name + std::string(": ") +
      (fault.empty() ? "saved " + path : "cannot save: " + fault) + "\n");
  if (fault.empty()) printView();
  event("saved");
}

// `i`, `o`, `0`, `?`: the cockpit changes, shown at once; `o` tells the
// run's steps on standard error.
void showCockpit(const KeyPress& typed) {
  Viewer& v = viewer();
  SampleProbe run;
  v.cockpit.apply(typed.key, typed.at, *v.session, &run);
  if (typed.key == 'o') say(describeRun(run, v.session->variant().precision));
  redrawMark();
}

// `f`: the whole screen, or back to the window's size before it.
void toggleFullScreen() {
  Viewer& v = viewer();
  if (!v.fullScreen) {
    v.windowed = windowSize();
    glutFullScreen();
  } else {
    glutLeaveFullScreen();
    glutReshapeWindow(v.windowed.width, v.windowed.height);
  }
  v.fullScreen = !v.fullScreen;
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
      showMarksAgain();
      break;
    case Effect::Refused:
      // A refused mark leaves none pending: its outline goes, and a drag's
      // square with it. A size the view cannot be drawn at keeps the last
      // picture, stretched.
      refused(typed, why);
      v.marked = v.marked && sameWindow(v.session->pending(), v.mark);
      redrawMark();
      break;
    case Effect::Wipe:
      wipe();
      break;
    case Effect::FullScreen:
      toggleFullScreen();
      break;
    case Effect::Overlay:
      showCockpit(typed);
      break;
    case Effect::Save:
      save();
      break;
    case Effect::Print: {
      const bool idle = !v.printer->busy();
      say(v.printer->request(*v.session));
      if (idle && v.printer->busy()) glutTimerFunc(PRINT_POLL_MS, pollPrints, 0);
      break;
    }
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
  do {
    while (v.keys.pop(&typed)) {
      runKey(typed);
      if (typed.key == RESIZE)
        event("size " + std::to_string(typed.at.width) + " " + std::to_string(typed.at.height));
      v.keys.done();
      glutMainLoopEvent();
    }
    // A pan's glimpses take in events too, its release among them.
    followPan();
  } while (!v.keys.empty());
  v.runningKeys = false;
  if (const long dropped = v.keys.takeDropped()) {
    std::fprintf(stderr, "%s: %ld actions dropped: at most %zu wait while frames are drawn\n",
                 v.session->variant().name, dropped, KeyQueue::CAPACITY);
    std::fflush(stderr);
  }
  event("ready");
}

// The start-up frame comes first, on the 800 x 800 grid whatever the
// window's size, so that the registry meets the roots in the order of
// every session; it is shown only when the window is that size. Then the
// window asked for, or the start-up view, at the window's size.
void startUp() {
  Viewer& v = viewer();
  const Size size = windowSize();
  const bool unseen = v.hasStart || size != Size{};
  if (unseen) {
    v.drawing = true;
    v.session->render(&v.picture, v.rows, v.lanes);
    v.session->resize(size);
    if (v.hasStart) v.session->goTo(v.start);
  }
  frame();
  printView();
}

// Queues, as one action, the keys `action` stands for (MOUSE).
void queueAction(const MouseAction& action, const Pointer& at, const Pointer& to = Pointer{0, 0}) {
  const std::vector<KeyPress> presses = pressesOf(action, at, to);
  viewer().keys.push(presses.data(), presses.size());
}

// A size that has stayed put SETTLE_MS: the frame at that size, queued
// behind whatever waits. `count` tells a later resize from this one.
void settled(int count) {
  Viewer& v = viewer();
  if (count != v.reshapes || v.frames == 0 || windowSize() == v.session->size()) return;
  const Size size = windowSize();
  v.keys.push(KeyPress{RESIZE, Pointer{0, 0, size.width, size.height}});
  if (!v.drawing) runKeys();
}

}  // namespace

// Only the first exposure computes a frame; later ones show what is stored.
void display() {
  Viewer& v = viewer();
  if (v.drawing) return;  // the frame in progress covers the window
  if (v.frames == 0)
    startUp();
  else
    showAgain();
  runKeys();
}

// GL draws over the whole window; the picture stays as it is, stretched,
// until the size settles.
void reshape(int width, int height) {
  glViewport(0, 0, width, height);
  glutTimerFunc(SETTLE_MS, settled, ++viewer().reshapes);
}

// Every key taken in ends with runKeys when no frame is in progress, even
// one that queues nothing, so that "ready" follows it.
void keyboard(unsigned char key, int x, int y) {
  Viewer& v = viewer();
  event("key " + std::to_string(key));
  if (key == ESCAPE) quit();
  v.pointer = pointerAt(x, y);
  const bool repeat = v.repeatsMarked && !v.keysHeld.goesDown(key);  // held, not typed again
  if (!repeat) v.keys.push(KeyPress{key, pointerAt(x, y)});
  if (!v.drawing) runKeys();
}

void keyboardUp(unsigned char key, int, int) { viewer().keysHeld.release(key); }

// GLUT's buttons: 0 left, 1 middle, 2 right, and freeglut's wheel as 3 (up)
// and 4 (down), each turn a press and a release. The left and middle
// buttons act as they are released: a click, or the end of a drag (the
// left's square, the middle's pan); the others as they go down. Like keys,
// the actions queue behind a frame in progress.
void mouse(int button, int state, int x, int y) {
  Viewer& v = viewer();
  event("mouse " + std::to_string(button) + (state == GLUT_DOWN ? " down" : " up"));
  const Pointer at = pointerAt(x, y);
  v.pointer = at;
  const MouseAction* drag = dragAction(button);
  if (drag != nullptr && state == GLUT_DOWN && v.held < 0) {
    v.held = button;
    v.dragging = false;
    v.pressedAt = at;
    v.session->pointAt(at, &v.pressX, &v.pressY);
  } else if (drag != nullptr && state == GLUT_UP && v.held == button) {
    v.held = -1;
    // Where it ends decides, as in a key script: a drag that came back is a click.
    queueAction(*drag, pressedNow(at), at);
  } else if (drag == nullptr && state == GLUT_DOWN) {
    if (const MouseAction* action = buttonAction(button)) queueAction(*action, at);
  }
  if (!v.drawing) runKeys();
}

// A drag of DRAG_THRESHOLD pixels or more: the left button's shows the
// square it marks, the middle one's moves the view.
void motion(int x, int y) {
  Viewer& v = viewer();
  if (v.held < 0) return;
  const Pointer at = pointerAt(x, y);
  if (!isDrag(pressedNow(at), at) && !v.dragging) return;
  v.dragging = true;
  v.draggedTo = at;
  if (v.drawing) return;
  if (v.held == GLUT_MIDDLE_BUTTON) {
    followPan();
    return runKeys();  // a release taken in meanwhile
  }
  dragOutline(at);
  event("drag " + std::to_string(x) + " " + std::to_string(y));
}

// The arrow keys move the view; other function keys do nothing. All are
// taken in.
void special(int key, int x, int y) {
  Viewer& v = viewer();
  event("key special " + std::to_string(key));
  const int arrows[][2] = {{GLUT_KEY_LEFT, ARROW_LEFT},
                           {GLUT_KEY_RIGHT, ARROW_RIGHT},
                           {GLUT_KEY_UP, ARROW_UP},
                           {GLUT_KEY_DOWN, ARROW_DOWN}};
  for (const auto& arrow : arrows)
    if (key == arrow[0]) v.keys.push(KeyPress{arrow[1], pointerAt(x, y)});
  if (!v.drawing) runKeys();
}

// The pointer moving with no button held: the information panel, when
// shown, describes the sample under it, without solving a frame.
void passiveMotion(int x, int y) {
  Viewer& v = viewer();
  v.pointer = pointerAt(x, y);
  if (!v.drawing && !v.wiped && v.cockpit.showsInfo()) redrawMark();
}

void closed() { quit(); }

// With the pointer gone, so is the focus (there may be no window manager),
// and with it the releases of the keys held.
void entry(int state) {
  if (state == GLUT_LEFT) viewer().keysHeld.releaseAll();
}

}  // namespace basin
