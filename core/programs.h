// The catalogue of named programs: each name with the parameter set it
// draws. The viewers, the picture writer, the benchmarks and the tests all
// find the named programs here; a user's polynomial is not among them.
#pragma once

#include <string>

#include "core/newton.h"

namespace basin {

// The basins of z^2 - 1.
inline const Variant DUOBASIN{"duobasin", {{{1, 2}, {-1, 0}}, 2}, 1e-14f, 1e-10f, 0, "z^2 - 1"};
// The basins of z^4 - 1.
inline const Variant QUADBASIN{"quadbasin", {{{1, 4}, {-1, 0}}, 2}, 1e-10f, 1e-8f, 1, "z^4 - 1"};

struct Program {
  const char* name;
  const Variant& variant;
};

inline const Program PROGRAMS[] = {{DUOBASIN.name, DUOBASIN}, {QUADBASIN.name, QUADBASIN}};

// The named program's parameter set, or nullptr when no program has that name.
const Variant* findProgram(const std::string& name);

// The names joined for a message: "duobasin, quadbasin".
std::string programNames();

}  // namespace basin
