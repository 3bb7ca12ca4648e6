// The parameter set of quadbasin: the basins of z^4 - 1.
#pragma once

#include "core/newton.h"

namespace basin {

inline const Variant QUADBASIN{"quadbasin", {{1, 4}, {-1, 0}}, 2, 1e-10f, 1e-8f, 1, "z^4 - 1"};

}  // namespace basin
