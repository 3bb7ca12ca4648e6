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
  // The print's size; none (0 x 0): the window's own at the last frame,
  // 800 x 800 unless a size@ word changed it.
  Size size{0, 0};
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
// (black after a final `w`), the print. Only the print is drawn at
// shot.size, its view as a window of that size shows it (the window given
// itself, exactly, when it is the print): the frames before it are drawn at
// the window's size (800 x 800, or as size@ words set it), so the registry
// reaches it exactly as the viewer's does and the colours match the screen
// at every size. The start-up frame is always drawn on the 800 x 800 grid,
// and drawn again at the print's size when it is the print and that size
// differs. The window must have no fault.
Picture takeShot(HeadlessViewer& viewer, const Shot& shot, const ShotReport& report = {});

// The same on a viewer of its own.
Picture takeShot(const Variant& variant, const Shot& shot, const ShotReport& report = {},
                 const RowPlan& plan = RowPlan{});

// The window the print of `shot` draws, found by running its keys on a copy
// of `session`, without drawing: so that the print can be checked before
// any work. *fromKeys, if given, tells whether a key draws that frame
// (rather than the start-up frame or the window); *size, if given, is the
// print's size.
Window lastWindow(const Session& session, const Shot& shot, bool* fromKeys = nullptr,
                  Size* size = nullptr);

}  // namespace basin
