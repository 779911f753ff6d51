// sin and cos at the nodes i/128 of [0, pi/4], each to 128 bits as the sum of
// two Extended values: the table under Sine's fast path.
#pragma once

#include <array>

#include "numeric/Extended.h"

namespace modsin {

// Nodes i/kSineTableScale for i = 0 ... 101: the last is the nearest to a
// reduced argument of pi/4 (100.53 / 128).
inline constexpr int kSineTableScale = 128;
inline constexpr int kSineTableRows = 102;

struct TSineTableRow {
  Extended FSineHigh;
  Extended FSineLow;
  Extended FCosineHigh;
  Extended FCosineLow;
};

extern const std::array<TSineTableRow, kSineTableRows> kSineTable;

}  // namespace modsin
