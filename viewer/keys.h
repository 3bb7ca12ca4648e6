// The key table of both programs, free of GL.
//
// `press` does what a key does to the view windows and says what the screen
// has to show next; the caller does the drawing. The GLUT viewer draws on
// the window, the replay into a picture in memory, and since both go through
// this one table a key means the same thing in each.
#pragma once

#include <bitset>
#include <cstddef>
#include <deque>

#include "viewer/views.h"

namespace basin {

constexpr unsigned char ESCAPE = 27;

// What a key leaves for the screen once the view windows are updated.
enum class Effect {
  None,     // nothing to draw: `Z`, `r`, an unlisted key
  Refused,  // a mark (`z`, `Z`, `c`) refused: its window cannot be drawn
  Outline,  // outline the new pending window (`z`, `c`)
  Frame,    // the pending window is now current: set the projection, draw a frame (`d`)
  Wipe,     // clear the window to black (`w`)
  Exit,     // end the process with status 0 (Escape)
};

// z: zoom in, Z: zoom out, c: re-centre, all around `at`; r: restore the
// home window; d: apply the pending window. Keys are case-sensitive. For a
// refused mark, *why (if given) says why.
Effect press(Views& views, unsigned char key, const Pointer& at, const char** why = nullptr);

// What a key is called in a message: "zoom-in" for `z`, and so on.
const char* keyName(unsigned char key);

// The keys held down, told apart from the presses a keyboard repeats while
// a key is held: each of those would otherwise be a new command, and a held
// `d` would queue frame after frame. It goes by the order of the events,
// not by the keyboard's state when they are handled, so keys typed fast
// during a frame all count. A letter counts as one key whatever its case,
// since shift may change while it is held.
class HeldKeys {
 public:
  // True for a new press, false for a repeat of a key still held.
  bool press(unsigned char key);
  void release(unsigned char key);
  // Forgets them all: the keyboard's releases go elsewhere from now on.
  void releaseAll() { down_.reset(); }

 private:
  std::bitset<256> down_;
};

// A key and the pointer position it was typed at.
struct KeyPress {
  unsigned char key;
  Pointer at;
};

// Keys waiting their turn while a frame is drawn: they take effect after it,
// in the order typed, each with its own pointer position. A `d` right behind
// another `d`, waiting or still running, is dropped, since the frame of the
// first has already made its pending window current and the second would
// draw the same view again; and once CAPACITY keys wait, further ones are
// dropped, so a flood of keys can never build up more work than a person
// would wait for.
class KeyQueue {
 public:
  static constexpr std::size_t CAPACITY = 64;

  void push(const KeyPress& press);
  // Takes the next key; it counts as running until `done`.
  bool pop(KeyPress* press);
  void done() { running_ = 0; }
  bool empty() const { return keys_.empty(); }

 private:
  std::deque<KeyPress> keys_;
  unsigned char running_ = 0;  // the key taken and not yet done, or 0
};

}  // namespace basin
