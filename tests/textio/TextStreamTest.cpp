#include "textio/TextStream.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/textio/ScriptedSystemCalls.h"
#include "textio/FailureNumber.h"
#include "textio/InOutError.h"

namespace modsin {
namespace {

using testing::gScript;
using testing::TScriptedSystemCalls;
using testing::TTempFolder;
using TSizes = std::vector<std::size_t>;
using TMode = TTextStream::TMode;

std::string Contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
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

// count lines of width characters each (CR LF not counted).
std::string Lines(int count, std::size_t width) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += std::string(width, static_cast<char>('a' + i % 26)) + "\r\n";
  return text;
}

void WriteLines(TTextStream& stream, int count, std::size_t width) {
  for (int i = 0; i < count; ++i) {
    stream.WriteString(std::string(width, static_cast<char>('a' + i % 26)));
    stream.WriteLineEnd();
  }
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
    EXPECT_EQ(Lines(pattern.FLines, pattern.FWidth), Contents(folder / "t.dat"));
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
  EXPECT_EQ(6228u, Contents(folder / "t.dat").size());
}

// Bytes written into a FIFO that the reader has not taken yet.
int Pending(int reader) {
  int count = -1;
  ::ioctl(reader, FIONREAD, &count);
  return count;
}

TEST(TextStream, PipeSeesNothingUntilTheBufferFillsAndTheRestAtTheClose) {
  TTempFolder folder;
  ASSERT_EQ(0, ::mkfifo((folder / "fifo").c_str(), 0600));
  const int reader = ::open((folder / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
  TTextStream stream(folder / "fifo");
  stream.OpenForOutput();
  ASSERT_EQ(TMode::Output, stream.Mode());
  EXPECT_FALSE(stream.WritesOutAtLineEnd());
  WriteLines(stream, 4, 27);  // 116 bytes
  EXPECT_EQ(0, Pending(reader));
  WriteLines(stream, 1, 27);  // 145 bytes
  EXPECT_EQ(128, Pending(reader));
  stream.WriteInteger(-2147483647 - 1);
  stream.WriteChar('|');
  stream.WriteInteger(0);
  stream.Close();
  const std::string expected = Lines(4, 27) + Lines(1, 27) + "-2147483648|0";
  EXPECT_EQ(static_cast<int>(expected.size()), Pending(reader));
  std::string received(expected.size(), '\0');
  EXPECT_EQ(static_cast<ssize_t>(expected.size()),
            ::read(reader, received.data(), received.size()));
  EXPECT_EQ(expected, received);
  ::close(reader);
}

TEST(TextStream, CharacterDeviceGetsEveryLineAtItsEnd) {
  TScriptedSystemCalls calls;
  TTextStream stream("/dev/null");
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
  EXPECT_EQ("new", Contents(folder / "t.dat"));
}

TEST(TextStream, FailedOpenLeavesTheStreamClosedAndTheFailurePending) {
  TTempFolder folder;
  ::mkdir((folder / "folder").c_str(), 0700);
  struct TCase {
    std::string FName;
    const char* FOutcome;
  };
  const TCase cases[] = {
      {folder / "missing/t.dat", "EInOutError: File not found"},
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
  gScript.FStatusErrors = {EBADF};
  TTextStream stream(folder / "t.dat");
  stream.OpenForOutput();
  EXPECT_EQ(TMode::Closed, stream.Mode());
  EXPECT_EQ(1, gScript.FCloseCalls);
  EXPECT_EQ("EInOutError: I/O error 105", CheckOutcome());
}

TEST(TextStream, FullDeviceFailsTheWriteOutAtTheLineEnd) {
  TTempFolder folder;
  std::filesystem::create_symlink("/dev/full", folder / "t.dat");
  TTextStream stream(folder / "t.dat");
  stream.OpenForOutput();
  stream.WriteString("x\ty");
  EXPECT_EQ("", CheckOutcome());
  stream.WriteLineEnd();
  EXPECT_EQ("EInOutError: Disk full", CheckOutcome());
  EXPECT_EQ(0u, stream.BufferedBytes());
}

TEST(TextStream, FailedCloseKeepsTheHandle) {
  TTempFolder folder;
  std::filesystem::create_symlink("/dev/full", folder / "t.dat");
  TTextStream stream(folder / "t.dat");
  stream.OpenForOutput();
  stream.WriteString("unwritten");
  const THandle handle = stream.Handle();
  stream.Close();
  EXPECT_EQ("EInOutError: Disk full", CheckOutcome());
  EXPECT_EQ(TMode::Output, stream.Mode());
  EXPECT_NE(-1, ::fcntl(handle, F_GETFD));
}

TEST(TextStream, FailedWriteOutEmptiesTheBufferAndDropsTheRestOfTheCall) {
  TTempFolder folder;
  TScriptedSystemCalls calls;
  TTextStream stream(folder / "t.dat");
  stream.OpenForOutput();
  stream.WriteString(std::string(100, 'a'));
  gScript.FWriteErrors = {ENOSPC};
  stream.WriteString(std::string(300, 'b'));  // fills at 28 b's; 272 dropped
  EXPECT_EQ("EInOutError: Disk full", CheckOutcome());
  stream.WriteString("c");
  stream.WriteString("d");  // not tested for the failure first: still attempted
  stream.Close();
  EXPECT_EQ("", CheckOutcome());
  EXPECT_EQ("cd", Contents(folder / "t.dat"));
  EXPECT_EQ((TSizes{128, 2}), gScript.FWriteSizes);
}

TEST(TextStream, InterruptedAndShortWritesStillDeliverEveryByte) {
  TTempFolder folder;
  TScriptedSystemCalls calls;
  gScript.FWriteErrors = {EINTR};
  gScript.FMostPerWrite = 50;
  TTextStream stream(folder / "t.dat");
  stream.OpenForOutput();
  WriteLines(stream, 3, 100);
  stream.Close();
  EXPECT_EQ("", CheckOutcome());
  EXPECT_EQ(Lines(3, 100), Contents(folder / "t.dat"));
}

// Puts the input onto descriptor 0 through a pipe, for the lifetime.
class TStandardInputFrom {
 public:
  explicit TStandardInputFrom(const std::string& input) : FSaved(::dup(0)) {
    int pipeEnds[2];
    EXPECT_EQ(0, ::pipe(pipeEnds));
    EXPECT_EQ(static_cast<ssize_t>(input.size()), ::write(pipeEnds[1], input.data(), input.size()));
    ::close(pipeEnds[1]);
    ::dup2(pipeEnds[0], 0);
    ::close(pipeEnds[0]);
  }
  ~TStandardInputFrom() {
    ::dup2(FSaved, 0);
    ::close(FSaved);
  }
  // Bytes still in the pipe.
  std::size_t Left() const {
    char buffer[4096];
    std::size_t count = 0;
    for (ssize_t n; (n = ::read(0, buffer, sizeof buffer)) > 0;)
      count += static_cast<std::size_t>(n);
    return count;
  }

 private:
  int FSaved;
};

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
      {a300 + "\nrest", 3, 4, 0},
      {"x\n" + a300, 1, 126, 174},
  };
  for (const TReadCase& c : cases) {
    SCOPED_TRACE(c.FInput.size() > 20 ? c.FInput.substr(0, 20) + "..." : c.FInput);
    TStandardInputFrom input(c.FInput);
    TScriptedSystemCalls calls;
    TTextStream stream;
    stream.ReadLine();
    EXPECT_EQ(TMode::Input, stream.Mode());
    EXPECT_EQ(TSizes(c.FReads, TTextStream::kBufferSize), gScript.FReadSizes);
    EXPECT_EQ(c.FUnread, stream.BufferedBytes());
    EXPECT_EQ(c.FLeft, input.Left());
    EXPECT_EQ("", CheckOutcome());
  }
}

TEST(TextStream, ReadLineAfterTheEndEndsAtOnce) {
  TStandardInputFrom input("one\n");
  TScriptedSystemCalls calls;
  TTextStream stream;
  stream.ReadLine();
  stream.ReadLine();
  stream.ReadLine();
  EXPECT_EQ(2u, gScript.FReadSizes.size());
}

TEST(TextStream, FailedReadIsTheEndOfInputWithItsFailureNumber) {
  TStandardInputFrom input("abc\n");
  TScriptedSystemCalls calls;
  gScript.FReadErrors = {ENXIO};
  TTextStream stream;
  stream.ReadLine();
  EXPECT_EQ("EInOutError: I/O error 6", CheckOutcome());
  stream.ReadLine();
  EXPECT_EQ(1u, gScript.FReadSizes.size());
}

}  // namespace
}  // namespace modsin
