// The room that a 32-bit integer takes in decimal, for the fixed buffers that
// numbers are written into without touching the heap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

namespace modsin {

// The widest 32-bit decimal: a sign and ten digits, "-2147483648".
inline constexpr std::size_t kMaxDecimalWidth = 11;
// digits10 is 9: every 9-digit number fits in 32 bits, not every 10-digit one.
static_assert(kMaxDecimalWidth == 1 + std::numeric_limits<std::int32_t>::digits10 + 1);

}  // namespace modsin
