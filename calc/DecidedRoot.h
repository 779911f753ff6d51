// The shortcut of the seeds of p = 2: the square root of a phase, where it
// decides the double that PhaseToX's e^(ln(phase) / 2) rounds to.
#pragma once

#include <optional>

#include "numeric/Extended.h"
#include "numeric/Primitives.h"

namespace modsin {

// For p = 2, PhaseToX forms the square root of a phase as e^(ln(phase) / 2),
// every step rounded. Those steps are within 1 unit of their last place
// (the logarithm and 2^f - 1 are correctly rounded, within half a unit; the
// others are single roundings), so the value R differs from sqrt(phase) by
// little: ln(phase), its half and the base-2 exponent v made of it are
// within 2.91 units of v's last place, which moves R by 2.02 |v| units of
// its own; 2^f - 1 and the addition of 1 add 0.92. Where ln(phase) / 2 is a
// whole number n, R is e^n by products instead, within 2.6 n. In units of
// 2^-64 of R, with 2^e <= phase < 2^(e + 1), that is at most 2.2 |e| + 4.4:
// less than 3 |e| + 8. The square root rounded once (half a unit more)
// therefore rounds to R's double wherever it lies farther than that from a
// midpoint between two doubles; only nearer is the long way taken. Up to
// 2^160 the margin stays below 512 units, where a midpoint lies under a
// power of two.
inline constexpr int kLowestRootExponent = -17;  // 2^-17 < kSmallPhaseBound
inline constexpr int kHighestRootExponent = 159;

// The double that e^(ln(phase) / 2) rounds to, for a phase from
// kSmallPhaseBound on, where the square root decides it; nothing elsewhere.
inline std::optional<double> DecidedRoot(double phase) {
  // 2^e <= phase < 2^(e + 1): a phase is normal here.
  const int e = ExtendedBits(phase).FExponent - kExtendedBias;
  if (e < kLowestRootExponent || e > kHighestRootExponent) return std::nullopt;
  const Extended root = SquareRoot(phase);
  const auto margin = static_cast<unsigned>(3 * (e < 0 ? -e : e) + 8);
  if (UnitsFromDoubleMidpoint(root) <= margin) return std::nullopt;
  return static_cast<double>(root);
}

}  // namespace modsin
