#include "viewer/view_line.h"

#include <cstdio>

#include "core/polynomial.h"
#include "core/text.h"

namespace basin {

template <class T>
std::string viewLine(const Variant& variant, const Window& w, Size size) {
  constexpr Precision precision = PRECISION_OF<T>;
  std::string program = variant.name;
  if (variant.fromUser)
    program = std::string("'") + variant.formula + "' --ftol " +
              shortestDigits(variant.FTOL, precision) + " --rtol " +
              shortestDigits(variant.RTOL, precision) + " --extra " +
              std::to_string(variant.EXTRASLOTS);
  if (!isPlainStep(variant.relax))
    program += " --relax " + relaxationText(variant.relax, precision);
  if (precision == Precision::Double) program += " --double";
  const int digits = significantDigits(precision);
  char edges[160];
  std::snprintf(edges, sizeof edges, "%.*g %.*g %.*g %.*g", digits, w.xmin, digits, w.xmax, digits,
                w.ymin, digits, w.ymax);
  const std::string sized =
      size == Size{} ? ""
                     : " --size " + std::to_string(size.width) + "x" + std::to_string(size.height);
  return "basinshot " + program + " --window " + edges + sized + " -o view.png";
}

#define BASIN_VIEW_LINE_FOR(T) \
  template std::string viewLine<T>(const Variant&, const Window&, Size);
BASIN_STORAGE_TYPES(BASIN_VIEW_LINE_FOR)
#undef BASIN_VIEW_LINE_FOR

}  // namespace basin
