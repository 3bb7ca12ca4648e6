#include "viewer/shot.h"

#include <utility>

namespace basin {
namespace {

// What a shot draws, found by running its keys on a copy of the session,
// without drawing: the index of its last frame (its last `d`, `u`, `U`,
// pan, wheel notch or resize that is not refused), else -1 for the
// window's frame or the start-up frame; whether a wipe follows it; and the
// window the print draws, at the print's size.
struct Plan {
  int last = -1;
  bool wiped = false;
  Window window{};
  Size size;  // the print's
};

Plan plan(const Session& session, const Shot& shot) {
  Plan p;
  std::unique_ptr<Session> trial = session.copy();
  if (shot.hasWindow) trial->goTo(shot.window);
  for (int i = 0; i < int(shot.keys.size()); ++i) {
    const Effect effect = trial->press(pressOf(shot.keys[i], trial->size()));
    p.wiped = p.wiped || effect == Effect::Wipe;
    if (effect != Effect::Frame) continue;
    p.last = i;
    p.wiped = false;
  }
  trial = session.copy();
  if (shot.hasWindow && p.last < 0) {  // the window given is the print, drawn exactly
    p.size = shot.size.width > 0 ? shot.size : trial->size();
    p.window = shot.window;
    return p;
  }
  if (shot.hasWindow) trial->goTo(shot.window);
  for (int i = 0; i <= p.last; ++i) trial->press(pressOf(shot.keys[i], trial->size()));
  p.size = shot.size.width > 0 ? shot.size : trial->size();
  p.window = trial->fitted(p.size);
  return p;
}

// Whether a key of the cockpit's (i, o, 0, ?) stands in the script.
bool usesCockpit(const Shot& shot) {
  for (const Command& c : shot.keys) {
    const KeyCommand* key = keyCommand(c.key);
    if (key && (key->action == KeyAction::Info || key->action == KeyAction::Path ||
                key->action == KeyAction::Rings || key->action == KeyAction::Help))
      return true;
  }
  return false;
}

}  // namespace

Window lastWindow(const Session& session, const Shot& shot, bool* fromKeys, Size* size) {
  const Plan p = plan(session, shot);
  if (fromKeys) *fromKeys = p.last >= 0;
  if (size) *size = p.size;
  return p.window;
}

Picture takeShot(HeadlessViewer& viewer, const Shot& shot, const ShotReport& report) {
  const Plan p = plan(*viewer.session, shot);
  const Size print = shot.size;  // empty: the window's own size at the print
  const auto total = [&] { return long(p.size.height); };

  // Only the print's rows count: the frames before it are the viewer's;
  // and not even they when the cockpit may draw over them.
  const bool hearsRows = report.rowsFinal && !p.wiped && !usesCockpit(shot);
  const auto listen = [&] {
    if (report.progress || hearsRows)
      viewer.rowDone = [&report, &viewer, hearsRows, total](int rows) {
        if (hearsRows) report.rowsFinal(viewer.picture, rows);
        if (report.progress) report.progress(rows, total());
      };
  };
  // The start-up frame always goes over the viewer's 800 x 800 grid first:
  // the registry gives the roots their colours in the order that grid meets
  // them. When it is also the last frame, it is drawn again at the print's
  // size unless that is the same.
  const bool startupIsPrint = p.last < 0 && !shot.hasWindow && p.size == Size{};
  if (startupIsPrint) listen();
  drawFrame(viewer);
  if (p.last < 0 && !startupIsPrint) listen();
  if (shot.hasWindow && p.last < 0) {
    viewer.session->resize(p.size);  // the window given, exactly, at the print's size
    showWindow(viewer, shot.window);
  } else if (shot.hasWindow) {
    showWindow(viewer, shot.window);
  } else if (!startupIsPrint && p.last < 0) {
    drawFrame(viewer, p.size);
  }
  for (int i = 0; i < int(shot.keys.size()); ++i) {
    if (i == p.last) listen();
    const char* why = nullptr;
    const Size frame = i == p.last ? print : Size{0, 0};
    if (replay(viewer, shot.keys[i], &why, frame) == Effect::Refused && report.refused)
      report.refused(shot.keys[i], why);
  }
  if (viewer.cockpit.any()) viewer.picture = shownPicture(viewer);
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
