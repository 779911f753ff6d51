// TOutputFile on POSIX systems.
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "table/OutputFile.h"
#include "textio/FailureNumber.h"
#include "textio/InOutError.h"

namespace modsin {
namespace {

// The kernel's own limit on the links followed in one path (ELOOP).
constexpr int kMaxLinks = 40;
// A temporary file is ".modsin-table-<process id>-<attempt>": unique among
// running processes, and another attempt where a name is taken.
constexpr std::string_view kTemporaryPrefix = ".modsin-table-";
constexpr int kNameAttempts = 100;
// Read and write permission for everybody, narrowed by the umask.
constexpr mode_t kNewFileMode = 0666;
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

// Once per process, before the first output is opened.
void PrepareSignals() {
  static bool installed = false;
  if (installed) return;
  installed = true;
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

// The folder part of path with its final '/', or "" for the current folder.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ReadLink(const std::string& path) {
  std::string target(PATH_MAX, '\0');
  const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
  if (length < 0) RaiseSystemError(errno);
  if (static_cast<std::size_t>(length) == target.size()) RaiseSystemError(ENAMETOOLONG);
  target.resize(static_cast<std::size_t>(length));
  return target;
}

// The file that path leads to through symbolic links, which need not exist;
// status is that file's when it does.
std::string FollowLinks(std::string path, struct stat& status, bool& exists) {
  for (int links = 0;; ++links) {
    if (::lstat(path.c_str(), &status) != 0) {
      if (errno != ENOENT) RaiseSystemError(errno);
      exists = false;
      return path;
    }
    if (!S_ISLNK(status.st_mode)) {
      exists = true;
      return path;
    }
    if (links == kMaxLinks) RaiseSystemError(ELOOP);
    std::string target = ReadLink(path);
    path = target.starts_with('/') ? std::move(target) : FolderOf(path).append(target);
  }
}

// On Linux a handle is a file descriptor.
int Descriptor(THandle handle) {
  return static_cast<int>(handle);
}

}  // namespace

TOutputFile::TOutputFile(const std::string& name) {
  PrepareSignals();
  if (name.empty()) {
    FHandle = StandardHandle(TStandardHandle::Output);
    if (FHandle == kNoHandle) Raise<EInOutError>(kNotOpenForOutput);
    return;
  }
  struct stat status = {};
  bool exists = false;
  FTarget = FollowLinks(name, status, exists);
  if (exists && !S_ISREG(status.st_mode)) {
    const TCreateResult opened = CreateForWriting(FTarget.c_str());
    if (opened.FFailure != 0) Raise<EInOutError>(opened.FFailure);
    FHandle = opened.FHandle;
    FOwnsHandle = true;
    return;
  }

  const std::string prefix =
      FolderOf(FTarget) + std::string(kTemporaryPrefix) + std::to_string(::getpid()) + "-";
  for (int attempt = 0; FHandle == kNoHandle; ++attempt) {
    std::string temporary = prefix + std::to_string(attempt);
    const TEndingSignalsHeld held;
    const int handle =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
    if (handle < 0) {
      if (errno != EEXIST || attempt + 1 == kNameAttempts) RaiseSystemError(errno);
      continue;
    }
    FHandle = handle;
    FOwnsHandle = true;
    FTemporary = std::move(temporary);
    gTemporary.store(FTemporary.c_str());
  }
  if (!exists) return;
  // Only a privileged writer may give a file away, but an owner may still
  // pass on the group; where neither is allowed the new file is the writer's.
  if (::fchown(Descriptor(FHandle), status.st_uid, status.st_gid) != 0)
    static_cast<void>(::fchown(Descriptor(FHandle), static_cast<uid_t>(-1), status.st_gid));
  if (::fchmod(Descriptor(FHandle), status.st_mode & kPermissionBits) != 0) {
    const int error = errno;
    Abandon();  // the destructor does not run for an object not yet made
    RaiseSystemError(error);
  }
}

TOutputFile::~TOutputFile() {
  Abandon();
}

void TOutputFile::Abandon() noexcept {
  if (FOwnsHandle && FHandle != kNoHandle) CloseHandle(FHandle);
  FHandle = kNoHandle;
  if (!FTemporary.empty()) {
    ::unlink(FTemporary.c_str());
    gTemporary.store(nullptr);
    FTemporary.clear();
  }
}

void TOutputFile::Write(std::string_view bytes) const {
  const std::int32_t failure = WriteAll(FHandle, bytes.data(), bytes.size());
  if (failure != 0) Raise<EInOutError>(failure);
}

void TOutputFile::Commit() {
  if (!FOwnsHandle) return;
  // A table renamed into place must not turn out empty after a crash.
  if (!FTemporary.empty() && ::fsync(Descriptor(FHandle)) != 0) RaiseSystemError(errno);
  const std::int32_t closed = CloseHandle(FHandle);
  FHandle = kNoHandle;
  if (closed != 0) Raise<EInOutError>(closed);
  if (FTemporary.empty()) return;
  if (::rename(FTemporary.c_str(), FTarget.c_str()) != 0) RaiseSystemError(errno);
  gTemporary.store(nullptr);
  FTemporary.clear();
}

}  // namespace modsin
