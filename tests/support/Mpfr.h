// MPFR numbers and MPFR's exponent range held for a scope: what the
// references of the numeric tests build on.
#pragma once

#include <mpfr.h>

namespace modsin::testing {

// An MPFR number of `bits` bits, freed at the end of the scope.
class TMpfrNumber {
 public:
  explicit TMpfrNumber(mpfr_prec_t bits) { mpfr_init2(FValue, bits); }
  ~TMpfrNumber() { mpfr_clear(FValue); }
  TMpfrNumber(const TMpfrNumber&) = delete;
  TMpfrNumber& operator=(const TMpfrNumber&) = delete;
  mpfr_ptr operator*() { return FValue; }

 private:
  mpfr_t FValue;
};

// MPFR's exponent range set to the Extended's for a scope (significands in
// [1/2, 1)): the least subnormal is 2^-16445 (exponent -16444 with one bit),
// the largest finite value below 2^16384. With mpfr_subnormalize after each
// rounding, MPFR then rounds as the Extended format does, gradual underflow
// and overflow included.
class TExtendedRange {
 public:
  TExtendedRange() : FMin(mpfr_get_emin()), FMax(mpfr_get_emax()) {
    mpfr_set_emin(-16444);
    mpfr_set_emax(16384);
  }
  ~TExtendedRange() {
    mpfr_set_emin(FMin);
    mpfr_set_emax(FMax);
  }
  TExtendedRange(const TExtendedRange&) = delete;
  TExtendedRange& operator=(const TExtendedRange&) = delete;

 private:
  mpfr_exp_t FMin, FMax;
};

}  // namespace modsin::testing
