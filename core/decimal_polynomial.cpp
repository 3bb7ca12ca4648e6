#include "core/decimal_polynomial.h"

namespace basin {
namespace {

bool isZero(const GaussianInteger& c) { return c.re == 0 && c.im == 0; }

void trim(DecimalPolynomial& p) {
  while (!p.coefficients.empty() && isZero(p.coefficients.back())) p.coefficients.pop_back();
}

// p with its coefficients over 10^tens, not less than p's own.
void rescale(DecimalPolynomial& p, unsigned long tens) {
  if (tens == p.tens) return;
  const mpz_class scale = powerOfTen(tens - p.tens);
  for (GaussianInteger& c : p.coefficients) {
    c.re *= scale;
    c.im *= scale;
  }
  p.tens = tens;
}

// sum += a b; most parts are 0 (real polynomials), and are skipped.
void addProduct(GaussianInteger& sum, const GaussianInteger& a, const GaussianInteger& b) {
  if (a.re != 0 && b.re != 0) mpz_addmul(sum.re.get_mpz_t(), a.re.get_mpz_t(), b.re.get_mpz_t());
  if (a.im != 0 && b.im != 0) mpz_submul(sum.re.get_mpz_t(), a.im.get_mpz_t(), b.im.get_mpz_t());
  if (a.re != 0 && b.im != 0) mpz_addmul(sum.im.get_mpz_t(), a.re.get_mpz_t(), b.im.get_mpz_t());
  if (a.im != 0 && b.re != 0) mpz_addmul(sum.im.get_mpz_t(), a.im.get_mpz_t(), b.re.get_mpz_t());
}

}  // namespace

mpz_class powerOfTen(unsigned long n) {
  mpz_class p;
  mpz_ui_pow_ui(p.get_mpz_t(), 10, n);
  return p;
}

void negate(DecimalPolynomial& p) {
  for (GaussianInteger& c : p.coefficients) {
    c.re = -c.re;
    c.im = -c.im;
  }
}

void addInto(DecimalPolynomial& sum, DecimalPolynomial term, bool subtract) {
  const unsigned long tens = std::max(sum.tens, term.tens);
  rescale(sum, tens);
  rescale(term, tens);
  if (subtract) negate(term);
  std::vector<GaussianInteger>& to = sum.coefficients;
  if (to.size() < term.coefficients.size()) to.resize(term.coefficients.size());
  for (std::size_t k = 0; k < term.coefficients.size(); ++k) {
    to[k].re += term.coefficients[k].re;
    to[k].im += term.coefficients[k].im;
  }
  trim(sum);
}

DecimalPolynomial multiplied(const DecimalPolynomial& a, const DecimalPolynomial& b) {
  DecimalPolynomial p;
  p.tens = a.tens + b.tens;
  if (a.coefficients.empty() || b.coefficients.empty()) return p;
  p.coefficients.resize(a.coefficients.size() + b.coefficients.size() - 1);
  for (std::size_t j = 0; j < a.coefficients.size(); ++j)
    for (std::size_t k = 0; k < b.coefficients.size(); ++k)
      addProduct(p.coefficients[j + k], a.coefficients[j], b.coefficients[k]);
  trim(p);  // a product of Gaussian integers is 0 only when one of them is
  return p;
}

DecimalPolynomial power(DecimalPolynomial base, int n) {
  DecimalPolynomial result{{GaussianInteger{1, 0}}, 0};
  for (; n > 0; n /= 2) {
    if (n % 2 == 1) result = multiplied(result, base);
    if (n > 1) base = multiplied(base, base);
  }
  return result;
}

ExactPolynomial exactOf(const DecimalPolynomial& p) {
  const mpz_class scale = powerOfTen(p.tens);
  ExactPolynomial exact;
  for (const GaussianInteger& c : p.coefficients) {
    exact.push_back(GaussianRational{mpq_class(c.re, scale), mpq_class(c.im, scale)});
    exact.back().re.canonicalize();
    exact.back().im.canonicalize();
  }
  return exact;
}

}  // namespace basin
