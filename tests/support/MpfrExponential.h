// The reference for the tests and fuzz target of Exponential, NaturalLog and
// RealPower's logarithm path: each defined step by step, every step rounded
// correctly by MPFR in the Extended format, failures included.
#pragma once

#include <mpfr.h>

#include <cmath>
#include <cstdint>
#include <optional>

#include "numeric/Extended.h"
#include "tests/support/Mpfr.h"
#include "tests/support/Outcome.h"

namespace modsin::testing {

// The encodings that the x87 rejects as operands: NaNs and infinities
// (exponent field all ones) and unnormals (a nonzero exponent field with the
// leading significand bit clear). A pseudo-denormal (exponent field 0,
// leading bit set) is a number.
inline bool IsRejectedEncoding(Extended x) {
  const TExtendedBits bits = ExtendedBits(x);
  return bits.FExponent == kExtendedMaxExponent ||
         (bits.FExponent != 0 && (bits.FSignificand & kExtendedLeadingBit) == 0);
}

static_assert(sizeof(unsigned long) == 8, "the significand passes to MPFR as an unsigned long");

// The exact value of a number's encoding (pseudo-denormals included: an
// exponent field of 0 weighs as 1). to has at least 64 bits.
inline void SetExact(mpfr_ptr to, Extended x) {
  const TExtendedBits bits = ExtendedBits(x);
  const int exponent = (bits.FExponent == 0 ? 1 : bits.FExponent) - kExtendedBias - 63;
  mpfr_set_ui_2exp(to, bits.FSignificand, exponent, MPFR_RNDN);
  if (bits.FNegative) mpfr_neg(to, to, MPFR_RNDN);
}

// Rounds to to nearest (to has 64 bits) with gradual underflow; rounding is
// what the operation that gave to its value returned. Inside TExtendedRange.
inline Extended RoundedExtended(mpfr_ptr to, int rounding) {
  mpfr_subnormalize(to, rounding, MPFR_RNDN);
  return mpfr_get_ld(to, MPFR_RNDN);
}

// log2(e) and ln(2) rounded to the nearest Extended, which the definitions
// use in place of the true constants.
inline constexpr std::uint64_t kLog2ESignificand = 0xB8AA3B295C17F0BC;  // times 2^-63
inline constexpr std::uint64_t kLn2Significand = 0xB17217F7D1CF79AC;    // times 2^-64

// What Exponential(x) must give:
//   1. a NaN, an infinity or an unnormal: EInvalidOp;
//   2. t = RN(x * L2E); if t overflows, EOverflow for x > 0 and +0 for x < 0;
//   3. i = t rounded to an integer, ties to even, and f = t - i exactly;
//   4. g = RN(2^f - 1);
//   5. h = RN(1 + g);
//   6. h * 2^i rounded with gradual underflow; EOverflow beyond the range.
// RN is rounding to the nearest Extended, ties to even.
inline TOutcome ExpectedExponential(Extended x) {
  if (IsRejectedEncoding(x)) return Failed(TMathFailure::InvalidOp);
  const TExtendedRange range;
  TMpfrNumber exact(64), log2E(64), t(64);
  SetExact(*exact, x);
  mpfr_set_ui_2exp(*log2E, kLog2ESignificand, -63, MPFR_RNDN);
  mpfr_clear_flags();
  RoundedExtended(*t, mpfr_mul(*t, *exact, *log2E, MPFR_RNDN));
  // 2^(2^20) lies far beyond the range and 2^-(2^20) far below its last
  // subnormal, whatever h: such a t, finite or not, decides the outcome.
  if (mpfr_inf_p(*t) || mpfr_cmpabs_ui(*t, 1u << 20) >= 0) {
    if (x > 0) return Failed(TMathFailure::Overflow);
    return {+0.0L, TMathFailure::None};
  }
  TMpfrNumber i(64), f(64), g(64), h(64), result(64);
  mpfr_rint(*i, *t, MPFR_RNDN);     // ties to even
  mpfr_sub(*f, *t, *i, MPFR_RNDN);  // exact: f keeps t's last place
  RoundedExtended(*g, mpfr_exp2m1(*g, *f, MPFR_RNDN));
  RoundedExtended(*h, mpfr_add_ui(*h, *g, 1, MPFR_RNDN));
  mpfr_clear_flags();
  const Extended value =
      RoundedExtended(*result, mpfr_mul_2si(*result, *h, mpfr_get_si(*i, MPFR_RNDN), MPFR_RNDN));
  if (mpfr_inf_p(*result)) return Failed(TMathFailure::Overflow);
  return {value, TMathFailure::None};
}

// What NaturalLog(x) must give: EZeroDivide for +-0; EInvalidOp for x < 0, a
// NaN, an infinity or an unnormal; otherwise the exact product of C (ln 2
// rounded to Extended, not the true ln 2) and log2(x), rounded once to
// nearest. log2(x) is irrational unless x is a power of two, where it is an
// integer and the product exact; otherwise it is bracketed at growing
// precision until both ends round alike (Ziv's loop).
inline TOutcome ExpectedNaturalLog(Extended x) {
  if (IsRejectedEncoding(x)) return Failed(TMathFailure::InvalidOp);
  if (x == 0) return Failed(TMathFailure::ZeroDivide);
  if (x < 0) return Failed(TMathFailure::InvalidOp);
  const TExtendedRange range;
  TMpfrNumber exact(64), c(64), low(64), high(64);
  SetExact(*exact, x);
  mpfr_set_ui_2exp(*c, kLn2Significand, -64, MPFR_RNDN);
  for (mpfr_prec_t precision = 128;; precision *= 2) {
    TMpfrNumber lowLog(precision), highLog(precision);
    TMpfrNumber lowProduct(precision + 64), highProduct(precision + 64);
    mpfr_log2(*lowLog, *exact, MPFR_RNDD);
    mpfr_log2(*highLog, *exact, MPFR_RNDU);
    mpfr_mul(*lowProduct, *lowLog, *c, MPFR_RNDN);  // exact
    mpfr_mul(*highProduct, *highLog, *c, MPFR_RNDN);
    const Extended lowValue = RoundedExtended(*low, mpfr_set(*low, *lowProduct, MPFR_RNDN));
    const Extended highValue = RoundedExtended(*high, mpfr_set(*high, *highProduct, MPFR_RNDN));
    if (lowValue == highValue) return {lowValue, TMathFailure::None};
  }
}

// RN(a * b) with gradual underflow, or EOverflow; a and b finite.
inline TOutcome ExpectedProduct(Extended a, Extended b) {
  const TExtendedRange range;
  TMpfrNumber exactA(64), exactB(64), product(64);
  SetExact(*exactA, a);
  SetExact(*exactB, b);
  const Extended value = RoundedExtended(*product, mpfr_mul(*product, *exactA, *exactB, MPFR_RNDN));
  if (mpfr_inf_p(*product)) return Failed(TMathFailure::Overflow);
  return {value, TMathFailure::None};
}

// What RealPower(base, exponent) must give on its logarithm path (an
// exponent that is not integral or beyond 2147483647 in magnitude, and
// neither 0 nor a positive exponent of a zero base):
// Exponential(RN(exponent * NaturalLog(base))), the product raising EOverflow
// when it overflows. exponent finite and supported.
inline TOutcome ExpectedPowerByLogarithm(Extended base, Extended exponent) {
  const TOutcome log = ExpectedNaturalLog(base);
  if (log.FFailure != TMathFailure::None) return log;
  const TOutcome product = ExpectedProduct(exponent, log.FValue);
  if (product.FFailure != TMathFailure::None) return product;
  return ExpectedExponential(product.FValue);
}

// What RealPower(base, exponent) must give, decided in RealPower's order (a
// NaN met by a comparison is an invalid operation); std::nullopt where it
// takes IntegerPower (an integral exponent within 2147483647), which has no
// reference here, and for the encodings the x87 rejects other than NaNs and
// infinities.
inline std::optional<TOutcome> ExpectedRealPower(Extended base, Extended exponent) {
  const auto unsupported = [](Extended x) { return IsRejectedEncoding(x) && std::isfinite(x); };
  if (unsupported(base) || unsupported(exponent)) return std::nullopt;
  if (std::isnan(exponent)) return Failed(TMathFailure::InvalidOp);
  if (exponent == 0) return TOutcome{1, TMathFailure::None};
  if (std::isnan(base)) return Failed(TMathFailure::InvalidOp);
  if (base == 0 && exponent > 0) return TOutcome{+0.0L, TMathFailure::None};
  if (std::isinf(exponent)) return Failed(TMathFailure::InvalidOp);
  if (std::nearbyint(exponent) == exponent && std::fabs(exponent) <= 2147483647.0L)
    return std::nullopt;
  return ExpectedPowerByLogarithm(base, exponent);
}

}  // namespace modsin::testing
