#include "viewer/keys.h"

namespace basin {

namespace {

Effect zoomIn(Views& v, const Pointer& at, const char** why) {
  return zoom(v, at, why) ? Effect::Outline : Effect::Refused;
}
Effect zoomOut(Views& v, const Pointer& at, const char** why) {
  return zoomo(v, at, why) ? Effect::None : Effect::Refused;  // never outlined
}
Effect centre(Views& v, const Pointer& at, const char** why) {
  return recentre(v, at, why) ? Effect::Outline : Effect::Refused;
}
Effect home(Views& v, const Pointer&, const char**) {
  restore(v);
  return Effect::None;
}
Effect apply(Views& v, const Pointer&, const char**) {
  changewin(v);
  return Effect::Frame;
}
Effect wipe(Views&, const Pointer&, const char**) { return Effect::Wipe; }

}  // namespace

const KeyCommand KEYS[] = {
    {'z', "z", "zoom-in", true, "zoom in: mark a third of the view, outlined", zoomIn},
    {'Z', "Z", "zoom-out", true, "zoom out: mark three times the view", zoomOut},
    {'c', "c", "re-centre", true, "re-centre: mark the view's size, outlined", centre},
    {'r', "r", "restore", false, "mark the start-up view", home},
    {'d', "d", "apply", false, "apply the mark: draw the marked view", apply},
    {'w', "w", "wipe", false, "wipe the picture to black", wipe},
    {ESCAPE, "Escape", "quit", false, "quit", nullptr},
};
const std::size_t KEY_COUNT = sizeof KEYS / sizeof KEYS[0];

const KeyCommand* keyCommand(unsigned char key) {
  for (const KeyCommand& command : KEYS)
    if (command.key == key) return &command;
  return nullptr;
}

Effect applyKey(Views& views, unsigned char key, const Pointer& at, const char** why) {
  const KeyCommand* command = keyCommand(key);
  return command && command->apply ? command->apply(views, at, why) : Effect::None;
}

const char* keyName(unsigned char key) {
  const KeyCommand* command = keyCommand(key);
  return command ? command->name : "key";
}

std::string keysHelp(bool scripted) {
  std::string text;
  const std::size_t column = scripted ? 5 : 6;  // "z@X,Y", "Escape"
  for (const KeyCommand& command : KEYS) {
    if (scripted && command.apply == nullptr) continue;
    std::string label = command.label;
    if (scripted && command.takesPointer) label += "@X,Y";
    text += "  " + label + std::string(column - label.size() + 2, ' ') + command.help + "\n";
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

void KeyQueue::push(const KeyPress& typed) {
  if (keys_.size() >= CAPACITY) return;
  const unsigned char before = keys_.empty() ? running_ : keys_.back().key;
  if (typed.key == 'd' && before == 'd') return;
  keys_.push_back(typed);
}

bool KeyQueue::pop(KeyPress* typed) {
  if (keys_.empty()) return false;
  *typed = keys_.front();
  keys_.pop_front();
  running_ = typed->key;
  return true;
}

}  // namespace basin
