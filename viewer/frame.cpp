#include "viewer/frame.h"

namespace basin {

void setup(Basin& basin) {
  derive(basin.solver);
  openRegistry(basin.registry, basin.variant, basin.solver.R2);
  recordHome(basin.views);
}

}  // namespace basin
