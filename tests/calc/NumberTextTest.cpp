#include "calc/NumberText.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <utility>

#include "calc/DecimalPowers.h"
#include "tests/support/NumberTextCheck.h"

namespace modsin {
namespace {

std::string Text(double v) {
  const TNumberText text = NumberText(v);
  return std::string(text.begin(), text.end());
}

TEST(NumberText, Zero) {
  EXPECT_EQ(" 0.00000000000000E+0000", Text(0.0));
  EXPECT_EQ("-0.00000000000000E+0000", Text(-0.0));
}

TEST(NumberText, Words) {
  EXPECT_EQ("                    Nan", Text(std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ("                    Nan", Text(-std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ("                    Nan", Text(std::numeric_limits<double>::signaling_NaN()));
  EXPECT_EQ("                   +Inf", Text(std::numeric_limits<double>::infinity()));
  EXPECT_EQ("                   -Inf", Text(-std::numeric_limits<double>::infinity()));
}

TEST(NumberText, Examples) {
  EXPECT_EQ(" 1.00000000000000E+0000", Text(1.0));
  EXPECT_EQ("-5.00000000000000E-0001", Text(-0.5));
  EXPECT_EQ(" 3.00000000000000E-0003", Text(0x1.89374bc6a7efap-9));   // 0.003
  EXPECT_EQ(" 2.50000000000000E-0010", Text(0x1.12e0be826d695p-32));  // 2.5e-10
  EXPECT_EQ(" 5.00000000000000E+0000", Text(5.0));
  EXPECT_EQ(" 1.00000000000000E+0001", Text(10.0));
  EXPECT_EQ("-1.32351750097773E-0001", Text(-0x1.0f0e6f31e809dp-3));  // sin 25
  EXPECT_EQ("-5.06365641109759E-0001", Text(-0x1.03425b78c4db8p-1));  // sin 100
  EXPECT_EQ(" 9.53674316406250E-0007", Text(0x1p-20));
  EXPECT_EQ(" 1.00000000000000E+0022", Text(1e22));
}

// Rounding falls on the 16th digit alone, half up, after b was rounded to an
// integer: a value just below halfway can still round up.
TEST(NumberText, RoundsTwice) {
  // 3.8032087993272249981...: b = 380320879932722500.
  EXPECT_EQ(" 3.80320879932723E+0000", Text(0x1.e6cf8bc27c245p+1));
  // Exact halfway points round up, not to even.
  EXPECT_EQ(" 1.00000000000001E+0015", Text(1000000000000005.0));
  EXPECT_EQ(" 1.00000000000003E+0015", Text(1000000000000025.0));
  EXPECT_EQ(" 1.23456789012346E+0014", Text(123456789012345.5));
  // Just below halfway by more than b can hide.
  EXPECT_EQ(" 9.99999999999999E+0014", Text(999999999999999.25));
  // Below halfway after long scalings, at the far ends and in a denormal.
  EXPECT_EQ(" 2.09467050426505E+0285", Text(0x1.c2c3bbeb2dac6p+947));    // ...04499698
  EXPECT_EQ("-4.33597169969336E-0263", Text(-0x1.5d874d5c6f17dp-872));   // ...35499962
  EXPECT_EQ("-1.45721466134192E-0189", Text(-0x1.9f8749270b465p-628));   // ...91499984
  EXPECT_EQ("-2.05864402738173E-0309", Text(-0x0.17af6851377b2p-1022));  // ...72499976
  // Just above 2^289, where a scaling by 10^87, one too many, would need a step back.
  EXPECT_EQ(" 9.98627168518112E+0086", Text(0x1.0106487382726p+289));  // ...11499407
  // ...84499476: b ends in 499, and in 500 were 10^31 a unit above its nearest.
  EXPECT_EQ(" 2.69905781880384E-0223", Text(0x1.8f9f20995fb4dp-740));
}

TEST(NumberText, Carrying) {
  EXPECT_EQ(" 1.00000000000000E+0001", Text(0x1.3ffffffffffffp+3));  // 9.9999999999999982
  EXPECT_EQ(" 1.00000000000000E+0015", Text(999999999999999.5));
  EXPECT_EQ(" 1.10000000000000E+0015", Text(1099999999999999.5));    // carry inside c
  EXPECT_EQ(" 1.60000000000000E+0001", Text(0x1.fffffffffffffp+3));  // 15.999999999999998
  EXPECT_EQ(" 1.28000000000000E+0002", Text(0x1.fffffffffffffp+6));  // 127.99999999999999
  EXPECT_EQ(" 1.56250000000000E-0002", Text(0x1.ffffffffffffep-7));  // 0.015624999999999997
}

// 10 <= m < 16 after scaling: the leading 1 is implied and the exponent grows.
TEST(NumberText, ScaledAboveTen) {
  EXPECT_EQ(" 1.05000000000000E+0001", Text(10.5));
  EXPECT_EQ(" 1.23456789012346E+0001", Text(0x1.8b0fcd32f707ap+3));  // 12.345678901234567
  EXPECT_EQ(" 1.00000000000000E+0002", Text(100.0));
  EXPECT_EQ(" 1.00000000000000E-0001", Text(0x1.999999999999ap-4));  // 0.1
  EXPECT_EQ(" 1.20000000000000E-0001", Text(0x1.eb851eb851eb8p-4));  // 0.12
  EXPECT_EQ(" 1.23456789012346E-0001", Text(0x1.f9add3746f659p-4));  // 0.1234567890123456
  EXPECT_EQ(" 1.00000000000000E-0002", Text(0x1.47ae147ae147bp-7));  // 0.01
}

TEST(NumberText, Extremes) {
  EXPECT_EQ(" 1.79769313486232E+0308", Text(DBL_MAX));
  EXPECT_EQ("-1.79769313486232E+0308", Text(-DBL_MAX));
  EXPECT_EQ(" 2.22507385850720E-0308", Text(DBL_MIN));
  EXPECT_EQ(" 2.22507385850720E-0308", Text(0x0.fffffffffffffp-1022));  // largest denormal
  EXPECT_EQ(" 9.88131291682493E-0324", Text(0x0.0000000000002p-1022));
  EXPECT_EQ(" 4.94065645841247E-0324", Text(0x0.0000000000001p-1022));  // smallest denormal
  EXPECT_EQ("-4.94065645841247E-0324", Text(-0x0.0000000000001p-1022));
}

// The double nearest 10^n lies within a unit in its 17th digit of 10^n.
TEST(NumberText, AllPowersOfTen) {
  for (int n = -307; n <= 308; ++n) {
    const std::string decimal = "1e" + std::to_string(n);
    char exponent[8];
    std::snprintf(exponent, sizeof exponent, "%c%04d", n < 0 ? '-' : '+', std::abs(n));
    EXPECT_EQ(" 1.00000000000000E" + std::string(exponent),
              Text(std::strtod(decimal.c_str(), nullptr)))
        << decimal;
  }
}

// glibc's strtold rounds correctly to the nearest Extended value.
TEST(NumberTextPowersOfTen, AreTheNearestExtended) {
  ASSERT_EQ(std::numeric_limits<Extended>::digits, 64);
  for (int n = 0; n < kPowerOfTenSteps; ++n) {
    const std::string decimal = "1e" + std::to_string(n);
    EXPECT_EQ(std::strtold(decimal.c_str(), nullptr), kPowersOfTen[n]) << decimal;
  }
  for (int i = 0; i < kLargePowerOfTenCount; ++i) {
    const std::string decimal = "1e" + std::to_string(kPowerOfTenSteps * i);
    EXPECT_EQ(std::strtold(decimal.c_str(), nullptr), kLargePowersOfTen[i]) << decimal;
  }
  // The product path's: 10^(13 - k) and 10^(14 - k) for the decimal exponent
  // k of every normal double, -308 to 307. A wrong one mostly hands the digits
  // to the Extended computation, unseen in the texts.
  ASSERT_LE(kLowestDecimalPower, 13 - 307);
  ASSERT_GE(kHighestDecimalPower, 14 + 308);
  for (int q = 13 - 307; q <= 14 + 308; ++q) {
    const TDecimalPower power = kDecimalPowers[static_cast<std::size_t>(q - kLowestDecimalPower)];
    const std::string decimal = "1e" + std::to_string(q);
    EXPECT_EQ(1u, power.FSignificand >> 63) << decimal;
    EXPECT_EQ(std::strtold(decimal.c_str(), nullptr),
              std::ldexp(static_cast<Extended>(power.FSignificand), power.FExponent))
        << decimal;
  }
}

// The property: the text keeps its layout and reads as v correctly rounded,
// but near halfway points (tests/support/NumberTextCheck.h).
::testing::AssertionResult RoundsCorrectly(double v) {
  const std::string fault = testing::RoundingFault(v);
  if (fault.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << fault;
}

TEST(NumberTextProperty, RandomFiniteDoublesRoundCorrectly) {
  constexpr int kSamples = 1'000'000;
  constexpr int kSubnormalEvery = 16;  // every 16th sample has a zero exponent field
  constexpr std::uint64_t kExponentField = 0x7FF0'0000'0000'0000;
  std::mt19937_64 random(20240611);
  int failures = 0;
  for (int i = 0; i < kSamples && failures < 10; ++i) {
    std::uint64_t bits = random();
    if (i % kSubnormalEvery == 0) bits &= ~kExponentField;
    if ((bits & kExponentField) == kExponentField) continue;
    const auto v = std::bit_cast<double>(bits);
    const ::testing::AssertionResult result = RoundsCorrectly(v);
    EXPECT_TRUE(result);
    if (!result) ++failures;
  }
}

// Ranges where the first scaling leaves 10 <= m < 16 (or none is needed).
TEST(NumberTextProperty, ScaledAboveTenRoundsCorrectly) {
  constexpr int kSamplesPerRange = 100'000;
  const std::pair<double, double> ranges[] = {
      {10.0, 16.0}, {100.0, 128.0}, {0.1, 0.125}, {0.01, 0.015625}, {1e15, 1.6e15}};
  std::mt19937_64 random(7);
  for (const auto& [low, high] : ranges) {
    std::uniform_real_distribution<double> uniform(low, high);
    int failures = 0;
    for (int i = 0; i < kSamplesPerRange && failures < 10; ++i) {
      const double v = uniform(random);
      const ::testing::AssertionResult result = RoundsCorrectly(i % 2 == 0 ? v : -v);
      EXPECT_TRUE(result);
      if (!result) ++failures;
    }
  }
}

// The digits come from one 64-bit product, but from the Extended computation
// where v lies near a halfway point: the two agree there and around.
TEST(NumberTextProperty, AgreesWithTheExtendedComputationNearHalfway) {
  constexpr int kPoints = 100'000;
  constexpr std::uint64_t kNeighbours = 2;  // units in the last place on either side
  std::mt19937_64 random(20261207);
  int failures = 0;
  for (int i = 0; i < kPoints && failures < 10; ++i) {
    const double nearest = testing::NearestToHalfway(random);
    if (nearest == 0 || std::isinf(nearest)) continue;
    const auto bits = std::bit_cast<std::uint64_t>(nearest);
    for (std::uint64_t near = bits - kNeighbours; near <= bits + kNeighbours; ++near) {
      const auto v = std::bit_cast<double>(near);
      const TNumberText scaled = ScaledNumberText(v);
      const std::string expected(scaled.begin(), scaled.end());
      const std::string text = Text(v);
      EXPECT_EQ(expected, text) << std::hexfloat << v;
      if (text != expected) ++failures;
    }
  }
}

}  // namespace
}  // namespace modsin
