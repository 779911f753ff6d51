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

}  // namespace modsin
