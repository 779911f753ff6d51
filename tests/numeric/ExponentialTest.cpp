// Exponential and NaturalLog against their step-by-step definitions, each
// step rounded correctly by MPFR (tests/support/MpfrExponential.h), on
// arguments built to reach every step's edge: exact and tied roundings, the
// ends of the range, and the arguments closest to a rounding boundary found.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "numeric/Extended.h"
#include "numeric/FloatEnvironment.h"
#include "numeric/Primitives.h"
#include "tests/support/MpfrExponential.h"

namespace modsin {
namespace {

using testing::Describe;
using testing::ExpectedExponential;
using testing::ExpectedNaturalLog;
using testing::Hex;
using testing::OutcomeOf;
using testing::TMathFailure;
using testing::TOutcome;

constexpr Extended kMax = std::numeric_limits<Extended>::max();
constexpr Extended kLeastSubnormal = std::numeric_limits<Extended>::denorm_min();
constexpr Extended kLeastNormal = std::numeric_limits<Extended>::min();

// The ends of Exponential's range, found by bisection on the reference:
// the largest x with a finite result (e^x = 2^16384 (1 - 2^-50.5)), the
// largest x whose result is still subnormal, the largest x whose result is
// +0, and the largest x whose t = x * L2E is finite.
constexpr Extended kLastFinite = 0xb.17217f7d1cf79abp+10L;
constexpr Extended kLastSubnormal = -0xb.16c8c671210eb31p+10L;
constexpr Extended kLastZero = -0xb.21dfe7f09e2baa9p+10L;
constexpr Extended kLastFiniteT = 0xb.17217f7d1cf79abp+16380L;

// The hardest arguments found: where 2^f - 1 (Exponential) or C log2 x
// (NaturalLog) lies within 2^-31 to 2^-36 units in the last place of a
// midpoint between two Extended neighbours, so that a result needs some 100
// correct bits to round. Found by scanning 2^33 consecutive arguments per
// region (f or x on its own grid: the value by second-order differences in
// 128-bit fixed point, every candidate checked with MPFR), after a random
// search over 6 million per region came no closer than 2^-26.
const Extended kHardExponentials[] = {
    // f = t in [0.25, 0.36): 2^-35.3, 2^-35.1, 2^-33.1, 2^-32.8 units.
    0xd.4ef4ff94d2162acp-6L, 0xd.4ef4ff66bb2754ap-6L, 0xd.4ef4ffe97bfebeep-6L,
    0xd.4ef4ffdad086baep-6L,
    // f = t in (-0.36, -0.25]: 2^-35.1, 2^-33.6, 2^-32.9, 2^-32.8.
    -0xd.4ef4febbaa6d957p-6L, -0xd.4ef4fef9b1e27e5p-6L, -0xd.4ef4ff62479a523p-6L,
    -0xd.4ef4feb5e5269cdp-6L,
    // Tiny f = t near +-1.125 2^-20: 2^-32.0, 2^-31.8, 2^-34.3, 2^-33.2.
    0xc.7a05af8694d0d5p-24L, 0xc.7a05af73b164e1p-24L, -0xc.7a05af68b5759c4p-24L,
    -0xc.7a05af4367c798ap-24L,
    // f on the coarsest grid (2^-50, that of t beyond 8192): the four found
    // closest, 2^-35.1, 2^-33.8, 2^-35.2 and 2^-33.5 units of g, with i =
    // 16383 (near the overflow), and two of them with i = -16000 and i =
    // -16390 (a subnormal result).
    0xb.16fdf976e180ba3p+10L, 0xb.16fdf978d442e43p+10L, 0xb.16e7f795150d9cep+10L,
    0xb.16e7f7892d4c9e5p+10L, -0xa.d48de0006bcc39cp+10L, -0xa.d48ddffe790a0fcp+10L,
    -0xa.d4a3e1e2383f571p+10L, -0xb.1822d4214e34be9p+10L, -0xb.1838d60f0268da7p+10L};
const Extended kHardLogarithms[] = {
    // x in [1.5, 2): 2^-34.7, 2^-32.4, 2^-31.6, 2^-31.4.
    0xc.ccccccd80d04588p-3L, 0xc.ccccccd37ba162dp-3L, 0xc.ccccccdb3d5557bp-3L,
    0xc.cccccceb8db63cp-3L,
    // x in [0.5, 0.75): 2^-36.1, 2^-33.0, 2^-32.7, 2^-31.5.
    0x9.9999999e266d823p-4L, 0x9.999999aed4e7d35p-4L, 0x9.999999a7eb2c12ap-4L,
    0x9.999999abb54668p-4L,
    // x just above 1 + 2^-20: 2^-36.2, 2^-35.3, 2^-33.3, 2^-32.9.
    0x8.00008012d0a32a4p-3L, 0x8.00008011ff10614p-3L, 0x8.000080105710d83p-3L,
    0x8.0000801e2ab33eap-3L,
    // Large x near 2^1000: 2^-34.2, 2^-33.6, 2^-31.5.
    0xb.0000001230e8a9fp+997L, 0xb.0000001a21f3fep+997L, 0xb.0000001230e87dfp+997L,
    // Tiny x near 2^-16000 and subnormal x: 2^-36.1, 2^-34.3, 2^-33.9, 2^-34.6,
    // 2^-33.9, 2^-33.3.
    0x9.800000120632653p-16003L, 0x9.80000004918e652p-16003L, 0x9.800000049190c52p-16003L,
    0x0.0002001aaf75fb1p-16385L, 0x0.0002000ddf6b97dp-16385L, 0x0.00020009cd94b44p-16385L};

// The Extended of these fields, whatever they encode: also what the x87
// takes for no number, such as an unnormal (exponent field 0x3FFF, leading bit
// clear) or a pseudo-zero (exponent field 1, significand 0).
Extended Encoded(std::uint16_t exponent, std::uint64_t significand) {
  Extended x = 0;
  std::memcpy(&x, &significand, sizeof significand);
  std::memcpy(reinterpret_cast<char*>(&x) + sizeof significand, &exponent, sizeof exponent);
  return x;
}

// A pseudo-denormal: exponent field 0 with the leading bit set, the number
// 2^-16382 encoded as a subnormal would be.
Extended PseudoDenormal() {
  return Encoded(0, kExtendedLeadingBit);
}

void AddBothSigns(std::vector<Extended>& xs, Extended x) {
  xs.push_back(x);
  xs.push_back(-x);
}

// Arguments that are no numbers, or whose failure is the answer.
void AddNonNumbers(std::vector<Extended>& xs) {
  for (const Extended x :
       {std::numeric_limits<Extended>::quiet_NaN(), std::numeric_limits<Extended>::infinity(),
        Encoded(0x3FFF, 0x4000000000000000), Encoded(0x0001, 0)})
    AddBothSigns(xs, x);
}

// x and `count` neighbours on each side, both signs.
void AddNeighbours(std::vector<Extended>& xs, Extended x, int count) {
  Extended up = x;
  Extended down = x;
  AddBothSigns(xs, x);
  for (int i = 0; i < count; ++i) {
    up = std::nextafter(up, kMax);
    down = std::nextafter(down, -kMax);
    AddBothSigns(xs, up);
    AddBothSigns(xs, down);
  }
}

// A random Extended with magnitude in [2^low, 2^(high + 1)), either sign.
Extended RandomExtended(std::mt19937_64& random, int low, int high) {
  const std::uint64_t bits = random();
  return MakeExtended(
      (bits & 1) != 0,
      low + static_cast<int>((bits >> 1) % static_cast<std::uint64_t>(high - low + 1)),
      random() | kExtendedLeadingBit);
}

// The x whose t = RN(x L2E) is exactly `t`, if one of the Extended nearest
// t / L2E has it (the x87's product rounds once, as the definition does).
bool FindArgumentOfT(Extended t, Extended& x) {
  const Extended nearest = t / kLog2E;
  for (Extended candidate :
       {nearest, std::nextafter(nearest, kMax), std::nextafter(nearest, -kMax)}) {
    if (candidate * kLog2E == t) {
      x = candidate;
      return true;
    }
  }
  return false;
}

std::vector<Extended> ExponentialArguments() {
  std::mt19937_64 random(20261208);
  std::vector<Extended> xs;
  // 1. Tiny arguments, t near 0: every binade from 2^-70 up, and far below.
  for (int e = -70; e <= 0; ++e)
    for (int i = 0; i < 8; ++i)
      xs.push_back(RandomExtended(random, e, e));
  for (const Extended x : {0.0L, kLeastSubnormal, kLeastNormal, 0x1p-8000L, PseudoDenormal()})
    AddBothSigns(xs, x);
  // 2. t = x L2E rounded: exact for x = 5 2^e and 3 2^e, and tied between
  //    two Extended neighbours for x = 7 2^e (the 128-bit product ends in a
  //    single 1 just past the 64 bits kept).
  for (int e = -70; e <= 11; ++e)
    for (const Extended m : {3.0L, 5.0L, 7.0L})
      AddBothSigns(xs, std::ldexp(m, e));
  // 3. t at and next to k + 1/2, where |f| = 1/2 and i rounds to even; and t
  //    at and next to whole k (f = 0, the result 2^k), over the whole range,
  //    and for every k from where results turn subnormal to where they are 0.
  for (int k = -16450; k <= 16390; k += (k > -80 && k < 80) || k < -16380 ? 1 : 37) {
    for (const Extended t : {k + 0.5L, static_cast<Extended>(k)}) {
      Extended x = t / kLog2E;
      FindArgumentOfT(t, x);
      AddNeighbours(xs, x, 2);
    }
  }
  // 4. The ends of the range: the last finite result and the first
  //    overflow, the first subnormal result and the first +0, and t itself
  //    overflowing.
  for (const Extended x : {kLastFinite, kLastSubnormal, kLastZero, kLastFiniteT})
    AddNeighbours(xs, x, 3);
  for (const Extended x : {kMax, 1e4932L, 1e4000L, 12000.0L, 20000.0L})
    AddBothSigns(xs, x);
  // 5. The hardest. (SameBits holds Exponential to the same reference over
  //    random arguments of the useful range.)
  for (const Extended x : kHardExponentials)
    AddNeighbours(xs, x, 1);
  AddNonNumbers(xs);
  return xs;
}

std::vector<Extended> NaturalLogArguments() {
  std::mt19937_64 random(20261209);
  std::vector<Extended> xs;
  // 1. The neighbours of 1, where log2 x cancels: 1 - k 2^-64 below, 1 +
  //    k 2^-63 above, and 1 +- 2^-j.
  for (int k = 1; k <= 2048; ++k) {
    xs.push_back(1 - std::ldexp(static_cast<Extended>(k), -64));
    xs.push_back(1 + std::ldexp(static_cast<Extended>(k), -63));
    xs.push_back(1 - std::ldexp(static_cast<Extended>(k), -63));
  }
  for (int j = 1; j <= 64; ++j) {
    AddNeighbours(xs, 1 + std::ldexp(1.0L, -j), 1);
    AddNeighbours(xs, 1 - std::ldexp(1.0L, -j), 1);
  }
  // 2. Subnormal x with 1 to 63 significant bits, the least and largest, and
  //    the pseudo-denormal.
  for (int bits = 1; bits <= 63; ++bits) {
    for (int i = 0; i < 4; ++i) {
      const std::uint64_t significand = (random() | std::uint64_t{1} << 63) >> (64 - bits);
      Extended x = 0;
      std::memcpy(&x, &significand, sizeof significand);
      xs.push_back(x);
    }
  }
  AddNeighbours(xs, kLeastSubnormal, 2);
  AddNeighbours(xs, kLeastNormal, 2);
  xs.push_back(PseudoDenormal());
  // 3. The largest finite x.
  AddNeighbours(xs, kMax, 2);
  // 4. Every power of two: log2 x is k and C k exact before its one
  //    rounding; for k = 7, 9 or 11 times a power of two, it is a tie.
  for (int k = -16445; k <= 16383; ++k)
    xs.push_back(std::ldexp(1.0L, k));
  // 5. The hardest; and the failures: zeros, negatives, no numbers.
  for (const Extended x : kHardLogarithms)
    AddNeighbours(xs, x, 1);
  for (const Extended x : {0.0L, 1.0L, 2.0L, kEuler, kLeastSubnormal})
    AddBothSigns(xs, x);
  AddNonNumbers(xs);
  return xs;
}

// Holds `actual` to `expected` on every argument, naming the first ten that
// differ in hexadecimal.
template <class Expected, class Actual>
void ExpectAgreement(const char* name, const std::vector<Extended>& xs, Expected expected,
                     Actual actual) {
  int failures = 0;
  for (const Extended x : xs) {
    const TOutcome want = expected(x);
    const TOutcome got = OutcomeOf([&] { return actual(x); });
    if (!(want == got) && ++failures <= 10)
      ADD_FAILURE() << name << "(" << Hex(x) << ") is " << Describe(got) << ", not "
                    << Describe(want);
  }
  EXPECT_EQ(0, failures) << "of " << xs.size() << " arguments of " << name;
}

TEST(Exponential, FollowsItsDefinitionStepByStep) {
  ExpectAgreement("Exponential", ExponentialArguments(), ExpectedExponential,
                  [](Extended x) { return Exponential(x); });
}

TEST(NaturalLog, IsTheProductOfCAndLog2RoundedOnce) {
  ExpectAgreement("NaturalLog", NaturalLogArguments(), ExpectedNaturalLog,
                  [](Extended x) { return NaturalLog(x); });
}

// Another precision, another rounding, and an unmasked inexact condition,
// which would fault at the first rounded x87 operation left unmasked: the
// same outcomes, and the caller's control word as it was.
TEST(Exponential, DoesNotDependOnTheCallersControlWord) {
  std::vector<Extended> xs;
  const std::vector<Extended> exponentials = ExponentialArguments();
  const std::vector<Extended> logarithms = NaturalLogArguments();
  for (std::size_t i = 0; i < exponentials.size(); i += 13)
    xs.push_back(exponentials[i]);
  for (std::size_t i = 0; i < logarithms.size(); i += 29)
    xs.push_back(logarithms[i]);
  std::vector<TOutcome> expected;
  for (const Extended x : xs) {
    expected.push_back(ExpectedExponential(x));
    expected.push_back(ExpectedNaturalLog(x));
  }
  for (const std::uint16_t word :
       {std::uint16_t{0x027F}, std::uint16_t{0x0C7F}, std::uint16_t{0x035F}}) {
    std::vector<TOutcome> outcomes;
    std::uint16_t after = 0;
    {
      TFloatEnvironmentGuard guard;
      asm volatile("fldcw %0" : : "m"(word));
      for (const Extended x : xs) {
        outcomes.push_back(OutcomeOf([&] { return Exponential(x); }));
        outcomes.push_back(OutcomeOf([&] { return NaturalLog(x); }));
      }
      after = X87ControlWord();
    }
    EXPECT_EQ(word, after);
    int failures = 0;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
      if (!(expected[i] == outcomes[i]) && ++failures <= 3)
        ADD_FAILURE() << (i % 2 == 0 ? "Exponential(" : "NaturalLog(") << Hex(xs[i / 2])
                      << ") under control word " << std::hex << word << " is "
                      << Describe(outcomes[i]) << ", not " << Describe(expected[i]);
    }
    EXPECT_EQ(0, failures) << "under control word " << std::hex << word;
  }
}

// The reference itself, where the hardware's one correctly rounded product
// or the exact values tell the answer without MPFR.
TEST(MpfrExponential, AgreesWithValuesKnownExactly) {
  const auto value = [](Extended x) { return TOutcome{x, TMathFailure::None}; };
  EXPECT_EQ(value(1), ExpectedExponential(0));
  EXPECT_EQ(value(1), ExpectedExponential(-0.0L));
  EXPECT_EQ(value(kEuler), ExpectedExponential(1));
  EXPECT_EQ(value(+0.0L), ExpectedExponential(-12000));
  EXPECT_EQ(TMathFailure::Overflow, ExpectedExponential(12000).FFailure);
  EXPECT_EQ(TMathFailure::Overflow,
            ExpectedExponential(std::nextafter(kLastFinite, kMax)).FFailure);
  EXPECT_EQ(value(kLeastSubnormal), ExpectedExponential(std::nextafter(kLastZero, 0.0L)));
  EXPECT_EQ(value(kLeastNormal), ExpectedExponential(std::nextafter(kLastSubnormal, 0.0L)));
  EXPECT_EQ(TMathFailure::InvalidOp, ExpectedExponential(Encoded(0x3FFF, 1)).FFailure);
  // Where t = RN(x L2E) is a whole k, f = 0 and the result is 2^k exactly,
  // subnormal powers of two included.
  for (int k = -16445; k <= 16383; k += 7) {
    Extended x = 0;
    if (FindArgumentOfT(k, x)) {
      EXPECT_EQ(value(std::ldexp(1.0L, k)), ExpectedExponential(x)) << Hex(x);
    }
  }
  EXPECT_EQ(value(+0.0L), ExpectedNaturalLog(1));
  EXPECT_EQ(value(kLn2), ExpectedNaturalLog(2));
  EXPECT_EQ(value(1), ExpectedNaturalLog(kEuler));
  EXPECT_EQ(TMathFailure::ZeroDivide, ExpectedNaturalLog(-0.0L).FFailure);
  EXPECT_EQ(TMathFailure::InvalidOp, ExpectedNaturalLog(-kLeastSubnormal).FFailure);
  // log2 2^k = k: C k rounded once, as the x87's product rounds it (ties to
  // even at k = 7, 9, 11 times a power of two).
  for (int k = -16445; k <= 16383; ++k)
    EXPECT_EQ(value(kLn2 * k), ExpectedNaturalLog(std::ldexp(1.0L, k))) << k;
}

}  // namespace
}  // namespace modsin
