#include "table/Message.h"

#include <charconv>
#include <iterator>

#include "textio/DecimalWidth.h"
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
  message.Append("'");
  // The limit counts the bytes shown: a control byte takes four as \xHH, and
  // counting the argument's own bytes would let a quote four times the limit
  // overflow the message it was sized for.
  std::size_t shown = 0;
  bool cut = false;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    TFixedText<4> escaped;
    if (c == '\n') {
      escaped.Append("\\n");
    } else if (c == '\t') {
      escaped.Append("\\t");
    } else if (byte < kFirstPrintable || byte == kDelete) {
      escaped.Append("\\x");
      escaped.AppendHex(byte, 2);
    } else {
      escaped.Append(std::string_view(&c, 1));
    }
    shown += escaped.View().size();
    cut = shown > limit;
    if (cut) break;
    message.Append(escaped.View());
  }
  if (cut) message.Append(kCutMark);
  message.Append("'");
}

void AppendDecimal(TMessage& message, std::int32_t value) noexcept {
  char digits[kMaxDecimalWidth];
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
