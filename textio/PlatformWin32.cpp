// The platform layer on Windows: kernel32's file and console calls, with
// Windows' own error codes as the failure numbers.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <limits>

#include "textio/Platform.h"
#include "textio/PlatformWin32.h"

namespace modsin {

namespace {

// ReadFile's failure when the writing end of a pipe has been closed: the end
// of input.
constexpr DWORD kBrokenPipe = ERROR_BROKEN_PIPE;  // 109
// What a write that takes no byte of a non-empty request stands for: a device
// without room.
constexpr std::int32_t kDiskFullError = ERROR_DISK_FULL;  // 112

// One call asks for at most this many bytes.
DWORD CallSize(std::size_t size) {
  return static_cast<DWORD>(std::min<std::size_t>(size, std::numeric_limits<DWORD>::max()));
}

THandle RealCreate(const char* name) {
  return Handle(::CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
}

THandle RealStandard(TStandardHandle which) {
  constexpr DWORD kStandardHandles[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  return Handle(::GetStdHandle(kStandardHandles[static_cast<int>(which)]));
}

TFileType RealType(THandle handle) {
  switch (::GetFileType(Native(handle))) {
    case FILE_TYPE_UNKNOWN:
      return TFileType::Unknown;
    case FILE_TYPE_CHAR:
      return TFileType::Character;
    default:
      return TFileType::Other;
  }
}

std::ptrdiff_t RealWrite(THandle handle, const void* data, std::size_t size) {
  DWORD written = 0;
  if (!::WriteFile(Native(handle), data, CallSize(size), &written, nullptr)) return -1;
  return static_cast<std::ptrdiff_t>(written);
}

std::ptrdiff_t RealRead(THandle handle, void* data, std::size_t size) {
  DWORD read = 0;
  if (!::ReadFile(Native(handle), data, CallSize(size), &read, nullptr)) return -1;
  return static_cast<std::ptrdiff_t>(read);
}

bool RealClose(THandle handle) {
  return ::CloseHandle(Native(handle)) != 0;
}

constexpr TSystemCalls kRealSystemCalls = {RealCreate, RealStandard, RealType,
                                           RealWrite,  RealRead,     RealClose};

}  // namespace

const TSystemCalls& RealSystemCalls() noexcept {
  return kRealSystemCalls;
}

int LastSystemError() noexcept {
  return static_cast<int>(::GetLastError());
}

void SetLastSystemError(int error) noexcept {
  ::SetLastError(static_cast<DWORD>(error));
}

std::int32_t FailureNumberFor(int error) noexcept {
  return error;
}

TCreateResult CreateForWriting(const char* name) noexcept {
  const THandle handle = SystemCalls().Create(name);
  if (handle == kNoHandle) return {kNoHandle, LastFailure()};
  return {handle, 0};
}

std::int32_t WriteAll(THandle handle, const void* data, std::size_t size) noexcept {
  const char* next = static_cast<const char*>(data);
  while (size > 0) {
    const std::ptrdiff_t written = SystemCalls().Write(handle, next, size);
    if (written < 0) return LastFailure();
    if (written == 0) return kDiskFullError;
    next += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

TReadResult ReadSome(THandle handle, void* data, std::size_t size) noexcept {
  const std::ptrdiff_t count = SystemCalls().Read(handle, data, size);
  if (count >= 0) return {static_cast<std::size_t>(count), 0};
  if (static_cast<DWORD>(LastSystemError()) == kBrokenPipe) return {0, 0};
  return {0, LastFailure()};
}

std::int32_t CloseHandle(THandle handle) noexcept {
  return SystemCalls().Close(handle) ? 0 : LastFailure();
}

void PrepareStandardHandles() noexcept {}

}  // namespace modsin
