// The powers of ten of the number text's product path, 10^q as the nearest
// 64-bit significand and a binary exponent, made at compile time from exact
// integers.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "calc/DecimalDigits.h"
#include "calc/DoubleFields.h"
#include "numeric/WideNumber.h"

namespace modsin {

// 10^q, q from kLowestDecimalPower to kHighestDecimalPower: every 14 - k and
// 13 - k of the product path (NumberText.cpp), for k from floor(-1022 log10 2)
// to floor(1023 log10 2).
inline constexpr int kLowestDecimalPower =
    kSignificantDigits - 2 - FloorLog10OfTwoTo(kDoubleExponentBias);
inline constexpr int kHighestDecimalPower =
    kSignificantDigits - 1 - FloorLog10OfTwoTo(1 - kDoubleExponentBias);

// FSignificand * 2^FExponent with 2^63 <= FSignificand < 2^64, rounded to
// nearest: the nearest Extended value.
struct TDecimalPower {
  std::uint64_t FSignificand;
  int FExponent;
};

// The powers, from exact integers at compile time: 5^n by repeated
// multiplication, and floor(2^831 / 5^n) by repeated division (floor(floor(a
// / 5) / 5) = floor(a / 25)), their top 64 bits rounded by the next bit. No
// tie is rounded wrongly: a 5^n of more than 64 bits is odd and never 65 bits
// long, and 2^831 / 5^n is never a whole number.
inline constexpr int kPowerLimbCount = 26;  // 832 bits: 5^322 < 2^748, 2^831 / 5^294 > 2^148
using TPowerLimbs = std::array<std::uint32_t, kPowerLimbCount>;

// a * 2^unitExponent, rounded to 64 bits. The leading 1 and the 64 bits after
// it lie in the top three limbs that are not all zeros.
constexpr TDecimalPower RoundedPower(const TPowerLimbs& a, int unitExponent) {
  int top = kPowerLimbCount - 1;
  while (a[static_cast<std::size_t>(top)] == 0)
    --top;
  const auto limb = [&a](int i) {
    return i < 0 ? std::uint64_t{0} : std::uint64_t{a[static_cast<std::size_t>(i)]};
  };
  const int spare = kLimbBits - static_cast<int>(std::bit_width(a[static_cast<std::size_t>(top)]));
  const std::uint64_t high = limb(top) << kLimbBits | limb(top - 1);
  const std::uint64_t low = limb(top - 2);
  const std::uint64_t significand = high << spare | low >> (kLimbBits - spare);
  const std::uint64_t next = low >> (kLimbBits - 1 - spare) & 1;
  const int length = (top + 1) * kLimbBits - spare;
  TDecimalPower power = {significand + next, unitExponent + length - 64};
  if (power.FSignificand == 0) power = {std::uint64_t{1} << 63, power.FExponent + 1};
  return power;
}

inline constexpr auto kDecimalPowers = [] {
  std::array<TDecimalPower, kHighestDecimalPower - kLowestDecimalPower + 1> powers{};
  const auto at = [](int q) { return static_cast<std::size_t>(q - kLowestDecimalPower); };
  TPowerLimbs fives{1};  // 5^n, and 10^n = 5^n * 2^n
  for (int n = 0; n <= kHighestDecimalPower; ++n) {
    powers[at(n)] = RoundedPower(fives, n);
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : fives) {
      carry += std::uint64_t{limb} * 5;
      limb = static_cast<std::uint32_t>(carry);
      carry >>= kLimbBits;
    }
  }
  constexpr int kTop = kPowerLimbCount * kLimbBits - 1;
  TPowerLimbs fifths{};  // floor(2^831 / 5^n), and 10^-n = that * 2^(-831 - n)
  fifths.back() = std::uint32_t{1} << (kTop % kLimbBits);
  for (int n = 1; n <= -kLowestDecimalPower; ++n) {
    std::uint64_t remainder = 0;
    for (std::size_t i = kPowerLimbCount; i-- > 0;) {
      remainder = remainder << kLimbBits | fifths[i];
      fifths[i] = static_cast<std::uint32_t>(remainder / 5);
      remainder %= 5;
    }
    powers[at(-n)] = RoundedPower(fifths, -kTop - n);
  }
  return powers;
}();

}  // namespace modsin
