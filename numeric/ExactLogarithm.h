// The logarithm correctly rounded to Extended by its series in fixed-point
// fractions of as many limbs as the rounding needs: NaturalLog's slow path,
// for the arguments that its fast path cannot decide. Integer arithmetic
// only, so it depends neither on the processor nor on the x87 control word.
#pragma once

#include "numeric/Extended.h"

namespace modsin {

// The first precision tried, in 32-bit limbs.
inline constexpr int kExactLogarithmFirstLimbs = 6;

// kLn2 (ln 2 rounded to Extended) times log2(x), the exact product rounded once to the
// nearest Extended, for a positive finite x (subnormal ones included) that
// is not a power of two. No tie can arise: log2(x) is then irrational. The
// precision doubles without bound until the rounding is decided
// (std::bad_alloc where memory runs out). 2 <= firstLimbs.
Extended ExactNaturalLog(Extended x, int firstLimbs = kExactLogarithmFirstLimbs);

}  // namespace modsin
