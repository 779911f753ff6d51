#include "numeric/ExactLogarithm.h"

#include <bit>
#include <cassert>
#include <cstdint>
#include <optional>

#include "numeric/LogTwo.h"
#include "numeric/Primitives.h"
#include "numeric/WideNumber.h"
#include "numeric/WideRounding.h"

namespace modsin {
namespace {

// sqrt(2) * 2^63 lies between this significand and the next.
constexpr std::uint64_t kSqrtTwoSignificand = 0xB504F333F9DE6484;

// x = m * 2^e with m in (sqrt(1/2), sqrt(2)), and u = (m - 1) / (m + 1) as
// the quotient of two whole numbers: |u| = FNumerator / (2^64 + FDivisorLow).
struct TLogArgument {
  int FExponent = 0;    // e
  bool FBelow = false;  // m < 1
  std::uint64_t FNumerator = 0;
  std::uint64_t FDivisorLow = 0;
};

// For x = significand * 2^(exponent - 63), the significand's leading bit set
// and x not a power of two.
TLogArgument LogArgument(std::uint64_t significand, int exponent) {
  if (significand > kSqrtTwoSignificand) {
    // m = significand / 2^64 < 1: |u| = (2^64 - significand) / (2^64 + significand).
    return {exponent + 1, true, 0 - significand, significand};
  }
  // m = significand / 2^63 > 1: u = (significand - 2^63) / (significand + 2^63).
  const std::uint64_t numerator = significand - kExtendedLeadingBit;
  return {exponent, false, numerator, numerator};
}

// numerator / (2^64 + divisorLow) = quotient * 2^-shift, the quotient in
// [1/2, 1) to `limbs` limbs, truncated (low by less than a unit), by long
// division one bit at a time; numerator > 0.
template <class TLimbs>
TWideNumberOf<TLimbs> DivideWhole(std::uint64_t numerator, std::uint64_t divisorLow, int limbs,
                                  int* shift) {
  TWideNumberOf<TLimbs> quotient = WideZero<TLimbs>(limbs);
  // The remainder, high * 2^64 + low, stays below the divisor, so doubling
  // it needs two bits above the low word at most.
  std::uint64_t low = numerator;
  std::uint64_t high = 0;
  *shift = 0;
  for (int bit = 0; bit < limbs * kLimbBits;) {
    high = (high << 1) | (low >> 63);
    low <<= 1;
    const bool one = high > 1 || (high == 1 && low >= divisorLow);
    if (one) {
      high -= 1 + (low < divisorLow ? 1 : 0);
      low -= divisorLow;
    }
    if (!one && bit == 0) {
      ++*shift;  // a leading zero of the quotient
      continue;
    }
    if (one) quotient.FLimb[bit / kLimbBits] |= kHalfLimb >> (bit % kLimbBits);
    ++bit;
  }
  return quotient;
}

// ln 2 (rounded) * log2 x at a precision of `limbs` limbs, where that
// decides the rounding. Errors are in units of the last place of the
// mantissa at hand; T is the number of terms of the series.
//
// Step 1: u = (m - 1) / (m + 1), |u| <= 0.172, within a unit.
// Step 2: ln m = 2u (1 + s), s = w/3 + w^2/5 + ... for w = u^2 <= 0.03,
// which is within 1.2 units; each power of w within 1.3, each term within
// 1.5, and the terms left out less than a unit: s within 2T + 2. Then
// 2u (1 + s), halved and normalised: within 2 (2T + 6).
// Step 3: log2 m = ln m * log2(e): within 2 (4T + 15).
// Step 4: log2 x = e + log2 m, cut to `limbs` limbs: within 8T + 32.
// Step 5: the exact product with the rounded ln 2, normalised and cut:
// within 16T + 65.
template <class TLimbs>
std::optional<Extended> NaturalLogAt(const TLogArgument& argument, int limbs,
                                     const TLogConstants& constants) {
  // Step 1.
  int shift = 0;
  const TWideNumberOf<TLimbs> u =
      DivideWhole<TLimbs>(argument.FNumerator, argument.FDivisorLow, limbs, &shift);

  // Step 2: |u| < 1/4 makes shift >= 2.
  const TWideNumberOf<TLimbs> w = ShiftRight(MultiplyHigh(u, u), 2 * shift);
  TWideNumberOf<TLimbs> power = w;
  TWideNumberOf<TLimbs> s = DivideBy(w, 3);
  std::uint32_t terms = 1;
  for (std::uint32_t k = 2;; ++k) {
    power = MultiplyHigh(power, w);
    if (IsZero(power)) break;
    s = Add(s, DivideBy(power, 2 * k + 1));
    ++terms;
  }
  const std::uint32_t sumError = 2 * terms + 2;
  // |ln m| = 2 |u| (1 + s) = (u + u s) / 2 * 2^(2 - shift), in [1/4, 1/2].
  TWideValue<TLimbs> ln{Add(ShiftRight(u, 1), ShiftRight(MultiplyHigh(u, s), 1)), 2 - shift,
                        sumError + 4};
  Normalise(ln);

  // Step 3: |log2 m| = |ln m| * (log2(e) / 2) * 2.
  TWideValue<TLimbs> log2m{
      MultiplyHigh(ln.FMantissa, WideFromLimbs<TLimbs>(constants.FHalfLog2E.data(), limbs)),
      ln.FExponent + 1, ln.FError + 3};
  Normalise(log2m);

  // Step 4: e + log2 m, where |log2 m| < 1/2 <= |e| unless e = 0. Then
  // whole part and fraction share one more limb in front.
  TWideValue<TLimbs> log2x = log2m;
  bool negative = argument.FBelow;
  if (argument.FExponent != 0) {
    negative = argument.FExponent < 0;
    const std::uint32_t whole = negative ? 0u - static_cast<std::uint32_t>(argument.FExponent)
                                         : static_cast<std::uint32_t>(argument.FExponent);
    TWideNumberOf<TLimbs> fraction = ShiftRight(log2m.FMantissa, -log2m.FExponent);
    Resize(fraction, limbs + 1);
    fraction = ShiftRight(fraction, kLimbBits);
    TWideNumberOf<TLimbs> sum = WideZero<TLimbs>(limbs + 1);
    sum.FLimb[0] = whole;
    // |e| + |log2 m| where both have one sign, |e| - |log2 m| otherwise.
    sum = negative == argument.FBelow ? Add(sum, fraction) : Subtract(sum, fraction);
    const int zeros = LeadingZeros(sum);
    log2x.FMantissa = ShiftLeft(sum, zeros);
    Resize(log2x.FMantissa, limbs);
    log2x.FExponent = kLimbBits - zeros;
    log2x.FError = log2m.FError + 2;
  }

  // Step 5: the exact product with kLn2 = its significand * 2^-64, as a
  // fraction in [1/4, 1).
  // The shift loses nothing of it; the cut adds a unit.
  TWideValue<TLimbs> product{MultiplyWhole(kLn2Significand, log2x.FMantissa), log2x.FExponent,
                             log2x.FError};
  Normalise(product);
  Resize(product.FMantissa, limbs);
  ++product.FError;
  return RoundedExtended(product, negative);
}

}  // namespace

Extended ExactNaturalLog(Extended x, int firstLimbs) {
  TExtendedBits bits = ExtendedBits(x);
  // A subnormal x (or the x87's pseudo-denormal encoding) has the exponent
  // of the least normal one; its significand is shifted up to normal.
  int exponent =
      bits.FExponent == 0 ? kExtendedLeastNormalExponent : bits.FExponent - kExtendedBias;
  const int zeros = std::countl_zero(bits.FSignificand);
  exponent -= zeros;
  // A power of two would make u = 0, whose quotient has no leading one.
  assert(bits.FSignificand << zeros != kExtendedLeadingBit);
  const TLogArgument argument = LogArgument(bits.FSignificand << zeros, exponent);
  return FirstDecided(firstLimbs, [&](auto storage, int limbs, const TLogConstants& constants) {
    return NaturalLogAt<decltype(storage)>(argument, limbs, constants);
  });
}

}  // namespace modsin
