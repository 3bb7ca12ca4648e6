// The view-window arithmetic of the navigation commands.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <type_traits>

#include "viewer/views.h"

namespace basin {
namespace {

void expectPending(const Views& v, float xmin, float xmax, float ymin, float ymax) {
  EXPECT_EQ(v.NXMIN(), xmin);
  EXPECT_EQ(v.NXMAX(), xmax);
  EXPECT_EQ(v.NYMIN(), ymin);
  EXPECT_EQ(v.NYMAX(), ymax);
}

TEST(Views, ZoomAtTheCentreIsOffByTheColumnWidthRounding) {
  Views v;
  ASSERT_TRUE(zoom(v, Pointer{400, 400}));
  // The pointer maps to (-4.47e-8, 4.47e-8): 0.005 is not exact in float.
  expectPending(v, -0.6666667f, 0.66666663f, -0.66666663f, 0.6666667f);
  EXPECT_EQ(v.XMIN(), -2.0f);  // only d changes the current window
}

TEST(Views, ZoomOutAndRecentre) {
  Views v;
  ASSERT_TRUE(zoomo(v, Pointer{400, 400}));
  expectPending(v, -6, 6, -6, 6);
  ASSERT_TRUE(recent(v, Pointer{400, 400}));
  expectPending(v, -2, 2, -2, 2);
  ASSERT_TRUE(recent(v, Pointer{0, 0}));
  expectPending(v, -4, 0, 0, 4);
}

TEST(Views, MarksStartFromTheCurrentWindowNotThePendingOne) {
  Views v;
  ASSERT_TRUE(zoom(v, Pointer{100, 100}));
  const double first = v.NXMAX() - v.NXMIN();
  ASSERT_TRUE(zoom(v, Pointer{600, 500}));
  EXPECT_FLOAT_EQ(float(v.NXMAX() - v.NXMIN()), float(first));
  EXPECT_NEAR(double(v.NXMAX()) - v.NXMIN(), 4.0 / 3, 1e-6);
}

TEST(Views, RestoreMarksHomeAndApplyCommits) {
  Views v;
  ASSERT_TRUE(zoom(v, Pointer{200, 600}));
  changewin(v);
  EXPECT_NE(v.XMIN(), -2.0f);
  recordHome(v);  // home stays whatever start-up recorded ...
  Views fresh;
  recordHome(fresh);
  ASSERT_TRUE(zoom(fresh, Pointer{200, 600}));
  changewin(fresh);
  restore(fresh);
  expectPending(fresh, -2, 2, -2, 2);
  changewin(fresh);
  EXPECT_EQ(fresh.XMIN(), -2.0f);
  EXPECT_EQ(fresh.YMAX(), 2.0f);
}

TEST(Views, FrameResetsThePendingWindow) {
  Views v;
  ASSERT_TRUE(zoom(v, Pointer{400, 400}));
  resetPending(v);
  expectPending(v, -2, 2, -2, 2);
}

TEST(Views, PointerMapsByThePresentWindowSize) {
  // In a window resized to 1600 x 400 the centre is still (800, 200).
  Views v;
  ASSERT_TRUE(recent(v, Pointer{800, 200, 1600, 400}));
  EXPECT_NEAR(v.NXMIN(), -2.0f, 1e-6);
  EXPECT_NEAR(v.NYMAX(), 2.0f, 1e-6);
  ASSERT_TRUE(recent(v, Pointer{1600, 0, 1600, 400}));
  EXPECT_NEAR(v.NXMIN(), 0.0f, 1e-6);
  EXPECT_NEAR(v.NYMIN(), 0.0f, 1e-6);
}

// Runs `check` on fresh views of each storage type.
template <class Check>
void forEachStorage(Check check) {
  check(BasicViews<float>{});
  check(BasicViews<double>{});
}

TEST(Views, ZoomingOutStopsBeforeTheEdgesOverflow) {
  forEachStorage([](auto v) {
    using T = std::remove_reference_t<decltype(v.current.xmin)>;
    const bool single = std::is_same_v<decltype(v), BasicViews<float>>;
    int applied = 0;
    while (zoomo(v, Pointer{400, 400})) {
      changewin(v);
      ++applied;
      ASSERT_LT(applied, 1000);
    }
    EXPECT_EQ(applied, single ? 80 : 644);
    EXPECT_TRUE(std::isfinite(v.XMIN()) && std::isfinite(v.XMAX()));
    const auto before = v;
    EXPECT_FALSE(zoomo(v, Pointer{400, 400}));
    EXPECT_EQ(v.NXMIN(), before.NXMIN());
    EXPECT_EQ(v.NXMAX(), before.NXMAX());
    // The widest view prints at other sizes too, placed by index.
    EXPECT_TRUE(single ? windowResolves<float>(v.current, 8)
                       : windowResolves<double>(v.current, 8));
    (void)sizeof(T);
  });
}

TEST(Views, ZoomingInStopsWhereTheStorageTypeCanNoLongerSampleTheWindow) {
  // Floats are coarser far from the origin: at x = 1 seven zooms fit, at the
  // centre (the pointer maps to -4.47e-8) twenty-four. Doubles go deeper by
  // on their 29 more bits: 24 zooms at x = 1, 62 at the centre.
  const struct {
    bool single;
    Pointer at;
    int zooms;
    const char* why;
  } cases[] = {
      {true, Pointer{600, 400}, 7, "too narrow for float"},
      {true, Pointer{400, 400}, 24, "--double goes deeper"},
      {false, Pointer{600, 400}, 24, "too narrow for double"},
      {false, Pointer{400, 400}, 62, "too narrow for double"},
  };
  for (const auto& c : cases) {
    forEachStorage([&](auto v) {
      using V = decltype(v);
      if (std::is_same_v<V, BasicViews<float>> != c.single) return;
      int applied = 0;
      while (zoom(v, c.at)) {
        changewin(v);
        ++applied;
        ASSERT_LT(applied, 200);
      }
      EXPECT_EQ(applied, c.zooms) << c.at.x;
      const Window deepest = v.current;
      const char* why = nullptr;
      EXPECT_FALSE(zoom(v, c.at, &why));
      EXPECT_NE(std::string(why).find(c.why), std::string::npos) << why;
      EXPECT_EQ(v.NXMIN(), deepest.xmin);  // no mark left pending
      // Every edge is a value of the storage type, and the view resolves.
      for (double edge : {v.XMIN(), v.XMAX(), v.YMIN(), v.YMAX()}) EXPECT_EQ(V::keep(edge), edge);
      EXPECT_EQ(windowFault<float>(v.current) == nullptr || !c.single, true);
    });
  }
}

TEST(Views, AxisResolvesAtBothSidesOfTheBound) {
  // Near 1 the float spacing is 2^-23; 800 samples need a step far above it.
  // Around the origin positions are fine-grained and width can shrink a lot.
  const float ulp = std::ldexp(1.0f, -23);
  EXPECT_TRUE(axisResolves(-2, 2));
  EXPECT_TRUE(axisResolves(-1e-30f, 1e-30f));
  EXPECT_FALSE(axisResolves(1.0f, 1.0f + ulp));
  EXPECT_FALSE(axisResolves(1.0f, 1.0f));
  EXPECT_FALSE(axisResolves(2.0f, 1.0f));
  EXPECT_FALSE(axisResolves(-INFINITY, 0));
  EXPECT_FALSE(axisResolves(0, NAN));
  // A step of 0.4 units in the last place never moves the position: four
  // samples drift only four steps, within the bound, but all sit at 1.
  EXPECT_FALSE(axisResolves(1.0f, 1.0f + 1.6f * ulp, 4));
  // Find the narrowest window starting at 1 that resolves, then check one
  // a little narrower fails and a little wider passes.
  float width = 1.0f;
  while (axisResolves(1.0f, 1.0f + width / 2)) width /= 2;
  EXPECT_TRUE(axisResolves(1.0f, 1.0f + width));
  EXPECT_FALSE(axisResolves(1.0f, 1.0f + width / 2));
  EXPECT_GT(width, 800 * ulp / 2);
}

}  // namespace
}  // namespace basin
