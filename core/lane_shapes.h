// The polynomial layer of the solver's kernel: how one iteration finds
// f(z) and f'(z) in every lane, from the term tables made ready for the
// lanes (LaneTables), for any real table (Interpreted<false>), any table
// with complex coefficients (Interpreted<true>) and, with everything in
// registers, for a real z^N + c (Binomial<N>). Included by core/lane_kernel.cpp
// alone, after the vector layer (core/lane_vectors.h).
#pragma once

#include "core/lane_kernel.h"
#include "core/lane_vectors.h"

namespace basin {
namespace LANES_NAMESPACE {
namespace {

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

// The term tables with their numbers as storage type T: converted once a
// row, where a float read from the double LaneTerm would cost a conversion
// an iteration.
template <class T>
struct TermIn {
  T coefficient;
  T imaginary;
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
  Cx relax;  // the step's factor A in every lane
  bool relaxed;
};

template <class T>
LANE_INLINE void convertTerms(const LaneTerm* terms, int count, TermIn<T>* into) {
  for (int i = 0; i < count; ++i) {
    const LaneTerm& t = terms[i];
    into[i] =
        TermIn<T>{T(t.coefficient), T(t.imaginary), t.power, {T(t.constant[0]), T(t.constant[1])}};
  }
}

template <class T>
LANE_INLINE void convertTables(const LaneTables& tables, TablesIn<T>* into) {
  convertTerms(tables.poly, tables.polyTerms, into->poly);
  convertTerms(tables.deriv, tables.derivTerms, into->deriv);
  into->polyTerms = tables.polyTerms;
  into->derivTerms = tables.derivTerms;
  into->highest = tables.highest;
  into->relax = Cx{splat(tables.relax[0]), splat(tables.relax[1])};
  into->relaxed = tables.relaxed;
}

// A term of power 1 or more, as multcom leaves it, from the power of z
// pwrcom leaves. A coefficient of 1 or -1 rounds nothing, but the product
// is still taken: -1 times a NaN keeps its sign, where a negation flips it.
template <class T>
LANE_INLINE Stored<T> termOf(const TermIn<T>& term, const Stored<T>& power) {
  return scaled<T>(splat(term.coefficient), power);
}

// A term of power 1 or more with a complex coefficient, as prodcom leaves
// it: each part in double from the stored parts, stored once.
template <class T>
LANE_INLINE Stored<T> complexTermOf(const TermIn<T>& term, const Stored<T>& power) {
  return product<T>(Cx{splat(double(term.coefficient)), splat(double(term.imaginary))},
                    wide(power));
}

// A power-0 term: the same in every run.
template <class T>
LANE_INLINE Stored<T> constantOf(const TermIn<T>& term) {
  return {splat(term.constant[0]), splat(term.constant[1])};
}

// One term at z, as pwrcom and multcom (or, in a table with complex
// coefficients, prodcom) leave it.
template <class T, bool Complex>
LANE_INLINE Stored<T> termAt(const TermIn<T>& term, const Stored<T>* powers) {
  if (term.power == 0) return constantOf<T>(term);
  if constexpr (Complex) {
    if (term.imaginary != T(0)) return complexTermOf<T>(term, powers[term.power]);
  }
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
template <class T, bool Complex>
LANE_INLINE Stored<T> evaluate(const TermIn<T>* terms, int count, const Stored<T>* powers) {
  if (count == 0) return Stored<T>{};
  Stored<T> sum = fromZero(termAt<T, Complex>(terms[0], powers));
  for (int i = 1; i < count; ++i) sum = plus(sum, termAt<T, Complex>(terms[i], powers));
  return sum;
}

// How an iteration finds f(z) and f'(z), each the same operations in the
// same order as the scalar run:
// - Interpreted<Complex>: any term tables, read as they come, the powers of
//   z kept in an array; Interpreted<false> takes real tables only, with no
//   test of each term's imaginary part, and Interpreted<true> any table.
// - Binomial<N>: a real z^N + c, whose derivative is b z^(N-1) (duobasin,
//   quadbasin, z^N - 1): the powers and the terms in registers, nothing
//   looked up while the run goes on.
// A power is widened only to make the next one: the highest is read by
// its terms alone.
template <bool Complex>
struct Interpreted {
  static bool fits(const LaneTables& t) { return Complex || !t.complex; }

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
      f[g] = evaluate<T, Complex>(tables.poly, tables.polyTerms, powers);
      slope[g] = evaluate<T, Complex>(tables.deriv, tables.derivTerms, powers);
    }
  }
};

template <int N>
struct Binomial {
  static bool fits(const LaneTables& t) {
    return !t.complex && t.highest == N && t.polyTerms == 2 && t.poly[0].power == N &&
           t.poly[1].power == 0 && t.derivTerms == 1 && t.deriv[0].power == N - 1;
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

}  // namespace
}  // namespace LANES_NAMESPACE
}  // namespace basin
