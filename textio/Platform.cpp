#include "textio/Platform.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "textio/FailureNumber.h"

namespace modsin {

namespace {

// open() takes its mode through "...", so it needs a wrapper to be stored.
int RealOpen(const char* path, int flags, mode_t mode) {
  return ::open(path, flags, mode);
}
ssize_t RealWrite(int fd, const void* data, std::size_t size) {
  return ::write(fd, data, size);
}
ssize_t RealRead(int fd, void* data, std::size_t size) {
  return ::read(fd, data, size);
}
int RealClose(int fd) {
  return ::close(fd);
}
int RealFileStatus(int fd, struct stat* status) {
  return ::fstat(fd, status);
}

constexpr TSystemCalls kRealSystemCalls = {RealOpen, RealWrite, RealRead, RealClose,
                                           RealFileStatus};

const TSystemCalls* gSystemCalls = &kRealSystemCalls;

const TSystemCalls& Calls() noexcept {
  return *gSystemCalls;
}

// Descriptors 0, 1 and 2.
constexpr int kStandardHandleCount = 3;
bool gClosedAtStart[kStandardHandleCount] = {};

// Read and write permission for everybody, narrowed by the process's umask.
constexpr mode_t kNewFileMode = 0666;

struct TErrorMapping {
  int FError;
  std::int32_t FFailureNumber;
};

constexpr TErrorMapping kErrorMappings[] = {
    {ENOENT, kFileNotFound},     {ENOTDIR, kInvalidFilename}, {ENAMETOOLONG, kInvalidFilename},
    {EMFILE, kTooManyOpenFiles}, {ENFILE, kTooManyOpenFiles}, {EACCES, kFileAccessDenied},
    {EPERM, kFileAccessDenied},  {EROFS, kFileAccessDenied},  {EISDIR, kFileAccessDenied},
    {ENOSPC, kDiskFull},         {EDQUOT, kDiskFull},
};

}  // namespace

const TSystemCalls& RealSystemCalls() noexcept {
  return kRealSystemCalls;
}

TSystemCallsOverride::TSystemCallsOverride(const TSystemCalls& calls) noexcept
    : FCalls(calls), FPrevious(gSystemCalls) {
  gSystemCalls = &FCalls;
}

TSystemCallsOverride::~TSystemCallsOverride() {
  gSystemCalls = FPrevious;
}

std::int32_t FailureNumberFor(int error) noexcept {
  for (const TErrorMapping& mapping : kErrorMappings) {
    if (mapping.FError == error) return mapping.FFailureNumber;
  }
  return error;
}

TCreateResult CreateForWriting(const char* name) noexcept {
  for (;;) {
    const int fd = Calls().Open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kNewFileMode);
    if (fd >= 0) return {fd, 0};
    // Opening a FIFO waits for its reader, and a signal may cut that short.
    if (errno != EINTR) return {kNoHandle, FailureNumberFor(errno)};
  }
}

THandle StandardHandle(TStandardHandle which) noexcept {
  const int fd = static_cast<int>(which);
  return gClosedAtStart[fd] ? kNoHandle : fd;
}

TFileType FileType(THandle handle) noexcept {
  struct stat status;
  if (Calls().FileStatus(handle, &status) != 0) return TFileType::Unknown;
  return S_ISCHR(status.st_mode) ? TFileType::Character : TFileType::Other;
}

std::int32_t WriteAll(THandle handle, const void* data, std::size_t size) noexcept {
  const char* next = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = Calls().Write(handle, next, size);
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
    const ssize_t count = Calls().Read(handle, data, size);
    if (count >= 0) return {static_cast<std::size_t>(count), 0};
    if (errno == EINTR) continue;
    if (errno == EPIPE || errno == ECONNRESET) return {0, 0};
    return {0, FailureNumberFor(errno)};
  }
}

std::int32_t CloseHandle(THandle handle) noexcept {
  // Linux releases the descriptor even when close() reports EINTR, so that
  // report is no failure and the call must not be repeated.
  if (Calls().Close(handle) == 0 || errno == EINTR) return 0;
  return FailureNumberFor(errno);
}

void ParkClosedStandardHandles() noexcept {
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
}

void IgnoreBrokenPipeSignal() noexcept {
  // Ignoring a signal that exists cannot fail.
  static_cast<void>(::signal(SIGPIPE, SIG_IGN));
}

}  // namespace modsin
