#include "core/roots.h"

#include <gmpxx.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_poly.h>

#include <cmath>
#include <complex>
#include <utility>

namespace basin {
namespace {

// A polynomial with integer coefficients, that of z^k at [k], with no
// leading zero (the zero polynomial is empty). Working over the integers
// with primitive remainders keeps the numbers short: rational arithmetic
// would reduce every coefficient to lowest terms at every step.
using Exact = std::vector<mpz_class>;

void trim(Exact& p) {
  while (!p.empty() && p.back() == 0) p.pop_back();
}

int degree(const Exact& p) { return int(p.size()) - 1; }

Exact derivative(const Exact& p) {
  Exact d;
  for (std::size_t k = 1; k < p.size(); ++k) d.push_back(p[k] * long(k));
  trim(d);
  return d;
}

Exact minus(Exact a, const Exact& b) {
  if (a.size() < b.size()) a.resize(b.size());
  for (std::size_t k = 0; k < b.size(); ++k) a[k] -= b[k];
  trim(a);
  return a;
}

// p divided by the gcd of its coefficients, its leading one made positive.
Exact primitive(Exact p) {
  if (p.empty()) return p;
  mpz_class content = 0;
  for (const mpz_class& c : p) mpz_gcd(content.get_mpz_t(), content.get_mpz_t(), c.get_mpz_t());
  if (p.back() < 0) content = -content;
  for (mpz_class& c : p) mpz_divexact(c.get_mpz_t(), c.get_mpz_t(), content.get_mpz_t());
  return p;
}

// The primitive part of a pseudo-remainder of a by b (b not zero): what is
// left of a scaled by powers of lead(b) after taking multiples of b away.
Exact remainder(Exact a, const Exact& b) {
  const mpz_class& lead = b.back();
  while (!a.empty() && a.size() >= b.size()) {
    const mpz_class top = a.back();
    const std::size_t shift = a.size() - b.size();
    for (mpz_class& c : a) c *= lead;
    for (std::size_t j = 0; j < b.size(); ++j) a[shift + j] -= top * b[j];
    trim(a);
  }
  return primitive(std::move(a));
}

// The quotient a / b, b dividing a. Exact in whole numbers when b is
// primitive (Gauss's lemma).
Exact quotient(Exact a, const Exact& b) {
  if (a.size() < b.size()) return {};  // a is 0
  Exact q(a.size() - b.size() + 1);
  for (std::size_t k = q.size(); k-- > 0;) {
    mpz_divexact(q[k].get_mpz_t(), a[k + b.size() - 1].get_mpz_t(), b.back().get_mpz_t());
    if (q[k] == 0) continue;
    for (std::size_t j = 0; j < b.size(); ++j) a[k + j] -= q[k] * b[j];
  }
  return q;
}

// The primitive greatest common divisor, by Euclid's algorithm on primitive
// pseudo-remainders; gcd(0, 0) = 0.
Exact gcd(Exact a, Exact b) {
  a = primitive(std::move(a));
  while (!b.empty()) {
    Exact r = remainder(std::move(a), b);
    a = primitive(std::move(b));
    b = std::move(r);
  }
  return a;
}

// Yun's algorithm: the square-free factors of f, factor i (from 1) holding
// the roots of multiplicity i; constant factors where no root has it. Each
// gcd is primitive, so every quotient stays whole and f = a b, f' = a c hold
// exactly, as the algorithm needs.
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

// The roots of a square-free factor of degree 1 or more.
bool solveFactor(const Exact& factor, std::vector<Point>* roots) {
  // In doubles, scaled by a power of two that brings the leading
  // coefficient near 1, whatever the integers' length.
  const long scale = long(mpz_sizeinbase(factor.back().get_mpz_t(), 2));
  std::vector<double> p;
  for (const mpz_class& c : factor) {
    long exponent = 0;
    const double mantissa = mpz_get_d_2exp(&exponent, c.get_mpz_t());
    p.push_back(std::ldexp(mantissa, int(exponent - scale)));
    if (!std::isfinite(p.back())) return false;
  }
  if (p.size() == 2) {
    roots->push_back(Point(-p[0] / p[1], 0.0));
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

// 2^1074 c, exactly: c = m 2^e with 2^53 m a whole number of 53 bits.
mpz_class scaledWhole(double c) {
  int e = 0;
  const double m = std::frexp(c, &e);
  mpz_class whole(std::ldexp(m, 53));
  const int shift = e - 53 + 1074;  // below 0 only for subnormals, whose low bits are 0
  if (shift >= 0)
    mpz_mul_2exp(whole.get_mpz_t(), whole.get_mpz_t(), mp_bitcnt_t(shift));
  else
    mpz_tdiv_q_2exp(whole.get_mpz_t(), whole.get_mpz_t(), mp_bitcnt_t(-shift));
  return whole;
}

}  // namespace

bool findRoots(const Term* table, int terms, std::vector<Root>* roots) {
  roots->clear();
  // A float or a double is a whole number times a power of two, from
  // 2^-1074 on, so 2^1074 f has whole coefficients with the same roots.
  Exact f;
  for (int i = 0; i < terms; ++i) {
    const std::size_t k = std::size_t(table[i].exponent);
    if (f.size() <= k) f.resize(k + 1);
    f[k] = scaledWhole(table[i].coefficient);
  }
  trim(f);
  f = primitive(std::move(f));
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
