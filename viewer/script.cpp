#include "viewer/script.h"

#include <cctype>
#include <cstdio>
#include <utility>

#include "core/text.h"

namespace basin {
namespace {

// The largest window a script may size: as large as a print.
constexpr int LARGEST_WINDOW = 16384;

// "unknown key (the keys are z@X,Y Z@X,Y c@X,Y r d w u U left ...; the
// mouse's click@X,Y ... drag@X0,Y0-X1,Y1 ...; size@WxH)"
std::string unknownKey() {
  std::string keys, mouse;
  for (std::size_t i = 0; i < KEY_COUNT; ++i)
    if (scriptable(KEYS[i]))
      keys += std::string(keys.empty() ? "" : " ") + KEYS[i].word +
              (KEYS[i].takesPointer ? "@X,Y" : "");
  for (std::size_t i = 0; i < MOUSE_COUNT; ++i)
    mouse += std::string(mouse.empty() ? "" : " ") + MOUSE[i].word +
             (MOUSE[i].drags ? "@X0,Y0-X1,Y1" : "@X,Y");
  return "unknown key (the keys are " + keys + "; the mouse's " + mouse + "; size@WxH)";
}

// A whole number of pixels: digits only, at most `digits` of them. A minus
// before the digits reads as a number all the same, with *negative set, so
// that a position inside the window can be refused as outside it rather
// than as malformed.
bool parseCoordinate(std::string text, std::size_t digits, int* value, bool* negative) {
  const bool minus = text.size() > 1 && text[0] == '-';
  if (minus) text.erase(0, 1);
  if (text.empty() || text.size() > digits) return false;
  int v = 0;
  for (const char ch : text) {
    if (!std::isdigit(static_cast<unsigned char>(ch))) return false;
    v = v * 10 + (ch - '0');
  }
  *negative = *negative || minus;
  *value = minus ? -v : v;
  return true;
}

std::string outside(Size size) {
  return "pointer position outside the " + std::to_string(size.width) + " x " +
         std::to_string(size.height) + " window (0 ... " + std::to_string(size.width - 1) +
         ", 0 ... " + std::to_string(size.height - 1) + ")";
}

// "X,Y" into a position; false with *error set. `inside`: it must lie in
// the window of `size`, as every pointer position where an action starts
// does; a drag's release may lie anywhere on the screen, as the mouse can.
bool parsePosition(const std::string& text, const std::string& form, bool inside, Size size, int* x,
                   int* y, std::string* error) {
  const std::size_t comma = text.find(',');
  const std::size_t digits = inside ? 5 : 6;
  bool below = false;  // a coordinate written with a minus, left of or above the window
  if (comma == std::string::npos || !parseCoordinate(text.substr(0, comma), digits, x, &below) ||
      !parseCoordinate(text.substr(comma + 1), digits, y, &below)) {
    *error = "expected " + form + " with X and Y whole numbers of pixels";
    return false;
  }
  if (inside && (below || *x >= size.width || *y >= size.height)) {
    *error = outside(size);
    return false;
  }
  return true;
}

// The commands of one action, in order.
void appendPresses(const std::vector<KeyPress>& presses, std::vector<Command>* out) {
  for (const KeyPress& p : presses) out->push_back(Command{p.key, p.at.x, p.at.y, p.to.x, p.to.y});
}

// A mouse word: "click@X,Y" and the like, or "drag@X0,Y0-X1,Y1": the same
// keys the gesture queues in the viewer (pressesOf), a drag under
// DRAG_THRESHOLD pixels its button's click where it began.
bool parseMouse(const MouseAction& action, const std::string& at, Size size,
                std::vector<Command>* out, std::string* error) {
  const std::string word = action.word;
  int x = 0, y = 0;
  if (!action.drags) {
    if (!parsePosition(at, word + "@X,Y", true, size, &x, &y, error)) return false;
    appendPresses(pressesOf(action, Pointer{x, y}), out);
    return true;
  }
  const std::string form = word + "@X0,Y0-X1,Y1";
  // The dash between the two positions, not a minus of the second one.
  const std::size_t dash = at.find('-', at.find(',') == std::string::npos ? 0 : at.find(',') + 2);
  int x1 = 0, y1 = 0;
  if (dash == std::string::npos) {
    *error = "expected " + form + " with whole numbers of pixels";
    return false;
  }
  if (!parsePosition(at.substr(0, dash), form, true, size, &x, &y, error) ||
      !parsePosition(at.substr(dash + 1), form, false, size, &x1, &y1, error))
    return false;
  appendPresses(pressesOf(action, Pointer{x, y}, Pointer{x1, y1}), out);
  return true;
}

// "size@WxH": the window's size from here on, each side 1 ... LARGEST_WINDOW.
bool parseSize(const std::string& text, Size* size, std::vector<Command>* out, std::string* error) {
  const std::size_t x = text.find('x');
  bool negative = false;
  int width = 0, height = 0;
  if (x == std::string::npos || !parseCoordinate(text.substr(0, x), 5, &width, &negative) ||
      !parseCoordinate(text.substr(x + 1), 5, &height, &negative) || negative || width < 1 ||
      height < 1 || width > LARGEST_WINDOW || height > LARGEST_WINDOW) {
    *error = "expected size@WxH with W and H whole numbers of pixels, 1 ... " +
             std::to_string(LARGEST_WINDOW);
    return false;
  }
  *size = Size{width, height};
  out->push_back(Command{RESIZE, width, height});
  return true;
}

// One word: a key ("r", "left", "z@X,Y", ...), a mouse word or "size@WxH";
// its commands are appended to *out. *size is the window's size in the
// script at this word, which pointer positions must lie within.
bool parseToken(const std::string& token, Size* size, std::vector<Command>* out,
                std::string* error) {
  const std::size_t atSign = token.find('@');
  const std::string word = token.substr(0, atSign);
  const std::string at = atSign == std::string::npos ? "" : token.substr(atSign + 1);
  if (word == "size" && atSign != std::string::npos) return parseSize(at, size, out, error);
  if (const MouseAction* action = mouseAction(word)) {
    if (atSign == std::string::npos) {
      *error = unknownKey();
      return false;
    }
    return parseMouse(*action, at, *size, out, error);
  }
  const KeyCommand* entry = scriptKey(word);
  if (entry == nullptr) {
    *error = unknownKey();
    return false;
  }
  if (!entry->takesPointer) {
    if (atSign != std::string::npos) {
      *error = word + " takes no pointer position";
      return false;
    }
    out->push_back(Command{entry->key, 0, 0});
    return true;
  }
  int x = 0, y = 0;
  if (atSign == std::string::npos || !parsePosition(at, word + "@X,Y", true, *size, &x, &y, error))
    return false;
  out->push_back(Command{entry->key, x, y});
  return true;
}

}  // namespace

namespace {

// Longer than any word ("drag@16383,16383--99999,-99999" is the longest), so a word this long
// is refused whatever follows; the rest of it is not kept.
constexpr std::size_t LONGEST_WORD = 32;

// The script's bytes from a string.
struct TextSource {
  const std::string& text;
  std::size_t at = 0;
  int get() { return at < text.size() ? static_cast<unsigned char>(text[at++]) : EOF; }
  // Why reading stopped before the end, or nullptr: a string never does.
  const char* halted() const { return nullptr; }
};

// The script's bytes from a file, up to KEYS_FILE_LIMIT of them. A UTF-8
// byte-order mark that some editors put first is no part of the script.
struct FileSource {
  std::FILE* file;
  long read = 0;
  const char* why = nullptr;
  int held[3] = {};  // bytes read ahead to look for the mark, given out first
  int heldCount = 0, heldAt = 0;

  explicit FileSource(std::FILE* f) : file(f) {
    static const int MARK[3] = {0xEF, 0xBB, 0xBF};
    while (heldCount < 3 && (held[heldCount] = next()) == MARK[heldCount]) ++heldCount;
    if (heldCount == 3)
      heldCount = 0;  // the whole mark: dropped
    else if (held[heldCount] != EOF)
      ++heldCount;  // the byte that differs is given out too
  }
  int get() {
    if (heldAt < heldCount) return held[heldAt++];
    return next();
  }
  int next() {
    if (why != nullptr) return EOF;
    const int c = std::getc(file);
    if (c == EOF) {
      if (std::ferror(file)) why = "cannot be read";
    } else if (++read > KEYS_FILE_LIMIT) {
      why = "more than 1 MiB of keys, more than any session needs";
      return EOF;
    }
    return c;
  }
  const char* halted() const { return why; }
};

bool isBlank(int c) { return c != EOF && std::isspace(c); }

// Reads the script word by word from `source`, stopping at the first bad
// word. Lines are named in messages when `namesLines`.
template <class Source>
bool parseWords(Source& source, bool namesLines, std::vector<Command>* commands,
                std::string* error) {
  std::vector<Command> parsed;
  Size size;  // the window's, as size@ words change it
  int words = 0;
  int line = 1;
  int c = source.get();
  while (true) {
    while (isBlank(c) || c == '#') {
      if (c == '#')
        while (c != EOF && c != '\n') c = source.get();
      if (c == '\n') ++line;
      if (c != EOF) c = source.get();
    }
    if (c == EOF && source.halted() == nullptr) break;
    std::string word;
    bool cut = false;
    for (; c != EOF && !isBlank(c) && c != '#'; c = source.get()) {
      cut = word.size() == LONGEST_WORD;
      if (cut) break;
      word += char(c);
    }
    if (const char* why = source.halted()) {
      *error = why;
      commands->clear();
      return false;
    }
    ++words;
    if (cut || !parseToken(word, &size, &parsed, error)) {
      const std::string where = namesLines ? " on line " + std::to_string(line) : "";
      *error = "key " + std::to_string(words) + " '" + escaped(word) + (cut ? "...'" : "'") +
               where + ": " + (cut ? unknownKey() : *error);
      commands->clear();
      return false;
    }
  }
  *commands = std::move(parsed);
  return true;
}

}  // namespace

bool parseKeys(const std::string& text, std::vector<Command>* commands, std::string* error) {
  TextSource source{text};
  return parseWords(source, text.find('\n') != std::string::npos, commands, error);
}

bool readKeys(std::FILE* file, std::vector<Command>* commands, std::string* error) {
  FileSource source(file);
  return parseWords(source, true, commands, error);
}

KeyPress pressOf(const Command& command, Size size) {
  if (command.key == RESIZE) return KeyPress{RESIZE, Pointer{0, 0, command.x, command.y}};
  return KeyPress{command.key, Pointer{command.x, command.y, size.width, size.height},
                  Pointer{command.x1, command.y1, size.width, size.height}};
}

}  // namespace basin
