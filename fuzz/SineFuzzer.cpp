// Any 10 bytes as an Extended: Sine gives MPFR's correctly rounded sine (+0
// from 2^63 on), and RoundedSine of a double that value rounded once more;
// NaN, the infinities and the encodings that the x87 rejects raise
// EInvalidOp.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz/FuzzCheck.h"
#include "numeric/Extended.h"
#include "numeric/FloatEnvironment.h"
#include "numeric/MathError.h"
#include "numeric/Primitives.h"
#include "numeric/RoundedSine.h"
#include "tests/support/MpfrSine.h"

namespace {

constexpr std::size_t kEncodedBytes = 10;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  modsin::EstablishFloatEnvironment();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kEncodedBytes) return 0;
  modsin::Extended x = 0;
  std::memcpy(&x, data, kEncodedBytes);
  const modsin::TExtendedBits bits = modsin::ExtendedBits(x);
  const bool rejected =
      bits.FExponent == modsin::kExtendedMaxExponent ||
      (bits.FExponent != 0 && (bits.FSignificand & modsin::kExtendedLeadingBit) == 0);
  if (rejected) {
    try {
      (void)modsin::Sine(x);
    } catch (const modsin::EInvalidOp&) {
      return 0;
    }
    modsin::fuzz::Fail("Sine of a NaN, an infinity or an unsupported encoding raises EInvalidOp");
  }
  const modsin::Extended expected = modsin::testing::ExpectedSine(x);
  modsin::fuzz::Require(modsin::testing::SameExtended(expected, modsin::Sine(x)),
                        "Sine is MPFR's correctly rounded sine");
  const auto narrow = static_cast<double>(x);
  if (static_cast<modsin::Extended>(narrow) == x)
    modsin::fuzz::Require(modsin::RoundedSine(narrow) == static_cast<double>(expected),
                          "RoundedSine is MPFR's sine rounded to a double");
  return 0;
}
