// Complex arithmetic on pairs of single-precision floats.
//
// Every routine follows one arithmetic rule: widen the float operands to
// double, carry the whole formula in double, and round to float once, when
// the result is stored (`stored`). Rounding is to nearest; overflow gives an
// infinity and underflow a subnormal, never a trap.
//
// The destination comes first. addcom, subcom and multcom may write over one
// of their operands; divcom and pwrcom write the real part before they read
// the operands again, so their destination must not be an operand.
#pragma once

namespace basin {

struct Complex {
  float re;
  float im;
};

// The single rounding of a formula: a double result stored as a float.
inline float stored(double value) { return static_cast<float>(value); }

// |z|^2 with squares and sum in double, never rounded.
inline double norm2(const Complex& z) {
  const double re = z.re;
  const double im = z.im;
  return re * re + im * im;
}

inline void addcom(Complex* out, const Complex* in1, const Complex* in2) {
  out->re = stored(double(in1->re) + double(in2->re));
  out->im = stored(double(in1->im) + double(in2->im));
}

inline void subcom(Complex* out, const Complex* in1, const Complex* in2) {
  out->re = stored(double(in1->re) - double(in2->re));
  out->im = stored(double(in1->im) - double(in2->im));
}

inline void multcom(Complex* out, float real, const Complex* in) {
  out->re = stored(double(real) * double(in->re));
  out->im = stored(double(real) * double(in->im));
}

// num / den through the conjugate; d stays double. No guard for d = 0: the
// solver never divides by a derivative that failed its own test.
inline void divcom(Complex* out, const Complex* num, const Complex* den) {
  const double d = norm2(*den);
  out->re = stored((double(num->re) * den->re + double(num->im) * den->im) / d);
  out->im = stored((-double(num->re) * den->im + double(num->im) * den->re) / d);
}

// in^n for n >= 0 by repeated multiplication, each partial product stored
// (rounded) before the next step: z^4 is ((z*z)*z)*z.
inline void pwrcom(Complex* out, const Complex* in, int n) {
  if (n == 0) {
    *out = Complex{1.0f, 0.0f};
    return;
  }
  Complex t = *in;
  *out = t;
  for (int k = 1; k < n; ++k) {
    out->re = stored(double(t.re) * in->re - double(t.im) * in->im);
    out->im = stored(double(t.im) * in->re + double(t.re) * in->im);
    t = *out;
  }
}

}  // namespace basin
