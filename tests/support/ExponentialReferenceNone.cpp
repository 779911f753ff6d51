#include "tests/support/ExponentialReference.h"

namespace modsin::testing {

std::optional<TOutcome> ReferenceExponential(Extended) {
  return std::nullopt;
}

std::optional<TOutcome> ReferenceNaturalLog(Extended) {
  return std::nullopt;
}

std::optional<TOutcome> ReferenceRealPower(Extended, Extended) {
  return std::nullopt;
}

}  // namespace modsin::testing
