#include "viewer/viewer.h"

#define GL_GLEXT_PROTOTYPES  // glWindowPos2i, core since GL 1.4
#include <GL/freeglut.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "viewer/autorepeat.h"
#include "viewer/frame.h"
#include "viewer/keys.h"
#include "viewer/picture.h"
#include "viewer/replay.h"

namespace basin {
namespace {

const char* const TITLE = " Basinscope,  By Quorvel ";
// How often a frame in progress shows its finished rows and lets the event
// loop take in keys: often enough that Escape ends a slow frame at once.
constexpr auto PROGRESS_INTERVAL = std::chrono::milliseconds(100);

// The one process-wide state, created by runViewer before any callback.
struct Viewer {
  explicit Viewer(const Variant& variant) : basin(variant) { setup(basin); }

  Basin basin;
  Picture picture = blankPicture(GRID);  // the frame on screen, 8-bit as shown
  bool drawing = false;                  // a frame is in progress
  KeyQueue keys;                         // keys waiting for the frame to end
  HeldKeys held;                         // keys down, to tell repeats from presses
  bool repeatsSeen = false;              // the server marks repeats as presses alone
};
std::unique_ptr<Viewer> VIEWER;

void projection() {
  const Views& v = VIEWER->basin.views;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluOrtho2D(v.XMIN, v.XMAX, v.YMIN, v.YMAX);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
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
// screen and the event loop runs about ten times a second: keys typed
// meanwhile wait in the queue (Escape ends the process at once), and a
// request to draw the window is already being met.
void frame() {
  using Clock = std::chrono::steady_clock;
  VIEWER->drawing = true;
  auto lastShown = Clock::now();
  renderPicture(VIEWER->basin, GRID, &VIEWER->picture, [&lastShown](int rows) {
    if (Clock::now() - lastShown < PROGRESS_INTERVAL) return;
    showRows(rows);
    glFlush();
    glutMainLoopEvent();
    lastShown = Clock::now();
  });
  showRows(GRID);
  glFlush();
  VIEWER->drawing = false;
}

// White outline of the pending window over the picture.
void box() {
  const Views& v = VIEWER->basin.views;
  glColor3f(1, 1, 1);
  glBegin(GL_LINE_STRIP);
  glVertex2f(v.NXMAX, v.NYMAX);
  glVertex2f(v.NXMAX, v.NYMIN);
  glVertex2f(v.NXMIN, v.NYMIN);
  glVertex2f(v.NXMIN, v.NYMAX);
  glVertex2f(v.NXMAX, v.NYMAX);
  glEnd();
  glFlush();
}

void wipe() {
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  glFlush();
}

// A refused mark draws nothing; the person who typed it is told why.
void refused(const KeyPress& press, const char* why) {
  std::fprintf(stderr, "%s: %s at (%d, %d) refused: %s\n", VIEWER->basin.variant.name,
               keyName(press.key), press.at.x, press.at.y, why);
}

// Runs the waiting keys in order through the key table (viewer/keys.h),
// which updates the view windows, and draws what each asks for. For `d`
// the table has already made the pending window current; the projection
// follows it before the frame. A frame may queue further keys; they run
// here too, after it.
void runKeys() {
  KeyPress press;
  while (VIEWER->keys.pop(&press)) {
    const char* why = nullptr;
    switch (basin::press(VIEWER->basin.views, press.key, press.at, &why)) {
      case Effect::Exit:
        std::exit(0);
      case Effect::Outline:
        box();
        break;
      case Effect::Frame:
        projection();
        frame();
        // The view just drawn, as the command that prints it at any size.
        std::printf("%s\n", shotCommand(VIEWER->basin).c_str());
        std::fflush(stdout);
        break;
      case Effect::Refused:
        refused(press, why);
        break;
      case Effect::Wipe:
        wipe();
        break;
      case Effect::None:
        break;
    }
  }
}

void display() {
  if (VIEWER->drawing) return;  // the frame in progress covers the window
  frame();
  runKeys();
}

void keyboard(unsigned char key, int x, int y) {
  if (key == ESCAPE) std::exit(0);
  if (VIEWER->repeatsSeen && !VIEWER->held.press(key)) return;  // held, not typed again
  VIEWER->keys.push(
      KeyPress{key, Pointer{x, y, glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT)}});
  if (!VIEWER->drawing) runKeys();
}

void keyboardUp(unsigned char key, int, int) { VIEWER->held.release(key); }

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
  VIEWER->repeatsSeen = serverMarksRepeats();
  if (VIEWER->repeatsSeen) {
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

void printViewerHelp(const char* usage, const char* formula) {
  std::printf(
      "%s\n"
      "\n"
      "Draws the basins of attraction of Newton's method for %s in an 800 x 800\n"
      "window: every sample point of the plane in the colour of the root its run\n"
      "settles on, darker the more steps the run needed; runs that fail are black.\n"
      "\n"
      "Keys, typed with the mouse pointer in the window:\n"
      "  z       mark a region a third of the window's size around the pointer\n"
      "          (a x3 zoom-in), outlined in white\n"
      "  Z       mark a region three times the window's size around the pointer\n"
      "          (a x3 zoom-out)\n"
      "  c       mark a region of the window's size centred on the pointer\n"
      "  r       mark the start-up view\n"
      "  d       apply the mark: draw the marked region\n"
      "  w       wipe the window to black\n"
      "  Escape  quit\n"
      "\n"
      "After each frame drawn by d, the view is printed on standard output as a\n"
      "basinshot command that draws it at any size. Every other argument goes to\n"
      "GLUT (-geometry WxH+X+Y, -display DISPLAY, -iconic, ...; see the freeglut\n"
      "documentation).\n",
      usage, formula);
}

// No idle callback is registered: the event loop then sleeps while nothing
// happens, where even an empty one would keep a processor busy.
int runViewer(const Variant& variant, int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--help") == 0) {
      const std::string usage = std::string("usage: ") + variant.name + " [GLUT options]";
      printViewerHelp(usage.c_str(), variant.formula);
      return 0;
    }
  VIEWER = std::make_unique<Viewer>(variant);
  glutInitWindowSize(GRID, GRID);  // before glutInit, whose options may replace it
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_SINGLE);
  fitToScreen();
  glutCreateWindow(TITLE);
  ignoreRepeats();
  glutDisplayFunc(display);
  glutKeyboardFunc(keyboard);
  projection();
  glutMainLoop();
  return 0;
}

}  // namespace basin
