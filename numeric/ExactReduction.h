// The sine's argument reduction: x minus the nearest whole multiple of pi/2,
// with enough bits of 2/pi that the remainder keeps the requested precision
// for every Extended argument below 2^63, however close to a multiple it lies.
#pragma once

#include <cstdint>

#include "numeric/WideNumber.h"

namespace modsin {

// Limbs of 2/pi beyond the remainder's precision: 64 for the argument's
// significand, 69 for the remainder's leading zeros (kMostLeadingZeros), and
// the rest for the bound below.
inline constexpr int kReductionGuardLimbs = 5;

// The most precision ReduceExactly serves, in limbs: the bits of 2/pi and
// pi/4 held.
inline constexpr int kMostReductionLimbs = 24;

// |x - n pi/2| for the whole number n nearest to x * 2/pi (or, from pi/4 on,
// next to it: the quadrant decides), as magnitude * 2^exponent.
struct TWideReduction {
  unsigned quadrant = 0;  // n modulo 4
  bool negative = false;  // x - n pi/2 < 0
  int exponent = 0;
  TWideNumber magnitude;  // in [1/2, 1), `limbs` limbs
};

// The remainder to 128 bits, (high + low * 2^-64) * 2^exponent with the
// leading bit of high set, for Sine's fast path.
struct TFastReduction {
  unsigned quadrant = 0;
  bool negative = false;
  int exponent = 0;
  std::uint64_t high = 0;
  std::uint64_t low = 0;
};

// As ReduceExactly with 4 limbs, in 64-bit words: within 2^-122 of the
// remainder relative to it. The same arguments.
TFastReduction ReduceFast(std::uint64_t significand, int exponent);

// For x = significand * 2^(exponent - 63) with the leading bit of the
// significand set, 2^-32 <= x < 2^63. Below pi/4, n = 0 and the magnitude is
// x itself, exactly. Otherwise the magnitude is low or high by less than
// 2^(4 - 32 limbs) of itself. limbs <= kMostReductionLimbs.
TWideReduction ReduceExactly(std::uint64_t significand, int exponent, int limbs);

}  // namespace modsin
