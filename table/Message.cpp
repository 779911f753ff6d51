#include "table/Message.h"

#include <charconv>
#include <iterator>
#include <limits>

#include "textio/Platform.h"

namespace modsin {
namespace {

constexpr std::string_view kProgramPrefix = "modsin-table: ";
constexpr std::string_view kCutMark = "...";
// Bytes below a space, and DEL.
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kDelete = 0x7F;

}  // namespace

void AppendQuoted(TMessage& message, std::string_view text, std::size_t limit) noexcept {
  const bool cut = text.size() > limit;
  if (cut) text = text.substr(0, limit);
  message.Append("'");
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\n') {
      message.Append("\\n");
    } else if (c == '\t') {
      message.Append("\\t");
    } else if (byte < kFirstPrintable || byte == kDelete) {
      message.Append("\\x");
      message.AppendHex(byte, 2);
    } else {
      message.Append(std::string_view(&c, 1));
    }
  }
  if (cut) message.Append(kCutMark);
  message.Append("'");
}

void AppendDecimal(TMessage& message, std::int32_t value) noexcept {
  char digits[std::numeric_limits<std::int32_t>::digits10 + 2];  // a sign, and one more digit
  const std::to_chars_result written = std::to_chars(digits, std::end(digits), value);
  message.Append({digits, static_cast<std::size_t>(written.ptr - digits)});
}

void WriteMessageLine(const TMessage& message) noexcept {
  TFixedText<kProgramPrefix.size() + kMessageCapacity + 1> line;
  line.Append(kProgramPrefix);
  line.Append(message.View());
  line.Append("\n");
  const THandle error = StandardHandle(TStandardHandle::Error);
  if (error != kNoHandle)
    static_cast<void>(WriteAll(error, line.View().data(), line.View().size()));
}

}  // namespace modsin
