// The decimal form that a number text is written from, 15 significant digits
// and the decimal exponent of the first, and the estimate of that exponent
// from a binary one, where both ways to the digits begin.
#pragma once

#include <cstdint>

namespace modsin {

// The significant digits of a number text.
inline constexpr int kSignificantDigits = 15;

// 15 significant digits and the decimal exponent of the first:
// 10^14 <= FDigits < 10^15, or 0 for a zero.
struct TDecimal {
  std::uint64_t FDigits;
  int FExponent;
};

// floor(e * log10(2)) for a binary exponent e, as (e * 19728) >> 16:
// 19728 / 65536 = 0.301025390625, just below log10(2) = 0.30102999566...,
// so the power of ten taken out is never more than the value holds and m stays
// at or above 1 after each step. The shift is arithmetic, so negative e round
// toward minus infinity.
inline constexpr int kLog10TwoNumerator = 19728;
inline constexpr int kLog10TwoShift = 16;

constexpr int FloorLog10OfTwoTo(int e) noexcept {
  return (e * kLog10TwoNumerator) >> kLog10TwoShift;
}

}  // namespace modsin
