#include "core/roots.h"

#include <gmpxx.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_poly.h>

#include <cmath>
#include <complex>
#include <utility>

namespace basin {
namespace {

// A polynomial over the rationals, coefficient of z^k at [k], with no
// leading zero (the zero polynomial is empty).
using Exact = std::vector<mpq_class>;

void trim(Exact& p) {
  while (!p.empty() && p.back() == 0) p.pop_back();
}

int degree(const Exact& p) { return int(p.size()) - 1; }

Exact derivative(const Exact& p) {
  Exact d;
  for (std::size_t k = 1; k < p.size(); ++k) d.push_back(p[k] * mpq_class(long(k)));
  trim(d);
  return d;
}

Exact minus(Exact a, const Exact& b) {
  if (a.size() < b.size()) a.resize(b.size());
  for (std::size_t k = 0; k < b.size(); ++k) a[k] -= b[k];
  trim(a);
  return a;
}

// a = q * b + r with deg r < deg b; b not zero. Returns q, leaves r in a.
Exact divide(Exact& a, const Exact& b) {
  Exact q;
  if (a.size() < b.size()) return q;
  q.resize(a.size() - b.size() + 1);
  const mpq_class& lead = b.back();
  for (std::size_t k = q.size(); k-- > 0;) {
    const mpq_class factor = a[k + b.size() - 1] / lead;
    q[k] = factor;
    if (factor == 0) continue;
    for (std::size_t j = 0; j < b.size(); ++j) a[k + j] -= factor * b[j];
  }
  trim(a);
  return q;
}

// The quotient of an exact division.
Exact quotient(Exact a, const Exact& b) { return divide(a, b); }

Exact monic(Exact p) {
  if (p.empty()) return p;
  const mpq_class lead = p.back();
  for (mpq_class& c : p) c /= lead;
  return p;
}

// The monic greatest common divisor, by Euclid's algorithm; gcd(0, 0) = 0.
Exact gcd(Exact a, Exact b) {
  while (!b.empty()) {
    divide(a, b);  // a becomes the remainder
    std::swap(a, b);
    b = monic(std::move(b));
  }
  return monic(std::move(a));
}

// Yun's algorithm: the square-free factors of f, factor i (from 1) holding
// the roots of multiplicity i; constant factors where no root has it.
std::vector<Exact> squareFree(const Exact& f) {
  std::vector<Exact> factors;
  const Exact df = derivative(f);
  const Exact a = gcd(f, df);
  Exact b = quotient(f, a);
  Exact c = quotient(df, a);
  Exact d = minus(c, derivative(b));
  while (degree(b) > 0) {
    const Exact factor = gcd(b, d);
    b = quotient(b, factor);
    c = quotient(d, factor);
    d = minus(c, derivative(b));
    factors.push_back(factor);
  }
  return factors;
}

using Point = std::complex<double>;

// p(z) and p'(z) by Horner's rule.
std::pair<Point, Point> valueAndSlope(const std::vector<double>& p, Point z) {
  Point value = 0, slope = 0;
  for (std::size_t k = p.size(); k-- > 0;) {
    slope = slope * z + value;
    value = value * z + p[k];
  }
  return {value, slope};
}

// A few Newton steps on p, from a root the eigenvalues gave; a step that
// does not make |p| smaller is not taken.
Point polish(const std::vector<double>& p, Point z) {
  auto [value, slope] = valueAndSlope(p, z);
  for (int step = 0; step < 4 && std::abs(value) > 0 && std::abs(slope) > 0; ++step) {
    const Point next = z - value / slope;
    const auto [nextValue, nextSlope] = valueAndSlope(p, next);
    if (!(std::abs(nextValue) < std::abs(value))) break;
    z = next;
    value = nextValue;
    slope = nextSlope;
  }
  return z;
}

// The roots of a monic square-free factor of degree 1 or more.
bool solveFactor(const Exact& factor, std::vector<Point>* roots) {
  std::vector<double> p;
  for (const mpq_class& c : factor) {
    p.push_back(c.get_d());
    if (!std::isfinite(p.back())) return false;
  }
  if (p.size() == 2) {
    roots->push_back(Point(-p[0], 0.0));
    return true;
  }
  const std::size_t n = p.size() - 1;
  std::vector<double> z(2 * n);
  gsl_poly_complex_workspace* work = gsl_poly_complex_workspace_alloc(p.size());
  if (work == nullptr) return false;
  const int status = gsl_poly_complex_solve(p.data(), p.size(), work, z.data());
  gsl_poly_complex_workspace_free(work);
  if (status != GSL_SUCCESS) return false;
  for (std::size_t k = 0; k < n; ++k) {
    const Point root = polish(p, Point(z[2 * k], z[2 * k + 1]));
    if (!std::isfinite(root.real()) || !std::isfinite(root.imag())) return false;
    roots->push_back(root);
  }
  return true;
}

}  // namespace

bool findRoots(const Term* table, int terms, std::vector<Root>* roots) {
  roots->clear();
  Exact f;
  for (int i = 0; i < terms; ++i) {
    const std::size_t k = std::size_t(table[i].exponent);
    if (f.size() <= k) f.resize(k + 1);
    f[k] = mpq_class(double(table[i].coefficient));  // exact: a float is a binary fraction
  }
  trim(f);
  if (degree(f) < 1) return false;
  // GSL's default answer to a failure is to abort the process; here a
  // failure is a result.
  gsl_error_handler_t* previous = gsl_set_error_handler_off();
  const std::vector<Exact> factors = squareFree(f);
  bool ok = true;
  for (std::size_t i = 0; ok && i < factors.size(); ++i) {
    if (degree(factors[i]) < 1) continue;
    std::vector<Point> found;
    ok = solveFactor(factors[i], &found);
    for (const Point& z : found) roots->push_back(Root{z.real(), z.imag(), int(i) + 1});
  }
  gsl_set_error_handler(previous);
  if (!ok) roots->clear();
  return ok;
}

}  // namespace basin
