// Newton's iteration for one start point on a fixed polynomial, with every
// value stored as a float (`Solver`) or, on request, as a double
// (`WideSolver`): one source for both, a template over the storage type.
//
// A polynomial is a short table of (coefficient, exponent) terms with the
// constant term last: `Terms`, the one term table the parser, the programs
// and the solver share. A coefficient may be complex: its imaginary part
// sits beside it, and a term whose imaginary part is 0 is summed exactly as
// a real one. The step may be relaxed, z <- z - A f(z)/f'(z), A complex; A
// = 1 is the plain step. The start-up derivation (`derive`) fills the
// derivative's table DERIV and the degree R2 once; `newton` then runs from
// any number of start points, leaving the outcome of the last run in ITS
// (the iteration at which it stopped, from 1) and FAULT (1 = no root).
// `solve` is the same run as a pure function of the tables and the start.
#pragma once

#include <string>

#include "core/complex.h"
#include "core/function_ref.h"

namespace basin {

constexpr int MAXITS = 200;
constexpr double DTOL = 1e-24;           // |f'(z)|^2 at or below this: derivative vanished
constexpr int MAXDEGREE = 18;            // the highest degree of a polynomial
constexpr int MAXTERMS = MAXDEGREE + 1;  // one term for each exponent 0 ... MAXDEGREE

template <class T>
struct BasicTerm {
  T coefficient;   // the real part of a complex one
  T exponent;      // a non-negative whole number, used truncated to int
  T imaginary{0};  // the coefficient's imaginary part; 0: a real term
};

// Whether a term is summed as a real coefficient times a power (multcom),
// or as the complex product (prodcom).
template <class T>
bool isReal(const BasicTerm<T>& term) {
  return term.imaginary == T(0);
}

// A polynomial's term table: `count` entries of `term` in use, in the order
// they are summed, the constant last.
template <class T>
struct BasicTerms {
  BasicTerm<T> term[MAXTERMS] = {};
  int count = 0;
};

// The table as a program or a user gives it, each value as its model
// stores it (a float for the float model) and held in a double; a solver
// takes it over in its own storage type.
using Term = BasicTerm<double>;
using Terms = BasicTerms<double>;

// The degree: the largest exponent of the table (0 for an empty one). The
// derivation's R2 and the checks on a user's polynomial both read it.
template <class T>
int degreeOf(const BasicTerms<T>& table) {
  int degree = 0;
  for (int i = 0; i < table.count; ++i) {
    if (!(T(degree) > table.term[i].exponent)) degree = int(table.term[i].exponent);
  }
  return degree;
}

// The constants that distinguish one program from another. Held by value:
// it owns its formula. Every number is the value its model stores (POLY,
// FTOL and RTOL are floats unless `precision` is Double).
struct Variant {
  const char* name;
  Terms POLY;
  double FTOL;                             // convergence tolerance on |f(z)|^2
  double RTOL;                             // root-match tolerance on squared distance
  int EXTRASLOTS;                          // registry slots beyond the degree
  std::string formula = "";                // the polynomial as a person writes it: "z^2 - 1"
  bool fromUser = false;                   // written by the user, not one of the named programs
  Precision precision = Precision::Float;  // what every value is stored as
  WideComplex relax = {1, 0};              // the step's factor A, each part a stored value
};

// Whether `relax` is the plain step's 1, which takes the plain step's path.
inline bool isPlainStep(const WideComplex& relax) { return relax.re == 1 && relax.im == 0; }

// The solver of one storage type T: its tables hold T values.
template <class T>
struct BasicSolver {
  explicit BasicSolver(const Variant& variant);

  BasicTerms<T> POLY;
  T FTOL;
  BasicComplex<T> RELAX;  // the step's factor A
  bool relaxed;           // A is not 1: the step is multiplied by it
  BasicTerm<T> DERIV[MAXTERMS] = {};
  int R2 = 0;
  int ITS = 0;
  int FAULT = 0;
};

using Solver = BasicSolver<float>;
using WideSolver = BasicSolver<double>;

// Fills DERIV (one term fewer than POLY; the last term is the constant) and
// R2, the largest exponent. A term (a + bi) z^e gives (e a + e b i) z^(e-1),
// each part stored once.
template <class T>
void derive(BasicSolver<T>& solver);

// f(in) over POLY and f'(in) over DERIV, terms summed in table order: each
// term the power of in (pwrcom), times its coefficient (multcom for a real
// one, prodcom for a complex one).
template <class T>
void func(const BasicSolver<T>& solver, BasicComplex<T>* out, const BasicComplex<T>* in);
template <class T>
void deriv(const BasicSolver<T>& solver, BasicComplex<T>* out, const BasicComplex<T>* in);

// Where one run stopped: the iterate `end`, the iteration `its` (from 1) and
// `fault`. fault 0: |f|^2 <= FTOL in iteration its. fault 1: the derivative
// vanished, f or the iterate stopped being finite (an overflow or a NaN), or
// the iteration limit passed (its 201).
template <class T>
struct BasicOutcome {
  BasicComplex<T> end;
  int its;
  int fault;
};

using Outcome = BasicOutcome<float>;
using WideOutcome = BasicOutcome<double>;

// The run from `start`. It reads the solver's tables and nothing else, so
// any number of threads may share one solver. A relaxed step stores the
// quotient f/f', then RELAX times it (prodcom), then the difference.
template <class T>
BasicOutcome<T> solve(const BasicSolver<T>& solver, BasicComplex<T> start);

// The same run, visit(its, point) hearing each iterate whose f it
// evaluates, the start first (its 1), as the run stores it: the path a
// run takes, to show and to print. Its outcome is solve's.
template <class T>
BasicOutcome<T> trace(const BasicSolver<T>& solver, BasicComplex<T> start,
                      FunctionRef<void(int its, const BasicComplex<T>& point)> visit);

// The same run, its outcome left where the program has always kept it: the
// end point in *end, ITS and FAULT in the solver.
template <class T>
void newton(BasicSolver<T>& solver, const BasicComplex<T>* start, BasicComplex<T>* end);

// Both storage types are compiled once, in core/newton.cpp.
extern template struct BasicSolver<float>;
extern template struct BasicSolver<double>;

}  // namespace basin
