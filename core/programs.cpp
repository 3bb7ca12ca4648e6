#include "core/programs.h"

namespace basin {

const Variant* findProgram(const std::string& name, Precision precision) {
  for (const Program& program : PROGRAMS)
    if (name == program.name) return &program.in(precision);
  return nullptr;
}

std::string programNames() {
  std::string names;
  for (const Program& program : PROGRAMS)
    names += (names.empty() ? "" : ", ") + std::string(program.name);
  return names;
}

}  // namespace basin
