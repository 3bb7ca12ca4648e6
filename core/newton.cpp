#include "core/newton.h"

#include <cmath>

namespace basin {

namespace {

template <class T>
BasicTerms<T> tableOf(const Terms& given) {
  BasicTerms<T> table;
  table.count = given.count;
  for (int i = 0; i < given.count; ++i)
    table.term[i] = BasicTerm<T>{T(given.term[i].coefficient), T(given.term[i].exponent),
                                 T(given.term[i].imaginary)};
  return table;
}

}  // namespace

template <class T>
BasicSolver<T>::BasicSolver(const Variant& variant)
    : POLY(tableOf<T>(variant.POLY)),
      FTOL(T(variant.FTOL)),
      RELAX{T(variant.relax.re), T(variant.relax.im)},
      relaxed(!isPlainStep(variant.relax)) {}

template <class T>
void derive(BasicSolver<T>& solver) {
  for (int i = 0; i + 1 < solver.POLY.count; ++i) {
    const BasicTerm<T>& term = solver.POLY.term[i];
    solver.DERIV[i] = BasicTerm<T>{storedAs<T>(double(term.coefficient) * term.exponent),
                                   storedAs<T>(double(term.exponent) - 1.0),
                                   storedAs<T>(double(term.imaginary) * term.exponent)};
  }
  solver.R2 = degreeOf(solver.POLY);
}

namespace {

template <class T>
inline void evaluate(const BasicTerm<T>* table, int count, BasicComplex<T>* out,
                     const BasicComplex<T>* in) {
  *out = BasicComplex<T>{T(0), T(0)};
  for (int i = 0; i < count; ++i) {
    BasicComplex<T> temp;
    pwrcom(&temp, in, int(table[i].exponent));
    if (isReal(table[i])) {
      multcom(&temp, table[i].coefficient, &temp);
    } else {
      const BasicComplex<T> coefficient{table[i].coefficient, table[i].imaginary};
      prodcom(&temp, &coefficient, &temp);
    }
    addcom(out, out, &temp);
  }
}

}  // namespace

template <class T>
void func(const BasicSolver<T>& solver, BasicComplex<T>* out, const BasicComplex<T>* in) {
  evaluate(solver.POLY.term, solver.POLY.count, out, in);
}

template <class T>
void deriv(const BasicSolver<T>& solver, BasicComplex<T>* out, const BasicComplex<T>* in) {
  evaluate(solver.DERIV, solver.POLY.count - 1, out, in);
}

namespace {

// The run from `start`, visit(its, point) hearing each iterate it evaluates,
// the start first (its 1): one loop for the plain run and the traced one.
template <class T, class Visit>
BasicOutcome<T> run(const BasicSolver<T>& solver, BasicComplex<T> start, Visit&& visit) {
  const double ftol = solver.FTOL;
  BasicOutcome<T> run{start, 1, 1};
  BasicComplex<T>& point = run.end;
  for (; run.its <= MAXITS; ++run.its) {
    visit(run.its, point);
    BasicComplex<T> f;
    func(solver, &f, &point);
    const double fmag = norm2(f);
    if (fmag <= ftol) {
      run.fault = 0;
      break;
    }
    // |f|^2 of finite floats cannot overflow a double, so for floats a
    // non-finite magnitude means f (or the iterate behind it) overflowed or
    // is NaN: no root lies there, whatever the tolerance test would say.
    // For doubles it also stops an f beyond 1e154, whose step could only
    // overflow in the division.
    if (!std::isfinite(fmag)) break;
    BasicComplex<T> slope;
    deriv(solver, &slope, &point);
    if (!(norm2(slope) > DTOL)) break;
    BasicComplex<T> step;
    divcom(&step, &f, &slope);
    if (solver.relaxed) prodcom(&step, &solver.RELAX, &step);
    subcom(&point, &point, &step);
  }
  return run;
}

}  // namespace

template <class T>
BasicOutcome<T> solve(const BasicSolver<T>& solver, BasicComplex<T> start) {
  return run(solver, start, [](int, const BasicComplex<T>&) {});
}

template <class T>
BasicOutcome<T> trace(const BasicSolver<T>& solver, BasicComplex<T> start,
                      FunctionRef<void(int its, const BasicComplex<T>& point)> visit) {
  return run(solver, start, visit);
}

template <class T>
void newton(BasicSolver<T>& solver, const BasicComplex<T>* start, BasicComplex<T>* end) {
  const BasicOutcome<T> run = solve(solver, *start);
  solver.ITS = run.its;
  solver.FAULT = run.fault;
  *end = run.end;
}

// The two storage types.
#define BASIN_SOLVER_FOR(T)                                                             \
  template struct BasicSolver<T>;                                                       \
  template void derive(BasicSolver<T>&);                                                \
  template void func(const BasicSolver<T>&, BasicComplex<T>*, const BasicComplex<T>*);  \
  template void deriv(const BasicSolver<T>&, BasicComplex<T>*, const BasicComplex<T>*); \
  template BasicOutcome<T> solve(const BasicSolver<T>&, BasicComplex<T>);               \
  template BasicOutcome<T> trace(const BasicSolver<T>&, BasicComplex<T>,                \
                                 FunctionRef<void(int, const BasicComplex<T>&)>);       \
  template void newton(BasicSolver<T>&, const BasicComplex<T>*, BasicComplex<T>*);
BASIN_SOLVER_FOR(float)
BASIN_SOLVER_FOR(double)
#undef BASIN_SOLVER_FOR

}  // namespace basin
