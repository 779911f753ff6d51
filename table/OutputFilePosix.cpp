// TOutputFile's system calls on POSIX systems.
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "table/OutputFileSystem.h"
#include "textio/FailureNumber.h"
#include "textio/InOutError.h"
#include "textio/PlatformPosix.h"

namespace modsin {
namespace {

// The kernel's own limit on the links followed in one path (ELOOP).
constexpr int kMaxLinks = 40;
// The permission bits that a replaced file passes on: not set-user-ID and
// the like, which would mean something else on the writer's own file.
constexpr mode_t kPermissionBits = 0777;

// The temporary file of the running process, for the signal handler.
std::atomic<const char*> gTemporary{nullptr};
static_assert(std::atomic<const char*>::is_always_lock_free, "read inside a signal handler");

// The signals that end a process on the user's request. Each removes the
// temporary file and then ends the process as it would have without it.
constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGTERM};

extern "C" void RemoveTemporaryAndEnd(int signal) {
  const char* const name = gTemporary.load();
  if (name != nullptr) ::unlink(name);
  // SA_RESETHAND has restored the default action: the signal, blocked while
  // the handler runs, ends the process as soon as the handler returns.
  static_cast<void>(::raise(signal));
}

// Holds the ending signals back while it lives, so that none can come between
// the creation of the temporary file and the note of its name.
class TEndingSignalsHeld {
 public:
  TEndingSignalsHeld() noexcept {
    sigset_t held;
    ::sigemptyset(&held);
    for (const int signal : kEndingSignals)
      ::sigaddset(&held, signal);
    ::sigprocmask(SIG_BLOCK, &held, &FPrevious);
  }
  ~TEndingSignalsHeld() { ::sigprocmask(SIG_SETMASK, &FPrevious, nullptr); }
  TEndingSignalsHeld(const TEndingSignalsHeld&) = delete;
  TEndingSignalsHeld& operator=(const TEndingSignalsHeld&) = delete;

 private:
  sigset_t FPrevious;
};

[[noreturn]] void RaiseSystemError(int error) {
  Raise<EInOutError>(FailureNumberFor(error));
}

std::string ReadLink(const std::string& path) {
  std::string target(PATH_MAX, '\0');
  const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
  if (length < 0) RaiseSystemError(errno);
  if (static_cast<std::size_t>(length) == target.size()) RaiseSystemError(ENAMETOOLONG);
  target.resize(static_cast<std::size_t>(length));
  return target;
}

}  // namespace

void PrepareOutputs() noexcept {
  // Past the process's file size limit, a write then fails with EFBIG, which
  // is reported, instead of raising SIGXFSZ, which would end the process
  // without a word and leave the temporary file behind.
  static_cast<void>(::signal(SIGXFSZ, SIG_IGN));
  for (const int signal : kEndingSignals) {
    struct sigaction action = {};
    // A signal that the process was started to ignore (nohup) stays ignored.
    if (::sigaction(signal, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) continue;
    action = {};
    action.sa_handler = RemoveTemporaryAndEnd;
    action.sa_flags = SA_RESETHAND;
    ::sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
  }
}

// Symbolic links are followed, so that the file a link leads to is replaced
// and the link stays.
TOutputTarget FindOutputTarget(const std::string& name) {
  std::string path = name;
  for (int links = 0;; ++links) {
    struct stat status = {};
    if (::lstat(path.c_str(), &status) != 0) {
      if (errno != ENOENT) RaiseSystemError(errno);
      return {path, kNoHandle, {}};
    }
    if (S_ISREG(status.st_mode)) {
      return {path,
              kNoHandle,
              {.FExists = true,
               .FMode = status.st_mode & kPermissionBits,
               .FOwner = status.st_uid,
               .FGroup = status.st_gid}};
    }
    if (!S_ISLNK(status.st_mode)) {
      const TCreateResult opened = CreateForWriting(path.c_str());
      if (opened.FFailure != 0) Raise<EInOutError>(opened.FFailure);
      return {path, opened.FHandle, {}};
    }
    if (links == kMaxLinks) RaiseSystemError(ELOOP);
    std::string target = ReadLink(path);
    path = target.starts_with('/') ? std::move(target) : FolderOf(path).append(target);
  }
}

std::string_view PathSeparators() noexcept {
  return "/";
}

std::uint32_t ProcessId() noexcept {
  return static_cast<std::uint32_t>(::getpid());
}

const std::int32_t kNameTaken = EEXIST;

// A replaced file passes on its permissions and, where the system allows, its
// owner and group.
TCreateResult CreateTemporary(const std::string& temporary, const TPassedOn& passedOn) noexcept {
  int handle = -1;
  {
    const TEndingSignalsHeld held;
    handle = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
    if (handle < 0) return {kNoHandle, FailureNumberFor(errno)};
    gTemporary.store(temporary.c_str());
  }
  if (!passedOn.FExists) return {handle, 0};
  // Only a privileged writer may give a file away, but an owner may still
  // pass on the group; where neither is allowed the new file is the writer's.
  if (::fchown(handle, passedOn.FOwner, passedOn.FGroup) != 0)
    static_cast<void>(::fchown(handle, static_cast<uid_t>(-1), passedOn.FGroup));
  if (::fchmod(handle, passedOn.FMode) != 0) {
    const int error = errno;
    ::close(handle);
    RemoveTemporary(temporary);
    return {kNoHandle, FailureNumberFor(error)};
  }
  return {handle, 0};
}

std::int32_t FlushToStorage(THandle handle) noexcept {
  return ::fsync(Descriptor(handle)) == 0 ? 0 : FailureNumberFor(errno);
}

std::int32_t MoveOverTarget(const std::string& temporary, const std::string& target) noexcept {
  if (::rename(temporary.c_str(), target.c_str()) != 0) return FailureNumberFor(errno);
  gTemporary.store(nullptr);
  return 0;
}

void RemoveTemporary(const std::string& temporary) noexcept {
  ::unlink(temporary.c_str());
  gTemporary.store(nullptr);
}

}  // namespace modsin
