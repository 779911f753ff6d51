#include "textio/InOutError.h"

#include <charconv>
#include <string_view>

#include "textio/DecimalWidth.h"
#include "textio/FailureNumber.h"

namespace modsin {

namespace {

struct TFailureMessage {
  std::int32_t FFailureNumber;
  std::string_view FText;
};

constexpr TFailureMessage kFailureMessages[] = {
    {kFileNotFound, "File not found"},
    {kInvalidFilename, "Invalid filename"},
    {kTooManyOpenFiles, "Too many open files"},
    {kFileAccessDenied, "File access denied"},
    {kReadBeyondEndOfFile, "Read beyond end of file"},
    {kDiskFull, "Disk full"},
    {kInvalidNumericInput, "Invalid numeric input"},
};

constexpr std::string_view kGenericPrefix = "I/O error ";

// Room for the generic message, built without touching the heap: a failure may
// have to be raised when memory is exhausted.
struct TMessageText {
  char FText[kGenericPrefix.size() + kMaxDecimalWidth];
};

// The message for failureNumber; a generic one is built in text, which must
// outlive the result.
std::string_view MessageFor(std::int32_t failureNumber, TMessageText&& text) noexcept {
  for (const TFailureMessage& entry : kFailureMessages) {
    if (entry.FFailureNumber == failureNumber) return entry.FText;
  }
  char* const digits = text.FText + kGenericPrefix.copy(text.FText, kGenericPrefix.size());
  const std::to_chars_result end =
      std::to_chars(digits, text.FText + sizeof text.FText, failureNumber);
  return {text.FText, static_cast<std::size_t>(end.ptr - text.FText)};
}

}  // namespace

// The temporary text lives until the base class has copied the message.
EInOutError::EInOutError(std::int32_t failureNumber) noexcept
    : Exception(MessageFor(failureNumber, TMessageText{})), FFailureNumber(failureNumber) {}

}  // namespace modsin
