// The solver's figures: iteration counts, end points and failures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
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

// The complex product: each part one double formula of the stored parts,
// rounded once; float products would round a c before the difference.
TEST(Complex, ProductRoundsEachPartOnce) {
  const float e = std::ldexp(1.0f, -12);
  const struct {
    Complex a, b, product;
  } cases[] = {
      {{3, 4}, {5, -6}, {39, 2}},
      // (1 + 2^-12)^2 - 1 = 2^-11 + 2^-24: the float product alone would
      // have dropped 2^-24.
      {{1 + e, 1}, {1 + e, 1}, {std::ldexp(1.0f, -11) + std::ldexp(1.0f, -24), 2 + 2 * e}},
      {{3e38f, 0}, {2, 0}, {INFINITY, 0}},  // an overflow stored as infinity
  };
  for (const auto& c : cases) {
    Complex out{}, onto = c.b;
    prodcom(&out, &c.a, &c.b);
    prodcom(&onto, &c.a, &onto);  // onto an operand
    for (const Complex& got : {out, onto}) {
      EXPECT_EQ(got.re, c.product.re) << c.a.re << "," << c.a.im;
      EXPECT_EQ(got.im, c.product.im) << c.a.re << "," << c.a.im;
    }
  }
}

TEST(Derivation, ComplexTermsGiveBothPartsTimesTheExponent) {
  const Variant v{
      "(1+2i)z^3 + z - 0.5i", {{{1, 3, 2}, {1, 1}, {0, 0, -0.5f}}, 3}, 1e-10f, 1e-8f, 1};
  Solver solver(v);
  derive(solver);
  EXPECT_EQ(solver.DERIV[0].coefficient, 3.0f);
  EXPECT_EQ(solver.DERIV[0].imaginary, 6.0f);
  EXPECT_EQ(solver.DERIV[0].exponent, 2.0f);
  EXPECT_TRUE(isReal(solver.DERIV[1]));
  EXPECT_EQ(solver.R2, 3);
  // f(1) = 1 + 2i + 1 - 0.5i, f'(1) = 3 + 6i + 1.
  const Complex one{1, 0};
  Complex f{}, slope{};
  func(solver, &f, &one);
  deriv(solver, &slope, &one);
  EXPECT_EQ(f.re, 2.0f);
  EXPECT_EQ(f.im, 1.5f);
  EXPECT_EQ(slope.re, 4.0f);
  EXPECT_EQ(slope.im, 6.0f);
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

Variant relaxed(const Variant& variant, float re, float im) {
  Variant v = variant;
  v.relax = WideComplex{re, im};
  return v;
}

// Runs on complex coefficients end at the roots known in closed form; a
// relaxed step is z - A f/f'.
TEST(Newton, ComplexAndRelaxedRunsEndWhereExpected) {
  const Variant cubeMinusI{"z^3 - i", {{{1, 3}, {0, 0, -1}}, 2}, 1e-10f, 1e-8f, 1};
  const Variant timesI{"i z^2 + i", {{{0, 2, 1}, {0, 0, 1}}, 2}, 1e-10f, 1e-8f, 1};
  Variant halfTolerance = DUOBASIN;
  halfTolerance.FTOL = 1e-10f;
  const float half = 0.5f, root3 = float(std::sqrt(0.75));
  const struct {
    Variant variant;
    float re, im;  // the start
    int its, fault;
    float endRe, endIm;  // within 1e-5 of the end: |f|^2 <= 1e-10 there
  } cases[] = {
      {cubeMinusI, 1, 1, -1, 0, root3, half},  // the roots of i: e^(i pi/6) ...
      {cubeMinusI, -1, 1, -1, 0, -root3, half},
      {cubeMinusI, 0, -2, -1, 0, 0, -1},
      {timesI, 0.5f, 2, -1, 0, 0, 1},  // i (z^2 + 1)
      // z - 2 (z^2 - 1)/(2z) = 1/z: 2 -> 0.5 -> 2 ..., exactly, never converging.
      {relaxed(DUOBASIN, 2, 0), 2, 0, MAXITS + 1, 1, 2, 0},
      // Half steps: the error halves each step, far more steps than 5; with
      // duobasin's FTOL they stall one float above 1, where the half step
      // rounds back up to 1 + 2^-23 and |f|^2 is 2^-44.
      {relaxed(halfTolerance, 0.5f, 0), 2, 0, 20, 0, 1, 0},
      {relaxed(DUOBASIN, 0.5f, 0), 2, 0, MAXITS + 1, 1, 1 + std::ldexp(1.0f, -23), 0},
      {relaxed(cubeMinusI, 0.75f, 0.25f), 1, 1, -1, 0, root3, half},
  };
  for (const auto& c : cases) {
    const Outcome r = run(c.variant, c.re, c.im);
    SCOPED_TRACE(std::string(c.variant.name) + " from " + std::to_string(c.re) + ", " +
                 std::to_string(c.im));
    if (c.its > 0) {
      EXPECT_EQ(r.its, c.its);
    }
    EXPECT_EQ(r.fault, c.fault);
    EXPECT_NEAR(r.end.re, c.endRe, 1e-5);
    EXPECT_NEAR(r.end.im, c.endIm, 1e-5);
  }
  // A = 1 is the plain step, bit for bit.
  for (const Complex start : {Complex{2, 0}, Complex{0.3f, 1.7f}, Complex{-1e-4f, 1e-4f}}) {
    const Outcome plain = run(QUADBASIN, start.re, start.im);
    const Outcome one = run(relaxed(QUADBASIN, 1, 0), start.re, start.im);
    EXPECT_EQ(std::memcmp(&plain, &one, sizeof plain), 0) << start.re << "," << start.im;
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
