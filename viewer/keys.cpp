#include "viewer/keys.h"

namespace basin {

const KeyCommand KEYS[] = {
    {'z', "z", "zoom-in", true, "zoom in: mark a third of the view, outlined", KeyAction::ZoomIn,
     "z"},
    {'Z', "Z", "zoom-out", true, "zoom out: mark three times the view", KeyAction::ZoomOut, "Z"},
    {'c', "c", "re-centre", true, "re-centre: mark the view's size, outlined", KeyAction::Recentre,
     "c"},
    {'r', "r", "restore", false, "mark the start-up view", KeyAction::Restore, "r"},
    {'d', "d", "apply", false, "apply the mark: draw the marked view", KeyAction::Apply, "d"},
    {'w', "w", "wipe", false, "wipe the picture to black", KeyAction::Wipe, "w"},
    {'u', "u", "back", false, "step back to the view before and draw it", KeyAction::Back, "u"},
    {'U', "U", "forward", false, "step forward again to the view stepped back from",
     KeyAction::Forward, "U"},
    {ARROW_LEFT, "Left", "pan-left", false, "move the view a quarter of the window left",
     KeyAction::PanLeft, "left"},
    {ARROW_RIGHT, "Right", "pan-right", false, "move the view a quarter of the window right",
     KeyAction::PanRight, "right"},
    {ARROW_UP, "Up", "pan-up", false, "move the view a quarter of the window up", KeyAction::PanUp,
     "up"},
    {ARROW_DOWN, "Down", "pan-down", false, "move the view a quarter of the window down",
     KeyAction::PanDown, "down"},
    {'f', "f", "full-screen", false, "full screen, or back to the window's last size",
     KeyAction::FullScreen, nullptr},
    {'i', "i", "information", false,
     "show or hide the panel: the pointer's sample and its run, the view, the frame",
     KeyAction::Info, "i"},
    {'o', "o", "path", true, "draw the run from the sample under the pointer, its steps on stderr",
     KeyAction::Path, "o"},
    {'0', "0", "roots", false, "show or hide a ring at each root", KeyAction::Rings, "0"},
    {'?', "?", "help", false, "show or hide this help over the picture", KeyAction::Help, "?"},
    {'s', "s", "save", false, "save the picture as basinscope-NNNN.png", KeyAction::Save, "s"},
    {'S', "S", "print", false, "print the view at four times the window's size, in the background",
     KeyAction::Print, nullptr},
    {ESCAPE, "Escape", "quit", false, "quit", KeyAction::Quit, nullptr},
};
const std::size_t KEY_COUNT = sizeof KEYS / sizeof KEYS[0];

bool scriptable(const KeyCommand& command) { return command.word != nullptr; }

namespace {

// A quarter of the window, in the direction the arrow moves the view: the
// picture moves the other way, as a pan dragging it would.
template <class T>
Effect panQuarter(BasicViews<T>& v, int right, int down, const char** why) {
  const int width = v.size.width, height = v.size.height;
  const Pointer from{0, 0, width, height};
  const Pointer to{-right * (width / 4), -down * (height / 4), width, height};
  return pan(v, from, to, why) ? Effect::Frame : Effect::Refused;
}

}  // namespace

template <class T>
Effect applyKey(BasicViews<T>& v, int key, const Pointer& at, const char** why) {
  const KeyCommand* command = keyCommand(key);
  if (command == nullptr) return Effect::None;
  switch (command->action) {
    case KeyAction::ZoomIn:
      return zoom(v, at, why) ? Effect::Outline : Effect::Refused;
    case KeyAction::ZoomOut:
      return zoomo(v, at, why) ? Effect::None : Effect::Refused;  // never outlined
    case KeyAction::Recentre:
      return recent(v, at, why) ? Effect::Outline : Effect::Refused;
    case KeyAction::Restore:
      restore(v);
      return Effect::None;
    case KeyAction::Apply:
      changewin(v);
      return Effect::Frame;
    case KeyAction::Wipe:
      return Effect::Wipe;
    case KeyAction::Back:
      return stepBack(v, why) ? Effect::Frame : Effect::Refused;
    case KeyAction::Forward:
      return stepForward(v, why) ? Effect::Frame : Effect::Refused;
    case KeyAction::PanLeft:
      return panQuarter(v, -1, 0, why);
    case KeyAction::PanRight:
      return panQuarter(v, 1, 0, why);
    case KeyAction::PanUp:
      return panQuarter(v, 0, -1, why);
    case KeyAction::PanDown:
      return panQuarter(v, 0, 1, why);
    case KeyAction::FullScreen:
      return Effect::FullScreen;
    case KeyAction::Info:
    case KeyAction::Path:
    case KeyAction::Rings:
    case KeyAction::Help:
      return Effect::Overlay;
    case KeyAction::Save:
      return Effect::Save;
    case KeyAction::Print:
      return Effect::Print;
    case KeyAction::Quit:
      break;
  }
  return Effect::None;
}

const MouseAction MOUSE[] = {
    {"click", {'z', 'd'}, false, 0, "left click", "z then d at the pointer"},
    {"rclick", {'Z', 'd'}, false, 2, "right click", "Z then d at the pointer"},
    {"mclick", {'c', 'd'}, false, 1, "middle click", "c then d at the pointer"},
    {"wheelup",
     {WHEEL_IN, 0},
     false,
     3,
     "wheel up",
     "zoom in about the pointer by the cube root of 3, at once\n"
     "(three notches make one z)"},
    {"wheeldown",
     {WHEEL_OUT, 0},
     false,
     4,
     "wheel down",
     "zoom out about the pointer by the cube root of 3, at once"},
    {"drag",
     {SQUARE, 'd'},
     true,
     0,
     "left drag",
     "the square of its larger side, centred where it started,\n"
     "marked and drawn; under 5 pixels it is a left click"},
    {"pan",
     {PAN, 0},
     true,
     1,
     "middle drag",
     "moves the view with the pointer, drawn as it goes;\n"
     "under 5 pixels it is a middle click"},
};
const std::size_t MOUSE_COUNT = sizeof MOUSE / sizeof MOUSE[0];

const MouseAction* mouseAction(const std::string& word) {
  for (const MouseAction& action : MOUSE)
    if (word == action.word) return &action;
  return nullptr;
}

const MouseAction* buttonAction(int button) {
  for (const MouseAction& action : MOUSE)
    if (action.button == button && !action.drags) return &action;
  return nullptr;
}

const MouseAction* dragAction(int button) {
  for (const MouseAction& action : MOUSE)
    if (action.button == button && action.drags) return &action;
  return nullptr;
}

bool isDrag(const Pointer& from, const Pointer& to) {
  return draggedSquare(from, to).side >= DRAG_THRESHOLD;
}

std::vector<KeyPress> pressesOf(const MouseAction& action, const Pointer& at, const Pointer& to) {
  if (action.drags && !isDrag(at, to)) return pressesOf(*buttonAction(action.button), at);
  std::vector<KeyPress> presses;
  for (const int key : action.keys)
    if (key != 0) presses.push_back(KeyPress{key, at, to});
  return presses;
}

template <class T>
Effect applyPress(BasicViews<T>& views, const KeyPress& press, const char** why) {
  switch (press.key) {
    case SQUARE:
      return markSquare(views, press.at, press.to, why) ? Effect::Outline : Effect::Refused;
    case PAN:
      return pan(views, press.at, press.to, why) ? Effect::Frame : Effect::Refused;
    case WHEEL_IN:
    case WHEEL_OUT:
      return wheel(views, press.at, press.key == WHEEL_IN, why) ? Effect::Frame : Effect::Refused;
    case RESIZE:
      return resize(views, Size{press.at.width, press.at.height}, why) ? Effect::Frame
                                                                       : Effect::Refused;
    default:
      return applyKey(views, press.key, press.at, why);
  }
}

const KeyCommand* keyCommand(int key) {
  for (const KeyCommand& command : KEYS)
    if (command.key == key) return &command;
  return nullptr;
}

const KeyCommand* scriptKey(const std::string& word) {
  for (const KeyCommand& command : KEYS)
    if (command.word != nullptr && word == command.word) return &command;
  return nullptr;
}

const char* keyName(int key) {
  switch (key) {
    case SQUARE:
      return "drag";
    case PAN:
      return "pan";
    case WHEEL_IN:
    case WHEEL_OUT:
      return "wheel";
    case RESIZE:
      return "resize";
  }
  const KeyCommand* command = keyCommand(key);
  return command ? command->name : "key";
}

std::string keysHelp(bool scripted) {
  std::string text;
  const std::size_t column = 6;  // "z@X,Y", "Escape"
  for (const KeyCommand& command : KEYS) {
    if (scripted && !scriptable(command)) continue;
    std::string label = scripted ? command.word : command.label;
    if (scripted && command.takesPointer) label += "@X,Y";
    text += "  " + label + std::string(column - label.size() + 2, ' ') + command.help + "\n";
  }
  if (scripted) text += "  size@WxH  the window's size from here on (a frame, as a resize)\n";
  text += scripted ? "mouse actions, each the keys it names:\n" : "mouse, in the window:\n";
  for (const MouseAction& action : MOUSE) {
    std::string help = std::string(action.gesture) + ": " + action.help;
    for (std::size_t at = help.find('\n'); at != std::string::npos; at = help.find('\n', at + 1))
      help.insert(at + 1, 4, ' ');
    if (scripted)
      text += std::string("  ") + action.word + (action.drags ? "@X0,Y0-X1,Y1" : "@X,Y") + "\n";
    text += "    " + help + "\n";
  }
  return text;
}

namespace {

int physical(int key) { return key >= 'A' && key <= 'Z' ? key - 'A' + 'a' : key; }

}  // namespace

bool HeldKeys::goesDown(int key) {
  if (key < 0 || key > 255) return true;
  if (down_.test(std::size_t(physical(key)))) return false;
  down_.set(std::size_t(physical(key)));
  return true;
}

void HeldKeys::release(int key) {
  if (key >= 0 && key <= 255) down_.reset(std::size_t(physical(key)));
}

void KeyQueue::push(const KeyPress* keys, std::size_t count) {
  if (count == 0) return;
  const int before = keys_.empty() ? running_ : keys_.back().press.key;
  if (count == 1 && keys[0].key == 'd' && before == 'd') return;
  if (count == 1 && keys[0].key == RESIZE && !keys_.empty() && before == RESIZE) {
    keys_.back().press = keys[0];
    return;
  }
  if (actions_ >= CAPACITY) {
    ++dropped_;
    return;
  }
  for (std::size_t i = 0; i < count; ++i) keys_.push_back(Entry{keys[i], i + 1 == count});
  ++actions_;
}

bool KeyQueue::pop(KeyPress* typed) {
  if (keys_.empty()) return false;
  *typed = keys_.front().press;
  if (keys_.front().endsAction) --actions_;
  keys_.pop_front();
  running_ = typed->key;
  return true;
}

long KeyQueue::takeDropped() {
  const long dropped = dropped_;
  dropped_ = 0;
  return dropped;
}

#define BASIN_KEYS_FOR(T)                                                      \
  template Effect applyKey(BasicViews<T>&, int, const Pointer&, const char**); \
  template Effect applyPress(BasicViews<T>&, const KeyPress&, const char**);
BASIN_STORAGE_TYPES(BASIN_KEYS_FOR)
#undef BASIN_KEYS_FOR

}  // namespace basin
