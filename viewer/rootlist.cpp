#include "viewer/rootlist.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "core/failure.h"
#include "core/roots.h"
#include "core/text.h"
#include "viewer/shot.h"

namespace basin {
namespace {

// A root's part as the registry holds it, the value of the storage type
// nearest the exact root's part, in the shortest digits that read back as
// it; one beyond float's range as the double nearest it. Never "-0".
std::string number(double held, double wide, Precision precision, bool sign) {
  const std::string digits = std::isfinite(held) ? shortestDigits(held, precision)
                                                 : shortestDigits(wide, Precision::Double);
  return sign && digits[0] != '-' ? "+" + digits : digits;
}

std::string colourName(int slot) {
  if (slot < 0) return "none";
  char text[32];
  std::snprintf(text, sizeof text, "%d #%02x%02x%02x", slot, channel(ORDER[slot].red),
                channel(ORDER[slot].green), channel(ORDER[slot].blue));
  return text;
}

struct Line {
  unsigned slot;  // no slot (-1) sorts last
  std::size_t found;
  std::string text;

  bool operator<(const Line& other) const {
    return slot != other.slot ? slot < other.slot : found < other.found;
  }
};

}  // namespace

bool listRoots(const Variant& variant, std::string* text) {
  std::vector<Root> roots;
  const Precision precision = variant.precision;
  if (!findRoots(variant.POLY.term, variant.POLY.count, precision, &roots)) return false;
  HeadlessViewer viewer(variant);
  drawFrame(viewer);
  std::vector<Line> lines;
  for (const Root& root : roots) {
    const int slot = matchingSlot(viewer.session->registry(), WideComplex{root.re, root.im});
    lines.push_back(Line{unsigned(slot), lines.size(),
                         number(root.re, root.wideRe, precision, false) +
                             number(root.im, root.wideIm, precision, true) + "i multiplicity " +
                             std::to_string(root.multiplicity) + " colour " + colourName(slot) +
                             "\n"});
  }
  // Coloured roots in slot order, the others after them as found.
  std::sort(lines.begin(), lines.end());
  text->clear();
  for (const Line& line : lines) *text += line.text;
  return true;
}

int printRoots(const Variant& variant) {
  std::string text;
  if (!listRoots(variant, &text)) {
    std::fprintf(stderr, "%s: the roots of '%s' could not be found\n", programName(),
                 escaped(variant.formula).c_str());
    return FAILED;
  }
  std::fputs(text.c_str(), stdout);
  return 0;
}

}  // namespace basin
