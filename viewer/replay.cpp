#include "viewer/replay.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace basin {
namespace {

const char* const UNKNOWN = "unknown key (the keys are z@X,Y Z@X,Y c@X,Y r d w)";

bool takesPointer(char key) { return key == 'z' || key == 'Z' || key == 'c'; }
bool takesNothing(char key) { return key == 'r' || key == 'd' || key == 'w'; }

// A whole number of pixels inside the window: digits only, no sign.
bool parseCoordinate(const std::string& text, int* value) {
  if (text.empty() || text.size() > 4) return false;
  int v = 0;
  for (const char ch : text) {
    if (!std::isdigit(static_cast<unsigned char>(ch))) return false;
    v = v * 10 + (ch - '0');
  }
  *value = v;
  return true;
}

// One token: "r", "d", "w", or "z@X,Y", "Z@X,Y", "c@X,Y".
bool parseToken(const std::string& token, Command* command, std::string* error) {
  const char key = token[0];
  if (!takesPointer(key) && !takesNothing(key)) {
    *error = UNKNOWN;
    return false;
  }
  if (takesNothing(key)) {
    if (token.size() != 1) {
      *error = token[1] == '@' ? std::string(1, key) + " takes no pointer position" : UNKNOWN;
      return false;
    }
    *command = Command{key, 0, 0};
    return true;
  }
  const std::size_t comma = token.find(',');
  int x = 0, y = 0;
  if (token.size() < 2 || token[1] != '@' || comma == std::string::npos ||
      !parseCoordinate(token.substr(2, comma - 2), &x) ||
      !parseCoordinate(token.substr(comma + 1), &y)) {
    *error = "expected " + std::string(1, key) + "@X,Y with X and Y whole numbers of pixels";
    return false;
  }
  if (x >= GRID || y >= GRID) {
    *error = "pointer position outside the 800 x 800 window (0 ... 799)";
    return false;
  }
  *command = Command{key, x, y};
  return true;
}

}  // namespace

bool parseKeys(const std::string& text, std::vector<Command>* commands, std::string* error) {
  const bool lines = text.find('\n') != std::string::npos;
  std::vector<Command> parsed;
  std::size_t at = 0;
  int line = 1;
  while (true) {
    while (at < text.size() &&
           (std::isspace(static_cast<unsigned char>(text[at])) || text[at] == '#')) {
      if (text[at] == '#') at = std::min(text.find('\n', at), text.size());
      if (at < text.size() && text[at] == '\n') ++line;
      if (at < text.size()) ++at;
    }
    if (at == text.size()) break;
    std::size_t end = at;
    while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])) &&
           text[end] != '#')
      ++end;
    const std::string token = text.substr(at, end - at);
    Command command;
    if (!parseToken(token, &command, error)) {
      const std::string where = lines ? " on line " + std::to_string(line) : "";
      *error =
          "key " + std::to_string(parsed.size() + 1) + " '" + token + "'" + where + ": " + *error;
      commands->clear();
      return false;
    }
    parsed.push_back(command);
    at = end;
  }
  *commands = std::move(parsed);
  return true;
}

void drawFrame(HeadlessViewer& session, int size) {
  if (!session.rowDone) return renderPicture(session.basin, size, &session.picture);
  renderPicture(session.basin, size, &session.picture, session.rowDone);
}

Effect replay(HeadlessViewer& session, const Command& command, int size, const char** why) {
  const Pointer at{command.x, command.y, GRID, GRID};
  const Effect effect =
      press(session.basin.views, static_cast<unsigned char>(command.key), at, why);
  if (effect == Effect::Frame) {
    drawFrame(session, size);
  } else if (effect == Effect::Wipe) {
    std::fill(session.picture.rgb.begin(), session.picture.rgb.end(), std::uint8_t{0});
  }
  return effect;
}

namespace {

// The shortest decimal that reads back as `value`.
std::string shortest(float value) {
  char text[32];
  for (int digits = 1; digits <= 9; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, double(value));
    if (std::strtof(text, nullptr) == value) break;
  }
  return text;
}

}  // namespace

std::string shotCommand(const Basin& basin) {
  const Variant& variant = basin.variant;
  std::string program = variant.name;
  if (variant.fromUser)
    program = std::string("'") + variant.formula + "' --ftol " + shortest(variant.FTOL) +
              " --rtol " + shortest(variant.RTOL) + " --extra " +
              std::to_string(variant.EXTRASLOTS);
  const Views& v = basin.views;
  char edges[128];
  std::snprintf(edges, sizeof edges, "%.9g %.9g %.9g %.9g", double(v.XMIN), double(v.XMAX),
                double(v.YMIN), double(v.YMAX));
  return "basinshot " + program + " --window " + edges + " -o view.png";
}

bool showWindow(HeadlessViewer& session, const Window& w, int size) {
  if (windowFault(w) != nullptr) return false;
  Views& v = session.basin.views;
  v.NXMIN = w.xmin;
  v.NXMAX = w.xmax;
  v.NYMIN = w.ymin;
  v.NYMAX = w.ymax;
  replay(session, Command{'d', 0, 0}, size);
  return true;
}

Picture takeShot(const Variant& variant, const Shot& shot, const ShotReport& report) {
  // Which frame is the last one: the last `d`, else the window's, else the
  // start-up frame (index -1 stands for both of the latter).
  int last = -1;
  for (int i = 0; i < int(shot.keys.size()); ++i)
    if (shot.keys[i].key == 'd') last = i;
  const auto sizeOf = [&](int index) { return index == last ? shot.size : GRID; };

  HeadlessViewer session(variant);
  long done = 0;  // rows drawn so far
  if (report.progress) {
    // Rows of every frame: the start-up frame, a second one for the window
    // or for the start-up frame at its own size, then one for each `d`.
    long total = GRID;
    if (shot.hasWindow || sizeOf(-1) != GRID) total += sizeOf(-1);
    for (int i = 0; i < int(shot.keys.size()); ++i)
      if (shot.keys[i].key == 'd') total += sizeOf(i);
    session.rowDone = [&report, &done, total](int) { report.progress(++done, total); };
  }
  // The start-up frame always goes over the viewer's grid first: the
  // registry gives the roots their colours in the order that grid meets
  // them. When it is also the last frame, it is drawn again at shot.size.
  drawFrame(session);
  if (shot.hasWindow) {
    showWindow(session, shot.window, sizeOf(-1));
  } else if (sizeOf(-1) != GRID) {
    drawFrame(session, sizeOf(-1));
  }
  for (int i = 0; i < int(shot.keys.size()); ++i) {
    const char* why = nullptr;
    if (replay(session, shot.keys[i], sizeOf(i), &why) == Effect::Refused && report.refused)
      report.refused(shot.keys[i], why);
  }
  return std::move(session.picture);
}

}  // namespace basin
