// Any 10 bytes as an Extended x: Exponential(x) and NaturalLog(x) follow
// their step-by-step definitions (the MPFR reference of MpfrExponential.h),
// failures included. From 20 bytes on, the first 10 and the next 10 are also
// a base and an exponent, and RealPower follows its definition wherever it
// does not take IntegerPower.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "numeric/Extended.h"
#include "numeric/FloatEnvironment.h"
#include "numeric/Primitives.h"
#include "tests/support/MpfrExponential.h"

namespace {

using modsin::Extended;
using modsin::testing::TOutcome;

constexpr std::size_t kEncodedBytes = 10;

Extended Decode(const std::uint8_t* data) {
  Extended x = 0;
  std::memcpy(&x, data, kEncodedBytes);
  return x;
}

void Check(const char* property, const std::string& call, const TOutcome& got,
           const TOutcome& expected) {
  if (got == expected) return;
  std::fprintf(stderr, "%s is %s, not %s\n", call.c_str(), modsin::testing::Describe(got).c_str(),
               modsin::testing::Describe(expected).c_str());
  modsin::fuzz::Fail(property);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  modsin::EstablishFloatEnvironment();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using modsin::testing::Hex;
  using modsin::testing::OutcomeOf;
  if (size < kEncodedBytes) return 0;
  const Extended x = Decode(data);
  Check("Exponential follows its definition", "Exponential(" + Hex(x) + ")",
        OutcomeOf([&] { return modsin::Exponential(x); }), modsin::testing::ExpectedExponential(x));
  Check("NaturalLog is C log2 x rounded once", "NaturalLog(" + Hex(x) + ")",
        OutcomeOf([&] { return modsin::NaturalLog(x); }), modsin::testing::ExpectedNaturalLog(x));
  if (size < 2 * kEncodedBytes) return 0;
  const Extended exponent = Decode(data + kEncodedBytes);
  const std::optional<TOutcome> power = modsin::testing::ExpectedRealPower(x, exponent);
  if (power)
    Check("RealPower follows its definition", "RealPower(" + Hex(x) + ", " + Hex(exponent) + ")",
          OutcomeOf([&] { return modsin::RealPower(x, exponent); }), *power);
  return 0;
}
