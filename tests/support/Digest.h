// A digest of results, to hold a platform's results to the bits that another
// platform computed: the same constant must come out on every build.
#pragma once

#include <cstddef>
#include <cstdint>

#include "numeric/Extended.h"

namespace modsin::testing {

// FNV-1a over the bytes of each result: 64-bit offset basis and prime.
class TDigest {
 public:
  void Add(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i)
      FValue = (FValue ^ bytes[i]) * kPrime;
  }
  // The 10 bytes of the 80-bit format; the rest of a long double is padding.
  void Add(Extended x) { Add(&x, kExtendedBytes); }
  void Add(double x) { Add(&x, sizeof x); }
  void Add(std::int32_t n) { Add(&n, sizeof n); }
  std::uint64_t Value() const { return FValue; }

 private:
  static constexpr std::uint64_t kPrime = 0x100000001B3;
  static constexpr std::size_t kExtendedBytes = 10;
  std::uint64_t FValue = 0xCBF29CE484222325;
};

}  // namespace modsin::testing
