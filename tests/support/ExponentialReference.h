// The reference that the digest tests hold Exponential, NaturalLog and
// RealPower to argument by argument, so that a changed digest names the first
// argument that differs: MPFR's on Linux (ExponentialReferenceMpfr.cpp);
// none on Windows, where MPFR is not at hand and the digest alone stands
// (ExponentialReferenceNone.cpp).
#pragma once

#include <optional>

#include "numeric/Extended.h"
#include "tests/support/Outcome.h"

namespace modsin::testing {

// What the primitive must give, or std::nullopt where there is no reference
// (for RealPower also where it takes IntegerPower).
std::optional<TOutcome> ReferenceExponential(Extended x);
std::optional<TOutcome> ReferenceNaturalLog(Extended x);
std::optional<TOutcome> ReferenceRealPower(Extended base, Extended exponent);

}  // namespace modsin::testing
