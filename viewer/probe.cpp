#include "viewer/probe.h"

#include <algorithm>
#include <cmath>

#include "core/programs.h"

namespace basin {
namespace {

WideComplex wide(const PlanePoint& p) { return WideComplex{p.x, p.y}; }

// Why a run that found no root stopped, from where it stopped: past the
// iteration limit, at a point whose f is no longer finite, or else at a
// vanishing derivative.
template <class T>
RunEnd failure(const BasicSolver<T>& solver, const BasicOutcome<T>& run) {
  if (run.its > MAXITS) return RunEnd::NoConvergence;
  BasicComplex<T> f;
  func(solver, &f, &run.end);
  if (!std::isfinite(run.end.re) || !std::isfinite(run.end.im) || !std::isfinite(norm2(f)))
    return RunEnd::Overflow;
  return RunEnd::DerivativeVanished;
}

// The roots as points of the plane.
template <class T>
std::vector<PlanePoint> rootPoints(const BasicBasin<T>& basin) {
  std::vector<PlanePoint> points;
  const Registry& r = basin.registry;
  for (int i = 0; i < r.snaps; ++i) points.push_back(PlanePoint{r.SNAP[i].re, r.SNAP[i].im});
  if (const Program* program = findProgram(basin.variant.name); program && !basin.variant.fromUser)
    for (int i = 0; i < program->rootCount; ++i)
      points.push_back(PlanePoint{program->roots[i][0], program->roots[i][1]});
  return points;
}

// The slot an end point takes, as colouring would find it, on a copy.
int slotOf(const Registry& registry, const WideComplex& end) {
  if (!std::isfinite(end.re) || !std::isfinite(end.im)) return -1;
  Registry probe = registry;
  return matchingSlot(probe, nearestRoot(probe, end));
}

}  // namespace

template <class T>
SampleProbe probeSample(const BasicBasin<T>& basin, const Pointer& at, bool withPath) {
  const BasicViews<T>& v = basin.views;
  const int column = std::clamp(at.x, 0, v.size.width - 1) + 1;
  const int row = std::clamp(at.y, 0, v.size.height - 1) + 1;
  SampleProbe p;
  p.sample = PlanePoint{samplePosition<T>(v.XMIN(), v.XMAX(), v.size.width, column, true),
                        samplePosition<T>(v.YMIN(), v.YMAX(), v.size.height, row, false)};
  const BasicComplex<T> start{T(p.sample.x), T(p.sample.y)};
  const BasicOutcome<T> run =
      withPath
          ? trace(
                basin.solver, start,
                FunctionRef<void(int, const BasicComplex<T>&)>([&p](int, const BasicComplex<T>& z) {
                  p.path.push_back(PlanePoint{double(z.re), double(z.im)});
                }))
          : solve(basin.solver, start);
  p.its = run.its;
  p.endPoint = PlanePoint{double(run.end.re), double(run.end.im)};
  p.end = run.fault == 0 ? RunEnd::Root : failure(basin.solver, run);
  if (p.end != RunEnd::Root) return p;
  p.slot = slotOf(basin.registry, wide(p.endPoint));
  const std::vector<PlanePoint> roots = rootPoints(basin);
  double best = INFINITY;
  for (const PlanePoint& root : roots) {
    const double d = distance2(wide(root), wide(p.endPoint));
    if (d < best) {
      best = d;
      p.root = root;
      p.rootKnown = true;
    }
  }
  return p;
}

// The zooms are the `z` key's at the window's middle pixel, tried in turn
// on a copy of the views until the storage type refuses one.
template <class T>
ViewFacts viewFacts(const BasicBasin<T>& basin, int limit) {
  const BasicViews<T>& v = basin.views;
  ViewFacts f;
  f.centre = PlanePoint{(v.XMIN() + v.XMAX()) / 2, (v.YMIN() + v.YMAX()) / 2};
  f.width = v.XMAX() - v.XMIN();
  f.height = v.YMAX() - v.YMIN();
  f.magnification = (v.OXMAX() - v.OXMIN()) / f.width;
  f.precision = PRECISION_OF<T>;
  BasicViews<T> trial;
  trial.size = v.size;
  trial.current = trial.pending = v.current;
  const Pointer middle{v.size.width / 2, v.size.height / 2, v.size.width, v.size.height};
  for (; f.deeper < limit && zoom(trial, middle); ++f.deeper) trial.current = trial.pending;
  return f;
}

template <class T>
std::vector<RootMark> knownRoots(const BasicBasin<T>& basin) {
  std::vector<RootMark> marks;
  for (const PlanePoint& root : rootPoints(basin))
    marks.push_back(RootMark{root, slotOf(basin.registry, wide(root))});
  return marks;
}

#define BASIN_PROBE_FOR(T)                                                      \
  template SampleProbe probeSample(const BasicBasin<T>&, const Pointer&, bool); \
  template ViewFacts viewFacts(const BasicBasin<T>&, int);                      \
  template std::vector<RootMark> knownRoots(const BasicBasin<T>&);
BASIN_STORAGE_TYPES(BASIN_PROBE_FOR)
#undef BASIN_PROBE_FOR

}  // namespace basin
