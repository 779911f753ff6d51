// The conversion of a double to its 23-character number text: scaling by
// powers of ten in Extended, one rounding to an 18- or 19-digit integer, and a
// half-up cut at the 16th significant digit.
#include "calc/NumberText.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

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

// Character positions in the text.
constexpr std::size_t kSignPos = 0;
constexpr std::size_t kFirstDigitPos = 1;
constexpr std::size_t kPointPos = 2;
constexpr std::size_t kFractionPos = 3;  // 14 digits: 3 ... 16
constexpr std::size_t kExponentMarkPos = 17;
constexpr std::size_t kExponentSignPos = 18;
constexpr std::size_t kExponentPos = 19;  // 4 digits: 19 ... 22

// IEEE binary64 fields.
constexpr int kDoubleFractionBits = 52;
constexpr std::uint64_t kDoubleFractionMask = (std::uint64_t{1} << kDoubleFractionBits) - 1;
constexpr std::uint64_t kDoubleExponentMask = 0x7FF;
constexpr int kDoubleExponentBias = 1023;
// Binary exponent of the least significant bit of a subnormal (and of the
// smallest normal) double: 2^-1074.
constexpr int kDoubleLeastBitExponent = -1074;
constexpr int kDoubleSignShift = 63;
constexpr std::uint64_t kDoubleSignBit = std::uint64_t{1} << kDoubleSignShift;

// floor(e * log10(2)) for a binary exponent e, as (e * 19728) >> 16:
// 19728 / 65536 = 0.301025390625, just below log10(2) = 0.30102999566...,
// so the power of ten taken out is never more than the value holds and m stays
// at or above 1 after each step. The shift is arithmetic, so negative e round
// toward minus infinity.
constexpr int kLog10TwoNumerator = 19728;
constexpr int kLog10TwoShift = 16;

// The scaling stops once m has a binary exponent of 0 ... 3, where the factor
// above gives 0: 1 <= m < 16.
constexpr Extended kScaledLow = 1.0L;
constexpr Extended kScaledHigh = 16.0L;

// m (1 <= m < 16) times 10^17 has at most 19 integer digits, 18 below 10.
constexpr Extended kDigitScale = 1e17L;

// The 15-bit biased exponent follows the significand; bias 16383.
constexpr std::size_t kExtendedExponentOffset = 8;
constexpr std::uint16_t kExtendedExponentMask = 0x7FFF;
constexpr int kExtendedExponentBias = 16383;

// 2^e <= x < 2^(e+1) for a normal x, read from its bits: what ilogb gives,
// without a call into the maths library.
inline int BinaryExponentOfExtended(Extended x) noexcept {
  std::uint16_t field;
  std::memcpy(&field, reinterpret_cast<const char*>(&x) + kExtendedExponentOffset, sizeof field);
  return (field & kExtendedExponentMask) - kExtendedExponentBias;
}

constexpr std::uint64_t kTenTo18 = 1'000'000'000'000'000'000;
constexpr std::uint32_t kTenTo8 = 100'000'000;
// An 18-digit b keeps 15 digits: the last 3 are cut, half up on the first of
// them.
constexpr std::uint64_t kCut = 1'000;
constexpr std::uint64_t kHalfCut = 500;

// "00" "01" ... "99": two digits per lookup.
constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (std::size_t i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

inline void PutPair(char* out, std::uint32_t pair) noexcept {
  std::memcpy(out, &kDigitPairs[std::size_t{2} * pair], 2);
}

// The digits of n < 10^8 as four pairs, from a 32.32 fixed-point value of
// n / 10^6 whose integer part is the first pair: each multiplication of the
// fraction by 100 brings the next pair into the integer part. The multiplier is
// ceil(2^57 / 10^6) (n times it stays below 2^64), shifted down by 25 to the
// 2^32 scale; the 1 added makes up for the bits the shift drops, so that no
// pair comes out one too low (checked for every n below 10^8).
constexpr std::uint64_t kPairMultiplier = (std::uint64_t{1} << 57) / 1'000'000 + 1;
constexpr int kPairShift = 25;
constexpr int kFractionBits = 32;
constexpr std::uint64_t kPairStep = 100;

inline void PutEightDigits(char* out, std::uint32_t n) noexcept {
  std::uint64_t fixed = ((n * kPairMultiplier) >> kPairShift) + 1;
  PutPair(out, static_cast<std::uint32_t>(fixed >> kFractionBits));
  for (std::size_t i = 1; i < 4; ++i) {
    fixed = static_cast<std::uint32_t>(fixed) * kPairStep;
    PutPair(out + 2 * i, static_cast<std::uint32_t>(fixed >> kFractionBits));
  }
}

// A word for a value that is not finite, right-aligned.
TNumberText Word(std::string_view word) noexcept {
  TNumberText text;
  text.fill(' ');
  std::memcpy(text.data() + kNumberTextWidth - word.size(), word.data(), word.size());
  return text;
}

inline int FloorLog10OfTwoTo(int e) noexcept {
  return (e * kLog10TwoNumerator) >> kLog10TwoShift;
}

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

}  // namespace

TNumberText NumberText(double v) noexcept {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  const bool negative = (bits >> kDoubleSignShift) != 0;
  if (((bits >> kDoubleFractionBits) & kDoubleExponentMask) == kDoubleExponentMask) {
    if ((bits & kDoubleFractionMask) != 0) return Word("Nan");
    return Word(negative ? "-Inf" : "+Inf");
  }

  // Step 1: 1 <= m < 16 (or m = 0) and |v| ~ m * 10^exponent.
  const std::uint64_t magnitudeBits = bits & ~kDoubleSignBit;
  Extended m = static_cast<Extended>(std::bit_cast<double>(magnitudeBits));
  int exponent = 0;
  if (magnitudeBits != 0) {
    int e = BinaryExponentOfDouble(bits);
    for (;;) {
      const int k = FloorLog10OfTwoTo(e);
      if (k == 0) break;
      exponent += k;
      m = ScaledByPowerOfTen(m, k);
      if (m >= kScaledLow && m < kScaledHigh) break;
      e = BinaryExponentOfExtended(m);  // now and then one more step: 16 <= m < 21, or m < 1
    }
  }

  // Step 2: b, an integer below 1.6 * 10^18 < 2^62.
  const Extended scaled = m * kDigitScale;
  // Rounded to nearest, ties to even.
  const auto b = static_cast<std::uint64_t>(RoundToInt64(scaled));

  // Step 3: the 15 significant digits, 10^14 <= significand < 10^15 (0 for a
  // zero), rounded half up on the 16th digit alone.
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
  const std::uint64_t significand = (kept + kHalfCut) / kCut;
  exponent += wide ? 1 : 0;

  TNumberText text;
  // d1 ... d7 and d8 ... d15, each part small enough for 32-bit arithmetic.
  const auto upper = static_cast<std::uint32_t>(significand / kTenTo8);
  const auto lower = static_cast<std::uint32_t>(significand % kTenTo8);
  // upper has 7 digits, d1 ... d7. Written as 8 from the first digit's place,
  // "0" d1 d2 ..., d2 ... d7 land where they belong; then d1 moves over the 0
  // and the point takes its place.
  text[kSignPos] = negative ? '-' : ' ';
  PutEightDigits(text.data() + kFirstDigitPos, upper);
  text[kFirstDigitPos] = text[kPointPos];
  text[kPointPos] = '.';
  // d8 ... d15 follow the 6 fraction digits of upper.
  constexpr std::size_t kLowerPos = kFractionPos + 6;
  PutEightDigits(text.data() + kLowerPos, lower);
  text[kExponentMarkPos] = 'E';
  text[kExponentSignPos] = exponent < 0 ? '-' : '+';
  const auto magnitude = static_cast<std::uint32_t>(exponent < 0 ? -exponent : exponent);
  PutPair(text.data() + kExponentPos, magnitude / 100);
  PutPair(text.data() + kExponentPos + 2, magnitude % 100);
  return text;
}

}  // namespace modsin
