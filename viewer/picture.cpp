#include "viewer/picture.h"

#include <algorithm>
#include <cstdlib>

#include "core/failure.h"
#include "core/processors.h"
#include "core/speed.h"

namespace basin {

Picture blankPicture(int width, int height) {
  Picture picture;
  picture.width = width;
  picture.height = height;
  picture.rgb.assign(std::size_t(width) * std::size_t(height) * 3, 0);
  return picture;
}

int RowPlan::processorCount() { return usableProcessors(); }

RowPlan readEnvironment() {
  SpeedMeasures measures;
  std::string unknown;
  if (!readPlain(std::getenv("BASIN_PLAIN"), &measures, &unknown))
    fail("BASIN_PLAIN: unknown speed measure '" + unknown + "' (the measures are " +
         speedMeasureNames() + ")");
  setSpeedMeasures(measures);
  RowPlan plan;
  const char* threads = std::getenv("BASIN_THREADS");
  const int asked = threads ? std::atoi(threads) : 0;
  if (asked >= 1 && asked <= 64) plan.threads = asked;
  plan.lanes = lanePathNamed(std::getenv("BASIN_LANES"));
  return plan;
}

}  // namespace basin
