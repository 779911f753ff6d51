#include "numeric/ExactSine.h"

#include <algorithm>
#include <cstdint>

#include "numeric/ExactReduction.h"
#include "numeric/WideNumber.h"

namespace modsin {
namespace {

constexpr int kLimbBits = 32;
constexpr std::uint32_t kHalfLimb = 0x80000000;

// A value mantissa * 2^exponent, mantissa in [1/2, 1], within `error` units
// of the mantissa's last place of the true one.
struct TSeriesValue {
  TWideNumber mantissa;
  int exponent = 0;
  std::uint32_t error = 0;
};

// The alternating series t1 - t2 + t3 - ... with t(k+1) = t(k) * z / ((2k +
// 1 + c)(2k + 2 + c)) from t0 = 1: c = 1 gives the sine's terms z/3!, z^2/5!,
// ... and c = 0 the cosine's z/2!, z^2/4!, ...; summed until a term
// truncates to zero. For z < 0.62 every term is at most a twelfth of the one
// before, so each is low by less than 3 units (its own two truncations, z's
// 2 units divided by at least 2, and a twelfth of the error before), and the
// terms left out, alternating and shrinking, add up to less than the first
// of them: the sum is within 3 (terms + 1) units. Returns the sum and adds
// that bound to *error.
TWideNumber AlternatingSeries(const TWideNumber& z, std::uint32_t c, std::uint32_t* error) {
  TWideNumber term = DivideBy(z, (1 + c) * (2 + c));
  TWideNumber sum = term;
  std::uint32_t terms = 1;
  for (std::uint32_t k = 1;; ++k) {
    term = DivideBy(MultiplyHigh(term, z), (2 * k + 1 + c) * (2 * k + 2 + c));
    if (LeadingZeros(term) == term.size * kLimbBits) break;
    sum = k % 2 == 1 ? Subtract(sum, term) : Add(sum, term);
    ++terms;
  }
  *error += 3 * (terms + 1);
  return sum;
}

// sin r = r (1 - (r^2/3! - r^4/5! + ...)) for r = magnitude * 2^exponent <=
// pi/4. The product by r and its normalising shift at most double the
// series' error; the reduction's relative error, 16 units, grows by at most
// r / sin r < 1.12.
TSeriesValue SineSeries(const TWideReduction& r) {
  TSeriesValue v{r.magnitude, r.exponent, 0};
  const TWideNumber z =
      ShiftRight(MultiplyHigh(r.magnitude, r.magnitude), -2 * r.exponent);  // r^2, 2 units low
  const TWideNumber sum = AlternatingSeries(z, 1, &v.error);
  v.mantissa = Subtract(r.magnitude, MultiplyHigh(r.magnitude, sum));
  v.error = 2 * (v.error + 1) + 18;
  if (v.mantissa.limb[0] < kHalfLimb) {
    v.mantissa = ShiftLeft(v.mantissa, 1);
    --v.exponent;
  }
  return v;
}

// cos r = 1 - (r^2/2! - r^4/4! + ...) for r <= pi/4; the reduction's error
// moves it by less than r^2 * 16 units.
TSeriesValue CosineSeries(const TWideReduction& r) {
  TSeriesValue v;
  const TWideNumber z = ShiftRight(MultiplyHigh(r.magnitude, r.magnitude), -2 * r.exponent);
  const TWideNumber sum = AlternatingSeries(z, 0, &v.error);
  v.error += 16;
  if (LeadingZeros(sum) == sum.size * kLimbBits) {
    // 1 itself: mantissa 1/2, exponent 1, where a unit is twice as large.
    v.mantissa.size = sum.size;
    v.mantissa.limb[0] = kHalfLimb;
    v.exponent = 1;
  } else {
    v.mantissa = Subtract(TWideNumber{sum.size, {}}, sum);  // 1 - sum, modulo 1
  }
  return v;
}

// How a value rounds to 64 bits.
enum class TRounding { kDown, kUp, kUndecided };

// Rounds down when the true value surely lies below the midpoint after the
// first 64 bits, up when surely above. An error below a quarter of the last
// kept bit also settles the binade: at a power of two the midpoint on the
// other side lies farther away than the error reaches.
TRounding RoundingOf(const TSeriesValue& v) {
  const int n = v.mantissa.size;
  if (n < 3) return TRounding::kUndecided;
  TWideNumber rest = WideFromLimbs(&v.mantissa.limb[2], n - 2);
  TWideNumber half{n - 2, {}};
  half.limb[0] = kHalfLimb;
  const bool above = rest.limb[0] >= kHalfLimb;
  const TWideNumber distance = above ? Subtract(rest, half) : Subtract(half, rest);
  // distance > error, for an error within one limb.
  bool far = distance.limb[n - 3] > v.error;
  for (int i = 0; i < n - 3; ++i)
    far = far || distance.limb[i] != 0;
  if (!far) return TRounding::kUndecided;
  return above ? TRounding::kUp : TRounding::kDown;
}

}  // namespace

Extended ExactSine(Extended x, int firstLimbs) {
  const TExtendedBits bits = ExtendedBits(x);
  const int exponent = bits.exponent - kExtendedBias;
  for (int limbs = firstLimbs;; limbs = std::min(2 * limbs, kMostReductionLimbs)) {
    // Step 1: x = n pi/2 + r, |r| <= pi/4 (a hair beyond at most).
    const TWideReduction r = ReduceExactly(bits.significand, exponent, limbs);
    // Step 2: sin x is sin r, cos r, -sin r or -cos r by n modulo 4.
    const bool cosine = (r.quadrant & 1u) != 0;
    const TSeriesValue v = cosine ? CosineSeries(r) : SineSeries(r);
    // Step 3: round to 64 bits if the error allows. At the most precision
    // the value is taken as it rounds: sin of an Extended argument would have
    // to lie within 2^-750 of a midpoint, where about 2^-150 is to be expected
    // of the closest of all 2^80 arguments.
    TRounding rounding = RoundingOf(v);
    if (rounding == TRounding::kUndecided && limbs < kMostReductionLimbs) continue;
    if (rounding == TRounding::kUndecided)
      rounding = v.mantissa.limb[2] >= kHalfLimb ? TRounding::kUp : TRounding::kDown;
    std::uint64_t significand = Limbs64(v.mantissa, 0);
    int resultExponent = v.exponent - 1;
    if (rounding == TRounding::kUp && ++significand == 0) {
      significand = kExtendedLeadingBit;
      ++resultExponent;
    }
    const bool negative = (bits.negative != ((r.quadrant & 2u) != 0)) != (!cosine && r.negative);
    return MakeExtended(negative, resultExponent, significand);
  }
}

}  // namespace modsin
