// The solver's figures: iteration counts, end points and failures.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/newton.h"
#include "core/programs.h"

namespace basin {
namespace {

// The run through `newton`, with ITS and FAULT read back from the solver.
Outcome run(const Variant& variant, float re, float im) {
  Solver solver(variant);
  derive(solver);
  const Complex start{re, im};
  Complex end{};
  newton(solver, &start, &end);
  return Outcome{end, solver.ITS, solver.FAULT};
}

TEST(Pwrcom, ZeroAndFirstPowers) {
  const Complex zero{0, 0}, z{3.5f, -2.25f};
  Complex out{};
  pwrcom(&out, &zero, 0);
  EXPECT_EQ(out.re, 1.0f);
  EXPECT_EQ(out.im, 0.0f);
  pwrcom(&out, &z, 0);
  EXPECT_EQ(out.re, 1.0f);
  EXPECT_EQ(out.im, 0.0f);
  pwrcom(&out, &z, 1);
  EXPECT_EQ(out.re, z.re);
  EXPECT_EQ(out.im, z.im);
}

TEST(Pwrcom, RoundsEachPartialProduct) {
  // (1 + 2^-13 i)^2 = 1 - 2^-26 + 2^-12 i: stored, the real part rounds to 1,
  // so the cube's real part is 1 - 2^-25, a tie that rounds to 1, where the
  // exact cube 1 - 3 * 2^-26 would round to 1 - 2^-24.
  const Complex z{1.0f, std::ldexp(1.0f, -13)};
  Complex out{};
  pwrcom(&out, &z, 2);
  EXPECT_EQ(out.re, 1.0f);
  EXPECT_EQ(out.im, std::ldexp(1.0f, -12));
  pwrcom(&out, &z, 3);
  EXPECT_EQ(out.re, 1.0f);
}

TEST(Complex, DivisionKeepsTheDenominatorInDouble) {
  // d = 2^-140 * 2 underflows as a float but not as a double.
  const float tiny = std::ldexp(1.0f, -70);
  const Complex num{tiny, tiny}, den{tiny, tiny};
  Complex out{};
  divcom(&out, &num, &den);
  EXPECT_EQ(out.re, 1.0f);
  EXPECT_EQ(out.im, 0.0f);
}

TEST(Complex, SubnormalsAreKept) {
  const Complex a{std::ldexp(1.0f, -126), 0}, b{std::ldexp(1.0f, -127), 0};
  Complex out{};
  subcom(&out, &a, &b);
  EXPECT_EQ(out.re, std::ldexp(1.0f, -127));
  EXPECT_GT(out.re, 0.0f);
}

TEST(Derivation, FillsDerivativeAndDegree) {
  Solver duo(DUOBASIN), quad(QUADBASIN);
  derive(duo);
  derive(quad);
  EXPECT_EQ(duo.DERIV[0].coefficient, 2.0f);
  EXPECT_EQ(duo.DERIV[0].exponent, 1.0f);
  EXPECT_EQ(duo.R2, 2);
  EXPECT_EQ(quad.DERIV[0].coefficient, 4.0f);
  EXPECT_EQ(quad.DERIV[0].exponent, 3.0f);
  EXPECT_EQ(quad.R2, 4);
}

TEST(Newton, StopsWhereAndWhenTheFiguresSay) {
  const struct {
    const Variant* variant;
    float re, im;  // the start
    int its, fault;
    float endRe, endIm;
  } cases[] = {
      {&DUOBASIN, 1, 0, 1, 0, 1, 0},    // f is exactly 0 at the start
      {&DUOBASIN, 2, 0, 5, 0, 1, 0},    // the two roots
      {&DUOBASIN, -2, 0, 5, 0, -1, 0},  //
      {&DUOBASIN, 0, 0, 1, 1, 0, 0},    // f' vanishes at the start
      {&DUOBASIN, 0, 1, 2, 1, 0, 0},    // the first step lands exactly on 0
      {&QUADBASIN, 2, 0, 7, 0, 1, 0},   //
      {&QUADBASIN, 0, 2, 7, 0, 0, 1},   //
  };
  for (const auto& c : cases) {
    const Outcome r = run(*c.variant, c.re, c.im);
    SCOPED_TRACE(std::string(c.variant->name) + " from " + std::to_string(c.re) + ", " +
                 std::to_string(c.im));
    EXPECT_EQ(r.its, c.its);
    EXPECT_EQ(r.fault, c.fault);
    EXPECT_EQ(r.end.re, c.endRe);
    EXPECT_EQ(r.end.im, c.endIm);
  }
}

Variant relaxed(Variant variant, float re, float im) {
  variant.relax = WideComplex{re, im};
  return variant;
}

// Runs on complex coefficients end at roots known in closed form, within
// 1e-5 (|f|^2 <= 1e-10 there): i z^3 + 1, whose derivative 3i z^2 is the
// complex term's, has the cube roots of i. A relaxed step is z - A f/f',
// with A f/f' the complex product, stored.
TEST(Newton, ComplexAndRelaxedRunsEndWhereExpected) {
  const Variant cube{"i z^3 + 1", {{{0, 3, 1}, {1, 0}}, 2}, 1e-10f, 1e-8f, 1};
  const float r3 = float(std::sqrt(0.75));
  const struct {
    Variant variant;
    float re, im;  // the start
    int its, fault;
    float endRe, endIm;
  } cases[] = {
      {cube, 1, 1, 5, 0, r3, 0.5f},  // e^(i pi/6)
      {cube, 0, -2, 6, 0, 0, -1},
      {relaxed(cube, 0.75f, 0.25f), -1, 1, 14, 0, -r3, 0.5f},  // |1 - A| = 0.35 a step
      // z - 2 (z^2 - 1)/(2z) = 1/z: 2 -> 0.5 -> 2 ..., exactly, for ever.
      {relaxed(DUOBASIN, 2, 0), 2, 0, MAXITS + 1, 1, 2, 0},
      // Half steps stall one float above 1: half a step from 1 + 2^-23
      // rounds back to it, where |f|^2 = 2^-44 is above duobasin's FTOL.
      {relaxed(DUOBASIN, 0.5f, 0), 2, 0, MAXITS + 1, 1, 1 + std::ldexp(1.0f, -23), 0},
  };
  for (const auto& c : cases) {
    const Outcome r = run(c.variant, c.re, c.im);
    SCOPED_TRACE(std::string(c.variant.name) + " from " + std::to_string(c.re) + ", " +
                 std::to_string(c.im));
    EXPECT_EQ(r.its, c.its);
    EXPECT_EQ(r.fault, c.fault);
    EXPECT_NEAR(r.end.re, c.endRe, 1e-5);
    EXPECT_NEAR(r.end.im, c.endIm, 1e-5);
  }
}

TEST(Quadbasin, DiagonalNeverConverges) {
  const Outcome r = run(QUADBASIN, 1, 1);
  EXPECT_EQ(r.its, 201);
  EXPECT_EQ(r.fault, 1);
  const Outcome near = run(QUADBASIN, -1.885f, 1.885f);
  EXPECT_EQ(near.its, 201);
  EXPECT_EQ(near.fault, 1);
}

TEST(Quadbasin, OverflowingRunsFail) {
  // Runs whose iterate overflows would pass the tolerance test on a NaN;
  // they must end as failures instead, at a finite point.
  const float row23 = std::nextafter(-1.885f, -2.0f);
  ASSERT_EQ(row23, -1.88500011f);
  for (const Complex start :
       {Complex{1e-4f, 0}, Complex{0, 1e-4f}, Complex{-1e-4f, 1e-4f}, Complex{row23, -row23}}) {
    const Outcome r = run(QUADBASIN, start.re, start.im);
    EXPECT_EQ(r.fault, 1) << start.re << "," << start.im;
    EXPECT_LE(r.its, 200);
    EXPECT_TRUE(std::isfinite(r.end.re) && std::isfinite(r.end.im));
  }
  const Outcome r = run(QUADBASIN, 1e-4f, 0);
  EXPECT_EQ(r.its, 2);  // f overflows in the second iteration
}

TEST(Quadbasin, ConvergesJustOutsideTheOverflowRing) {
  const Outcome r = run(QUADBASIN, 4e-4f, 0);
  EXPECT_EQ(r.its, 82);
  EXPECT_EQ(r.fault, 0);
  EXPECT_NEAR(r.end.re, 1.0f, 1e-5);
}

}  // namespace
}  // namespace basin
