// Key scripts: the keys a user would type, as data, the pointer position
// given with the keys that use it: "z@400,400 d Z@100,700 d r d w left".
// Positions are pixels of the viewer's window, from its top-left corner, y
// down: 800 x 800 until a word size@WxH gives it another size, as a resize
// would. The mouse's words stand for the keys its gestures queue (MOUSE in
// viewer/keys.h): click@X,Y is z@X,Y then d.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "viewer/keys.h"

namespace basin {

struct Command {
  int key = 'd';  // a key of KEYS, or an action no key types (viewer/keys.h)
  int x = 0;      // pointer position, in window pixels; for RESIZE the width
  int y = 0;      // and for RESIZE the height
  int x1 = 0;     // for a drag, where it ended
  int y1 = 0;
};

// The press a command stands for, in a window of `size`.
KeyPress pressOf(const Command& command, Size size);

// Parses a script of keys separated by any whitespace, newlines included,
// the mouse's words among them, each read as the commands it stands for
// (MOUSE: click@X,Y is z@X,Y then d, drag@X0,Y0-X1,Y1 its square then d,
// or the click at X0,Y0 when it moves under DRAG_THRESHOLD pixels), and
// size@WxH, the window's size from there on; `#` starts a comment that
// runs to the end of its line. Strict: an unknown key, a pointer position
// that is missing, malformed or outside the window as the script has sized
// it (a drag's release may lie anywhere, as the mouse's may), or one given
// to a key that takes none, fails the whole script with a one-line reason
// in *error naming the key, and its line when the script has more than
// one (and *commands left empty).
bool parseKeys(const std::string& text, std::vector<Command>* commands, std::string* error);

// The most a keys file may hold: far more than any session typed by hand.
constexpr long KEYS_FILE_LIMIT = 1L << 20;

// Reads a script from `file` as parseKeys does, as a stream: it stops at
// the first bad word, naming its line whatever the file holds, and after
// KEYS_FILE_LIMIT bytes or a read error, with a reason of its own. No word
// is kept beyond what shows it is bad, so no input makes it take more
// memory than its keys need. A UTF-8 byte-order mark first in the file is
// no part of the script.
bool readKeys(std::FILE* file, std::vector<Command>* commands, std::string* error);

}  // namespace basin
