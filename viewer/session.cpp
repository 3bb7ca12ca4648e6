#include "viewer/session.h"

#include "viewer/view_line.h"

namespace basin {
namespace {

template <class T>
class SessionOf final : public Session {
 public:
  explicit SessionOf(const Variant& variant) : basin_(variant) { setup(basin_); }
  explicit SessionOf(const BasicBasin<T>& basin) : basin_(basin) {}

  const Variant& variant() const override { return basin_.variant; }
  const Registry& registry() const override { return basin_.registry; }
  const Window& current() const override { return basin_.views.current; }
  const Window& pending() const override { return basin_.views.pending; }
  const Window& home() const override { return basin_.views.home.window; }
  Size size() const override { return basin_.views.size; }

  Effect press(const KeyPress& press, const char** why) override {
    return applyPress(basin_.views, press, why);
  }

  bool goTo(const Window& window) override {
    BasicViews<T>& views = basin_.views;
    const Window pending = views.pending;
    if (!markWindow(views, window)) {
      views.pending = pending;
      return false;
    }
    changewin(views);
    return true;
  }

  bool squareOf(const Pointer& from, const Pointer& to, Window* square) const override {
    BasicViews<T> probe;
    probe.current = basin_.views.current;
    probe.size = basin_.views.size;
    if (!markSquare(probe, from, to)) return false;
    *square = probe.pending;
    return true;
  }

  bool resize(Size size, const char** why) override {
    return basin::resize(basin_.views, size, why);
  }
  Window fitted(Size size) const override { return drawnView<T>(basin_.views.base, size); }

  bool panned(const Pointer& from, const Pointer& to, Window* view) const override {
    BasicViews<T> probe = basin_.views;
    if (!pan(probe, from, to)) return false;
    *view = probe.current;
    return true;
  }

  void pointAt(const Pointer& at, double* x, double* y) const override {
    pointInPlane(basin_.views, at, x, y);
  }

  void render(Picture* picture, RowSolver& rows, LanePath lanes,
              FunctionRef<void(int)> rowDone) override {
    renderPicture(basin_, picture, rows, lanes, rowDone);
  }

  // Drawn on a basin of its own, a copy of this one's tables, registry and
  // views: the events taken in between its rows (a pan's release among
  // them) meet this session as it was.
  void glimpse(const Window& window, Picture* picture, RowSolver& rows, LanePath lanes,
               FunctionRef<void(int)> rowDone) override {
    if (!glimpse_) glimpse_ = std::make_unique<BasicBasin<T>>(basin_.variant);
    glimpse_->solver = basin_.solver;
    glimpse_->registry = basin_.registry;
    glimpse_->views = basin_.views;
    glimpse_->views.current = window;
    renderPicture(*glimpse_, picture, rows, lanes, rowDone);
  }

  SampleProbe probe(const Pointer& at, bool withPath) const override {
    return probeSample(basin_, at, withPath);
  }
  ViewFacts viewFacts() const override { return basin::viewFacts(basin_); }
  std::vector<RootMark> roots() const override { return knownRoots(basin_); }

  bool resolves(const Window& window, Size size) const override {
    return windowResolves<T>(window, size);
  }
  Size largestPlaceable(const Window& window, Size atMost) const override {
    const Window across{window.xmin, window.xmax, window.xmin, window.xmax};
    const Window up{window.ymin, window.ymax, window.ymin, window.ymax};
    return Size{basin::largestPlaceable<T>(across, atMost.width),
                basin::largestPlaceable<T>(up, atMost.height)};
  }

  std::string viewLine() const override {
    return basin::viewLine<T>(basin_.variant, basin_.views.current, basin_.views.size);
  }

  std::vector<std::string> viewArguments() const override {
    return basin::viewArguments<T>(basin_.variant, basin_.views.current);
  }

  std::unique_ptr<Session> copy() const override { return std::make_unique<SessionOf>(basin_); }

 private:
  BasicBasin<T> basin_;
  std::unique_ptr<BasicBasin<T>> glimpse_;  // a pan's passing frames are drawn on
};

}  // namespace

std::unique_ptr<Session> openSession(const Variant& variant) {
  if (variant.precision == Precision::Double) return std::make_unique<SessionOf<double>>(variant);
  return std::make_unique<SessionOf<float>>(variant);
}

}  // namespace basin
