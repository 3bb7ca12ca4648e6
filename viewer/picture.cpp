#include "viewer/picture.h"

#include <algorithm>
#include <cstdlib>

#include "core/processors.h"

namespace basin {

Picture blankPicture(int size) {
  Picture picture;
  picture.size = size;
  picture.rgb.assign(std::size_t(size) * size * 3, 0);
  return picture;
}

int RowPlan::processorCount() { return usableProcessors(); }

RowPlan rowPlanFromEnvironment() {
  RowPlan plan;
  const char* threads = std::getenv("BASIN_THREADS");
  const int asked = threads ? std::atoi(threads) : 0;
  if (asked >= 1 && asked <= 64) plan.threads = asked;
  plan.lanes = lanePathNamed(std::getenv("BASIN_LANES"));
  return plan;
}

}  // namespace basin
