// Colouring of converged samples: the root registry, which discovers the
// polynomial's roots while a frame is drawn and gives each the next palette
// colour, and the shading, which darkens a colour by the iteration count.
#pragma once

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "core/complex.h"
#include "core/newton.h"
#include "core/roots.h"

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

// Every point is held as a double, each a value of the model's storage type
// (a double holds a float exactly), so one registry serves either model.
struct Registry {
  WideComplex ROOTS[SLOTS] = {};
  int store = 0;  // occupied slots; never reset
  int limit = 0;  // degree + EXTRASLOTS, set at start-up
  double RTOL = 0.0;
  // A user's polynomial's distinct roots, found at start-up: each end point
  // is first moved to the nearest of them (`snaps` > 0), so that the slow,
  // scattered endings at a repeated root all match it. The named programs
  // have none and match end points as they are.
  WideComplex SNAP[MAXDEGREE] = {};
  int snaps = 0;
  // Each root's squared half-distance to its nearest other root (a little
  // less): a point closer than that to the root is nearer to it than to any
  // other. Neighbouring samples mostly end at one root, so the root the last
  // end point moved to is tried first, and all of them only when that fails.
  double REACH[MAXDEGREE] = {};
  int lastSnap = 0;
};

// Sets the slot limit, from the degree the start-up derivation found, and
// takes the variant's RTOL; throws
// std::length_error, in every build, when the slots would not hold it.
void openRegistry(Registry& registry, const Variant& variant, int degree);

// The roots end points are moved to before matching, each as the model
// stores it (findRoots rounds them so); one that overflows a float is left
// out, since no finite end point can lie nearest to it.
void snapTo(Registry& registry, const std::vector<Root>& roots);

// The squared distance, in double.
inline double distance2(const WideComplex& a, const WideComplex& b) {
  const double dre = a.re - b.re;
  const double dim = a.im - b.im;
  return dre * dre + dim * dim;
}

// nearestRoot for a registry with roots.
inline WideComplex nearestSnap(Registry& registry, const WideComplex& r) {
  const int last = registry.lastSnap;
  if (distance2(r, registry.SNAP[last]) < registry.REACH[last]) return registry.SNAP[last];
  int nearest = 0;
  double best = distance2(r, registry.SNAP[0]);
  for (int i = 1; i < registry.snaps; ++i) {
    const double d = distance2(r, registry.SNAP[i]);
    if (d < best) {
      best = d;
      nearest = i;
    }
  }
  registry.lastSnap = nearest;
  return registry.SNAP[nearest];
}

// The root nearest to r (the first of equally near ones), or r itself when
// the registry has no roots. r must be finite.
inline WideComplex nearestRoot(Registry& registry, const WideComplex& r) {
  return registry.snaps == 0 ? r : nearestSnap(registry, r);
}

// How near to RTOL the end points matched so far came: the largest
// squared distance of a match, and the smallest of a slot tried and missed.
struct Margins {
  double matched2 = 0;
  double missed2 = std::numeric_limits<double>::infinity();

  void matched(double d2) { matched2 = std::max(matched2, d2); }
  void missed(double d2) { missed2 = std::min(missed2, d2); }
  void add(const Margins& other) {
    matched(other.matched2);
    missed(other.missed2);
  }
};

// The first slot whose root lies within RTOL of r (squared distance,
// equality matching), or -1; changes nothing but the margins.
inline int matchingSlot(const Registry& registry, const WideComplex& r, Margins& margins) {
  const double rtol = registry.RTOL;
  for (int i = 0; i < registry.store; ++i) {
    const double d = distance2(r, registry.ROOTS[i]);
    if (d <= rtol) {
      margins.matched(d);
      return i;
    }
    margins.missed(d);
  }
  return -1;
}

inline int matchingSlot(const Registry& registry, const WideComplex& r) {
  Margins ignored;
  return matchingSlot(registry, r, ignored);
}

// The slot whose colour r takes. A finite r is first moved to its nearest
// root if the registry has roots; then the first slot whose root lies
// within RTOL of it (squared distance, equality matching) takes it as its
// root, or else it is registered in the next free slot. -1 when r takes
// none: r not finite (never moved, never matched: a NaN matches no root), or
// the registry full.
// Inline, with the two above: a frame calls it for every sample, in order,
// on one thread.
inline int findslot(Registry& registry, const WideComplex* r, Margins& margins) {
  // A root is a finite point; an overflowed end point must neither match a
  // slot (a NaN distance would) nor take one, nor be moved to a root.
  if (!std::isfinite(r->re) || !std::isfinite(r->im)) return -1;
  const WideComplex end = nearestRoot(registry, *r);
  const int slot = matchingSlot(registry, end, margins);
  if (slot >= 0) {
    registry.ROOTS[slot] = end;  // each slot follows its latest end point
    return slot;
  }
  if (registry.store >= registry.limit) return -1;
  registry.ROOTS[registry.store] = end;
  return registry.store++;
}

// The same for an end point of either storage type: a float widens exactly.
template <class T>
int findslot(Registry& registry, const BasicComplex<T>* r, Margins& margins) {
  const WideComplex wide{double(r->re), double(r->im)};
  return findslot(registry, &wide, margins);
}

template <class T>
int findslot(Registry& registry, const BasicComplex<T>* r) {
  Margins ignored;
  return findslot(registry, r, ignored);
}

// c must be black on entry: findslot's slot gives c its colour; with none,
// c stays black.
template <class T>
void findcolor(Registry& registry, Rgb* c, const BasicComplex<T>* r) {
  const int slot = findslot(registry, r);
  if (slot >= 0) *c = ORDER[slot];
}

// Darkens s in place by the fraction of the last GRADIENT row whose
// threshold `its` reaches.
void shader(Rgb* s, int its);

// A colour component in 0 ... 1 as an 8-bit channel value: round(c * 255),
// ties to even, as GL converts it.
std::uint8_t channel(float component);

// The 8-bit colours of every slot and count, filled once on first use:
// shades()[slot][its] is shade8(slot, its).
using ShadeRow = std::uint8_t[MAXITS + 1][3];
const ShadeRow* shades();

// The 8-bit colour of a run that converged to the root of `slot` in
// iteration `its` (1 ... MAXITS): ORDER[slot] through shader and channel,
// looked up in a table filled once.
inline const std::uint8_t* shade8(int slot, int its) {
  assert(slot >= 0 && slot < SLOTS && its >= 1 && its <= MAXITS);
  return shades()[slot][its];
}

}  // namespace basin
