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

// The same programs with every value stored as a double: the tolerances
// are the doubles nearest their decimal texts.
inline const Variant WIDE_DUOBASIN{"duobasin", {{{1, 2}, {-1, 0}}, 2}, 1e-14, 1e-10, 0, "z^2 - 1",
                                   false,      Precision::Double};
inline const Variant WIDE_QUADBASIN{"quadbasin", {{{1, 4}, {-1, 0}}, 2}, 1e-10, 1e-8, 1, "z^4 - 1",
                                    false,       Precision::Double};

struct Program {
  const char* name;
  const Variant& variant;  // the float model
  const Variant& wide;     // the double model (--double)

  const Variant& in(Precision precision) const {
    return precision == Precision::Double ? wide : variant;
  }
};

inline const Program DUOBASIN_PROGRAM{DUOBASIN.name, DUOBASIN, WIDE_DUOBASIN};
inline const Program QUADBASIN_PROGRAM{QUADBASIN.name, QUADBASIN, WIDE_QUADBASIN};

inline const Program PROGRAMS[] = {DUOBASIN_PROGRAM, QUADBASIN_PROGRAM};

// The named program's parameter set in `precision`, or nullptr when no
// program has that name.
const Variant* findProgram(const std::string& name, Precision precision = Precision::Float);

// The names joined for a message: "duobasin, quadbasin".
std::string programNames();

}  // namespace basin
