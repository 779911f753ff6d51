// Fractions of many 32-bit limbs: the fixed-point arithmetic under the sine's
// exact argument reduction and its evaluation beyond Extended's precision.
// Every product is 32 x 32 -> 64 bits, which the 32-bit build has as well.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace modsin {

inline constexpr std::size_t kMaxWideLimbs = 36;

// The fraction limb[0] * 2^-32 + limb[1] * 2^-64 + ... + limb[size-1] *
// 2^(-32 size), in [0, 1): most significant limb first. One unit in the last
// place ("a unit" below) is 2^(-32 size).
struct TWideNumber {
  int size = 0;
  std::array<std::uint32_t, kMaxWideLimbs> limb{};
};

// The first `size` limbs of a constant fraction.
TWideNumber WideFromLimbs(const std::uint32_t* limbs, int size);

// a * b truncated to a's size (b has the same size): less than a unit low.
TWideNumber MultiplyHigh(const TWideNumber& a, const TWideNumber& b);

// The exact product of a 64-bit whole number and a fraction, as a fraction of
// a.size + 2 limbs whose first two limbs are the whole part.
TWideNumber MultiplyWhole(std::uint64_t whole, const TWideNumber& a);

// a / divisor truncated: less than a unit low.
TWideNumber DivideBy(const TWideNumber& a, std::uint32_t divisor);

// a + b and a - b, modulo 1 (the same sizes).
TWideNumber Add(const TWideNumber& a, const TWideNumber& b);
TWideNumber Subtract(const TWideNumber& a, const TWideNumber& b);

// a * 2^bits modulo 1, and a * 2^-bits truncated; zeros come in.
TWideNumber ShiftLeft(const TWideNumber& a, int bits);
TWideNumber ShiftRight(const TWideNumber& a, int bits);

// The number of zero bits before the first one; 32 * size for zero.
int LeadingZeros(const TWideNumber& a);

// The first 64 bits after the point at limb `first`.
std::uint64_t Limbs64(const TWideNumber& a, int first);

}  // namespace modsin
