// The standard streams are process-wide, so each case runs in a child process
// that rearranges descriptors 0 and 1 as it needs and reports through its exit
// code: 0 when every step held, else the number of the first step that failed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "tests/textio/ScriptedSystemCalls.h"
#include "textio/FailureNumber.h"
#include "textio/Platform.h"
#include "textio/TextStream.h"

namespace modsin {
namespace {

using testing::TTempFolder;
using TMode = TTextStream::TMode;

off_t SizeOf(int fd) {
  struct stat status;
  return ::fstat(fd, &status) == 0 ? status.st_size : -1;
}

int ClosedOutputNotedAtStart() {
  ::close(1);
  ::close(3);
  PrepareStandardHandles();
  if (::fcntl(1, F_GETFD) == -1) return 1;  // parked: no file can be given 1
  if (::fcntl(3, F_GETFD) != -1) return 7;  // left free: no standard handle
  if (StandardHandle(TStandardHandle::Output) != kNoHandle) return 2;
  StandardOutput().WriteString("lost");
  if (TakeFailureNumber() != kNotOpenForOutput) return 3;
  if (StandardOutput().Mode() != TMode::Closed) return 4;
  StandardOutput().WriteLineEnd();  // tries to bind again
  if (TakeFailureNumber() != kNotOpenForOutput) return 5;
  if (StandardHandle(TStandardHandle::Input) != 0) return 6;
  return 0;
}

int ClosedInputNotedAtStart() {
  ::close(0);
  PrepareStandardHandles();
  StandardInput().ReadLine();
  if (TakeFailureNumber() != kNotOpenForInput) return 1;
  if (StandardInput().Mode() != TMode::Closed) return 2;
  return 0;
}

int ClosedOutputNotParked() {
  ::close(1);
  StandardOutput().WriteString("lost");
  return TakeFailureNumber() == kNotOpenForOutput ? 0 : 1;
}

int RedirectedOutputReachesItsFileAtTheClose(const std::string& path) {
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(file, 1);
  ::close(file);
  const char* const transcript[] = {"iNodes: 127", "Error after PrintToFile --> 0, No error",
                                    "Error after SetValues --> 0, No error", "iNodes: 463",
                                    "Error after PrintToFile --> 0, No error"};
  for (const char* line : transcript) {
    StandardOutput().WriteString(line);
    StandardOutput().WriteLineEnd();
  }
  if (SizeOf(1) != 128) return 1;
  if (CloseStandardStreams() != 0) return 2;
  if (SizeOf(1) != 147) return 3;
  if (::fcntl(1, F_GETFD) == -1) return 4;  // a standard handle is never closed
  return 0;
}

int FailedFinalWriteOutIsReported() {
  const int full = ::open("/dev/full", O_WRONLY);
  ::dup2(full, 1);
  ::close(full);
  StandardOutput().WriteString("pending");  // no line end: stays in the buffer
  StoreFailureNumber(7);
  FlushStandardOutput();
  if (TakeFailureNumber() != 7) return 1;  // the flush's own failure is ignored
  if (StandardOutput().BufferedBytes() != 0) return 2;
  StandardOutput().WriteString("pending");
  if (CloseStandardStreams() != 101) return 3;
  return 0;
}

int WriteToAPipeWithoutReaderFails() {
  PrepareStandardHandles();
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return 1;
  ::dup2(pipeEnds[1], 1);
  ::close(pipeEnds[0]);
  StandardOutput().WriteString("to nobody");
  if (CloseStandardStreams() != EPIPE) return 2;
  return 0;
}

TEST(StandardStreams, OutputClosedAtStartFailsToBind) {
  EXPECT_EXIT(std::_Exit(ClosedOutputNotedAtStart()), ::testing::ExitedWithCode(0), "");
}

TEST(StandardStreams, InputClosedAtStartFailsToBind) {
  EXPECT_EXIT(std::_Exit(ClosedInputNotedAtStart()), ::testing::ExitedWithCode(0), "");
}

TEST(StandardStreams, ClosedOutputDescriptorFailsToBind) {
  EXPECT_EXIT(std::_Exit(ClosedOutputNotParked()), ::testing::ExitedWithCode(0), "");
}

TEST(StandardStreams, RedirectedOutputGets128BytesThenTheRestAtTheClose) {
  TTempFolder folder;
  EXPECT_EXIT(std::_Exit(RedirectedOutputReachesItsFileAtTheClose(folder / "out")),
              ::testing::ExitedWithCode(0), "");
}

TEST(StandardStreams, FailedFinalWriteOutIsReported) {
  EXPECT_EXIT(std::_Exit(FailedFinalWriteOutIsReported()), ::testing::ExitedWithCode(0), "");
}

TEST(StandardStreams, WriteToAPipeWithoutReaderFailsWithoutEndingTheProcess) {
  EXPECT_EXIT(std::_Exit(WriteToAPipeWithoutReaderFails()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace modsin
