// A text builder over a fixed buffer, for code that must not allocate: the
// failure report runs after memory is exhausted and inside signal handlers,
// and modsin-table's messages may report exhausted memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace modsin {

// Appends past the capacity are cut silently; the text stays usable.
template <std::size_t kCapacity>
class TFixedText {
 public:
  void Append(std::string_view text) noexcept {
    for (const char c : text) {
      if (FLength == kCapacity) return;
      FText[FLength++] = c;
    }
  }

  // Exactly `digits` upper-case hexadecimal digits of the low bits of value,
  // with leading zeros.
  void AppendHex(std::uint64_t value, int digits) noexcept {
    for (int shift = (digits - 1) * kBitsPerDigit; shift >= 0; shift -= kBitsPerDigit) {
      Append(std::string_view(&kDigits[(value >> shift) & kDigitMask], 1));
    }
  }

  // Upper-case hexadecimal without leading zeros ("0" for zero).
  void AppendHex(std::uint64_t value) noexcept {
    int digits = 1;
    while (digits < kMaxDigits && (value >> (digits * kBitsPerDigit)) != 0)
      ++digits;
    AppendHex(value, digits);
  }

  // A code or data address at the full pointer width: 16 digits on x86-64.
  void AppendAddress(std::uintptr_t address) noexcept { AppendHex(address, kAddressDigits); }

  std::string_view View() const noexcept { return {FText, FLength}; }
  bool Empty() const noexcept { return FLength == 0; }

  static constexpr int kAddressDigits = 2 * sizeof(std::uintptr_t);

 private:
  static constexpr int kBitsPerDigit = 4;
  static constexpr std::uint64_t kDigitMask = 0xF;
  static constexpr int kMaxDigits = 64 / kBitsPerDigit;
  static constexpr char kDigits[] = "0123456789ABCDEF";

  char FText[kCapacity];
  std::size_t FLength = 0;
};

}  // namespace modsin
