// The numeric primitives under every node value: power, exponential,
// logarithm, sine, and ceiling and floor to a 32-bit integer, all in Extended.
//
// Each primitive checks its operands and results instead of letting the
// hardware trap: an invalid operation raises EInvalidOp, a division by zero
// EZeroDivide and an overflow EOverflow, always before a NaN or an infinity
// could be used or stored. A NaN or infinite operand that a primitive would
// use is an invalid operation. Underflow is silent: results shrink gradually
// to subnormal values or zero.
#pragma once

#include <cmath>
#include <cstdint>

#include "numeric/Extended.h"

namespace modsin {

// pi rounded to the nearest Extended: exponent 0x4000, significand
// 0xC90FDAA22168C235, about 5.0e-20 above pi.
inline constexpr Extended kPi = 0xC90FDAA22168C235p-62L;

// e rounded to the nearest Extended: exponent 0x4000, significand
// 0xADF85458A2BB4A9B. Exponential(1) gives exactly this value.
inline constexpr Extended kEuler = 0xADF85458A2BB4A9Bp-62L;

// ln 2 rounded to the nearest Extended, about 0.21 units of its last place
// above it: NaturalLog's factor, NaturalLog(2) itself. Integer code takes its
// significand: the compiler may load kLn2 with fldln2, which rounds ln 2 by
// the caller's control word.
inline constexpr std::uint64_t kLn2Significand = 0xB17217F7D1CF79AC;
inline constexpr Extended kLn2 = static_cast<Extended>(kLn2Significand) * 0x1p-64L;

// log2(e) rounded to the nearest Extended: the factor of Exponential's first
// step.
inline constexpr Extended kLog2E = 0xB8AA3B295C17F0BCp-63L;

// 1e-5 rounded to the nearest Extended (just below it): exponent 0x3FEE,
// significand 0xA7C5AC471B478423. For a double d, d < kSmallPhaseBound decides
// as d < 1e-5 would.
inline constexpr Extended kSmallPhaseBound = 0xA7C5AC471B478423p-80L;

// Largest |exponent| that RealPower serves by repeated multiplication.
inline constexpr Extended kIntegerExponentLimit = 2147483647.0L;

// base raised to exponent. Decided in this order:
//   1. exponent = 0 (either sign):            1; base is not examined (0^0 = 1)
//   2. base = 0 (either sign), exponent > 0:  +0
//   3. exponent integral, |exponent| <= 2147483647: IntegerPower
//   4. otherwise:                            Exponential(exponent * NaturalLog(base))
// So a negative base needs an integral exponent within the limit (else
// EInvalidOp from the logarithm), and a zero base with a negative exponent
// raises EZeroDivide.
Extended RealPower(Extended base, Extended exponent);

// RealPower(base, exponent) for one exponent and many bases, such as the
// tabulator's x^p: what RealPower decides from the exponent alone (whether it
// is 0, positive, integral within the limit) is decided once, here. Each
// value is then RealPower's bit for bit, with the same failures.
class TRealPower {
 public:
  explicit TRealPower(Extended exponent) noexcept;
  // Inline for the square, the most common power: WholePower's one product.
  // A double's square never leaves the Extended range, so only the operand
  // is checked (a NaN or an infinity: EInvalidOp).
  Extended operator()(double base) const {
    if (FIntegral && FInteger == 2) [[likely]] {
      if (!std::isfinite(base)) [[unlikely]]
        RaiseInvalidOperand();
      return Extended{base} * base;
    }
    return OtherPower(base);
  }
  // x^n for a whole n >= 0 (n = 0 included): such a power never fails for a
  // base whose magnitude lies within that of two bases it did not fail for.
  bool IsWholeAndNonNegative() const noexcept { return FIntegral && FInteger >= 0; }

 private:
  Extended OtherPower(double base) const;
  [[noreturn]] static void RaiseInvalidOperand();

  Extended FExponent;
  // The exponent as a whole number, where RealPower would call IntegerPower.
  bool FIntegral;
  std::int32_t FInteger;
};

// base raised to n by square-and-multiply from the lowest bit of |n|, every
// product rounded to Extended. A negative n takes the reciprocal at the end, so
// a positive power beyond the Extended range raises EOverflow and one that
// underflows to zero raises EZeroDivide, even where base^n itself would fit.
Extended IntegerPower(Extended base, std::int32_t n);

// e raised to x: (1 + (2^f - 1)) * 2^i with i + f = t, t = x * log2(e)
// rounded once, i the whole number nearest to t (ties to even), |f| <= 1/2.
// 2^f - 1 is correctly rounded, and so is each step: 1 + (2^f - 1), and the
// scaling, exact unless the result is subnormal. Exponential(0) = 1 exactly;
// above about 11356.52 EOverflow; far below the range 0 without failure.
Extended Exponential(Extended x);

// The square root of x >= 0, rounded once (to nearest); a negative x raises
// EInvalidOp.
Extended SquareRoot(Extended x);

// ln(2) rounded to Extended times log2(x), the exact product rounded once, for
// every positive finite x (subnormal ones too). NaturalLog(1) = 0 exactly;
// x = +-0 raises EZeroDivide, and a negative x, a NaN or an infinity
// EInvalidOp.
Extended NaturalLog(Extended x);

// The sine of x (radians) with exact argument reduction. From |x| = 2^63 on no
// reduction is attempted and the result is +0.
Extended Sine(Extended x);

// x rounded toward zero, whatever the environment's rounding; EInvalidOp
// unless -2^63 <= x < 2^63.
std::int64_t TruncateToInt64(Extended x);

// x rounded to a whole number as the x87 rounds under the current control
// word (to nearest, ties to even, in modsin's own environment), by one fistp.
// A cast would truncate, switching the x87 rounding mode twice to do so. For
// |x| < 2^63; an integral x comes out exactly in any rounding mode.
inline std::int64_t RoundToInt64(Extended x) noexcept {
  std::int64_t result;
  asm("fistpll %0" : "=m"(result) : "t"(x) : "st");
  return result;
}

// x minus x rounded toward zero, exactly: +0 for an integral x (every x of
// magnitude 2^63 or more), otherwise with the sign of x.
Extended FractionalPart(Extended x);

// The least integer not below x, and the greatest not above it. Exact when it
// lies in the 32-bit range; otherwise, while -2^63 <= x < 2^63, reduced modulo
// 2^32 into that range without failure; beyond, EInvalidOp.
std::int32_t CeilingToInt(Extended x);
std::int32_t FloorToInt(Extended x);

// Raises EInvalidOp for a NaN, EOverflow otherwise; for RoundToDouble.
[[noreturn]] void RaiseRoundingFailure(Extended x);

// x rounded to the nearest double; EOverflow when its magnitude would exceed
// the largest finite double. Too small a value becomes subnormal or zero.
// Inline: every stored value passes here.
inline double RoundToDouble(Extended x) {
  const double result = static_cast<double>(x);
  // A NaN stays a NaN and an overflow becomes an infinity: neither is finite.
  if (!std::isfinite(result)) [[unlikely]]
    RaiseRoundingFailure(x);
  return result;
}

}  // namespace modsin
