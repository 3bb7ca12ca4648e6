// Certified roots, to the last bit: each expected root is worked out here
// from its closed form in MPFR at 4000 bits and rounded once, to the storage
// type and to double, and every root must be found once, in order.
#include <gtest/gtest.h>
#include <mpfr.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/roots.h"
#include "core/roots_module.h"

namespace basin {
namespace {

// A real number at far more bits than any root here needs.
struct Real {
  mpfr_t x;
  Real(double v = 0) {
    mpfr_init2(x, 4000);
    mpfr_set_d(x, v, MPFR_RNDN);
  }
  Real(const Real& other) : Real() { mpfr_set(x, other.x, MPFR_RNDN); }
  Real& operator=(const Real&) = delete;
  ~Real() { mpfr_clear(x); }
  // Rounded once; a zero is +0.
  double in(Precision p) const {
    return (p == Precision::Float ? double(mpfr_get_flt(x, MPFR_RNDN)) : mpfr_get_d(x, MPFR_RNDN)) +
           0.0;
  }
};

// sqrt(a / b).
Real root2(double a, double b = 1) {
  Real r(a);
  mpfr_div_d(r.x, r.x, b, MPFR_RNDN);
  mpfr_sqrt(r.x, r.x, MPFR_RNDN);
  return r;
}

Real negated(Real a) {
  mpfr_neg(a.x, a.x, MPFR_RNDN);
  return a;
}

struct Want {
  Real re, im;
  int multiplicity;
};

std::vector<Want> plusMinus(const Real& re, const Real& im, int multiplicity = 1) {
  return {{re, im, multiplicity}, {negated(re), negated(im), multiplicity}};
}

// The n roots of z^n = a / b.
std::vector<Want> circle(double a, double b, unsigned n) {
  std::vector<Want> roots;
  for (unsigned k = 0; k < n; ++k) {
    Real radius(a), angle, re, im;
    mpfr_div_d(radius.x, radius.x, b, MPFR_RNDN);
    mpfr_rootn_ui(radius.x, radius.x, n, MPFR_RNDN);
    mpfr_const_pi(angle.x, MPFR_RNDN);
    mpfr_mul_ui(angle.x, angle.x, 2 * k, MPFR_RNDN);
    mpfr_div_ui(angle.x, angle.x, n, MPFR_RNDN);
    mpfr_sin_cos(im.x, re.x, angle.x, MPFR_RNDN);
    mpfr_mul(re.x, re.x, radius.x, MPFR_RNDN);
    mpfr_mul(im.x, im.x, radius.x, MPFR_RNDN);
    roots.push_back({re, im, 1});
  }
  return roots;
}

// With b = x + y + z, exactly: z^2 - 2b z + b^2 + 2, and its roots
// b +- i sqrt(2), whose balls never shrink to b.
ExactPolynomial pairAround(double x, double y = 0, double z = 0) {
  const mpq_class b = mpq_class(x) + mpq_class(y) + mpq_class(z);
  return {{b * b + 2, 0}, {-2 * b, 0}, {1, 0}};
}

std::vector<Want> rootsAround(double x, double y = 0, double z = 0) {
  Real b(x);
  mpfr_add_d(b.x, b.x, y, MPFR_RNDN);
  mpfr_add_d(b.x, b.x, z, MPFR_RNDN);
  return {{b, root2(2), 1}, {b, negated(root2(2)), 1}};
}

// (z - 1)^18, its binomial coefficients exact in either storage type.
std::vector<Term> eighteenfoldOne() {
  std::vector<Term> terms;
  double binomial = 1;
  for (int k = 18; k >= 0; --k) {
    terms.push_back({k % 2 ? -binomial : binomial, double(18 - k)});
    binomial = binomial * k / (19 - k);
  }
  return terms;
}

struct Case {
  const char* name;
  std::vector<Term> terms;  // as stored; when empty, `exact` instead
  ExactPolynomial exact;
  bool inFloat;  // asked as floats too: its coefficients are floats, or exact
  std::vector<Want> roots;
};

const Case CASES[] = {
    {"1e300 z^2 - 1e-300",
     {{1e300, 2}, {-1e-300, 0}},
     {},
     false,
     plusMinus(root2(1e-300, 1e300), 0)},
    {"1e300 z^18 - 1e-300", {{1e300, 18}, {-1e-300, 0}}, {}, false, circle(1e-300, 1e300, 18)},
    {"1e-320 z^2 - 1", {{1e-320, 2}, {-1, 0}}, {}, false, plusMinus(root2(1, 1e-320), 0)},
    {"three real roots 2^-20 apart",  // 3/4 - 2^-40 and -1/8 + 2^-41 below
     {{1, 3},
      {-1.5, 2},
      {0.749999999999090505298227071762084960937500, 1},
      {-0.124999999999545252649113535881042480468750, 0}},
     {},
     false,
     {{0.5 - 0x1p-20, 0, 1}, {0.5, 0, 1}, {0.5 + 0x1p-20, 0, 1}}},
    {"two roots 2^-22 apart",
     {{1, 2}, {-2 - 0x1p-22, 1}, {1 + 0x1p-22, 0}},
     {},
     true,
     {{1, 0, 1}, {1 + 0x1p-22, 0, 1}}},
    {"(z - 1)^18", eighteenfoldOne(), {}, true, {{1, 0, 18}}},
    {"(z^2 - 1)^2", {{1, 4}, {-2, 2}, {1, 0}}, {}, true, plusMinus(1, 0, 2)},
    {"z^5 - z^3", {{1, 5}, {-1, 3}}, {}, true, {{-1, 0, 1}, {1, 0, 1}, {0, 0, 3}}},
    {"z^3", {{1, 3}}, {}, true, {{0, 0, 3}}},
    {"z^2 + 2: real parts exactly 0", {{1, 2}, {2, 0}}, {}, true, plusMinus(0, root2(2))},
    {"z - 2^276, beyond a float", {{0x1p-149, 1}, {-0x1p127, 0}}, {}, true, {{0x1p276, 0, 1}}},
    {"3 2^120 z - 2^-10, a float's subnormal",
     {{3 * 0x1p120, 1}, {-0x1p-10, 0}},
     {},
     true,
     {{root2(0x1p-20, 9 * 0x1p240), 0, 1}}},
    {"b +- i sqrt(2), b the largest float + half a unit",
     {},
     pairAround(0x1p128, -0x1p103),
     true,
     rootsAround(0x1p128, -0x1p103)},
    {"z^3 - i",
     {},
     {{0, -1}, {0, 0}, {0, 0}, {1, 0}},
     true,
     {{0, -1, 1}, {root2(3, 4), 0.5, 1}, {negated(root2(3, 4)), 0.5, 1}}},
    {"(z - (1+2i))^2 (z + 3)",
     {},
     {{-9, 12}, {-9, -8}, {1, -4}, {1, 0}},
     true,
     {{1, 2, 2}, {-3, 0, 1}}},
    {"(z - 1/10)^2",
     {},
     {{mpq_class(1, 100), 0}, {mpq_class(-1, 5), 0}, {1, 0}},
     true,
     {{root2(1, 100), 0, 2}}},
    {"b +- i sqrt(2), b halfway between two doubles",
     {},
     pairAround(1, 0x1p-53),
     true,
     rootsAround(1, 0x1p-53)},
    {"b +- i sqrt(2), b 2^-300 past halfway between two doubles",
     {},
     pairAround(1, 0x1p-53, 0x1p-300),
     false,
     rootsAround(1, 0x1p-53, 0x1p-300)},
    {"b +- i sqrt(2), b halfway between two floats",
     {},
     pairAround(1, 0x1p-24),
     true,
     rootsAround(1, 0x1p-24)},
    {"b +- i sqrt(2), b 2^-60 past halfway between two floats",
     {},
     pairAround(1, 0x1p-24, 0x1p-60),
     true,
     rootsAround(1, 0x1p-24, 0x1p-60)},
};

bool same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(Roots, EachRootOnceRoundedOnceInOrder) {
  for (const Case& c : CASES) {
    for (const Precision precision : {Precision::Float, Precision::Double}) {
      if (precision == Precision::Float && !c.inFloat) continue;
      SCOPED_TRACE(std::string(c.name) + " as " + storageName(precision));
      std::vector<Root> found;
      ASSERT_TRUE(c.terms.empty()
                      ? certifiedRoots(c.exact, precision, &found)
                      : findRoots(c.terms.data(), int(c.terms.size()), precision, &found));
      ASSERT_EQ(found.size(), c.roots.size());
      for (const Want& w : c.roots) {
        const double re = w.re.in(precision), im = w.im.in(precision);
        const double wideRe = w.re.in(Precision::Double), wideIm = w.im.in(Precision::Double);
        int matches = 0;
        for (const Root& r : found)
          matches += same(r.re, re) && same(r.im, im) && same(r.wideRe, wideRe) &&
                     same(r.wideIm, wideIm) && r.multiplicity == w.multiplicity;
        EXPECT_EQ(matches, 1) << wideRe << " " << wideIm << " x" << w.multiplicity;
      }
      for (std::size_t k = 1; k < found.size(); ++k) {
        const Root &a = found[k - 1], &b = found[k];
        EXPECT_TRUE(a.multiplicity < b.multiplicity ||
                    (a.multiplicity == b.multiplicity &&
                     (a.wideRe < b.wideRe || (a.wideRe == b.wideRe && a.wideIm < b.wideIm))));
      }
    }
  }
}

TEST(Roots, NoRootsForAConstantOrAValueThatIsNotFinite) {
  const std::vector<Term> tables[] = {{{5, 0}}, {}, {{0, 3}}, {{NAN, 2}, {1, 0}}, {{1, 19}}};
  for (const std::vector<Term>& table : tables) {
    std::vector<Root> roots{{1, 1, 1, 1, 1}};
    EXPECT_FALSE(findRoots(table.data(), int(table.size()), Precision::Double, &roots));
    EXPECT_TRUE(roots.empty());
  }
}

}  // namespace
}  // namespace basin
