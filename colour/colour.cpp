#include "colour/colour.h"

#include <cassert>
#include <cmath>

namespace basin {

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
  registry.limit = degree + variant.EXTRASLOTS;
  assert(registry.limit <= SLOTS);
  registry.RTOL = variant.RTOL;
}

namespace {

double distance2(const Complex& a, const Complex& b) {
  const double dre = double(a.re) - double(b.re);
  const double dim = double(a.im) - double(b.im);
  return dre * dre + dim * dim;
}

}  // namespace

void findcolor(Registry& registry, Rgb* c, const Complex* r) {
  // A root is a finite point; an overflowed end point must neither match a
  // slot (a NaN distance would) nor take one.
  if (!std::isfinite(r->re) || !std::isfinite(r->im)) return;
  const double rtol = registry.RTOL;
  for (int i = 0; i < registry.store; ++i) {
    if (distance2(*r, registry.ROOTS[i]) <= rtol) {
      *c = ORDER[i];
      registry.ROOTS[i] = *r;  // each slot follows its latest end point
      return;
    }
  }
  if (registry.store < registry.limit) {
    *c = ORDER[registry.store];
    registry.ROOTS[registry.store] = *r;
    ++registry.store;
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

}  // namespace basin
