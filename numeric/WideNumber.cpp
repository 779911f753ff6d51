#include "numeric/WideNumber.h"

#include <bit>

namespace modsin {
namespace {

constexpr int kLimbBits = 32;

}  // namespace

TWideNumber WideFromLimbs(const std::uint32_t* limbs, int size) {
  TWideNumber a;
  a.size = size;
  for (int i = 0; i < size; ++i)
    a.limb[i] = limbs[i];
  return a;
}

TWideNumber MultiplyHigh(const TWideNumber& a, const TWideNumber& b) {
  // Schoolbook, row by row from the last limb of a; limb i * limb j lands in
  // product limbs i + j (high half) and i + j + 1 (low half). Each step fits
  // in 64 bits: (2^32 - 1)^2 + 2 (2^32 - 1) = 2^64 - 1.
  const int n = a.size;
  std::array<std::uint32_t, 2 * kMaxWideLimbs> product{};
  for (int i = n - 1; i >= 0; --i) {
    std::uint64_t carry = 0;
    for (int j = n - 1; j >= 0; --j) {
      const std::uint64_t step = std::uint64_t{a.limb[i]} * b.limb[j] + product[i + j + 1] + carry;
      product[i + j + 1] = static_cast<std::uint32_t>(step);
      carry = step >> kLimbBits;
    }
    product[i] = static_cast<std::uint32_t>(carry);
  }
  return WideFromLimbs(product.data(), n);
}

TWideNumber MultiplyWhole(std::uint64_t whole, const TWideNumber& a) {
  TWideNumber wide;
  wide.size = 2;
  wide.limb[0] = static_cast<std::uint32_t>(whole >> kLimbBits);
  wide.limb[1] = static_cast<std::uint32_t>(whole);
  // The same schoolbook rows, without truncation: the 2 + size limbs of the
  // product of the two-limb whole number and the fraction.
  TWideNumber product;
  product.size = a.size + 2;
  for (int i = 1; i >= 0; --i) {
    std::uint64_t carry = 0;
    for (int j = a.size - 1; j >= 0; --j) {
      const std::uint64_t step =
          std::uint64_t{wide.limb[i]} * a.limb[j] + product.limb[i + j + 1] + carry;
      product.limb[i + j + 1] = static_cast<std::uint32_t>(step);
      carry = step >> kLimbBits;
    }
    product.limb[i] = static_cast<std::uint32_t>(carry);
  }
  return product;
}

TWideNumber DivideBy(const TWideNumber& a, std::uint32_t divisor) {
  TWideNumber quotient;
  quotient.size = a.size;
  std::uint64_t remainder = 0;
  for (int i = 0; i < a.size; ++i) {
    const std::uint64_t dividend = (remainder << kLimbBits) | a.limb[i];
    quotient.limb[i] = static_cast<std::uint32_t>(dividend / divisor);
    remainder = dividend % divisor;
  }
  return quotient;
}

TWideNumber Add(const TWideNumber& a, const TWideNumber& b) {
  TWideNumber sum;
  sum.size = a.size;
  std::uint64_t carry = 0;
  for (int i = a.size - 1; i >= 0; --i) {
    const std::uint64_t step = std::uint64_t{a.limb[i]} + b.limb[i] + carry;
    sum.limb[i] = static_cast<std::uint32_t>(step);
    carry = step >> kLimbBits;
  }
  return sum;
}

TWideNumber Subtract(const TWideNumber& a, const TWideNumber& b) {
  TWideNumber difference;
  difference.size = a.size;
  std::uint32_t borrow = 0;
  for (int i = a.size - 1; i >= 0; --i) {
    const std::uint64_t subtrahend = std::uint64_t{b.limb[i]} + borrow;
    difference.limb[i] = static_cast<std::uint32_t>(a.limb[i] - subtrahend);
    borrow = a.limb[i] < subtrahend ? 1 : 0;
  }
  return difference;
}

TWideNumber ShiftLeft(const TWideNumber& a, int bits) {
  const int limbs = bits / kLimbBits;
  const int rest = bits % kLimbBits;
  TWideNumber shifted;
  shifted.size = a.size;
  for (int i = 0; i + limbs < a.size; ++i) {
    const std::uint32_t high = a.limb[i + limbs];
    const std::uint32_t low = i + limbs + 1 < a.size ? a.limb[i + limbs + 1] : 0;
    shifted.limb[i] = rest == 0 ? high : (high << rest) | (low >> (kLimbBits - rest));
  }
  return shifted;
}

TWideNumber ShiftRight(const TWideNumber& a, int bits) {
  const int limbs = bits / kLimbBits;
  const int rest = bits % kLimbBits;
  TWideNumber shifted;
  shifted.size = a.size;
  for (int i = a.size - 1; i >= limbs; --i) {
    const std::uint32_t low = a.limb[i - limbs];
    const std::uint32_t high = i - limbs >= 1 ? a.limb[i - limbs - 1] : 0;
    shifted.limb[i] = rest == 0 ? low : (low >> rest) | (high << (kLimbBits - rest));
  }
  return shifted;
}

int LeadingZeros(const TWideNumber& a) {
  for (int i = 0; i < a.size; ++i)
    if (a.limb[i] != 0) return i * kLimbBits + std::countl_zero(a.limb[i]);
  return a.size * kLimbBits;
}

std::uint64_t Limbs64(const TWideNumber& a, int first) {
  const std::uint32_t high = first < a.size ? a.limb[first] : 0;
  const std::uint32_t low = first + 1 < a.size ? a.limb[first + 1] : 0;
  return (std::uint64_t{high} << kLimbBits) | low;
}

}  // namespace modsin
