// The platform layer on Linux: errno mapped onto failure numbers, descriptors
// created as the program needs them, interrupted calls repeated.
#include "textio/Platform.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "tests/textio/ScriptedSystemCalls.h"

namespace modsin {
namespace {

using testing::gScript;
using testing::TScriptedSystemCalls;
using testing::TTempFolder;
using TSizes = std::vector<std::size_t>;

using testing::ReadFile;

TEST(Platform, MapsSystemErrorsOntoFailureNumbers) {
  EXPECT_EQ(2, FailureNumberFor(ENOENT));
  EXPECT_EQ(3, FailureNumberFor(ENOTDIR));
  EXPECT_EQ(3, FailureNumberFor(ENAMETOOLONG));
  EXPECT_EQ(4, FailureNumberFor(EMFILE));
  EXPECT_EQ(4, FailureNumberFor(ENFILE));
  EXPECT_EQ(5, FailureNumberFor(EACCES));
  EXPECT_EQ(5, FailureNumberFor(EPERM));
  EXPECT_EQ(5, FailureNumberFor(EROFS));
  EXPECT_EQ(5, FailureNumberFor(EISDIR));
  EXPECT_EQ(101, FailureNumberFor(ENOSPC));
  EXPECT_EQ(101, FailureNumberFor(EDQUOT));
  EXPECT_EQ(1117, FailureNumberFor(EIO));  // not 5, which is access denied
  EXPECT_EQ(EPIPE, FailureNumberFor(EPIPE));
  EXPECT_EQ(EBADF, FailureNumberFor(EBADF));
}

// Also on descriptor 0, free where standard input is closed and not parked.
TEST(Platform, CreatesForWritingWithoutInheritanceAndWithTheUmask) {
  TTempFolder folder;
  const int input = ::dup(0);
  ::close(0);
  const mode_t previous = ::umask(022);
  const TCreateResult created = CreateForWriting((folder / "a.dat").c_str());
  ::umask(previous);
  ASSERT_EQ(0, created.FFailure);
  EXPECT_EQ(0, created.FHandle);
  struct stat status;
  ASSERT_EQ(0, ::fstat(created.FHandle, &status));
  EXPECT_EQ(0644u, status.st_mode & 0777);
  EXPECT_EQ(FD_CLOEXEC, ::fcntl(created.FHandle, F_GETFD));
  EXPECT_EQ(0, CloseHandle(created.FHandle));
  ::dup2(input, 0);
  ::close(input);
}

TEST(Platform, TellsTheFileType) {
  TTempFolder folder;
  const int file = ::open((folder / "f").c_str(), O_WRONLY | O_CREAT, 0600);
  const int terminalLike = ::open("/dev/null", O_WRONLY);
  int pipeEnds[2];
  ASSERT_EQ(0, ::pipe(pipeEnds));
  EXPECT_EQ(TFileType::Other, FileType(file));
  EXPECT_EQ(TFileType::Character, FileType(terminalLike));
  EXPECT_EQ(TFileType::Other, FileType(pipeEnds[1]));
  for (int fd : {file, terminalLike, pipeEnds[0], pipeEnds[1]})
    ::close(fd);
  EXPECT_EQ(TFileType::Unknown, FileType(file));  // closed now
}

TEST(Platform, WriteAllRepeatsInterruptedCallsAndContinuesShortWrites) {
  TTempFolder folder;
  const TCreateResult created = CreateForWriting((folder / "w").c_str());
  const std::string bytes(128, 'w');
  TScriptedSystemCalls calls;
  gScript.FWriteErrors = {EINTR};
  gScript.FMostPerWrite = 50;
  EXPECT_EQ(0, WriteAll(created.FHandle, bytes.data(), bytes.size()));
  EXPECT_EQ((TSizes{128, 128, 78, 28}), gScript.FWriteSizes);
  CloseHandle(created.FHandle);
  EXPECT_EQ(bytes, ReadFile(folder / "w"));
}

TEST(Platform, WriteAllStopsAtAFailure) {
  TTempFolder folder;
  const TCreateResult created = CreateForWriting((folder / "w").c_str());
  TScriptedSystemCalls calls;
  gScript.FWriteErrors = {0, ENOSPC};
  gScript.FMostPerWrite = 50;
  EXPECT_EQ(101, WriteAll(created.FHandle, std::string(128, 'w').data(), 128));
  EXPECT_EQ((TSizes{128, 78}), gScript.FWriteSizes);
  CloseHandle(created.FHandle);
}

TEST(Platform, ReadSomeRepeatsInterruptedCallsAndTakesAClosedPipeAsTheEnd) {
  TScriptedSystemCalls calls;
  char buffer[8];
  gScript.FReadErrors = {EPIPE};
  EXPECT_EQ(0u, ReadSome(0, buffer, sizeof buffer).FCount);
  EXPECT_EQ(0, ReadSome(0, buffer, 0).FFailure);
  gScript.FReadErrors = {ENXIO};
  EXPECT_EQ(ENXIO, ReadSome(0, buffer, sizeof buffer).FFailure);

  int pipeEnds[2];
  ASSERT_EQ(0, ::pipe(pipeEnds));
  ASSERT_EQ(3, ::write(pipeEnds[1], "abc", 3));
  gScript = {};
  gScript.FReadErrors = {EINTR, EINTR};
  const TReadResult read = ReadSome(pipeEnds[0], buffer, sizeof buffer);
  EXPECT_EQ(3u, read.FCount);
  EXPECT_EQ(0, read.FFailure);
  EXPECT_EQ(3u, gScript.FReadSizes.size());
  ::close(pipeEnds[0]);
  ::close(pipeEnds[1]);
}

TEST(Platform, CloseIsNotRepeatedWhenInterrupted) {
  const int fd = ::open("/dev/null", O_RDONLY);
  TScriptedSystemCalls calls;
  gScript.FCloseErrors = {EINTR};
  EXPECT_EQ(0, CloseHandle(fd));
  EXPECT_EQ(1, gScript.FCloseCalls);
  EXPECT_EQ(EBADF, CloseHandle(fd));
}

TEST(Platform, StandardHandlesAreTheirDescriptorsWhenOpenAtStart) {
  EXPECT_EQ(0, StandardHandle(TStandardHandle::Input));
  EXPECT_EQ(1, StandardHandle(TStandardHandle::Output));
}

}  // namespace
}  // namespace modsin
