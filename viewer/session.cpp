#include "viewer/session.h"

#include "viewer/view_line.h"

namespace basin {
namespace {

template <class T>
class SessionOf final : public Session {
 public:
  explicit SessionOf(const Variant& variant) : basin_(variant) { setup(basin_); }

  const Variant& variant() const override { return basin_.variant; }
  const Registry& registry() const override { return basin_.registry; }
  const Window& current() const override { return basin_.views.current; }
  const Window& pending() const override { return basin_.views.pending; }
  const Window& home() const override { return basin_.views.home; }

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
    if (!markSquare(probe, from, to)) return false;
    *square = probe.pending;
    return true;
  }

  void render(int size, Picture* picture, RowSolver& rows, LanePath lanes,
              FunctionRef<void(int)> rowDone) override {
    renderPicture(basin_, size, picture, rows, lanes, rowDone);
  }

  bool resolves(const Window& window, int samples) const override {
    return windowResolves<T>(window, samples);
  }
  int largestPlaceable(const Window& window, int atMost) const override {
    return basin::largestPlaceable<T>(window, atMost);
  }

  std::string viewLine() const override {
    return basin::viewLine<T>(basin_.variant, basin_.views.current);
  }

  std::unique_ptr<Session> copy() const override { return std::make_unique<SessionOf>(*this); }

 private:
  BasicBasin<T> basin_;
};

}  // namespace

std::unique_ptr<Session> openSession(const Variant& variant) {
  if (variant.precision == Precision::Double) return std::make_unique<SessionOf<double>>(variant);
  return std::make_unique<SessionOf<float>>(variant);
}

}  // namespace basin
