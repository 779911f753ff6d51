// 2^f - 1 correctly rounded to Extended by its series in fixed-point
// fractions of as many limbs as the rounding needs: the exponential's slow
// path, for the arguments that its fast path cannot decide. Integer
// arithmetic only, so it depends neither on the processor nor on the x87
// control word.
#pragma once

#include "numeric/Extended.h"

namespace modsin {

// The first precision tried, in 32-bit limbs: 192 bits, of which the series
// may spoil the last 10.
inline constexpr int kExactExponentialFirstLimbs = 6;

// 2^f - 1 rounded to the nearest Extended, for a normal f with 2^-16381 <=
// |f| <= 1/2 (so that the result is normal). No tie can arise: 2^f is
// irrational for every f that is not a whole number. Where the value at one
// precision lies too close to a midpoint between two Extended values, the
// precision doubles, without bound (std::bad_alloc where memory runs out).
// 2 <= firstLimbs.
Extended ExactPowerOfTwoMinusOne(Extended f, int firstLimbs = kExactExponentialFirstLimbs);

}  // namespace modsin
