#include "viewer/rootlist.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "core/roots.h"
#include "core/text.h"
#include "viewer/replay.h"

namespace basin {
namespace {

// A float so that it reads back as the same float; never "-0".
std::string number(float value, const char* format) {
  char text[32];
  std::snprintf(text, sizeof text, format, double(value) + 0.0);
  return text;
}

std::string colourName(int slot) {
  if (slot < 0) return "none";
  char text[32];
  std::snprintf(text, sizeof text, "%d #%02x%02x%02x", slot, channel(ORDER[slot].red),
                channel(ORDER[slot].green), channel(ORDER[slot].blue));
  return text;
}

struct Line {
  int slot;
  std::string text;
};

}  // namespace

bool listRoots(const Variant& variant, std::string* text) {
  std::vector<Root> roots;
  if (!findRoots(variant.POLY, variant.terms, &roots)) return false;
  HeadlessViewer session(variant);
  drawFrame(session);
  std::vector<Line> lines;
  for (const Root& root : roots) {
    const Complex z{stored(root.re), stored(root.im)};
    const int slot = matchingSlot(session.basin.registry, z);
    lines.push_back(Line{slot, number(z.re, "%.9g") + number(z.im, "%+.9g") + "i multiplicity " +
                                   std::to_string(root.multiplicity) + " colour " +
                                   colourName(slot) + "\n"});
  }
  // Coloured roots in slot order, the others after them as found.
  std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
    return unsigned(a.slot) < unsigned(b.slot);
  });
  text->clear();
  for (const Line& line : lines) *text += line.text;
  return true;
}

int printRoots(const Variant& variant, const char* program) {
  std::string text;
  if (!listRoots(variant, &text)) {
    std::fprintf(stderr, "%s: the roots of '%s' could not be found\n", program,
                 escaped(variant.formula).c_str());
    return 2;
  }
  std::fputs(text.c_str(), stdout);
  return 0;
}

}  // namespace basin
