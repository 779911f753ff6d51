// One bisection step's arithmetic, the same for the refinement in order and in
// batches: the midpoint of an interval, and the tests against FDX and FDY.
// Inline, so that both of the tabulator's source files take them without a
// call.
#pragma once

#include <cmath>

#include "calc/UTypes.h"
#include "calc/UnitCalcModSin.h"
#include "numeric/Extended.h"
#include "numeric/Ordered.h"

namespace modsin {

// The mean of two finite doubles, formed in Extended and rounded once: a
// finite double again, so unchecked. A midpoint's x, and the chord's value
// there.
inline double MeanOf(double a, double b) {
  return static_cast<double>((Extended{a} + b) / 2);
}

inline bool TCalcModSin::IsWideEnough(const TNode& a, const TNode& b) const {
  return IsGreater(Extended{b.x} - a.x, FDX);
}

inline bool TCalcModSin::ApartByMoreThanDY(double y1, double y0) const {
  return IsGreater(std::fabs(Extended{y1} - y0), FDY);
}

}  // namespace modsin
