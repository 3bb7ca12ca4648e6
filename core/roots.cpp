// Certified roots: exact square-free factors, isolating balls from Arb, and
// one rounding of each part straight from its ball.
//
// The exact square-free split is gaussian_polynomial.h's. Roots and rounding:
//   enclose(...)            - one isolating box per root of a square-free
//                             factor, by Durand-Kerner steps from Bini's
//                             starting points, validated by Arb;
//   nearestIn(x, format)    - the exact dyadic x rounded once to a float or a
//                             double, as the header says;
//   partEquals(...)         - whether a part of an isolated root is exactly a
//                             given rational, decided in exact arithmetic;
//   roundPart(...)          - a part rounded with certainty, or false;
//   solveFactor(...)        - every root of a square-free factor rounded, the
//                             working precision doubled until each part is
//                             certain; false past MAX_BITS.
#include "core/roots.h"

#include <acb_poly.h>
#include <flint/flint.h>
#include <flint/fmpz.h>
#include <flint/fmpz_poly.h>
#include <gmpxx.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>

#include "core/gaussian_polynomial.h"
#include "core/roots_module.h"

namespace basin {
namespace {

// Working precisions run 64, 128, ... bits up to this. An exact 0 part needs
// a ball inside (-2^-1075, 2^-1075), so a root of size 2^1000 with one needs
// some 2100 bits; beyond this the roots are not worth the wait.
constexpr slong MAX_BITS = 8192;

// Durand-Kerner steps at one working precision, at most. From Bini's
// starting points a few dozen suffice; a precision that needs more is
// followed by the next one, which goes on from where this one stopped.
constexpr int MAX_STEPS = 100;

// Below this working precision a ball across a rounding boundary is far
// likelier to be wide than to sit on it, and the next precision costs less
// than the exact test of whether it does.
constexpr slong TIE_BITS = 256;

// An Arb or FLINT object, initialised when made and cleared when it goes, so
// that no return path leaks one.
template <class T, void (*Init)(T*), void (*Clear)(T*)>
class Owned {
 public:
  Owned() { Init(value_); }
  ~Owned() { Clear(value_); }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  operator T*() { return value_; }
  operator const T*() const { return value_; }

 private:
  T value_[1];
};

using Arf = Owned<arf_struct, arf_init, arf_clear>;
using Fmpz = Owned<fmpz, fmpz_init, fmpz_clear>;
using FmpzPoly = Owned<fmpz_poly_struct, fmpz_poly_init, fmpz_poly_clear>;
using AcbPoly = Owned<acb_poly_struct, acb_poly_init, acb_poly_clear>;

class AcbVector {
 public:
  explicit AcbVector(slong length) : length_(length), entries_(_acb_vec_init(length)) {}
  ~AcbVector() { _acb_vec_clear(entries_, length_); }
  AcbVector(const AcbVector&) = delete;
  AcbVector& operator=(const AcbVector&) = delete;
  acb_ptr get() { return entries_; }

 private:
  slong length_;
  acb_ptr entries_;
};

using Gaussian = GaussianRational;
using Poly = ExactPolynomial;

// ---- Balls, rationals and rounding.

mpq_class rationalOf(const arf_t x) {
  Fmpz mantissa, exponent;
  arf_get_fmpz_2exp(mantissa, exponent, x);
  mpz_class whole;
  fmpz_get_mpz(whole.get_mpz_t(), mantissa);
  mpq_class q(whole);
  const slong shift = fmpz_get_si(exponent);
  if (shift >= 0)
    mpq_mul_2exp(q.get_mpq_t(), q.get_mpq_t(), mp_bitcnt_t(shift));
  else
    mpq_div_2exp(q.get_mpq_t(), q.get_mpq_t(), mp_bitcnt_t(-shift));
  return q;
}

// The ends of the ball, exactly.
void boundsOf(const arb_t ball, arf_t lower, arf_t upper) {
  Arf radius;
  arf_set_mag(radius, arb_radref(ball));
  arf_sub(lower, arb_midref(ball), radius, ARF_PREC_EXACT, ARF_RND_DOWN);
  arf_add(upper, arb_midref(ball), radius, ARF_PREC_EXACT, ARF_RND_DOWN);
}

struct Format {
  slong digits;          // significand bits, the leading one included
  slong leastUnit;       // the exponent of the smallest subnormal
  double largest;        // the largest finite value
  double (*up)(double);  // the next value of the format above a value of it
};

double nextDouble(double x) { return std::nextafter(x, HUGE_VAL); }
double nextFloat(double x) { return std::nextafter(float(x), HUGE_VALF); }

const Format DOUBLE_FORMAT{53, -1074, DBL_MAX, nextDouble};
const Format FLOAT_FORMAT{24, -149, FLT_MAX, nextFloat};

double nearestIn(const arf_t x, const Format& format) {
  if (arf_is_zero(x)) return 0.0;
  const double sign = arf_sgn(x) < 0 ? -1.0 : 1.0;
  const slong top = arf_abs_bound_lt_2exp_si(x);  // 2^(top-1) <= |x| < 2^top
  if (top > 2 * 1024) return sign * HUGE_VAL;     // far past either format
  // x / 2^unit rounded to a whole number, ties to the even one: at most
  // `digits` bits, fewer for a subnormal.
  const slong unit = std::max(top - format.digits, format.leastUnit);
  Arf scaled, fraction;
  Fmpz whole;
  arf_mul_2exp_si(scaled, x, -unit);
  arf_get_fmpz(whole, scaled, ARF_RND_FLOOR);
  arf_sub_fmpz(fraction, scaled, whole, ARF_PREC_EXACT, ARF_RND_DOWN);
  const int half = arf_cmp_2exp_si(fraction, -1);
  if (half > 0 || (half == 0 && fmpz_is_odd(whole))) fmpz_add_ui(whole, whole, 1);
  const double value = std::ldexp(fmpz_get_d(whole), int(unit));  // exact; 0 is +0
  return std::abs(value) > format.largest ? sign * HUGE_VAL : value;
}

// The point between neighbours low < high of the format where rounding
// passes from one to the other; past the largest finite value, half a unit
// beyond it.
void boundaryBetween(double low, double high, const Format& format, arf_t boundary) {
  if (std::isinf(low)) {
    boundaryBetween(-high, -low, format, boundary);
    arf_neg(boundary, boundary);
    return;
  }
  Arf a, b;
  arf_set_d(a, low);
  if (std::isinf(high)) {  // low + (low - the value below low) / 2
    arf_set_d(b, -format.up(-low));
    arf_sub(b, a, b, ARF_PREC_EXACT, ARF_RND_DOWN);
    arf_mul_2exp_si(b, b, -1);
    arf_add(boundary, a, b, ARF_PREC_EXACT, ARF_RND_DOWN);
    return;
  }
  arf_set_d(b, high);
  arf_add(boundary, a, b, ARF_PREC_EXACT, ARF_RND_DOWN);
  arf_mul_2exp_si(boundary, boundary, -1);
}

// A root of a square-free factor, alone in `box`, found at `bits` of
// working precision.
struct Isolated {
  const Poly& factor;
  const acb_struct* box;
  slong bits;
};

const arb_struct* ballOf(const acb_struct* root, Part part) {
  return part == Part::Real ? acb_realref(root) : acb_imagref(root);
}

// Whether the one root of `factor` in the box `root` has exactly `value` as
// its `part`. On the line where that part is `value`, factor is a
// polynomial h in the other part t, zero where its real and imaginary parts
// both are: at the real roots of their gcd g. A root of g inside the other
// part's interval is a root of factor in the box, so the root itself; and g
// divides h, square-free as factor is, so that root is simple and g changes
// sign across it.
bool partEquals(const Isolated& root, Part part, const mpq_class& value) {
  const Gaussian one{1, 0}, i{0, 1};
  const Poly h = part == Part::Real ? composeLinear(root.factor, {value, 0}, i)
                                    : composeLinear(root.factor, {0, value}, one);
  const Poly g = gcd(partOf(h, Part::Real), partOf(h, Part::Imaginary));
  Arf lower, upper;
  boundsOf(ballOf(root.box, part == Part::Real ? Part::Imaginary : Part::Real), lower, upper);
  return sgn(realValue(g, rationalOf(lower))) * sgn(realValue(g, rationalOf(upper))) <= 0;
}

// The part rounded to the format, when every point of its ball rounds
// alike, or when the ball's two roundings are neighbours and the part is
// exactly the boundary between them.
bool roundPart(const Isolated& root, Part part, const Format& format, double* rounded) {
  const arb_struct* ball = ballOf(root.box, part);
  if (!arb_is_finite(ball)) return false;
  Arf lower, upper;
  boundsOf(ball, lower, upper);
  const double low = nearestIn(lower, format);
  const double high = nearestIn(upper, format);
  if (low == high) {
    *rounded = low;
    return true;
  }
  if (root.bits < TIE_BITS || format.up(low) != high) return false;
  Arf boundary;
  boundaryBetween(low, high, format, boundary);
  if (!partEquals(root, part, rationalOf(boundary))) return false;
  *rounded = nearestIn(boundary, format);
  return true;
}

// The factor times the least common multiple of its denominators, split
// into the real and imaginary parts of its Gaussian-integer coefficients.
void integerParts(const Poly& factor, fmpz_poly_t re, fmpz_poly_t im) {
  mpz_class common = 1;
  for (const Gaussian& c : factor) {
    mpz_lcm(common.get_mpz_t(), common.get_mpz_t(), c.re.get_den_mpz_t());
    mpz_lcm(common.get_mpz_t(), common.get_mpz_t(), c.im.get_den_mpz_t());
  }
  for (std::size_t k = 0; k < factor.size(); ++k) {
    const mpz_class a = factor[k].re.get_num() * (common / factor[k].re.get_den());
    const mpz_class b = factor[k].im.get_num() * (common / factor[k].im.get_den());
    fmpz_poly_set_coeff_mpz(re, slong(k), a.get_mpz_t());
    fmpz_poly_set_coeff_mpz(im, slong(k), b.get_mpz_t());
  }
}

// log2 |re + i im|, to within half a bit; -inf for 0.
double log2Size(const fmpz_t re, const fmpz_t im) {
  double size = -HUGE_VAL;
  for (const fmpz* part : {re, im}) {
    if (fmpz_is_zero(part)) continue;
    slong exponent = 0;
    const double mantissa = fmpz_get_d_2exp(&exponent, part);
    size = std::max(size, double(exponent) + std::log2(std::abs(mantissa)));
  }
  return size;
}

struct HullPoint {
  slong k;
  double size;  // log2 |a_k|
};

// Whether b lies strictly above the line from a to c.
bool above(const HullPoint& a, const HullPoint& b, const HullPoint& c) {
  return (b.size - a.size) * double(c.k - a.k) > (c.size - a.size) * double(b.k - a.k);
}

// Starting points after Bini: the upper convex hull of the points
// (k, log2 |a_k|) sorts the roots by size, an edge from k to k + m standing
// for m roots near the circle of radius (|a_k| / |a_{k+m}|)^(1/m). Points
// spread evenly on those circles, each circle turned a little further, let
// the iteration converge even when the roots' sizes span thousands of
// binary orders, where starting near the unit circle takes it tens of seconds.
void startingPoints(const fmpz_poly_t re, const fmpz_poly_t im, acb_ptr roots) {
  std::vector<HullPoint> hull;
  Fmpz a, b;
  for (slong k = 0; k <= fmpz_poly_degree(re) || k <= fmpz_poly_degree(im); ++k) {
    fmpz_poly_get_coeff_fmpz(a, re, k);
    fmpz_poly_get_coeff_fmpz(b, im, k);
    const HullPoint point{k, log2Size(a, b)};
    if (std::isinf(point.size)) continue;
    while (hull.size() >= 2 && !above(hull[hull.size() - 2], hull.back(), point)) hull.pop_back();
    hull.push_back(point);
  }
  slong next = 0;
  for (; next < hull.front().k; ++next) acb_zero(roots + next);  // a_0 = ... = 0
  for (std::size_t edge = 0; edge + 1 < hull.size(); ++edge) {
    const slong count = hull[edge + 1].k - hull[edge].k;
    const double log2Radius = (hull[edge].size - hull[edge + 1].size) / double(count);
    const double whole = std::floor(log2Radius);
    const double radius = std::exp2(log2Radius - whole);
    for (slong j = 0; j < count; ++j, ++next) {
      const double angle =
          2 * std::acos(-1.0) * double(j) / double(count) + 0.7 + 1.9 * double(edge);
      arb_set_d(acb_realref(roots + next), radius * std::cos(angle));
      arb_set_d(acb_imagref(roots + next), radius * std::sin(angle));
      acb_mul_2exp_si(roots + next, roots + next, slong(whole));
    }
  }
}

// Whether every root's last correction (the radius a Durand-Kerner step
// leaves) is below 2^-(bits/2) of the root's size: the iteration converges
// quadratically there, so one more step reaches the working precision.
bool settled(acb_srcptr roots, slong count, slong bits) {
  for (slong k = 0; k < count; ++k) {
    const acb_struct* z = roots + k;
    if (arf_is_zero(arb_midref(acb_realref(z))) && arf_is_zero(arb_midref(acb_imagref(z)))) {
      if (acb_is_zero(z)) continue;  // exactly 0, as a_0 = 0 leaves it
      return false;
    }
    const slong size = std::max(arf_abs_bound_lt_2exp_si(arb_midref(acb_realref(z))),
                                arf_abs_bound_lt_2exp_si(arb_midref(acb_imagref(z))));
    const slong limit = size - bits / 2;
    if (mag_cmp_2exp_si(arb_radref(acb_realref(z)), limit) > 0 ||
        mag_cmp_2exp_si(arb_radref(acb_imagref(z)), limit) > 0)
      return false;
  }
  return true;
}

// Isolating boxes, one a root, for the square-free re + i im at `bits` of
// working precision, refined from the boxes already there (`resume`) or from
// new starting points. Real coefficients give each real root an imaginary
// part of exactly 0, checked by sign changes along the real line. (Arb's
// arb_fmpz_poly_complex_roots would do that too, but it always starts near
// the unit circle: 40 s for 1e-300 z^18 + 1e300 z^17 + z + 1e-300.)
bool enclose(const fmpz_poly_t re, const fmpz_poly_t im, slong bits, bool resume, acb_ptr roots) {
  AcbPoly poly;
  acb_poly_set2_fmpz_poly(poly, re, im, bits);
  const acb_poly_struct* p = poly;
  const slong count = p->length - 1;
  if (!resume) startingPoints(re, im, roots);
  for (int step = 0; step < MAX_STEPS; ++step) {
    _acb_poly_refine_roots_durand_kerner(roots, p->coeffs, p->length, bits);
    if (settled(roots, count, bits)) break;
  }
  _acb_poly_refine_roots_durand_kerner(roots, p->coeffs, p->length, bits);
  if (_acb_poly_validate_roots(roots, p->coeffs, p->length, bits) != count) return false;
  if (fmpz_poly_degree(im) >= 0) return true;
  if (!_acb_poly_validate_real_roots(roots, p->coeffs, p->length, bits)) return false;
  for (slong k = 0; k < count; ++k) {
    if (arb_contains_zero(acb_imagref(roots + k))) arb_zero(acb_imagref(roots + k));
  }
  return true;
}

bool roundRoot(const Isolated& root, Precision precision, Root* rounded) {
  if (!roundPart(root, Part::Real, DOUBLE_FORMAT, &rounded->wideRe) ||
      !roundPart(root, Part::Imaginary, DOUBLE_FORMAT, &rounded->wideIm))
    return false;
  if (precision == Precision::Double) {
    rounded->re = rounded->wideRe;
    rounded->im = rounded->wideIm;
    return true;
  }
  return roundPart(root, Part::Real, FLOAT_FORMAT, &rounded->re) &&
         roundPart(root, Part::Imaginary, FLOAT_FORMAT, &rounded->im);
}

bool solveFactor(const Poly& factor, Precision precision, int multiplicity,
                 std::vector<Root>* roots) {
  FmpzPoly re, im;
  integerParts(factor, re, im);
  const slong count = degree(factor);
  AcbVector boxes(count);
  std::vector<Root> found(std::size_t(count), Root{0, 0, 0, 0, multiplicity});
  for (slong bits = 64; bits <= MAX_BITS; bits *= 2) {
    if (!enclose(re, im, bits, bits > 64, boxes.get())) continue;
    bool certain = true;
    for (slong k = 0; certain && k < count; ++k)
      certain = roundRoot({factor, boxes.get() + k, bits}, precision, &found[std::size_t(k)]);
    if (!certain) continue;
    std::stable_sort(found.begin(), found.end(), [](const Root& a, const Root& b) {
      return a.wideRe < b.wideRe || (a.wideRe == b.wideRe && a.wideIm < b.wideIm);
    });
    roots->insert(roots->end(), found.begin(), found.end());
    return true;
  }
  return false;
}

// FLINT keeps the integers it frees for reuse, per thread, and Arb and MPFR
// keep constants; this is start-up work, done once, so all of that is
// handed back when it ends rather than held for the life of the program.
struct ReleaseCaches {
  ~ReleaseCaches() { flint_cleanup(); }
};

}  // namespace

bool certifiedRoots(const ExactPolynomial& p, Precision precision, std::vector<Root>* roots) {
  const ReleaseCaches release;
  roots->clear();
  Poly f = p;
  trim(f);
  if (degree(f) < 1) return false;
  const std::vector<Poly> factors = surelySquareFree(f) ? std::vector<Poly>{f} : squareFree(f);
  for (std::size_t i = 0; i < factors.size(); ++i) {
    if (degree(factors[i]) < 1) continue;
    if (!solveFactor(factors[i], precision, int(i) + 1, roots)) {
      roots->clear();
      return false;
    }
  }
  return true;
}

}  // namespace basin

// The entry point of the roots module (core/roots_module.h): the term
// table made exact, each double a binary fraction.
extern "C" bool basinTableRoots(const basin::Term* table, int terms, int precision,
                                std::vector<basin::Root>* roots) {
  roots->clear();
  basin::ExactPolynomial p;
  for (int i = 0; i < terms; ++i) {
    const double exponent = table[i].exponent;
    if (!std::isfinite(table[i].coefficient) || !std::isfinite(table[i].imaginary) ||
        !(exponent >= 0 && exponent < basin::MAXTERMS))
      return false;
    const std::size_t k = std::size_t(exponent);
    if (p.size() <= k) p.resize(k + 1);
    p[k].re += mpq_class(table[i].coefficient);
    p[k].im += mpq_class(table[i].imaginary);
  }
  return basin::certifiedRoots(p, basin::Precision(precision), roots);
}
