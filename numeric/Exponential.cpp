// Exponential and NaturalLog (declared with the other primitives in
// Primitives.h), correctly rounded where their one transcendental step is:
// 2^f - 1 for Exponential, ln 2 * log2(x) for NaturalLog, each from a fast
// path in Extended arithmetic (FastExponential.h) where that decides the
// rounding, about 4,999 calls in 5,000, else from an exact one in integer
// arithmetic. Every other step is a single x87 operation, rounded once under
// modsin's own control word whatever the caller's: neither the processor nor
// the caller can change a result.
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "numeric/ExactExponential.h"
#include "numeric/ExactLogarithm.h"
#include "numeric/Extended.h"
#include "numeric/FastExponential.h"
#include "numeric/FloatEnvironment.h"
#include "numeric/MathError.h"
#include "numeric/Primitives.h"

namespace modsin {
namespace {

// From |t| = 2^15 on, 2^t lies far beyond the Extended range (2^16384) or
// far below its least subnormal value (2^-16445).
constexpr Extended kOutOfRangeT = 0x1p15L;

// Rounds an Extended below 2^62 in magnitude to a whole number when added
// and taken off again.
constexpr Extended kRoundingShift = 0x3p62L;

// Below 2^-66, |2^f - 1| < 0.7 * 2^-66 lies within half a unit of 1 (2^-65
// on either side at least): 1 + (2^f - 1) rounds to 1.
constexpr Extended kLeastFraction = 0x1p-66L;

// Exponential's steps in x87 arithmetic, each a single operation rounded once
// (to nearest, under modsin's own control word), but for 2^f - 1: its fast
// value where that decides the rounding, else nothing yet.
enum class TExponentialOutcome { kValue, kInvalid, kOverflow, kExactStepNeeded };

struct TExponentialSteps {
  TExponentialOutcome FOutcome = TExponentialOutcome::kValue;
  Extended FValue = 0;
  std::int64_t FWhole = 0;  // i
  Extended FFraction = 0;   // f, where 2^f - 1 needs the exact path
};

// Step 4: h * 2^i, exact in the normal range and rounded once below it (to a
// subnormal value or 0); beyond the range an infinity, which fails. Where
// 2^i is a double (and h 2^i surely normal), one product by it, which costs
// a fraction of fscale.
constexpr std::int64_t kDoubleExponentLimit = 1000;
constexpr int kDoubleExponentBias = 1023;
constexpr int kDoubleSignificandBits = 52;

TExponentialSteps Scaled(Extended h, std::int64_t whole) noexcept {
  if (whole >= -kDoubleExponentLimit && whole <= kDoubleExponentLimit) {
    const auto power = std::bit_cast<double>(static_cast<std::uint64_t>(whole + kDoubleExponentBias)
                                             << kDoubleSignificandBits);
    return {TExponentialOutcome::kValue, h * power};
  }
  Extended value;
  asm("fscale" : "=t"(value) : "0"(h), "u"(static_cast<Extended>(whole)));
  if (std::isinf(value)) return {TExponentialOutcome::kOverflow};
  return {TExponentialOutcome::kValue, value};
}

TExponentialSteps ExponentialSteps(Extended x) noexcept {
  // A NaN, an infinity and an unnormal encoding compare unordered.
  if (!(std::fabs(x) <= std::numeric_limits<Extended>::max()))
    return {TExponentialOutcome::kInvalid};
  // Step 1: t = x * log2(e); beyond the range of 2^t, t decides alone (an
  // x near the Extended limit takes t itself to an infinity).
  const Extended t = x * kLog2E;
  if (!(std::fabs(t) < kOutOfRangeT)) {
    if (t > 0) return {TExponentialOutcome::kOverflow};
    return {TExponentialOutcome::kValue, +0.0L};
  }
  // Step 2: i the whole number nearest to t (ties to even), f = t - i exact.
  // t + 3 2^62 lies in [2^63, 2^64), where Extended values are whole numbers
  // 1 apart: the sum rounds t as the step says, without the trip through
  // memory that an integer store takes, and 3 2^62 is even. The integer,
  // needed only at the end, comes aside.
  const Extended wholeValue = (t + kRoundingShift) - kRoundingShift;
  const Extended fraction = t - wholeValue;
  const std::int64_t whole = RoundToInt64(wholeValue);
  // Step 3: h = 1 + (2^f - 1).
  Extended h = 1;
  if (std::fabs(fraction) >= kLeastFraction) {
    const std::optional<Extended> g = FastPowerOfTwoMinusOne(fraction);
    if (!g) return {TExponentialOutcome::kExactStepNeeded, 0, whole, fraction};
    h = 1 + *g;
  }
  return Scaled(h, whole);
}

}  // namespace

Extended Exponential(Extended x) {
  TExponentialSteps steps = InOwnX87Environment(ExponentialSteps, x);
  if (steps.FOutcome == TExponentialOutcome::kExactStepNeeded) {
    // Rarely (about one call in 20,000): the exact 2^f - 1, in integer
    // arithmetic, and the last steps under modsin's control word again.
    const Extended g = ExactPowerOfTwoMinusOne(steps.FFraction);
    steps = InOwnX87Environment(
        [](Extended g, std::int64_t whole) noexcept { return Scaled(1 + g, whole); }, g,
        steps.FWhole);
  }
  if (steps.FOutcome == TExponentialOutcome::kInvalid) Raise<EInvalidOp>();
  if (steps.FOutcome == TExponentialOutcome::kOverflow) Raise<EOverflow>();
  return steps.FValue;
}

Extended NaturalLog(Extended x) {
  const TExtendedBits bits = ExtendedBits(x);
  if (bits.FExponent == kExtendedMaxExponent) Raise<EInvalidOp>();  // NaN, +-infinity
  if (bits.FExponent == 0 && bits.FSignificand == 0) Raise<EZeroDivide>();
  if (bits.FNegative || (bits.FExponent != 0 && (bits.FSignificand & kExtendedLeadingBit) == 0))
    Raise<EInvalidOp>();
  // A power of two 2^e: the product ln 2 * e is exact before its rounding,
  // and may lie halfway between two Extended values.
  const int zeros = std::countl_zero(bits.FSignificand);
  if ((bits.FSignificand << zeros) == kExtendedLeadingBit) {
    const int e =
        (bits.FExponent == 0 ? kExtendedLeastNormalExponent : bits.FExponent - kExtendedBias) -
        zeros;
    if (e == 0) return +0.0L;
    return InOwnX87Environment([](Extended whole) noexcept { return kLn2 * whole; },
                               static_cast<Extended>(e));
  }
  // A subnormal x (or a pseudo-denormal one) takes the exact path at once.
  if (bits.FExponent != 0) {
    if (const std::optional<Extended> y = InOwnX87Environment(FastNaturalLog, x)) return *y;
  }
  return ExactNaturalLog(x);
}

}  // namespace modsin
