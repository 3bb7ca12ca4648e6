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

Effect replay(HeadlessViewer& viewer, const Command& command, const char** why, Size frame) {
  const Effect effect = viewer.session->press(pressOf(command, viewer.session->size()), why);
  if (effect == Effect::Frame) {
    drawFrame(viewer, frame);
  } else if (effect == Effect::Wipe) {
    std::fill(viewer.picture.rgb.begin(), viewer.picture.rgb.end(), std::uint8_t{0});
  }
  return effect;
}

bool showWindow(HeadlessViewer& viewer, const Window& w) {
  if (!viewer.session->goTo(w)) return false;
  drawFrame(viewer);
  return true;
}

}  // namespace basin
