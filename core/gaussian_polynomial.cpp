#include "core/gaussian_polynomial.h"

#include <flint/flint.h>
#include <flint/nmod_poly.h>
#include <flint/ulong_extras.h>

#include <utility>

namespace basin {
namespace {

using Gaussian = GaussianRational;
using Poly = ExactPolynomial;

bool isZero(const Gaussian& a) { return sgn(a.re) == 0 && sgn(a.im) == 0; }

Gaussian times(const Gaussian& a, const Gaussian& b) {
  return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

Gaussian reciprocal(const Gaussian& a) {
  const mpq_class norm = a.re * a.re + a.im * a.im;
  return {a.re / norm, -a.im / norm};
}

void add(Gaussian& sum, const Gaussian& b) {
  sum.re += b.re;
  sum.im += b.im;
}

Poly derivative(const Poly& p) {
  Poly d;
  for (std::size_t k = 1; k < p.size(); ++k) d.push_back({p[k].re * long(k), p[k].im * long(k)});
  trim(d);
  return d;
}

Poly minus(Poly a, const Poly& b) {
  if (a.size() < b.size()) a.resize(b.size());
  for (std::size_t k = 0; k < b.size(); ++k) add(a[k], {-b[k].re, -b[k].im});
  trim(a);
  return a;
}

Poly monic(Poly p) {
  if (p.empty()) return p;
  const Gaussian scale = reciprocal(p.back());
  for (Gaussian& c : p) c = times(c, scale);
  return p;
}

// The quotient q of a = q b + r, deg r < deg b; r in *remainder if asked.
Poly divide(Poly a, const Poly& b, Poly* remainder) {
  const Gaussian inverse = reciprocal(b.back());
  Poly q(a.size() >= b.size() ? a.size() - b.size() + 1 : 0);
  while (a.size() >= b.size()) {
    const std::size_t shift = a.size() - b.size();
    q[shift] = times(a.back(), inverse);
    const Gaussian negated{-q[shift].re, -q[shift].im};
    for (std::size_t j = 0; j + 1 < b.size(); ++j) add(a[shift + j], times(negated, b[j]));
    a.pop_back();  // cancelled exactly
    trim(a);
  }
  if (remainder != nullptr) *remainder = std::move(a);
  return q;
}

// Polynomials mod a prime, for the quick test of square-freeness that most
// polynomials pass: Yun's gcds are slow on long coefficients.
class NmodPoly {
 public:
  explicit NmodPoly(ulong modulus) { nmod_poly_init(value_, modulus); }
  ~NmodPoly() { nmod_poly_clear(value_); }
  NmodPoly(const NmodPoly&) = delete;
  NmodPoly& operator=(const NmodPoly&) = delete;
  operator nmod_poly_struct*() { return value_; }

 private:
  nmod_poly_t value_;
};

// A prime p = 1 mod 4, so that -1 has square roots mod p, and one of them.
struct Modulus {
  ulong prime;
  ulong i;
};

Modulus gaussianModulus() {
  ulong prime = n_nextprime(UWORD(1) << 62, 1);
  while (prime % 4 != 1) prime = n_nextprime(prime, 1);
  return {prime, n_sqrtmod(prime - 1, prime)};
}

// x mod p; false when p divides x's denominator.
bool reduce(const mpq_class& x, ulong p, ulong* residue) {
  const ulong denominator = mpz_fdiv_ui(x.get_den_mpz_t(), p);
  if (denominator == 0) return false;
  *residue = n_mulmod2(mpz_fdiv_ui(x.get_num_mpz_t(), p), n_invmod(denominator, p), p);
  return true;
}

}  // namespace

void trim(Poly& p) {
  while (!p.empty() && isZero(p.back())) p.pop_back();
}

int degree(const Poly& p) { return int(p.size()) - 1; }

Poly gcd(Poly a, Poly b) {
  // Monic remainders keep the coefficients to ratios of subresultants: short.
  a = monic(std::move(a));
  b = monic(std::move(b));
  while (!b.empty()) {
    Poly r;
    divide(std::move(a), b, &r);
    a = std::move(b);
    b = monic(std::move(r));
  }
  return a;
}

// f = a b and f' = a c hold exactly at every step, whatever the gcds'
// normalisation, since every quotient is exact.
std::vector<Poly> squareFree(const Poly& f) {
  std::vector<Poly> factors;
  const Poly df = derivative(f);
  const Poly a = gcd(f, df);
  Poly b = divide(f, a, nullptr);
  Poly d = minus(divide(df, a, nullptr), derivative(b));
  while (degree(b) > 0) {
    Poly factor = gcd(b, d);
    b = divide(b, factor, nullptr);
    d = minus(divide(d, factor, nullptr), derivative(b));
    factors.push_back(std::move(factor));
  }
  return factors;
}

// f(c0 + c1 t) as a polynomial in t, by Horner's rule.
Poly composeLinear(const Poly& f, const Gaussian& c0, const Gaussian& c1) {
  Poly h;
  for (std::size_t k = f.size(); k-- > 0;) {
    Poly next(h.size() + 1);
    for (std::size_t j = 0; j < h.size(); ++j) {
      add(next[j], times(h[j], c0));
      add(next[j + 1], times(h[j], c1));
    }
    add(next[0], f[k]);
    trim(next);
    h = std::move(next);
  }
  return h;
}

// One part of each of p's coefficients, as a polynomial with real ones.
Poly partOf(const Poly& p, Part part) {
  Poly real;
  for (const Gaussian& c : p) real.push_back({part == Part::Real ? c.re : c.im, 0});
  trim(real);
  return real;
}

// p(x) for a p with real coefficients.
mpq_class realValue(const Poly& p, const mpq_class& x) {
  mpq_class value = 0;
  for (std::size_t k = p.size(); k-- > 0;) value = value * x + p[k].re;
  return value;
}

// Whether f is certainly square-free. Reading i as a square root of -1
// mod p maps the Gaussian rationals whose denominators p does not divide
// onto the integers mod p, and a repeated factor of f onto a repeated factor
// of its image when its degree is kept; so an image prime to its derivative
// clears f. False says nothing.
bool surelySquareFree(const Poly& f) {
  static const Modulus modulus = gaussianModulus();
  const ulong p = modulus.prime;
  NmodPoly image(p), slope(p), common(p);
  for (std::size_t k = 0; k < f.size(); ++k) {
    ulong re = 0, im = 0;
    if (!reduce(f[k].re, p, &re) || !reduce(f[k].im, p, &im)) return false;
    nmod_poly_set_coeff_ui(image, slong(k), n_addmod(re, n_mulmod2(im, modulus.i, p), p));
  }
  if (nmod_poly_degree(image) != degree(f)) return false;
  nmod_poly_derivative(slope, image);
  nmod_poly_gcd(common, image, slope);
  return nmod_poly_degree(common) == 0;
}

}  // namespace basin
