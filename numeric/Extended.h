// Extended: the 80-bit x87 format (64-bit significand) in which every
// intermediate result of modsin is formed before it is stored as a double.
#pragma once

#include <limits>

namespace modsin {

using Extended = long double;

static_assert(std::numeric_limits<Extended>::digits == 64,
              "modsin needs long double to be the x87 80-bit extended format");

}  // namespace modsin
