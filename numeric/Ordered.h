// Ordered comparisons. Every comparison modsin makes is ordered: a NaN operand
// is an invalid operation and raises EInvalidOp instead of comparing false.
#pragma once

#include <cmath>

#include "numeric/Extended.h"

namespace modsin {

// Raises EInvalidOp; out of line so that the comparisons stay small.
[[noreturn]] void RaiseUnordered();

inline void CheckOrdered(Extended a, Extended b) {
  if (std::isnan(a) || std::isnan(b)) [[unlikely]]
    RaiseUnordered();
}

inline bool IsLess(Extended a, Extended b) {
  CheckOrdered(a, b);
  return a < b;
}

inline bool IsGreater(Extended a, Extended b) {
  CheckOrdered(a, b);
  return a > b;
}

inline bool IsEqual(Extended a, Extended b) {
  CheckOrdered(a, b);
  return a == b;
}

}  // namespace modsin
