// The number text's characters from its decimal form: the 15 digits by SSE2
// lane arithmetic, the exponent's from a table, the whole stored in three
// writes. Inline, for the product path and the Extended computation alike.
#pragma once

#include <emmintrin.h>

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "calc/DecimalDigits.h"
#include "calc/NumberText.h"

#ifndef __SSE2__
#error "the number text needs SSE2 (-msse2 on 32-bit x86)"
#endif

namespace modsin {

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
inline constexpr std::int32_t kTenTo4Reciprocal = 109'951'163;
inline constexpr int kTenTo4Shift = 40;
inline constexpr std::int16_t kHundredReciprocal = 5243;
inline constexpr int kHundredShift = 19 - 16;  // after the 16 of the high product
inline constexpr std::int16_t kTenReciprocal = 6554;

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

// The exponent's magnitude as 4 digits, "0000" ... "0339". A double's decimal
// exponent lies from -324 (the least subnormal, 4.94065645841247E-0324) to
// +308 (the largest double); the table reaches a margin beyond the larger
// magnitude, into exponents that no double has.
inline constexpr int kLargestExponentMagnitude = 324;
inline constexpr int kExponentMargin = 16;
inline constexpr int kExponentLimit = kLargestExponentMagnitude + kExponentMargin;
inline constexpr auto kExponentDigits = [] {
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
inline constexpr std::uint64_t kTenTo8 = 100'000'000;

inline void PutText(bool negative, TDecimal decimal, char* text) noexcept {
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

}  // namespace modsin
