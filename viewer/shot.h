// A whole headless session, as basinshot runs it: the start-up frame, then
// a window if given, then the keys, the last frame drawn at the print's size.
#pragma once

#include <functional>
#include <vector>

#include "viewer/replay.h"

namespace basin {

struct Shot {
  std::vector<Command> keys;
  bool hasWindow = false;
  Window window{};
  int size = GRID;
};

// What a shot reports while it runs. `progress`, if set, hears after every
// row of the last frame (the print) how many of its rows are done and how
// many it has; `rowsFinal`, if set, hears then too, unless a wipe follows
// the print, the picture being drawn with its first `rows` rows as the
// returned picture will hold them; `refused`, if set, hears of every mark
// refused and why; `finished`, if set, hears the returned picture once it
// is drawn, while the threads that drew it are still there to share work
// out to (viewer.rows), until it winds them down.
struct ShotReport {
  std::function<void(long done, long total)> progress;
  std::function<void(const Picture& picture, int rows)> rowsFinal;
  std::function<void(const Command& command, const char* why)> refused;
  std::function<void(const Picture& picture)> finished;
};

// Draws the start-up frame, then shot.window if given, then replays the
// keys on `viewer`, a viewer just opened; returns the last frame drawn
// (black after a final `w`) at shot.size. Only that last frame is drawn at
// shot.size: the ones before it are drawn on the viewer's 800 x 800 grid,
// so the registry reaches it exactly as the viewer's does and the colours
// match the screen at every size. The start-up frame is always drawn on
// that grid, and drawn again at shot.size when it is the last frame. The
// window must have no fault.
Picture takeShot(HeadlessViewer& viewer, const Shot& shot, const ShotReport& report = {});

// The same on a viewer of its own.
Picture takeShot(const Variant& variant, const Shot& shot, const ShotReport& report = {},
                 const RowPlan& plan = RowPlan{});

// The window the last frame of `shot` draws, found by running its keys on
// a copy of `session`'s view windows, without drawing: so that a print's
// size can be checked against it before any work. *fromKeys, if given,
// tells whether a key draws that frame (rather than the start-up frame or
// the window).
Window lastWindow(const Session& session, const Shot& shot, bool* fromKeys = nullptr);

}  // namespace basin
