#include "numeric/ExactSine.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>

#include "numeric/ExactReduction.h"
#include "numeric/WideNumber.h"
#include "numeric/WideRounding.h"

namespace modsin {
namespace {

// The most precision UnboundedSine takes, in limbs: 2^29 bits, where every
// count of bits still fits an int and the errors counted below a limb. A
// single product at that precision would take 2^48 limb products: the limit
// stands for memory and time that no machine has.
constexpr int kMostUnboundedLimbs = 1 << 24;

// The alternating series t1 - t2 + t3 - ... with t(k+1) = t(k) * z / ((2k +
// 1 + c)(2k + 2 + c)) from t0 = 1: c = 1 gives the sine's terms z/3!, z^2/5!,
// ... and c = 0 the cosine's z/2!, z^2/4!, ...; summed until a term
// truncates to zero. For z < 0.62 every term is at most a twelfth of the one
// before, so each is low by less than 3 units (its own two truncations, z's
// 2 units divided by at least 2, and a twelfth of the error before; from k
// near 2^15 on, where the divisor outgrows a limb, a third truncation, by
// its second factor, adds less than 2^-16 units), and the terms left out,
// alternating and shrinking, add up to less than the first of them: the sum
// is within 3 (terms + 1) units. Returns the sum and adds that bound to
// *error.
template <class TLimbs>
TWideNumberOf<TLimbs> AlternatingSeries(const TWideNumberOf<TLimbs>& z, std::uint32_t c,
                                        std::uint32_t* error) {
  TWideNumberOf<TLimbs> term = DivideBy(z, (1 + c) * (2 + c));
  TWideNumberOf<TLimbs> sum = term;
  std::uint32_t terms = 1;
  for (std::uint32_t k = 1;; ++k) {
    const std::uint32_t low = 2 * k + 1 + c;
    const std::uint32_t high = low + 1;
    const TWideNumberOf<TLimbs> product = MultiplyHigh(term, z);
    term = high <= std::numeric_limits<std::uint32_t>::max() / low
               ? DivideBy(product, low * high)
               : DivideBy(DivideBy(product, low), high);
    if (IsZero(term)) break;
    sum = k % 2 == 1 ? Subtract(sum, term) : Add(sum, term);
    ++terms;
  }
  *error += 3 * (terms + 1);
  return sum;
}

// The reduction's error carried into sin r, in units of the last place of
// its normalised value: kReductionErrorUnits relative to r, grown by at most
// r / sin r < 1.12 relative to sin r (17.92 units, rounded up).
constexpr std::uint32_t kSineReductionErrorUnits = 18;
static_assert(kReductionErrorUnits * 112 <= kSineReductionErrorUnits * 100);

// sin r = r (1 - (r^2/3! - r^4/5! + ...)) for r = magnitude * 2^exponent <=
// pi/4. The product by r and its normalising shift at most double the
// series' error; the reduction's adds kSineReductionErrorUnits.
template <class TLimbs>
TWideValue<TLimbs> SineSeries(const TWideReductionOf<TLimbs>& r) {
  TWideValue<TLimbs> v{r.FMagnitude, r.FExponent, 0};
  const TWideNumberOf<TLimbs> z =
      ShiftRight(MultiplyHigh(r.FMagnitude, r.FMagnitude), -2 * r.FExponent);  // r^2, 2 units low
  const TWideNumberOf<TLimbs> sum = AlternatingSeries(z, 1, &v.FError);
  v.FMantissa = Subtract(r.FMagnitude, MultiplyHigh(r.FMagnitude, sum));
  v.FError = 2 * (v.FError + 1) + kSineReductionErrorUnits;
  if (v.FMantissa.FLimb[0] < kHalfLimb) {
    v.FMantissa = ShiftLeft(v.FMantissa, 1);
    --v.FExponent;
  }
  return v;
}

// cos r = 1 - (r^2/2! - r^4/4! + ...) for r <= pi/4; the reduction's error
// moves it by less than r^2 kReductionErrorUnits units, r^2 < 0.62.
template <class TLimbs>
TWideValue<TLimbs> CosineSeries(const TWideReductionOf<TLimbs>& r) {
  TWideValue<TLimbs> v;
  const TWideNumberOf<TLimbs> z =
      ShiftRight(MultiplyHigh(r.FMagnitude, r.FMagnitude), -2 * r.FExponent);
  const TWideNumberOf<TLimbs> sum = AlternatingSeries(z, 0, &v.FError);
  v.FError += kReductionErrorUnits;
  v.FMantissa = WideZero<TLimbs>(sum.FSize);
  if (IsZero(sum)) {
    // 1 itself: mantissa 1/2, exponent 1, where a unit is twice as large.
    v.FMantissa.FLimb[0] = kHalfLimb;
    v.FExponent = 1;
  } else {
    v.FMantissa = Subtract(v.FMantissa, sum);  // 1 - sum, modulo 1
  }
  return v;
}

// sin x at a precision of `limbs` limbs, rounded, where the rounding is
// decided at that precision.
template <class TLimbs>
std::optional<Extended> SineAt(const TExtendedBits& bits, int limbs,
                               const TReductionConstants& constants) {
  // Step 1: x = n pi/2 + r, |r| <= pi/4 (a hair beyond at most).
  const TWideReductionOf<TLimbs> r =
      ReduceExactly<TLimbs>(bits.FSignificand, bits.FExponent - kExtendedBias, limbs, constants);
  // Step 2: sin x is sin r, cos r, -sin r or -cos r by n modulo 4.
  const bool cosine = (r.FQuadrant & 1u) != 0;
  const TWideValue<TLimbs> v = cosine ? CosineSeries(r) : SineSeries(r);
  // Step 3: round to 64 bits if the error allows.
  return RoundedExtended(v, SineIsNegative(bits.FNegative, r.FQuadrant, r.FNegative));
}

}  // namespace

Extended ExactSine(Extended x, int firstLimbs) {
  const TExtendedBits bits = ExtendedBits(x);
  for (int limbs = firstLimbs;; limbs = std::min(2 * limbs, kMostReductionLimbs)) {
    if (const std::optional<Extended> sine =
            SineAt<TFixedLimbs>(bits, limbs, kStoredReductionConstants))
      return *sine;
    // sin x would have to lie within 2^-750 of a midpoint here, where about
    // 2^-150 is to be expected of the closest of all 2^80 arguments.
    if (limbs == kMostReductionLimbs) return UnboundedSine(x, 2 * kMostReductionLimbs);
  }
}

// The loop ends. sin x of a nonzero Extended x, an algebraic number, is
// transcendental (Lindemann-Weierstrass), so it is no midpoint between two
// Extended values but lies d 2^e from the nearest, for |sin x| in [2^(e-1),
// 2^e) and some d > 0. At L limbs the value is within (48 L + 40) 2^(-32 L)
// 2^e (the series has at most 8 L + 2 terms, each at least 4 bits below the
// one before), and RoundingOf decides once d exceeds twice that, as it does
// from some L on. Nothing bounds that L below kMostUnboundedLimbs (beyond
// it, std::bad_alloc), but it would take d below about 2^(-2^28), where
// about 2^-150 is to be expected of the closest of all arguments.
Extended UnboundedSine(Extended x, int firstLimbs) {
  const TExtendedBits bits = ExtendedBits(x);
  for (int limbs = firstLimbs;; limbs *= 2) {
    if (limbs > kMostUnboundedLimbs) throw std::bad_alloc();
    const TComputedReductionConstants constants = ComputeReductionConstants(limbs);
    if (const std::optional<Extended> sine =
            SineAt<TGrowingLimbs>(bits, limbs, {constants.FTwoOverPi, constants.FQuarterPi}))
      return *sine;
  }
}

}  // namespace modsin
