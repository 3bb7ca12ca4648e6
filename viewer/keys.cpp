#include "viewer/keys.h"

namespace basin {

Effect press(Views& views, unsigned char key, const Pointer& at) {
  switch (key) {
    case ESCAPE:
      return Effect::Exit;
    case 'z':
      return zoom(views, at) ? Effect::Outline : Effect::None;
    case 'Z':
      zoomo(views, at);  // marked, never outlined
      return Effect::None;
    case 'c':
      return recent(views, at) ? Effect::Outline : Effect::None;
    case 'r':
      restore(views);
      return Effect::None;
    case 'd':
      changewin(views);
      return Effect::Frame;
    case 'w':
      return Effect::Wipe;
    default:
      return Effect::None;
  }
}

void KeyQueue::push(const KeyPress& press) {
  if (keys_.size() >= CAPACITY) return;
  if (press.key == 'd' && !keys_.empty() && keys_.back().key == 'd') return;
  keys_.push_back(press);
}

bool KeyQueue::pop(KeyPress* press) {
  if (keys_.empty()) return false;
  *press = keys_.front();
  keys_.pop_front();
  return true;
}

}  // namespace basin
