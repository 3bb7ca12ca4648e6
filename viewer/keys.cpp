#include "viewer/keys.h"

namespace basin {

const KeyCommand KEYS[] = {
    {'z', "z", "zoom-in", true, "zoom in: mark a third of the view, outlined", KeyAction::ZoomIn},
    {'Z', "Z", "zoom-out", true, "zoom out: mark three times the view", KeyAction::ZoomOut},
    {'c', "c", "re-centre", true, "re-centre: mark the view's size, outlined", KeyAction::Recentre},
    {'r', "r", "restore", false, "mark the start-up view", KeyAction::Restore},
    {'d', "d", "apply", false, "apply the mark: draw the marked view", KeyAction::Apply},
    {'w', "w", "wipe", false, "wipe the picture to black", KeyAction::Wipe},
    {'u', "u", "back", false, "step back to the view before and draw it", KeyAction::Back},
    {'U', "U", "forward", false, "step forward again to the view stepped back from",
     KeyAction::Forward},
    {ESCAPE, "Escape", "quit", false, "quit", KeyAction::Quit},
};
const std::size_t KEY_COUNT = sizeof KEYS / sizeof KEYS[0];

bool scriptable(const KeyCommand& command) { return command.action != KeyAction::Quit; }

template <class T>
Effect applyKey(BasicViews<T>& v, unsigned char key, const Pointer& at, const char** why) {
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
    case KeyAction::Quit:
      break;
  }
  return Effect::None;
}

const MouseAction MOUSE[] = {
    {"click", "zd", 0, "left click", "z then d at the pointer"},
    {"rclick", "Zd", 2, "right click", "Z then d at the pointer"},
    {"mclick", "cd", 1, "middle click", "c then d at the pointer"},
    {"wheelup", "zd", 3, "wheel up", "z then d at the pointer"},
    {"wheeldown", "Zd", 4, "wheel down", "Z then d at the pointer"},
    {"drag", nullptr, 0, "left drag",
     "the square of its larger side, centred where it started,\n"
     "marked and drawn; under 5 pixels it is a left click"},
};
const std::size_t MOUSE_COUNT = sizeof MOUSE / sizeof MOUSE[0];

const MouseAction* mouseAction(const std::string& word) {
  for (const MouseAction& action : MOUSE)
    if (word == action.word) return &action;
  return nullptr;
}

const MouseAction* buttonAction(int button) {
  for (const MouseAction& action : MOUSE)
    if (action.button == button && action.keys != nullptr) return &action;
  return nullptr;
}

bool isDrag(const Pointer& from, const Pointer& to) {
  return draggedSquare(from, to).side >= DRAG_THRESHOLD;
}

std::vector<KeyPress> pressesOf(const MouseAction& action, const Pointer& at, const Pointer& to) {
  if (action.keys == nullptr) {
    if (isDrag(at, to)) return {KeyPress{SQUARE, at, to}, KeyPress{'d', to}};
    return pressesOf(*buttonAction(action.button), at);
  }
  std::vector<KeyPress> presses;
  for (const char* key = action.keys; *key; ++key)
    presses.push_back(KeyPress{static_cast<unsigned char>(*key), at});
  return presses;
}

template <class T>
Effect applyPress(BasicViews<T>& views, const KeyPress& press, const char** why) {
  if (press.key != SQUARE) return applyKey(views, press.key, press.at, why);
  return markSquare(views, press.at, press.to, why) ? Effect::Outline : Effect::Refused;
}

const KeyCommand* keyCommand(unsigned char key) {
  for (const KeyCommand& command : KEYS)
    if (command.key == key) return &command;
  return nullptr;
}

const char* keyName(unsigned char key) {
  if (key == SQUARE) return "drag";
  const KeyCommand* command = keyCommand(key);
  return command ? command->name : "key";
}

std::string keysHelp(bool scripted) {
  std::string text;
  const std::size_t column = scripted ? 5 : 6;  // "z@X,Y", "Escape"
  for (const KeyCommand& command : KEYS) {
    if (scripted && !scriptable(command)) continue;
    std::string label = command.label;
    if (scripted && command.takesPointer) label += "@X,Y";
    text += "  " + label + std::string(column - label.size() + 2, ' ') + command.help + "\n";
  }
  text += scripted ? "mouse actions, each the keys it names:\n" : "mouse, in the window:\n";
  for (const MouseAction& action : MOUSE) {
    std::string help = std::string(action.gesture) + ": " + action.help;
    for (std::size_t at = help.find('\n'); at != std::string::npos; at = help.find('\n', at + 1))
      help.insert(at + 1, 4, ' ');
    if (scripted)
      text += std::string("  ") + action.word + (action.keys ? "@X,Y" : "@X0,Y0-X1,Y1") + "\n";
    text += "    " + help + "\n";
  }
  return text;
}

namespace {

unsigned char physical(unsigned char key) {
  return key >= 'A' && key <= 'Z' ? static_cast<unsigned char>(key - 'A' + 'a') : key;
}

}  // namespace

bool HeldKeys::goesDown(unsigned char key) {
  if (down_.test(physical(key))) return false;
  down_.set(physical(key));
  return true;
}

void HeldKeys::release(unsigned char key) { down_.reset(physical(key)); }

void KeyQueue::push(const KeyPress* keys, std::size_t count) {
  if (count == 0) return;
  const unsigned char before = keys_.empty() ? running_ : keys_.back().press.key;
  if (count == 1 && keys[0].key == 'd' && before == 'd') return;
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

#define BASIN_KEYS_FOR(T)                                                                \
  template Effect applyKey(BasicViews<T>&, unsigned char, const Pointer&, const char**); \
  template Effect applyPress(BasicViews<T>&, const KeyPress&, const char**);
BASIN_STORAGE_TYPES(BASIN_KEYS_FOR)
#undef BASIN_KEYS_FOR

}  // namespace basin
