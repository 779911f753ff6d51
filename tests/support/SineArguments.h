// The arguments of the sine's property test: every kind of argument that Sine
// must round correctly. Built by integer and exact operations only, so that
// they are the same on every platform: the Linux suite holds Sine to MPFR on
// them (SineTest.cpp), and every platform holds Sine to the same bits
// (SameBitsTest.cpp).
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "numeric/ExactReduction.h"
#include "numeric/Extended.h"

namespace modsin::testing {

// The Extended nearest to k pi/2, for k < 2^62: k times the first 128
// bits of pi/4 (kQuarterPi), a 192-bit integer in 32-bit limbs, rounded to 64
// bits. The bits of pi/4 left out move k pi/2 by less than 2^-66, far below
// the Extended's last place there.
inline Extended NearestQuarterTurn(std::uint64_t k) {
  if (k == 0) return 0;
  constexpr int kPiLimbs = 4;
  // product[i] is the limb of weight 2^(32 (kPiLimbs + 1 - i)) of k * pi/4 * 2^128.
  std::uint32_t product[kPiLimbs + 2] = {};
  const std::uint64_t kLimbs[2] = {k >> 32, k & 0xFFFFFFFF};
  for (int i = kPiLimbs - 1; i >= 0; --i) {
    for (int j = 1; j >= 0; --j) {
      // Adds kLimbs[j] * kQuarterPi[i] at limb i + j + 1, carrying upward.
      std::uint64_t carry = kLimbs[j] * kQuarterPi[i];
      for (int at = i + j + 1; carry != 0; --at) {
        carry += product[at];
        product[at] = static_cast<std::uint32_t>(carry);
        carry >>= 32;
      }
    }
  }
  // The leading 64 bits, then the rest for the rounding to nearest.
  int lead = 0;
  while (product[lead] == 0)
    ++lead;
  const int shift = std::countl_zero(product[lead]);
  const auto bitsAt = [&](int limb) -> std::uint64_t {
    return limb < kPiLimbs + 2 ? product[limb] : 0;
  };
  const auto window = [&](int limb) {
    const std::uint64_t high = bitsAt(limb) << 32 | bitsAt(limb + 1);
    return shift == 0 ? high : high << shift | bitsAt(limb + 2) >> (32 - shift);
  };
  std::uint64_t significand = window(lead);
  const std::uint64_t rest = window(lead + 2);
  // The exponent of the leading bit: limb lead's top bit weighs 2^(31 - shift)
  // in units of 2^(32 (kPiLimbs + 1 - lead)) of 2^-128, times 2 for pi/2.
  int exponent = 31 - shift + 32 * (kPiLimbs + 1 - lead) - 128 + 1;
  if (rest > (std::uint64_t{1} << 63) ||
      (rest == std::uint64_t{1} << 63 && (significand & 1) != 0)) {
    if (++significand == 0) {
      significand = kExtendedLeadingBit;
      ++exponent;
    }
  }
  return MakeExtended(false, exponent, significand);
}

// x and -x.
inline void AddBothSigns(std::vector<Extended>& xs, Extended x) {
  xs.push_back(x);
  xs.push_back(-x);
}

// x and its neighbours, both signs.
inline void AddAround(std::vector<Extended>& xs, Extended x) {
  AddBothSigns(xs, x);
  AddBothSigns(xs, std::nextafter(x, 0.0L));
  AddBothSigns(xs, std::nextafter(x, 0x1p64L));
}

// The hardest arguments known, both signs.
inline std::vector<Extended> HardArguments() {
  std::vector<Extended> xs;
  // The closest approaches to a multiple of pi/2 of all: of an Extended below
  // 2^63 (the comment at kMostLeadingZeros) and of a double below 2^20 (29
  // 2^j pi/2).
  AddAround(xs, std::ldexp(static_cast<Extended>(18102975828909478217u), -15));
  for (int j = 0; j <= 14; ++j)
    AddAround(xs, static_cast<double>(NearestQuarterTurn(std::uint64_t{29} << j)));
  // sin(3 2^-31) = x - 4.5 units of x's last place + x^5/120 - ...: about
  // 2^-61 units above a midpoint.
  AddAround(xs, 0x3p-31L);
  // Where glibc's sinl is not the correctly rounded value (found by searching
  // random arguments against MPFR); the doubles among them are arguments
  // where the tables would also differ.
  for (const Extended x :
       {0x9.e795eeb3d4ad1fbp+49L, 0xc.934eb5b1ad1b31bp+0L, 0xb.03b7843d18e1688p+1L,
        0xb.b4d094f3f606e23p+55L, 0xf.1f8435c1743b2bfp+27L, 0xb.20b8c711fce61f1p+51L,
        0x1.1b4cd25434998p+45L, 0x1.f7d6109fa7bf8p+40L, 0x1.7f6a5a519ec1p+18L,
        0x1.ef91b4e71cab3p+22L, 0x1.88c0baef667p+2L, 0x1.fbda719134e84p+41L, 0x1.abd4c7789ac48p+23L,
        0x1.9e7d1462323b2p+7L})
    AddBothSigns(xs, x);
  return xs;
}

// Every kind of argument that Sine must round correctly, both signs.
inline std::vector<Extended> Arguments() {
  std::mt19937_64 bits(20261211);
  std::vector<Extended> xs;
  // 1. Random full 64-bit significands and random doubles in every binade
  //    from 2^-34 to 2^63 (the last all +0).
  for (int i = 0; i < 12000; ++i) {
    const int exponent = static_cast<int>(bits() % 98) - 34;
    AddBothSigns(xs,
                 std::ldexp(static_cast<Extended>(bits() | kExtendedLeadingBit), exponent - 63));
    AddBothSigns(xs, std::ldexp(static_cast<Extended>((bits() >> 11) | (std::uint64_t{1} << 52)),
                                exponent - 52));
  }
  // 2. Next to multiples of pi/2, where the remainder is smallest: every k
  //    up to 3000, random k up to 2^62, the Extended nearest and its
  //    neighbours, and the doubles nearest.
  std::vector<std::uint64_t> ks;
  for (std::uint64_t k = 1; k <= 3000; ++k)
    ks.push_back(k);
  for (int i = 0; i < 1500; ++i)
    ks.push_back(bits() >> (2 + bits() % 60));
  for (const std::uint64_t k : ks) {
    const Extended nearest = NearestQuarterTurn(k);
    AddAround(xs, nearest);
    AddAround(xs, static_cast<double>(nearest));
  }
  // 3. Tiny arguments: around the powers of two from 2^-40 to 2^-20 (sin x is
  //    x below 2^-32, and from there on x or the Extended toward zero), 0 and
  //    the subnormal and least normal numbers.
  for (int e = -40; e <= -20; ++e) {
    AddAround(xs, std::ldexp(1.0L, e));
    AddAround(xs, std::ldexp(1.5L, e));
    AddAround(xs, std::ldexp(1.9999L, e));
  }
  for (const Extended x :
       {0.0L, std::numeric_limits<Extended>::denorm_min(), std::numeric_limits<Extended>::min(),
        static_cast<Extended>(std::numeric_limits<double>::min())})
    AddBothSigns(xs, x);
  // 4. The hardest.
  const std::vector<Extended> hard = HardArguments();
  xs.insert(xs.end(), hard.begin(), hard.end());
  return xs;
}

}  // namespace modsin::testing
