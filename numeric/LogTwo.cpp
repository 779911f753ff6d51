#include "numeric/LogTwo.h"

#include <utility>

#include "numeric/WideNumber.h"

namespace modsin {
namespace {

// ln 2 = 2 atanh(1/3) = sum over k >= 0 of 2 / ((2k + 1) 3^(2k + 1)), to
// `limbs` limbs. Each power 2 / 3^(2k + 1) is low by less than 1.2 units
// (its own truncation and a ninth of the one before), each term by less than
// 2.2, and the terms left out (from the first power that truncates to 0) add
// up to less than 1.2 units: in all, low by less than 2.2 (terms + 1) units.
TGrowingWideNumber SeriesLnTwo(int limbs) {
  TGrowingWideNumber power = WideZero<TGrowingLimbs>(limbs);
  for (auto& limb : power.FLimb)
    limb = 0xAAAAAAAA;  // 2/3 = 0.101010...
  TGrowingWideNumber sum = power;
  for (std::uint32_t k = 1;; ++k) {
    power = DivideBy(power, 9);
    if (IsZero(power)) return sum;
    sum = Add(sum, DivideBy(power, 2 * k + 1));
  }
}

}  // namespace

TComputedLogConstants ComputeLogConstants(int limbs) {
  // One guard limb each: the error of the series, up to 2.2 (10 limbs + 2)
  // units of the guard limb, and of the division by the low ln 2, 2^-32 of
  // a unit of the last limb kept, stay below one unit of it, which the
  // truncation at most doubles.
  TGrowingWideNumber lnTwo = SeriesLnTwo(limbs + 1);
  TGrowingWideNumber half = WideZero<TGrowingLimbs>(lnTwo.FSize);
  half.FLimb[0] = kHalfLimb;
  TGrowingWideNumber halfLog2E = Divide(half, lnTwo);
  Resize(lnTwo, limbs);
  Resize(halfLog2E, limbs);
  return {std::move(lnTwo.FLimb), std::move(halfLog2E.FLimb)};
}

}  // namespace modsin
