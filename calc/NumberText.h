// NumberText: a double as the fixed 23-character scientific text of the node
// tables, " d.ddddddddddddddE+dddd", reproduced byte for byte on every platform.
#pragma once

#include <array>
#include <cstddef>

#include "numeric/Extended.h"

namespace modsin {

// Sign, first digit, '.', 14 further digits, 'E', exponent sign, 4 exponent
// digits: 1 + 1 + 1 + 14 + 1 + 1 + 4.
inline constexpr std::size_t kNumberTextWidth = 23;

using TNumberText = std::array<char, kNumberTextWidth>;

// The text of v with 15 significant digits.
//
// Position 1 is '-' when the sign bit of v is set (negative zero included) and
// a space otherwise; then the first significant digit (0 only for a zero), '.',
// the next 14 digits, 'E', the exponent's sign ('+' for 0 and above) and its
// magnitude as 4 digits. A NaN of either sign is "Nan" and the infinities are
// "+Inf" and "-Inf", each right-aligned with leading spaces.
//
// The digits come from Extended arithmetic, every operation rounded to nearest
// with ties to even (the environment that EstablishFloatEnvironment sets):
//   1. m = |v| is scaled by powers of ten until 1 <= m < 16, the exponent
//      collecting the powers;
//   2. b = m * 10^17 is rounded to an integer, ties to even;
//   3. b is cut to 15 significant digits, rounding half up on the 16th digit
//      alone.
// So the text is the correctly rounded one except where v lies within about
// a thousandth of a unit in the 15th digit of a halfway point; there the double
// rounding decides. Examples:
//   1.0                          " 1.00000000000000E+0000"
//   -0.5                         "-5.00000000000000E-0001"
//   10.0                         " 1.00000000000000E+0001"
//   0x1.e6cf8bc27c245p+1         " 3.80320879932723E+0000"  (3.8032087993272249981...)
//   0x1.3ffffffffffffp+3         " 1.00000000000000E+0001"  (9.9999999999999982...)
//   4.9406564584124654e-324      " 4.94065645841247E-0324"
// No allocation, no locale, no failure.
TNumberText NumberText(double v) noexcept;

// The same text, written to text[0, kNumberTextWidth): formed where it is
// wanted, such as in a line, instead of copied there.
void WriteNumberText(double v, char* text) noexcept;

// The same text by the Extended computation alone, steps 1 to 3 above, at
// about half the speed. NumberText takes the digits from one 64-bit product
// and asks this computation only where v lies within 1/256 of a unit in the
// 15th digit of a halfway point, and for zero and subnormals;
// bench/NumberTextCompare.cpp holds the two together.
TNumberText ScaledNumberText(double v) noexcept;

// The scaling factors: 10^n for n = 0 ... 31, and 10^(32 i) for i = 0 ... 10,
// each the Extended value nearest to the power (exact up to 10^27).
inline constexpr int kPowerOfTenSteps = 32;
inline constexpr int kLargePowerOfTenCount = 11;
extern const std::array<Extended, kPowerOfTenSteps> kPowersOfTen;
extern const std::array<Extended, kLargePowerOfTenCount> kLargePowersOfTen;

}  // namespace modsin
