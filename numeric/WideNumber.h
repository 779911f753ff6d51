// Fractions of many 32-bit limbs: the fixed-point arithmetic under the sine's
// exact argument reduction and its evaluation beyond Extended's precision.
// Every limb product is 32 x 32 -> 64 bits, which the 32-bit build has as
// well; so are the word products below where no 128-bit integer exists.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

namespace modsin {

inline constexpr std::size_t kMaxWideLimbs = 36;

// Where a fraction's limbs live: in place, up to kMaxWideLimbs of them (no
// allocation: the precisions that decide every argument met so far), or on
// the heap, as many as asked.
using TFixedLimbs = std::array<std::uint32_t, kMaxWideLimbs>;
using TGrowingLimbs = std::vector<std::uint32_t>;

// The fraction FLimb[0] * 2^-32 + FLimb[1] * 2^-64 + ... + FLimb[FSize-1] *
// 2^(-32 FSize), in [0, 1): most significant limb first. One unit in the last
// place ("a unit" below) is 2^(-32 FSize). The operations below take and give
// fractions of one storage; the sizes they name are the fractions' FSize.
template <class TLimbs>
struct TWideNumberOf {
  int FSize = 0;
  TLimbs FLimb{};
};

using TGrowingWideNumber = TWideNumberOf<TGrowingLimbs>;

inline constexpr int kLimbBits = 32;

// 128 bits as two 64-bit words, the high one first: a product of two words
// in full, or a fraction FHigh 2^-64 + FLow 2^-128.
struct TWordPair {
  std::uint64_t FHigh = 0;
  std::uint64_t FLow = 0;
};

// a * b in full: one 128-bit product where the compiler has the type, else
// four 32 x 32 -> 64-bit ones (the 32-bit build; the middle sum fits: 3 (2^32
// - 1) < 2^34).
inline TWordPair MultiplyWords(std::uint64_t a, std::uint64_t b) noexcept {
#ifdef __SIZEOF_INT128__
  const auto product = __extension__ static_cast<unsigned __int128>(a) * b;
  return {static_cast<std::uint64_t>(product >> 64), static_cast<std::uint64_t>(product)};
#else
  constexpr std::uint64_t kLow = 0xFFFFFFFF;
  const std::uint64_t lowLow = (a & kLow) * (b & kLow);
  const std::uint64_t lowHigh = (a & kLow) * (b >> kLimbBits);
  const std::uint64_t highLow = (a >> kLimbBits) * (b & kLow);
  const std::uint64_t middle = (lowLow >> kLimbBits) + (lowHigh & kLow) + (highLow & kLow);
  return {(a >> kLimbBits) * (b >> kLimbBits) + (lowHigh >> kLimbBits) + (highLow >> kLimbBits) +
              (middle >> kLimbBits),
          (middle << kLimbBits) | (lowLow & kLow)};
#endif
}

// The limb that makes the fraction 1/2.
inline constexpr std::uint32_t kHalfLimb = 0x80000000;

template <class TLimbs>
inline constexpr bool kGrowing = std::is_same_v<TLimbs, TGrowingLimbs>;

// Room for a product of two fractions of one storage: twice the limbs.
template <class TLimbs>
using TProductLimbs =
    std::conditional_t<kGrowing<TLimbs>, TLimbs, std::array<std::uint32_t, 2 * kMaxWideLimbs>>;

// Zero, in `size` limbs (a fixed array holds kMaxWideLimbs whatever the size).
template <class TLimbs>
TWideNumberOf<TLimbs> WideZero(int size) {
  TWideNumberOf<TLimbs> zero{size, {}};
  if constexpr (kGrowing<TLimbs>) zero.FLimb.resize(static_cast<std::size_t>(size));
  return zero;
}

// Makes a `size` limbs long: cut, or followed by zeros.
template <class TLimbs>
void Resize(TWideNumberOf<TLimbs>& a, int size) {
  if constexpr (kGrowing<TLimbs>) {
    a.FLimb.resize(static_cast<std::size_t>(size));
  } else {
    for (int i = a.FSize; i < size; ++i)
      a.FLimb[i] = 0;  // where a cut left limbs behind
  }
  a.FSize = size;
}

// The first `size` limbs of a constant fraction.
template <class TLimbs>
TWideNumberOf<TLimbs> WideFromLimbs(const std::uint32_t* limbs, int size) {
  TWideNumberOf<TLimbs> a = WideZero<TLimbs>(size);
  for (int i = 0; i < size; ++i)
    a.FLimb[i] = limbs[i];
  return a;
}

// a * b truncated to a's size (b has the same size): less than a unit low.
template <class TLimbs>
TWideNumberOf<TLimbs> MultiplyHigh(const TWideNumberOf<TLimbs>& a, const TWideNumberOf<TLimbs>& b) {
  // Schoolbook, row by row from the last limb of a; limb i * limb j lands in
  // product limbs i + j (high half) and i + j + 1 (low half). Each step fits
  // in 64 bits: (2^32 - 1)^2 + 2 (2^32 - 1) = 2^64 - 1.
  const int n = a.FSize;
  auto product = WideZero<TProductLimbs<TLimbs>>(2 * n);
  for (int i = n - 1; i >= 0; --i) {
    std::uint64_t carry = 0;
    for (int j = n - 1; j >= 0; --j) {
      const std::uint64_t step =
          std::uint64_t{a.FLimb[i]} * b.FLimb[j] + product.FLimb[i + j + 1] + carry;
      product.FLimb[i + j + 1] = static_cast<std::uint32_t>(step);
      carry = step >> kLimbBits;
    }
    product.FLimb[i] = static_cast<std::uint32_t>(carry);
  }
  return WideFromLimbs<TLimbs>(product.FLimb.data(), n);
}

// The exact product of a 64-bit whole number and a fraction, as a fraction of
// a.FSize + 2 limbs whose first two limbs are the whole part.
template <class TLimbs>
TWideNumberOf<TLimbs> MultiplyWhole(std::uint64_t whole, const TWideNumberOf<TLimbs>& a) {
  const std::uint32_t wholeLimbs[2] = {static_cast<std::uint32_t>(whole >> kLimbBits),
                                       static_cast<std::uint32_t>(whole)};
  // The same schoolbook rows, without truncation: the 2 + size limbs of the
  // product of the two-limb whole number and the fraction.
  TWideNumberOf<TLimbs> product = WideZero<TLimbs>(a.FSize + 2);
  for (int i = 1; i >= 0; --i) {
    std::uint64_t carry = 0;
    for (int j = a.FSize - 1; j >= 0; --j) {
      const std::uint64_t step =
          std::uint64_t{wholeLimbs[i]} * a.FLimb[j] + product.FLimb[i + j + 1] + carry;
      product.FLimb[i + j + 1] = static_cast<std::uint32_t>(step);
      carry = step >> kLimbBits;
    }
    product.FLimb[i] = static_cast<std::uint32_t>(carry);
  }
  return product;
}

// a / divisor truncated: less than a unit low.
template <class TLimbs>
TWideNumberOf<TLimbs> DivideBy(const TWideNumberOf<TLimbs>& a, std::uint32_t divisor) {
  TWideNumberOf<TLimbs> quotient = WideZero<TLimbs>(a.FSize);
  std::uint64_t remainder = 0;
  for (int i = 0; i < a.FSize; ++i) {
    const std::uint64_t dividend = (remainder << kLimbBits) | a.FLimb[i];
    quotient.FLimb[i] = static_cast<std::uint32_t>(dividend / divisor);
    remainder = dividend % divisor;
  }
  return quotient;
}

// a + b and a - b, modulo 1 (the same sizes).
template <class TLimbs>
TWideNumberOf<TLimbs> Add(const TWideNumberOf<TLimbs>& a, const TWideNumberOf<TLimbs>& b) {
  TWideNumberOf<TLimbs> sum = WideZero<TLimbs>(a.FSize);
  std::uint64_t carry = 0;
  for (int i = a.FSize - 1; i >= 0; --i) {
    const std::uint64_t step = std::uint64_t{a.FLimb[i]} + b.FLimb[i] + carry;
    sum.FLimb[i] = static_cast<std::uint32_t>(step);
    carry = step >> kLimbBits;
  }
  return sum;
}

template <class TLimbs>
TWideNumberOf<TLimbs> Subtract(const TWideNumberOf<TLimbs>& a, const TWideNumberOf<TLimbs>& b) {
  TWideNumberOf<TLimbs> difference = WideZero<TLimbs>(a.FSize);
  std::uint32_t borrow = 0;
  for (int i = a.FSize - 1; i >= 0; --i) {
    const std::uint64_t subtrahend = std::uint64_t{b.FLimb[i]} + borrow;
    difference.FLimb[i] = static_cast<std::uint32_t>(a.FLimb[i] - subtrahend);
    borrow = a.FLimb[i] < subtrahend ? 1 : 0;
  }
  return difference;
}

// a * 2^bits modulo 1, and a * 2^-bits truncated; zeros come in.
template <class TLimbs>
TWideNumberOf<TLimbs> ShiftLeft(const TWideNumberOf<TLimbs>& a, int bits) {
  const int limbs = bits / kLimbBits;
  const int rest = bits % kLimbBits;
  TWideNumberOf<TLimbs> shifted = WideZero<TLimbs>(a.FSize);
  for (int i = 0; i + limbs < a.FSize; ++i) {
    const std::uint32_t high = a.FLimb[i + limbs];
    const std::uint32_t low = i + limbs + 1 < a.FSize ? a.FLimb[i + limbs + 1] : 0;
    shifted.FLimb[i] = rest == 0 ? high : (high << rest) | (low >> (kLimbBits - rest));
  }
  return shifted;
}

template <class TLimbs>
TWideNumberOf<TLimbs> ShiftRight(const TWideNumberOf<TLimbs>& a, int bits) {
  const int limbs = bits / kLimbBits;
  const int rest = bits % kLimbBits;
  TWideNumberOf<TLimbs> shifted = WideZero<TLimbs>(a.FSize);
  for (int i = a.FSize - 1; i >= limbs; --i) {
    const std::uint32_t low = a.FLimb[i - limbs];
    const std::uint32_t high = i - limbs >= 1 ? a.FLimb[i - limbs - 1] : 0;
    shifted.FLimb[i] = rest == 0 ? low : (low >> rest) | (high << (kLimbBits - rest));
  }
  return shifted;
}

// a / b for fractions a < b < 1 of one size, truncated (low by less than a
// unit): restoring division, one bit of the quotient a step. The remainder
// stays below b < 1, so doubling it carries at most the bit that ShiftLeft
// drops; the subtraction modulo 1 accounts for it.
template <class TLimbs>
TWideNumberOf<TLimbs> Divide(TWideNumberOf<TLimbs> a, const TWideNumberOf<TLimbs>& b) {
  TWideNumberOf<TLimbs> quotient = WideZero<TLimbs>(a.FSize);
  for (int i = 0; i < quotient.FSize; ++i) {
    for (int bit = 0; bit < kLimbBits; ++bit) {
      const bool carry = a.FLimb[0] >= kHalfLimb;
      a = ShiftLeft(a, 1);
      const bool atLeast = carry || a.FLimb >= b.FLimb;
      if (atLeast) a = Subtract(a, b);
      quotient.FLimb[i] = (quotient.FLimb[i] << 1) | (atLeast ? 1u : 0u);
    }
  }
  return quotient;
}

// The number of zero bits before the first one; 32 * size for zero.
template <class TLimbs>
int LeadingZeros(const TWideNumberOf<TLimbs>& a) {
  for (int i = 0; i < a.FSize; ++i)
    if (a.FLimb[i] != 0) return i * kLimbBits + std::countl_zero(a.FLimb[i]);
  return a.FSize * kLimbBits;
}

template <class TLimbs>
bool IsZero(const TWideNumberOf<TLimbs>& a) {
  return LeadingZeros(a) == a.FSize * kLimbBits;
}

// The first 64 bits after the point at limb `first`.
template <class TLimbs>
std::uint64_t Limbs64(const TWideNumberOf<TLimbs>& a, int first) {
  const std::uint32_t high = first < a.FSize ? a.FLimb[first] : 0;
  const std::uint32_t low = first + 1 < a.FSize ? a.FLimb[first + 1] : 0;
  return (std::uint64_t{high} << kLimbBits) | low;
}

}  // namespace modsin
