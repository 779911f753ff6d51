#include "numeric/ExactExponential.h"

#include <cstdint>
#include <optional>

#include "numeric/LogTwo.h"
#include "numeric/WideNumber.h"
#include "numeric/WideRounding.h"

namespace modsin {
namespace {

// 2^f - 1 = e^y - 1 for y = f ln 2, at a precision of `limbs` limbs, where
// that decides the rounding. Errors below are in units of the last place of
// the mantissa at hand.
//
// Step 1: |y| = mantissa * 2^exponent, from the exact product of f's
// significand and ln 2, which is low by less than 2 units; normalising at
// most doubles that, and the cut to `limbs` limbs adds 1: low by less than 5.
//
// Step 2: e^y - 1 = y (1 + s) with s = y/2! + y^2/3! + ..., summed from the
// fraction z = |y| <= 0.35 (within 3.5 units) as z/2 + z^2/3! + ... for y > 0
// and -(z/2 - z^2/3! + ...) for y < 0. Each term is the one before times z
// over k + 2 <= 1/8.6 of it, so each is within 3 units (its two truncations,
// a ninth of the error before and of z's); the terms left out, from the
// first that truncates to 0, add up to less than 3.5 units: the sum is
// within 3 terms + 4.
//
// Step 3: |y| (1 +- s), by one product (within s's error + 2) and one sum or
// difference (within 5 more, and halving for the sum adds a unit): within
// 3 terms + 15, which the normalising shift may double.
template <class TLimbs>
std::optional<Extended> PowerOfTwoMinusOneAt(const TExtendedBits& bits, int limbs,
                                             const TLogConstants& constants) {
  // Step 1: the product as a fraction: significand/2^64 * ln 2, in [1/4, 1),
  // so that |y| = product * 2^(exponent + 1).
  TWideNumberOf<TLimbs> y =
      MultiplyWhole(bits.FSignificand, WideFromLimbs<TLimbs>(constants.FLnTwo.data(), limbs));
  int exponent = bits.FExponent - kExtendedBias + 1;
  if (y.FLimb[0] < kHalfLimb) {
    y = ShiftLeft(y, 1);
    --exponent;
  }
  Resize(y, limbs);

  // Step 2: s, or -s for y < 0 (its sign then alternates from the first term).
  const bool negative = bits.FNegative;
  const TWideNumberOf<TLimbs> z = ShiftRight(y, -exponent);  // |y| < 1/2: exponent <= -1
  TWideNumberOf<TLimbs> term = DivideBy(z, 2);
  TWideNumberOf<TLimbs> sum = term;
  std::uint32_t terms = 1;
  for (std::uint32_t k = 1;; ++k) {
    term = DivideBy(MultiplyHigh(term, z), k + 2);
    if (IsZero(term)) break;
    sum = negative && k % 2 == 1 ? Subtract(sum, term) : Add(sum, term);
    ++terms;
  }

  // Step 3: |2^f - 1| = |y| (1 + s) or |y| (1 - s), in [1/4, 1) * 2^exponent.
  const TWideNumberOf<TLimbs> part = MultiplyHigh(y, sum);
  TWideValue<TLimbs> v{{}, exponent, 3 * terms + 15};
  if (negative) {
    v.FMantissa = Subtract(y, part);
  } else {
    // Halved first: the sum may reach 1.2.
    v.FMantissa = Add(ShiftRight(y, 1), ShiftRight(part, 1));
    ++v.FExponent;
  }
  Normalise(v);
  return RoundedExtended(v, negative);
}

}  // namespace

Extended ExactPowerOfTwoMinusOne(Extended f, int firstLimbs) {
  const TExtendedBits bits = ExtendedBits(f);
  return FirstDecided(firstLimbs, [&](auto storage, int limbs, const TLogConstants& constants) {
    return PowerOfTwoMinusOneAt<decltype(storage)>(bits, limbs, constants);
  });
}

}  // namespace modsin
