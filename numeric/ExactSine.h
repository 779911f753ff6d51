// The sine correctly rounded to Extended by series in fixed-point fractions of
// as many limbs as the rounding needs: slow, rare, and right. Integer
// arithmetic only, so it does not depend on the x87 control word.
#pragma once

#include "numeric/Extended.h"

namespace modsin {

// The first precision tried, in 32-bit limbs: 192 bits, of which the series
// and the reduction may spoil the last 12.
inline constexpr int kExactSineFirstLimbs = 6;

// sin x rounded to the nearest Extended (ties to even, which sin of a nonzero
// Extended never meets) for a normal x with 2^-32 <= |x| < 2^63. Where the
// value at one precision lies too close to a midpoint between two Extended
// values, the precision doubles, up to kMostReductionLimbs (768 bits).
Extended ExactSine(Extended x, int firstLimbs = kExactSineFirstLimbs);

}  // namespace modsin
