// The conversion of a double to its 23-character number text. The digits are
// defined by scaling by powers of ten in Extended, one rounding to an 18- or
// 19-digit integer, and a half-up cut at the 16th significant digit. One
// 64-bit product of the significand with a power of ten gives the same digits
// for all but about one value in 128, so it is tried first.
#include "calc/NumberText.h"

#include <emmintrin.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

#include "numeric/Extended.h"
#include "numeric/Primitives.h"
#include "numeric/WideNumber.h"

#ifndef __SSE2__
#error "the number text needs SSE2 (-msse2 on 32-bit x86)"
#endif

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

constexpr std::uint64_t kTenTo18 = 1'000'000'000'000'000'000;
// An 18-digit b keeps 15 digits: the last 3 are cut, half up on the first of
// them.
constexpr std::uint64_t kCut = 1'000;
constexpr std::uint64_t kHalfCut = 500;

constexpr int FloorLog10OfTwoTo(int e) noexcept {
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

// 15 significant digits and the decimal exponent of the first:
// 10^14 <= FDigits < 10^15, or 0 for a zero.
struct TDecimal {
  std::uint64_t FDigits;
  int FExponent;
};

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

// 10^q, q from kLowestDecimalPower to kHighestDecimalPower: every 14 - k and
// 13 - k above, for k from floor(-1022 log10 2) to floor(1023 log10 2).
constexpr int kSignificantDigits = 15;
constexpr int kLowestDecimalPower = kSignificantDigits - 2 - FloorLog10OfTwoTo(kDoubleExponentBias);
constexpr int kHighestDecimalPower =
    kSignificantDigits - 1 - FloorLog10OfTwoTo(1 - kDoubleExponentBias);

// FSignificand * 2^FExponent with 2^63 <= FSignificand < 2^64, rounded to
// nearest: the nearest Extended value.
struct TDecimalPower {
  std::uint64_t FSignificand;
  int FExponent;
};

// The powers, from exact integers at compile time: 5^n by repeated
// multiplication, and floor(2^831 / 5^n) by repeated division (floor(floor(a
// / 5) / 5) = floor(a / 25)), their top 64 bits rounded by the next bit. No
// tie is rounded wrongly: a 5^n of more than 64 bits is odd and never 65 bits
// long, and 2^831 / 5^n is never a whole number.
constexpr int kLimbCount = 26;  // 832 bits: 5^322 < 2^748, 2^831 / 5^294 > 2^148
using TLimbs = std::array<std::uint32_t, kLimbCount>;

// a * 2^unitExponent, rounded to 64 bits. The leading 1 and the 64 bits after
// it lie in the top three limbs that are not all zeros.
constexpr TDecimalPower Rounded(const TLimbs& a, int unitExponent) {
  int top = kLimbCount - 1;
  while (a[static_cast<std::size_t>(top)] == 0)
    --top;
  const auto limb = [&a](int i) {
    return i < 0 ? std::uint64_t{0} : std::uint64_t{a[static_cast<std::size_t>(i)]};
  };
  const int spare = kLimbBits - static_cast<int>(std::bit_width(a[static_cast<std::size_t>(top)]));
  const std::uint64_t high = limb(top) << kLimbBits | limb(top - 1);
  const std::uint64_t low = limb(top - 2);
  const std::uint64_t significand = high << spare | low >> (kLimbBits - spare);
  const std::uint64_t next = low >> (kLimbBits - 1 - spare) & 1;
  const int length = (top + 1) * kLimbBits - spare;
  TDecimalPower power = {significand + next, unitExponent + length - 64};
  if (power.FSignificand == 0) power = {std::uint64_t{1} << 63, power.FExponent + 1};
  return power;
}

constexpr auto kDecimalPowers = [] {
  std::array<TDecimalPower, kHighestDecimalPower - kLowestDecimalPower + 1> powers{};
  const auto at = [](int q) { return static_cast<std::size_t>(q - kLowestDecimalPower); };
  TLimbs fives{1};  // 5^n, and 10^n = 5^n * 2^n
  for (int n = 0; n <= kHighestDecimalPower; ++n) {
    powers[at(n)] = Rounded(fives, n);
    std::uint64_t carry = 0;
    for (std::uint32_t& limb : fives) {
      carry += std::uint64_t{limb} * 5;
      limb = static_cast<std::uint32_t>(carry);
      carry >>= kLimbBits;
    }
  }
  constexpr int kTop = kLimbCount * kLimbBits - 1;
  TLimbs fifths{};  // floor(2^831 / 5^n), and 10^-n = that * 2^(-831 - n)
  fifths.back() = std::uint32_t{1} << (kTop % kLimbBits);
  for (int n = 1; n <= -kLowestDecimalPower; ++n) {
    std::uint64_t remainder = 0;
    for (std::size_t i = kLimbCount; i-- > 0;) {
      remainder = remainder << kLimbBits | fifths[i];
      fifths[i] = static_cast<std::uint32_t>(remainder / 5);
      remainder %= 5;
    }
    powers[at(-n)] = Rounded(fifths, -kTop - n);
  }
  return powers;
}();

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
  const std::uint64_t significand = (magnitudeBits | kDoubleSignBit >> 11) << 11;

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

// The digits of two numbers below 10^8, eight each with leading zeros, as
// characters in the 16 bytes of an SSE2 register: high's in bytes 0 ... 7,
// low's in bytes 8 ... 15, each number's first digit in the lowest byte. Each
// step splits every lane in two, the quotient into the lower half and the
// remainder into the upper:
//   abcdefgh in each 64-bit lane:   abcd | efgh << 32    by 10^4
//   abcd in each 32-bit lane:       ab | cd << 16        by 100
//   ab in each 16-bit lane:         a | b << 8           by 10
// The quotients come from products with reciprocals rounded up, exact for
// every dividend that occurs: (x * 109951163) >> 40 for x < 10^8
// (109951163 = ceil(2^40 / 10^4)), (x * 5243) >> 19 for x < 10^4 (5243 =
// ceil(2^19 / 100)) and (x * 6554) >> 16 for x < 100 (6554 = ceil(2^16 / 10)).
constexpr std::int32_t kTenTo4Reciprocal = 109'951'163;
constexpr int kTenTo4Shift = 40;
constexpr std::int16_t kHundredReciprocal = 5243;
constexpr int kHundredShift = 19 - 16;  // after the 16 of the high product
constexpr std::int16_t kTenReciprocal = 6554;

inline __m128i SixteenDigits(std::uint32_t high, std::uint32_t low) noexcept {
  const __m128i n = _mm_set_epi64x(low, high);
  const __m128i q4 =
      _mm_srli_epi64(_mm_mul_epu32(n, _mm_set1_epi32(kTenTo4Reciprocal)), kTenTo4Shift);
  const __m128i r4 = _mm_sub_epi64(n, _mm_mul_epu32(q4, _mm_set1_epi32(10'000)));
  __m128i x = _mm_or_si128(q4, _mm_slli_epi64(r4, 32));
  const __m128i q2 =
      _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(kHundredReciprocal)), kHundredShift);
  const __m128i r2 = _mm_sub_epi16(x, _mm_mullo_epi16(q2, _mm_set1_epi16(100)));
  x = _mm_or_si128(q2, _mm_slli_epi32(r2, 16));
  const __m128i q1 = _mm_mulhi_epu16(x, _mm_set1_epi16(kTenReciprocal));
  const __m128i r1 = _mm_sub_epi16(x, _mm_mullo_epi16(q1, _mm_set1_epi16(10)));
  x = _mm_or_si128(q1, _mm_slli_epi16(r1, 8));
  return _mm_add_epi8(x, _mm_set1_epi8('0'));
}

// The exponent's magnitude (at most 324) as 4 digits, "0000" ... "0339".
constexpr int kExponentLimit = 340;
constexpr auto kExponentDigits = [] {
  std::array<std::uint32_t, kExponentLimit> digits{};
  for (std::uint32_t n = 0; n < kExponentLimit; ++n)
    for (std::uint32_t place = 1, shift = 24; place <= 1000; place *= 10, shift -= 8)
      digits[n] |= ('0' + n / place % 10) << shift;
  return digits;
}();

// The text: sign, d1, '.', d2 ... d15, 'E', the exponent's sign and its 4
// digits, from the 16 digit characters that SixteenDigits makes of
// 0 d1 ... d7 and d8 ... d15 (two parts small enough for 32-bit arithmetic).
// Stored from the text's byte 1, they leave d2 ... d15 in place; then bytes
// 0 ... 3 become the sign, d1, '.' and d2 again, and bytes 15 ... 22 d14 and
// d15 again, 'E', the exponent's sign and its digits.
static_assert(std::endian::native == std::endian::little);
constexpr std::uint64_t kTenTo8 = 100'000'000;

void PutText(bool negative, TDecimal decimal, char* text) noexcept {
  const __m128i digits = SixteenDigits(static_cast<std::uint32_t>(decimal.FDigits / kTenTo8),
                                       static_cast<std::uint32_t>(decimal.FDigits % kTenTo8));
  const auto leading = static_cast<std::uint32_t>(_mm_cvtsi128_si32(digits));  // '0' d1 d2 d3
  constexpr std::uint32_t kFirstDigit = 0xFF00;
  constexpr std::uint32_t kSecondDigit = 0xFF'0000;
  const std::uint32_t head = static_cast<std::uint32_t>(negative ? '-' : ' ') |
                             (leading & kFirstDigit) | std::uint32_t{'.'} << 16 |
                             (leading & kSecondDigit) << 8;
  const int exponent = decimal.FExponent;
  const std::uint32_t magnitude =
      kExponentDigits[static_cast<std::size_t>(exponent < 0 ? -exponent : exponent)];
  constexpr int kLastTwoDigits = 7;  // the 16-bit lane of d14 and d15
  const std::uint64_t tail = static_cast<std::uint64_t>(_mm_extract_epi16(digits, kLastTwoDigits)) |
                             std::uint64_t{'E'} << 16 |
                             static_cast<std::uint64_t>(exponent < 0 ? '-' : '+') << 24 |
                             std::uint64_t{magnitude} << 32;
  _mm_storeu_si128(reinterpret_cast<__m128i*>(text + 1), digits);
  std::memcpy(text, &head, sizeof head);
  std::memcpy(text + kNumberTextWidth - sizeof tail, &tail, sizeof tail);
}

// A word for a value that is not finite, right-aligned.
TNumberText Word(std::string_view word) noexcept {
  TNumberText text;
  text.fill(' ');
  std::memcpy(text.data() + kNumberTextWidth - word.size(), word.data(), word.size());
  return text;
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
