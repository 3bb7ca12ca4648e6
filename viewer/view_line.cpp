#include "viewer/view_line.h"

#include <cstdio>

#include "core/polynomial.h"
#include "core/text.h"

namespace basin {

template <class T>
std::vector<std::string> viewArguments(const Variant& variant, const Window& w) {
  constexpr Precision precision = PRECISION_OF<T>;
  std::vector<std::string> words = {variant.name};
  if (variant.fromUser)
    words = {variant.formula,
             "--ftol",
             shortestDigits(variant.FTOL, precision),
             "--rtol",
             shortestDigits(variant.RTOL, precision),
             "--extra",
             std::to_string(variant.EXTRASLOTS)};
  if (!isPlainStep(variant.relax)) {
    words.push_back("--relax");
    words.push_back(relaxationText(variant.relax, precision));
  }
  if (precision == Precision::Double) words.push_back("--double");
  words.push_back("--window");
  const int digits = significantDigits(precision);
  for (const double edge : {w.xmin, w.xmax, w.ymin, w.ymax}) {
    char text[40];
    std::snprintf(text, sizeof text, "%.*g", digits, edge);
    words.push_back(text);
  }
  return words;
}

// The formula is quoted for the shell; every other word is a plain token.
template <class T>
std::string viewLine(const Variant& variant, const Window& w, Size size) {
  std::string line = "basinshot";
  const std::vector<std::string> words = viewArguments<T>(variant, w);
  for (std::size_t i = 0; i < words.size(); ++i)
    line += " " + (i == 0 && variant.fromUser ? "'" + words[i] + "'" : words[i]);
  if (size != Size{})
    line += " --size " + std::to_string(size.width) + "x" + std::to_string(size.height);
  return line + " -o view.png";
}

#define BASIN_VIEW_LINE_FOR(T)                                                       \
  template std::vector<std::string> viewArguments<T>(const Variant&, const Window&); \
  template std::string viewLine<T>(const Variant&, const Window&, Size);
BASIN_STORAGE_TYPES(BASIN_VIEW_LINE_FOR)
#undef BASIN_VIEW_LINE_FOR

}  // namespace basin
