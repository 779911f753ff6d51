// The primitives give the same bits on every platform the program is built
// for: each test runs a primitive over many arguments drawn from a fixed
// sequence and holds a digest of every result (or failure) to a constant
// computed on Linux, where the sine is held to MPFR (SineTest.cpp). The
// Windows build, whose compiler and run-time library differ, must reach the
// same constants. The constants of the exponential, the logarithm and the
// logarithm path of the power are digests of their MPFR reference
// (MpfrExponential.h), and on Linux each of their values is held to it as it
// comes, so that a failure names the first argument that differs.
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <optional>
#include <random>
#include <string>

#include "numeric/Extended.h"
#include "numeric/MathError.h"
#include "numeric/Primitives.h"
#include "numeric/RoundedSine.h"
#include "tests/support/Digest.h"
#include "tests/support/ExponentialReference.h"
#include "tests/support/Outcome.h"
#include "tests/support/SineArguments.h"

namespace modsin {
namespace {

using testing::TDigest;
using testing::TMathFailure;
using testing::TOutcome;

constexpr int kArguments = 100'000;

// A double from raw bits: the given exponent range, a random significand and
// sign. Built exactly, without the platform's floating-point conversions.
double RandomDouble(std::mt19937_64& random, int lowExponent, int highExponent, bool sign) {
  const std::uint64_t bits = random();
  const auto span = static_cast<std::uint64_t>(highExponent - lowExponent + 1);
  const std::uint64_t exponent =
      static_cast<std::uint64_t>(lowExponent + 1023) + (bits >> 52) % span;
  const std::uint64_t significand = bits & ((std::uint64_t{1} << 52) - 1);
  const std::uint64_t signBit = sign && (random() & 1) != 0 ? std::uint64_t{1} << 63 : 0;
  return std::bit_cast<double>(signBit | (exponent << 52) | significand);
}

// An Extended from raw bits: the given exponent range, a random significand
// with its leading bit set, and either sign.
Extended RandomExtended(std::mt19937_64& random, int lowExponent, int highExponent) {
  const std::uint64_t significand = random() | kExtendedLeadingBit;
  const std::uint64_t bits = random();
  const auto span = static_cast<std::uint64_t>(highExponent - lowExponent + 1);
  return MakeExtended((bits & 1) != 0, lowExponent + static_cast<int>((bits >> 1) % span),
                      significand);
}

// The digest of f over kArguments arguments made by argument; a failure adds
// a byte of its own for its kind.
template <class MakeArgument, class Apply>
std::uint64_t DigestOf(MakeArgument argument, Apply f) {
  std::mt19937_64 random(20240101);
  TDigest digest;
  for (int i = 0; i < kArguments; ++i) {
    try {
      f(digest, argument(random));
    } catch (const EInvalidOp&) {
      digest.Add("I", 1);
    } catch (const EZeroDivide&) {
      digest.Add("Z", 1);
    } catch (const EOverflow&) {
      digest.Add("O", 1);
    }
  }
  return digest.Value();
}

struct TPair {
  double FA, FB;
};

std::string ArgumentText(double x) {
  return testing::Hex(x);
}

std::string ArgumentText(TPair p) {
  return testing::Hex(p.FA) + " ^ " + testing::Hex(p.FB);
}

// DigestOf for one value per argument that also holds each value, as it
// comes, to the platform's reference where it has one (Linux: MPFR), and
// names the first argument that differs. Where there is none (std::nullopt),
// the digest alone stands.
template <class MakeArgument, class Compute, class Reference>
std::uint64_t CheckedDigestOf(MakeArgument argument, Compute compute, Reference reference) {
  bool differed = false;
  return DigestOf(argument, [&](TDigest& digest, auto a) {
    const TOutcome got = testing::OutcomeOf([&] { return compute(a); });
    const std::optional<TOutcome> want = reference(a);
    if (want && !(*want == got) && !differed) {
      differed = true;
      ADD_FAILURE() << "the first argument that differs from the reference: " << ArgumentText(a)
                    << " gives " << Describe(got) << ", not " << Describe(*want);
    }
    // The bytes DigestOf adds for a value or a failure.
    switch (got.FFailure) {
      case TMathFailure::None:
        digest.Add(got.FValue);
        break;
      case TMathFailure::InvalidOp:
        digest.Add("I", 1);
        break;
      case TMathFailure::ZeroDivide:
        digest.Add("Z", 1);
        break;
      case TMathFailure::Overflow:
        digest.Add("O", 1);
        break;
    }
  });
}

// RealPower, and TRealPower which must agree with it.
TEST(SameBits, RealPower) {
  // Bases from 2^-70 to 2^70, exponents from 2^-6 to 2^6 of either sign: the
  // logarithm path, with overflows and underflows at the ends.
  const auto pair = [](std::mt19937_64& random) {
    return TPair{RandomDouble(random, -70, 70, false), RandomDouble(random, -6, 6, true)};
  };
  const auto reference = [](TPair p) { return testing::ReferenceRealPower(p.FA, p.FB); };
  EXPECT_EQ(0xD455878049272415U,
            CheckedDigestOf(
                pair, [](TPair p) { return RealPower(p.FA, p.FB); }, reference));
  EXPECT_EQ(0xD455878049272415U,
            CheckedDigestOf(
                pair, [](TPair p) { return TRealPower(p.FB)(p.FA); }, reference));
  // Whole exponents up to 2^10 in magnitude: square and multiply.
  const auto whole = [](std::mt19937_64& random) {
    return TPair{RandomDouble(random, -8, 8, true),
                 static_cast<double>(static_cast<std::int32_t>(random() % 2049) - 1024)};
  };
  EXPECT_EQ(0x34F9EC2F440DC667U,
            DigestOf(whole, [](TDigest& d, TPair p) { d.Add(RealPower(p.FA, p.FB)); }));
  EXPECT_EQ(0x34F9EC2F440DC667U,
            DigestOf(whole, [](TDigest& d, TPair p) { d.Add(TRealPower(p.FB)(p.FA)); }));
}

TEST(SameBits, ExponentialAndNaturalLog) {
  const auto exponent = [](std::mt19937_64& random) { return RandomDouble(random, -30, 13, true); };
  EXPECT_EQ(0x3F60BC032E768C21U, CheckedDigestOf(
                                     exponent, [](double x) { return Exponential(x); },
                                     [](double x) { return testing::ReferenceExponential(x); }));
  const auto positive = [](std::mt19937_64& random) {
    return RandomDouble(random, -1022, 1023, false);
  };
  EXPECT_EQ(0xF52C91BC87E56B89U, CheckedDigestOf(
                                     positive, [](double x) { return NaturalLog(x); },
                                     [](double x) { return testing::ReferenceNaturalLog(x); }));
}

TEST(SameBits, CeilingAndFloor) {
  // Up to 2^70: fractions, whole numbers beyond 32 bits, and failures beyond 2^63.
  const auto value = [](std::mt19937_64& random) { return RandomDouble(random, -4, 70, true); };
  EXPECT_EQ(0xD7B9B31C033DEC85U, DigestOf(value, [](TDigest& d, double x) {
              d.Add(CeilingToInt(x));
              d.Add(FloorToInt(x));
            }));
}

TEST(SameBits, Sine) {
  // From 2^-30 to 2^70: both reductions, and from 2^63 on the +0 that Sine
  // gives without one.
  const auto extended = [](std::mt19937_64& random) { return RandomExtended(random, -30, 70); };
  EXPECT_EQ(0xDA2D5A0671FF8918U,
            DigestOf(extended, [](TDigest& d, Extended x) { d.Add(Sine(x)); }));
  // The curve values' sine, on its short path and off it.
  const auto value = [](std::mt19937_64& random) { return RandomDouble(random, -30, 62, true); };
  EXPECT_EQ(0x1C11B51B943D4048U,
            DigestOf(value, [](TDigest& d, double x) { d.Add(RoundedSine(x)); }));
}

// The arguments of the sine's property test, which holds them to MPFR on
// Linux: near multiples of pi/2, tiny, and the hardest known.
TEST(SameBits, SineOnItsPropertyTest) {
  TDigest sines;
  TDigest roundedSines;
  for (const Extended x : testing::Arguments()) {
    sines.Add(Sine(x));
    const auto d = static_cast<double>(x);
    if (static_cast<Extended>(d) == x) roundedSines.Add(RoundedSine(d));
  }
  EXPECT_EQ(0x29B275071B71C3C1U, sines.Value());
  EXPECT_EQ(0xC75CBC56C62E600DU, roundedSines.Value());
}

}  // namespace
}  // namespace modsin
