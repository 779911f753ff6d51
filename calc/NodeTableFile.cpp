#include "calc/NodeTableFile.h"

#include "calc/UnitCalcModSin.h"
#include "textio/FailureNumber.h"
#include "textio/TextStream.h"

namespace modsin {

void FormatNodeLine(double x, double y, char* line) noexcept {
  WriteNumberText(x, line);
  line[kNumberTextWidth] = '\t';
  WriteNumberText(y, line + kNumberTextWidth + 1);
}

void TCalcModSinXoverY::PrintToFile(const std::string& FileName) {
  if (FErrorCode != kNoError) return;  // a failed job touches no file
  TTextStream file(FileName);
  file.OpenForOutput();
  // A table that cannot be created is a failure like one that cannot be
  // written: it must not pass for a table written.
  InOutCheck();

  file.WriteString(kNodeTableHeader);
  file.WriteLineEnd();
  InOutCheck();
  const TNode* node = FFirstNode;
  std::int32_t remaining = FNodeCount;
  while (remaining > 0 && node != nullptr) {
    file.WriteFilled<kNodeLineWidth>(
        [node](char* line) { FormatNodeLine(node->x, node->y, line); });
    file.WriteLineEnd();
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
