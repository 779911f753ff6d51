// TOutputFile's system calls on Windows: kernel32's, with Windows' own error
// codes as the failure numbers.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <mutex>
#include <string>

#include "table/OutputFileSystem.h"
#include "textio/InOutError.h"
#include "textio/PlatformWin32.h"

namespace modsin {
namespace {

// What a replaced file passes on to the one that replaces it. Not the
// archive bit, which says that a file has changed since it was backed up and
// which the new one gets anyway, nor read-only: such a file is not replaced.
constexpr DWORD kPassedOnAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// The temporary file of the running process. The console control handler
// runs on a thread of its own, while the main thread may be creating, moving
// or removing that file: the lock makes each of those one step for it.
std::mutex gTemporaryLock;
const char* gTemporary = nullptr;

// Ctrl-C, Ctrl-Break, the console closed, the user logging off, the system
// shutting down: each removes the temporary file, then passes the event on to
// the next handler, the system's, which ends the process.
BOOL WINAPI RemoveTemporaryAndEnd(DWORD /*event*/) {
  // Never unlocked: the main thread's next step with the file then waits for
  // the end, rather than put in place or report a file that is gone.
  gTemporaryLock.lock();
  // A file that the main thread has open (shared for deletion) goes when its
  // handle is closed, at the latest when the process ends.
  if (gTemporary != nullptr) ::DeleteFileA(gTemporary);
  return FALSE;
}

// Where a symbolic link or a junction leads, as "\\?\C:\folder\file"; the
// name as it is where the file system cannot tell.
std::string FinalPath(HANDLE file, const std::string& name) {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    // The length without the NUL, or the size needed with it.
    const DWORD length = ::GetFinalPathNameByHandleA(
        file, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
    if (length == 0) return name;
    const bool fits = length < path.size();
    path.resize(length);
    if (fits) return path;
  }
}

// What the file replaced under that name passes on. Read by name, without
// following a symbolic link: a link that leads nowhere, or nowhere that the
// file system can tell, is what is replaced.
TPassedOn PassedOnBy(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return {};
  return {.FExists = true, .FAttributes = attributes & kPassedOnAttributes};
}

}  // namespace

void PrepareOutputs() noexcept {
  // A process started to ignore Ctrl-C is never handed it.
  ::SetConsoleCtrlHandler(RemoveTemporaryAndEnd, TRUE);
}

// Opening an existing file changes nothing of it, and tells a device, a pipe
// or a console from a file on a disk. An opened instance of a named pipe is
// taken, so the handle is the one that is written.
TOutputTarget FindOutputTarget(const std::string& name) {
  const HANDLE existing =
      ::CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (existing == INVALID_HANDLE_VALUE) {
    // Only a missing file is made: a folder, a read-only file, a file that
    // another program holds without sharing it (5, 32) or a missing folder (3)
    // would refuse its replacement too.
    const std::int32_t failure = LastFailure();
    if (failure != ERROR_FILE_NOT_FOUND) Raise<EInOutError>(failure);
    return {name, kNoHandle, PassedOnBy(name)};
  }
  if (::GetFileType(existing) != FILE_TYPE_DISK) return {name, Handle(existing), {}};
  std::string path = FinalPath(existing, name);
  ::CloseHandle(existing);
  const TPassedOn passedOn = PassedOnBy(path);
  return {std::move(path), kNoHandle, passedOn};
}

std::string_view PathSeparators() noexcept {
  return "\\/:";  // and the colon of a drive, as in "C:table.dat"
}

std::uint32_t ProcessId() noexcept {
  return ::GetCurrentProcessId();
}

const std::int32_t kNameTaken = ERROR_FILE_EXISTS;

TCreateResult CreateTemporary(const std::string& temporary, const TPassedOn& passedOn) noexcept {
  const DWORD attributes = passedOn.FAttributes != 0 ? passedOn.FAttributes : FILE_ATTRIBUTE_NORMAL;
  const std::lock_guard<std::mutex> held(gTemporaryLock);
  // Others may read it meanwhile, and the control handler remove it.
  const HANDLE file =
      ::CreateFileA(temporary.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    CREATE_NEW, attributes, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {kNoHandle, LastFailure()};
  gTemporary = temporary.c_str();
  return {Handle(file), 0};
}

std::int32_t FlushToStorage(THandle handle) noexcept {
  return ::FlushFileBuffers(Native(handle)) ? 0 : LastFailure();
}

// In the same folder, a rename: the target is the old file or the new one,
// whenever it is looked at, and fails as a whole. Unlike ReplaceFile, which
// can fail half way with the target renamed or gone.
std::int32_t MoveOverTarget(const std::string& temporary, const std::string& target) noexcept {
  const std::lock_guard<std::mutex> held(gTemporaryLock);
  if (!::MoveFileExA(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return LastFailure();
  gTemporary = nullptr;
  return 0;
}

void RemoveTemporary(const std::string& temporary) noexcept {
  const std::lock_guard<std::mutex> held(gTemporaryLock);
  ::DeleteFileA(temporary.c_str());
  gTemporary = nullptr;
}

}  // namespace modsin
