#include "viewer/viewer.h"

#define GL_GLEXT_PROTOTYPES  // glWindowPos2i, core since GL 1.4
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/version.h"
#include "viewer/arguments.h"
#include "viewer/autorepeat.h"
#include "viewer/keys.h"
#include "viewer/picture.h"
#include "viewer/replay.h"
#include "viewer/rootlist.h"

namespace basin {
namespace {

const char* const TITLE = " Basinscope,  By Quorvel ";
// How often a frame in progress shows its finished rows and lets the event
// loop take in keys: often enough that Escape ends a slow frame at once.
constexpr auto PROGRESS_INTERVAL = std::chrono::milliseconds(100);

// The one process-wide state, created by runViewer before any callback.
struct Viewer {
  Viewer(const Variant& variant, const RowPlan& plan)
      : basin(variant), lanes(plan.lanes), rows(plan.threads) {
    setup(basin);
  }

  Basin basin;
  Picture picture = blankPicture(GRID);  // the frame on screen, 8-bit as shown
  bool marked = false;                   // the live mark is outlined: `mark`
  Window mark{};                         // the pending window as last outlined
  bool wiped = false;                    // the screen is black since a wipe
  bool leftDown = false;                 // the left button is held: a click or a drag
  Pointer pressedAt{0, 0};               // where it went down
  Pointer draggedTo{0, 0};               // where a drag's pointer was last seen
  bool dragging = false;                 // it has moved DRAG_THRESHOLD pixels or more
  bool hasStart = false;                 // opened on a window of the user's: `start`
  Window start{};
  bool drawing = false;        // a frame is in progress
  KeyQueue keys;               // keys waiting for the frame to end
  HeldKeys held;               // keys down, to tell repeats from presses
  bool repeatsMarked = false;  // repeats come as presses with no release between
  bool runningKeys = false;    // runKeys is taking keys from the queue
  bool printing = true;        // standard output still takes the view lines
  int events = -1;             // descriptor of the event lines, or -1
  int frames = 0;              // frames finished so far
  int shown = 0;               // times the stored picture was shown again
  LanePath lanes;              // the instruction set the rows are solved on
  RowSolver rows;              // last, so its workers stop before anything they read goes
};
std::unique_ptr<Viewer> VIEWER;

// One line for a program that drives the viewer and waits on what it has
// done (tests, scripts): "key CODE" for each key press taken in, "frame N"
// for each frame finished, "ready" once no key waits and no frame is drawn;
// "mouse BUTTON down|up" for each button, "drag X Y" for each square shown
// while dragging.
void event(const std::string& what) {
  if (VIEWER->events < 0) return;
  const std::string line = "event " + what + "\n";
  if (write(VIEWER->events, line.data(), line.size()) < 0) VIEWER->events = -1;
}

// The window's share of the current view, 0 ... 1 on each axis: GL keeps
// its matrices in float, which cannot tell apart the edges of a view zoomed
// as deep as doubles go, so outlines are placed relative to the view, in
// double (`onScreen`), before GL sees them.
void projection() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluOrtho2D(0, 1, 0, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

// A point of the plane as a share of the current view, for GL.
void vertexAt(double x, double y) {
  const Views& v = VIEWER->basin.views;
  glVertex2d((x - v.XMIN()) / (v.XMAX() - v.XMIN()), (y - v.YMIN()) / (v.YMAX() - v.YMIN()));
}

// Shows the first `rows` rows of the picture, the sample of column i, row j
// (from 1) in the cell (i - 1, j - 1) of the window's 800 x 800 grid, each
// cell stretched over its share of a resized window. The image is drawn
// from the top, so a later, longer prefix covers the earlier one whatever
// the stretch, and rows not yet finished keep what the window showed.
void showRows(int rows) {
  const int width = glutGet(GLUT_WINDOW_WIDTH);
  const int height = glutGet(GLUT_WINDOW_HEIGHT);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelZoom(float(width) / GRID, -float(height) / GRID);
  glWindowPos2i(0, height);
  glDrawPixels(GRID, rows, GL_RGB, GL_UNSIGNED_BYTE, VIEWER->picture.rgb.data());
}

// Draws the current window. While it runs, the finished rows go to the
// screen and the event loop runs about ten times a second, and once more at
// the end however fast the frame was: keys typed meanwhile wait in the
// queue (Escape ends the process at once), and a request to draw the window
// is already being met.
void frame() {
  using Clock = std::chrono::steady_clock;
  VIEWER->drawing = true;
  auto lastShown = Clock::now();
  VIEWER->marked = VIEWER->wiped = false;  // the frame covers the mark and the black
  renderPicture(VIEWER->basin, GRID, &VIEWER->picture, VIEWER->rows, VIEWER->lanes,
                [&lastShown](int rows) {
                  if (Clock::now() - lastShown < PROGRESS_INTERVAL) return;
                  showRows(rows);
                  glFlush();
                  glutMainLoopEvent();
                  lastShown = Clock::now();
                });
  // The last intake comes before the whole picture is shown, which then
  // also meets any request to draw the window taken in meanwhile.
  glutMainLoopEvent();
  showRows(GRID);
  glFlush();
  event("frame " + std::to_string(++VIEWER->frames));
  VIEWER->drawing = false;
}

// The view just drawn, as the command that prints it at any size. A reader
// that has gone (a closed pipe) ends the printing, not the viewer.
void printView() {
  if (!VIEWER->printing) return;
  const std::string line = shotCommand(VIEWER->basin) + "\n";
  if (std::fputs(line.c_str(), stdout) == EOF || std::fflush(stdout) == EOF)
    VIEWER->printing = false;
}

// White outline of `w` over the picture, placed in the current window.
void outline(const Window& w) {
  glColor3f(1, 1, 1);
  glBegin(GL_LINE_STRIP);
  vertexAt(w.xmax, w.ymax);
  vertexAt(w.xmax, w.ymin);
  vertexAt(w.xmin, w.ymin);
  vertexAt(w.xmin, w.ymax);
  vertexAt(w.xmax, w.ymax);
  glEnd();
}

// What lies under any outline: the stored picture, or black after a wipe.
void background() {
  if (!VIEWER->wiped) return showRows(GRID);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
}

// Outlines the pending window, the live mark, over the background alone:
// an earlier outline goes, since only the last mark counts.
void box() {
  background();
  VIEWER->marked = true;
  VIEWER->mark = VIEWER->basin.views.pending;
  outline(VIEWER->mark);
  glFlush();
}

// A mark with no outline (Z's, r's) leaves none of an earlier mark's.
void unbox() {
  if (!VIEWER->marked) return;
  VIEWER->marked = false;
  background();
  glFlush();
}

// The stored picture stays: an expose shows it again.
void wipe() {
  VIEWER->marked = false;
  VIEWER->wiped = true;
  background();
  glFlush();
}

// The background with the live mark over it, and nothing else.
void redrawMark() {
  background();
  if (VIEWER->marked) outline(VIEWER->mark);
  glFlush();
}

// An expose or a resize: the stored picture (even after a wipe) and the
// live mark drawn again, nothing computed; the pending window stays marked.
void dragOutline(const Pointer& to);
Pointer pointerAt(int x, int y);

// Where the left button went down, as the window shows that point now:
// the picture stretches over a resized window, so the press point moves
// with it, and a drag's two ends are measured against one window size.
Pointer pressedNow(const Pointer& now) {
  const Pointer& p = VIEWER->pressedAt;
  return Pointer{int(std::lround((p.x + 0.5) * now.width / p.width - 0.5)),
                 int(std::lround((p.y + 0.5) * now.height / p.height - 0.5)), now.width,
                 now.height};
}

// A drag in progress shows its square again, as the pointer now spans it.
void showAgain() {
  VIEWER->wiped = false;
  if (VIEWER->leftDown && VIEWER->dragging)
    dragOutline(pointerAt(VIEWER->draggedTo.x, VIEWER->draggedTo.y));
  else
    redrawMark();
  event("shown " + std::to_string(++VIEWER->shown));
}

// The square a drag in progress would mark, outlined over the background,
// in place of the live mark while the button is held: the very window the
// release would mark, or, where that one could not be drawn, the square
// the pointer spans.
void dragOutline(const Pointer& to) {
  const Views& v = VIEWER->basin.views;
  Views probe;
  probe.precision = v.precision;
  probe.current = v.current;
  Window square{};
  const Pointer from = pressedNow(to);
  if (markSquare(probe, from, to)) {
    square = probe.pending;
  } else {
    const PixelSquare pixels = draggedSquare(from, to);
    const double xstep = (v.XMAX() - v.XMIN()) / to.width;
    const double ystep = (v.YMAX() - v.YMIN()) / to.height;
    const double half = pixels.side / 2.0;
    square = Window{v.XMIN() + (pixels.x - half) * xstep, v.XMIN() + (pixels.x + half) * xstep,
                    v.YMAX() - (pixels.y + half) * ystep, v.YMAX() - (pixels.y - half) * ystep};
  }
  background();
  outline(square);
  glFlush();
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
  std::fprintf(stderr, "%s: %s at (%d, %d) refused: %s\n", VIEWER->basin.variant.name,
               keyName(typed.key), typed.at.x, typed.at.y, why);
  std::fflush(stderr);
}

// Runs one key through the key table (viewer/keys.h), which updates the
// view windows, and draws what it asks for. For `d` the table has already
// made the pending window current; the projection follows it before the
// frame.
void runKey(const KeyPress& typed) {
  const char* why = nullptr;
  switch (applyPress(VIEWER->basin.views, typed, &why)) {
    case Effect::Outline:
      box();
      break;
    case Effect::Frame:
      projection();
      frame();
      printView();
      break;
    case Effect::Refused:
      // A refused mark leaves none pending: its outline goes, and a drag's
      // square with it.
      refused(typed, why);
      VIEWER->marked = VIEWER->marked && sameWindow(VIEWER->basin.views.pending, VIEWER->mark);
      redrawMark();
      break;
    case Effect::Wipe:
      wipe();
      break;
    case Effect::None:
      if (!sameWindow(VIEWER->basin.views.pending, VIEWER->mark)) unbox();
      break;
  }
}

// Runs the waiting keys in order. Before each one the event loop takes in
// what X has delivered since, so Escape typed behind a burst of keys ends
// the process at once, and the queue's limits apply to every key typed,
// not only to those that arrived during a slow frame. Keys taken in here
// or during a frame run here too, after what was before them.
void runKeys() {
  if (VIEWER->runningKeys) return;  // called again from within the event loop
  VIEWER->runningKeys = true;
  KeyPress typed;
  glutMainLoopEvent();
  while (VIEWER->keys.pop(&typed)) {
    runKey(typed);
    VIEWER->keys.done();
    glutMainLoopEvent();
  }
  VIEWER->runningKeys = false;
  if (const long dropped = VIEWER->keys.takeDropped()) {
    std::fprintf(stderr, "%s: %ld actions dropped: at most %zu wait while frames are drawn\n",
                 VIEWER->basin.variant.name, dropped, KeyQueue::CAPACITY);
    std::fflush(stderr);
  }
  event("ready");
}

// The start-up frame, unseen, then the window asked for, applied as `d`
// would: the registry meets the roots in the order of every session.
void startAt(const Window& window) {
  VIEWER->drawing = true;
  renderPicture(VIEWER->basin, GRID, &VIEWER->picture, VIEWER->rows, VIEWER->lanes);
  markWindow(VIEWER->basin.views, window);
  changewin(VIEWER->basin.views);
  projection();
  frame();
}

// Only the first exposure computes a frame; later ones show what is stored.
void display() {
  if (VIEWER->drawing) return;  // the frame in progress covers the window
  if (VIEWER->frames == 0 && VIEWER->hasStart) {
    startAt(VIEWER->start);
    printView();
  } else if (VIEWER->frames == 0) {
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
  event("key " + std::to_string(key));
  if (key == ESCAPE) quit();
  const bool repeat =
      VIEWER->repeatsMarked && !VIEWER->held.goesDown(key);  // held, not typed again
  if (!repeat)
    VIEWER->keys.push(
        KeyPress{key, Pointer{x, y, glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT)}});
  if (!VIEWER->drawing) runKeys();
}

void keyboardUp(unsigned char key, int, int) { VIEWER->held.release(key); }

Pointer pointerAt(int x, int y) {
  return Pointer{x, y, glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT)};
}

// Queues, as one action, the keys `action` stands for (MOUSE).
void queueAction(const MouseAction& action, const Pointer& at, const Pointer& to = Pointer{0, 0}) {
  const std::vector<KeyPress> presses = pressesOf(action, at, to);
  VIEWER->keys.push(presses.data(), presses.size());
}

// GLUT's buttons: 0 left, 1 middle, 2 right, and freeglut's wheel as 3 (up)
// and 4 (down), each turn a press and a release. The left button acts as
// it is released, a click or the end of a drag; the others as they go down.
// Like keys, the actions queue behind a frame in progress.
void mouse(int button, int state, int x, int y) {
  event("mouse " + std::to_string(button) + (state == GLUT_DOWN ? " down" : " up"));
  const Pointer at = pointerAt(x, y);
  if (button == GLUT_LEFT_BUTTON && state == GLUT_DOWN) {
    VIEWER->leftDown = true;
    VIEWER->dragging = false;
    VIEWER->pressedAt = at;
  } else if (button == GLUT_LEFT_BUTTON && VIEWER->leftDown) {
    VIEWER->leftDown = false;
    // Where it ends decides, as in a key script: a drag that came back is a click.
    queueAction(*mouseAction("drag"), pressedNow(at), at);
  } else if (state == GLUT_DOWN && button != GLUT_LEFT_BUTTON) {
    if (const MouseAction* action = buttonAction(button)) queueAction(*action, at);
  }
  if (!VIEWER->drawing) runKeys();
}

// A left drag of DRAG_THRESHOLD pixels or more shows the square it marks.
void motion(int x, int y) {
  if (!VIEWER->leftDown) return;
  const Pointer at = pointerAt(x, y);
  if (!isDrag(pressedNow(at), at) && !VIEWER->dragging) return;
  VIEWER->dragging = true;
  VIEWER->draggedTo = at;
  if (VIEWER->drawing) return;
  dragOutline(at);
  event("drag " + std::to_string(x) + " " + std::to_string(y));
}

// Function and arrow keys do nothing; they are taken in all the same.
void special(int key, int, int) {
  event("key special " + std::to_string(key));
  if (!VIEWER->drawing) runKeys();
}

// With the pointer gone, so is the focus (there may be no window manager),
// and with it the releases of the keys held.
void entry(int state) {
  if (state == GLUT_LEFT) VIEWER->held.releaseAll();
}

// A held key counts once. GLUT's own way to ignore repeats reads the
// keyboard's state when it handles a release, so a key typed again before
// a busy program sees the first release swallows the next key typed. The X
// server can instead mark repeats itself, as presses with no release in
// between, which HeldKeys tells apart in the order the events come.
void ignoreRepeats() {
  VIEWER->repeatsMarked = serverMarksRepeats();
  if (VIEWER->repeatsMarked) {
    glutKeyboardUpFunc(keyboardUp);
    glutEntryFunc(entry);
  } else {
    glutIgnoreKeyRepeat(1);
  }
}

// A window larger than the screen is never seen whole, and the GL driver
// cannot cope with one of GLUT's largest (a -geometry of 32767x32767 ends
// the process in the driver): the size GLUT's options ask for is cut down
// to the screen's before the window is made.
void fitToScreen() {
  const int width = glutGet(GLUT_INIT_WINDOW_WIDTH), height = glutGet(GLUT_INIT_WINDOW_HEIGHT);
  const int screenWidth = glutGet(GLUT_SCREEN_WIDTH), screenHeight = glutGet(GLUT_SCREEN_HEIGHT);
  if (screenWidth > 0 && screenHeight > 0)
    glutInitWindowSize(std::min(width, screenWidth), std::min(height, screenHeight));
}

}  // namespace

namespace {

// A descriptor among 0-2 left closed by whoever started the program would
// be taken by the next file opened, the X connection among them, and the
// view lines would go into it. /dev/null fills each gap, lowest first.
void fillStandardDescriptors() {
  for (int fd = 0; fd <= 2; ++fd)
    if (fcntl(fd, F_GETFD) == -1 && errno == EBADF) open("/dev/null", O_RDWR);
}

// The descriptor named by BASIN_EVENTS for the event lines, or -1.
int eventDescriptor() {
  const char* value = std::getenv("BASIN_EVENTS");
  if (value == nullptr || *value == '\0') return -1;
  char* end = nullptr;
  const long fd = std::strtol(value, &end, 10);
  return *end == '\0' && fd >= 0 && fd <= 1024 ? int(fd) : -1;
}

// No idle callback is registered: the event loop then sleeps while nothing
// happens, where even an empty one would keep a processor busy.
int runViewer(ViewerArguments& arguments) {
  std::signal(SIGPIPE, SIG_IGN);  // a closed reader ends the printing only: see printView
  VIEWER = std::make_unique<Viewer>(arguments.variant, rowPlanFromEnvironment());
  VIEWER->events = eventDescriptor();
  VIEWER->hasStart = arguments.hasWindow;
  VIEWER->start = arguments.window;
  std::vector<char*>& glut = arguments.glut.glut;
  int argc = int(glut.size());
  glut.push_back(nullptr);
  glutInitWindowSize(GRID, GRID);  // before glutInit, whose options may replace it
  glutInit(&argc, glut.data());
  // GLUT replaces the size even for a -geometry that gives none: by its own
  // default for a position alone, by whatever it finds for one it cannot read.
  if (arguments.glut.keepsSize) glutInitWindowSize(GRID, GRID);
  glutInitDisplayMode(GLUT_RGB | GLUT_SINGLE);
  fitToScreen();
  glutCreateWindow(TITLE);
  ignoreRepeats();
  glutDisplayFunc(display);
  glutKeyboardFunc(keyboard);
  glutSpecialFunc(special);
  glutMouseFunc(mouse);
  glutMotionFunc(motion);
  projection();
  glutMainLoop();
  return 0;
}

}  // namespace

int viewerMain(const Program* program, int argc, char** argv) {
  fillStandardDescriptors();
  ViewerArguments arguments = readViewerArguments(program, argc, argv);
  if (arguments.roots) return printRoots(arguments.variant, "polybasin");
  return runViewer(arguments);
}

}  // namespace basin
