// The text streams' one door to the operating system: creating files, the
// standard handles, writing, reading and closing, with the system's failures
// as failure numbers. The build picks one source per platform
// (PlatformPosix.cpp, PlatformWin32.cpp); tests swap the system calls
// underneath through TSystemCalls, the same way on both.
#pragma once

#include <cstddef>
#include <cstdint>

namespace modsin {

// A handle: a file descriptor on Linux, a kernel object handle on Windows.
using THandle = std::intptr_t;
// No handle: what a failed open gives. -1 is also Windows'
// INVALID_HANDLE_VALUE.
inline constexpr THandle kNoHandle = -1;

enum class TStandardHandle { Input, Output, Error };

enum class TFileType {
  Unknown,    // the handle cannot be examined: closed, absent, or not a file
  Character,  // a console, a terminal, another character device
  Other,      // a file, a pipe, a socket
};

// The system calls the layer is built on, one each, in the layer's terms.
// Each returns what its system call returns; a failed call returns kNoHandle,
// -1 or false and leaves the system's error code for LastSystemError().
// Tests install their own (see TSystemCallsOverride) to count calls and
// inject failures, and forward to RealSystemCalls() for the real work.
struct TSystemCalls {
  // Creates the file for writing, or cuts an existing one to length zero.
  THandle (*Create)(const char* name);
  // The handle as the process holds it, which may be no usable handle at all.
  THandle (*Standard)(TStandardHandle which);
  TFileType (*Type)(THandle handle);
  // Returns the bytes written or read; 0 read is the end of input.
  std::ptrdiff_t (*Write)(THandle handle, const void* data, std::size_t size);
  std::ptrdiff_t (*Read)(THandle handle, void* data, std::size_t size);
  bool (*Close)(THandle handle);
};

const TSystemCalls& RealSystemCalls() noexcept;
// The calls in force: the real ones, or those of the innermost override.
const TSystemCalls& SystemCalls() noexcept;

// The error code that the last failed system call left (errno, GetLastError),
// and a way for scripted calls to leave one.
int LastSystemError() noexcept;
void SetLastSystemError(int error) noexcept;

// Installs a copy of calls for its lifetime and restores the previous ones
// after. Not thread-safe: meant for tests.
class TSystemCallsOverride {
 public:
  explicit TSystemCallsOverride(const TSystemCalls& calls) noexcept;
  ~TSystemCallsOverride();
  TSystemCallsOverride(const TSystemCallsOverride&) = delete;
  TSystemCallsOverride& operator=(const TSystemCallsOverride&) = delete;

 private:
  TSystemCalls FCalls;
  const TSystemCalls* FPrevious;
};

// The failure number for a system error code. Windows' own codes are the
// failure numbers as they stand (2 file not found, 3 path not found, 4 too
// many open files, 5 access denied, 112 disk full, ...). Linux maps errno
// onto them: ENOENT 2; ENOTDIR and ENAMETOOLONG 3; EMFILE and ENFILE 4;
// EACCES, EPERM, EROFS and EISDIR 5; ENOSPC and EDQUOT 101 ("Disk full");
// EIO 1117 (Windows' code for a device I/O error), since its own number would
// read as access denied; any other errno is kept as it is.
std::int32_t FailureNumberFor(int error) noexcept;

struct TCreateResult {
  THandle FHandle;        // kNoHandle on failure
  std::int32_t FFailure;  // 0 on success
};

struct TReadResult {
  std::size_t FCount;     // 0 at the end of input, and after a failure
  std::int32_t FFailure;  // 0 on success
};

// Creates the file for writing, or cuts an existing one to length zero.
// Linux: permissions 0666 less the umask, the descriptor not inherited by
// child processes. Windows: write access only, others may read it meanwhile.
TCreateResult CreateForWriting(const char* name) noexcept;

// The standard handle, or kNoHandle when the process has none (see
// PrepareStandardHandles). Windows asks the system every time.
THandle StandardHandle(TStandardHandle which) noexcept;

TFileType FileType(THandle handle) noexcept;

// Writes all size bytes: a short write is continued (and on Linux an
// interrupted call repeated) until every byte is written or a call fails.
// Returns the failure number, 0 on success.
std::int32_t WriteAll(THandle handle, const void* data, std::size_t size) noexcept;

// One read of up to size bytes. A pipe whose writer has gone reads as the end
// of input, not a failure.
TReadResult ReadSome(THandle handle, void* data, std::size_t size) noexcept;

// Releases the handle; returns the failure number, 0 on success.
std::int32_t CloseHandle(THandle handle) noexcept;

// To run first in the program. On Linux it notes which of the standard
// descriptors 0, 1 and 2 are closed and opens /dev/null onto each, so that no
// file the program opens later is given such a number and mistaken for a
// standard handle (StandardHandle reports the noted ones as kNoHandle from
// then on); and it makes a write to a pipe whose reader has gone fail with
// EPIPE, stored as the failure number, instead of raising SIGPIPE, whose
// default action ends the process without a word. Windows needs neither: an
// absent standard handle stays absent, and such a write fails with an error.
void PrepareStandardHandles() noexcept;

}  // namespace modsin
