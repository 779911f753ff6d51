// The text streams' one door to the operating system: creating files, the
// standard descriptors, writing, reading and closing, with system errors
// mapped onto failure numbers. Tests swap the system calls underneath.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace modsin {

// A file descriptor.
using THandle = int;
inline constexpr THandle kNoHandle = -1;

// The standard handles, by their descriptor numbers.
enum class TStandardHandle : int { Input = 0, Output = 1, Error = 2 };

enum class TFileType {
  Unknown,    // the handle cannot be examined, as a closed descriptor
  Character,  // a terminal or another character device
  Other,      // a file, a pipe, a socket
};

// The raw system calls the layer is built on, with their POSIX contracts.
// Tests install their own (see TSystemCallsOverride) to count calls and
// inject failures, and forward to RealSystemCalls() for the real work.
struct TSystemCalls {
  int (*Open)(const char* path, int flags, mode_t mode);
  ssize_t (*Write)(int fd, const void* data, std::size_t size);
  ssize_t (*Read)(int fd, void* data, std::size_t size);
  int (*Close)(int fd);
  int (*FileStatus)(int fd, struct stat* status);
};

const TSystemCalls& RealSystemCalls() noexcept;

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

// The failure number for a system error code: ENOENT 2; ENOTDIR and
// ENAMETOOLONG 3; EMFILE and ENFILE 4; EACCES, EPERM, EROFS and EISDIR 5;
// ENOSPC and EDQUOT 101 ("Disk full"); any other code is kept as it is.
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
// Permissions are 0666 less the umask; the descriptor is not inherited by
// child processes.
TCreateResult CreateForWriting(const char* name) noexcept;

// The standard handle, or kNoHandle when it was closed when the program
// started (see ParkClosedStandardHandles).
THandle StandardHandle(TStandardHandle which) noexcept;

TFileType FileType(THandle handle) noexcept;

// Writes all size bytes: an interrupted call is repeated and a short write is
// continued until every byte is written or a call fails. Returns the failure
// number, 0 on success.
std::int32_t WriteAll(THandle handle, const void* data, std::size_t size) noexcept;

// One read of up to size bytes; an interrupted call is repeated. A pipe or
// connection whose writer has gone reads as the end of input, not a failure.
TReadResult ReadSome(THandle handle, void* data, std::size_t size) noexcept;

// Releases the handle. An interrupted close is not repeated: the descriptor is
// released all the same on Linux, and a second close could release a
// descriptor that another thread has just been given.
std::int32_t CloseHandle(THandle handle) noexcept;

// To run first in the program. Notes which of the standard descriptors 0, 1
// and 2 are closed and opens /dev/null onto each of them, so that no file the
// program opens later is given such a number and mistaken for a standard
// handle. StandardHandle reports the noted ones as kNoHandle from then on.
void ParkClosedStandardHandles() noexcept;

// To run at start-up too. A write to a pipe whose reader has gone then fails
// with EPIPE, which the stream stores as its failure number, instead of
// raising SIGPIPE, whose default action ends the process without a word.
void IgnoreBrokenPipeSignal() noexcept;

}  // namespace modsin
