// Sums and products of two Extended values held exactly as high + low: the
// error-free steps under the fast paths of the sine, the exponential and the
// logarithm. Each needs rounding to nearest at the full 64-bit precision.
#pragma once

#include "numeric/Extended.h"

namespace modsin {

// Veltkamp's splitter for a 64-bit significand, 2^32 + 1: the split halves
// carry 32 bits each, so that their products are exact.
inline constexpr Extended kSplitter = 0x1.00000001p32L;

struct TExactSum {
  Extended FHigh;
  Extended FLow;
};

// a = high + low exactly, each with at most 32 significant bits (Veltkamp).
inline TExactSum Split(Extended a) {
  const Extended scaled = a * kSplitter;
  const Extended high = scaled - (scaled - a);
  return {high, a - high};
}

// a b - product exactly, for product = a b rounded and a, b split (Dekker).
inline Extended ProductError(TExactSum a, TExactSum b, Extended product) {
  return ((a.FHigh * b.FHigh - product) + a.FHigh * b.FLow + a.FLow * b.FHigh) + a.FLow * b.FLow;
}

// a * b = high + low exactly (Dekker).
inline TExactSum TwoProduct(Extended a, Extended b) {
  const Extended high = a * b;
  return {high, ProductError(Split(a), Split(b), high)};
}

// a + b = high + low exactly (Knuth).
inline TExactSum TwoSum(Extended a, Extended b) {
  const Extended high = a + b;
  const Extended back = high - a;
  return {high, (a - (high - back)) + (b - back)};
}

}  // namespace modsin
