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

// The multiplicities of `roots`, in order: equal for two lists when neither
// polynomial has a root split or merged that the other keeps.
std::vector<int> multiplicities(const std::vector<Root>& roots) {
  std::vector<int> counts;
  for (const Root& root : roots) counts.push_back(root.multiplicity);
  std::sort(counts.begin(), counts.end());
  return counts;
}

std::string position(const Root& root, Precision precision) {
  return number(root.re, root.wideRe, precision, false) +
         number(root.im, root.wideIm, precision, true) + "i";
}

// The lines of the written polynomial's roots, when rounding its
// coefficients split a repeated root or merged close ones; else none.
std::string writtenLines(const Variant& variant, const std::vector<Root>& iterated) {
  std::vector<Root> written;
  if (!variant.fromUser || !findWrittenRoots(variant.formula, variant.precision, &written) ||
      multiplicities(written) == multiplicities(iterated))
    return "";
  std::string lines;
  for (const Root& root : written)
    lines += "as written: " + position(root, variant.precision) + " multiplicity " +
             std::to_string(root.multiplicity) + "\n";
  return lines;
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
                         position(root, precision) + " multiplicity " +
                             std::to_string(root.multiplicity) + " colour " + colourName(slot) +
                             "\n"});
  }
  // Coloured roots in slot order, the others after them as found.
  std::sort(lines.begin(), lines.end());
  text->clear();
  for (const Line& line : lines) *text += line.text;
  *text += writtenLines(variant, roots);
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
