// The numeric rules of the script language, shared by the operator routines (Value.cpp, also
// used for constant folding), the executor's inline paths for reals and the built-in functions:
// rounding and truncation to integers, `div` and `mod`, and the tolerance of comparisons.
// Everything here is inline and free of library calls in the common range, so the executor's
// paths cost what they did when they had their own copies.
#pragma once

#include <cmath>
#include <cstdint>

namespace kestro {

// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2, -2.5 -> -2). Values
// beyond the 64-bit range saturate; NaN gives 0.
int64_t RoundToInt64Slow(double v);
inline int64_t RoundToInt64(double v) {
  // Adding and removing 1.5 * 2^52 rounds to even in the default rounding mode, without a
  // library call (exact below 2^51; IEEE arithmetic keeps the compiler from folding the pair).
  if (v > -2251799813685248.0 && v < 2251799813685248.0)
    return static_cast<int64_t>((v + 6755399441055744.0) - 6755399441055744.0);
  return RoundToInt64Slow(v);
}
inline int32_t RoundToInt32(double v) { return static_cast<int32_t>(RoundToInt64(v)); }

// Truncation toward zero; a zero result is +0. NaN and infinities stay as they are.
inline double Truncate(double v) {
  if (v > -4503599627370496.0 && v < 4503599627370496.0) return static_cast<double>(static_cast<int64_t>(v));
  return std::trunc(v);  // already whole (or NaN, or infinite)
}

// `a div b`: the quotient truncated toward zero, at any size (never wrapped to 32 bits). The
// caller has ruled out b == 0.
inline double IntegerDivide(double a, double b) { return Truncate(a / b); }

// `a mod b`: a - t * b with t the truncated quotient while t fits in 32 bits, the exact remainder
// (fmod) beyond. The caller has ruled out b == 0.
inline double Modulo(double a, double b) {
  const double q = a / b;
  if (q > -2147483649.0 && q < 2147483648.0) return a - static_cast<double>(static_cast<int64_t>(q)) * b;
  return std::fmod(a, b);
}

// Reals are equal within this absolute tolerance in every comparison of the language.
inline constexpr double kCompareTolerance = 1e-13;

// The comparisons of two reals, given their difference d = left - right.
inline bool RealLess(double d) { return d < -kCompareTolerance; }
inline bool RealLessEqual(double d) { return d <= kCompareTolerance; }
inline bool RealGreater(double d) { return d > kCompareTolerance; }
inline bool RealGreaterEqual(double d) { return d >= -kCompareTolerance; }
inline bool RealEqual(double d) { return d > -kCompareTolerance && d < kCompareTolerance; }
inline bool RealNotEqual(double d) { return d < -kCompareTolerance || d > kCompareTolerance; }

// A real is true from 0.5 upwards.
inline bool IsTrue(double v) { return v >= 0.5; }

}  // namespace kestro
