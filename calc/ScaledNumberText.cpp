// The number text by the Extended computation alone (ScaledNumberText): |v|
// scaled by powers of ten until 1 <= m < 16, m * 10^17 rounded to an integer,
// and a half-up cut at the 16th significant digit. The digits are defined so;
// NumberText comes here wherever its product cannot decide them.
#include "calc/NumberText.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "calc/DecimalDigits.h"
#include "calc/DecimalText.h"
#include "calc/DoubleFields.h"
#include "numeric/Extended.h"
#include "numeric/Primitives.h"

namespace modsin {

// The Extended value nearest to each power of ten, as significand * 2^exponent.
// 10^0 ... 10^27 are exact: 5^27 still fits the 64-bit significand.
constexpr std::array<Extended, kPowerOfTenSteps> kPowersOfTen = {
    0x8000000000000000p-63L,  // 10^0
    0xA000000000000000p-60L,  // 10^1
    0xC800000000000000p-57L,  // 10^2
    0xFA00000000000000p-54L,  // 10^3
    0x9C40000000000000p-50L,  // 10^4
    0xC350000000000000p-47L,  // 10^5
    0xF424000000000000p-44L,  // 10^6
    0x9896800000000000p-40L,  // 10^7
    0xBEBC200000000000p-37L,  // 10^8
    0xEE6B280000000000p-34L,  // 10^9
    0x9502F90000000000p-30L,  // 10^10
    0xBA43B74000000000p-27L,  // 10^11
    0xE8D4A51000000000p-24L,  // 10^12
    0x9184E72A00000000p-20L,  // 10^13
    0xB5E620F480000000p-17L,  // 10^14
    0xE35FA931A0000000p-14L,  // 10^15
    0x8E1BC9BF04000000p-10L,  // 10^16
    0xB1A2BC2EC5000000p-7L,   // 10^17
    0xDE0B6B3A76400000p-4L,   // 10^18
    0x8AC7230489E80000p+0L,   // 10^19
    0xAD78EBC5AC620000p+3L,   // 10^20
    0xD8D726B7177A8000p+6L,   // 10^21
    0x878678326EAC9000p+10L,  // 10^22
    0xA968163F0A57B400p+13L,  // 10^23
    0xD3C21BCECCEDA100p+16L,  // 10^24
    0x84595161401484A0p+20L,  // 10^25
    0xA56FA5B99019A5C8p+23L,  // 10^26
    0xCECB8F27F4200F3Ap+26L,  // 10^27
    0x813F3978F8940984p+30L,  // 10^28 (nearest)
    0xA18F07D736B90BE5p+33L,  // 10^29 (nearest)
    0xC9F2C9CD04674EDFp+36L,  // 10^30 (nearest)
    0xFC6F7C4045812296p+39L,  // 10^31 (nearest)
};

constexpr std::array<Extended, kLargePowerOfTenCount> kLargePowersOfTen = {
    1.0L,                       // 10^0, so that the index is j div 32 itself
    0x9DC5ADA82B70B59Ep+43L,    // 10^32 (nearest)
    0xC2781F49FFCFA6D5p+149L,   // 10^64 (nearest)
    0xEFB3AB16C59B14A3p+255L,   // 10^96 (nearest)
    0x93BA47C980E98CE0p+362L,   // 10^128 (nearest)
    0xB616A12B7FE617AAp+468L,   // 10^160 (nearest)
    0xE070F78D3927556Bp+574L,   // 10^192 (nearest)
    0x8A5296FFE33CC930p+681L,   // 10^224 (nearest)
    0xAA7EEBFB9DF9DE8Ep+787L,   // 10^256 (nearest)
    0xD226FC195C6A2F8Cp+893L,   // 10^288 (nearest)
    0x81842F29F2CCE376p+1000L,  // 10^320 (nearest)
};

namespace {

// The scaling stops once m has a binary exponent of 0 ... 3, where the factor
// above gives 0: 1 <= m < 16.
constexpr Extended kScaledLow = 1.0L;
constexpr Extended kScaledHigh = 16.0L;

// m (1 <= m < 16) times 10^17 has at most 19 integer digits, 18 below 10.
constexpr Extended kDigitScale = 1e17L;

constexpr std::uint64_t kTenTo18 = 1'000'000'000'000'000'000;
// An 18-digit b keeps 15 digits: the last 3 are cut, half up on the first of
// them.
constexpr std::uint64_t kCut = 1'000;
constexpr std::uint64_t kHalfCut = 500;

// 2^e <= |v| < 2^(e+1) for a finite non-zero v, from its bits.
inline int BinaryExponentOfDouble(std::uint64_t bits) noexcept {
  const int field = static_cast<int>((bits >> kDoubleFractionBits) & kDoubleExponentMask);
  if (field != 0) return field - kDoubleExponentBias;
  return kDoubleLeastBitExponent + static_cast<int>(std::bit_width(bits & kDoubleFractionMask)) - 1;
}

// m / 10^k for k > 0, m * 10^-k for k < 0: first by 10^(j mod 32), then by
// 10^(32 (j div 32)), each operation rounded.
inline Extended ScaledByPowerOfTen(Extended m, int k) noexcept {
  const int j = k < 0 ? -k : k;
  const Extended low = kPowersOfTen[j % kPowerOfTenSteps];
  const int high = j / kPowerOfTenSteps;
  if (k > 0) {
    m = m / low;
    if (high != 0) m = m / kLargePowersOfTen[high];
  } else {
    m = m * low;
    if (high != 0) m = m * kLargePowersOfTen[high];
  }
  return m;
}

// The digits by the Extended computation, of |v| given by its bits.
TDecimal ScaledDecimal(std::uint64_t magnitudeBits) noexcept {
  // Step 1: 1 <= m < 16 (or m = 0) and |v| ~ m * 10^exponent.
  Extended m = static_cast<Extended>(std::bit_cast<double>(magnitudeBits));
  int exponent = 0;
  if (magnitudeBits != 0) {
    int e = BinaryExponentOfDouble(magnitudeBits);
    for (;;) {
      const int k = FloorLog10OfTwoTo(e);
      if (k == 0) break;
      exponent += k;
      m = ScaledByPowerOfTen(m, k);
      if (m >= kScaledLow && m < kScaledHigh) break;
      // Now and then one more step: 16 <= m < 21, or m < 1.
      e = ExtendedBits(m).FExponent - kExtendedBias;
    }
  }

  // Step 2: b, an integer below 1.6 * 10^18 < 2^62.
  const Extended scaled = m * kDigitScale;
  // Rounded to nearest, ties to even.
  const auto b = static_cast<std::uint64_t>(RoundToInt64(scaled));

  // Step 3: the 15 significant digits, rounded half up on the 16th digit alone.
  //   b < 10^18 (m < 10): b has 18 digits and the cut falls below its 15th;
  //     a carry through fifteen 9s (b >= 10^18 - 500) leaves 1 followed by
  //     zeros and one more in the exponent.
  //   b >= 10^18 (m >= 10, or so close below that b reached 10^18): the
  //     leading digit is 1, the exponent one more, and the cut falls below
  //     the 15th digit of c = b - 10^18 counted with the 1 in front.
  // The carry and the second case are one rule: with the exponent raised, b
  // is cut at its 16th digit, floor((b + 5000) / 10^4), the leading 1 coming
  // from 10^18 / 10^4 = 10^14; and that cut is floor((floor(b / 10) + 500) /
  // 1000), the first case's cut of b / 10. Taking it so spares a branch that
  // no predictor learns.
  const bool wide = b >= kTenTo18 - kHalfCut;
  const std::uint64_t kept = wide ? b / 10 : b;
  return {(kept + kHalfCut) / kCut, exponent + (wide ? 1 : 0)};
}

// A word for a value that is not finite, right-aligned.
TNumberText Word(std::string_view word) noexcept {
  TNumberText text;
  text.fill(' ');
  std::memcpy(text.data() + kNumberTextWidth - word.size(), word.data(), word.size());
  return text;
}

}  // namespace

TNumberText ScaledNumberText(double v) noexcept {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  const bool negative = (bits >> kDoubleSignShift) != 0;
  if (((bits >> kDoubleFractionBits) & kDoubleExponentMask) == kDoubleExponentMask) {
    if ((bits & kDoubleFractionMask) != 0) return Word("Nan");
    return Word(negative ? "-Inf" : "+Inf");
  }
  TNumberText text;
  PutText(negative, ScaledDecimal(bits & ~kDoubleSignBit), text.data());
  return text;
}

}  // namespace modsin
