// The conversion of a double to its 23-character number text. The digits are
// defined by scaling by powers of ten in Extended, one rounding to an 18- or
// 19-digit integer, and a half-up cut at the 16th significant digit. One
// 64-bit product of the significand with a power of ten gives the same digits
// for all but about one value in 128, so it is tried first.
//
// Here: that product, and the choice of the Extended computation where the
// product cannot decide (the Extended computation: ScaledNumberText.cpp).
#include "calc/NumberText.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>

#include "calc/DecimalDigits.h"
#include "calc/DecimalPowers.h"
#include "calc/DecimalText.h"
#include "calc/DoubleFields.h"
#include "numeric/WideNumber.h"

namespace modsin {
namespace {

// The fast path, for normal doubles. With k the scaling's first estimate of
// the decimal exponent, |v| / 10^k lies in [0.99, 20.2), and S = |v| * 10^(14
// - k) has 15 digits before the point, or 16 when |v| / 10^k >= 10 (then k + 1
// serves instead). The digits are S rounded half up. One product of the 64-bit
// significand of |v| with the 64-bit significand of 10^(14 - k) gives S within
// 2^-12 + 2^-14 of a unit: the power's rounding moves S < 2^50 by 2^-64 of
// itself, and the product's dropped low half by less than 2^-62.
//
// The Extended computation comes within 1.11 thousandths of a unit of S of the
// exact value: its at most six roundings to 64 bits (two powers, two
// scalings, a second step, the product with 10^17), each within 2^-64, move b
// by less than 0.52; rounding b to an integer adds 0.5, and cutting b / 10
// (when 10 <= m < 16) less than 1 more, all in units of b's last digit, a
// thousandth of a unit of S at the most. So where S lies more than 1/256 of a
// unit from a halfway point, both round to the same 15 digits; nearer, the
// double rounding may decide, and the Extended computation is asked. That is
// one value in 128.

// S = |v| * 10^q as its whole part and its fraction, the fraction's bits at
// the top of a 64-bit word.
struct TFixedPoint {
  std::uint64_t FWhole;
  std::uint64_t FFraction;
};

// |v| = significand * 2^(e - 63), 2^63 <= significand < 2^64.
inline TFixedPoint ScaledProduct(std::uint64_t significand, int e, int q) noexcept {
  const TDecimalPower& power = kDecimalPowers[static_cast<std::size_t>(q - kLowestDecimalPower)];
  // 2^62 <= product < 2^64, S = product * 2^(e + 1 + power.FExponent), and
  // with S within [2^46, 2^51) the point lies 11 to 18 bits from the bottom.
  const std::uint64_t product = MultiplyWords(significand, power.FSignificand).FHigh;
  const int pointBits = -(e + 1 + power.FExponent);
  return {product >> pointBits, product << (64 - pointBits)};
}

constexpr std::uint64_t kTenTo14 = 100'000'000'000'000;
constexpr std::uint64_t kTenTo15 = 1'000'000'000'000'000;
// The first 8 bits of a fraction within 1/256 of a half: 0.0111 1111 and
// 0.1000 0000.
constexpr int kNearHalfShift = 64 - 8;
constexpr std::uint64_t kJustBelowHalf = 0x7F;
constexpr std::uint64_t kJustAboveHalf = 0x80;

// The digits of a normal |v| given by its bits; nothing for zero, subnormals,
// NaN and the infinities (all rare), and near halfway points.
std::optional<TDecimal> ProductDecimal(std::uint64_t magnitudeBits) noexcept {
  const auto field = static_cast<int>(magnitudeBits >> kDoubleFractionBits);
  if (field == 0 || field == kDoubleExponentMask) return std::nullopt;
  const int e = field - kDoubleExponentBias;
  // The fraction with its leading 1, moved to the top.
  const std::uint64_t significand = (magnitudeBits | kDoubleSignBit >> kBitsBeyondDoubleSignificand)
                                    << kBitsBeyondDoubleSignificand;

  int exponent = FloorLog10OfTwoTo(e);
  TFixedPoint s = ScaledProduct(significand, e, kSignificantDigits - 1 - exponent);
  if (s.FWhole >= kTenTo15) {
    ++exponent;
    s = ScaledProduct(significand, e, kSignificantDigits - 1 - exponent);
  }
  // Below 10^14 only where |v| lies just under a power of ten.
  if (s.FWhole < kTenTo14) return std::nullopt;
  const std::uint64_t firstBits = s.FFraction >> kNearHalfShift;
  if (firstBits == kJustBelowHalf || firstBits == kJustAboveHalf) return std::nullopt;
  TDecimal decimal = {s.FWhole + (s.FFraction >> 63), exponent};
  if (decimal.FDigits == kTenTo15) decimal = {kTenTo14, exponent + 1};
  return decimal;
}

}  // namespace

void WriteNumberText(double v, char* text) noexcept {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  const std::optional<TDecimal> decimal = ProductDecimal(bits & ~kDoubleSignBit);
  if (!decimal) {
    const TNumberText scaled = ScaledNumberText(v);
    std::memcpy(text, scaled.data(), kNumberTextWidth);
    return;
  }
  PutText((bits >> kDoubleSignShift) != 0, *decimal, text);
}

TNumberText NumberText(double v) noexcept {
  TNumberText text;
  WriteNumberText(v, text.data());
  return text;
}

}  // namespace modsin
