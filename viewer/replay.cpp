#include "viewer/replay.h"

#include <algorithm>

namespace basin {

void drawFrame(HeadlessViewer& viewer, int size) {
  if (!viewer.rowDone)
    return viewer.session->render(size, &viewer.picture, viewer.rows, viewer.lanes);
  viewer.session->render(size, &viewer.picture, viewer.rows, viewer.lanes, viewer.rowDone);
}

Effect replay(HeadlessViewer& viewer, const Command& command, int size, const char** why) {
  const Effect effect = viewer.session->press(pressOf(command), why);
  if (effect == Effect::Frame) {
    drawFrame(viewer, size);
  } else if (effect == Effect::Wipe) {
    std::fill(viewer.picture.rgb.begin(), viewer.picture.rgb.end(), std::uint8_t{0});
  }
  return effect;
}

bool showWindow(HeadlessViewer& viewer, const Window& w, int size) {
  if (!viewer.session->goTo(w)) return false;
  drawFrame(viewer, size);
  return true;
}

}  // namespace basin
