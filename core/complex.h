// Complex arithmetic on pairs of stored values, float or double.
//
// Every routine follows one arithmetic rule: widen the stored operands to
// double, carry the whole formula in double, and round once, when the
// result is stored (`storedAs<T>`). With float storage that rounding is to
// the nearest float (an overflow gives an infinity, an underflow a
// subnormal, never a trap); with double storage there is nothing left to
// round, and the same routines compute the same formulas in double.
//
// The destination comes first. addcom, subcom, multcom and prodcom may write
// over one of their operands; divcom and pwrcom write the real part before
// they read the operands again, so their destination must not be an operand.
#pragma once

#include <cstdlib>

namespace basin {

// The storage type of every value a model keeps: float by default, double
// on request (--double). A model is written once, as a template over its
// storage type T; a program chooses T once, as it starts, from this.
enum class Precision { Float, Double };

// The storage types, for the explicit instantiations of code written once
// over T: BASIN_STORAGE_TYPES(X) expands X(float) X(double).
#define BASIN_STORAGE_TYPES(X) X(float) X(double)

// The precision whose values a T holds.
template <class T>
constexpr Precision PRECISION_OF = sizeof(T) == sizeof(float) ? Precision::Float
                                                              : Precision::Double;

// What a model of `precision` stores, as messages name it: "float", "double".
inline const char* storageName(Precision precision) {
  return precision == Precision::Float ? "float" : "double";
}
template <class T>
const char* storageName() {
  return storageName(PRECISION_OF<T>);
}

// The significant digits that print a stored value so that it reads back
// as the same value: 9 for a float, 17 for a double.
inline int significantDigits(Precision precision) { return precision == Precision::Float ? 9 : 17; }

// The decimal number at `text` as a model of `precision` stores it, and in
// *end (if given) where its reading stopped. strtof rounds the decimal to the
// nearest float directly; going through double would round twice.
inline double readStored(const char* text, char** end, Precision precision) {
  return precision == Precision::Float ? double(std::strtof(text, end)) : std::strtod(text, end);
}

template <class T>
struct BasicComplex {
  T re;
  T im;
};

using Complex = BasicComplex<float>;
using WideComplex = BasicComplex<double>;

// The single rounding of a formula: a double result stored as a T.
template <class T>
inline T storedAs(double value) {
  return static_cast<T>(value);
}

// The float model's rounding, as most of its formulas write it.
inline float stored(double value) { return storedAs<float>(value); }

// A double result as a model of storage type T stores it, kept in a
// double: rounded to the nearest float for the float model, as it is for
// double. Values that every model holds alike (view edges, roots) are held
// so, in doubles that hold a T exactly.
template <class T>
inline double keptAs(double value) {
  if constexpr (PRECISION_OF<T> == Precision::Double) {
    return value;
  } else {
    // The float is made opaque to the optimiser: GCC 12's vectoriser, given
    // two such roundings side by side (a complex number's parts), folds the
    // narrowing and the widening away and keeps the unrounded double.
    float single = stored(value);
#if defined(__x86_64__) || defined(__i386__)
    __asm__("" : "+x"(single));  // kept in its SSE register
#else
    __asm__("" : "+r"(single));
#endif
    return single;
  }
}

// The same, for a storage type known only as the program starts.
inline double storedIn(Precision precision, double value) {
  return precision == Precision::Double ? keptAs<double>(value) : keptAs<float>(value);
}

// |z|^2 with squares and sum in double, never rounded.
template <class T>
inline double norm2(const BasicComplex<T>& z) {
  const double re = z.re;
  const double im = z.im;
  return re * re + im * im;
}

template <class T>
inline void addcom(BasicComplex<T>* out, const BasicComplex<T>* in1, const BasicComplex<T>* in2) {
  out->re = storedAs<T>(double(in1->re) + double(in2->re));
  out->im = storedAs<T>(double(in1->im) + double(in2->im));
}

template <class T>
inline void subcom(BasicComplex<T>* out, const BasicComplex<T>* in1, const BasicComplex<T>* in2) {
  out->re = storedAs<T>(double(in1->re) - double(in2->re));
  out->im = storedAs<T>(double(in1->im) - double(in2->im));
}

template <class T>
inline void multcom(BasicComplex<T>* out, T real, const BasicComplex<T>* in) {
  out->re = storedAs<T>(double(real) * double(in->re));
  out->im = storedAs<T>(double(real) * double(in->im));
}

// The complex product in1 * in2: re = a c - b d and im = a d + b c for
// in1 = a + bi and in2 = c + di, each part computed in double from the
// stored parts and stored once. A complex coefficient times a power of z,
// and the relaxation times the Newton step, are this product.
template <class T>
inline void prodcom(BasicComplex<T>* out, const BasicComplex<T>* in1, const BasicComplex<T>* in2) {
  const double a = in1->re, b = in1->im, c = in2->re, d = in2->im;
  const T re = storedAs<T>(a * c - b * d);
  const T im = storedAs<T>(a * d + b * c);
  *out = BasicComplex<T>{re, im};
}

// num / den through the conjugate; d stays double. No guard for d = 0: the
// solver never divides by a derivative that failed its own test.
template <class T>
inline void divcom(BasicComplex<T>* out, const BasicComplex<T>* num, const BasicComplex<T>* den) {
  const double d = norm2(*den);
  out->re = storedAs<T>((double(num->re) * den->re + double(num->im) * den->im) / d);
  out->im = storedAs<T>((-double(num->re) * den->im + double(num->im) * den->re) / d);
}

// in^n for n >= 0 by repeated multiplication, each partial product stored
// (rounded) before the next step: z^4 is ((z*z)*z)*z.
template <class T>
inline void pwrcom(BasicComplex<T>* out, const BasicComplex<T>* in, int n) {
  if (n == 0) {
    *out = BasicComplex<T>{T(1), T(0)};
    return;
  }
  BasicComplex<T> t = *in;
  *out = t;
  for (int k = 1; k < n; ++k) {
    out->re = storedAs<T>(double(t.re) * in->re - double(t.im) * in->im);
    out->im = storedAs<T>(double(t.im) * in->re + double(t.re) * in->im);
    t = *out;
  }
}

}  // namespace basin
