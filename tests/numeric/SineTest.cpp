#include <gtest/gtest.h>
#include <mpfr.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <span>
#include <vector>

#include "numeric/ExactReduction.h"
#include "numeric/ExactSine.h"
#include "numeric/Extended.h"
#include "numeric/FloatEnvironment.h"
#include "numeric/LogTwo.h"
#include "numeric/MathError.h"
#include "numeric/Primitives.h"
#include "numeric/RoundedSine.h"
#include "numeric/SineTable.h"
#include "numeric/TaylorTerms.h"
#include "tests/support/MpfrSine.h"
#include "tests/support/SineArguments.h"

namespace modsin {
namespace {

using testing::Arguments;
using testing::ExpectedSine;
using testing::HardArguments;
using testing::SameExtended;

// An MPFR number of `bits` bits, freed at the end of the scope.
class TMpfr {
 public:
  explicit TMpfr(mpfr_prec_t bits) { mpfr_init2(FValue, bits); }
  ~TMpfr() { mpfr_clear(FValue); }
  TMpfr(const TMpfr&) = delete;
  TMpfr& operator=(const TMpfr&) = delete;
  mpfr_ptr operator*() { return FValue; }

 private:
  mpfr_t FValue;
};

bool IsDouble(Extended x) {
  return static_cast<Extended>(static_cast<double>(x)) == x;
}

// Sine against MPFR for every argument, and RoundedSine against MPFR's value
// rounded once more to a double for every argument that is a double.
TEST(Sine, IsTheCorrectlyRoundedSine) {
  int failures = 0;
  for (const Extended x : Arguments()) {
    const Extended expected = ExpectedSine(x);
    const Extended sine = Sine(x);
    const bool roundedAgrees =
        !IsDouble(x) || std::bit_cast<std::uint64_t>(RoundedSine(static_cast<double>(x))) ==
                            std::bit_cast<std::uint64_t>(static_cast<double>(expected));
    if ((!SameExtended(expected, sine) || !roundedAgrees) && ++failures <= 10)
      ADD_FAILURE() << std::hexfloat << "x = " << x << ": Sine " << sine << ", MPFR " << expected
                    << (roundedAgrees ? "" : ", RoundedSine differs");
  }
  EXPECT_EQ(0, failures);
}

// Another precision, another rounding, and an unmasked inexact condition,
// which would fault at the first rounded operation left unmasked: the same
// values, and the caller's control word as it was.
TEST(Sine, DoesNotDependOnTheCallersControlWord) {
  std::vector<Extended> xs;
  const std::vector<Extended> all = Arguments();
  for (std::size_t i = 0; i < all.size(); i += 11)
    xs.push_back(all[i]);
  std::vector<Extended> expected;
  for (const Extended x : xs)
    expected.push_back(ExpectedSine(x));
  for (const std::uint16_t word :
       {std::uint16_t{0x027F}, std::uint16_t{0x0C7F}, std::uint16_t{0x035F}}) {
    std::vector<Extended> sines(xs.size());
    std::uint16_t after = 0;
    {
      TFloatEnvironmentGuard guard;
      asm volatile("fldcw %0" : : "m"(word));
      for (std::size_t i = 0; i < xs.size(); ++i)
        sines[i] = Sine(xs[i]);
      after = X87ControlWord();
    }
    EXPECT_EQ(word, after);
    for (std::size_t i = 0; i < xs.size(); ++i)
      EXPECT_TRUE(SameExtended(expected[i], sines[i]))
          << std::hexfloat << "x = " << xs[i] << ", control word " << word;
  }
}

// The last path on its own: from too few limbs to decide anything (2), so
// that it must double its precision, and from the most it has.
TEST(ExactSine, GrowsItsPrecisionUntilTheRoundingIsDecided) {
  const std::vector<Extended> all = Arguments();
  for (std::size_t i = 0; i < all.size(); i += 23) {
    const Extended x = all[i];
    if (!(std::fabs(x) >= 0x1p-32L && std::fabs(x) < 0x1p63L)) continue;
    const Extended expected = ExpectedSine(x);
    EXPECT_TRUE(SameExtended(expected, ExactSine(x, 2))) << std::hexfloat << "x = " << x;
    EXPECT_TRUE(SameExtended(expected, ExactSine(x, kMostReductionLimbs)))
        << std::hexfloat << "x = " << x;
  }
}

// The path beyond the stored constants, which no argument met so far needs,
// forced on the hardest arguments (the positive ones: the sign is settled as
// on the other paths): from too few limbs to decide anything (2), doubling
// with 2/pi and pi/4 computed for each precision, and for some from the first
// precision beyond the stored constants.
TEST(ExactSine, HasNoLastPrecision) {
  const std::vector<Extended> hard = HardArguments();
  for (std::size_t i = 0; i < hard.size(); i += 2) {
    const Extended x = hard[i];
    const Extended expected = ExpectedSine(x);
    EXPECT_TRUE(SameExtended(expected, UnboundedSine(x, 2))) << std::hexfloat << "x = " << x;
    if (i % 16 == 0) {
      EXPECT_TRUE(SameExtended(expected, UnboundedSine(x, 2 * kMostReductionLimbs)))
          << std::hexfloat << "x = " << x;
    }
  }
}

TEST(Sine, RejectsWhatTheX87Rejects) {
  // An unnormal: exponent 0x3FFF, leading bit clear.
  const Extended unnormal = MakeExtended(false, 0, 0x4000000000000000);
  EXPECT_THROW(Sine(unnormal), EInvalidOp);
  // A pseudo-denormal (exponent field 0, leading bit set) is a number, 2^-16382.
  Extended pseudoDenormal = 0;
  const std::uint64_t significand = kExtendedLeadingBit;
  std::memcpy(&pseudoDenormal, &significand, sizeof significand);
  EXPECT_EQ(0x1p-16382L, Sine(pseudoDenormal));
}

// The limbs of the exact paths' constants are their first bits, truncated:
// 2/pi and pi/4 for the sine, ln 2 and log2(e) / 2 for the exponential and
// the logarithm; the stored ones, and those computed for the first
// precision beyond them (whose last limbs no value shows).
TEST(ExactPaths, HoldTheBitsOfTheirConstants) {
  const auto expectLimbs = [](mpfr_srcptr constant, std::span<const std::uint32_t> limbs) {
    TMpfr rest(4096);
    mpfr_set(*rest, constant, MPFR_RNDN);
    for (std::size_t i = 0; i < limbs.size(); ++i) {
      mpfr_mul_2ui(*rest, *rest, 32, MPFR_RNDN);  // exact
      const auto limb = static_cast<std::uint32_t>(mpfr_get_ui(*rest, MPFR_RNDZ));
      EXPECT_EQ(limb, limbs[i]) << "limb " << i << " of " << limbs.size();
      mpfr_sub_ui(*rest, *rest, limb, MPFR_RNDN);  // exact
    }
  };
  TMpfr quarterPi(4096);
  mpfr_const_pi(*quarterPi, MPFR_RNDN);
  mpfr_div_2ui(*quarterPi, *quarterPi, 2, MPFR_RNDN);
  TMpfr twoOverPi(4096);
  mpfr_ui_div(*twoOverPi, 1, *quarterPi, MPFR_RNDN);
  mpfr_div_2ui(*twoOverPi, *twoOverPi, 1, MPFR_RNDN);
  const TComputedReductionConstants computed = ComputeReductionConstants(2 * kMostReductionLimbs);
  for (const TReductionConstants constants :
       {kStoredReductionConstants, TReductionConstants{computed.FTwoOverPi, computed.FQuarterPi}}) {
    expectLimbs(*twoOverPi, constants.FTwoOverPi);
    expectLimbs(*quarterPi, constants.FQuarterPi);
  }
  TMpfr lnTwo(4096);
  mpfr_const_log2(*lnTwo, MPFR_RNDN);
  TMpfr halfLog2E(4096);
  mpfr_ui_div(*halfLog2E, 1, *lnTwo, MPFR_RNDN);
  mpfr_div_2ui(*halfLog2E, *halfLog2E, 1, MPFR_RNDN);
  const TComputedLogConstants computedLog = ComputeLogConstants(2 * kMostLogLimbs);
  for (const TLogConstants constants :
       {kStoredLogConstants, TLogConstants{computedLog.FLnTwo, computedLog.FHalfLog2E}}) {
    expectLimbs(*lnTwo, constants.FLnTwo);
    expectLimbs(*halfLog2E, constants.FHalfLog2E);
  }
}

// ReduceFast against ReduceExactly at 8 limbs, whose error is far below its
// own: the same quadrant, sign and exponent, and a magnitude within 2^-121.
// No sine would show a fault here: Sine's rounding test sends an argument
// whose fast remainder is wrong to ExactSine.
TEST(ExactReduction, FastReductionAgreesWithTheExactOne) {
  for (const Extended x : Arguments()) {
    const TExtendedBits bits = ExtendedBits(x);
    const int exponent = bits.FExponent - kExtendedBias;
    if (bits.FNegative || exponent < -32 || exponent >= 63) continue;
    const TFastReduction fast = ReduceFast(bits.FSignificand, exponent);
    const TWideReductionOf<TFixedLimbs> exact =
        ReduceExactly<TFixedLimbs>(bits.FSignificand, exponent, 8, kStoredReductionConstants);
    // fast - exact in units of 2^-128, as a two-word difference.
    const std::uint64_t exactLow = Limbs64(exact.FMagnitude, 2);
    const std::uint64_t low = fast.FMagnitude.FLow - exactLow;
    const std::uint64_t high = fast.FMagnitude.FHigh - Limbs64(exact.FMagnitude, 0) -
                               (fast.FMagnitude.FLow < exactLow ? 1 : 0);
    const bool close = (high == 0 && low < 128) || (high == ~std::uint64_t{0} && 0 - low <= 128);
    EXPECT_TRUE(close && fast.FQuadrant == exact.FQuadrant && fast.FNegative == exact.FNegative &&
                fast.FExponent == exact.FExponent)
        << std::hexfloat << "x = " << x;
  }
}

// Each entry's high part is the nearest Extended to sin or cos of its node,
// and its low part the nearest to the rest.
TEST(SineTable, HoldsSinAndCosToMpfr) {
  for (int i = 0; i < kSineTableRows; ++i) {
    const TSineTableRow& row = kSineTable[static_cast<std::size_t>(i)];
    for (const bool cosine : {false, true}) {
      TMpfr value(256);
      TMpfr node(64);
      mpfr_set_si(*node, i, MPFR_RNDN);
      mpfr_div_2ui(*node, *node, 7, MPFR_RNDN);
      (cosine ? mpfr_cos : mpfr_sin)(*value, *node, MPFR_RNDN);
      TMpfr part(64);
      mpfr_set(*part, *value, MPFR_RNDN);
      EXPECT_EQ(mpfr_get_ld(*part, MPFR_RNDN), cosine ? row.FCosineHigh : row.FSineHigh) << i;
      mpfr_sub(*value, *value, *part, MPFR_RNDN);
      mpfr_set(*part, *value, MPFR_RNDN);
      EXPECT_EQ(mpfr_get_ld(*part, MPFR_RNDN), cosine ? row.FCosineLow : row.FSineLow) << i;
    }
  }
}

// Each series coefficient is the nearest Extended to -1/3!, 1/5!, ... (the
// sine's) or 1/4!, -1/6!, ... (the cosine's). The last ones move a value by
// a few units only, less than the short path's margin: no sine shows it.
TEST(TaylorTerms, AreTheNearestExtendedToTheirFactorials) {
  for (const bool cosine : {false, true}) {
    for (int i = 0; i < 9; ++i) {
      TMpfr term(64);
      mpfr_fac_ui(*term, static_cast<unsigned long>(2 * i + (cosine ? 4 : 3)), MPFR_RNDN);  // exact
      mpfr_si_div(*term, (i % 2 == 0) == cosine ? 1 : -1, *term, MPFR_RNDN);
      EXPECT_EQ(mpfr_get_ld(*term, MPFR_RNDN), (cosine ? kCosineTerms : kSineTerms)[i]) << i;
    }
  }
}

}  // namespace
}  // namespace modsin
