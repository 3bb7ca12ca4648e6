#include "viewer/keys.h"

namespace basin {

Effect press(Views& views, unsigned char key, const Pointer& at, const char** why) {
  switch (key) {
    case ESCAPE:
      return Effect::Exit;
    case 'z':
      return zoom(views, at, why) ? Effect::Outline : Effect::Refused;
    case 'Z':
      return zoomo(views, at, why) ? Effect::None : Effect::Refused;  // never outlined
    case 'c':
      return recent(views, at, why) ? Effect::Outline : Effect::Refused;
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

const char* keyName(unsigned char key) {
  switch (key) {
    case 'z':
      return "zoom-in";
    case 'Z':
      return "zoom-out";
    case 'c':
      return "re-centre";
    default:
      return "key";
  }
}

namespace {

unsigned char physical(unsigned char key) {
  return key >= 'A' && key <= 'Z' ? static_cast<unsigned char>(key - 'A' + 'a') : key;
}

}  // namespace

bool HeldKeys::press(unsigned char key) {
  if (down_.test(physical(key))) return false;
  down_.set(physical(key));
  return true;
}

void HeldKeys::release(unsigned char key) { down_.reset(physical(key)); }

void KeyQueue::push(const KeyPress& press) {
  if (keys_.size() >= CAPACITY) return;
  const unsigned char before = keys_.empty() ? running_ : keys_.back().key;
  if (press.key == 'd' && before == 'd') return;
  keys_.push_back(press);
}

bool KeyQueue::pop(KeyPress* press) {
  if (keys_.empty()) return false;
  *press = keys_.front();
  keys_.pop_front();
  running_ = press->key;
  return true;
}

}  // namespace basin
