// The failure number that text operations leave behind instead of raising,
// and the I/O check that turns a pending one into a raised EInOutError.
#pragma once

#include <cstdint>

namespace modsin {

// Failure numbers of the streams' own, and those the platform layer maps
// system errors onto. Any other number is a system error code as it stands.
inline constexpr std::int32_t kFileNotFound = 2;
inline constexpr std::int32_t kInvalidFilename = 3;
inline constexpr std::int32_t kTooManyOpenFiles = 4;
inline constexpr std::int32_t kFileAccessDenied = 5;
inline constexpr std::int32_t kReadBeyondEndOfFile = 100;
inline constexpr std::int32_t kDiskFull = 101;
// A named stream was written to while it was not open.
inline constexpr std::int32_t kFileNotOpen = 103;
// Standard input could not be bound, or a stream not open for input was read.
inline constexpr std::int32_t kNotOpenForInput = 104;
// Standard output could not be bound, or a stream not open for output was
// written to.
inline constexpr std::int32_t kNotOpenForOutput = 105;
inline constexpr std::int32_t kInvalidNumericInput = 106;

// The calling thread's failure number: 0 while none is pending. A failed text
// operation stores its number here, replacing whatever was pending; text
// operations never look at it before they run.
void StoreFailureNumber(std::int32_t failureNumber) noexcept;

// Returns the pending failure number and resets it to 0.
std::int32_t TakeFailureNumber() noexcept;

// Takes the failure number and, if it is not 0, raises EInOutError with it.
// The failure's code location is the point just after the call, in the
// operation that ran the check; that is why the check is never inlined.
[[gnu::noinline]] void InOutCheck();

}  // namespace modsin
