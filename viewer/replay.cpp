#include "viewer/replay.h"

#include <algorithm>

namespace basin {

void drawFrame(HeadlessViewer& viewer, Size frame) {
  Session& session = *viewer.session;
  const Size own = session.size();
  const bool other = frame.width > 0 && frame != own;
  if (other) session.resize(frame);
  if (!viewer.rowDone)
    session.render(&viewer.picture, viewer.rows, viewer.lanes);
  else
    session.render(&viewer.picture, viewer.rows, viewer.lanes, viewer.rowDone);
  if (other) session.resize(own);
}

namespace {

// Whether the command's position is a pointer's (a resize's is a size).
bool namesPointer(const Command& command) {
  const KeyCommand* key = keyCommand(command.key);
  return key ? key->takesPointer : command.key != RESIZE;
}

}  // namespace

Effect replay(HeadlessViewer& viewer, const Command& command, const char** why, Size frame) {
  const KeyPress press = pressOf(command, viewer.session->size());
  if (namesPointer(command)) {
    viewer.pointed = true;
    viewer.pointer = press.at;
  }
  const Effect effect = viewer.session->press(press, why);
  if (effect == Effect::Frame) {
    drawFrame(viewer, frame);
    viewer.wiped = false;
    viewer.cockpit.frameDrawn(*viewer.session);
  } else if (effect == Effect::Wipe) {
    viewer.wiped = true;
    std::fill(viewer.picture.rgb.begin(), viewer.picture.rgb.end(), std::uint8_t{0});
  } else if (effect == Effect::Overlay) {
    SampleProbe run;
    viewer.cockpit.apply(command.key, press.at, *viewer.session, &run);
    if (command.key == 'o' && viewer.path) viewer.path(run);
  } else if (effect == Effect::Save && viewer.save) {
    viewer.save(viewer.picture);
  }
  return effect;
}

// The picture may be a print of another size than the window: the cockpit
// then reads the view as a window of the print's size draws it, and the
// pointer at the same share of it.
Picture shownPicture(HeadlessViewer& viewer) {
  if (!viewer.cockpit.any() || viewer.wiped) return viewer.picture;
  Session& session = *viewer.session;
  const Size own = session.size(), print{viewer.picture.width, viewer.picture.height};
  Pointer at{own.width / 2, own.height / 2, own.width, own.height};
  if (viewer.pointed) at = viewer.pointer;
  at = Pointer{int(long(at.x) * print.width / own.width),
               int(long(at.y) * print.height / own.height), print.width, print.height};
  const bool other = print != own && session.resize(print);
  Picture shown;
  viewer.cockpit.compose(session, viewer.picture, at, FrameFacts{print, -1}, &shown);
  if (other) session.resize(own);
  return shown;
}

bool showWindow(HeadlessViewer& viewer, const Window& w) {
  if (!viewer.session->goTo(w)) return false;
  drawFrame(viewer);
  return true;
}

}  // namespace basin
