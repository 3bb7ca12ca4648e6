#include "viewer/shot.h"

#include <utility>

namespace basin {
namespace {

// Runs the shot's keys on a copy of the session's view windows, without
// drawing: gives the index of its last frame (its last `d`, or `u` or `U`
// not refused), else -1 for the window's frame or the start-up frame, the
// window that frame draws in *window, and whether a wipe follows it in
// *wiped, if given.
int lastFrame(const Session& session, const Shot& shot, Window* window = nullptr,
              bool* wiped = nullptr) {
  const std::unique_ptr<Session> trial = session.copy();
  if (shot.hasWindow) trial->goTo(shot.window);
  int last = -1;
  bool wipedSince = false;
  Window drawn = trial->current();
  for (int i = 0; i < int(shot.keys.size()); ++i) {
    const Effect effect = trial->press(pressOf(shot.keys[i]));
    wipedSince = wipedSince || effect == Effect::Wipe;
    if (effect != Effect::Frame) continue;
    last = i;
    wipedSince = false;
    drawn = trial->current();
  }
  if (window) *window = drawn;
  if (wiped) *wiped = wipedSince;
  return last;
}

}  // namespace

Window lastWindow(const Session& session, const Shot& shot, bool* fromKeys) {
  Window window;
  const int last = lastFrame(session, shot, &window);
  if (fromKeys) *fromKeys = last >= 0;
  return window;
}

Picture takeShot(HeadlessViewer& viewer, const Shot& shot, const ShotReport& report) {
  bool wiped = false;
  const int last = lastFrame(*viewer.session, shot, nullptr, &wiped);
  const auto sizeOf = [&](int index) { return index == last ? shot.size : GRID; };

  // Only the print's rows count: the frames before it are the viewer's.
  const bool hearsRows = report.rowsFinal && !wiped;
  const auto print = [&] {
    if (report.progress || hearsRows)
      viewer.rowDone = [&report, &shot, &viewer, hearsRows](int rows) {
        if (hearsRows) report.rowsFinal(viewer.picture, rows);
        if (report.progress) report.progress(rows, shot.size);
      };
  };
  // The start-up frame always goes over the viewer's grid first: the
  // registry gives the roots their colours in the order that grid meets
  // them. When it is also the last frame, it is drawn again at shot.size.
  const bool startupIsPrint = last < 0 && !shot.hasWindow && shot.size == GRID;
  if (startupIsPrint) print();
  drawFrame(viewer);
  if (last < 0 && !startupIsPrint) print();
  if (shot.hasWindow) {
    showWindow(viewer, shot.window, sizeOf(-1));
  } else if (sizeOf(-1) != GRID) {
    drawFrame(viewer, sizeOf(-1));
  }
  for (int i = 0; i < int(shot.keys.size()); ++i) {
    if (i == last) print();
    const char* why = nullptr;
    if (replay(viewer, shot.keys[i], sizeOf(i), &why) == Effect::Refused && report.refused)
      report.refused(shot.keys[i], why);
  }
  if (report.finished) report.finished(viewer.picture);
  viewer.rows.windDown();
  return std::move(viewer.picture);
}

Picture takeShot(const Variant& variant, const Shot& shot, const ShotReport& report,
                 const RowPlan& plan) {
  HeadlessViewer viewer(variant, plan);
  return takeShot(viewer, shot, report);
}

}  // namespace basin
