#include <gtest/gtest.h>
#include <mpfr.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <random>
#include <vector>

#include "numeric/ExactExponential.h"
#include "numeric/ExactLogarithm.h"
#include "numeric/Extended.h"
#include "numeric/FastExponential.h"
#include "numeric/FastExponentialTable.h"
#include "numeric/FloatEnvironment.h"
#include "numeric/Primitives.h"
#include "tests/support/Mpfr.h"

namespace modsin {
namespace {

// An MPFR number, by default of bits far beyond the fast values' 2^-86
// relative errors.
struct TMpfr : testing::TMpfrNumber {
  explicit TMpfr(mpfr_prec_t bits = 320) : TMpfrNumber(bits) {}
};
// value times kLn2 (or -kLn2), exactly.
void MultiplyByLn2(mpfr_ptr value, bool negative = false) {
  TMpfr factor(64);
  mpfr_set_ld(*factor, negative ? -kLn2 : kLn2, MPFR_RNDN);
  mpfr_mul(value, value, *factor, MPFR_RNDN);
}

Extended NearestExtended(mpfr_ptr value) {
  TMpfr rounded(64);
  mpfr_set(*rounded, value, MPFR_RNDN);
  return mpfr_get_ld(*rounded, MPFR_RNDN);
}

// The nearest multiple of 2^-bits.
Extended NearestMultiple(mpfr_ptr value, int bits) {
  TMpfr scaled;
  mpfr_mul_2si(*scaled, value, bits, MPFR_RNDN);
  mpfr_rint(*scaled, *scaled, MPFR_RNDN);
  mpfr_div_2si(*scaled, *scaled, bits, MPFR_RNDN);
  return mpfr_get_ld(*scaled, MPFR_RNDN);
}

// What remains of value beyond part, as the nearest double.
double Rest(mpfr_ptr value, Extended part) {
  TMpfr rest;
  mpfr_set_ld(*rest, part, MPFR_RNDN);
  mpfr_sub(*rest, value, *rest, MPFR_RNDN);
  return mpfr_get_d(*rest, MPFR_RNDN);
}

TEST(FastExponentialTable, HoldsThePowersOfTwoToMpfr) {
  for (int j = -kPowerTableRows / 2; j <= kPowerTableRows / 2; ++j) {
    const TPowerTableRow& row = kPowerTable[static_cast<std::size_t>(j + kPowerTableRows / 2)];
    TMpfr power;
    mpfr_set_si(*power, j, MPFR_RNDN);
    mpfr_div_si(*power, *power, kPowerTableScale, MPFR_RNDN);
    mpfr_exp2(*power, *power, MPFR_RNDN);
    TMpfr value;
    mpfr_sub_ui(*value, *power, 1, MPFR_RNDN);
    EXPECT_EQ(NearestMultiple(*value, 65), row.FMinusOneHigh) << j;
    EXPECT_EQ(Rest(*value, row.FMinusOneHigh), row.FMinusOneLow) << j;
    EXPECT_EQ(NearestExtended(*power), row.FHigh) << j;
    mpfr_const_log2(*value, MPFR_RNDN);
    mpfr_mul(*value, *value, *power, MPFR_RNDN);
    EXPECT_EQ(NearestMultiple(*value, 39), row.FSlopeHigh) << j;
    EXPECT_EQ(Rest(*value, row.FSlopeHigh), row.FSlopeLow) << j;
    TMpfr curve;
    mpfr_const_log2(*curve, MPFR_RNDN);
    mpfr_mul(*curve, *curve, *value, MPFR_RNDN);
    mpfr_div_2ui(*curve, *curve, 1, MPFR_RNDN);
    EXPECT_EQ(NearestMultiple(*curve, 13), row.FCurveHigh) << j;
    mpfr_sub_d(*curve, *curve, row.FCurveHigh, MPFR_RNDN);
    EXPECT_EQ(NearestExtended(*curve), row.FCurveLow) << j;
  }
}

// Each row's c as FastNaturalLog's exact reduction needs it, and -kLn2
// log2(c) to MPFR.
TEST(FastExponentialTable, HoldsTheReciprocalsAndTheirLogarithms) {
  for (int j = 0; j < kLogTableRows; ++j) {
    const TLogTableRow& row = kLogTable[static_cast<std::size_t>(j)];
    const bool halved = j >= kLogTableFirstHalved;
    // The significands that the row serves, [least, most], as m (halved:
    // m / 2) times 2^63.
    const Extended least = 0x1p63L + 0x1p55L * j;
    const Extended most = least + (0x1p55L - 1);
    const Extended c = static_cast<Extended>(row.FScale) * (halved ? 0x1p64L : 0x1p63L);
    EXPECT_EQ(halved ? c - 1 : 2 * c - 1, static_cast<Extended>(row.FOffset)) << j;
    const Extended grid = halved ? 0x1p8L : 0x1p9L;
    EXPECT_EQ(std::nearbyint(c * grid), c * grid) << j;
    const Extended scale = halved ? 0x1p-64L : 0x1p-63L;
    const Extended rLeast = least * scale * c - 1;
    const Extended rMost = most * scale * c - 1;
    const Extended rBound = std::fmax(std::fabs(rLeast), std::fabs(rMost));
    EXPECT_LT(rBound, 0x1p-8L) << j;
    if (j == 0 || j == kLogTableRows - 1) {
      EXPECT_EQ(1, c) << j;
    }
    TMpfr value;
    mpfr_set_ld(*value, c, MPFR_RNDN);
    mpfr_log2(*value, *value, MPFR_RNDN);
    MultiplyByLn2(*value, true);
    EXPECT_EQ(NearestMultiple(*value, 49), row.FHigh) << j;
    EXPECT_EQ(Rest(*value, row.FHigh), row.FLow) << j;
    // What lets FastNaturalLog add r to the high part by Fast2Sum.
    if (row.FHigh != 0) {
      EXPECT_GE(std::fabs(row.FHigh), rBound) << j;
    }
  }
}

// What a sweep found: the largest error against the allowed one, and how
// many values the rounding test left undecided.
struct TSweep {
  double worstShare = 0;
  Extended worstArgument = 0;
  int undecided = 0;
  int count = 0;
};

// One argument of FastPowerOfTwoMinusOne (log false) or FastNaturalLog
// against MPFR: the fast value's error below half the error that its
// rounding test allows for (the bound that the analysis gives), and a value
// returned only where it is the correctly rounded one; for a constructed
// argument (exactToo), the exact path's value too.
void Check(Extended argument, bool log, TSweep& sweep, bool exactToo = false) {
  TMpfr value;
  mpfr_set_ld(*value, argument, MPFR_RNDN);
  if (log) {
    mpfr_log2(*value, *value, MPFR_RNDN);
    MultiplyByLn2(*value);
  } else {
    mpfr_exp2(*value, *value, MPFR_RNDN);
    mpfr_sub_ui(*value, *value, 1, MPFR_RNDN);
  }
  const TFastSum sum = log ? NaturalLogSum(argument) : PowerOfTwoMinusOneSum(argument);
  TMpfr error;
  mpfr_set_ld(*error, sum.FHigh, MPFR_RNDN);
  TMpfr low(64);
  mpfr_set_ld(*low, sum.FLow, MPFR_RNDN);
  mpfr_add(*error, *error, *low, MPFR_RNDN);
  mpfr_sub(*error, *error, *value, MPFR_RNDN);
  const double share = std::fabs(mpfr_get_d(*error, MPFR_RNDN) / static_cast<double>(sum.FError));
  if (share > sweep.worstShare) {
    sweep.worstShare = share;
    sweep.worstArgument = argument;
  }
  EXPECT_LT(share, 0.5) << std::hexfloat << (log ? "x = " : "f = ") << argument;
  if (exactToo) {
    EXPECT_EQ(NearestExtended(*value),
              log ? ExactNaturalLog(argument) : ExactPowerOfTwoMinusOne(argument))
        << std::hexfloat << "exact path, " << (log ? "x = " : "f = ") << argument;
  }
  const std::optional<Extended> fast =
      log ? FastNaturalLog(argument) : FastPowerOfTwoMinusOne(argument);
  ++sweep.count;
  if (!fast) {
    ++sweep.undecided;
    return;
  }
  EXPECT_EQ(NearestExtended(*value), *fast) << std::hexfloat << (log ? "x = " : "f = ") << argument;
}

// A normal Extended with random significand and the given exponent.
Extended RandomIn(std::mt19937_64& bits, int exponent, bool negative = false) {
  return MakeExtended(negative, exponent, bits() | kExtendedLeadingBit);
}

// The neighbours of x, `count` units of its last place either side.
void AddNeighbours(std::vector<Extended>& arguments, Extended x, int count = 2) {
  Extended below = x;
  Extended above = x;
  for (int i = 0; i < count; ++i) {
    below = std::nextafter(below, -1e9L);
    above = std::nextafter(above, 1e9L);
    arguments.push_back(below);
    arguments.push_back(above);
  }
  arguments.push_back(x);
}

TEST(FastPowerOfTwoMinusOne, IsCorrectlyRoundedWhereItDecides) {
  TFloatEnvironmentGuard guard;
  EstablishFloatEnvironment();
  std::mt19937_64 bits(20261214);
  // Random: every binade from 2^-66 to 1/2, both signs, and f spread evenly
  // over [-1/2, 1/2] as a power's fraction is.
  TSweep random;
  std::uniform_real_distribution<double> even(-0.5, 0.5);
  for (int i = 0; i < 1000; ++i) {
    for (int exponent = -66; exponent <= -2; ++exponent)
      Check(RandomIn(bits, exponent, (i & 1) != 0), false, random);
    Check(even(bits), false, random);
  }
  // Built: +-1/2, the least f, each node j/64 and each boundary between
  // nodes (j + 1/2)/64 with its neighbours (the boundary at 1/128 also
  // parts the small f from the tabled ones).
  std::vector<Extended> built{-0.5L, 0.5L, 0x1p-66L, -0x1p-66L};
  for (int j = -32; j <= 32; ++j) {
    if (j != 0) AddNeighbours(built, j / 64.0L);
    if (j != 32) AddNeighbours(built, (j + 0.5L) / 64);
  }
  // And the f whose result lies beside +-2^k, where the gap between Extended
  // values halves.
  for (int k = -60; k <= -2; ++k) {
    for (const int sign : {1, -1}) {
      TMpfr f;
      mpfr_set_si_2exp(*f, sign, k, MPFR_RNDN);
      mpfr_add_ui(*f, *f, 1, MPFR_RNDN);
      mpfr_log2(*f, *f, MPFR_RNDN);
      AddNeighbours(built, NearestExtended(*f));
    }
  }
  // And f = m 2^-65 with m = 2^63 log2(e) rounded up, and its neighbours: f ln 2
  // has 0x80000000 as its first limb, the edge of the exact path's shift.
  for (const bool negative : {false, true})
    AddNeighbours(built, MakeExtended(negative, -2, 0xB8AA3B295C17F0BC), 1);
  TSweep constructed;
  for (const Extended f : built)
    if (std::fabs(f) <= 0.5L && std::fabs(f) >= 0x1p-66L) Check(f, false, constructed, true);
  // About 1 in 4000 where |f| <= 1/128, far fewer above.
  EXPECT_LT(random.undecided, random.count / 1000);
  std::printf(
      "FastPowerOfTwoMinusOne: worst error %.3f of the allowed (at %La), %d of %d "
      "random arguments undecided\n",
      std::fmax(random.worstShare, constructed.worstShare),
      random.worstShare > constructed.worstShare ? random.worstArgument : constructed.worstArgument,
      random.undecided, random.count);
}

TEST(FastNaturalLog, IsCorrectlyRoundedWhereItDecides) {
  TFloatEnvironmentGuard guard;
  EstablishFloatEnvironment();
  std::mt19937_64 bits(20261215);
  // Random: every exponent alike, and the exponents -1, 0 and 1 (where the
  // result is below 1 and the table's high parts matter most).
  TSweep random;
  std::uniform_int_distribution<int> anyExponent(-16382, 16383);
  for (int i = 0; i < 40000; ++i) {
    Check(RandomIn(bits, anyExponent(bits)), true, random);
    Check(RandomIn(bits, i % 3 - 1), true, random);
  }
  // Built: x near 1 on both sides (the result is then near r, and relative
  // to it), each row's boundaries at exponents 0, -1 and random ones, and
  // the least and largest normal values. x near a power of two 2^e with e
  // != 0 has its result near e kLn2 +- a multiple of x's last unit, a
  // midpoint for half of them: the fast value cannot decide those and
  // leaves them to the exact path.
  std::vector<Extended> built;
  for (int shift = 1; shift <= 62; ++shift) {
    built.push_back(1 + std::ldexp(static_cast<Extended>(bits() >> shift), -63));
    built.push_back(1 - std::ldexp(static_cast<Extended>(bits() >> shift), -64));
  }
  AddNeighbours(built, 1, 4);
  for (int j = 0; j < kLogTableRows; ++j) {
    const Extended boundary = 1 + j / 256.0L;
    for (const int exponent : {0, -1, anyExponent(bits)})
      AddNeighbours(built, std::ldexp(boundary, exponent), 1);
  }
  // And the x whose result lies beside +-2^k, where the gap between
  // Extended values halves: x = 2^(+-2^k / kLn2).
  for (int k = -60; k <= 13; ++k) {
    for (const int sign : {1, -1}) {
      TMpfr x;
      TMpfr ln2(64);
      mpfr_set_ld(*ln2, kLn2, MPFR_RNDN);
      mpfr_set_si_2exp(*x, sign, k, MPFR_RNDN);
      mpfr_div(*x, *x, *ln2, MPFR_RNDN);
      mpfr_exp2(*x, *x, MPFR_RNDN);
      AddNeighbours(built, NearestExtended(*x));
    }
  }
  // And the x just beside 2^e, e != 0, whose results lie within about 2^-128
  // of midpoints on either side, where only a rounding test that looks at
  // both sides of the fast value stays right.
  for (int e = -40; e <= 40; ++e)
    if (e != 0) AddNeighbours(built, std::ldexp(1.0L, e), 12);
  AddNeighbours(built, 0x1p-16382L, 2);
  AddNeighbours(built, std::numeric_limits<Extended>::max(), 2);
  TSweep constructed;
  for (const Extended x : built) {
    const TExtendedBits fields = ExtendedBits(x);
    const bool powerOfTwo = fields.FSignificand == kExtendedLeadingBit;
    if (fields.FExponent != 0 && fields.FExponent != kExtendedMaxExponent && !powerOfTwo)
      Check(x, true, constructed, true);
  }
  EXPECT_LT(random.undecided, random.count / 1000);
  std::printf(
      "FastNaturalLog: worst error %.3f of the allowed (at %La), %d of %d random "
      "arguments undecided\n",
      std::fmax(random.worstShare, constructed.worstShare),
      random.worstShare > constructed.worstShare ? random.worstArgument : constructed.worstArgument,
      random.undecided, random.count);
}

}  // namespace
}  // namespace modsin
