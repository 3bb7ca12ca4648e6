// The scheduling layer of the solver's kernel: which lane runs which
// sample, when a run ends and where its outcome goes, so that the lanes go
// on from one sample, and one row, to the next. The build compiles this
// file once per instruction set (core/instruction_sets.h), each copy into
// its own namespace, so the copies link side by side. The layers below it:
// the vector operations (core/lane_vectors.h) and the polynomial's shapes
// (core/lane_shapes.h). The kernel is written once over the storage type T.
// All helpers have internal linkage and are inlined, so no wide-instruction
// code can stand in for a function that baseline code calls.
#include "core/lane_kernel.h"

#include "core/lane_shapes.h"
#include "core/lane_vectors.h"

namespace basin {
namespace LANES_NAMESPACE {
namespace {

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

// The iterate after z - step, the step (the quotient, or the relaxed step)
// stored; a stopped lane keeps z. Doubles are blended. A stopped float lane subtracts +0 instead,
// where a blend would need the mask narrowed to float lanes first: z - (+0)
// is z for every float but a signalling NaN, which only a start can be; it
// stops at once and ends quieted, as when the lanes held floats as doubles.
template <class T>
LANE_INLINE Stored<T> stepped(const Stored<T>& z, const Cx& step, Mask stopped) {
  if constexpr (PRECISION_OF<T> == Precision::Float) {
    return minus(z, store<T>(Cx{stopped ? Real{} : step.re, stopped ? Real{} : step.im}));
  } else {
    const Stored<T> moved = minus(z, store<T>(step));
    return {stopped ? z.re : moved.re, stopped ? z.im : moved.im};
  }
}

// The Newton step f/f' as a relaxed step takes it: the quotient stored,
// then A times it (prodcom) stored, held widened for the stepping.
template <class T>
LANE_INLINE Cx relaxedStep(const Cx& relax, const Cx& quotient) {
  return wide(product<T>(relax, wide(store<T>(quotient))));
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
  Cx step[GROUPS];
  EACH_GROUP(g) step[g] = quotient(f[g], slope[g]);
  // The step stored again is the same value: stepped rounds nothing more.
  if (row.tables.relaxed) EACH_GROUP(g) step[g] = relaxedStep<T>(row.tables.relax, step[g]);
  EACH_GROUP(g) {
    Group<T>& group = groups[g];
    const Stored<T> next = stepped(z[g], step[g], stopped[g]);
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
LANE_INLINE bool retireAtOnce(Group<float> (&groups)[GROUPS], Row<float>& row) {
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

// Whether ended runs are retired without a branch on which lanes ended:
// floats on 8 lanes, unless that speed measure is left out.
template <class T>
constexpr bool RETIRES_AT_ONCE = WIDTH == 8 && PRECISION_OF<T> == Precision::Float;

template <class T, class Shape, bool atOnce>
LANE_INLINE void runRows(const LaneTables& tables, const T* xs, const T* ys, int n, int rows,
                         BasicOutcome<T>* const* outs) {
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
  while (true) {
    iterate<T, Shape>(groups, row);
#if LANES_WIDTH == 8
    if constexpr (atOnce) {
      if (!retireAtOnce(groups, row)) break;
      continue;
    }
#endif
    if (!retire(groups, row)) break;
  }
}

template <class T, class Shape>
LANE_INLINE void runRows(const LaneTables& tables, const T* xs, const T* ys, int n, int rows,
                         BasicOutcome<T>* const* outs) {
  if (rows <= 0) return;
  if constexpr (RETIRES_AT_ONCE<T>) {
    if (tables.branchFreeRetire) return runRows<T, Shape, true>(tables, xs, ys, n, rows, outs);
  }
  runRows<T, Shape, false>(tables, xs, ys, n, rows, outs);
}

// The rows on the first shape that fits their tables; Interpreted<true>
// fits all.
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
  runFitting<T, Binomial<2>, Binomial<3>, Binomial<4>, Binomial<5>, Binomial<6>, Interpreted<false>,
             Interpreted<true>>(tables, xs, ys, n, rows, outs);
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
