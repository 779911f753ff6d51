#include "tests/support/ExponentialReference.h"

#include "tests/support/MpfrExponential.h"

namespace modsin::testing {

std::optional<TOutcome> ReferenceExponential(Extended x) {
  return ExpectedExponential(x);
}

std::optional<TOutcome> ReferenceNaturalLog(Extended x) {
  return ExpectedNaturalLog(x);
}

std::optional<TOutcome> ReferenceRealPower(Extended base, Extended exponent) {
  return ExpectedRealPower(base, exponent);
}

}  // namespace modsin::testing
