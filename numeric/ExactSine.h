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
// values, the precision doubles: up to kMostReductionLimbs (768 bits) in
// limbs in place, with the stored constants, and beyond by UnboundedSine.
// 2 <= firstLimbs <= kMostReductionLimbs.
Extended ExactSine(Extended x, int firstLimbs = kExactSineFirstLimbs);

// The same from firstLimbs >= 2 on, with limbs on the heap and 2/pi and pi/4
// computed to each precision, doubling until the rounding is decided (for no
// argument met so far beyond 768 bits). Raises std::bad_alloc where memory
// runs out.
Extended UnboundedSine(Extended x, int firstLimbs);

}  // namespace modsin
