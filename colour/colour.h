// Colouring of converged samples: the root registry, which discovers the
// polynomial's roots while a frame is drawn and gives each the next palette
// colour, and the shading, which darkens a colour by the iteration count.
#pragma once

#include "core/complex.h"
#include "core/newton.h"

namespace basin {

struct Rgb {
  float red;
  float green;
  float blue;
};

constexpr int SLOTS = 20;
constexpr int GRADIENT_ROWS = 7;

struct GradientRow {
  float threshold;  // iterations
  float percent;    // darkening
};

extern const Rgb ORDER[SLOTS];
extern const GradientRow GRADIENT[GRADIENT_ROWS];

struct Registry {
  Complex ROOTS[SLOTS] = {};
  int store = 0;  // occupied slots; never reset
  int limit = 0;  // degree + EXTRASLOTS, set at start-up
  float RTOL = 0.0f;
};

// Sets the slot limit from the degree the start-up derivation found.
void openRegistry(Registry& registry, const Variant& variant, int degree);

// c must be black on entry. The first slot whose root lies within RTOL
// (squared distance, equality matching) gives c its colour and takes r as
// its root; an unmatched r is registered in the next free slot; with the
// registry full, or with r not finite, c stays black.
void findcolor(Registry& registry, Rgb* c, const Complex* r);

// Darkens s in place by the fraction of the last GRADIENT row whose
// threshold `its` reaches.
void shader(Rgb* s, int its);

}  // namespace basin
