// Colouring a frame's solved rows into 8-bit RGB, on every thread that
// solves them.
//
// The registry must see a frame's end points in scan order: a slot follows
// its latest end point, and a new root takes the next free slot. Yet nearly
// every row only matches end points to roots already registered, each well
// inside RTOL of its slot's root. So the thread that solves a row colours
// it at once, against a copy of the registry as it stood then, and notes
// how near each match and each miss came to RTOL (a Forecast). The pass in
// scan order then only checks that the registry has not moved since by
// more than those margins, and takes over the row's last end points; a row
// that would register a root, or came too near a boundary for the check,
// it colours again itself, from the row's outcomes. Either way the picture
// and the registry are those of colouring every row in order.
#pragma once

#include <cstdint>
#include <mutex>

#include "colour/colour.h"

namespace basin {

// What a row coloured against a copy of the registry needs checked before
// the registry takes it.
struct Forecast {
  WideComplex seen[SLOTS];  // the copy's roots when the row began
  WideComplex last[SLOTS];  // each touched slot's root when the row ended
  int seenStore = 0;
  unsigned touched = 0;  // bit k: slot k matched an end point of the row
  Margins margins;       // over the row's end points
  bool sure = false;     // no end point of the row took a new slot
};

// Colours one row of solved samples into n cells of 8-bit RGB, left to
// right, through `registry`: a converged run in its root's shade, any other
// black. With a forecast, also notes in it what the row did. T is the
// storage type, float or double.
template <class T>
void colourRow(Registry& registry, const BasicOutcome<T>* row, int n, std::uint8_t* rgb,
               Forecast* forecast = nullptr);

// True when the row that `forecast` describes, coloured against an earlier
// state of `registry`, colours the same against `registry` as it stands;
// then `registry` is left as colouring the row would leave it. False leaves
// it unchanged.
bool confirm(Registry& registry, const Forecast& forecast);

// One frame's rows coloured ahead: `ahead` on the thread that solved a row,
// `inOrder` for each row in scan order on the thread that owns `registry`.
// A row's forecast sits in forecasts[row % depth], so a row may be coloured
// ahead only once the row `depth` before it has been taken in order.
class ColourAhead {
 public:
  ColourAhead(Registry& registry, Forecast* forecasts, int depth);

  template <class T>
  void ahead(int row, const BasicOutcome<T>* outcomes, int n, std::uint8_t* rgb);

  template <class T>
  void inOrder(int row, const BasicOutcome<T>* outcomes, int n, std::uint8_t* rgb);

 private:
  void publish();

  Registry& registry_;
  // The registry as the frame began: all but its roots stay so through the
  // frame, and this copy is only read, so every thread keeps it cached.
  const Registry start_;
  Forecast* forecasts_;
  int depth_;
  // The roots after the last row taken in order.
  std::mutex mutex_;
  WideComplex roots_[SLOTS];
  int store_;
};

}  // namespace basin
