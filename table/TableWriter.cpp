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

char* AppendTableLine(char* next, double x, double y) {
  FormatNodeLine(x, y, next);
  return AppendText(next + kNodeLineWidth, kLineEnd);
}

char* AppendCsvLine(char* next, double x, double y) {
  next = std::to_chars(next, next + kShortestDoubleWidth, x).ptr;
  *next++ = ',';
  next = std::to_chars(next, next + kShortestDoubleWidth, y).ptr;
  *next++ = '\n';
  return next;
}

template <char* (*AppendLine)(char*, double, double)>
void WriteLines(TOutputFile& out, std::string_view header, const TTable& table) {
  const std::unique_ptr<char[]> block = std::make_unique_for_overwrite<char[]>(kTableBlockSize);
  char* const begin = block.get();
  // A line starting at or before this point still fits.
  char* const lastLineStart = begin + kTableBlockSize - kLongestLine;
  char* next = AppendText(begin, header);
  const std::size_t count = table.FX.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (next > lastLineStart) {
      out.Write({begin, static_cast<std::size_t>(next - begin)});
      next = begin;
    }
    next = AppendLine(next, table.FX[i], table.FY[i]);
  }
  out.Write({begin, static_cast<std::size_t>(next - begin)});
}

}  // namespace

void WriteTable(TOutputFile& out, const TTable& table, TTableFormat format) {
  switch (format) {
    case TTableFormat::Table: {
      char header[kNodeTableHeader.size() + kLineEnd.size()];
      AppendText(AppendText(header, kNodeTableHeader), kLineEnd);
      WriteLines<AppendTableLine>(out, {header, sizeof header}, table);
      break;
    }
    case TTableFormat::Csv:
      WriteLines<AppendCsvLine>(out, kCsvHeader, table);
      break;
  }
}

}  // namespace modsin
