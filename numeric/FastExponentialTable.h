// The tables under the fast exponential and logarithm (FastExponential.h):
// 2^(j/64) - 1 and the first terms of 2^(j/64 + r) - 1 in r, and for each
// 256th of the significand a short reciprocal c and -ln 2 log2(c).
#pragma once

#include <array>

#include "numeric/Extended.h"

namespace modsin {

// Nodes j / kPowerTableScale for j = -32 ... 32, in rows j + 32: the nearest
// node to every f with |f| <= 1/2.
inline constexpr int kPowerTableScale = 64;
inline constexpr int kPowerTableRows = 65;

// With T = 2^(j/64), the terms of 2^(j/64 + r) - 1 = (T - 1) + T ln 2 r +
// T (ln 2)^2/2 r^2 + ... that must come out exact for r on the grid of
// FastPowerOfTwoMinusOne, as a high part on a grid of its own and the rest:
// the high parts times r's leading part and its square all fall on the grid
// 2^-65, where they add exactly. Each rest is to the nearest double, where
// that is close enough, since a double loads in one step and an Extended in
// several.
struct TPowerTableRow {
  Extended FMinusOneHigh;  // T - 1 to the nearest multiple of 2^-65
  Extended FCurveLow;      // T (ln 2)^2/2 - FCurveHigh, nearest Extended
  Extended FHigh;          // T, nearest Extended
  double FMinusOneLow;     // T - 1 - FMinusOneHigh, nearest double
  double FSlopeHigh;       // T ln 2 to the nearest multiple of 2^-39
  double FSlopeLow;        // T ln 2 - FSlopeHigh, nearest double
  double FCurveHigh;       // T (ln 2)^2/2 to the nearest multiple of 2^-13
};

extern const std::array<TPowerTableRow, kPowerTableRows> kPowerTable;

// Row j serves the significands m in [1 + j/256, 1 + (j+1)/256) (of a value
// m 2^e): its c is a short number near 1/m with |m c - 1| < 2^-8 across the
// row, and c = 1 in the rows where m 2^e reaches 1. From row
// kLogTableFirstHalved on (m > sqrt 2, near enough) the row serves m / 2 and
// e + 1 instead, so that log2 of the part m c stays below 1/2 in magnitude
// and no cancellation against e remains.
inline constexpr int kLogTableIndexBits = 8;
inline constexpr int kLogTableRows = 1 << kLogTableIndexBits;
inline constexpr int kLogTableFirstHalved = 106;

struct TLogTableRow {
  // -kLn2 log2(c), kLn2 = ln 2 rounded to Extended: FHigh to the nearest
  // multiple of 2^-49, so that it adds exactly to the integer e times the
  // 48 leading bits of kLn2; FLow to the nearest double to the rest.
  Extended FHigh;
  double FLow;
  // c 2^-63, or c 2^-64 in a halved row: the significand read as an integer
  // times FScale is m c. c is a multiple of 2^-9 (2^-8 in a halved row), so
  // that m c - 1 comes out exact (FastNaturalLog, step 2).
  float FScale;
  // 2c - 1, or c - 1 in a halved row: what m c - 1 adds to the significand
  // read as a signed integer times FScale.
  float FOffset;
};

extern const std::array<TLogTableRow, kLogTableRows> kLogTable;

}  // namespace modsin
