// Whole start-up frames drawn in memory.
#include <gtest/gtest.h>

#include <cmath>

#include "core/polynomial.h"
#include "core/programs.h"
#include "core/speed.h"
#include "viewer/picture.h"
#include "viewer/reference_walk.h"

namespace basin {
namespace {

TEST(Frame, SamplePositionsAreAccumulated) {
  Basin b(DUOBASIN);
  setup(b);
  Complex first{}, last{}, column400{};
  renderFrame(
      b, GRID,
      [&](const Sample& s) {
        if (s.row == 1 && s.column == 1) first = s.pixel;
        if (s.row == 1 && s.column == 400) column400 = s.pixel;
        last = s.pixel;
      },
      [](int) {});
  EXPECT_EQ(first.re, -2.0f + 0.005f);
  EXPECT_EQ(first.im, 2.0f - 0.005f);
  EXPECT_EQ(last.re, 1.9999965f);
  EXPECT_EQ(last.im, -1.9999965f);
  EXPECT_EQ(column400.re, -1.7657876e-6f);
}

TEST(Frame, DuobasinStartUpIsRedLeftGreenRightNoBlack) {
  Basin b(DUOBASIN);
  setup(b);
  int black = 0, wrongSide = 0;
  renderFrame(
      b, GRID,
      [&](const Sample& s) {
        const Rgb& c = s.paint;
        if (c.red == 0 && c.green == 0 && c.blue == 0) ++black;
        const bool red = c.red > 0 && c.green == 0 && c.blue == 0;
        const bool green = c.green > 0 && c.red == 0 && c.blue == 0;
        if ((s.pixel.re < 0 && !red) || (s.pixel.re > 0 && !green)) ++wrongSide;
      },
      [](int) {});
  EXPECT_EQ(black, 0);
  EXPECT_EQ(wrongSide, 0);
  EXPECT_EQ(b.registry.store, 2);
  EXPECT_EQ(b.registry.ROOTS[0].re, -1.0f);
}

TEST(Frame, QuadbasinStartUpColoursAndBlackAntiDiagonal) {
  Basin b(QUADBASIN);
  setup(b);
  int litOnAntiDiagonal = 0;
  int firstRowSamplesToFourRoots = 0;
  renderFrame(
      b, GRID,
      [&](const Sample& s) {
        const bool black = s.paint.red == 0 && s.paint.green == 0 && s.paint.blue == 0;
        if (s.row == s.column) {
          EXPECT_EQ(s.pixel.re, -s.pixel.im);
          if (!black) ++litOnAntiDiagonal;
        }
        if (s.row == 1 && s.column <= 14 && b.registry.store == 4 &&
            firstRowSamplesToFourRoots == 0)
          firstRowSamplesToFourRoots = s.column;
      },
      [](int) {});
  EXPECT_EQ(litOnAntiDiagonal, 0);  // no overflowed run is painted
  EXPECT_GT(firstRowSamplesToFourRoots, 0);
  EXPECT_EQ(b.registry.store, 4);  // no infinity ever takes the fifth slot
  const float roots[4][2] = {{0, 1}, {0, -1}, {-1, 0}, {1, 0}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(b.registry.ROOTS[i].re, roots[i][0], 1e-4) << i;
    EXPECT_NEAR(b.registry.ROOTS[i].im, roots[i][1], 1e-4) << i;
  }
}

TEST(Frame, ResetsPendingWindowAndKeepsColoursAcrossZooms) {
  Basin b(QUADBASIN);
  setup(b);
  renderFrame(
      b, GRID, [](const Sample&) {}, [](int) {});
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(zoom(b.views, Pointer{400, 400}));
    changewin(b.views);
    ASSERT_TRUE(zoom(b.views, Pointer{10, 10}));  // marked, never applied
    renderFrame(
        b, GRID, [](const Sample&) {}, [](int) {});
    EXPECT_EQ(b.views.NXMIN(), b.views.XMIN());
    for (const WideComplex& root : b.registry.ROOTS)
      EXPECT_TRUE(std::isfinite(root.re) && std::isfinite(root.im));
  }
  EXPECT_EQ(b.registry.store, 4);
  EXPECT_NEAR(b.registry.ROOTS[0].im, 1.0f, 1e-4);  // i is still red
}

// The picture of the solved rows, coloured in order, is the picture of the
// sample walk, and leaves the registry where the walk leaves it, whatever
// the number of threads solving rows, the lane path and the speed measures
// left out; a mark made before the frame is forgotten by it.
TEST(Frame, RowsSolvedOnSeveralThreadsGiveTheWalksPictureAndRegistry) {
  SpeedMeasures plain[4];  // all measures, then colouring ahead, retiring at once, both left out
  plain[1].colourAhead = plain[3].colourAhead = false;
  plain[2].branchFreeRetire = plain[3].branchFreeRetire = false;
  RowSolver three(3);
  Terms doubleRoots;  // (z^2 - 1)^2: its end points move to its roots
  ASSERT_TRUE(parsePolynomial("z^4 - 2z^2 + 1", &doubleRoots, nullptr));
  const Variant user = polynomialVariant(doubleRoots, "z^4 - 2z^2 + 1", Tolerances{});
  const Basin fromTemporary(polynomialVariant(doubleRoots, "z^4 - 2z^2 + 1, a temporary", {}));
  EXPECT_EQ(fromTemporary.variant.formula, "z^4 - 2z^2 + 1, a temporary");  // kept, not dangling
  for (const Variant* variant : {&QUADBASIN, &DUOBASIN, &user}) {
    Basin walked(*variant), solved(*variant);
    setup(walked);
    setup(solved);
    Picture reference = blankPicture(GRID), picture;
    for (int zoom = 0; zoom <= 3; ++zoom) {
      if (zoom > 0)
        for (Basin* b : {&walked, &solved}) {
          ASSERT_TRUE(basin::zoom(b->views, Pointer{400, 400}));
          changewin(b->views);
        }
      renderFrame(
          walked, GRID, [&](const Sample& s) { paintCell(&reference, s); }, [](int) {});
      ASSERT_TRUE(basin::zoom(solved.views, Pointer{100, 700}));
      setSpeedMeasures(plain[zoom]);
      renderPicture(solved, &picture, three, LANE_PATHS[zoom % LANE_PATH_COUNT]);
      setSpeedMeasures(SpeedMeasures{});
      EXPECT_EQ(solved.views.pending.xmin, solved.views.XMIN());
      EXPECT_EQ(solved.views.pending.ymax, solved.views.YMAX());
      EXPECT_TRUE(picture.rgb == reference.rgb) << variant->name << ", zoom " << zoom;
      ASSERT_EQ(solved.registry.store, walked.registry.store);
      for (int i = 0; i < walked.registry.store; ++i) {
        EXPECT_EQ(solved.registry.ROOTS[i].re, walked.registry.ROOTS[i].re);
        EXPECT_EQ(solved.registry.ROOTS[i].im, walked.registry.ROOTS[i].im);
      }
    }
  }
}

}  // namespace
}  // namespace basin
