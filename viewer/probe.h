// What the cockpit tells about the picture, found without drawing a frame:
// the sample under a pointer and the run from it, solved again on the
// scalar solver (never read back from the colours); where the view lies
// and how deep it is; the polynomial's roots and the colours they hold.
// Nothing here touches GL or changes the program's state.
#pragma once

#include <vector>

#include "viewer/basin.h"

namespace basin {

struct PlanePoint {
  double x, y;
};

// How a run ended.
enum class RunEnd { Root, NoConvergence, DerivativeVanished, Overflow };

struct SampleProbe {
  PlanePoint sample{};  // the position the frame samples in the pixel, as stored
  RunEnd end = RunEnd::Root;
  int its = 0;             // the iteration it stopped at, from 1 (MAXITS + 1: no convergence)
  PlanePoint endPoint{};   // where it stopped, as stored
  int slot = -1;           // the colour slot that end point takes now; -1: none yet
  bool rootKnown = false;  // root: the polynomial's root nearest the end point
  PlanePoint root{};
  std::vector<PlanePoint> path;  // the iterates, the sample first, when asked for
};

// The sample drawn in the pixel under `at` (held inside the window) and the
// run from it; with `withPath`, every iterate the run evaluates.
template <class T>
SampleProbe probeSample(const BasicBasin<T>& basin, const Pointer& at, bool withPath);

struct ViewFacts {
  PlanePoint centre{};
  double width = 0, height = 0;
  double magnification = 1;  // the start-up view's width over this one's
  int deeper = 0;            // `z` at the window's middle: how many more the storage type draws
  Precision precision = Precision::Float;
};

// The current view's facts; `deeper` counts at most `limit` zooms.
template <class T>
ViewFacts viewFacts(const BasicBasin<T>& basin, int limit = 2000);

// A root of the polynomial and the colour slot it holds (-1: no run has
// reached it yet).
struct RootMark {
  PlanePoint at;
  int slot;
};

// The roots: the named programs' exact ones, or those found for a user's
// polynomial at start-up.
template <class T>
std::vector<RootMark> knownRoots(const BasicBasin<T>& basin);

}  // namespace basin
