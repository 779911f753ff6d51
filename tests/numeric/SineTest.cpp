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
#include "numeric/MathError.h"
#include "numeric/Primitives.h"
#include "numeric/RoundedSine.h"
#include "numeric/SineTable.h"
#include "tests/support/MpfrSine.h"

namespace modsin {
namespace {

using testing::ExpectedSine;
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

// The Extended nearest to k pi/2.
Extended NearestQuarterTurn(std::uint64_t k) {
  TMpfr turn(256);
  mpfr_const_pi(*turn, MPFR_RNDN);
  mpfr_mul_ui(*turn, *turn, k, MPFR_RNDN);
  mpfr_div_2ui(*turn, *turn, 1, MPFR_RNDN);
  mpfr_prec_round(*turn, 64, MPFR_RNDN);
  return mpfr_get_ld(*turn, MPFR_RNDN);
}

// x and -x.
void AddBothSigns(std::vector<Extended>& xs, Extended x) {
  xs.push_back(x);
  xs.push_back(-x);
}

// x and its neighbours, both signs.
void AddAround(std::vector<Extended>& xs, Extended x) {
  AddBothSigns(xs, x);
  AddBothSigns(xs, std::nextafter(x, 0.0L));
  AddBothSigns(xs, std::nextafter(x, 0x1p64L));
}

// The hardest arguments known, both signs.
std::vector<Extended> HardArguments() {
  std::vector<Extended> xs;
  // The closest approaches to a multiple of pi/2 of all: of an Extended below
  // 2^63 (the comment at kMostLeadingZeros) and of a double below 2^20 (29
  // 2^j pi/2).
  AddAround(xs, std::ldexp(static_cast<Extended>(18102975828909478217u), -15));
  for (int j = 0; j <= 14; ++j)
    AddAround(xs, static_cast<double>(NearestQuarterTurn(std::uint64_t{29} << j)));
  // sin(3 2^-31) = x - 4.5 units of x's last place + x^5/120 - ...: about
  // 2^-61 units above a midpoint.
  AddAround(xs, 0x3p-31L);
  // Where glibc's sinl is not the correctly rounded value (found by searching
  // random arguments against MPFR); the doubles among them are arguments
  // where the tables would also differ.
  for (const Extended x :
       {0x9.e795eeb3d4ad1fbp+49L, 0xc.934eb5b1ad1b31bp+0L, 0xb.03b7843d18e1688p+1L,
        0xb.b4d094f3f606e23p+55L, 0xf.1f8435c1743b2bfp+27L, 0xb.20b8c711fce61f1p+51L,
        0x1.1b4cd25434998p+45L, 0x1.f7d6109fa7bf8p+40L, 0x1.7f6a5a519ec1p+18L,
        0x1.ef91b4e71cab3p+22L, 0x1.88c0baef667p+2L, 0x1.fbda719134e84p+41L, 0x1.abd4c7789ac48p+23L,
        0x1.9e7d1462323b2p+7L})
    AddBothSigns(xs, x);
  return xs;
}

// Every kind of argument that Sine must round correctly, both signs.
std::vector<Extended> Arguments() {
  std::mt19937_64 bits(20261211);
  std::vector<Extended> xs;
  // 1. Random full 64-bit significands and random doubles in every binade
  //    from 2^-34 to 2^63 (the last all +0).
  for (int i = 0; i < 12000; ++i) {
    const int exponent = static_cast<int>(bits() % 98) - 34;
    AddBothSigns(xs,
                 std::ldexp(static_cast<Extended>(bits() | kExtendedLeadingBit), exponent - 63));
    AddBothSigns(xs, std::ldexp(static_cast<Extended>((bits() >> 11) | (std::uint64_t{1} << 52)),
                                exponent - 52));
  }
  // 2. Next to multiples of pi/2, where the remainder is smallest: every k
  //    up to 3000, random k up to 2^62, the Extended nearest and its
  //    neighbours, and the doubles nearest.
  std::vector<std::uint64_t> ks;
  for (std::uint64_t k = 1; k <= 3000; ++k)
    ks.push_back(k);
  for (int i = 0; i < 1500; ++i)
    ks.push_back(bits() >> (2 + bits() % 60));
  for (const std::uint64_t k : ks) {
    const Extended nearest = NearestQuarterTurn(k);
    AddAround(xs, nearest);
    AddAround(xs, static_cast<double>(nearest));
  }
  // 3. Tiny arguments: around the powers of two from 2^-40 to 2^-20 (sin x is
  //    x below 2^-32, and from there on x or the Extended toward zero), 0 and
  //    the subnormal and least normal numbers.
  for (int e = -40; e <= -20; ++e) {
    AddAround(xs, std::ldexp(1.0L, e));
    AddAround(xs, std::ldexp(1.5L, e));
    AddAround(xs, std::ldexp(1.9999L, e));
  }
  for (const Extended x :
       {0.0L, std::numeric_limits<Extended>::denorm_min(), std::numeric_limits<Extended>::min(),
        static_cast<Extended>(std::numeric_limits<double>::min())})
    AddBothSigns(xs, x);
  // 4. The hardest.
  const std::vector<Extended> hard = HardArguments();
  xs.insert(xs.end(), hard.begin(), hard.end());
  return xs;
}

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
      FloatEnvironmentGuard guard;
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

// The limbs of 2/pi and pi/4 are their first bits, truncated: the stored
// ones, and those computed for the first precision beyond them.
TEST(ExactReduction, HoldsTheBitsOfTwoOverPiAndQuarterPi) {
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
       {kStoredReductionConstants, TReductionConstants{computed.twoOverPi, computed.quarterPi}}) {
    expectLimbs(*twoOverPi, constants.twoOverPi);
    expectLimbs(*quarterPi, constants.quarterPi);
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
      EXPECT_EQ(mpfr_get_ld(*part, MPFR_RNDN), cosine ? row.cosineHigh : row.sineHigh) << i;
      mpfr_sub(*value, *value, *part, MPFR_RNDN);
      mpfr_set(*part, *value, MPFR_RNDN);
      EXPECT_EQ(mpfr_get_ld(*part, MPFR_RNDN), cosine ? row.cosineLow : row.sineLow) << i;
    }
  }
}

}  // namespace
}  // namespace modsin
