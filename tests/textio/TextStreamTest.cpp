#include "textio/TextStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/PlatformFacts.h"
#include "tests/textio/ScriptedSystemCalls.h"
#include "tests/textio/TextLines.h"
#include "textio/FailureNumber.h"
#include "textio/InOutError.h"

namespace modsin {
namespace {

using testing::gScript;
using testing::Lines;
using testing::ReadFile;
using testing::TScriptedSystemCalls;
using testing::TTempFolder;
using testing::WriteLines;
using TSizes = std::vector<std::size_t>;
using TMode = TTextStream::TMode;

// "EInOutError: <message>" for a failure of the platform's.
std::string Raised(const testing::TFailureFact& failure) {
  return std::string("EInOutError: ") + failure.FMessage;
}

// What the I/O check makes of the pending failure: "" when nothing is raised.
std::string CheckOutcome() {
  try {
    InOutCheck();
  } catch (const EInOutError& failure) {
    return std::string(failure.ClassName()) + ": " + failure.what();
  }
  return "";
}

struct TWritePattern {
  int FLines;
  std::size_t FWidth;
  TSizes FWrites;  // sizes of the write calls, the close's included
};

TEST(TextStream, FileGetsOneWritePerFullBufferAndOneAtTheClose) {
  const TWritePattern patterns[] = {
      {0, 0, {}},         {1, 0, {2}},
      {2, 62, {128}},  // exactly one buffer: nothing is left for the close
      {5, 27, {128, 17}}, {3, 100, {128, 128, 50}},
  };
  for (const TWritePattern& pattern : patterns) {
    SCOPED_TRACE(pattern.FLines);
    TTempFolder folder;
    TScriptedSystemCalls calls;
    {
      TTextStream stream(folder / "t.dat");
      stream.OpenForOutput();
      EXPECT_FALSE(stream.WritesOutAtLineEnd());
      WriteLines(stream, pattern.FLines, pattern.FWidth);
      stream.Close();
    }
    EXPECT_EQ(pattern.FWrites, gScript.FWriteSizes);
    EXPECT_EQ(Lines(pattern.FLines, pattern.FWidth), ReadFile(folder / "t.dat"));
    EXPECT_EQ(0, TakeFailureNumber());
  }
}

TEST(TextStream, NodeTableSizedOutputTakesCeilingOfSizeOver128Writes) {
  TTempFolder folder;
  TScriptedSystemCalls calls;
  TTextStream stream(folder / "t.dat");
  stream.OpenForOutput();
  stream.WriteString("x\ty");
  stream.WriteLineEnd();
  WriteLines(stream, 127, 47);  // 6228 bytes in all
  EXPECT_EQ(48u, gScript.FWriteSizes.size());
  stream.Close();
  EXPECT_EQ(TSizes(48, 128), TSizes(gScript.FWriteSizes.begin(), gScript.FWriteSizes.end() - 1));
  EXPECT_EQ(84u, gScript.FWriteSizes.back());
  EXPECT_EQ(6228u, ReadFile(folder / "t.dat").size());
}

TEST(TextStream, CharacterDeviceGetsEveryLineAtItsEnd) {
  TScriptedSystemCalls calls;
  TTextStream stream(testing::kCharacterDevice);
  stream.OpenForOutput();
  EXPECT_TRUE(stream.WritesOutAtLineEnd());
  stream.WriteString("iNodes: ");
  stream.WriteInteger(127);
  EXPECT_EQ(TSizes{}, gScript.FWriteSizes);
  stream.WriteLineEnd();
  WriteLines(stream, 1, 200);
  stream.Close();
  EXPECT_EQ((TSizes{13, 128, 74}), gScript.FWriteSizes);
}

TEST(TextStream, ExistingFileIsReplaced) {
  TTempFolder folder;
  std::ofstream(folder / "t.dat") << std::string(1000, 'o');
  TTextStream stream(folder / "t.dat");
  stream.OpenForOutput();
  stream.WriteString("new");
  stream.Close();
  EXPECT_EQ("new", ReadFile(folder / "t.dat"));
}

TEST(TextStream, FailedOpenLeavesTheStreamClosedAndTheFailurePending) {
  TTempFolder folder;
  std::filesystem::create_directory(folder / "folder");
  struct TCase {
    std::string FName;
    std::string FOutcome;
  };
  const TCase cases[] = {
      {folder / "missing/t.dat", Raised(testing::kMissingFolder)},
      {folder / "folder", "EInOutError: File access denied"},
      {folder / std::string(300, 'n'), "EInOutError: Invalid filename"},
      {std::string("t\0.dat", 6), "EInOutError: Invalid filename"},
  };
  for (const TCase& c : cases) {
    TTextStream stream(c.FName);
    stream.OpenForOutput();
    EXPECT_EQ(TMode::Closed, stream.Mode()) << c.FName;
    EXPECT_EQ(c.FOutcome, CheckOutcome()) << c.FName;
    stream.WriteString("dropped");
    EXPECT_EQ("EInOutError: I/O error 103", CheckOutcome());
  }
}

TEST(TextStream, HandleThatCannotBeExaminedIsClosedAndFailsTheOpen) {
  TTempFolder folder;
  TScriptedSystemCalls calls;
  gScript.FUnknownTypes = 1;
  TTextStream stream(folder / "t.dat");
  stream.OpenForOutput();
  EXPECT_EQ(TMode::Closed, stream.Mode());
  EXPECT_EQ(1, gScript.FCloseCalls);
  EXPECT_EQ("EInOutError: I/O error 105", CheckOutcome());
}

TEST(TextStream, FullDeviceFailsTheWriteOutAtTheLineEnd) {
  TTextStream stream(testing::kFullDevice);
  stream.OpenForOutput();
  stream.WriteString("x\ty");
  EXPECT_EQ("", CheckOutcome());
  stream.WriteLineEnd();
  EXPECT_EQ(Raised(testing::kDiskFull), CheckOutcome());
  EXPECT_EQ(0u, stream.BufferedBytes());
}

TEST(TextStream, FailedCloseKeepsTheHandle) {
  TTextStream stream(testing::kFullDevice);
  stream.OpenForOutput();
  stream.WriteString("unwritten");
  const THandle handle = stream.Handle();
  stream.Close();
  EXPECT_EQ(Raised(testing::kDiskFull), CheckOutcome());
  EXPECT_EQ(TMode::Output, stream.Mode());
  EXPECT_NE(TFileType::Unknown, FileType(handle));
}

// Standard output that cannot be bound fails every write, and every write
// tries again. A handle that cannot be examined is closed, a standard one
// too; a usable standard handle is never closed.
TEST(TextStream, StandardOutputIsBoundAtEachWriteUntilItWorks) {
  TTempFolder folder;
  TScriptedSystemCalls calls;
  gScript.FStandardOutput = kNoHandle;
  TTextStream out;
  out.WriteString("lost");
  EXPECT_EQ("EInOutError: I/O error 105", CheckOutcome());
  EXPECT_EQ(TMode::Closed, out.Mode());
  gScript.FStandardOutput = CreateForWriting((folder / "unknown").c_str()).FHandle;
  gScript.FUnknownTypes = 1;
  out.WriteString("lost too");
  EXPECT_EQ("EInOutError: I/O error 105", CheckOutcome());
  EXPECT_EQ(1, gScript.FCloseCalls);
  const THandle file = CreateForWriting((folder / "out").c_str()).FHandle;
  gScript.FStandardOutput = file;
  out.WriteString("kept");
  out.WriteLineEnd();
  out.Close();
  EXPECT_EQ("", CheckOutcome());
  EXPECT_EQ(1, gScript.FCloseCalls);
  EXPECT_EQ(0, CloseHandle(file));
  EXPECT_EQ("kept\r\n", ReadFile(folder / "out"));
}

TEST(TextStream, StandardInputThatCannotBeBoundEndsTheReadAtOnce) {
  TScriptedSystemCalls calls;
  gScript.FInput = "abc\n";
  gScript.FUnknownTypes = 1;
  TTextStream in;
  in.ReadLine();
  EXPECT_EQ("EInOutError: I/O error 104", CheckOutcome());
  EXPECT_EQ(TMode::Closed, in.Mode());
  EXPECT_EQ(TSizes{}, gScript.FReadSizes);
}

TEST(TextStream, FailedWriteOutEmptiesTheBufferAndDropsTheRestOfTheCall) {
  TTempFolder folder;
  TScriptedSystemCalls calls;
  TTextStream stream(folder / "t.dat");
  stream.OpenForOutput();
  stream.WriteString(std::string(100, 'a'));
  gScript.FWriteErrors = {testing::kDiskFullError};
  stream.WriteString(std::string(300, 'b'));  // fills at 28 b's; 272 dropped
  EXPECT_EQ(Raised(testing::kDiskFull), CheckOutcome());
  stream.WriteString("c");
  stream.WriteString("d");  // not tested for the failure first: still attempted
  stream.Close();
  EXPECT_EQ("", CheckOutcome());
  EXPECT_EQ("cd", ReadFile(folder / "t.dat"));
  EXPECT_EQ((TSizes{128, 2}), gScript.FWriteSizes);
}

// Bytes formed in the buffer itself leave the stream as WriteBytes would:
// the same writes, the same file and the same failure, wherever in the buffer
// they start, whether or not the write-out at its end fails.
TEST(TextStream, FilledBytesWriteAsWriteBytes) {
  constexpr std::size_t kSize = 47;  // a table line
  TTempFolder folder;                // each stream cuts t.dat to length zero
  const auto outcome = [&folder](std::size_t start, bool failing, bool filled) {
    TScriptedSystemCalls calls;
    {
      TTextStream stream(folder / "t.dat");
      stream.OpenForOutput();
      stream.WriteString(std::string(start, 'a'));
      if (failing) gScript.FWriteErrors = {testing::kDiskFullError};
      for (char c = 'b'; c < 'e'; ++c) {
        if (filled) {
          stream.WriteFilled<kSize>([c](char* bytes) { std::memset(bytes, c, kSize); });
        } else {
          stream.WriteString(std::string(kSize, c));
        }
      }
      stream.Close();
    }
    std::string seen = CheckOutcome() + "|" + ReadFile(folder / "t.dat") + "|";
    for (const std::size_t size : gScript.FWriteSizes)
      seen += std::to_string(size) + " ";
    return seen;
  };
  for (std::size_t start = 0; start < TTextStream::kBufferSize; ++start)
    for (const bool failing : {false, true})
      EXPECT_EQ(outcome(start, failing, false), outcome(start, failing, true))
          << start << (failing ? ", failing" : "");
}

TEST(TextStream, ShortWritesStillDeliverEveryByte) {
  TTempFolder folder;
  TScriptedSystemCalls calls;
  gScript.FMostPerWrite = 50;
  TTextStream stream(folder / "t.dat");
  stream.OpenForOutput();
  WriteLines(stream, 3, 100);
  stream.Close();
  EXPECT_EQ("", CheckOutcome());
  EXPECT_EQ(Lines(3, 100), ReadFile(folder / "t.dat"));
}

struct TReadCase {
  std::string FInput;
  std::size_t FReads;   // read calls
  std::size_t FUnread;  // bytes fetched but not read, an end mark included
  std::size_t FLeft;    // bytes never fetched
};

TEST(TextStream, ReadLineEndsAtTheFirstLineEnd) {
  const std::string a300(300, 'a');
  const TReadCase cases[] = {
      {"abc\ndef", 1, 3, 0},
      {"abc\r\ndef", 1, 3, 0},
      {"abc\rx\ndef", 1, 3, 0},  // a CR before another character ends nothing
      {"abc\r\r\nd", 1, 1, 0},
      {"abc\r", 2, 1, 0},
      {"abc", 2, 1, 0},
      {"", 1, 1, 0},
      {"\x1A"
       "abc\n",
       1, 5, 0},  // 0x1A ends the input and stays unread
      {"ab\x1A"
       "c\n",
       1, 3, 0},
      {"abc\r\x1A"
       "d\n",
       1, 3, 0},  // after a CR too
      {a300 + "\nrest", 3, 4, 0},
      {"x\n" + a300, 1, 126, 174},
  };
  for (const TReadCase& c : cases) {
    SCOPED_TRACE(c.FInput.size() > 20 ? c.FInput.substr(0, 20) + "..." : c.FInput);
    TScriptedSystemCalls calls;
    gScript.FInput = c.FInput;
    TTextStream stream;
    stream.ReadLine();
    EXPECT_EQ(TMode::Input, stream.Mode());
    EXPECT_EQ(TSizes(c.FReads, TTextStream::kBufferSize), gScript.FReadSizes);
    EXPECT_EQ(c.FUnread, stream.BufferedBytes());
    EXPECT_EQ(c.FLeft, c.FInput.size() - gScript.FInputServed);
    EXPECT_EQ("", CheckOutcome());
  }
}

TEST(TextStream, ReadLineAfterTheEndEndsAtOnce) {
  TScriptedSystemCalls calls;
  gScript.FInput = "one\n";
  TTextStream stream;
  stream.ReadLine();
  stream.ReadLine();
  stream.ReadLine();
  EXPECT_EQ(2u, gScript.FReadSizes.size());
}

TEST(TextStream, FailedReadIsTheEndOfInputWithItsFailureNumber) {
  TScriptedSystemCalls calls;
  gScript.FInput = "abc\n";
  gScript.FReadErrors = {testing::kReadError};
  TTextStream stream;
  stream.ReadLine();
  EXPECT_EQ("EInOutError: I/O error " + std::to_string(testing::kReadError), CheckOutcome());
  stream.ReadLine();
  EXPECT_EQ(1u, gScript.FReadSizes.size());
}

}  // namespace
}  // namespace modsin
