// FastExponential.h's fast values: a table, a short series and sums made
// exact where they must be, in Extended arithmetic, and a rounding test
// against each value's stated error bound.
#include "numeric/FastExponential.h"

#include <cassert>
#include <cmath>
#include <cstdint>

#include "numeric/ExactSum.h"
#include "numeric/FastExponentialTable.h"
#include "numeric/Primitives.h"

namespace modsin {
namespace {

// The errors that the rounding test allows for, each at least twice the
// bound that the analysis at its function gives (2^-78.9, 2^-85.6 and
// 2^-78.8): relative to the result for |f| <= 1/128 and for the logarithm,
// absolute for |f| > 1/128.
constexpr Extended kSmallPowerError = 0x1p-77L;
constexpr Extended kPowerError = 0x1.8p-85L;
constexpr Extended kLogError = 0x1p-77L;

// 3 2^56: f plus this lies in [2^57, 2^58), where Extended values are 1/64
// apart, so that the sum rounds f to the nearest multiple of 1/64 (ties to
// even, as the x87's integer store rounds f 64).
constexpr Extended kNodeShift = 0x3p56L;

// 3 2^36: likewise rounds an r with |r| <= 1/128 to a multiple of 2^-26.
constexpr Extended kGridShift = 0x3p36L;

// 3 2^23: likewise rounds an r with |r| < 2^-8 to a multiple of 2^-39.
constexpr Extended kLogGridShift = 0x3p23L;

// ln 2 as kLn2 + kLn2Low to 117 bits; kLn2, the nearest Extended, split
// into its leading and trailing 32 bits for Dekker's product. The low
// part, a double, loads in one step (an Extended takes several).
constexpr Extended kLn2SplitHigh = 0xB17217F7p-32L;
constexpr Extended kLn2SplitLow = 0xD1CF79ACp-64L;
constexpr Extended kLn2Low = -0x1.b0e2633fe0685p-67L;

// kLn2 as its 48 leading bits and its 15 trailing ones: an
// exponent e (|e| <= 16384, 15 bits) times either is exact.
constexpr Extended kLn2Leading = 0xB17217F7D1CFp-48L;
constexpr Extended kLn2Trailing = 0x79ACp-64L;

// kLn2 / ln 2 - 1 (0.6 2^-65) to the nearest double, a load in one step
// and close enough for its products: ln 2 log2(x) times 1 + kLn2Excess is
// kLn2 log2(x) to within 2^-118 of it.
constexpr Extended kLn2Excess = 0x1.384291b5ee917p-66L;

// The series of 2^u - 1 after its first two terms, in u = f ln 2: 1/3! and
// 1/4! rounded to the nearest Extended, then 1/5! ... 1/9! to the nearest
// double: their terms are below 2^-37 of u, where a double's rounding adds
// less than 2^-90.
constexpr Extended kSmallPowerTerms[] = {
    0xAAAAAAAAAAAAAAABp-66L, 0xAAAAAAAAAAAAAAABp-68L, 0x1.1111111111111p-7L,
    0x1.6c16c16c16c17p-10L,  0x1.a01a01a01a01ap-13L,  0x1.a01a01a01a01ap-16L,
    0x1.71de3a556c734p-19L,
};

// The series of 2^r - 1 after its first two terms, in r: (ln 2)^k / k! for
// k = 3 and 4 rounded to the nearest Extended, for k = 5 ... 9 to the nearest
// double (their terms are below 2^-44).
constexpr Extended kPowerTerms[] = {
    0xE35846B82505FC5Ap-68L, 0x9D955B7DD273B94Ep-70L, 0x1.5d87fe78a6731p-10L,
    0x1.430912f86c787p-13L,  0x1.ffcbfc588b0c7p-17L,  0x1.62c0223a5c824p-20L,
    0x1.b5253d395e7c4p-24L,
};

// The series of ln(1 + r) after its first two terms: 1/3 and 1/5 rounded to
// the nearest Extended, -1/4 and -1/8 exact, the rest to the nearest double
// (their terms are below 2^-34 of r).
constexpr Extended kLogTerms[] = {
    0xAAAAAAAAAAAAAAABp-65L, -0x1p-2L, 0xCCCCCCCCCCCCCCCDp-66L, -0x1.5555555555555p-3L,
    0x1.2492492492492p-3L,   -0x1p-3L, 0x1.c71c71c71c71cp-4L,   -0x1.999999999999ap-4L,
};

// FHigh, where it is the nearest Extended to every value within FError of
// FHigh + FLow (|FLow| at most half a unit of FHigh). FHigh + (FLow + FError)
// rounds to FHigh exactly when FLow + FError stays within half the gap to
// the next Extended above, and FHigh + (FLow - FError) likewise below; the
// rounding itself knows that the gap toward zero from a power of two is
// half as wide. A sum that lands on the half gap itself rounds to even and
// may be taken, and FLow + FError may round down onto it: the factor 2 of
// FError over the true error keeps every true value strictly inside.
std::optional<Extended> Decided(TFastSum sum) {
  if (sum.FHigh + (sum.FLow + sum.FError) == sum.FHigh &&
      sum.FHigh + (sum.FLow - sum.FError) == sum.FHigh)
    return sum.FHigh;
  return std::nullopt;
}

// 2^f - 1 for |f| <= 1/128: u + u^2/2 + u^3 P(u) in u = f ln 2, |u| <=
// 2^-7.53, with the error relative to the result R (|u| <= 1.003 |R|).
//
// The terms beyond u^9/9! 2^-89.6 |u|; the roundings of quantities near the
// size of u^3 P (u^2/6 <= 2^-17.65 of u, so each 2^-81.65 |u|): the square
// and the cube, P's evaluation (2.2 units with its first coefficient), its
// product and the last addition into pLow, 6.2 in all, 2^-79.02; ln 2 and
// the products left out below 2^-120. In all below 2^-79 |u|, 2^-78.9 |R|.
[[gnu::always_inline]] inline TFastSum SmallPowerSum(Extended f) {
  // Step 1: u = f ln 2 as uHigh + uLow, its leading product exact, then
  // uHigh^2 = square + squareLow exactly.
  const Extended uHigh = f * kLn2;
  const Extended uLow = ProductError(Split(f), {kLn2SplitHigh, kLn2SplitLow}, uHigh) + f * kLn2Low;
  const Extended square = uHigh * uHigh;
  const TExactSum uSplit = Split(uHigh);
  const Extended squareLow = ProductError(uSplit, uSplit, square);

  // Step 2: u + u^2/2 = uHigh + square/2 (exactly added: |uHigh| > |square|)
  // + uLow (1 + uHigh + square/2) + squareLow/2 to within 2^-128 u; P's terms
  // from u^2 on by Horner's scheme, beside the first two.
  const Extended series =
      (kSmallPowerTerms[0] + uHigh * kSmallPowerTerms[1]) +
      square * (kSmallPowerTerms[2] +
                uHigh * (kSmallPowerTerms[3] +
                         uHigh * (kSmallPowerTerms[4] +
                                  uHigh * (kSmallPowerTerms[5] + uHigh * kSmallPowerTerms[6]))));
  const Extended half = square * 0.5L;
  const Extended pHigh = uHigh + half;
  const Extended pLow =
      (((uHigh - pHigh) + half) + (uLow * ((1 + uHigh) + half) + squareLow * 0.5L)) +
      square * uHigh * series;

  // Step 3: renormalised (Fast2Sum: |pLow| is below 2^-16 of pHigh).
  const Extended high = pHigh + pLow;
  return {high, pLow - (high - pHigh), std::fabs(high) * kSmallPowerError};
}

// 2^f - 1 for 1/128 < |f| <= 1/2 from the node j/64 nearest f (j != 0) and
// r = f - j/64, |r| <= 1/128, with T = 2^(j/64):
//   2^f - 1 = (T - 1) + T ln 2 r + T (ln 2)^2/2 r^2 + T r^3 Q(r).
// r = rHigh + rLow with rHigh on the grid 2^-26 (20 bits) and |rLow| <=
// 2^-27: the table's high parts times rHigh and rHigh^2 are exact and on the
// grid 2^-65, as T - 1's high part is, so that they add exactly to a value
// below 1/2; everything else is below 2^-24.
//
// Error, absolute (the result R is at least 2^-7.53): the terms beyond r^9,
// 2^-96.6; T r^3 Q, below 2^-24.67, within 6.2 roundings of it (r^2, its
// product with r, Q by Estrin's scheme 1.7 with its first coefficient, the
// products with Q and with T, and T itself), 2^-86.04; the additions into
// the tail, 2^-88.2 for the last and 2^-90.3 and 2^-90.4 before it;
// FSlopeHigh rLow and FCurveLow r^2 (below 2^-27 and 2^-28) rounded, 2^-91 and
// 2^-92; the table's low parts within 2^-92 |r|. In all below 2^-85.6.
[[gnu::always_inline]] inline TFastSum TabledPowerSum(Extended f, std::int64_t j) {
  // Step 1: r = f - j/64 exactly (a multiple of f's last unit, and |r| <=
  // |f|), and its two parts.
  const TPowerTableRow& row = kPowerTable[static_cast<std::size_t>(j + kPowerTableRows / 2)];
  const Extended r = f - ((f + kNodeShift) - kNodeShift);
  const Extended rHigh = (r + kGridShift) - kGridShift;
  const Extended rLow = r - rHigh;
  const Extended rHighSquare = rHigh * rHigh;

  // Step 2: the exact part, and the rest, where r^2 = rHigh^2 + cross
  // enters exactly enough through cross, and Q by Estrin's scheme.
  const Extended exact =
      (row.FMinusOneHigh + row.FSlopeHigh * rHigh) + row.FCurveHigh * rHighSquare;
  const Extended cross = rLow * (rHigh + r);
  const Extended square = r * r;
  const Extended series =
      (kPowerTerms[0] + r * kPowerTerms[1]) +
      square * ((kPowerTerms[2] + r * kPowerTerms[3]) +
                square * ((kPowerTerms[4] + r * kPowerTerms[5]) + square * kPowerTerms[6]));
  const Extended tail = (((row.FMinusOneLow + row.FSlopeLow * r) + row.FCurveHigh * cross) +
                         (row.FSlopeHigh * rLow + row.FCurveLow * square)) +
                        row.FHigh * (square * r * series);

  // Step 3: renormalised (Fast2Sum: |exact| >= 2^-7.6 > 2^-24).
  const Extended high = exact + tail;
  return {high, tail - (high - exact), kPowerError};
}

[[gnu::always_inline]] inline TFastSum PowerSum(Extended f) {
  assert(std::fabs(f) >= 0x1p-66L && std::fabs(f) <= 0.5L);
  const std::int64_t j = RoundToInt64(f * kPowerTableScale);
  if (j == 0) [[unlikely]]
    return SmallPowerSum(f);
  return TabledPowerSum(f, j);
}

// x = m 2^e with a short c ~ 1/m from the table (m in [1, 2), or m / 2 and e
// + 1 in the table's halved rows):
//   kLn2 log2(x) = kLn2 e - kLn2 log2(c) + (1 + kLn2Excess) ln(1 + r),
// r = m c - 1 exact, |r| < 2^-8; ln(1 + r) = r - r^2/2 + r^3 Q(r).
//
// Error relative to the result V: |r| <= 1.002 |V| in every row with e = 0
// (the rows that reach 1, where V ~ r, and 0.996 in the others); e != 0
// gives |V| >= 0.34 >> |r|. The terms beyond r^10/10 2^-83.5 |r|; the
// roundings of quantities near the size of r^3 Q (r^2/3 <= 2^-17.58 of r, so
// each 2^-81.58 |r|): the square and the cube, Q's evaluation by Estrin's
// scheme (2 units with its first coefficient), its product and the tail's
// last addition, 6 in all, 2^-79.0; the excess times r^3/3 (left out)
// 2^-83.3; the table's low part (within 2^-103 absolute, and |V| >= 2^-9
// where it is not 0) 2^-94. In all below 2^-78.8.
[[gnu::always_inline]] inline TFastSum LogSum(Extended x) {
  // Step 1: the row of m's 8 bits after the leading one, and e.
  const TExtendedBits bits = ExtendedBits(x);
  assert(!bits.FNegative && bits.FExponent != 0 && bits.FExponent != kExtendedMaxExponent &&
         (bits.FSignificand & kExtendedLeadingBit) != 0);
  const auto index = static_cast<std::size_t>(bits.FSignificand >> (63 - kLogTableIndexBits)) &
                     (kLogTableRows - 1);
  const TLogTableRow& row = kLogTable[index];
  const int exponent = bits.FExponent - kExtendedBias + (index >= kLogTableFirstHalved ? 1 : 0);

  // Step 2: r = m c - 1 = (m' c - 1) + m'' c, with m' the significand's 55
  // leading bits and m'' its 9 trailing ones: with c's 9 bits both products
  // are exact, m' c - 1 is exact (Sterbenz: m' c lies within [1/2, 2]), and
  // so is the sum, a multiple of 2^-72 below 2^-8. The significand read as a
  // signed integer is m minus 2^64 units, which FOffset adds back.
  constexpr std::uint64_t kTrailingBits = 0x1FF;
  const auto leading =
      static_cast<Extended>(static_cast<std::int64_t>(bits.FSignificand & ~kTrailingBits));
  const auto trailing =
      static_cast<Extended>(static_cast<std::int64_t>(bits.FSignificand & kTrailingBits));
  const Extended r = (leading * row.FScale + row.FOffset) + trailing * row.FScale;

  // Step 3: r = rHigh + rLow with rHigh on the grid 2^-39, at most 32 bits,
  // so that half = rHigh^2/2 is exact.
  const Extended rHigh = (r + kLogGridShift) - kLogGridShift;
  const Extended rLow = r - rHigh;
  const Extended half = rHigh * rHigh * 0.5L;

  // Step 4: kLn2 e's leading part plus the table's high part, exact (both
  // multiples of 2^-49, the sum below 2^14); then r and -half added exactly
  // (Fast2Sum: the table holds |high| >= |r| in every row where it is not 0,
  // and |r| >= half).
  const auto e = static_cast<Extended>(exponent);
  const Extended base = e * kLn2Leading + row.FHigh;
  const Extended first = base + r;
  const Extended firstError = (base - first) + r;
  const Extended second = first - half;
  const Extended secondError = (first - second) - half;

  // Step 5: the rest, below 2^-24: the errors, kLn2 e's trailing part and
  // the table's low part, the excess times r - r^2/2, -(r^2 - rHigh^2)/2 =
  // -rLow (rHigh + r)/2, and r^3 Q by Estrin's scheme; renormalised
  // (Fast2Sum: the tail is below 2^-15 of second).
  const Extended square = r * r;
  const Extended series = (kLogTerms[0] + r * kLogTerms[1]) +
                          square * ((kLogTerms[2] + r * kLogTerms[3]) +
                                    square * ((kLogTerms[4] + r * kLogTerms[5]) +
                                              square * (kLogTerms[6] + r * kLogTerms[7])));
  const Extended tail =
      (((firstError + secondError) + (e * kLn2Trailing + static_cast<Extended>(row.FLow))) +
       (kLn2Excess * (r - half) - rLow * (rHigh + r) * 0.5L)) +
      square * r * series;
  const Extended high = second + tail;
  return {high, tail - (high - second), std::fabs(high) * kLogError};
}

}  // namespace

std::optional<Extended> FastPowerOfTwoMinusOne(Extended f) {
  return Decided(PowerSum(f));
}

std::optional<Extended> FastNaturalLog(Extended x) {
  return Decided(LogSum(x));
}

TFastSum PowerOfTwoMinusOneSum(Extended f) {
  return PowerSum(f);
}

TFastSum NaturalLogSum(Extended x) {
  return LogSum(x);
}

}  // namespace modsin
