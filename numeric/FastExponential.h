// The fast paths of the exponential and the logarithm: 2^f - 1 and ln 2 *
// log2(x) in Extended arithmetic, each correctly rounded wherever its stated
// error bound decides the rounding, and nothing where it does not.
#pragma once

#include <optional>

#include "numeric/Extended.h"

namespace modsin {

// 2^f - 1 rounded to the nearest Extended (ties to even), for a normal f with
// 2^-66 <= |f| <= 1/2, or nullopt where the fast value cannot decide the
// rounding (about one f in 5000 with |f| <= 1/128, fewer above). Needs
// modsin's own x87 control word (kX87ControlWord: 64-bit precision, to
// nearest); the caller ensures it.
std::optional<Extended> FastPowerOfTwoMinusOne(Extended f);

// The exact product of kLn2 = 0xB17217F7D1CF79ACp-64L (ln 2 rounded to
// Extended, not the true ln 2) and log2(x), rounded once to the nearest
// Extended, for a positive normal x that is not a power of two; or nullopt
// where the fast value cannot decide the rounding: about one random x in
// 5000, but many of the x just beside a power of two 2^e, e != 0, whose
// result lies within about (x - 2^e)^2 of a midpoint. Same control-word
// precondition.
std::optional<Extended> FastNaturalLog(Extended x);

// The fast values before their rounding test, for the tests of their error
// bounds: FHigh + FLow exactly, |FLow| at most half a unit of FHigh, and the
// error that the rounding test allows for, twice the bound on |FHigh + FLow -
// the true value| that the analysis gives (the other half is the test's
// margin).
struct TFastSum {
  Extended FHigh;
  Extended FLow;
  Extended FError;
};
TFastSum PowerOfTwoMinusOneSum(Extended f);
TFastSum NaturalLogSum(Extended x);

}  // namespace modsin
