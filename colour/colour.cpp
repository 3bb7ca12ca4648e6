#include "colour/colour.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "core/polynomial.h"

namespace basin {

static_assert(COLOURED_SLOTS == SLOTS - 1, "every slot but the black one can hold a root");

const Rgb ORDER[SLOTS] = {
    {1, 0, 0},
    {0, 1, 0},
    {0, 0, 1},
    {1, 1, 0},
    {1, 0, 1},
    {0, 1, 1},
    {1, 0.5f, 0},
    {1, 0.56f, 0.78f},
    {0.57f, 0.36f, 0.24f},
    {0.12f, 1, 0.67f},
    {0.85f, 0.77f, 0.15f},
    {0.59f, 0.24f, 0.44f},
    {0.27f, 0.46f, 0.25f},
    {0.77f, 0.6f, 0.45f},
    {0.78f, 0.95f, 0.17f},
    {0.75f, 0.75f, 0.75f},
    {0.58f, 0.16f, 0.17f},
    {0.24f, 0.22f, 0.61f},
    {1, 1, 1},
    {0, 0, 0},
};

const GradientRow GRADIENT[GRADIENT_ROWS] = {
    {2, 5}, {4, 15}, {8, 25}, {16, 35}, {32, 45}, {64, 55}, {90, 65},
};

void openRegistry(Registry& registry, const Variant& variant, int degree) {
  // Every build checks this: findslot fills ROOTS up to the limit, so a
  // limit past SLOTS would write beyond it.
  const int limit = degree + variant.EXTRASLOTS;
  if (degree < 0 || variant.EXTRASLOTS < 0 || limit > SLOTS)
    throw std::length_error("the registry has " + std::to_string(SLOTS) + " slots, not " +
                            std::to_string(limit));
  registry.limit = limit;
  registry.RTOL = variant.RTOL;
}

void snapTo(Registry& registry, const std::vector<Root>& roots) {
  registry.snaps = 0;
  registry.lastSnap = 0;
  for (const Root& root : roots) {
    const WideComplex z{root.re, root.im};  // already a value of the storage type
    if (std::isfinite(z.re) && std::isfinite(z.im) && registry.snaps < MAXDEGREE)
      registry.SNAP[registry.snaps++] = z;
  }
  for (int i = 0; i < registry.snaps; ++i) {
    double nearest = std::numeric_limits<double>::infinity();
    for (int k = 0; k < registry.snaps; ++k)
      if (k != i) nearest = std::min(nearest, distance2(registry.SNAP[i], registry.SNAP[k]));
    // Half the distance, squared, with room for the roundings of distance2.
    registry.REACH[i] = nearest / 4 * (1 - 1e-9);
  }
}

void shader(Rgb* s, int its) {
  // The last row whose threshold `its` reaches decides; its percentage is
  // converted once, not for every row passed on the way.
  const GradientRow* decides = nullptr;
  for (const GradientRow& row : GRADIENT) {
    if (double(its) >= row.threshold) decides = &row;
  }
  const float grad = decides ? stored(double(decides->percent) / 100.0) : 0.0f;
  const double keep = 1.0 - double(grad);
  s->red = stored(keep * s->red);
  s->green = stored(keep * s->green);
  s->blue = stored(keep * s->blue);
}

std::uint8_t channel(float component) {
  if (!(component > 0.0f)) return 0;
  if (component >= 1.0f) return 255;
  // Round to nearest, ties to even, as GL does: adding and taking away 2^52
  // leaves a double in 0 ... 255 rounded to a whole number, the same value
  // lrint gives in the default rounding mode without a call into libm.
  const double scaled = double(component) * 255.0;
  return static_cast<std::uint8_t>((scaled + 0x1p52) - 0x1p52);
}

namespace {

struct ShadeTable {
  std::uint8_t rgb[SLOTS][MAXITS + 1][3];

  ShadeTable() {
    for (int slot = 0; slot < SLOTS; ++slot)
      for (int its = 1; its <= MAXITS; ++its) {
        Rgb c = ORDER[slot];
        shader(&c, its);
        std::uint8_t* cell = rgb[slot][its];
        cell[0] = channel(c.red);
        cell[1] = channel(c.green);
        cell[2] = channel(c.blue);
      }
  }
};

}  // namespace

const ShadeRow* shades() {
  static const ShadeTable table;
  return table.rgb;
}

}  // namespace basin
