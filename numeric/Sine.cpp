// Sine (declared with the other primitives in Primitives.h): the correctly
// rounded sine of an Extended. A fast path in Extended arithmetic settles
// all but about one argument in a thousand; ExactSine the rest.
#include <bit>
#include <cmath>
#include <cstdint>

#include "numeric/ExactReduction.h"
#include "numeric/ExactSine.h"
#include "numeric/ExactSum.h"
#include "numeric/Extended.h"
#include "numeric/FloatEnvironment.h"
#include "numeric/MathError.h"
#include "numeric/Primitives.h"
#include "numeric/SineTable.h"
#include "numeric/TaylorTerms.h"

namespace modsin {
namespace {

// Below 2^-32, sin x rounds to x: x - sin x < |x|^3/6 < 2^-66.6 |x|, less
// than half the gap to the next Extended toward zero, which is at least
// 2^-65 |x| (2^-65 x exactly when x is a power of two, the tightest case).
constexpr int kLeastReducedExponent = -32;

// From 2^63 on, sin x is taken as +0.
constexpr int kLeastZeroExponent = 63;

// The fast value's error bound relative to it, 2^-75: the analysis at
// FastValue gives 2^-76.3.
constexpr Extended kFastError = 0x1p-75L;

// The fast value and how far it is from being unsure: sin x rounds to
// FValue when FMargin > 0.
struct TFastValue {
  Extended FValue;
  Extended FMargin;
};

// Whether high is the correctly rounded value of a true value within
// kFastError of high + low (|low| at most half a unit of high): the margin
// by which |low| plus the error stays inside the half gap to the next
// Extended on low's side. That gap is half as wide below a power of two.
Extended RoundingMargin(Extended high, Extended low) {
  const TExtendedBits bits = ExtendedBits(high);
  const int exponent = bits.FExponent - kExtendedBias;
  const bool towardZero = (low < 0) != bits.FNegative;
  const bool halfGap = bits.FSignificand == kExtendedLeadingBit && towardZero;
  const Extended gap = MakeExtended(false, exponent - (halfGap ? 65 : 64), kExtendedLeadingBit);
  return gap - (std::fabs(low) + std::fabs(high) * kFastError);
}

// sin(a + b) (cosine false) or cos(a + b) for 2^-69 < a <= pi/4 (1 +
// 2^-120) and 0 <= b < a 2^-63, in modsin's x87 environment. An argument
// below pi/4 gives a >= 2^-32, but a reduced one may leave far less: down to
// about 2^-68.2 (pi/2 times the closest approach of x 2/pi to a whole
// number, ExactReduction.cpp).
//
// Step 1 splits a = A + d at the nearest node A = i/128, |d| <= 2^-8. With
// the table's S = sin A and C = cos A, and (P, Q) = (S, C) for the sine or
// (C, -S) for the cosine,
//   f(A + d) = P + Q d + P (cos d - 1) + Q (sin d - d).
// Q d is formed exactly (its part Q_high d_high by TwoProduct) and added to
// P_high exactly (TwoSum), since it may be as large as P; the other terms,
// at most 2^-17 of the result, are summed in plain Extended. b enters
// through the derivative, b (Q - P d), to within b 2^-17.
//
// Error relative to the result f, which is at least |P| / 2 (the sine at
// i = 1, d = -2^-8; 0.7 |P| for the cosine): the six additions of the tail
// 6 2^-64 2^-17 |P|, cos d - 1 evaluated within 2^-62 of itself 2^-79 |P|,
// b's second order 2^-80 |f|, the rest (series cut, table, sin d - d's
// rounding) below 2^-82 |f|. In all below 2^-76.3 |f|.
//
// Row 0 serves every a up to 2^-8, however small: there A = 0, S = 0 and
// C = 1 exactly, and d = a. The cosine keeps P = 1 and the bound above. The
// sine has P = 0, so that f is not bounded by |P|, but f = d + (sin d - d) +
// b with d exact and nothing else in the sum: the tail b + (sin d - d) is
// below 2^-18.5 |f|, and its roundings (sin d - d within 2^-62 of itself)
// stay below 2^-80 |f|; the series cut and b's second order are relative to
// f as above. Nothing comes near the subnormal range (d^8 > 2^-550).
TFastValue FastValue(Extended a, Extended b, bool cosine) {
  // Step 1: the node and the distance from it, exact.
  const auto i = static_cast<std::size_t>(RoundToInt64(a * kSineTableScale));
  const TSineTableRow& row = kSineTable[i];
  const Extended d = a - static_cast<Extended>(i) / kSineTableScale;
  const Extended pHigh = cosine ? row.FCosineHigh : row.FSineHigh;
  const Extended pLow = cosine ? row.FCosineLow : row.FSineLow;
  const Extended qHigh = cosine ? -row.FSineHigh : row.FCosineHigh;
  const Extended qLow = cosine ? -row.FSineLow : row.FCosineLow;

  // Step 2: P + Q d, its leading part exact.
  const TExactSum qd = TwoProduct(qHigh, d);
  const TExactSum lead = TwoSum(pHigh, qd.FHigh);

  // Step 3: cos d - 1 = -d^2/2 + d^4/4! - d^6/6! + d^8/8! and sin d - d =
  // -d^3/3! + d^5/5! - d^7/7!; for |d| <= 2^-8 the terms left out are below
  // 2^-101 and 2^-82 relative to the result.
  const Extended z = d * d;
  const Extended cosMinusOne =
      z * (-0.5L + z * (kCosineTerms[0] + z * (kCosineTerms[1] + z * kCosineTerms[2])));
  const Extended sinMinusD = d * z * (kSineTerms[0] + z * (kSineTerms[1] + z * kSineTerms[2]));

  // Step 4: the small terms, then the sum renormalised (Fast2Sum: |lead.FHigh|
  // exceeds the tail by far).
  const Extended tail =
      lead.FLow + (pLow + (qd.FLow + (qLow * d + b * (qHigh - pHigh * d) +
                                      (pHigh * cosMinusOne + qHigh * sinMinusD))));
  const Extended high = lead.FHigh + tail;
  const Extended low = tail - (high - lead.FHigh);
  return {high, RoundingMargin(high, low)};
}

}  // namespace

Extended Sine(Extended x) {
  const TExtendedBits bits = ExtendedBits(x);
  // Step 1: a NaN, an infinity, and the encodings that the x87 itself
  // rejects as operands (a nonzero exponent without the leading bit) are
  // invalid; from 2^63 on the result is +0; below 2^-32 it is x (also for
  // zeros, subnormal numbers and the x87's pseudo-denormal encodings).
  if (bits.FExponent == kExtendedMaxExponent ||
      (bits.FExponent != 0 && (bits.FSignificand & kExtendedLeadingBit) == 0))
    Raise<EInvalidOp>();
  const int exponent = bits.FExponent - kExtendedBias;
  if (exponent >= kLeastZeroExponent) return +0.0L;
  if (exponent < kLeastReducedExponent) return x;

  // Step 2: |x| = n pi/2 + r, r to 128 bits as a + b (both of r's sign).
  const TFastReduction r = ReduceFast(bits.FSignificand, exponent);
  const Extended a = MakeExtended(false, r.FExponent - 1, r.FMagnitude.FHigh);
  Extended b = 0;
  if (r.FMagnitude.FLow != 0) {
    const int shift = std::countl_zero(r.FMagnitude.FLow);
    b = MakeExtended(false, r.FExponent - 65 - shift, r.FMagnitude.FLow << shift);
  }

  // Step 3: sin x is sin r, cos r, -sin r or -cos r by n modulo 4, from the
  // fast value where it decides the rounding, else from ExactSine.
  const bool cosine = (r.FQuadrant & 1u) != 0;
  const TFastValue fast = InOwnX87Environment(FastValue, a, b, cosine);
  if (!(fast.FMargin > 0)) return ExactSine(x);
  return SineIsNegative(bits.FNegative, r.FQuadrant, r.FNegative) ? -fast.FValue : fast.FValue;
}

}  // namespace modsin
