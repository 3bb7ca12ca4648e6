// The viewer without a screen: key commands as data, replayed on one
// program's state, each frame drawn into a picture in memory.
//
// A script reads as the keys a user would type, the pointer position given
// with the keys that use it: "z@400,400 d Z@100,700 d r d w". Positions are
// pixels of the viewer's 800 x 800 window, from its top-left corner, y down.
// Every command goes through the viewer's own key table (`applyKey`), and
// every frame through renderPicture as the viewer's does, so the view
// windows and the root registry move exactly as they do on screen.
// Outlines are not drawn: the picture holds the last frame, black after a
// wipe.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "viewer/basin.h"
#include "viewer/keys.h"
#include "viewer/picture.h"

namespace basin {

struct Command {
  char key = 'd';  // one of z Z c r d w u U, or SQUARE for a drag's mark
  int x = 0;       // pointer position for z, Z and c, in window pixels
  int y = 0;
  int x1 = 0;  // for SQUARE, where the drag ended
  int y1 = 0;
};

// The press a command stands for, in the viewer's 800 x 800 window.
KeyPress pressOf(const Command& command);

// Parses a script of keys separated by any whitespace, newlines included,
// the mouse's words among them, each read as the commands it stands for
// (MOUSE: click@X,Y is z@X,Y then d, drag@X0,Y0-X1,Y1 its square then d);
// `#` starts a comment that runs to the end of its line. Strict: an unknown
// key, a pointer position that is missing, malformed or outside the window,
// or one given to a key that takes none, fails the whole script with a
// one-line reason in *error naming the key, and its line when the script
// has more than one (and *commands left empty).
bool parseKeys(const std::string& text, std::vector<Command>* commands, std::string* error);

// The most a keys file may hold: far more than any session typed by hand.
constexpr long KEYS_FILE_LIMIT = 1L << 20;

// Reads a script from `file` as parseKeys does, as a stream: it stops at
// the first bad word, naming its line whatever the file holds, and after
// KEYS_FILE_LIMIT bytes or a read error, with a reason of its own. No word
// is kept beyond what shows it is bad, so no input makes it take more
// memory than its keys need.
bool readKeys(std::FILE* file, std::vector<Command>* commands, std::string* error);

// One program as its window would show it, with no window: the state the
// keys move and the last frame, in memory. It owns the threads that solve
// its frames, and the lane path they use.
struct HeadlessViewer {
  explicit HeadlessViewer(const Variant& variant, const RowPlan& plan = RowPlan{})
      : basin(variant), lanes(plan.lanes), rows(plan.threads) {
    setup(basin);
  }

  Basin basin;
  Picture picture;                   // the last frame drawn; empty before the first one
  std::function<void(int)> rowDone;  // if set, called after each row drawn
  LanePath lanes;
  RowSolver rows;  // last: its workers stop before what they read goes
};

// Draws the current window on a size x size grid into session.picture.
void drawFrame(HeadlessViewer& session, int size = GRID);

// Runs one command as the viewer would: `d` applies the pending window and
// draws a frame on a size x size grid, `w` blanks the picture (keeping its
// size), the others only move the pending window. Pointer positions map
// through the 800 x 800 window whatever `size` is. A refused mark says why
// in *why, if given.
Effect replay(HeadlessViewer& session, const Command& command, int size = GRID,
              const char** why = nullptr);

// The basinshot command that draws the current window of `basin` as its
// program's last frame: "basinshot quadbasin --window XMIN XMAX YMIN YMAX
// -o view.png", each edge printed so that it reads back as the same float
// (9 significant digits); for a polynomial of the user's, its text and
// tolerances in place of the program's name. A double model's command
// carries --double and 17 digits an edge, to read back as the same double.
std::string shotCommand(const Basin& basin);

// Makes `window` current and draws it, as marking exactly that window and
// pressing `d` would. A window with a fault changes nothing and gives false.
bool showWindow(HeadlessViewer& session, const Window& window, int size = GRID);

// A whole headless session.
struct Shot {
  std::vector<Command> keys;
  bool hasWindow = false;
  Window window{};
  int size = GRID;
};

// Draws the start-up frame, then `window` if given, then replays the keys;
// returns the last frame drawn (black after a final `w`) at shot.size. Only
// that last frame is drawn at shot.size: the ones before it are drawn on the
// viewer's 800 x 800 grid, so the registry reaches it exactly as the
// viewer's does and the colours match the screen at every size. The
// start-up frame is always drawn on that grid, and drawn again at shot.size
// when it is the last frame. The window must have no fault.
//
// `progress`, if set, hears after every row of the last frame (the print)
// how many of its rows are done and how many it has; `rowsFinal`, if set,
// hears then too, unless a wipe follows the print, the picture being drawn
// with its first `rows` rows as the returned picture will hold them;
// `refused`, if set, hears of every mark refused and why; `finished`, if
// set, hears the returned picture once it is drawn, while the threads that
// drew it wind down beside it.
struct ShotReport {
  std::function<void(long done, long total)> progress;
  std::function<void(const Picture& picture, int rows)> rowsFinal;
  std::function<void(const Command& command, const char* why)> refused;
  std::function<void(const Picture& picture)> finished;
};
Picture takeShot(const Variant& variant, const Shot& shot, const ShotReport& report = {},
                 const RowPlan& plan = RowPlan{});

// The window the last frame of `shot` draws, found by running its keys on
// the view windows alone, without drawing: so that a print's size can be
// checked against it before any work. *fromKeys, if given, tells whether a
// key draws that frame (rather than the start-up frame or --window).
Window lastWindow(const Shot& shot, Precision precision = Precision::Float,
                  bool* fromKeys = nullptr);

}  // namespace basin
