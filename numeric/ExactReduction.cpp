#include "numeric/ExactReduction.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <utility>

namespace modsin {
namespace {

// The closest approach. For x below 2^63 with x * 2/pi not within 1/2 of 0,
// |x * 2/pi - n| >= 2^-68.86. Over the significands m < 2^64 of one binade
// (x = m 2^e), the least distance of m * 2^e * 2/pi from a whole number is
// that of the last convergent of 2^e * 2/pi whose denominator is below 2^64
// (best approximations); over e = -63 ... -1 it is smallest for e = -15,
// m = 18102975828909478217. So the fraction of a turn has at most 68 leading
// zeros, and 2/pi needs 64 + 69 bits more than the remainder keeps.
constexpr int kMostLeadingZeros = 68;
static_assert(kReductionGuardLimbs * 32 >= kMostLeadingZeros + 64 + 28);

// Fixed limbs hold ReduceExactly's product: 2 + window + 2 limbs.
static_assert(kMostReductionLimbs + kReductionGuardLimbs + 4 <= kMaxWideLimbs);

constexpr int kWordBits = 64;

// Limbs 2k and 2k + 1 of a constant as one 64-bit word.
constexpr std::uint64_t Word(const std::uint32_t* limbs, std::size_t k) {
  return (std::uint64_t{limbs[2 * k]} << kLimbBits) | limbs[2 * k + 1];
}

// The same constants in 64-bit words: 256 bits of 2/pi, 128 of pi/4.
constexpr std::uint64_t kTwoOverPiWords[] = {Word(kTwoOverPi, 0), Word(kTwoOverPi, 1),
                                             Word(kTwoOverPi, 2), Word(kTwoOverPi, 3)};
constexpr std::uint64_t kQuarterPiWords[] = {Word(kQuarterPi, 0), Word(kQuarterPi, 1)};

// The largest significand of an argument in [1/2, 1) below pi/4:
// floor(pi/4 * 2^64).
constexpr std::uint64_t kBelowQuarterPi = kQuarterPiWords[0];

bool BelowQuarterPi(std::uint64_t significand, int exponent) {
  return exponent < -1 || (exponent == -1 && significand <= kBelowQuarterPi);
}

// The 64 bits that start `shift` bits (0 to 63) into high, followed by low.
std::uint64_t WordAt(std::uint64_t high, std::uint64_t low, int shift) {
  return shift == 0 ? high : (high << shift) | (low >> (kWordBits - shift));
}

// atan(1/m) = p - p^3/3 + p^5/5 - ... for p = 1/m, in fractions of `limbs`
// limbs: from `power`, p low by less than a unit, the powers p^(2k+1) by
// truncated division by m^2 >= 4, each low by less than 4/3 units (1 + 1/3
// of the error before); the terms, divided by 2k + 1 >= 3, by less than 1.5
// units. The sum stops at the first power that truncates to zero, below 4/3
// units: the terms left out, alternating and shrinking, add up to less than
// the first of them, below half a unit. So the sum is within 1.5 (terms + 2)
// units, in [0, 1) throughout (each partial sum lies between p - p^3/3 and p).
TGrowingWideNumber InverseArctangent(TGrowingWideNumber power, std::uint32_t mSquared) {
  TGrowingWideNumber sum = power;
  for (std::uint32_t k = 1;; ++k) {
    power = DivideBy(power, mSquared);
    if (IsZero(power)) return sum;
    const TGrowingWideNumber term = DivideBy(power, 2 * k + 1);
    sum = k % 2 == 1 ? Subtract(sum, term) : Add(sum, term);
  }
}

// pi/4 = atan(1/2) + atan(1/3) (Euler), in fractions of `limbs` limbs: 1/2 is
// exact, 1/3 low by less than a unit (the limb (2^32 - 1)/3 throughout).
// atan(1/2) takes at most 16 limbs + 1 terms (p^(2k+1) = 2^-(2k+1)), atan(1/3)
// at most 32 limbs / log2(9) + 1 < 10.1 limbs + 1: with the bound above, the
// sum is within 1.5 (26.1 limbs + 6) < 40 limbs + 9 units of pi/4.
TGrowingWideNumber QuarterPi(int limbs) {
  TGrowingWideNumber half = WideZero<TGrowingLimbs>(limbs);
  half.FLimb[0] = kHalfLimb;
  TGrowingWideNumber third = WideZero<TGrowingLimbs>(limbs);
  std::fill(third.FLimb.begin(), third.FLimb.end(), 0x55555555);
  return Add(InverseArctangent(half, 4), InverseArctangent(third, 9));
}

// The limbs that the constants are computed with beyond those returned. With
// the error above below 40 (limbs + 2) + 9 < 2^32 units of the last of them,
// far less than 2^-30 of a returned limb's unit is left once they are cut off.
constexpr int kConstantGuardLimbs = 2;

// The reduction's five steps, written once for its two forms: ReduceFast's
// in 64-bit words (TWordSteps) and ReduceExactly's in limbs (TLimbSteps).
// TSteps holds the fraction of a turn that step 2 leaves as TSteps::TTurns,
// the remainder's magnitude as TSteps::TMagnitude, and does to them what each
// step does, at its own precision (where the errors are counted).
template <class TSteps>
TReductionOf<typename TSteps::TMagnitude> Reduce(const TSteps& steps, std::uint64_t significand,
                                                 int exponent) {
  TReductionOf<typename TSteps::TMagnitude> r;
  // Step 1: below pi/4 the argument is its own remainder: x = (significand /
  // 2^64) * 2^(exponent + 1).
  if (BelowQuarterPi(significand, exponent)) {
    r.FExponent = exponent + 1;
    r.FMagnitude = steps.Argument(significand);
    return r;
  }

  // Step 2: x * 2/pi: the low bits of its whole part are n modulo 4, its
  // fraction the remainder in turns.
  std::uint64_t whole = 0;
  typename TSteps::TTurns fraction = steps.Turns(significand, exponent, &whole);
  r.FQuadrant = static_cast<unsigned>(whole) & 3u;

  // Step 3: from one half of a turn on, n is the next whole number and the
  // remainder lies below it: 1 - fraction.
  if (steps.AtLeastHalf(fraction)) {
    r.FQuadrant = (r.FQuadrant + 1) & 3u;
    r.FNegative = true;
    fraction = steps.Complement(fraction);
  }

  // Step 4: normalise: the leading zeros (at most kMostLeadingZeros) shifted
  // out, the rest cut to the magnitude's precision.
  int leadingZeros = 0;
  const typename TSteps::TMagnitude normalised = steps.Normalised(fraction, &leadingZeros);

  // Step 5: turns to radians, times pi/2 = 2 * pi/4. The product with pi/4
  // lies in [1/4, 1); below 1/2 it is doubled.
  r.FMagnitude = steps.TimesQuarterPi(normalised);
  r.FExponent = 1 - leadingZeros;
  if (!steps.AtLeastHalf(r.FMagnitude)) {
    r.FMagnitude = steps.Doubled(r.FMagnitude);
    --r.FExponent;
  }
  return r;
}

// ReduceFast's steps: the fraction of a turn to 192 bits in three words, the
// magnitude to 128 bits in two, the most significant word first.
struct TWordSteps {
  using TTurns = std::array<std::uint64_t, 3>;
  using TMagnitude = TWordPair;

  static TWordPair Argument(std::uint64_t significand) { return {significand, 0}; }

  // The 5-word product of the significand and 256 bits of 2/pi, the first
  // word whole. x * 2/pi is the product times 2^(exponent - 63): the whole
  // part is word 0 shifted right by 63 - exponent (1 to 64) bits, and the
  // fraction, kept to 192 bits, starts 1 + exponent bits into word 0. The
  // truncations leave it low by less than 2^-192 + 2^(exponent + 1 - 256).
  static TTurns Turns(std::uint64_t significand, int exponent, std::uint64_t* whole) {
    std::uint64_t product[5];
    std::uint64_t carry = 0;
    for (int k = 3; k >= 0; --k) {
      const TWordPair part = MultiplyWords(significand, kTwoOverPiWords[k]);
      product[k + 1] = part.FLow + carry;
      carry = part.FHigh + (product[k + 1] < carry ? 1 : 0);
    }
    product[0] = carry;
    const int shift = exponent + 1;
    *whole = WordAt(0, product[0], shift);
    return {WordAt(product[0], product[1], shift), WordAt(product[1], product[2], shift),
            WordAt(product[2], product[3], shift)};
  }

  static bool AtLeastHalf(const TTurns& f) { return (f[0] >> (kWordBits - 1)) != 0; }
  static bool AtLeastHalf(TWordPair m) { return (m.FHigh >> (kWordBits - 1)) != 0; }

  // 1 - f as the one's complement, 2^-192 below the two's and with no carry
  // through the words: f is low by less than e = 2^-192 + 2^(exponent + 1 -
  // 256), so this too lies within e of 1 minus the true fraction.
  static TTurns Complement(const TTurns& f) { return {~f[0], ~f[1], ~f[2]}; }

  // To 128 bits. At most kMostLeadingZeros zeros lead, so the error so far
  // is below 2^(-192 + 1 + 69) = 2^-122 relative.
  static TWordPair Normalised(TTurns f, int* leadingZeros) {
    *leadingZeros = 0;
    if (f[0] == 0) {
      f = {f[1], f[2], 0};
      *leadingZeros = kWordBits;
    }
    // (The mask keeps a zero fraction, which the closest approach rules out,
    // from shifting by 64.)
    const int zeros = std::countl_zero(f[0]) & (kWordBits - 1);
    *leadingZeros += zeros;
    return {WordAt(f[0], f[1], zeros), WordAt(f[1], f[2], zeros)};
  }

  // The top 128 bits of the product; the low halves of the cross products
  // and all of m.FLow * pi/4's second word are left out, less than 3 units
  // of the product's last place, itself above 1/4: in all the remainder is
  // within 2^-121 of itself.
  static TWordPair TimesQuarterPi(TWordPair m) {
    const TWordPair top = MultiplyWords(m.FHigh, kQuarterPiWords[0]);
    const std::uint64_t cross1 = MultiplyWords(m.FHigh, kQuarterPiWords[1]).FHigh;
    const std::uint64_t cross2 = MultiplyWords(m.FLow, kQuarterPiWords[0]).FHigh;
    std::uint64_t low = top.FLow + cross1;
    std::uint64_t high = top.FHigh + (low < cross1 ? 1 : 0);
    low += cross2;
    high += low < cross2 ? 1 : 0;
    return {high, low};
  }

  static TWordPair Doubled(TWordPair m) {
    return {(m.FHigh << 1) | (m.FLow >> (kWordBits - 1)), m.FLow << 1};
  }
};

// ReduceExactly's steps: the magnitude in `limbs` = FLimbs limbs, the
// fraction of a turn in a window of `window` = limbs + kReductionGuardLimbs.
template <class TLimbs>
struct TLimbSteps {
  using TTurns = TWideNumberOf<TLimbs>;
  using TMagnitude = TWideNumberOf<TLimbs>;

  int FLimbs;
  const TReductionConstants& FConstants;

  TMagnitude Argument(std::uint64_t significand) const {
    TMagnitude a = WideZero<TLimbs>(FLimbs);
    a.FLimb[0] = static_cast<std::uint32_t>(significand >> kLimbBits);
    a.FLimb[1] = static_cast<std::uint32_t>(significand);
    return a;
  }

  // significand * 2/pi (to `window` limbs) exactly, as a fraction whose first
  // two limbs are the whole part, with two more limbs of room. x * 2/pi is
  // that product times 2^(exponent - 63); shifted right by 63 - exponent bits
  // (1 to 64), its first two limbs hold the whole part of x * 2/pi and the
  // rest its fraction, of which `window` limbs are kept. 2/pi's last unit (a
  // hair more for computed limbs) and the fraction's truncation put x * 2/pi
  // off by less than 2^(exponent + 1 - 32 window) + 2^(-32 window) <=
  // 2^(63.01 - 32 window).
  TTurns Turns(std::uint64_t significand, int exponent, std::uint64_t* whole) const {
    const int window = FLimbs + kReductionGuardLimbs;
    TWideNumberOf<TLimbs> product =
        MultiplyWhole(significand, WideFromLimbs<TLimbs>(FConstants.FTwoOverPi.data(), window));
    Resize(product, product.FSize + 2);
    const TWideNumberOf<TLimbs> turns = ShiftRight(product, 63 - exponent);
    *whole = Limbs64(turns, 0);
    return WideFromLimbs<TLimbs>(&turns.FLimb[2], window);
  }

  static bool AtLeastHalf(const TWideNumberOf<TLimbs>& a) { return a.FLimb[0] >= kHalfLimb; }

  // Modulo 1.
  static TTurns Complement(const TTurns& f) { return Subtract(WideZero<TLimbs>(f.FSize), f); }

  // With at most kMostLeadingZeros leading zeros, the relative error so far
  // is below 2^(63.01 - 32 window + 68.86) < 2^(-28 - 32 limbs) and `limbs`
  // limbs remain after the shift.
  TMagnitude Normalised(TTurns f, int* leadingZeros) const {
    *leadingZeros = LeadingZeros(f);
    f = ShiftLeft(f, *leadingZeros);
    Resize(f, FLimbs);
    return f;
  }

  // The truncation of the fraction (2^(1 - 32 limbs) relative), pi/4's last
  // unit (the same, with room for a computed one's hair) and the product's
  // truncation (a unit of a product >= 1/4: 2^(2 - 32 limbs)) add up with
  // step 4's to less than 2^(4 - 32 limbs).
  TMagnitude TimesQuarterPi(const TMagnitude& m) const {
    return MultiplyHigh(m, WideFromLimbs<TLimbs>(FConstants.FQuarterPi.data(), FLimbs));
  }

  static TMagnitude Doubled(const TMagnitude& m) { return ShiftLeft(m, 1); }
};

}  // namespace

TFastReduction ReduceFast(std::uint64_t significand, int exponent) {
  return Reduce(TWordSteps{}, significand, exponent);
}

template <class TLimbs>
TWideReductionOf<TLimbs> ReduceExactly(std::uint64_t significand, int exponent, int limbs,
                                       const TReductionConstants& constants) {
  return Reduce(TLimbSteps<TLimbs>{limbs, constants}, significand, exponent);
}

TComputedReductionConstants ComputeReductionConstants(int limbs) {
  const int window = limbs + kReductionGuardLimbs;
  TGrowingWideNumber quarterPi = QuarterPi(window + kConstantGuardLimbs);

  // 2/pi = (1/2) / (pi/4), truncated: the quotient of 1/2 by the computed
  // pi/4, which moves it by less than 0.83 times its own error (the
  // derivative of 1/(2p), 1/(2p^2), at p near pi/4): a hair. The quotient's
  // bits come first to last, so its first `window` limbs are the same
  // whatever the length of pi/4.
  TGrowingWideNumber half = WideZero<TGrowingLimbs>(quarterPi.FSize);
  half.FLimb[0] = kHalfLimb;
  TGrowingWideNumber twoOverPi = Divide(half, quarterPi);
  Resize(twoOverPi, window);
  Resize(quarterPi, limbs);
  return {std::move(twoOverPi.FLimb), std::move(quarterPi.FLimb)};
}

template TWideReductionOf<TFixedLimbs> ReduceExactly(std::uint64_t, int, int,
                                                     const TReductionConstants&);
template TWideReductionOf<TGrowingLimbs> ReduceExactly(std::uint64_t, int, int,
                                                       const TReductionConstants&);

}  // namespace modsin
