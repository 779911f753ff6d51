// The text of a node list in either of modsin-table's formats, handed to the
// output in large blocks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "calc/UTypes.h"
#include "table/CommandLine.h"
#include "table/OutputFile.h"

namespace modsin {

// Large enough that a system call is a small part of what a block costs.
inline constexpr std::size_t kTableBlockSize = std::size_t{256} * 1024;

// Writes the header and then count nodes from first along the next links (or
// as many as the list holds):
//   Table  the node table file, byte for byte as PrintToFile writes it;
//   Csv    "x,y", then "<x>,<y>" per node, each number the shortest text that
//          reads back to the same double (std::to_chars), lines ended by LF.
// The text goes out in blocks of kTableBlockSize bytes, and the rest at the
// end. Raises what out.Write raises.
void WriteTable(TOutputFile& out, const TNode* first, std::int32_t count, TTableFormat format);

}  // namespace modsin
