// The reference for the sine's tests and fuzz target: MPFR's sine of an
// Extended, correctly rounded to 64 bits in the Extended exponent range.
#pragma once

#include <mpfr.h>

#include <cmath>

#include "numeric/Extended.h"

namespace modsin::testing {

// What Sine must return: sin x rounded to the nearest Extended, and +0 from
// |x| = 2^63 on. x finite.
inline Extended ExpectedSine(Extended x) {
  if (std::fabs(x) >= 0x1p63L) return +0.0L;
  // The Extended range in MPFR's terms (significands in [1/2, 1)): the
  // least subnormal is 2^-16445, the largest finite value below 2^16384.
  const mpfr_exp_t emin = mpfr_get_emin();
  const mpfr_exp_t emax = mpfr_get_emax();
  mpfr_set_emin(-16444);
  mpfr_set_emax(16384);
  mpfr_t argument;
  mpfr_t sine;
  mpfr_init2(argument, 64);
  mpfr_init2(sine, 64);
  mpfr_set_ld(argument, x, MPFR_RNDN);
  const int rounding = mpfr_sin(sine, argument, MPFR_RNDN);
  mpfr_subnormalize(sine, rounding, MPFR_RNDN);
  const Extended result = mpfr_get_ld(sine, MPFR_RNDN);
  mpfr_clear(argument);
  mpfr_clear(sine);
  mpfr_set_emin(emin);
  mpfr_set_emax(emax);
  return result;
}

// The same bits, so that -0 and +0 differ.
inline bool SameExtended(Extended a, Extended b) {
  return a == b && std::signbit(a) == std::signbit(b);
}

}  // namespace modsin::testing
