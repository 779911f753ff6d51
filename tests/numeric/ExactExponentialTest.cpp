// The exact paths of the exponential and the logarithm on their own: no
// reference needed, so the Windows build runs these too.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "numeric/ExactExponential.h"
#include "numeric/ExactLogarithm.h"
#include "numeric/Extended.h"
#include "numeric/LogTwo.h"

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
    EXPECT_EQ(kLnTwo[i], computed.FLnTwo[i]) << "limb " << i;
    EXPECT_EQ(kHalfLog2E[i], computed.FHalfLog2E[i]) << "limb " << i;
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

}  // namespace
}  // namespace modsin
