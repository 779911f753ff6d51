// The exact paths of the exponential and the logarithm on their own, and the
// whole functions under a caller's foreign x87 control word: no reference
// needed, so the Windows build runs these too.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "numeric/ExactExponential.h"
#include "numeric/ExactLogarithm.h"
#include "numeric/Extended.h"
#include "numeric/FloatEnvironment.h"
#include "numeric/LogTwo.h"
#include "numeric/Primitives.h"

namespace modsin {
namespace {

// f for 2^f - 1 at the edges of each step: |f| = 1/2 and just below it, the
// least |f| served (2^-66), one binade above a power of two, and plain ones.
const std::vector<Extended> kExponents = {
    MakeExtended(false, -1, kExtendedLeadingBit),  MakeExtended(true, -1, kExtendedLeadingBit),
    MakeExtended(false, -2, ~std::uint64_t{0}),    MakeExtended(true, -2, ~std::uint64_t{0}),
    MakeExtended(false, -66, kExtendedLeadingBit), MakeExtended(true, -66, 0xC000000000000001),
    MakeExtended(false, -20, 0x8000000000000001),  MakeExtended(true, -7, 0xB504F333F9DE6484),
    MakeExtended(false, -33, 0xDEADBEEFCAFEF00D),  MakeExtended(true, -45, 0x9E3779B97F4A7C15),
};

// x for the logarithm: beside 1 on both sides, on both sides of sqrt(2)
// (where the argument is halved), exponents 1 and -1 (where the whole part
// and log2 of the significand meet with one sign and the other), subnormal,
// and the largest finite value.
const std::vector<Extended> kLogArguments = {
    MakeExtended(false, 0, 0x8000000000000001),      MakeExtended(false, -1, ~std::uint64_t{0}),
    MakeExtended(false, 0, 0xB504F333F9DE6484),      MakeExtended(false, 0, 0xB504F333F9DE6485),
    MakeExtended(false, 1, 0xB504F333F9DE6485),      MakeExtended(false, -1, 0xB504F333F9DE6484),
    MakeExtended(false, 1, 0x8000000000000001),      MakeExtended(false, -2, ~std::uint64_t{0}),
    MakeExtended(false, -16383, 0x0000000000012345), MakeExtended(false, 16383, ~std::uint64_t{0}),
    MakeExtended(false, 37, 0x9E3779B97F4A7C15),     MakeExtended(false, -300, 0xDEADBEEFCAFEF00D),
};

// ln 2 by its series and log2(e) / 2 by long division, to more than the
// stored limbs: their first limbs are the stored ones.
TEST(LogConstants, ComputedOnesBeginWithTheStoredOnes) {
  const TComputedLogConstants computed = ComputeLogConstants(2 * kMostLogLimbs);
  for (int i = 0; i < kMostLogLimbs; ++i) {
    EXPECT_EQ(kLnTwo[i], computed.lnTwo[i]) << "limb " << i;
    EXPECT_EQ(kHalfLog2E[i], computed.halfLog2E[i]) << "limb " << i;
  }
}

// From too few limbs to decide anything (2), so that the precision must
// double, and from beyond the stored constants (kMostLogLimbs + 1), where
// they are computed and the limbs are on the heap: the same value.
TEST(ExactPaths, TheSameValueFromEveryPrecision) {
  for (const Extended f : kExponents) {
    const Extended g = ExactPowerOfTwoMinusOne(f);
    EXPECT_EQ(g, ExactPowerOfTwoMinusOne(f, 2)) << std::hexfloat << "f = " << f;
    EXPECT_EQ(g, ExactPowerOfTwoMinusOne(f, kMostLogLimbs + 1)) << std::hexfloat << "f = " << f;
  }
  for (const Extended x : kLogArguments) {
    const Extended y = ExactNaturalLog(x);
    EXPECT_EQ(y, ExactNaturalLog(x, 2)) << std::hexfloat << "x = " << x;
    EXPECT_EQ(y, ExactNaturalLog(x, kMostLogLimbs + 1)) << std::hexfloat << "x = " << x;
  }
}

// Another precision, rounding or unmasked conditions in the caller's control
// word change no result, and the caller's control word is left as it was.
TEST(ExponentialAndNaturalLog, TheSameBitsUnderAnyControlWord) {
  // x^0.75 = e^(0.75 ln x) for the exponential, its argument formed here,
  // under modsin's own control word.
  std::vector<Extended> logs;
  std::vector<Extended> arguments;
  std::vector<Extended> powers;
  for (const Extended x : kLogArguments) {
    logs.push_back(NaturalLog(x));
    arguments.push_back(logs.back() * 0.75L);
    powers.push_back(Exponential(arguments.back()));
  }
  for (const std::uint16_t word : {std::uint16_t{0x027F}, std::uint16_t{0x0C7F},
                                   std::uint16_t{0x087F}, std::uint16_t{0x035F}}) {
    std::vector<Extended> values;
    std::uint16_t after = 0;
    {
      const FloatEnvironmentGuard guard;
      asm volatile("fldcw %0" : : "m"(word));
      for (std::size_t i = 0; i < logs.size(); ++i) {
        values.push_back(NaturalLog(kLogArguments[i]));
        values.push_back(Exponential(arguments[i]));
      }
      after = X87ControlWord();
    }
    EXPECT_EQ(word, after);
    for (std::size_t i = 0; i < logs.size(); ++i) {
      EXPECT_EQ(logs[i], values[2 * i]) << std::hexfloat << "NaturalLog of " << kLogArguments[i]
                                        << ", control word " << std::hex << word;
      EXPECT_EQ(powers[i], values[2 * i + 1]) << std::hexfloat << "Exponential of " << arguments[i]
                                              << ", control word " << std::hex << word;
    }
  }
}

}  // namespace
}  // namespace modsin
