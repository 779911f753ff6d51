// The platform layer on Linux: POSIX descriptors and errno.
#include "textio/PlatformPosix.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "textio/FailureNumber.h"
#include "textio/Platform.h"

namespace modsin {

namespace {

// Descriptors 0, 1 and 2.
constexpr int kStandardHandleCount = 3;
bool gClosedAtStart[kStandardHandleCount] = {};

THandle RealCreate(const char* name) {
  return ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kNewFileMode);
}

THandle RealStandard(TStandardHandle which) {
  const int fd = static_cast<int>(which);  // 0, 1, 2 in the order declared
  return gClosedAtStart[fd] ? kNoHandle : fd;
}

TFileType RealType(THandle handle) {
  struct stat status;
  if (::fstat(Descriptor(handle), &status) != 0) return TFileType::Unknown;
  return S_ISCHR(status.st_mode) ? TFileType::Character : TFileType::Other;
}

std::ptrdiff_t RealWrite(THandle handle, const void* data, std::size_t size) {
  return ::write(Descriptor(handle), data, size);
}

std::ptrdiff_t RealRead(THandle handle, void* data, std::size_t size) {
  return ::read(Descriptor(handle), data, size);
}

bool RealClose(THandle handle) {
  return ::close(Descriptor(handle)) == 0;
}

constexpr TSystemCalls kRealSystemCalls = {RealCreate, RealStandard, RealType,
                                           RealWrite,  RealRead,     RealClose};

struct TErrorMapping {
  int FError;
  std::int32_t FFailureNumber;
};

// errno 5, EIO, a device's own failure, would read as failure number 5,
// "File access denied": it takes the number that the system's own platform
// gives a device I/O error (ERROR_IO_DEVICE), shown as "I/O error 1117".
constexpr std::int32_t kDeviceFailure = 1117;

constexpr TErrorMapping kErrorMappings[] = {
    {ENOENT, kFileNotFound},     {ENOTDIR, kInvalidFilename}, {ENAMETOOLONG, kInvalidFilename},
    {EMFILE, kTooManyOpenFiles}, {ENFILE, kTooManyOpenFiles}, {EACCES, kFileAccessDenied},
    {EPERM, kFileAccessDenied},  {EROFS, kFileAccessDenied},  {EISDIR, kFileAccessDenied},
    {ENOSPC, kDiskFull},         {EDQUOT, kDiskFull},         {EIO, kDeviceFailure},
};

}  // namespace

const TSystemCalls& RealSystemCalls() noexcept {
  return kRealSystemCalls;
}

int LastSystemError() noexcept {
  return errno;
}

void SetLastSystemError(int error) noexcept {
  errno = error;
}

std::int32_t FailureNumberFor(int error) noexcept {
  for (const TErrorMapping& mapping : kErrorMappings) {
    if (mapping.FError == error) return mapping.FFailureNumber;
  }
  return error;
}

TCreateResult CreateForWriting(const char* name) noexcept {
  for (;;) {
    const THandle handle = SystemCalls().Create(name);
    if (handle >= 0) return {handle, 0};
    // Opening a FIFO waits for its reader, and a signal may cut that short.
    if (errno != EINTR) return {kNoHandle, FailureNumberFor(errno)};
  }
}

std::int32_t WriteAll(THandle handle, const void* data, std::size_t size) noexcept {
  const char* next = static_cast<const char*>(data);
  while (size > 0) {
    const std::ptrdiff_t written = SystemCalls().Write(handle, next, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return FailureNumberFor(errno);
    }
    // write() accepts no byte of a non-empty request only when the device has
    // no room; repeating it would spin.
    if (written == 0) return kDiskFull;
    next += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

TReadResult ReadSome(THandle handle, void* data, std::size_t size) noexcept {
  for (;;) {
    const std::ptrdiff_t count = SystemCalls().Read(handle, data, size);
    if (count >= 0) return {static_cast<std::size_t>(count), 0};
    if (errno == EINTR) continue;
    if (errno == EPIPE || errno == ECONNRESET) return {0, 0};
    return {0, FailureNumberFor(errno)};
  }
}

std::int32_t CloseHandle(THandle handle) noexcept {
  // Linux releases the descriptor even when close() reports EINTR, so that
  // report is no failure and the call must not be repeated: a second close
  // could release a descriptor that another thread has just been given.
  if (SystemCalls().Close(handle) || errno == EINTR) return 0;
  return FailureNumberFor(errno);
}

void PrepareStandardHandles() noexcept {
  for (int fd = 0; fd < kStandardHandleCount; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    gClosedAtStart[fd] = true;
    // The lowest free descriptor is fd itself while every lower one is open;
    // dup2 covers the case where parking a lower one failed.
    const int parked = ::open("/dev/null", O_RDWR);
    if (parked >= 0 && parked != fd) {
      ::dup2(parked, fd);
      ::close(parked);
    }
  }
  // Ignoring a signal that exists cannot fail.
  static_cast<void>(::signal(SIGPIPE, SIG_IGN));
}

}  // namespace modsin
