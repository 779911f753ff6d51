// Test support: decides whether a number text keeps its layout and reads as
// the double correctly rounded to 15 digits, and finds doubles where its double
// rounding may decide, for the property tests, the number text fuzzer and the
// comparison in bench/ alike. Free of GoogleTest so that all can use it.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "calc/NumberText.h"

namespace modsin::testing {

inline std::string NumberTextString(double v) {
  const TNumberText text = NumberText(v);
  return {text.begin(), text.end()};
}

// A text and its reading: 15 significant digits and a decimal exponent.
struct TDecimal {
  std::uint64_t FDigits;
  int FExponent;
  bool operator==(const TDecimal&) const = default;
};

inline std::uint64_t ReadDigits(const char* text, int count) {
  std::uint64_t digits = 0;
  for (int i = 0; i < count; ++i)
    digits = digits * 10 + static_cast<std::uint64_t>(text[i] - '0');
  return digits;
}

// Positions in the text: sign, first digit, '.', 14 digits from 3, 'E',
// exponent sign, 4 exponent digits from 19.
constexpr std::size_t kPointAt = 2;
constexpr std::size_t kFractionAt = 3;
constexpr int kFractionDigits = 14;
constexpr std::size_t kExponentMarkAt = 17;
constexpr std::size_t kExponentSignAt = 18;
constexpr std::size_t kExponentAt = 19;
constexpr int kExponentDigits = 4;

// "" when the text has the layout for v; otherwise what is wrong.
inline std::string LayoutFault(const std::string& text, double v) {
  const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  bool good = text.size() == kNumberTextWidth && text[0] == (std::signbit(v) ? '-' : ' ') &&
              isDigit(text[1]) && text[kPointAt] == '.' && text[kExponentMarkAt] == 'E' &&
              (text[kExponentSignAt] == '+' || text[kExponentSignAt] == '-');
  for (std::size_t i = 0; good && i < kFractionDigits; ++i)
    good = isDigit(text[kFractionAt + i]);
  for (std::size_t i = 0; good && i < kExponentDigits; ++i)
    good = isDigit(text[kExponentAt + i]);
  return good ? std::string() : "bad layout \"" + text + "\"";
}

// 10^14: the weight of the first of 15 significant digits.
constexpr std::uint64_t kLeadingWeight = 100'000'000'000'000;

inline TDecimal ReadOwn(const std::string& text) {
  const std::uint64_t digits =
      ReadDigits(&text[1], 1) * kLeadingWeight + ReadDigits(&text[kFractionAt], kFractionDigits);
  const int magnitude = static_cast<int>(ReadDigits(&text[kExponentAt], kExponentDigits));
  return {digits, text[kExponentSignAt] == '-' ? -magnitude : magnitude};
}

// Reads glibc's "d.ddd...E+xx" with 1 + fractionDigits significant digits.
inline TDecimal ReadPrintf(const char* text, int fractionDigits) {
  const std::uint64_t digits =
      ReadDigits(text, 1) * kLeadingWeight + ReadDigits(text + kPointAt, kFractionDigits);
  return {digits, std::atoi(text + kPointAt + fractionDigits + 1)};
}

// "" when the text of the finite v keeps its layout and reads as v correctly
// rounded to 15 digits (glibc's printf is exact), except that within a
// thousandth of a unit in the 15th digit of a halfway point either neighbour
// may come out: there the conversion rounds twice. Otherwise what is wrong.
inline std::string RoundingFault(double v) {
  const std::string text = NumberTextString(v);
  if (std::string layout = LayoutFault(text, v); !layout.empty()) return layout;
  const TDecimal own = ReadOwn(text);

  char shortText[40];
  std::snprintf(shortText, sizeof shortText, "%.14E", std::fabs(v));
  const TDecimal rounded = ReadPrintf(shortText, kFractionDigits);
  if (own == rounded) return {};

  // 30 digits beyond the first: the 16th to 21st decide how near halfway.
  constexpr int kLongFraction = 30;
  constexpr std::size_t kTailAt = kPointAt + kFractionDigits;  // the 16th digit
  constexpr int kTailDigits = 6;
  constexpr std::uint64_t kHalfway = 500'000;  // digits 16 ... 21
  constexpr std::uint64_t kNear = 1'000;       // a thousandth of a unit in the 15th
  char longText[64];
  std::snprintf(longText, sizeof longText, "%.30E", std::fabs(v));
  const TDecimal below = ReadPrintf(longText, kLongFraction);
  const std::uint64_t tail = ReadDigits(longText + kTailAt, kTailDigits);
  const std::uint64_t distance = tail > kHalfway ? tail - kHalfway : kHalfway - tail;
  TDecimal above{below.FDigits + 1, below.FExponent};
  if (above.FDigits == 10 * kLeadingWeight) above = {kLeadingWeight, below.FExponent + 1};
  if (distance <= kNear && (own == below || own == above)) return {};
  return "\"" + text + "\" for " + longText + " (" + shortText + " correctly rounded)";
}

// The double nearest to a random halfway point between two texts: 15 random
// digits and a 5, times a power of ten from 10^-323 to 10^308, where the
// double rounding of the text may decide. At the ends of that range it may be
// zero or an infinity.
inline double NearestToHalfway(std::mt19937_64& random) {
  std::uniform_int_distribution<std::uint64_t> digits(kLeadingWeight, 10 * kLeadingWeight - 1);
  constexpr int kLowest = -323;
  constexpr int kHighest = 308;
  std::uniform_int_distribution<int> exponent(kLowest, kHighest);
  const std::string point = std::to_string(digits(random)) + "5e" +
                            std::to_string(exponent(random) - (kFractionDigits + 1));
  return std::strtod(point.c_str(), nullptr);
}

}  // namespace modsin::testing
