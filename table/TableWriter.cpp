#include "table/TableWriter.h"

#include <charconv>
#include <cstring>
#include <memory>
#include <string_view>

#include "calc/NodeTableFile.h"
#include "textio/TextStream.h"

namespace modsin {
namespace {

constexpr std::string_view kCsvHeader = "x,y\n";

// The longest shortest text of a double, "-2.2250738585072014e-308": a sign,
// 17 digits, the point, 'e', the exponent's sign and 3 digits.
constexpr std::size_t kShortestDoubleWidth = 24;
// A line of either format fits: a csv line is at most two such numbers, a
// comma and LF (50 bytes); a table line is 49.
constexpr std::size_t kLongestLine = 2 * kShortestDoubleWidth + 2;
static_assert(kNodeLineWidth + kLineEnd.size() <= kLongestLine);

char* AppendText(char* next, std::string_view text) {
  std::memcpy(next, text.data(), text.size());
  return next + text.size();
}

char* AppendTableLine(char* next, const TNode& node) {
  FormatNodeLine(node.x, node.y, next);
  return AppendText(next + kNodeLineWidth, kLineEnd);
}

char* AppendCsvLine(char* next, const TNode& node) {
  next = std::to_chars(next, next + kShortestDoubleWidth, node.x).ptr;
  *next++ = ',';
  next = std::to_chars(next, next + kShortestDoubleWidth, node.y).ptr;
  *next++ = '\n';
  return next;
}

template <char* (*AppendLine)(char*, const TNode&)>
void WriteLines(TOutputFile& out, std::string_view header, const TNode* node, std::int32_t count) {
  const std::unique_ptr<char[]> block = std::make_unique_for_overwrite<char[]>(kTableBlockSize);
  char* const begin = block.get();
  // A line starting at or before this point still fits.
  char* const lastLineStart = begin + kTableBlockSize - kLongestLine;
  char* next = AppendText(begin, header);
  for (; count > 0 && node != nullptr; --count, node = node->next) {
    if (next > lastLineStart) {
      out.Write({begin, static_cast<std::size_t>(next - begin)});
      next = begin;
    }
    next = AppendLine(next, *node);
  }
  out.Write({begin, static_cast<std::size_t>(next - begin)});
}

}  // namespace

void WriteTable(TOutputFile& out, const TNode* first, std::int32_t count, TTableFormat format) {
  switch (format) {
    case TTableFormat::Table: {
      char header[kNodeTableHeader.size() + kLineEnd.size()];
      AppendText(AppendText(header, kNodeTableHeader), kLineEnd);
      WriteLines<AppendTableLine>(out, {header, sizeof header}, first, count);
      break;
    }
    case TTableFormat::Csv:
      WriteLines<AppendCsvLine>(out, kCsvHeader, first, count);
      break;
  }
}

}  // namespace modsin
