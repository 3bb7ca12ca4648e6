#include "viewer/basin.h"

namespace basin {

template <class T>
void setup(BasicBasin<T>& basin) {
  derive(basin.solver);
  openRegistry(basin.registry, basin.variant, basin.solver.R2);
  // A user's polynomial may have repeated roots, where runs converge slowly
  // and stop far apart: its end points are moved to the roots found here.
  // Should the roots not be found, the registry matches end points as the
  // named programs' does.
  std::vector<Root> roots;
  if (basin.variant.fromUser &&
      findRoots(basin.variant.POLY.term, basin.variant.POLY.count, PRECISION_OF<T>, &roots))
    snapTo(basin.registry, roots);
  recordHome(basin.views);
}

#define BASIN_SETUP_FOR(T) template void setup(BasicBasin<T>&);
BASIN_STORAGE_TYPES(BASIN_SETUP_FOR)
#undef BASIN_SETUP_FOR

}  // namespace basin
