// The vector kernel behind solveRows, compiled once per instruction set: the
// build compiles this file for baseline x86-64 (SSE2, 2 lanes), with -mavx2
// (4 lanes) and with -mavx512f (8 lanes), and the instruction set picks the
// namespace, so the three copies link side by side.
//
// Each lane holds one run. A value the scalar code stores is held as it is
// stored, in a vector of its storage type (`Stored<T>`): floats in float
// vectors, doubles in double vectors. A formula reads its operands widened
// to double and its result is stored (`store<T>`), so every operand is
// exactly the scalar operand and every double operation the scalar one, in
// the same order: same bits. A sum, difference or product of two stored
// values alone runs in the storage type itself, which for floats gives the
// same bits without the conversions (see Storage<float>).
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
// before; several vectors of independent runs let the CPU overlap their
// chains. The iteration takes each step for every group before the next
// step, so the groups' chains lie side by side in the order the CPU reads
// instructions, and its window of waiting operations holds part of each.
// Written group after group, an iteration (about 100 operations) nearly
// filled that window alone, and more than three groups gained nothing;
// side by side, four groups are 1.1 to 1.25 times as fast as three were,
// six and eight slower again (registers run out).
constexpr int GROUPS = 4;
#define EACH_GROUP(g) _Pragma("GCC unroll 8") for (int g = 0; g < GROUPS; ++g)

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

// The term tables with their numbers as storage type T: converted once a
// row, where a float read from the double LaneTerm would cost a conversion
// an iteration.
template <class T>
struct TermIn {
  T coefficient;
  int power;
  T constant[2];
};

template <class T>
struct TablesIn {
  TermIn<T> poly[MAXTERMS];
  int polyTerms;
  TermIn<T> deriv[MAXTERMS];
  int derivTerms;
  int highest;
};

template <class T>
LANE_INLINE void convertTerms(const LaneTerm* terms, int count, TermIn<T>* into) {
  for (int i = 0; i < count; ++i) {
    const LaneTerm& t = terms[i];
    into[i] = TermIn<T>{T(t.coefficient), t.power, {T(t.constant[0]), T(t.constant[1])}};
  }
}

template <class T>
LANE_INLINE void convertTables(const LaneTables& tables, TablesIn<T>* into) {
  convertTerms(tables.poly, tables.polyTerms, into->poly);
  convertTerms(tables.deriv, tables.derivTerms, into->deriv);
  into->polyTerms = tables.polyTerms;
  into->derivTerms = tables.derivTerms;
  into->highest = tables.highest;
}

// A term of power 1 or more, as multcom leaves it, from the power of z
// pwrcom leaves. A coefficient of 1 or -1 rounds nothing, but the product
// is still taken: -1 times a NaN keeps its sign, where a negation flips it.
template <class T>
LANE_INLINE Stored<T> termOf(const TermIn<T>& term, const Stored<T>& power) {
  return scaled<T>(splat(term.coefficient), power);
}

// A power-0 term: the same in every run.
template <class T>
LANE_INLINE Stored<T> constantOf(const TermIn<T>& term) {
  return {splat(term.constant[0]), splat(term.constant[1])};
}

// One term at z, as pwrcom and multcom leave it.
template <class T>
LANE_INLINE Stored<T> termAt(const TermIn<T>& term, const Stored<T>* powers) {
  if (term.power == 0) return constantOf<T>(term);
  return termOf<T>(term, powers[term.power]);
}

// The first sum of a table, 0 + the first term: no rounding, but -0 becomes
// +0, as in the scalar sum.
template <class T>
LANE_INLINE Stored<T> fromZero(const Stored<T>& first) {
  const typename Storage<T>::Vector zero{};
  return {zero + first.re, zero + first.im};
}

// A polynomial at z from the powers z^1 ... z^highest: pwrcom's partial
// products are the same chain for every exponent, so one chain serves every
// term of both tables. The sum starts at (0, 0) and adds the terms in table
// order, each sum stored. The first sum, 0 + a float, is that float (or +0
// for -0) and needs no rounding, but it must still be added.
template <class T>
LANE_INLINE Stored<T> evaluate(const TermIn<T>* terms, int count, const Stored<T>* powers) {
  if (count == 0) return Stored<T>{};
  Stored<T> sum = fromZero(termAt<T>(terms[0], powers));
  for (int i = 1; i < count; ++i) sum = plus(sum, termAt<T>(terms[i], powers));
  return sum;
}

// How an iteration finds f(z) and f'(z), each the same operations in the
// same order as the scalar run:
// - Interpreted: any term tables, read as they come, the powers of z kept
//   in an array.
// - Binomial<N>: a z^N + c, whose derivative is b z^(N-1) (duobasin,
//   quadbasin, z^N - 1): the powers and the terms in registers, nothing
//   looked up while the run goes on.
// A power is widened only to make the next one: the highest is read by
// its terms alone.
struct Interpreted {
  static bool fits(const LaneTables&) { return true; }

  // Group after group: each needs its own array of powers.
  template <class T>
  static LANE_INLINE void at(const TablesIn<T>& tables, const Stored<T>* z, Stored<T>* f,
                             Stored<T>* slope) {
    EACH_GROUP(g) {
      Stored<T> powers[MAXPOWER + 1];
      powers[1] = z[g];
      const Cx wideZ = wide(z[g]);
      Cx below = wideZ;
      for (int k = 2; k <= tables.highest; ++k) {
        powers[k] = times<T>(below, wideZ);
        if (k < tables.highest) below = wide(powers[k]);
      }
      f[g] = evaluate<T>(tables.poly, tables.polyTerms, powers);
      slope[g] = evaluate<T>(tables.deriv, tables.derivTerms, powers);
    }
  }
};

template <int N>
struct Binomial {
  static bool fits(const LaneTables& t) {
    return t.highest == N && t.polyTerms == 2 && t.poly[0].power == N && t.poly[1].power == 0 &&
           t.derivTerms == 1 && t.deriv[0].power == N - 1;
  }

  template <class T>
  static LANE_INLINE void at(const TablesIn<T>& tables, const Stored<T>* z, Stored<T>* f,
                             Stored<T>* slope) {
    Stored<T> below[GROUPS], power[GROUPS];  // z^(N-1) and z^N
    Cx wideZ[GROUPS], widePower[GROUPS];
    EACH_GROUP(g) {
      below[g] = power[g] = z[g];
      wideZ[g] = widePower[g] = wide(z[g]);
    }
    for (int k = 2; k <= N; ++k) {
      EACH_GROUP(g) {
        below[g] = power[g];
        power[g] = times<T>(widePower[g], wideZ[g]);
      }
      if (k < N) EACH_GROUP(g) widePower[g] = wide(power[g]);
    }
    EACH_GROUP(g) {
      f[g] = plus(fromZero(termOf<T>(tables.poly[0], power[g])), constantOf<T>(tables.poly[1]));
    }
    EACH_GROUP(g) slope[g] = fromZero(termOf<T>(tables.deriv[0], below[g]));
  }
};

// Infinity or NaN, read from the exponent bits so that no optimisation that
// assumes finite values can drop the test.
LANE_INLINE Mask nonFinite(Real x) {
  const Mask exponent = splatMask(0x7ff0000000000000LL);
  return (Mask(x) & exponent) == exponent;
}

// The rows being solved: their samples, where their outcomes go, the row
// and the sample to start next, and the constants every iteration compares
// with. The lanes go on from one row's samples to the next row's, so that
// only the last row's end leaves lanes idle while its slowest runs finish.
template <class T>
struct Row {
  const TablesIn<T>& tables;
  const T* xs;
  const T* ys;
  int n;
  int rows;
  BasicOutcome<T>* const* outs;
  int row;  // the row samples are taken from
  T y;      // its imaginary part
  BasicOutcome<T>* out;
  int next;  // its next sample
  Real ftol, dtol, limit;
  Mask only[WIDTH];                              // lane i alone
  typename Storage<T>::Lanes onlyStored[WIDTH];  // the same for the iterates' vectors
  BasicOutcome<T> scratch;                       // the target of idle lanes

  // Moves on to the next row; false after the last.
  bool nextRow() {
    if (n == 0 || row + 1 >= rows) return false;
    ++row;
    y = ys[row];
    out = outs[row];
    next = 0;
    return true;
  }
};

// One vector of runs, `target` saying where each lane's outcome goes. The
// vectors stay in registers: a lane is refilled by a blend, never by a store
// into a vector that is read back at once.
template <class T>
struct Group {
  Stored<T> z;
  Real its;
  Mask live;
  BasicOutcome<T>* target[WIDTH];
  int running;
  Mask converged;  // of the last iteration
  int ended;       // the lanes whose run the last iteration ended
};

// Starts the next sample in `lane`, or retires the lane after the last row.
template <class T>
LANE_INLINE void take(Group<T>& g, int lane, Row<T>& row) {
  const Mask only = row.only[lane];
  if (row.next >= row.n && !row.nextRow()) {
    g.live &= ~only;
    --g.running;
    g.target[lane] = &row.scratch;
    return;
  }
  const typename Storage<T>::Lanes onlyStored = row.onlyStored[lane];
  g.z.re = onlyStored ? splat(row.xs[row.next]) : g.z.re;
  g.z.im = onlyStored ? splat(row.y) : g.z.im;
  g.its = only ? splat(1.0) : g.its;
  g.target[lane] = row.out + row.next++;
}

// The iterate after z - step, the step the quotient stored; a stopped lane
// keeps z. Doubles are blended. A stopped float lane subtracts +0 instead,
// where a blend would need the mask narrowed to float lanes first: z - (+0)
// is z for every float but a signalling NaN, which only a start can be; it
// stops at once and ends quieted, as when the lanes held floats as doubles.
template <class T>
LANE_INLINE Stored<T> stepped(const Stored<T>& z, const Cx& quotient, Mask stopped) {
  if constexpr (PRECISION_OF<T> == Precision::Float) {
    return minus(z, store<T>(Cx{stopped ? Real{} : quotient.re, stopped ? Real{} : quotient.im}));
  } else {
    const Stored<T> moved = minus(z, store<T>(quotient));
    return {stopped ? z.re : moved.re, stopped ? z.im : moved.im};
  }
}

// One iteration of newton in every lane, its tests in the same order.
template <class T, class Shape>
LANE_INLINE void iterate(Group<T> (&groups)[GROUPS], const Row<T>& row) {
  // Whole vectors in and out of the group: GCC copies a struct of vectors
  // piecewise, and a vector read back from pieces waits for them.
  Stored<T> z[GROUPS], storedF[GROUPS], storedSlope[GROUPS];
  EACH_GROUP(g) z[g] = Stored<T>{groups[g].z.re, groups[g].z.im};
  Shape::template at<T>(row.tables, z, storedF, storedSlope);
  Cx f[GROUPS], slope[GROUPS];
  Mask converged[GROUPS], stopped[GROUPS];
  EACH_GROUP(g) {
    f[g] = wide(storedF[g]);
    slope[g] = wide(storedSlope[g]);
  }
  EACH_GROUP(g) {
    const Real fmag = norm2(f[g]);
    converged[g] = fmag <= row.ftol;
    stopped[g] = converged[g] | nonFinite(fmag) | ~(norm2(slope[g]) > row.dtol);
  }
  // A stopped lane keeps its iterate and count; the others step, and a run
  // that has made MAXITS steps ends with ITS MAXITS + 1.
  EACH_GROUP(g) {
    Group<T>& group = groups[g];
    const Stored<T> next = stepped(z[g], quotient(f[g], slope[g]), stopped[g]);
    group.z.re = next.re;
    group.z.im = next.im;
    group.its = stopped[g] ? group.its : group.its + 1.0;
    group.converged = converged[g];
    group.ended = laneBits((stopped[g] | (group.its > row.limit)) & group.live);
  }
}

// Writes the outcome of the run `lane` ended and starts the next sample.
template <class T>
LANE_INLINE void retireLane(Group<T>& g, int lane, Row<T>& row) {
  *g.target[lane] = BasicOutcome<T>{BasicComplex<T>{T(g.z.re[lane]), T(g.z.im[lane])},
                                    int(g.its[lane]), g.converged[lane] ? 0 : 1};
  take(g, lane, row);
}

#if LANES_WIDTH == 8
// Floats on 8 lanes, with no branch on which lanes ended: such a branch,
// mispredicted about once an iteration, empties the pipeline, so that the
// groups' next iteration cannot start while this one's ends are handled.
// Every lane writes its outcome as it stands to its target each iteration
// (a run still going writes over it later; an idle lane writes scratch),
// then each group takes the next samples into all its ended lanes at once.
typedef float Floats16 __attribute__((vector_size(64)));

// 8 float lanes as the low half of 16 (the rest 0), and back.
LANE_INLINE __m512 wider(Single x) {
  return __m512(
      __builtin_shufflevector(x, Single{}, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
}
LANE_INLINE Single lowHalf(__m512 x) {
  return __builtin_shufflevector(Floats16(x), Floats16(x), 0, 1, 2, 3, 4, 5, 6, 7);
}

LANE_INLINE void writeOutcomes(const Group<float>& g) {
  const __m256i its = _mm512_maskz_cvttpd_epi32(0xff, g.its);
  // FAULT: 0 where the run converged (all ones), 1 elsewhere.
  const __m256i fault = _mm512_maskz_cvtepi64_epi32(
      0xff, _mm512_add_epi64(__m512i(g.converged), _mm512_set1_epi64(1)));
  const __m256d lo = _mm256_castps_pd(_mm256_unpacklo_ps(g.z.re, g.z.im));  // lanes 0 1 | 4 5
  const __m256d hi = _mm256_castps_pd(_mm256_unpackhi_ps(g.z.re, g.z.im));  // lanes 2 3 | 6 7
  const __m256d countsLo = _mm256_castsi256_pd(_mm256_unpacklo_epi32(its, fault));
  const __m256d countsHi = _mm256_castsi256_pd(_mm256_unpackhi_epi32(its, fault));
  // Whole outcomes, two a vector: lanes k and k + 4.
  const __m256 outcomes[4] = {_mm256_castpd_ps(_mm256_unpacklo_pd(lo, countsLo)),
                              _mm256_castpd_ps(_mm256_unpackhi_pd(lo, countsLo)),
                              _mm256_castpd_ps(_mm256_unpacklo_pd(hi, countsHi)),
                              _mm256_castpd_ps(_mm256_unpackhi_pd(hi, countsHi))};
  static_assert(sizeof(Outcome) == 16, "an outcome is four 32-bit values");
  for (int k = 0; k < 4; ++k) {
    _mm_storeu_ps(reinterpret_cast<float*>(g.target[k]), _mm256_castps256_ps128(outcomes[k]));
    _mm_storeu_ps(reinterpret_cast<float*>(g.target[k + 4]), _mm256_extractf128_ps(outcomes[k], 1));
  }
}

// The lowest `count` of the set bits.
LANE_INLINE unsigned lowest(unsigned bits, int count) {
  while (__builtin_popcount(bits) > count) bits &= ~(0x80000000u >> __builtin_clz(bits));
  return bits;
}

// Starts the row's next samples in the lanes of `fill`, lowest lane first.
LANE_INLINE void fillLanes(Group<float>& g, Row<float>& row, unsigned fill) {
  const int filled = __builtin_popcount(fill);
  const __m512 xs = _mm512_maskz_loadu_ps(__mmask16((1u << filled) - 1), row.xs + row.next);
  g.z.re = lowHalf(_mm512_mask_expand_ps(wider(g.z.re), __mmask16(fill), xs));
  g.z.im = lowHalf(_mm512_mask_mov_ps(wider(g.z.im), __mmask16(fill), _mm512_set1_ps(row.y)));
  g.its = _mm512_mask_mov_pd(g.its, __mmask8(fill), splat(1.0));
  const long long first = reinterpret_cast<long long>(row.out + row.next);
  const long long size = sizeof(Outcome);
  const __m512i targets = _mm512_add_epi64(
      _mm512_set1_epi64(first),
      _mm512_setr_epi64(0, size, 2 * size, 3 * size, 4 * size, 5 * size, 6 * size, 7 * size));
  _mm512_storeu_si512(
      g.target, _mm512_mask_expand_epi64(_mm512_loadu_si512(g.target), __mmask8(fill), targets));
  row.next += filled;
}

// The group's ended lanes take the next samples, from the next rows when
// this one runs out; after the last row they stay idle.
LANE_INLINE void refill(Group<float>& g, Row<float>& row) {
  unsigned want = unsigned(g.ended);
  const unsigned fill = lowest(want, row.n - row.next);
  fillLanes(g, row, fill);
  want &= ~fill;
  if (__builtin_expect(want == 0, 1)) return;
  while (want != 0 && row.nextRow()) {
    const unsigned more = lowest(want, row.n);
    fillLanes(g, row, more);
    want &= ~more;
  }
  for (; want != 0; want &= want - 1) take(g, __builtin_ctz(want), row);  // idle from now on
}

// Where runs are long (deep views) most iterations end none, and where they
// are short nearly every one ends some: either way this one test is
// foreseen, and the first skips the writing.
LANE_INLINE bool retire(Group<float> (&groups)[GROUPS], Row<float>& row) {
  int ended = 0;
  EACH_GROUP(g) ended |= groups[g].ended;
  if (ended != 0) {
    EACH_GROUP(g) writeOutcomes(groups[g]);
    EACH_GROUP(g) refill(groups[g], row);
  }
  int running = 0;
  EACH_GROUP(g) running += groups[g].running;
  return running > 0;
}
#endif

// Retires each lane whose run the last iteration ended, group by group and
// lane by lane; false once no group has a run left. The lanes are found by
// their set bits alone: a test of each lane's bit is a branch no predictor
// foresees. With 8 lanes, a group has some lane ended in about half the
// iterations, so its test mispredicts as often: there the groups' lanes
// are taken as one mask. (Measured: 6 % off the whole run on 8 lanes, but
// 3 to 10 % slower on 4 and 2.)
template <class T>
LANE_INLINE bool retire(Group<T> (&groups)[GROUPS], Row<T>& row) {
  if constexpr (WIDTH == 8) {
    static_assert(GROUPS * WIDTH <= 32, "one bit a lane of every group");
    unsigned ended = 0;
    EACH_GROUP(g) ended |= unsigned(groups[g].ended) << (g * WIDTH);
    for (; ended != 0; ended &= ended - 1) {
      const int bit = __builtin_ctz(ended);
      retireLane(groups[bit / WIDTH], bit % WIDTH, row);
    }
  } else {
    EACH_GROUP(g) {
      for (unsigned ended = unsigned(groups[g].ended); ended != 0; ended &= ended - 1)
        retireLane(groups[g], __builtin_ctz(ended), row);
    }
  }
  int running = 0;
  EACH_GROUP(g) running += groups[g].running;
  return running > 0;
}

template <class T, class Shape>
LANE_INLINE void runRows(const LaneTables& tables, const T* xs, const T* ys, int n, int rows,
                         BasicOutcome<T>* const* outs) {
  if (rows <= 0) return;
  TablesIn<T> terms;
  convertTables(tables, &terms);
  Row<T> row{terms,
             xs,
             ys,
             n,
             rows,
             outs,
             0,
             ys[0],
             outs[0],
             0,
             splat(tables.ftol),
             splat(DTOL),
             splat(double(MAXITS)),
             {},
             {},
             {}};
  for (int lane = 0; lane < WIDTH; ++lane) row.only[lane][lane] = row.onlyStored[lane][lane] = -1;
  Group<T> groups[GROUPS];
  for (Group<T>& g : groups) {
    g = Group<T>{{}, Real{}, splatMask(-1), {}, WIDTH, Mask{}, 0};
    for (int lane = 0; lane < WIDTH; ++lane) take(g, lane, row);
  }
  // Every group's arithmetic comes before any group's refills: the refills'
  // branches, which no predictor foresees, then hold up no other group's
  // chain of operations. A group whose lanes have all retired still
  // iterates with the others, idle as any lane at a row's end.
  do {
    iterate<T, Shape>(groups, row);
  } while (retire(groups, row));
}

// The rows on the first shape that fits their tables; Interpreted fits all.
template <class T, class Shape, class... Others>
LANE_INLINE void runFitting(const LaneTables& tables, const T* xs, const T* ys, int n, int rows,
                            BasicOutcome<T>* const* outs) {
  if constexpr (sizeof...(Others) == 0) {
    runRows<T, Shape>(tables, xs, ys, n, rows, outs);
  } else {
    if (Shape::fits(tables)) return runRows<T, Shape>(tables, xs, ys, n, rows, outs);
    runFitting<T, Others...>(tables, xs, ys, n, rows, outs);
  }
}

template <class T>
LANE_INLINE void runAnyRows(const LaneTables& tables, const T* xs, const T* ys, int n, int rows,
                            BasicOutcome<T>* const* outs) {
  runFitting<T, Binomial<2>, Binomial<3>, Binomial<4>, Binomial<5>, Binomial<6>, Interpreted>(
      tables, xs, ys, n, rows, outs);
}

}  // namespace

__attribute__((flatten)) void solveRows(const LaneTables& tables, const float* xs, const float* ys,
                                        int n, int rows, Outcome* const* outs) {
  runAnyRows(tables, xs, ys, n, rows, outs);
}

__attribute__((flatten)) void solveRows(const LaneTables& tables, const double* xs,
                                        const double* ys, int n, int rows,
                                        WideOutcome* const* outs) {
  runAnyRows(tables, xs, ys, n, rows, outs);
}

}  // namespace LANES_NAMESPACE
}  // namespace basin
