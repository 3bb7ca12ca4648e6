// The vector layer of the solver's kernel: what differs from one
// instruction set to the next, and the complex arithmetic of the scalar
// routines in lanes. Included by core/lane_kernel.cpp alone, which the
// build compiles once per instruction set (core/instruction_sets.h) with
// LANES_SET its name and LANES_WIDTH the doubles a vector holds; everything
// here has internal linkage in that set's namespace.
//
// Each lane holds one run. A value the scalar code stores is held as it is
// stored, in a vector of its storage type (`Stored<T>`): floats in float
// vectors, doubles in double vectors. A formula reads its operands widened
// to double and its result is stored (`store<T>`), so every operand is
// exactly the scalar operand and every double operation the scalar one, in
// the same order: same bits. A sum, difference or product of two stored
// values alone runs in the storage type itself, which for floats gives the
// same bits without the conversions (see Storage<float>).
#pragma once

#include <immintrin.h>

#ifndef LANES_SET
#error "the build compiles the kernel once per instruction set, naming it in LANES_SET"
#endif
#define LANES_CONCAT2(a, b) a##b
#define LANES_CONCAT(a, b) LANES_CONCAT2(a, b)
#define LANES_NAMESPACE LANES_CONCAT(lanes_, LANES_SET)

// The run is one long loop of small steps; a step left as a call costs more
// than its arithmetic.
#define LANE_INLINE inline __attribute__((always_inline))

namespace basin {
namespace LANES_NAMESPACE {
namespace {

constexpr int WIDTH = LANES_WIDTH;
typedef double Real __attribute__((vector_size(8 * WIDTH)));
typedef decltype(Real{} < Real{}) Mask;  // all ones where true

// A float kept by a lane is held in a float vector of the same lane count
// (SSE2: two of its four lanes), with its masks.
typedef float Single __attribute__((vector_size(WIDTH == 2 ? 16 : 4 * WIDTH)));
typedef decltype(Single{} < Single{}) SingleMask;

// What differs from one instruction set to the next:
// - narrow(x): the doubles stored as floats, in every lane: round to
//   nearest, an overflow to an infinity, an underflow to a subnormal.
// - widen(x): the floats as doubles, exactly.
// - laneBits(m): bit i set where lane i of the mask is true.
// - splat(x): x in every lane (a lane-by-lane fill compiles to one masked
//   move a lane).
#if LANES_WIDTH == 8
// The zero-masked forms, all lanes on: GCC 12 warns that the plain ones
// read an uninitialised register.
LANE_INLINE Single narrow(Real x) { return _mm512_maskz_cvtpd_ps(0xff, x); }
LANE_INLINE Real widen(Single x) { return _mm512_maskz_cvtps_pd(0xff, x); }
LANE_INLINE int laneBits(Mask m) { return _mm512_test_epi64_mask(__m512i(m), __m512i(m)); }
LANE_INLINE Real splat(double x) { return _mm512_set1_pd(x); }
LANE_INLINE Single splat(float x) { return _mm256_set1_ps(x); }
#elif LANES_WIDTH == 4
LANE_INLINE Single narrow(Real x) { return _mm256_cvtpd_ps(x); }
LANE_INLINE Real widen(Single x) { return _mm256_cvtps_pd(x); }
LANE_INLINE int laneBits(Mask m) { return _mm256_movemask_pd(__m256d(m)); }
LANE_INLINE Real splat(double x) { return _mm256_set1_pd(x); }
LANE_INLINE Single splat(float x) { return _mm_set1_ps(x); }
#else
LANE_INLINE Single narrow(Real x) { return _mm_cvtpd_ps(x); }
LANE_INLINE Real widen(Single x) { return _mm_cvtps_pd(x); }
LANE_INLINE int laneBits(Mask m) { return _mm_movemask_pd(__m128d(m)); }
LANE_INLINE Real splat(double x) { return _mm_set1_pd(x); }
LANE_INLINE Single splat(float x) { return _mm_set1_ps(x); }
#endif

LANE_INLINE Mask splatMask(long long x) { return Mask{} + x; }

// A complex number in double lanes: the operands and results of the
// formulas.
struct Cx {
  Real re;
  Real im;
};

// The vectors that hold values of storage type T, and how a double result
// becomes one: a float rounds once, a double stays as it is.
template <class T>
struct Storage;

template <>
struct Storage<double> {
  typedef Real Vector;
  typedef Mask Lanes;
  static LANE_INLINE Real store(Real x) { return x; }
  static LANE_INLINE Real wide(Real x) { return x; }
};

// Floats stay in float vectors, widened only where a formula reads them.
// One operation on two floats, computed in double and rounded once, gives
// what the float operation gives: a product of floats is exact in double,
// and a sum or difference rounded twice (to 53 bits, then 24) is rounded
// correctly because 53 >= 2 * 24 + 2; overflow, subnormals, signed zeros
// and a NaN operand come out the same. So sums, differences and products
// with a coefficient run as float operations, no conversion needed.
template <>
struct Storage<float> {
  typedef Single Vector;
  typedef SingleMask Lanes;
  static LANE_INLINE Single store(Real x) { return narrow(x); }
  static LANE_INLINE Real wide(Single x) { return widen(x); }
};

// A complex number as storage type T keeps it.
template <class T>
struct Stored {
  typename Storage<T>::Vector re;
  typename Storage<T>::Vector im;
};

template <class T>
LANE_INLINE Stored<T> store(const Cx& x) {
  return {Storage<T>::store(x.re), Storage<T>::store(x.im)};
}

template <class T>
LANE_INLINE Cx wide(const Stored<T>& x) {
  return {Storage<T>::wide(x.re), Storage<T>::wide(x.im)};
}

// The steps of the scalar complex routines, operands in their order.
template <class T>
LANE_INLINE Stored<T> times(const Cx& t, const Cx& z) {  // one step of pwrcom
  return store<T>(Cx{t.re * z.re - t.im * z.im, t.im * z.re + t.re * z.im});
}

// prodcom: a = x.re, b = x.im, c = y.re, d = y.im.
template <class T>
LANE_INLINE Stored<T> product(const Cx& x, const Cx& y) {
  return store<T>(Cx{x.re * y.re - x.im * y.im, x.re * y.im + x.im * y.re});
}

template <class T>
LANE_INLINE Stored<T> scaled(typename Storage<T>::Vector c, const Stored<T>& t) {
  return {c * t.re, c * t.im};
}

template <class T>
LANE_INLINE Stored<T> plus(const Stored<T>& a, const Stored<T>& b) {
  return {a.re + b.re, a.im + b.im};
}

template <class T>
LANE_INLINE Stored<T> minus(const Stored<T>& a, const Stored<T>& b) {
  return {a.re - b.re, a.im - b.im};
}

LANE_INLINE Real norm2(const Cx& z) { return z.re * z.re + z.im * z.im; }

// Division by the conjugate, as divcom, before its result is stored: an
// exact division by d, never a multiplication by 1 / d, which would round
// twice.
LANE_INLINE Cx quotient(const Cx& num, const Cx& den) {
  const Real d = norm2(den);
  return {(num.re * den.re + num.im * den.im) / d, (-num.re * den.im + num.im * den.re) / d};
}

// Infinity or NaN, read from the exponent bits so that no optimisation that
// assumes finite values can drop the test.
LANE_INLINE Mask nonFinite(Real x) {
  const Mask exponent = splatMask(0x7ff0000000000000LL);
  return (Mask(x) & exponent) == exponent;
}

}  // namespace
}  // namespace LANES_NAMESPACE
}  // namespace basin
