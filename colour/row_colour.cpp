#include "colour/row_colour.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace basin {

static_assert(SLOTS <= 32, "Forecast::touched holds a bit a slot");

template <class T>
void colourRow(Registry& registry, const BasicOutcome<T>* row, int n, std::uint8_t* rgb,
               Forecast* forecast) {
  static const std::uint8_t BLACK[3] = {0, 0, 0};
  const ShadeRow* const shade = shades();
  const int store = registry.store;
  if (forecast) {
    std::copy(registry.ROOTS, registry.ROOTS + store, forecast->seen);
    forecast->seenStore = store;
  }
  Margins margins;
  unsigned touched = 0;
  // Neighbouring samples mostly end at one root, so each sample first tries
  // the slot the last search found, where that answer is sure to be the
  // search's own; otherwise it searches all the slots.
  // - With roots to move to: an end point moved to the root the last search
  //   moved to (it lies within that root's reach) takes the same slot and
  //   changes nothing: the last search did any moving or registering, so
  //   the same point misses the same slots again and then meets its own
  //   slot at distance 0, which RTOL (not negative) takes.
  // - Without: an end point within a quarter of the distance from the last
  //   searched one (the anchor) to the nearest slot before its own misses
  //   every slot before it by over half that distance, since those slots
  //   have not moved; the anchor's search is only trusted where that miss
  //   is well past RTOL. So if it matches the slot it takes that slot, as
  //   the search would, and the search's misses count at half the distance.
  const bool snapsRepeat = registry.snaps > 0 && registry.RTOL >= 0;
  int lastSnap = -1;  // the root the last search moved a finite end point to
  int lastSlot = -1;  // and the slot it took
  WideComplex anchor{};
  double anchorReach = -1;  // squared; negative: no slot to try first
  for (int i = 0; i < n; ++i, rgb += 3) {
    int slot = -1;
    if (row[i].fault == 0) {
      const WideComplex end{double(row[i].end.re), double(row[i].end.im)};
      double d = 0;
      // A point not finite is never within reach, so it is searched.
      if (lastSnap >= 0 && distance2(end, registry.SNAP[lastSnap]) < registry.REACH[lastSnap]) {
        slot = lastSlot;
      } else if (distance2(end, anchor) <= anchorReach &&
                 (d = distance2(end, registry.ROOTS[lastSlot])) <= registry.RTOL) {
        registry.ROOTS[lastSlot] = end;
        margins.matched(d);
        slot = lastSlot;
      } else {
        Margins searched;
        slot = findslot(registry, &end, searched);
        margins.add(searched);
        const bool finite = std::isfinite(end.re) && std::isfinite(end.im);
        lastSnap = snapsRepeat && finite ? registry.lastSnap : -1;
        lastSlot = slot;
        anchorReach = -1;
        // Below this, squared distances lose their precision to underflow.
        constexpr double SMALLEST_MISS = 1e-200;
        const double missed2 = searched.missed2;  // the nearest slot before this one
        if (registry.snaps == 0 && slot >= 0 && missed2 >= SMALLEST_MISS &&
            missed2 / 2 > registry.RTOL) {
          anchor = end;
          anchorReach = std::min(missed2 / 16, std::numeric_limits<double>::max());
          margins.missed(missed2 / 2);
        }
      }
    }
    const std::uint8_t* colour = BLACK;
    if (slot >= 0) {
      colour = shade[slot][row[i].its];
      touched |= 1u << slot;
    }
    rgb[0] = colour[0];
    rgb[1] = colour[1];
    rgb[2] = colour[2];
  }
  if (!forecast) return;
  for (int k = 0; k < registry.store; ++k)
    if (touched >> k & 1u) forecast->last[k] = registry.ROOTS[k];
  forecast->touched = touched;
  forecast->margins = margins;
  forecast->sure = registry.store == store;
}

bool confirm(Registry& registry, const Forecast& forecast) {
  // Below this, squared distances near RTOL could lose their precision to
  // underflow: such a registry has every row coloured in order.
  constexpr double SMALLEST_RTOL = 1e-200;
  if (!forecast.sure || !(registry.RTOL >= SMALLEST_RTOL) || registry.store < forecast.seenStore)
    return false;
  // How far any slot's root has moved since the row's copy was taken (a
  // NaN stays, and fails the tests below).
  double drift = 0;
  for (int k = 0; k < forecast.seenStore; ++k) {
    const double moved = std::sqrt(distance2(registry.ROOTS[k], forecast.seen[k]));
    if (!(moved <= drift)) drift = moved;
  }
  // Until an end point of the row matches a slot, that slot's root differs
  // from the copy's by at most the drift; after, both hold the same end
  // point. So an end point that matched within RTOL less the drift matches
  // now, and one that missed by more than the drift misses now. The slack
  // covers the roundings of the distances many times over.
  const double reach = std::sqrt(registry.RTOL);
  const double slack = reach * 1e-9;
  const bool matchesHold = std::sqrt(forecast.margins.matched2) + drift <= reach - slack;
  const bool missesHold = std::sqrt(forecast.margins.missed2) - drift > reach + slack;
  if (!matchesHold || !missesHold) return false;
  for (int k = 0; k < forecast.seenStore; ++k)
    if (forecast.touched >> k & 1u) registry.ROOTS[k] = forecast.last[k];
  return true;
}

ColourAhead::ColourAhead(Registry& registry, Forecast* forecasts, int depth)
    : registry_(registry), start_(registry), forecasts_(forecasts), depth_(depth) {
  publish();
}

// Only the roots change during a frame; they alone pass between threads.
void ColourAhead::publish() {
  const std::lock_guard<std::mutex> lock(mutex_);
  store_ = registry_.store;
  std::copy(registry_.ROOTS, registry_.ROOTS + store_, roots_);
}

template <class T>
void ColourAhead::ahead(int row, const BasicOutcome<T>* outcomes, int n, std::uint8_t* rgb) {
  Registry copy = start_;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    copy.store = store_;
    std::copy(roots_, roots_ + store_, copy.ROOTS);
  }
  colourRow(copy, outcomes, n, rgb, &forecasts_[row % depth_]);
}

template <class T>
void ColourAhead::inOrder(int row, const BasicOutcome<T>* outcomes, int n, std::uint8_t* rgb) {
  if (!confirm(registry_, forecasts_[row % depth_])) colourRow(registry_, outcomes, n, rgb);
  publish();
}

template void colourRow(Registry&, const Outcome*, int, std::uint8_t*, Forecast*);
template void colourRow(Registry&, const WideOutcome*, int, std::uint8_t*, Forecast*);
template void ColourAhead::ahead(int, const Outcome*, int, std::uint8_t*);
template void ColourAhead::ahead(int, const WideOutcome*, int, std::uint8_t*);
template void ColourAhead::inOrder(int, const Outcome*, int, std::uint8_t*);
template void ColourAhead::inOrder(int, const WideOutcome*, int, std::uint8_t*);

}  // namespace basin
