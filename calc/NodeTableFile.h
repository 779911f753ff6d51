// The node table file's text: the header "x" TAB "y", then one line per node,
// x and y as number texts separated by a TAB, every line ended by CR LF (the
// text streams' kLineEnd). A table of n nodes is 5 + 49 n bytes.
#pragma once

#include <cstddef>
#include <string_view>

#include "calc/NumberText.h"

namespace modsin {

inline constexpr std::string_view kNodeTableHeader = "x\ty";

// A node line without its line end: x text, TAB, y text.
inline constexpr std::size_t kNodeLineWidth = 2 * kNumberTextWidth + 1;

// Writes the line of the node (x, y), without its line end, to
// line[0, kNodeLineWidth).
void FormatNodeLine(double x, double y, char* line) noexcept;

}  // namespace modsin
