// The vector kernel behind solveRow, compiled once per instruction set: the
// build compiles this file for baseline x86-64 (SSE2, 2 lanes), with -mavx2
// (4 lanes) and with -mavx512f (8 lanes), and the instruction set picks the
// namespace, so the three copies link side by side.
//
// Each lane holds one run, as a double. A float the scalar code stores is
// held here as a double that went through float (`keep<float>`), a double
// as it is (`keep<double>`), so every operand is exactly the scalar operand
// and every double operation the scalar one, in the same order: same bits.
// The kernel is written once over the storage type T. All helpers have internal linkage and are
// inlined, so no wide-instruction code can stand in for a function that baseline code calls.
#include "core/lane_kernel.h"

#include <immintrin.h>

#if defined(__AVX512F__)
#define LANES_NAMESPACE lanes_avx512
#define LANES_WIDTH 8
#elif defined(__AVX2__)
#define LANES_NAMESPACE lanes_avx2
#define LANES_WIDTH 4
#else
#define LANES_NAMESPACE lanes_sse2
#define LANES_WIDTH 2
#endif

// The run is one long loop of small steps; a step left as a call costs more
// than its arithmetic.
#define LANE_INLINE inline __attribute__((always_inline))

namespace basin {
namespace LANES_NAMESPACE {
namespace {

constexpr int WIDTH = LANES_WIDTH;
typedef double Real __attribute__((vector_size(8 * WIDTH)));
typedef decltype(Real{} < Real{}) Mask;  // all ones where true

// An iteration is one long chain of operations, each waiting for the one
// before; two vectors of independent runs let the CPU overlap two chains.
// (Measured: two groups run 1.3 to 1.6 times as fast as one; more gain
// nothing once the conversion and division units are busy.)
constexpr int GROUPS = 2;

// What differs from one instruction set to the next:
// - toFloat(x): a double stored as a float and read back, in every lane:
//   round to nearest, an overflow to an infinity, an underflow to a
//   subnormal. The conversion instructions do it in two steps, where a
//   generic conversion takes many.
// - laneBits(m): bit i set where lane i of the mask is true.
// - splat(x): x in every lane (a lane-by-lane fill compiles to one masked
//   move a lane).
#if LANES_WIDTH == 8
// The zero-masked forms, all lanes on: GCC 12 warns that the plain ones
// read an uninitialised register.
LANE_INLINE Real toFloat(Real x) {
  return _mm512_maskz_cvtps_pd(0xff, _mm512_maskz_cvtpd_ps(0xff, x));
}
LANE_INLINE int laneBits(Mask m) { return _mm512_test_epi64_mask(__m512i(m), __m512i(m)); }
LANE_INLINE Real splat(double x) { return _mm512_set1_pd(x); }
#elif LANES_WIDTH == 4
LANE_INLINE Real toFloat(Real x) { return _mm256_cvtps_pd(_mm256_cvtpd_ps(x)); }
LANE_INLINE int laneBits(Mask m) { return _mm256_movemask_pd(__m256d(m)); }
LANE_INLINE Real splat(double x) { return _mm256_set1_pd(x); }
#else
LANE_INLINE Real toFloat(Real x) { return _mm_cvtps_pd(_mm_cvtpd_ps(x)); }
LANE_INLINE int laneBits(Mask m) { return _mm_movemask_pd(__m128d(m)); }
LANE_INLINE Real splat(double x) { return _mm_set1_pd(x); }
#endif

LANE_INLINE Mask splatMask(long long x) { return Mask{} + x; }

// A double result as storage type T keeps it: a float rounds, a double
// stays.
template <class T>
LANE_INLINE Real keep(Real x) {
  if constexpr (PRECISION_OF<T> == Precision::Float) return toFloat(x);
  return x;
}

struct Cx {
  Real re;
  Real im;
};

// The steps of the scalar complex routines, operands in their order.
template <class T>
LANE_INLINE Cx times(const Cx& t, const Cx& z) {  // one step of pwrcom
  return {keep<T>(t.re * z.re - t.im * z.im), keep<T>(t.im * z.re + t.re * z.im)};
}

template <class T>
LANE_INLINE Cx scaled(Real c, const Cx& t) {
  return {keep<T>(c * t.re), keep<T>(c * t.im)};
}

template <class T>
LANE_INLINE Cx plus(const Cx& a, const Cx& b) {
  return {keep<T>(a.re + b.re), keep<T>(a.im + b.im)};
}

template <class T>
LANE_INLINE Cx minus(const Cx& a, const Cx& b) {
  return {keep<T>(a.re - b.re), keep<T>(a.im - b.im)};
}

LANE_INLINE Real norm2(const Cx& z) { return z.re * z.re + z.im * z.im; }

// Division by the conjugate, as divcom: an exact division by d, never a
// multiplication by 1 / d, which would round twice.
template <class T>
LANE_INLINE Cx quotient(const Cx& num, const Cx& den) {
  const Real d = norm2(den);
  return {keep<T>((num.re * den.re + num.im * den.im) / d),
          keep<T>((-num.re * den.im + num.im * den.re) / d)};
}

// A term of power 1 or more, as multcom leaves it, from the power of z
// pwrcom leaves.
template <class T>
LANE_INLINE Cx termOf(const LaneTerm& term, const Cx& power) {
  const Real c = splat(term.coefficient);
  if (term.exact) return Cx{c * power.re, c * power.im};
  return scaled<T>(c, power);
}

// A power-0 term: the same in every run.
LANE_INLINE Cx constantOf(const LaneTerm& term) {
  return Cx{splat(term.constant[0]), splat(term.constant[1])};
}

// One term at z, as pwrcom and multcom leave it.
template <class T>
LANE_INLINE Cx termAt(const LaneTerm& term, const Cx* powers) {
  if (term.power == 0) return constantOf(term);
  return termOf<T>(term, powers[term.power]);
}

// The first sum of a table, 0 + the first term: no rounding, but -0 becomes
// +0, as in the scalar sum.
LANE_INLINE Cx fromZero(const Cx& first) { return Cx{Real{} + first.re, Real{} + first.im}; }

// A polynomial at z from the powers z^1 ... z^highest: pwrcom's partial
// products are the same chain for every exponent, so one chain serves every
// term of both tables. The sum starts at (0, 0) and adds the terms in table
// order, each sum stored. The first sum, 0 + a float, is that float (or +0
// for -0) and needs no rounding, but it must still be added.
template <class T>
LANE_INLINE Cx evaluate(const LaneTerm* terms, int count, const Cx* powers) {
  if (count == 0) return Cx{Real{}, Real{}};
  Cx sum = fromZero(termAt<T>(terms[0], powers));
  for (int i = 1; i < count; ++i) sum = plus<T>(sum, termAt<T>(terms[i], powers));
  return sum;
}

// How an iteration finds f(z) and f'(z), each the same operations in the
// same order as the scalar run:
// - Interpreted: any term tables, read as they come, the powers of z kept
//   in an array.
// - Binomial<N>: a z^N + c, whose derivative is b z^(N-1) (duobasin,
//   quadbasin, z^N - 1): the powers and the terms in registers, nothing
//   looked up while the run goes on.
struct Interpreted {
  static bool fits(const LaneTables&) { return true; }

  template <class T>
  static LANE_INLINE void at(const LaneTables& tables, const Cx& z, Cx* f, Cx* slope) {
    Cx powers[MAXPOWER + 1];
    powers[1] = z;
    for (int k = 2; k <= tables.highest; ++k) powers[k] = times<T>(powers[k - 1], z);
    *f = evaluate<T>(tables.poly, tables.polyTerms, powers);
    *slope = evaluate<T>(tables.deriv, tables.derivTerms, powers);
  }
};

template <int N>
struct Binomial {
  static bool fits(const LaneTables& t) {
    return t.highest == N && t.polyTerms == 2 && t.poly[0].power == N && t.poly[1].power == 0 &&
           t.derivTerms == 1 && t.deriv[0].power == N - 1;
  }

  template <class T>
  static LANE_INLINE void at(const LaneTables& tables, const Cx& z, Cx* f, Cx* slope) {
    Cx below = z, power = z;  // z^(N-1) and z^N
    for (int k = 2; k <= N; ++k) {
      below = power;
      power = times<T>(power, z);
    }
    *f = plus<T>(fromZero(termOf<T>(tables.poly[0], power)), constantOf(tables.poly[1]));
    *slope = fromZero(termOf<T>(tables.deriv[0], below));
  }
};

// Infinity or NaN, read from the exponent bits so that no optimisation that
// assumes finite values can drop the test.
LANE_INLINE Mask nonFinite(Real x) {
  const Mask exponent = splatMask(0x7ff0000000000000LL);
  return (Mask(x) & exponent) == exponent;
}

// The row being solved: its samples, where their outcomes go, the next
// sample to start and the constants every iteration compares with.
template <class T>
struct Row {
  const LaneTables& tables;
  const T* xs;
  T y;
  int n;
  BasicOutcome<T>* out;
  int next;
  Real ftol, dtol, limit;
  Mask only[WIDTH];  // lane i alone
};

// One vector of runs, `sample` saying which sample each lane runs. The
// vectors stay in registers: a lane is refilled by a blend, never by a store
// into a vector that is read back at once.
struct Group {
  Cx z;
  Real its;
  Mask live;
  int sample[WIDTH];
  int running;
};

// Starts the row's next sample in `lane`, or retires the lane at the row's end.
template <class T>
LANE_INLINE void take(Group& g, int lane, Row<T>& row) {
  const Mask only = row.only[lane];
  if (row.next >= row.n) {
    g.live &= ~only;
    --g.running;
    return;
  }
  g.z.re = only ? splat(double(row.xs[row.next])) : g.z.re;
  g.z.im = only ? splat(double(row.y)) : g.z.im;
  g.its = only ? splat(1.0) : g.its;
  g.sample[lane] = row.next++;
}

// One iteration of newton in every lane, its tests in the same order; a lane
// whose run ends writes its outcome and takes the next sample.
template <class T, class Shape>
LANE_INLINE void iterate(Group& g, Row<T>& row) {
  // Whole vectors in and out of the group: GCC copies a struct of vectors
  // piecewise, and a vector read back from pieces waits for them.
  const Real re = g.z.re, im = g.z.im;
  Cx f, slope;
  Shape::template at<T>(row.tables, Cx{re, im}, &f, &slope);
  const Real fmag = norm2(f);
  const Mask converged = fmag <= row.ftol;
  const Mask stopped = converged | nonFinite(fmag) | ~(norm2(slope) > row.dtol);
  const Cx moved = minus<T>(Cx{re, im}, quotient<T>(f, slope));
  // A stopped lane keeps its iterate and count; the others step, and a run
  // that has made MAXITS steps ends with ITS MAXITS + 1.
  g.z.re = stopped ? re : moved.re;
  g.z.im = stopped ? im : moved.im;
  g.its = stopped ? g.its : g.its + 1.0;
  int ended = laneBits((stopped | (g.its > row.limit)) & g.live);
  for (int lane = 0; ended != 0; ++lane, ended >>= 1) {
    if ((ended & 1) == 0) continue;
    row.out[g.sample[lane]] = BasicOutcome<T>{BasicComplex<T>{T(g.z.re[lane]), T(g.z.im[lane])},
                                              int(g.its[lane]), converged[lane] ? 0 : 1};
    take(g, lane, row);
  }
}

template <class T, class Shape>
LANE_INLINE void runRow(const LaneTables& tables, const T* xs, T y, int n, BasicOutcome<T>* out) {
  Row<T> row{tables, xs, y, n, out, 0, splat(tables.ftol), splat(DTOL), splat(double(MAXITS)), {}};
  for (int lane = 0; lane < WIDTH; ++lane) row.only[lane][lane] = -1;
  Group groups[GROUPS];
  for (Group& g : groups) {
    g = Group{{Real{}, Real{}}, Real{}, splatMask(-1), {}, WIDTH};
    for (int lane = 0; lane < WIDTH; ++lane) take(g, lane, row);
  }
  for (bool running = true; running;) {
    running = false;
    for (Group& g : groups) {
      if (g.running == 0) continue;
      iterate<T, Shape>(g, row);
      running = true;
    }
  }
}

// The row on the first shape that fits its tables; Interpreted fits all.
template <class T, class Shape, class... Others>
LANE_INLINE void runFitting(const LaneTables& tables, const T* xs, T y, int n,
                            BasicOutcome<T>* out) {
  if constexpr (sizeof...(Others) == 0) {
    runRow<T, Shape>(tables, xs, y, n, out);
  } else {
    if (Shape::fits(tables)) return runRow<T, Shape>(tables, xs, y, n, out);
    runFitting<T, Others...>(tables, xs, y, n, out);
  }
}

template <class T>
LANE_INLINE void runAnyRow(const LaneTables& tables, const T* xs, T y, int n,
                           BasicOutcome<T>* out) {
  runFitting<T, Binomial<2>, Binomial<3>, Binomial<4>, Binomial<5>, Binomial<6>, Interpreted>(
      tables, xs, y, n, out);
}

}  // namespace

__attribute__((flatten)) void solveRow(const LaneTables& tables, const float* xs, float y, int n,
                                       Outcome* out) {
  runAnyRow(tables, xs, y, n, out);
}

__attribute__((flatten)) void solveRow(const LaneTables& tables, const double* xs, double y, int n,
                                       WideOutcome* out) {
  runAnyRow(tables, xs, y, n, out);
}

}  // namespace LANES_NAMESPACE
}  // namespace basin
