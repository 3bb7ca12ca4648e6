// The root registry and the shading.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>

#include "colour/colour.h"
#include "colour/row_colour.h"
#include "core/programs.h"

namespace basin {
namespace {

Registry registryFor(const Variant& v, int degree) {
  Registry registry;
  openRegistry(registry, v, degree);
  return registry;
}

Rgb colourOf(Registry& registry, float re, float im) {
  Rgb c{0, 0, 0};
  const Complex r{re, im};
  findcolor(registry, &c, &r);
  return c;
}

void expectColour(const Rgb& c, float red, float green, float blue) {
  EXPECT_EQ(c.red, red);
  EXPECT_EQ(c.green, green);
  EXPECT_EQ(c.blue, blue);
}

TEST(Registry, SlotsFollowTheOrderOfDiscovery) {
  Registry g = registryFor(QUADBASIN, 4);
  expectColour(colourOf(g, 0, 1), 1, 0, 0);
  expectColour(colourOf(g, 0, -1), 0, 1, 0);
  expectColour(colourOf(g, -1, 0), 0, 0, 1);
  expectColour(colourOf(g, 1, 0), 1, 1, 0);
  expectColour(colourOf(g, 0, 1), 1, 0, 0);
  EXPECT_EQ(g.store, 4);
}

TEST(Registry, SquaredDistanceExactlyAtToleranceMatches) {
  // With a tolerance of 2^-34 the distance 2^-17 squares to it exactly.
  Registry h = registryFor(DUOBASIN, 2);
  h.RTOL = std::ldexp(1.0f, -34);
  colourOf(h, 0, 0);
  expectColour(colourOf(h, std::ldexp(1.0f, -17), 0), 1, 0, 0);
  EXPECT_EQ(h.store, 1);
  h.ROOTS[0] = WideComplex{0, 0};
  expectColour(colourOf(h, std::nextafter(std::ldexp(1.0f, -17), 1.0f), 0), 0, 1, 0);
}

TEST(Registry, LowerSlotWinsAndOnlyItsRootMoves) {
  Registry g = registryFor(QUADBASIN, 4);
  colourOf(g, 0, 0);
  g.ROOTS[1] = WideComplex{1e-5f, 0};
  g.store = 2;
  expectColour(colourOf(g, 5e-6f, 0), 1, 0, 0);
  EXPECT_EQ(g.ROOTS[0].re, 5e-6f);
  EXPECT_EQ(g.ROOTS[1].re, 1e-5f);
}

TEST(Registry, FullRegistryLeavesBlack) {
  Registry g = registryFor(DUOBASIN, 2);
  colourOf(g, -1, 0);
  colourOf(g, 1, 0);
  expectColour(colourOf(g, 0, 5), 0, 0, 0);
  EXPECT_EQ(g.store, 2);
  Registry q = registryFor(QUADBASIN, 4);
  for (int i = 0; i < 5; ++i) colourOf(q, float(i), 0);
  EXPECT_EQ(q.store, 5);
  expectColour(colourOf(q, 9, 9), 0, 0, 0);
  // A limit past the slots is refused in every build, not left to overrun ROOTS.
  Variant wide = DUOBASIN;
  wide.EXTRASLOTS = SLOTS - 2;
  EXPECT_EQ(registryFor(wide, 2).limit, SLOTS);
  wide.EXTRASLOTS = SLOTS - 1;
  EXPECT_THROW(registryFor(wide, 2), std::length_error);
}

TEST(Registry, NonFiniteEndPointsNeverMatchNorRegister) {
  Registry g = registryFor(QUADBASIN, 4);
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  colourOf(g, 0, 1);
  expectColour(colourOf(g, nan, -inf), 0, 0, 0);
  expectColour(colourOf(g, inf, -inf), 0, 0, 0);
  EXPECT_EQ(g.store, 1);
  EXPECT_EQ(g.ROOTS[0].im, 1.0f);
  // After such an end point the next real root still gets its own colour.
  expectColour(colourOf(g, 1, 0), 0, 1, 0);
}

// A user's polynomial: end points move to the nearest root first, so the
// scattered endings at a repeated root share its slot; non-finite ones stay
// black; roots closer than the square root of RTOL share one slot.
TEST(Registry, EndPointsMoveToTheNearestRootFirst) {
  Registry g = registryFor(QUADBASIN, 4);
  // The last overflows a float (+inf as a float, 1e300 as a double): left out.
  snapTo(g, {{1, 0, 1, 0, 2}, {-1, 0, -1, 0, 2}, {HUGE_VAL, 0, 1e300, 0, 1}});
  EXPECT_EQ(g.snaps, 2);
  expectColour(colourOf(g, 0.9f, 0.1f), 1, 0, 0);
  expectColour(colourOf(g, -1.2f, -0.2f), 0, 1, 0);
  expectColour(colourOf(g, 1.01f, -0.05f), 1, 0, 0);
  expectColour(colourOf(g, -0.01f, 0), 0, 1, 0);  // nearest, not the last root met
  expectColour(colourOf(g, 0.01f, 0), 1, 0, 0);
  EXPECT_EQ(g.ROOTS[0].re, 1.0f);  // a slot holds the root, not the end point
  EXPECT_EQ(g.ROOTS[0].im, 0.0f);
  const float inf = std::numeric_limits<float>::infinity();
  expectColour(colourOf(g, std::nanf(""), 0.5f), 0, 0, 0);
  expectColour(colourOf(g, -inf, 0), 0, 0, 0);
  EXPECT_EQ(g.store, 2);

  Registry close = registryFor(QUADBASIN, 4);
  snapTo(close, {{0, 0, 0, 0, 1},
                 {1e-5, 0, 1e-5, 0, 1},
                 {2e-4, 0, 2e-4, 0, 1}});  // RTOL 1e-8: merges the first two
  expectColour(colourOf(close, 1e-6f, 0), 1, 0, 0);
  expectColour(colourOf(close, 1e-5f, 0), 1, 0, 0);
  expectColour(colourOf(close, 3e-4f, 0), 0, 1, 0);
}

// A row coloured against a copy of the registry is confirmed while the
// registry's roots have moved less than the row's margins allow, and then
// leaves the registry as colouring the row would; otherwise it is refused
// and the registry left as it was.
TEST(ColourAhead, ConfirmsWhileTheRootsMoveLessThanTheMargins) {
  Registry now = registryFor(QUADBASIN, 4);  // RTOL 1e-8: matches within 1e-4
  colourOf(now, 1, 0);
  colourOf(now, -1, 0);
  const Outcome row[] = {{{1 + 2e-5f, 0}, 3, 0}, {{-1, 5e-5f}, 9, 0}, {{0.5f, 0}, 4, 1}};
  Registry copy = now, inOrder = now;
  Forecast forecast;
  std::uint8_t rgb[12], expected[9];
  colourRow(copy, row, 3, rgb, &forecast);
  colourRow(inOrder, row, 3, expected);
  EXPECT_TRUE(std::equal(rgb, rgb + 9, expected));
  const struct {
    float drift;  // of slot 1's root since the copy
    bool holds;
  } cases[] = {{0, true}, {4e-5f, true}, {5.5e-5f, false}};
  for (const auto& c : cases) {
    Registry r = now;
    r.ROOTS[1].im = c.drift;
    EXPECT_EQ(confirm(r, forecast), c.holds) << c.drift;
    EXPECT_EQ(r.ROOTS[1].im, c.holds ? 5e-5f : c.drift);
    EXPECT_EQ(r.ROOTS[0].re, c.holds ? 1 + 2e-5f : 1.0f);
  }
  const Outcome newRoot[] = {{{0, 1}, 2, 0}};
  colourRow(copy, newRoot, 1, rgb, &forecast);
  EXPECT_FALSE(confirm(now, forecast));
  EXPECT_EQ(now.store, 2);

  // The walk takes slot 1 without trying slot 0 after its first sample;
  // its last sample is 0.93e-4 from slot 0 once that has moved 2e-5.
  Registry pair = registryFor(QUADBASIN, 4);
  colourOf(pair, 0, 0);
  colourOf(pair, 1.5e-4f, 0);
  const Outcome walk[] = {
      {{1.5e-4f, 0}, 1, 0}, {{1.4e-4f, 0}, 1, 0}, {{1.3e-4f, 0}, 1, 0}, {{1.13e-4f, 0}, 1, 0}};
  Registry pairCopy = pair;
  colourRow(pairCopy, walk, 4, rgb, &forecast);
  pair.ROOTS[0].re = 2e-5f;
  EXPECT_FALSE(confirm(pair, forecast));
}

// Each sample of a row tries the slot the last search found first, yet an
// earlier slot within RTOL still takes it: the second sample here lies
// within 1e-4 of both slots' roots, and 2e-5 from the first sample.
TEST(ColourAhead, AnEarlierSlotWithinReachComesFirst) {
  Registry g = registryFor(QUADBASIN, 4);  // RTOL 1e-8: matches within 1e-4
  colourOf(g, 0, 0);
  colourOf(g, -1.15e-4f, 0);  // misses slot 0: slot 1
  const Outcome row[] = {{{-1.15e-4f, 0}, 1, 0}, {{-0.95e-4f, 0}, 1, 0}};
  std::uint8_t rgb[6];
  colourRow(g, row, 2, rgb);
  EXPECT_TRUE(std::equal(rgb, rgb + 3, shade8(1, 1)));
  EXPECT_TRUE(std::equal(rgb + 3, rgb + 6, shade8(0, 1)));
}

// Rows coloured ahead in batches, against a registry up to a batch out of
// date, then confirmed or coloured again in order, give the picture and
// the registry of colouring every row in order, and that the picture of
// finding each sample's slot in turn: end points well inside RTOL, and
// ones scattered across its edge, new roots past the registry's limit,
// faults, NaNs and infinities; with the end points moved to known roots
// first (one of them past the limit) and without.
TEST(ColourAhead, GivesThePictureAndRegistryOfColouringInOrder) {
  constexpr int WIDTH = 48, ROWS = 400, DEPTH = 8;
  std::mt19937 random(2026);
  std::uniform_real_distribution<float> unit(-1, 1);
  std::vector<Outcome> runs(std::size_t(WIDTH) * ROWS);
  for (int i = 0; i < WIDTH * ROWS; ++i) {
    const int row = i / WIDTH;
    const float spread = row % 5 == 4 ? 1.5e-4f * float(row % 3) : 1e-7f;
    const float root = float(random() % 3) - 1;
    runs[std::size_t(i)] = {{root + spread * unit(random), spread * unit(random)},
                            1 + int(random() % MAXITS),
                            random() % 50 == 0};
    if (random() % 200 == 0) runs[std::size_t(i)].end.re = std::nanf("");
    if (random() % 300 == 0) runs[std::size_t(i)].end.im = -HUGE_VALF;
  }
  for (const bool snapped : {false, true}) {
    SCOPED_TRACE(snapped);
    Registry inOrder = registryFor(QUADBASIN, snapped ? 1 : 4);  // 2 or 5 slots
    if (snapped) snapTo(inOrder, {{-1, 0, -1, 0, 1}, {0, 0, 0, 0, 1}, {1, 0, 1, 0, 1}});
    Registry ahead = inOrder, walk = inOrder;
    std::vector<std::uint8_t> expected(3 * runs.size()), picture(expected.size()), walked;
    for (const Outcome& run : runs) {
      const int slot = run.fault == 0 ? findslot(walk, &run.end) : -1;
      const std::uint8_t black[3] = {0, 0, 0};
      const std::uint8_t* colour = slot >= 0 ? shade8(slot, run.its) : black;
      walked.insert(walked.end(), colour, colour + 3);
    }
    const auto rowOf = [&](int row) { return &runs[std::size_t(row) * WIDTH]; };
    const auto rgbOf = [](std::vector<std::uint8_t>& p, int row) { return &p[3u * row * WIDTH]; };
    for (int row = 0; row < ROWS; ++row)
      colourRow(inOrder, rowOf(row), WIDTH, rgbOf(expected, row));
    EXPECT_TRUE(expected == walked);
    std::vector<Forecast> forecasts(DEPTH);
    ColourAhead colouring(ahead, forecasts.data(), DEPTH);
    for (int first = 0; first < ROWS;) {
      const int last = std::min(first + int(random() % DEPTH), ROWS - 1);
      for (int row = first; row <= last; ++row)
        colouring.ahead(row, rowOf(row), WIDTH, rgbOf(picture, row));
      for (; first <= last; ++first)
        colouring.inOrder(first, rowOf(first), WIDTH, rgbOf(picture, first));
    }
    EXPECT_TRUE(picture == expected);
    ASSERT_EQ(ahead.store, inOrder.store);
    ASSERT_EQ(walk.store, inOrder.store);
    for (int i = 0; i < inOrder.store; ++i) {
      EXPECT_EQ(ahead.ROOTS[i].re, inOrder.ROOTS[i].re);
      EXPECT_EQ(ahead.ROOTS[i].im, inOrder.ROOTS[i].im);
      EXPECT_EQ(walk.ROOTS[i].re, inOrder.ROOTS[i].re);
      EXPECT_EQ(walk.ROOTS[i].im, inOrder.ROOTS[i].im);
    }
  }
}

TEST(Shader, DarkensByTheLastThresholdReached) {
  // 1 - float(0.65) rounds to the float just above float(0.35).
  const float kLast = std::nextafter(0.35f, 1.0f);
  const struct {
    int its;
    float factor;
  } rows[] = {{1, 1.0f},   {2, 0.95f},  {3, 0.95f},  {4, 0.85f},  {7, 0.85f},
              {8, 0.75f},  {16, 0.65f}, {32, 0.55f}, {63, 0.55f}, {64, 0.45f},
              {89, 0.45f}, {90, kLast}, {200, kLast}};
  for (const auto& row : rows) {
    Rgb s{1, 1, 1};
    shader(&s, row.its);
    EXPECT_EQ(s.red, row.factor) << "ITS " << row.its;
  }
}

}  // namespace
}  // namespace basin
