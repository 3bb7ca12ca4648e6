#include "core/newton.h"

#include <cmath>

namespace basin {

Solver::Solver(const Variant& variant) : terms(variant.terms), FTOL(variant.FTOL) {
  for (int i = 0; i < MAXTERMS; ++i) POLY[i] = variant.POLY[i];
}

void derive(Solver& solver) {
  for (int i = 0; i + 1 < solver.terms; ++i) {
    const Term& term = solver.POLY[i];
    solver.DERIV[i] =
        Term{stored(double(term.coefficient) * term.exponent), stored(double(term.exponent) - 1.0)};
  }
  solver.R2 = 0;
  for (int i = 0; i < solver.terms; ++i) {
    if (!(float(solver.R2) > solver.POLY[i].exponent)) solver.R2 = int(solver.POLY[i].exponent);
  }
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
  evaluate(solver.POLY, solver.terms, out, in);
}

void deriv(const Solver& solver, Complex* out, const Complex* in) {
  evaluate(solver.DERIV, solver.terms - 1, out, in);
}

Outcome solve(const Solver& solver, Complex start) {
  const double ftol = solver.FTOL;
  Outcome run{start, 1, 1};
  Complex& point = run.end;
  for (; run.its <= MAXITS; ++run.its) {
    Complex result2;
    func(solver, &result2, &point);
    const double fmag = norm2(result2);
    if (fmag <= ftol) {
      run.fault = 0;
      break;
    }
    // |f|^2 of finite floats cannot overflow a double, so a non-finite
    // magnitude means f (or the iterate behind it) overflowed or is NaN:
    // no root lies there, whatever the tolerance test would say.
    if (!std::isfinite(fmag)) break;
    Complex result3;
    deriv(solver, &result3, &point);
    if (!(norm2(result3) > DTOL)) break;
    Complex result1;
    divcom(&result1, &result2, &result3);
    subcom(&point, &point, &result1);
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
