// The key table of both programs, free of GL.
//
// KEYS lists every key: its name in messages, whether it acts around the
// pointer, its line of help and what it does to the view windows. The
// viewer, the replay of key scripts, both help texts and the tests all read
// it, so a new key is one entry here. `applyKey` does what a key does to
// the view windows and says what the screen has to show next; the caller
// does the drawing. The GLUT viewer draws on the window, the replay into a
// picture in memory, and since both go through this one table a key means
// the same thing in each.
#pragma once

#include <bitset>
#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "viewer/views.h"

namespace basin {

// A key is a character as GLUT hands it over (0 ... 255) or, above those,
// an action no character types: what the mouse, the arrow keys and a
// resize queue, and key scripts replay.
constexpr int ESCAPE = 27;
constexpr int SQUARE = 256;      // a left drag's square, marked and outlined; its `d` follows
constexpr int PAN = 257;         // a middle drag: the view moved with the pointer, at once
constexpr int WHEEL_IN = 258;    // a wheel notch up: zoom in about the pointer, at once
constexpr int WHEEL_OUT = 259;   // a wheel notch down: zoom out about the pointer, at once
constexpr int ARROW_LEFT = 260;  // the arrow keys: the view moved a quarter of the window
constexpr int ARROW_RIGHT = 261;
constexpr int ARROW_UP = 262;
constexpr int ARROW_DOWN = 263;
constexpr int RESIZE = 264;  // the window's size settled, its new size the pointer's window size

// What a key leaves for the screen once the view windows are updated.
enum class Effect {
  None,        // nothing to draw: `Z`, `r`, an unlisted key
  Refused,     // a mark refused, a view that cannot be drawn, `u`/`U` with none to go to
  Outline,     // outline the new pending window (`z`, `c`, a drag's square)
  Frame,       // a new current window or size: draw a frame (`d`, `u`, `U`, a pan, a resize)
  Wipe,        // clear the window to black (`w`)
  FullScreen,  // the window to full screen or back (`f`)
  Overlay,     // what lies over the picture changes (`i`, `o`, `0`, `?`): show it again
  Save,        // write the stored frame as a PNG (`s`)
  Print,       // print the view large, in the background (`S`)
};

// What a key does to the view windows.
enum class KeyAction {
  ZoomIn,
  ZoomOut,
  Recentre,
  Restore,
  Apply,
  Wipe,
  Back,
  Forward,
  PanLeft,
  PanRight,
  PanUp,
  PanDown,
  FullScreen,
  Info,
  Path,
  Rings,
  Help,
  Save,
  Print,
  Quit,
};

struct KeyCommand {
  int key;
  const char* label;  // as the help and the manuals write it: "z", "Escape", "Left"
  const char* name;   // in messages: "zoom-in"
  bool takesPointer;  // acts around the pointer: z@X,Y in a key script
  const char* help;
  KeyAction action;
  // Its word in a key script, or nullptr for a key that acts on the window
  // itself (Escape, f) and has no place in one.
  const char* word;
};

extern const KeyCommand KEYS[];
extern const std::size_t KEY_COUNT;

// The entry of `key` (case-sensitive), or nullptr for an unlisted key.
const KeyCommand* keyCommand(int key);
// The entry whose script word is `word`, or nullptr.
const KeyCommand* scriptKey(const std::string& word);

// Whether `key` may stand in a key script.
bool scriptable(const KeyCommand& command);

// Runs `key` on the view windows: z zooms in, Z out, c re-centres, all
// around `at`; r restores the home window; d applies the pending window;
// u and U step back and forward through the views drawn; the arrows move
// the view. An unlisted key (Escape included) does nothing. A refused mark
// says why in *why, if given.
template <class T>
Effect applyKey(BasicViews<T>& views, int key, const Pointer& at, const char** why = nullptr);

// What the mouse does, each action the keys it stands for, the first at
// the pointer: a click is its key then `d`, a wheel notch its zoom. A drag
// (a left one marks its square, then `d`; a middle one pans) under
// DRAG_THRESHOLD pixels is the click of its button instead. In a key script
// each is WORD@X,Y, a drag WORD@X0,Y0-X1,Y1.
struct MouseAction {
  const char* word;     // in a key script: "click"
  int keys[2];          // the keys it stands for, 0 for none
  bool drags;           // from a press to a release elsewhere
  int button;           // the button that does it, as GLUT numbers them (3 and 4: the wheel)
  const char* gesture;  // as the help and the manual pages name it: "left click"
  const char* help;     // what it does
};

extern const MouseAction MOUSE[];
extern const std::size_t MOUSE_COUNT;

// The entry of `word`, or nullptr.
const MouseAction* mouseAction(const std::string& word);
// The action a press of `button` does: its click, for a button that can
// also drag; nullptr for a button that does nothing.
const MouseAction* buttonAction(int button);
// The drag of `button`, or nullptr.
const MouseAction* dragAction(int button);

// A drag from `from` to `to`, when it goes DRAG_THRESHOLD pixels or more
// along either axis; a shorter one is a click where it began.
bool isDrag(const Pointer& from, const Pointer& to);

// What a key is called in a message: "zoom-in" for `z`, "drag" for
// SQUARE, "key" if unlisted.
const char* keyName(int key);

// The help's lines for the keys, each "  LABEL  help" with the labels in
// one column. `scripted`: the keys of a script only, a pointer key
// labelled "z@X,Y"; otherwise every key, as typed. Then the mouse's
// actions, as words of a script or as done with the mouse.
std::string keysHelp(bool scripted);

// The keys held down, told apart from the presses a keyboard repeats while
// a key is held: each of those would otherwise be a new command, and a held
// `d` would queue frame after frame. It goes by the order of the events,
// not by the keyboard's state when they are handled, so keys typed fast
// during a frame all count. A letter counts as one key whatever its case,
// since shift may change while it is held.
class HeldKeys {
 public:
  // True when `key` (a character) goes down now, false for a repeat of a
  // key still held.
  bool goesDown(int key);
  void release(int key);
  // Forgets them all: the keyboard's releases go elsewhere from now on.
  void releaseAll() { down_.reset(); }

 private:
  std::bitset<256> down_;
};

// A key and the pointer position it was typed at; for SQUARE and PAN, the
// drag from `at` to `to`; for RESIZE, the new size in at.width x
// at.height.
struct KeyPress {
  int key;
  Pointer at;
  Pointer to{0, 0};
};

// applyKey, and the actions no key types too.
template <class T>
Effect applyPress(BasicViews<T>& views, const KeyPress& press, const char** why = nullptr);

// The keys `action` stands for, done at `at` (a drag from `at` to `to`),
// in order; a drag under DRAG_THRESHOLD pixels is its button's click.
std::vector<KeyPress> pressesOf(const MouseAction& action, const Pointer& at,
                                const Pointer& to = Pointer{0, 0});

// Keys waiting their turn while a frame is drawn: they take effect after it,
// in the order typed, each with its own pointer position. An action (a key,
// or the keys a mouse action stands for: a click is `z` then `d`) goes in
// whole or not at all, so a click never loses its `d`. A `d` typed right
// behind another `d`, waiting or still running, is dropped, since the frame
// of the first has already made its pending window current and the second
// would draw the same view again; a resize right behind another replaces
// it, since only the last size counts. The queue holds CAPACITY actions, far
// more than a person can type or scroll while a frame draws; beyond that
// whole actions are dropped and counted, so that a flood of synthetic input
// can never build up unbounded work.
class KeyQueue {
 public:
  static constexpr std::size_t CAPACITY = 4096;  // actions

  // Queues one action: `count` keys, in order.
  void push(const KeyPress* keys, std::size_t count);
  void push(const KeyPress& typed) { push(&typed, 1); }
  // Takes the next key; it counts as running until `done`.
  bool pop(KeyPress* typed);
  void done() { running_ = 0; }
  bool empty() const { return keys_.empty(); }
  // The actions dropped since the last call, the queue being full.
  long takeDropped();

 private:
  struct Entry {
    KeyPress press;
    bool endsAction;  // the last key of its action
  };
  std::deque<Entry> keys_;
  std::size_t actions_ = 0;  // actions waiting, whole or begun
  long dropped_ = 0;         // actions dropped, not yet reported
  int running_ = 0;          // the key taken and not yet done, or 0
};

}  // namespace basin
