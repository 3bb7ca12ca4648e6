// Newton's iteration for one start point on a fixed polynomial.
//
// A polynomial is a short table of (coefficient, exponent) terms with the
// constant term last: `Terms`, the one term table the parser, the programs
// and the solver share. The start-up derivation (`derive`) fills the
// derivative's table DERIV and the degree R2 once; `newton` then runs from
// any number of start points, leaving the outcome of the last run in ITS
// (the iteration at which it stopped, from 1) and FAULT (1 = no root).
// `solve` is the same run as a pure function of the tables and the start.
#pragma once

#include <string>

#include "core/complex.h"

namespace basin {

constexpr int MAXITS = 200;
constexpr double DTOL = 1e-24;  // |f'(z)|^2 at or below this: derivative vanished
constexpr int MAXTERMS = 19;    // one term for each exponent 0 ... 18

struct Term {
  float coefficient;
  float exponent;  // a non-negative whole number, used truncated to int
};

// A polynomial's term table: `count` entries of `term` in use, in the order
// they are summed, the constant last.
struct Terms {
  Term term[MAXTERMS] = {};
  int count = 0;
};

// The degree: the largest exponent of the table (0 for an empty one). The
// derivation's R2 and the checks on a user's polynomial both read it.
int degreeOf(const Terms& table);

// The constants that distinguish one program from another. Held by value:
// it owns its formula.
struct Variant {
  const char* name;
  Terms POLY;
  float FTOL;                // convergence tolerance on |f(z)|^2
  float RTOL;                // root-match tolerance on squared distance
  int EXTRASLOTS;            // registry slots beyond the degree
  std::string formula = "";  // the polynomial as a person writes it: "z^2 - 1"
  bool fromUser = false;     // written by the user, not one of the named programs
};

struct Solver {
  explicit Solver(const Variant& variant);

  Terms POLY;
  float FTOL;
  Term DERIV[MAXTERMS] = {};
  int R2 = 0;
  int ITS = 0;
  int FAULT = 0;
};

// Fills DERIV (one term fewer than POLY; the last term is the constant) and
// R2, the largest exponent.
void derive(Solver& solver);

// f(in) over POLY and f'(in) over DERIV, terms summed in table order.
void func(const Solver& solver, Complex* out, const Complex* in);
void deriv(const Solver& solver, Complex* out, const Complex* in);

// Where one run stopped: the iterate `end`, the iteration `its` (from 1) and
// `fault`. fault 0: |f|^2 <= FTOL in iteration its. fault 1: the derivative
// vanished, f or the iterate stopped being finite (an overflow or a NaN), or
// the iteration limit passed (its 201).
struct Outcome {
  Complex end;
  int its;
  int fault;
};

// The run from `start`. It reads the solver's tables and nothing else, so
// any number of threads may share one solver.
Outcome solve(const Solver& solver, Complex start);

// The same run, its outcome left where the program has always kept it: the
// end point in *end, ITS and FAULT in the solver.
void newton(Solver& solver, const Complex* start, Complex* end);

}  // namespace basin
