// The module's side of core/written.h and of findWrittenRoots: a text read
// exactly (core/expression.h), its coefficients rounded once or its roots
// certified (core/roots_module.h).
#include <vector>

#include "core/expression.h"
#include "core/roots_module.h"
#include "core/written.h"

extern "C" int basinReadPolynomial(const std::string* text, int precision, basin::Terms* out,
                                   basin::PolynomialError* error) {
  using basin::WrittenReading;
  basin::ExpressionReading reading;
  if (!basin::readExpression(*text, &reading, error)) return int(WrittenReading::Refused);
  if (reading.plainSum) return int(WrittenReading::PlainSum);
  std::vector<basin::RoundedTerm> terms;
  if (!basin::roundTerms(*text, reading.exact, basin::Precision(precision), &terms, error))
    return int(WrittenReading::Refused);
  basin::Terms table;
  for (const basin::RoundedTerm& term : terms)  // at most MAXTERMS: the degree is at most 18
    table.term[table.count++] = basin::Term{term.re, double(term.exponent), term.im};
  *out = table;
  return int(WrittenReading::Read);
}

extern "C" bool basinReadConstant(const std::string* text, int precision, basin::WideComplex* value,
                                  basin::PolynomialError* error) {
  return basin::readConstant(*text, basin::Precision(precision), &value->re, &value->im, error);
}

extern "C" bool basinWrittenRoots(const std::string* text, int precision,
                                  std::vector<basin::Root>* roots) {
  roots->clear();
  basin::ExpressionReading reading;
  return basin::readExpression(*text, &reading, nullptr) &&
         basin::certifiedRoots(reading.exact, basin::Precision(precision), roots);
}
