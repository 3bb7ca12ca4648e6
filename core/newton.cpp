#include "core/newton.h"

#include <cmath>

namespace basin {

Solver::Solver(const Variant& variant) : POLY(variant.POLY), FTOL(variant.FTOL) {}

int degreeOf(const Terms& table) {
  int degree = 0;
  for (int i = 0; i < table.count; ++i) {
    if (!(float(degree) > table.term[i].exponent)) degree = int(table.term[i].exponent);
  }
  return degree;
}

void derive(Solver& solver) {
  for (int i = 0; i + 1 < solver.POLY.count; ++i) {
    const Term& term = solver.POLY.term[i];
    solver.DERIV[i] =
        Term{stored(double(term.coefficient) * term.exponent), stored(double(term.exponent) - 1.0)};
  }
  solver.R2 = degreeOf(solver.POLY);
}

namespace {

inline void evaluate(const Term* table, int count, Complex* out, const Complex* in) {
  *out = Complex{0.0f, 0.0f};
  for (int i = 0; i < count; ++i) {
    Complex temp;
    pwrcom(&temp, in, int(table[i].exponent));
    multcom(&temp, table[i].coefficient, &temp);
    addcom(out, out, &temp);
  }
}

}  // namespace

void func(const Solver& solver, Complex* out, const Complex* in) {
  evaluate(solver.POLY.term, solver.POLY.count, out, in);
}

void deriv(const Solver& solver, Complex* out, const Complex* in) {
  evaluate(solver.DERIV, solver.POLY.count - 1, out, in);
}

Outcome solve(const Solver& solver, Complex start) {
  const double ftol = solver.FTOL;
  Outcome run{start, 1, 1};
  Complex& point = run.end;
  for (; run.its <= MAXITS; ++run.its) {
    Complex f;
    func(solver, &f, &point);
    const double fmag = norm2(f);
    if (fmag <= ftol) {
      run.fault = 0;
      break;
    }
    // |f|^2 of finite floats cannot overflow a double, so a non-finite
    // magnitude means f (or the iterate behind it) overflowed or is NaN:
    // no root lies there, whatever the tolerance test would say.
    if (!std::isfinite(fmag)) break;
    Complex slope;
    deriv(solver, &slope, &point);
    if (!(norm2(slope) > DTOL)) break;
    Complex step;
    divcom(&step, &f, &slope);
    subcom(&point, &point, &step);
  }
  return run;
}

void newton(Solver& solver, const Complex* start, Complex* end) {
  const Outcome run = solve(solver, *start);
  solver.ITS = run.its;
  solver.FAULT = run.fault;
  *end = run.end;
}

}  // namespace basin
