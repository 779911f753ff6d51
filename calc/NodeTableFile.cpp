// The node table file: the header "x" TAB "y", then one line per node, x and
// y as number texts separated by a TAB, every line ended by CR LF. A table of
// n nodes is 5 + 49 n bytes.
#include <cstring>

#include "calc/NumberText.h"
#include "calc/UnitCalcModSin.h"
#include "textio/FailureNumber.h"
#include "textio/TextStream.h"

namespace modsin {
namespace {

constexpr std::string_view kHeader = "x\ty";

// x text, TAB, y text; the stream adds the line end.
constexpr std::size_t kNodeLineWidth = 2 * kNumberTextWidth + 1;

void WriteNodeLine(TTextStream& file, const TNode& node) {
  char line[kNodeLineWidth];
  const TNumberText x = NumberText(node.x);
  const TNumberText y = NumberText(node.y);
  std::memcpy(line, x.data(), kNumberTextWidth);
  line[kNumberTextWidth] = '\t';
  std::memcpy(line + kNumberTextWidth + 1, y.data(), kNumberTextWidth);
  file.WriteBytes(line, kNodeLineWidth);
  file.WriteLineEnd();
}

}  // namespace

void TCalcModSinXoverY::PrintToFile(const std::string& FileName) {
  if (FErrorCode != kNoError) return;  // a failed job touches no file
  TTextStream file(FileName);
  file.OpenForOutput();
  // A table that cannot be created is a failure like one that cannot be
  // written: it must not pass for a table written.
  InOutCheck();

  file.WriteString(kHeader);
  file.WriteLineEnd();
  InOutCheck();
  const TNode* node = FFirstNode;
  std::int32_t remaining = FNodeCount;
  while (remaining > 0 && node != nullptr) {
    WriteNodeLine(file, *node);
    InOutCheck();
    node = node->next;
    --remaining;
  }
  // The list and the count disagree; the lines written stay in the file.
  if (node != nullptr || remaining != 0) SetError(kWrongNodeCount);
  file.Close();
  InOutCheck();
}

}  // namespace modsin
