#include "viewer/basin.h"

namespace basin {

void setup(Basin& basin) {
  derive(basin.solver);
  derive(basin.wideSolver);
  basin.views.precision = basin.variant.precision;
  openRegistry(basin.registry, basin.variant, basin.solver.R2);
  // A user's polynomial may have repeated roots, where runs converge slowly
  // and stop far apart: its end points are moved to the roots found here.
  // Should the roots not be found, the registry matches end points as the
  // named programs' does.
  std::vector<Root> roots;
  if (basin.variant.fromUser &&
      findRoots(basin.variant.POLY.term, basin.variant.POLY.count, basin.variant.precision, &roots))
    snapTo(basin.registry, roots);
  recordHome(basin.views);
}

}  // namespace basin
