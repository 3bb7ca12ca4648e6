#include "core/programs.h"

#include <stdexcept>

#include "core/polynomial.h"

namespace basin {

const Program* findProgram(const std::string& name) {
  for (const Program& program : PROGRAMS)
    if (name == program.name) return &program;
  return nullptr;
}

Variant variantOf(const Program& program, Precision precision) {
  Terms table;
  double ftol = 0, rtol = 0;
  // Every entry reads in either precision; a failure is the catalogue's own.
  if (!parsePolynomial(program.formula, &table, nullptr, precision) ||
      readTolerance(program.FTOL, &ftol, precision) != nullptr ||
      readTolerance(program.RTOL, &rtol, precision) != nullptr)
    throw std::logic_error(std::string("the named program ") + program.name + " does not read");
  return Variant{program.name,       table,           ftol,  rtol,
                 program.EXTRASLOTS, program.formula, false, precision};
}

std::string programNames() {
  std::string names;
  for (const Program& program : PROGRAMS)
    names += (names.empty() ? "" : ", ") + std::string(program.name);
  return names;
}

const Variant DUOBASIN = variantOf(*findProgram("duobasin"), Precision::Float);
const Variant QUADBASIN = variantOf(*findProgram("quadbasin"), Precision::Float);

}  // namespace basin
