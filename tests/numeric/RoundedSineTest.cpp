#include "numeric/RoundedSine.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "numeric/FloatEnvironment.h"
#include "numeric/MathError.h"
#include "numeric/Primitives.h"

namespace modsin {
namespace {

double Reference(double x) {
  return RoundToDouble(Sine(x));
}

// Same bits, so that -0 and +0 differ.
void ExpectSameAsReference(double x) {
  EXPECT_EQ(std::bit_cast<std::uint64_t>(Reference(x)),
            std::bit_cast<std::uint64_t>(RoundedSine(x)))
      << "x = " << std::hexfloat << x;
}

// The doubles on either side of k * pi/2 and nearest to it: the arguments
// whose remainders are smallest, where the reduction has to be most exact.
std::vector<double> NearQuarterTurns(std::int64_t kFirst, std::int64_t kLast, std::int64_t step) {
  const Extended halfPi = kPi / 2;
  std::vector<double> xs;
  for (std::int64_t k = kFirst; k <= kLast; k += step) {
    const double nearest = static_cast<double>(static_cast<Extended>(k) * halfPi);
    for (const double x : {std::nextafter(nearest, 0.0), nearest, std::nextafter(nearest, 1e300)}) {
      xs.push_back(x);
      xs.push_back(-x);
    }
  }
  return xs;
}

// Random doubles below the short path's limit: half spread evenly over the
// range, half spread over its binades down to 2^-60; both signs.
std::vector<double> RandomArguments(std::size_t count, std::uint64_t seed) {
  std::mt19937_64 bits(seed);
  std::uniform_real_distribution<double> even(-kShortSineLimit, kShortSineLimit);
  std::uniform_real_distribution<double> binade(-60.0, 20.0);
  std::vector<double> xs(count);
  for (std::size_t i = 0; i < count; ++i)
    xs[i] =
        i % 2 == 0 ? even(bits) : std::copysign(std::exp2(binade(bits)), (bits() & 1) ? 1.0 : -1.0);
  return xs;
}

// x - y in units of the last place of Extended at y's magnitude.
double UnitsApart(Extended x, Extended y) {
  int exponent = 0;
  std::frexp(y, &exponent);
  return static_cast<double>(std::fabs(x - y) / std::ldexp(1.0L, exponent - 64));
}

TEST(RoundedSine, AgreesNextToEveryQuarterTurn) {
  // Every quarter turn up to 2^16, then every 97th up to the short path's
  // limit; the smallest remainders of all lie near 29 * 2^j * pi/2.
  for (const double x : NearQuarterTurns(1, 1 << 16, 1))
    ExpectSameAsReference(x);
  for (const double x : NearQuarterTurns(1 << 16, 667544, 97))
    ExpectSameAsReference(x);
  for (int j = 0; j <= 14; ++j)
    for (const double x : NearQuarterTurns(std::int64_t{29} << j, std::int64_t{29} << j, 1))
      ExpectSameAsReference(x);
}

TEST(RoundedSine, AgreesOnRandomArguments) {
  for (const double x : RandomArguments(1'000'000, 20261207))
    ExpectSameAsReference(x);
}

TEST(RoundedSine, AgreesAtTheEdges) {
  constexpr double kMin = std::numeric_limits<double>::min();
  constexpr double kTrueMin = std::numeric_limits<double>::denorm_min();
  constexpr double kMax = std::numeric_limits<double>::max();
  for (const double x : {0.0,
                         kTrueMin,
                         kMin / 3,
                         kMin,
                         2 * kMin,
                         0x1p-1021 * 1.5,
                         0x1p-1020,
                         1e-300,
                         0x1p-32,
                         1e-5,
                         0.5,
                         0.7853981633974483,
                         0.7853981633974484,
                         1.5707963267948966,
                         3.141592653589793,
                         1e5,
                         std::nextafter(kShortSineLimit, 0.0),
                         kShortSineLimit,
                         std::nextafter(kShortSineLimit, 2e6),
                         1e7,
                         0x1p62,
                         0x1p63,
                         kMax}) {
    ExpectSameAsReference(x);
    ExpectSameAsReference(-x);
  }
}

TEST(RoundedSine, RejectsWhatSineRejects) {
  for (const double x :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
        -std::numeric_limits<double>::infinity()})
    EXPECT_THROW(RoundedSine(x), EInvalidOp);
}

// Under another x87 precision or rounding the short path's exact steps are no
// longer exact; the result must still be Sine's.
TEST(RoundedSine, AgreesUnderAForeignPrecisionOrRounding) {
  const std::vector<double> xs = RandomArguments(20'000, 7);
  for (const std::uint16_t word :
       {std::uint16_t{0x027F}, std::uint16_t{0x0F7F}, std::uint16_t{0x077F}}) {
    TFloatEnvironmentGuard guard;
    asm volatile("fldcw %0" : : "m"(word));
    for (const double x : xs)
      ExpectSameAsReference(x);
  }
}

// RoundedSines reads the control word once for all its arguments: it must
// still give each RoundedSine's bits, under modsin's control word and under
// foreign ones.
TEST(RoundedSines, AreRoundedSineOneByOne) {
  std::vector<double> xs = RandomArguments(20'000, 9);
  const std::vector<double> nearTurns = NearQuarterTurns(1, 3000, 1);
  xs.insert(xs.end(), nearTurns.begin(), nearTurns.end());
  for (const std::uint16_t word : {kX87ControlWord, std::uint16_t{0x027F}, std::uint16_t{0x0F7F}}) {
    TFloatEnvironmentGuard guard;
    asm volatile("fldcw %0" : : "m"(word));
    std::vector<double> ys(xs.size() + 1, 2.0);  // one beyond the count, left as it was
    RoundedSines(xs.data(), ys.data(), static_cast<int>(xs.size()));
    EXPECT_EQ(2.0, ys.back());
    for (std::size_t i = 0; i < xs.size(); ++i)
      ASSERT_EQ(std::bit_cast<std::uint64_t>(RoundedSine(xs[i])),
                std::bit_cast<std::uint64_t>(ys[i]))
          << "x = " << std::hexfloat << xs[i] << ", control word " << word;
  }
}

// The short path stands in for Sine only outside a margin of 8 units around
// each midpoint between doubles; the two must stay inside it, within the 6
// units that the error analysis allows.
TEST(ShortSine, StaysWithinSixUnitsOfSine) {
  double worst = 0;
  for (const double x : RandomArguments(300'000, 11))
    worst = std::max(worst, UnitsApart(ShortSine(x), Sine(x)));
  for (const double x : NearQuarterTurns(1, 1 << 12, 1))
    worst = std::max(worst, UnitsApart(ShortSine(x), Sine(x)));
  EXPECT_LT(worst, 6.0);
}

}  // namespace
}  // namespace modsin
