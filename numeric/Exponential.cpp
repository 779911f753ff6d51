// Exponential and NaturalLog (declared with the other primitives in
// Primitives.h), correctly rounded where their one transcendental step is:
// 2^f - 1 for Exponential, ln 2 * log2(x) for NaturalLog. Every other step
// is integer arithmetic that rounds as the x87 would under modsin's own
// control word, so neither the processor nor the caller's control word can
// change a result.
#include <bit>
#include <cstdint>

#include "numeric/ExactExponential.h"
#include "numeric/ExactLogarithm.h"
#include "numeric/Extended.h"
#include "numeric/MathError.h"
#include "numeric/Primitives.h"
#include "numeric/WideNumber.h"

namespace modsin {
namespace {

// log2(e) rounded to the nearest Extended: 0xB8AA3B295C17F0BCp-63.
constexpr std::uint64_t kLog2ESignificand = 0xB8AA3B295C17F0BC;

// Below 2^-80 in magnitude, x * log2(e) and so 2^f - 1 are below 2^-79, and
// 1 + (2^f - 1) rounds to 1: Exponential(x) = 1. Zeros, subnormal numbers
// and the x87's pseudo-denormal encodings all lie there.
constexpr int kLeastExponentialExponent = -80;

// From |t| = 2^15 on, 2^t lies far beyond the Extended range (2^16384) or
// far below its least subnormal value (2^-16445).
constexpr int kLeastOutOfRangeExponent = 15;

// Below 2^-66, |2^f - 1| < 0.7 * 2^-66 lies within half a unit of 1 (2^-65
// on either side at least): 1 + (2^f - 1) rounds to 1.
constexpr int kLeastExpTwoExponent = -66;

constexpr int kLeastNormalExponent = 1 - kExtendedBias;
constexpr int kGreatestExponent = kExtendedMaxExponent - 1 - kExtendedBias;

// A finite value significand * 2^(exponent - 63), the leading bit of a
// nonzero significand set: the unpacked form of the steps below.
struct TUnpacked {
  bool negative = false;
  int exponent = 0;
  std::uint64_t significand = 0;
};

// value / 2^shift rounded to the nearest whole number, ties to even.
std::uint64_t RoundedShift(std::uint64_t value, int shift) {
  if (shift == 0) return value;
  if (shift > 64) return 0;
  if (shift == 64) return value > kExtendedLeadingBit ? 1 : 0;
  const std::uint64_t quotient = value >> shift;
  const std::uint64_t rest = value & ((std::uint64_t{1} << shift) - 1);
  const std::uint64_t half = std::uint64_t{1} << (shift - 1);
  return quotient + (rest > half || (rest == half && (quotient & 1) != 0) ? 1 : 0);
}

// (high * 2^64 + low) * 2^scale, nonzero, rounded to 64 bits (to nearest,
// ties to even); the exponent is not checked against the Extended range.
TUnpacked Rounded(bool negative, TWordProduct product, int scale) {
  if (product.high == 0) {
    const int zeros = std::countl_zero(product.low);
    return {negative, scale + 63 - zeros, product.low << zeros};
  }
  const int zeros = std::countl_zero(product.high);
  std::uint64_t significand = product.high << zeros;
  if (zeros != 0) significand |= product.low >> (64 - zeros);
  const std::uint64_t rest = product.low << zeros;
  int exponent = scale + 127 - zeros;
  if (rest > kExtendedLeadingBit || (rest == kExtendedLeadingBit && (significand & 1) != 0)) {
    if (++significand == 0) {
      significand = kExtendedLeadingBit;
      ++exponent;
    }
  }
  return {negative, exponent, significand};
}

Extended Packed(const TUnpacked& x) {
  if (x.significand == 0) return x.negative ? -0.0L : 0.0L;
  return MakeExtended(x.negative, x.exponent, x.significand);
}

// t = i + f: i the whole number nearest to t (ties to even), f = t - i
// exactly, |f| <= 1/2. For |t| < 2^15.
struct TSplit {
  std::int32_t whole = 0;
  TUnpacked fraction;
};

TSplit SplitNearest(const TUnpacked& t) {
  if (t.exponent < -1 || (t.exponent == -1 && t.significand == kExtendedLeadingBit))
    return {0, t};  // |t| <= 1/2, and 1/2 rounds to the even 0
  // |t| in (1/2, 1) rounds up to 1, leaving 1 - |t|: 2^64 - significand in
  // units of 2^(exponent - 63).
  std::uint64_t whole = 1;
  std::uint64_t left = 0 - t.significand;
  bool up = true;
  if (t.exponent >= 0) {
    const int shift = 63 - t.exponent;  // 49 ... 63
    const std::uint64_t one = std::uint64_t{1} << shift;
    const std::uint64_t rest = t.significand & (one - 1);
    whole = t.significand >> shift;
    up = rest > one / 2 || (rest == one / 2 && (whole & 1) != 0);
    left = up ? one - rest : rest;
    whole += up ? 1 : 0;
  }
  TSplit split;
  split.whole = t.negative ? -static_cast<std::int32_t>(whole) : static_cast<std::int32_t>(whole);
  if (left != 0) {
    // f has t's sign when t was rounded down, the other when up.
    const int zeros = std::countl_zero(left);
    split.fraction = {up != t.negative, t.exponent - zeros, left << zeros};
  }
  return split;
}

// 1 + g rounded once to Extended, for |g| <= 1/2 normal with exponent
// (unbiased) at most -2.
TUnpacked OnePlus(Extended g) {
  const TExtendedBits bits = ExtendedBits(g);
  const int exponent = bits.exponent - kExtendedBias;
  if (!bits.negative) {
    // 1 + g in units of 2^-63; the sum's parity is that of g's part.
    return {false, 0, kExtendedLeadingBit + RoundedShift(bits.significand, -exponent)};
  }
  // 1 - |g| in units of 2^-64: 2^64 minus |g| rounded to a whole number of
  // them, ties to even as the difference's parity is the subtrahend's.
  const std::uint64_t subtrahend = RoundedShift(bits.significand, -exponent - 1);
  if (subtrahend == 0) return {false, 0, kExtendedLeadingBit};
  return {false, -1, 0 - subtrahend};
}

// 2^f - 1 rounded to the nearest Extended, for 2^-66 <= |f| <= 1/2.
Extended PowerOfTwoMinusOne(Extended f) {
  return ExactPowerOfTwoMinusOne(f);
}

}  // namespace

Extended Exponential(Extended x) {
  const TExtendedBits bits = ExtendedBits(x);
  // A NaN, an infinity and an unnormal encoding are invalid.
  if (bits.exponent == kExtendedMaxExponent ||
      (bits.exponent != 0 && (bits.significand & kExtendedLeadingBit) == 0))
    Raise<EInvalidOp>();
  if (bits.exponent == 0 || bits.exponent - kExtendedBias < kLeastExponentialExponent) return 1;

  // Step 1: t = x * log2(e), rounded once.
  const TUnpacked t = Rounded(bits.negative, MultiplyWords(bits.significand, kLog2ESignificand),
                              bits.exponent - kExtendedBias - 126);
  if (t.exponent >= kLeastOutOfRangeExponent) {
    if (!t.negative) Raise<EOverflow>();
    return +0.0L;
  }

  // Step 2: t = i + f, i the nearest whole number (ties to even).
  const TSplit split = SplitNearest(t);

  // Step 3: h = 1 + (2^f - 1), each rounded once.
  TUnpacked h{false, 0, kExtendedLeadingBit};
  if (split.fraction.significand != 0 && split.fraction.exponent >= kLeastExpTwoExponent)
    h = OnePlus(PowerOfTwoMinusOne(Packed(split.fraction)));

  // Step 4: h * 2^i, exact in the normal range; below it rounded once to a
  // subnormal value or 0.
  const int exponent = h.exponent + split.whole;
  if (exponent > kGreatestExponent) Raise<EOverflow>();
  if (exponent >= kLeastNormalExponent) return MakeExtended(false, exponent, h.significand);
  const std::uint64_t subnormal = RoundedShift(h.significand, kLeastNormalExponent - exponent);
  // Rounding up may reach the least normal value.
  if (subnormal == kExtendedLeadingBit) return MakeExtended(false, kLeastNormalExponent, subnormal);
  return MakeExtended(false, kLeastNormalExponent - 1, subnormal);
}

Extended NaturalLog(Extended x) {
  const TExtendedBits bits = ExtendedBits(x);
  if (bits.exponent == kExtendedMaxExponent) Raise<EInvalidOp>();  // NaN, +-infinity
  if (bits.exponent == 0 && bits.significand == 0) Raise<EZeroDivide>();
  if (bits.negative || (bits.exponent != 0 && (bits.significand & kExtendedLeadingBit) == 0))
    Raise<EInvalidOp>();
  // A power of two 2^e: the product ln 2 * e is exact before its rounding,
  // and may lie halfway between two Extended values.
  const int zeros = std::countl_zero(bits.significand);
  if ((bits.significand << zeros) == kExtendedLeadingBit) {
    const int e =
        (bits.exponent == 0 ? kLeastNormalExponent : bits.exponent - kExtendedBias) - zeros;
    if (e == 0) return +0.0L;
    const auto magnitude = static_cast<std::uint64_t>(e < 0 ? -e : e);
    return Packed(Rounded(e < 0, MultiplyWords(kLnTwoSignificand, magnitude), -64));
  }
  return ExactNaturalLog(x);
}

}  // namespace modsin
