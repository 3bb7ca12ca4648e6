#include "viewer/picture.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace basin {

Picture blankPicture(int size) {
  Picture picture;
  picture.size = size;
  picture.rgb.assign(std::size_t(size) * size * 3, 0);
  return picture;
}

int RowPlan::processorCount() { return std::max(1, int(std::thread::hardware_concurrency())); }

RowPlan rowPlanFromEnvironment() {
  RowPlan plan;
  const char* threads = std::getenv("BASIN_THREADS");
  const int asked = threads ? std::atoi(threads) : 0;
  if (asked >= 1 && asked <= 64) plan.threads = asked;
  plan.lanes = lanePathNamed(std::getenv("BASIN_LANES"));
  return plan;
}

template <class T>
void colourRow(Registry& registry, const BasicOutcome<T>* row, int n, std::uint8_t* rgb) {
  static const std::uint8_t BLACK[3] = {0, 0, 0};
  const ShadeRow* const shade = shades();
  for (int i = 0; i < n; ++i, rgb += 3) {
    const int slot = row[i].fault == 0 ? findslot(registry, &row[i].end) : -1;
    const std::uint8_t* colour = slot >= 0 ? shade[slot][row[i].its] : BLACK;
    rgb[0] = colour[0];
    rgb[1] = colour[1];
    rgb[2] = colour[2];
  }
}

template void colourRow(Registry&, const Outcome*, int, std::uint8_t*);
template void colourRow(Registry&, const WideOutcome*, int, std::uint8_t*);

}  // namespace basin
