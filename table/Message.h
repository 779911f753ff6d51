// The one line that modsin-table writes to standard error when it does not
// write a table: "modsin-table: ", what went wrong, LF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/FixedText.h"

namespace modsin {

// Room for a message that quotes a long file name; the rest is cut.
inline constexpr std::size_t kMessageCapacity = 1024;
using TMessage = TFixedText<kMessageCapacity>;

// Appends text between single quotes, as a message shows a user's argument or
// file name. A control byte becomes \n, \t or \xHH, so that the message stays
// one line; the text is cut where what is shown of it would pass limit bytes,
// and marked with "...".
void AppendQuoted(TMessage& message, std::string_view text, std::size_t limit) noexcept;

void AppendDecimal(TMessage& message, std::int32_t value) noexcept;

// Writes "modsin-table: ", the message and LF to standard error, as one
// write where the system allows. A failure is ignored: nothing is left to
// report it to. Allocates nothing.
void WriteMessageLine(const TMessage& message) noexcept;

}  // namespace modsin
