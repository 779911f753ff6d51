// The text stream into a FIFO that the test reads from the other end, which
// only Linux offers here.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tests/support/TempFolder.h"
#include "tests/textio/TextLines.h"
#include "textio/TextStream.h"

namespace modsin {
namespace {

using testing::Lines;
using testing::TTempFolder;
using testing::WriteLines;
using TMode = TTextStream::TMode;

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

}  // namespace
}  // namespace modsin
