// The exact paths of the exponential and the logarithm on their own, and
// the wide arithmetic under every exact path: no reference needed, so the
// Windows build runs these too.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "numeric/ExactExponential.h"
#include "numeric/ExactLogarithm.h"
#include "numeric/Extended.h"
#include "numeric/LogTwo.h"
#include "numeric/WideNumber.h"

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

// The wide arithmetic on three-limb fractions built so that every limb
// counts: carries and borrows through all of them, products whose last row
// and column reach the limbs kept, shifts across limb boundaries. A limb
// left out costs the exact paths a unit or two, which only an argument
// within as much of a midpoint would show. The limbs expected are exact.
TEST(WideNumber, EveryLimbCounts) {
  const auto wide = [](std::vector<std::uint32_t> limbs) {
    return TGrowingWideNumber{static_cast<int>(limbs.size()), std::move(limbs)};
  };
  const TGrowingWideNumber ones = wide({~0u, ~0u, ~0u});  // 1 - 2^-96
  const TGrowingWideNumber unit = wide({0, 0, 1});
  const TGrowingWideNumber m = wide({0xDEADBEEF, 0xCAFEF00D, 0x9E3779B9});
  const struct {
    const char* FName;
    TGrowingWideNumber FResult;
    std::vector<std::uint32_t> FExpected;
  } kRows[] = {
      {"ones + unit", Add(ones, unit), {0, 0, 0}},
      {"m + m", Add(m, m), {0xBD5B7DDF, 0x95FDE01B, 0x3C6EF372}},
      {"0 - unit", Subtract(wide({0, 0, 0}), unit), {~0u, ~0u, ~0u}},
      {"m - ones", Subtract(m, ones), {0xDEADBEEF, 0xCAFEF00D, 0x9E3779BA}},
      {"ones ones", MultiplyHigh(ones, ones), {~0u, ~0u, 0xFFFFFFFE}},
      {"m ones", MultiplyHigh(m, ones), {0xDEADBEEF, 0xCAFEF00D, 0x9E3779B8}},
      {"ones m", MultiplyHigh(ones, m), {0xDEADBEEF, 0xCAFEF00D, 0x9E3779B8}},
      {"m m", MultiplyHigh(m, m), {0xC1B1CD13, 0x829356D7, 0x261FCF15}},
      {"(2^64 - 1) ones", MultiplyWhole(~std::uint64_t{0}, ones), {~0u, 0xFFFFFFFE, ~0u, 0, 1}},
      {"w m",
       MultiplyWhole(0x9E3779B97F4A7C15, m),
       {0x899F7D0D, 0x7E55430A, 0xC0071B72, 0x2BFBF2DD, 0xCFFC982D}},
      {"m / (2^32 - 5)", DivideBy(m, 0xFFFFFFFB), {0, 0xDEADBEF4, 0x2463AAD2}},
      {"m >> 1", ShiftRight(m, 1), {0x6F56DF77, 0xE57F7806, 0xCF1BBCDC}},
      {"m >> 32", ShiftRight(m, 32), {0, 0xDEADBEEF, 0xCAFEF00D}},
      {"m >> 65", ShiftRight(m, 65), {0, 0, 0x6F56DF77}},
      {"m << 1", ShiftLeft(m, 1), {0xBD5B7DDF, 0x95FDE01B, 0x3C6EF372}},
      {"m << 32", ShiftLeft(m, 32), {0xCAFEF00D, 0x9E3779B9, 0}},
      {"m << 33", ShiftLeft(m, 33), {0x95FDE01B, 0x3C6EF372, 0}},
  };
  for (const auto& row : kRows)
    EXPECT_EQ(row.FExpected, row.FResult.FLimb) << row.FName;
  EXPECT_EQ(95, LeadingZeros(unit));
  EXPECT_FALSE(IsZero(unit));
  EXPECT_EQ(0xCAFEF00D9E3779B9, Limbs64(m, 1));
  EXPECT_EQ(0x9E3779B900000000, Limbs64(m, 2));
}

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
