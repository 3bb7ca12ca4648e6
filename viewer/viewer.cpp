#include "viewer/viewer.h"

#include <GL/glut.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "viewer/frame.h"
#include "viewer/keys.h"

namespace basin {
namespace {

const char* const TITLE = " Basinscope,  By Quorvel ";
// How often a frame in progress is pushed to the screen. Flushing after
// every row would more than double the frame time under software GL.
constexpr auto PROGRESS_INTERVAL = std::chrono::milliseconds(100);

// The one process-wide state, created by runViewer before any callback.
std::unique_ptr<Basin> BASIN;

void projection() {
  const Views& v = BASIN->views;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluOrtho2D(v.XMIN, v.XMAX, v.YMIN, v.YMAX);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void display() {
  using Clock = std::chrono::steady_clock;
  auto lastFlush = Clock::now();
  renderFrame(
      *BASIN, GRID,
      [](const Sample& s) {
        glPointSize(1);
        glColor3f(s.paint.red, s.paint.green, s.paint.blue);
        glBegin(GL_POINTS);
        glVertex2f(s.pixel.re, s.pixel.im);
        glEnd();
      },
      [&lastFlush](int) {
        const auto now = Clock::now();
        if (now - lastFlush >= PROGRESS_INTERVAL) {
          glFlush();
          lastFlush = now;
        }
      });
  glFlush();
}

// The event loop must block while nothing happens, so this routine is kept
// but never registered: an idle callback, even an empty one, spins a core.
[[maybe_unused]] void idle() {}

// White outline of the pending window over the picture.
void box() {
  const Views& v = BASIN->views;
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
  glClear(GL_COLOR_BUFFER_BIT);
  glClearColor(0, 0, 0, 0);
  glFlush();
}

// Runs the key table (viewer/keys.h), which updates the view windows, then
// draws what the key asks for. For `d` the table has already made the
// pending window current; the projection follows it before the frame.
void keyboard(unsigned char key, int x, int y) {
  const Pointer at{x, y, glutGet(GLUT_WINDOW_WIDTH), glutGet(GLUT_WINDOW_HEIGHT)};
  switch (press(BASIN->views, key, at)) {
    case Effect::Exit:
      std::exit(0);
    case Effect::Outline:
      box();
      break;
    case Effect::Frame:
      projection();
      display();
      break;
    case Effect::Wipe:
      wipe();
      break;
    case Effect::None:
      break;
  }
}

}  // namespace

int runViewer(const Variant& variant, int argc, char** argv) {
  BASIN = std::make_unique<Basin>(variant);
  setup(*BASIN);
  glutInitWindowSize(GRID, GRID);  // before glutInit, whose options may replace it
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_SINGLE);
  glutCreateWindow(TITLE);
  glutDisplayFunc(display);
  glutKeyboardFunc(keyboard);
  projection();
  glutMainLoop();
  return 0;
}

}  // namespace basin
