// The failure that the I/O check raises: a failed file or console operation,
// with its failure number and the standard message for that number.
#pragma once

#include <cstdint>

#include "base/Exception.h"

namespace modsin {

// The message is "File not found", "Disk full" and so on for the numbers that
// have one, and "I/O error <n>" for every other number n.
class EInOutError : public Exception {
 public:
  explicit EInOutError(std::int32_t failureNumber) noexcept;

  std::int32_t FailureNumber() const noexcept { return FFailureNumber; }
  const char* ClassName() const noexcept override { return "EInOutError"; }

 private:
  std::int32_t FFailureNumber;
};

}  // namespace modsin
