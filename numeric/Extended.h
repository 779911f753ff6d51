// Extended: the 80-bit x87 format (64-bit significand) in which every
// intermediate result of modsin is formed before it is stored as a double.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>

namespace modsin {

using Extended = long double;

static_assert(std::numeric_limits<Extended>::digits == 64,
              "modsin needs long double to be the x87 80-bit extended format");

// The fields of an Extended's encoding. The significand's leading (integer)
// bit is stored: it is set in every normal number and clear in a subnormal
// one or a zero.
struct TExtendedBits {
  std::uint64_t FSignificand;
  std::uint16_t FExponent;  // biased by kExtendedBias; kExtendedMaxExponent for NaN and infinity
  bool FNegative;
};

inline constexpr int kExtendedBias = 16383;
// The unbiased exponent of the least normal value, and of every subnormal
// one (exponent field 0).
inline constexpr int kExtendedLeastNormalExponent = 1 - kExtendedBias;
// The 16 bits after the significand: the sign bit on top, the biased
// exponent in the 15 below it; all ones in the exponent mean a NaN or an
// infinity.
inline constexpr std::uint16_t kExtendedSignBit = 0x8000;
inline constexpr std::uint16_t kExtendedExponentMask = 0x7FFF;
inline constexpr std::uint16_t kExtendedMaxExponent = kExtendedExponentMask;
inline constexpr std::uint64_t kExtendedLeadingBit = std::uint64_t{1} << 63;

inline TExtendedBits ExtendedBits(Extended x) noexcept {
  // The 10 encoded bytes, little-endian: significand, then sign and exponent.
  std::uint64_t significand;
  std::uint16_t signAndExponent;
  std::memcpy(&significand, &x, sizeof significand);
  std::memcpy(&signAndExponent, reinterpret_cast<const char*>(&x) + sizeof significand,
              sizeof signAndExponent);
  return {significand, static_cast<std::uint16_t>(signAndExponent & kExtendedExponentMask),
          (signAndExponent & kExtendedSignBit) != 0};
}

// The Extended with these fields, built without any x87 arithmetic (so
// whatever the x87 control word says). The significand must have its leading
// bit set; the exponent is unbiased and must lie in the normal range.
inline Extended MakeExtended(bool negative, int exponent, std::uint64_t significand) noexcept {
  Extended x = 0;
  const auto signAndExponent =
      static_cast<std::uint16_t>((negative ? kExtendedSignBit : 0) | (exponent + kExtendedBias));
  std::memcpy(&x, &significand, sizeof significand);
  std::memcpy(reinterpret_cast<char*>(&x) + sizeof significand, &signAndExponent,
              sizeof signAndExponent);
  return x;
}

// How far a normal x lies, in units of its last place, from the midpoint
// between the two doubles around it (0 ... 1024): a double keeps the top 53
// of the 64 significand bits, and the 11 dropped bits read 0x400 exactly at
// the midpoint. Every value within fewer units of x than this rounds to the
// same double as x, if also fewer than 512 (below a power of two the doubles
// lie twice as close, and a midpoint 512 units under it).
inline unsigned UnitsFromDoubleMidpoint(Extended x) noexcept {
  constexpr unsigned kDroppedMask = 0x7FF;
  constexpr unsigned kMidpoint = 0x400;
  const auto dropped = static_cast<unsigned>(ExtendedBits(x).FSignificand & kDroppedMask);
  return dropped > kMidpoint ? dropped - kMidpoint : kMidpoint - dropped;
}

}  // namespace modsin
