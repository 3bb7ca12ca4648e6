// The parameter set of duobasin: the basins of z^2 - 1.
#pragma once

#include "core/newton.h"

namespace basin {

inline const Variant DUOBASIN{"duobasin", {{1, 2}, {-1, 0}}, 2, 1e-14f, 1e-10f, 0, "z^2 - 1"};

}  // namespace basin
