// The reference for the sine's tests and fuzz target: MPFR's sine of an
// Extended, correctly rounded to 64 bits in the Extended exponent range.
#pragma once

#include <mpfr.h>

#include <cmath>

#include "numeric/Extended.h"
#include "tests/support/Mpfr.h"

namespace modsin::testing {

// What Sine must return: sin x rounded to the nearest Extended, and +0 from
// |x| = 2^63 on. x finite.
inline Extended ExpectedSine(Extended x) {
  if (std::fabs(x) >= 0x1p63L) return +0.0L;
  const TExtendedRange range;
  TMpfrNumber argument(64);
  TMpfrNumber sine(64);
  mpfr_set_ld(*argument, x, MPFR_RNDN);
  const int rounding = mpfr_sin(*sine, *argument, MPFR_RNDN);
  mpfr_subnormalize(*sine, rounding, MPFR_RNDN);
  return mpfr_get_ld(*sine, MPFR_RNDN);
}

// The same bits, so that -0 and +0 differ.
inline bool SameExtended(Extended a, Extended b) {
  return a == b && std::signbit(a) == std::signbit(b);
}

}  // namespace modsin::testing
