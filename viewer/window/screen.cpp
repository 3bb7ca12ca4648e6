#include "viewer/window/screen.h"

#include <GL/freeglut.h>
#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "viewer/window/state.h"

namespace basin {
namespace {

// How often a frame in progress shows its finished rows and lets the event
// loop take in keys: often enough that Escape ends a slow frame at once.
// The first rows go out sooner, so that a large frame shows at once.
constexpr auto PROGRESS_INTERVAL = std::chrono::milliseconds(100);
constexpr auto FIRST_ROWS = std::chrono::milliseconds(15);

// A point of the plane as a share of the current view, for GL.
void vertexAt(double x, double y) {
  const Window& v = viewer().session->current();
  glVertex2d((x - v.xmin) / (v.xmax - v.xmin), (y - v.ymin) / (v.ymax - v.ymin));
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

// The picture as a GL texture of its size, with the rows of the frame in
// progress uploaded so far. Shown as a textured rectangle rather than with
// glDrawPixels, whose cost in software GL grows with every new image size
// it meets: a frame's first rows, a new count each time, would wait on it.
struct ScreenTexture {
  GLuint id = 0;
  int width = 0, height = 0;
  int uploaded = 0;                 // rows of the picture now in the texture
  const Picture* source = nullptr;  // the picture they come from
};
ScreenTexture& screenTexture() {
  static ScreenTexture texture;
  return texture;
}

// Brings the texture up to the picture's first `rows` rows: a new texture
// for a picture of another size, then the rows not yet uploaded. Rows are
// packed, whatever the width: GL is told so.
void upload(const Picture& picture, int rows) {
  ScreenTexture& t = screenTexture();
  if (t.id == 0) glGenTextures(1, &t.id);
  if (t.source != &picture) t.uploaded = 0;
  t.source = &picture;
  glBindTexture(GL_TEXTURE_2D, t.id);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (t.width != picture.width || t.height != picture.height) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB8, picture.width, picture.height, 0, GL_RGB,
                 GL_UNSIGNED_BYTE, nullptr);
    t = ScreenTexture{t.id, picture.width, picture.height, 0, &picture};
  }
  if (rows > t.uploaded)
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, t.uploaded, picture.width, rows - t.uploaded, GL_RGB,
                    GL_UNSIGNED_BYTE, picture.at(0, t.uploaded));
  t.uploaded = std::max(t.uploaded, rows);
}

// Shows the first `rows` rows of the picture, the sample of column i, row j
// (from 1) in pixel (i - 1, j - 1): one texel a pixel, nearest, but for a
// picture of another size than the window's, stretched over it until the
// frame of its new size is drawn. Texture row 0 is the picture's top row,
// drawn at the window's top, so a later, longer prefix covers the earlier
// one whatever the stretch, and rows not yet finished keep what the window
// showed.
void showPicture(const Picture& picture, int rows) {
  upload(picture, rows);
  const double share = double(rows) / picture.height;
  glEnable(GL_TEXTURE_2D);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
  glBegin(GL_QUADS);
  glTexCoord2d(0, 0);
  glVertex2d(0, 1);
  glTexCoord2d(1, 0);
  glVertex2d(1, 1);
  glTexCoord2d(1, share);
  glVertex2d(1, 1 - share);
  glTexCoord2d(0, share);
  glVertex2d(0, 1 - share);
  glEnd();
  glDisable(GL_TEXTURE_2D);
}

void showRows(int rows) { showPicture(viewer().picture, rows); }

// The stored frame with what the cockpit draws over it, composed again.
void showComposed() {
  Viewer& v = viewer();
  v.cockpit.compose(*v.session, v.picture, v.pointer, v.facts, &v.composed);
  screenTexture().uploaded = 0;
  showPicture(v.composed, v.composed.height);
}

// Draws through `draw`, which solves the picture and calls back after each
// row: the finished rows go to the screen and the event loop runs about
// ten times a second (the first time sooner), and once more at the end
// however fast the frame was: keys typed meanwhile wait in the queue
// (Escape ends the process at once), and a request to draw the window is
// already being met.
template <class Draw>
void drawShowing(Draw&& draw) {
  using Clock = std::chrono::steady_clock;
  Viewer& v = viewer();
  v.drawing = true;
  const Clock::time_point start = Clock::now();
  Clock::time_point lastShown{};
  v.marked = v.wiped = false;    // the frame covers the mark and the black
  screenTexture().uploaded = 0;  // the picture's rows are drawn anew
  draw([&](int rows) {
    const Clock::time_point now = Clock::now();
    if (lastShown == Clock::time_point{} ? now - start < FIRST_ROWS
                                         : now - lastShown < PROGRESS_INTERVAL)
      return;
    showRows(rows);
    glFlush();
    event("rows " + std::to_string(rows));
    glutMainLoopEvent();
    lastShown = Clock::now();
  });
  glutMainLoopEvent();
  showRows(v.picture.height);
  glFlush();
  v.drawing = false;
}

}  // namespace

// GL keeps its matrices in float, which cannot tell apart the edges of a
// view zoomed as deep as doubles go, so outlines are placed relative to
// the view, in double (vertexAt), before GL sees them.
void projection() {
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluOrtho2D(0, 1, 0, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

void frame() {
  Viewer& v = viewer();
  const auto start = std::chrono::steady_clock::now();
  drawShowing([&v](auto rowDone) { v.session->render(&v.picture, v.rows, v.lanes, rowDone); });
  v.facts = FrameFacts{
      v.session->size(),
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count()};
  v.cockpit.frameDrawn(*v.session);
  if (v.cockpit.any()) {
    showComposed();
    glFlush();
  }
  event("frame " + std::to_string(++v.frames));
}

void glimpse(const Window& view) {
  Viewer& v = viewer();
  drawShowing([&v, &view](auto rowDone) {
    v.session->glimpse(view, &v.picture, v.rows, v.lanes, rowDone);
  });
}

void background() {
  if (!viewer().wiped && viewer().cockpit.any()) return showComposed();
  if (!viewer().wiped) return showRows(viewer().picture.height);
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
}

void box() {
  Viewer& v = viewer();
  background();
  v.marked = true;
  v.mark = v.session->pending();
  outline(v.mark);
  glFlush();
}

void unbox() {
  if (!viewer().marked) return;
  viewer().marked = false;
  background();
  glFlush();
}

void wipe() {
  viewer().marked = false;
  viewer().wiped = true;
  background();
  glFlush();
}

void redrawMark() {
  background();
  if (viewer().marked) outline(viewer().mark);
  glFlush();
}

void showSquare(const Window& square) {
  background();
  outline(square);
  glFlush();
}

}  // namespace basin
