// A value known as a wide fraction to within a bound of error, and whether
// that bound decides its rounding to Extended: the last step of every exact
// path (the sine, the exponential, the logarithm).
#pragma once

#include <cstdint>
#include <optional>

#include "numeric/Extended.h"
#include "numeric/WideNumber.h"

namespace modsin {

// A value FMantissa * 2^FExponent, FMantissa in [1/2, 1], within FError
// units of the mantissa's last place of the true one.
template <class TLimbs>
struct TWideValue {
  TWideNumberOf<TLimbs> FMantissa;
  int FExponent = 0;
  std::uint32_t FError = 0;
};

// A mantissa in [1/4, 1) shifted up into [1/2, 1) where it lies below, its
// error (in units of its last place) doubled with it.
template <class TLimbs>
void Normalise(TWideValue<TLimbs>& value) {
  if (value.FMantissa.FLimb[0] < kHalfLimb) {
    value.FMantissa = ShiftLeft(value.FMantissa, 1);
    --value.FExponent;
    value.FError *= 2;
  }
}

// How a value rounds to 64 bits.
enum class TRounding { kDown, kUp, kUndecided };

// Rounds down when the true value surely lies below the midpoint after the
// first 64 bits, up when surely above. An error below a quarter of the last
// kept bit also settles the binade: at a power of two the midpoint on the
// other side lies farther away than the error reaches.
template <class TLimbs>
TRounding RoundingOf(const TWideValue<TLimbs>& v) {
  const int n = v.FMantissa.FSize;
  if (n < 3) return TRounding::kUndecided;
  const TWideNumberOf<TLimbs> rest = WideFromLimbs<TLimbs>(&v.FMantissa.FLimb[2], n - 2);
  TWideNumberOf<TLimbs> half = WideZero<TLimbs>(n - 2);
  half.FLimb[0] = kHalfLimb;
  const bool above = rest.FLimb[0] >= kHalfLimb;
  const TWideNumberOf<TLimbs> distance = above ? Subtract(rest, half) : Subtract(half, rest);
  // distance > error, for an error within one limb.
  bool far = distance.FLimb[n - 3] > v.FError;
  for (int i = 0; i < n - 3; ++i)
    far = far || distance.FLimb[i] != 0;
  if (!far) return TRounding::kUndecided;
  return above ? TRounding::kUp : TRounding::kDown;
}

// The value rounded to the nearest Extended with the given sign, where its
// error decides the rounding; the result must lie in the normal range.
template <class TLimbs>
std::optional<Extended> RoundedExtended(const TWideValue<TLimbs>& v, bool negative) {
  const TRounding rounding = RoundingOf(v);
  if (rounding == TRounding::kUndecided) return std::nullopt;
  std::uint64_t significand = Limbs64(v.FMantissa, 0);
  int exponent = v.FExponent - 1;
  if (rounding == TRounding::kUp && ++significand == 0) {
    significand = kExtendedLeadingBit;
    ++exponent;
  }
  return MakeExtended(negative, exponent, significand);
}

}  // namespace modsin
