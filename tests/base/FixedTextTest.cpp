#include "base/FixedText.h"

#include <gtest/gtest.h>

namespace modsin {
namespace {

// Whole-width and leading-zero hexadecimal show in every report test; these
// are the cases the reports never reach.
TEST(FixedText, KeepsTheLowDigitsAndCutsWhatDoesNotFit) {
  TFixedText<12> text;
  text.AppendHex(0x1234567'89ABCDEF, 8);
  EXPECT_EQ("89ABCDEF", text.View());
  text.Append("Exception");
  EXPECT_EQ("89ABCDEFExce", text.View());
  text.AppendHex(0xF);
  EXPECT_EQ("89ABCDEFExce", text.View());
}

TEST(FixedText, HexWithoutLeadingZerosSpansZeroToTheFullWidth) {
  TFixedText<40> text;
  text.AppendHex(0);
  text.Append(" ");
  text.AppendHex(0x40002);
  text.Append(" ");
  text.AppendHex(0xFFFFFFFF'FFFFFFFF);
  EXPECT_EQ("0 40002 FFFFFFFFFFFFFFFF", text.View());
}

}  // namespace
}  // namespace modsin
