// The sine's argument reduction: x minus the nearest whole multiple of pi/2,
// with enough bits of 2/pi that the remainder keeps the requested precision
// for every Extended argument below 2^63, however close to a multiple it lies.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "numeric/WideNumber.h"

namespace modsin {

// Limbs of 2/pi beyond the remainder's precision: 64 for the argument's
// significand, 69 for the remainder's leading zeros (kMostLeadingZeros), and
// the rest for the bound below.
inline constexpr int kReductionGuardLimbs = 5;

// The most precision that the stored bits of 2/pi and pi/4 serve, in limbs.
inline constexpr int kMostReductionLimbs = 24;

// 2/pi and pi/4 as fractions, truncated to 29 and 24 limbs.
inline constexpr std::uint32_t kTwoOverPi[kMostReductionLimbs + kReductionGuardLimbs] = {
    0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0, 0xDB629599, 0x3C439041, 0xFE5163AB, 0xDEBBC561,
    0xB7246E3A, 0x424DD2E0, 0x06492EEA, 0x09D1921C, 0xFE1DEB1C, 0xB129A73E, 0xE88235F5, 0x2EBB4484,
    0xE99C7026, 0xB45F7E41, 0x3991D639, 0x835339F4, 0x9C845F8B, 0xBDF9283B, 0x1FF897FF, 0xDE05980F,
    0xEF2F118B, 0x5A0A6D1F, 0x6D367ECF, 0x27CB09B7, 0x4F463F66};
inline constexpr std::uint32_t kQuarterPi[kMostReductionLimbs] = {
    0xC90FDAA2, 0x2168C234, 0xC4C6628B, 0x80DC1CD1, 0x29024E08, 0x8A67CC74, 0x020BBEA6, 0x3B139B22,
    0x514A0879, 0x8E3404DD, 0xEF9519B3, 0xCD3A431B, 0x302B0A6D, 0xF25F1437, 0x4FE1356D, 0x6D51C245,
    0xE485B576, 0x625E7EC6, 0xF44C42E9, 0xA637ED6B, 0x0BFF5CB6, 0xF406B7ED, 0xEE386BFB, 0x5A899FA5};

// The bits of 2/pi and pi/4 that ReduceExactly takes for a precision of
// `limbs` limbs: at least limbs + kReductionGuardLimbs and `limbs` limbs,
// each low by less than 1 + 2^-30 units of its last limb, or high by less
// than 2^-30 of one.
struct TReductionConstants {
  std::span<const std::uint32_t> FTwoOverPi;
  std::span<const std::uint32_t> FQuarterPi;
};

// The stored ones, truncated, for up to kMostReductionLimbs.
inline constexpr TReductionConstants kStoredReductionConstants{kTwoOverPi, kQuarterPi};

// The same for a precision of any `limbs`, computed (and in practice
// truncated as well: their first limbs are the stored ones).
struct TComputedReductionConstants {
  std::vector<std::uint32_t> FTwoOverPi;
  std::vector<std::uint32_t> FQuarterPi;
};
TComputedReductionConstants ComputeReductionConstants(int limbs);

// |x - n pi/2| for the whole number n nearest to x * 2/pi (or, from pi/4 on,
// next to it: the quadrant decides), as FMagnitude * 2^FExponent with the
// magnitude a fraction in [1/2, 1).
template <class TMagnitude>
struct TReductionOf {
  unsigned FQuadrant = 0;  // n modulo 4
  bool FNegative = false;  // x - n pi/2 < 0
  int FExponent = 0;
  TMagnitude FMagnitude{};
};

// The magnitude in `limbs` limbs, for ReduceExactly.
template <class TLimbs>
using TWideReductionOf = TReductionOf<TWideNumberOf<TLimbs>>;

// The magnitude to 128 bits, for ReduceFast and Sine's fast path.
using TFastReduction = TReductionOf<TWordPair>;

// The sign of sin x from the sign of x, n modulo 4 and the remainder's sign:
// sin r, cos r, -sin r or -cos r by the quadrant, and only sin r follows r's.
inline bool SineIsNegative(bool xNegative, unsigned quadrant, bool remainderNegative) {
  const bool cosine = (quadrant & 1u) != 0;
  return (xNegative != ((quadrant & 2u) != 0)) != (!cosine && remainderNegative);
}

// As ReduceExactly with 4 limbs, in 64-bit words: within 2^-121 of the
// remainder relative to it. The same arguments.
TFastReduction ReduceFast(std::uint64_t significand, int exponent);

// ReduceExactly's bound on the error of the magnitude, 2^(4 - 32 limbs) of
// a magnitude below 1, in units of its last limb.
inline constexpr std::uint32_t kReductionErrorUnits = 16;

// For x = significand * 2^(exponent - 63) with the leading bit of the
// significand set, 2^-32 <= x < 2^63. Below pi/4, n = 0 and the magnitude is
// x itself, exactly. Otherwise the magnitude is low or high by less than
// 2^(4 - 32 limbs) of itself (kReductionErrorUnits). 2 <= limbs, and limbs
// <= kMostReductionLimbs for fixed limbs.
template <class TLimbs>
TWideReductionOf<TLimbs> ReduceExactly(std::uint64_t significand, int exponent, int limbs,
                                       const TReductionConstants& constants);

}  // namespace modsin
