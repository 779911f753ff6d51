// The logarithm correctly rounded to Extended by its series in fixed-point
// fractions of as many limbs as the rounding needs: NaturalLog's slow path,
// for the arguments that its fast path cannot decide. Integer arithmetic
// only, so it depends neither on the processor nor on the x87 control word.
#pragma once

#include <cstdint>

#include "numeric/Extended.h"

namespace modsin {

// ln 2 rounded to the nearest Extended, as a significand: ln 2 is about
// 0.21 units of its last place below 0xB17217F7D1CF79ACp-64.
inline constexpr std::uint64_t kLnTwoSignificand = 0xB17217F7D1CF79AC;

// The first precision tried, in 32-bit limbs.
inline constexpr int kExactLogarithmFirstLimbs = 6;

// kLnTwoSignificand * 2^-64 * log2(x), the exact product rounded once to the
// nearest Extended, for a positive finite x (subnormal ones included) that
// is not a power of two. No tie can arise: log2(x) is then irrational. The
// precision doubles without bound until the rounding is decided
// (std::bad_alloc where memory runs out). 2 <= firstLimbs.
Extended ExactNaturalLog(Extended x, int firstLimbs = kExactLogarithmFirstLimbs);

}  // namespace modsin
