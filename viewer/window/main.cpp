// The GLUT viewer as a process: its arguments read, its standard
// descriptors made safe, its state opened, the window made and GLUT's
// callbacks registered.
#include <GL/freeglut.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <vector>

#include "viewer/arguments.h"
#include "viewer/rootlist.h"
#include "viewer/window/autorepeat.h"
#include "viewer/window/input.h"
#include "viewer/window/screen.h"
#include "viewer/window/state.h"
#include "viewer/window/viewer.h"

namespace basin {
namespace {

const char* const TITLE = " Basinscope,  By Quorvel ";

std::unique_ptr<Viewer> VIEWER;

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

// A held key counts once. GLUT's own way to ignore repeats reads the
// keyboard's state when it handles a release, so a key typed again before
// a busy program sees the first release swallows the next key typed. The X
// server can instead mark repeats itself, as presses with no release in
// between, which HeldKeys tells apart in the order the events come.
void ignoreRepeats() {
  viewer().repeatsMarked = serverMarksRepeats();
  if (viewer().repeatsMarked) {
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

// No idle callback is registered: the event loop then sleeps while nothing
// happens, where even an empty one would keep a processor busy.
int runViewer(ViewerArguments& arguments) {
  std::signal(SIGPIPE, SIG_IGN);  // a closed reader ends the printing only
  openViewer(arguments.variant, readEnvironment());
  viewer().events = eventDescriptor();
  viewer().hasStart = arguments.hasWindow;
  viewer().start = arguments.window;
  viewer().saveDir = arguments.saveDir;
  viewer().printer =
      std::make_unique<Printer>(arguments.variant.name, arguments.saveDir, arguments.printSize);
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
  glutPassiveMotionFunc(passiveMotion);
  glutReshapeFunc(reshape);
  glutCloseFunc(closed);
  projection();
  glutMainLoop();
  return 0;
}

}  // namespace

Viewer& viewer() { return *VIEWER; }

void openViewer(const Variant& variant, const RowPlan& plan) {
  VIEWER = std::make_unique<Viewer>(variant, plan);
}

void event(const std::string& what) {
  if (VIEWER->events < 0) return;
  const std::string line = "event " + what + "\n";
  if (write(VIEWER->events, line.data(), line.size()) < 0) VIEWER->events = -1;
}

int viewerMain(const Program* program, int argc, char** argv) {
  fillStandardDescriptors();
  ViewerArguments arguments = readViewerArguments(program, argc, argv);
  if (arguments.roots) return printRoots(arguments.variant);
  return runViewer(arguments);
}

}  // namespace basin
