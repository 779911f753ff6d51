#include "numeric/RoundedSine.h"

#include <cmath>
#include <cstdint>

#include "numeric/FloatEnvironment.h"
#include "numeric/Primitives.h"
#include "numeric/TaylorTerms.h"

namespace modsin {
namespace {

// 2/pi rounded to the nearest Extended.
constexpr Extended kTwoOverPi = 0xA2F9836E4E44152Ap-64L;

// pi/2 = kHalfPi1 + kHalfPi2 + kHalfPi3 + d with |d| < 2^-145.35: kHalfPi3
// is the rest rounded to the nearest Extended, here up, so that d is
// negative, about -2^-145.36. The first part carries 40 significant bits and
// the second 38, so that their products with a whole number of quarter turns
// below 2^20 are exact.
constexpr Extended kHalfPi1 = 0xC90FDAA221000000p-63L;
constexpr Extended kHalfPi2 = 0xD18469898C000000p-104L;
constexpr Extended kHalfPi3 = 0xC51701B839A25205p-144L;

// Adding 1.5 * 2^63 to an Extended of magnitude below 2^62 rounds it to a
// whole number (to nearest, ties to even) and leaves that number, modulo 2^64,
// in the low bits of the sum's significand. n stays in a register this way;
// RoundToInt64 would send it through memory and back on the critical path
// (measured: about 10% more per curve value in sequence).
constexpr Extended kRoundingShift = 0x1.8p63L;

// How far, in units of Extended's last place, the short value must lie from
// the midpoint between two doubles for Sine's result to round to the same
// double. The two differ by less than 6 units (ShortSine); the rest is margin.
constexpr unsigned kMidpointMargin = 8;

// Below 2^-1021 a double's rounding point is not where the short value has it
// (the doubles' subnormal range lies just under 2^-1022). From this argument
// on, the sine stays above that by far: at least 0.83 |x| up to |x| = 1, and
// at least 2^-61 from there to kShortSineLimit, where no double lies nearer
// than 2^-60.5 to a multiple of pi.
constexpr double kSmallestDecided = 0x1p-1020;

// The x87 control bits the short path relies on: precision and rounding.
constexpr std::uint16_t kPrecisionAndRounding = 0x0F00;

// A series' coefficients t[0] ... t[8] for the short path: the first two as
// the nearest Extended, the rest as the nearest double. With |r| <= pi/4 the
// rest are multiplied by z^2 = r^4 and beyond, so a double's rounding moves
// the sine or the cosine by less than 0.002 u (u = 2^-64, relative); from
// memory, a double loads in one micro-operation, an Extended in four.
struct TShortSeries {
  Extended FFirst[2];
  double FRest[7];
};

constexpr TShortSeries ShortSeries(const Extended (&t)[9]) {
  return {{t[0], t[1]},
          {static_cast<double>(t[2]), static_cast<double>(t[3]), static_cast<double>(t[4]),
           static_cast<double>(t[5]), static_cast<double>(t[6]), static_cast<double>(t[7]),
           static_cast<double>(t[8])}};
}

constexpr TShortSeries kShortSineSeries = ShortSeries(kSineTerms);
constexpr TShortSeries kShortCosineSeries = ShortSeries(kCosineTerms);

// t[0] + t[1] z + ... + t[8] z^8 by Estrin's scheme: pairs first, then pairs
// of pairs, so that the products do not wait on each other.
Extended Polynomial(const TShortSeries& t, Extended z) {
  const Extended z2 = z * z;
  const Extended z4 = z2 * z2;
  const Extended p01 = t.FFirst[0] + t.FFirst[1] * z;
  const Extended p23 = t.FRest[0] + t.FRest[1] * z;
  const Extended p45 = t.FRest[2] + t.FRest[3] * z;
  const Extended p67 = t.FRest[4] + t.FRest[5] * z;
  const Extended p03 = p01 + p23 * z2;
  const Extended p47 = p45 + p67 * z2;
  return p03 + (p47 + t.FRest[6] * z4) * z4;
}

// r = x - n * pi/2 for the whole number n nearest to x * 2/pi, and n modulo 4.
//
// The error of r, with u = 2^-64 the rounding of one Extended operation. For
// n = 0, r is x. Otherwise |x| > pi/4 and x is a multiple of 2^-53, n *
// kHalfPi1 of 2^-39 and n * kHalfPi2 of 2^-78, so r1 - n * kHalfPi2 is exact
// below 2^-14, and within u |r| above. The last subtraction adds u |r|. The
// rounding of n * kHalfPi3 (u of it) and the part of pi/2 beyond the three
// constants (|d| a quarter turn) stay below 2^-123.85 with |n| < 2^19.35:
// 2^-62.85 of the smallest remainder of a double below 2^20 (2^-60.5 or
// more, near 29 pi/2). In all, r is within rho = 1.62 * 2^-63 of x - n *
// pi/2, relative to it.
struct TReducedArgument {
  Extended FRemainder;
  unsigned FQuadrant;
};

TReducedArgument Reduce(double x) {
  const Extended shifted = Extended{x} * kTwoOverPi + kRoundingShift;
  const auto quadrant = static_cast<unsigned>(ExtendedBits(shifted).FSignificand & 3);
  const Extended n = shifted - kRoundingShift;
  // Exact: n * kHalfPi1 lies within a factor of 2 of x (Sterbenz).
  const Extended r1 = Extended{x} - n * kHalfPi1;
  return {(r1 - n * kHalfPi2) - n * kHalfPi3, quadrant};
}

// sin r for |r| <= pi/4, within 2.73 * 2^-63 of sin of the exact remainder,
// relative to it: the last addition u, the product with P 0.83 u (r^3 P is
// at most 0.103 r, its error about 8 u of that), the coefficients as doubles
// 0.002 u, the series' remainder 2^-72, and r's own error 1.111 rho (r / sin r
// <= 1.111).
Extended SineOfReduced(Extended r) {
  const Extended z = r * r;
  return r + r * z * Polynomial(kShortSineSeries, z);
}

// cos r for |r| <= pi/4. The rounding of 1 - z/2 is carried along, so that
// the sum is rounded once at the end. Within 2.1 * 2^-63 of the cosine of the
// exact remainder, relative to it: the last addition u, the rounding of z in
// 1 - z/2 0.31 u and the rest (the coefficients as doubles among it) 0.15 u
// (against a cosine of 0.707 or more), and r's error 0.785 rho (r tan r <=
// 0.785).
Extended CosineOfReduced(Extended r) {
  const Extended z = r * r;
  const Extended half = z / 2;
  const Extended lead = 1 - half;
  const Extended leadError = (1 - lead) - half;
  return lead + (leadError + z * z * Polynomial(kShortCosineSeries, z));
}

// Whether every value within kMidpointMargin units of x rounds to the same
// double as x, for |x| >= 2^-1021.
bool RoundsSurely(Extended x) {
  return UnitsFromDoubleMidpoint(x) > kMidpointMargin;
}

}  // namespace

Extended ShortSine(double x) {
  const TReducedArgument r = Reduce(x);
  const Extended value =
      (r.FQuadrant & 1) != 0 ? CosineOfReduced(r.FRemainder) : SineOfReduced(r.FRemainder);
  return (r.FQuadrant & 2) != 0 ? -value : value;
}

namespace {

// Whether the x87 runs at modsin's precision and rounding, which the short
// path relies on.
bool ShortPathPrecisionAndRounding() {
  return (X87ControlWord() & kPrecisionAndRounding) == (kX87ControlWord & kPrecisionAndRounding);
}

// RoundedSine, with the control word's test already taken.
double RoundedSineUnder(bool shortPathControl, double x) {
  // The comparisons are false for a NaN, which Sine rejects below.
  const double magnitude = std::fabs(x);
  if (shortPathControl && magnitude >= kSmallestDecided && magnitude < kShortSineLimit) {
    const Extended value = ShortSine(x);
    if (RoundsSurely(value)) return static_cast<double>(value);
  }
  return RoundToDouble(Sine(x));
}

}  // namespace

double RoundedSine(double x) {
  return RoundedSineUnder(ShortPathPrecisionAndRounding(), x);
}

void RoundedSines(const double* x, double* y, int count) {
  const bool shortPathControl = ShortPathPrecisionAndRounding();
  for (int i = 0; i < count; ++i)
    y[i] = RoundedSineUnder(shortPathControl, x[i]);
}

}  // namespace modsin
