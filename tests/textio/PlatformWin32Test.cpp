// The platform layer on Windows: kernel32's calls with the arguments the
// streams rely on, and Windows' own error codes as the failure numbers.
#include "textio/Platform.h"

#define WIN32_LEAN_AND_MEAN
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>

#include "tests/support/TempFolder.h"
#include "textio/PlatformWin32.h"

namespace modsin {
namespace {

using testing::ReadFile;
using testing::TTempFolder;

// Write access only, reading shared, an existing file cut to length zero.
TEST(Platform, CreatesForWritingWhileOthersMayRead) {
  TTempFolder folder;
  const std::string name = folder / "t.dat";
  std::ofstream(name) << "old contents";
  const TCreateResult created = CreateForWriting(name.c_str());
  ASSERT_EQ(0, created.FFailure);
  EXPECT_EQ("", ReadFile(name));
  char byte;
  DWORD read = 0;
  EXPECT_FALSE(::ReadFile(Native(created.FHandle), &byte, 1, &read, nullptr));
  const HANDLE reader =
      ::CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, reader);
  ::CloseHandle(reader);
  const HANDLE writer =
      ::CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), ::GetLastError());
  EXPECT_EQ(0, CloseHandle(created.FHandle));
}

TEST(Platform, TellsTheFileType) {
  TTempFolder folder;
  const THandle file = CreateForWriting((folder / "f").c_str()).FHandle;
  const THandle device = CreateForWriting("NUL").FHandle;
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  ASSERT_TRUE(::CreatePipe(&readEnd, &writeEnd, nullptr, 0));
  EXPECT_EQ(TFileType::Other, FileType(file));
  EXPECT_EQ(TFileType::Character, FileType(device));
  EXPECT_EQ(TFileType::Other, FileType(Handle(writeEnd)));
  EXPECT_EQ(TFileType::Unknown, FileType(Handle(nullptr)));
  for (const THandle handle : {file, device, Handle(readEnd), Handle(writeEnd)})
    EXPECT_EQ(0, CloseHandle(handle));
  EXPECT_EQ(ERROR_INVALID_HANDLE, CloseHandle(file));
}

TEST(Platform, ReadSomeTakesAPipeWithoutWriterAsTheEnd) {
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  ASSERT_TRUE(::CreatePipe(&readEnd, &writeEnd, nullptr, 0));
  ASSERT_EQ(0, WriteAll(Handle(writeEnd), "abc", 3));
  ::CloseHandle(writeEnd);
  char buffer[8];
  EXPECT_EQ(3u, ReadSome(Handle(readEnd), buffer, sizeof buffer).FCount);
  const TReadResult end = ReadSome(Handle(readEnd), buffer, sizeof buffer);
  EXPECT_EQ(0u, end.FCount);
  EXPECT_EQ(0, end.FFailure);
  ::CloseHandle(readEnd);
  // Any other failure is one: reading a handle opened for writing only.
  TTempFolder folder;
  const THandle file = CreateForWriting((folder / "f").c_str()).FHandle;
  EXPECT_EQ(ERROR_ACCESS_DENIED, ReadSome(file, buffer, sizeof buffer).FFailure);
  CloseHandle(file);
}

// Each call asks the system, so that a handle set since is the one used.
TEST(Platform, StandardHandleIsTheProcessHandleOfTheMoment) {
  const HANDLE saved = ::GetStdHandle(STD_OUTPUT_HANDLE);
  ::SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
  const THandle absent = StandardHandle(TStandardHandle::Output);
  ::SetStdHandle(STD_OUTPUT_HANDLE, saved);
  EXPECT_EQ(Handle(nullptr), absent);
  EXPECT_EQ(Handle(saved), StandardHandle(TStandardHandle::Output));
  EXPECT_EQ(Handle(::GetStdHandle(STD_INPUT_HANDLE)), StandardHandle(TStandardHandle::Input));
}

}  // namespace
}  // namespace modsin
