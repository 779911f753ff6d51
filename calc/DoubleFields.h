// The fields of an IEEE binary64 double, as the number text reads them from
// the double's bits.
#pragma once

#include <cstdint>

namespace modsin {

inline constexpr int kDoubleFractionBits = 52;
inline constexpr std::uint64_t kDoubleFractionMask = (std::uint64_t{1} << kDoubleFractionBits) - 1;
inline constexpr std::uint64_t kDoubleExponentMask = 0x7FF;
inline constexpr int kDoubleExponentBias = 1023;
// Binary exponent of the least significant bit of a subnormal (and of the
// smallest normal) double: 2^-1074.
inline constexpr int kDoubleLeastBitExponent = -1074;
inline constexpr int kDoubleSignShift = 63;
inline constexpr std::uint64_t kDoubleSignBit = std::uint64_t{1} << kDoubleSignShift;
// The bits that a 64-bit significand holds beyond a double's 53 (its 52
// fraction bits and the leading 1): how far a double's significand moves up
// to fill a 64-bit word.
inline constexpr int kBitsBeyondDoubleSignificand = 64 - (kDoubleFractionBits + 1);

}  // namespace modsin
