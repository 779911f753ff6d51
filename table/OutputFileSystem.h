// The system calls under TOutputFile (OutputFile.h), one source per platform:
// OutputFilePosix.cpp, OutputFileWin32.cpp. OutputFile.cpp holds the steps
// that every platform takes in the same order. Failures are failure numbers:
// the platform layer's mapping of errno on Linux, Windows' own error codes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "textio/Platform.h"

// TPassedOn, what a replaced file passes on to the one that replaces it, is
// each platform's own, fields and all. The steps in OutputFile.cpp never look
// inside it, but they carry it by value from FindOutputTarget to
// CreateTemporary, so they need its size: hence a header per platform, picked
// here. A type only declared here could be carried only through a pointer,
// at the cost of an allocation.
#ifdef _WIN32
#include "table/PassedOnWin32.h"
#else
#include "table/PassedOnPosix.h"
#endif

namespace modsin {

// Called once per process, before the first output is opened (TOutputFile
// sees to it): the requests that end the process on the user's behalf
// (signals on Linux; Ctrl-C, Ctrl-Break and the console's closing on Windows)
// first remove the temporary file noted by CreateTemporary, then end it as
// they would have without it. A request that the process was started to
// ignore stays ignored.
void PrepareOutputs() noexcept;

// What a named output leads to.
struct TOutputTarget {
  std::string FPath;             // the file that a temporary file replaces
  THandle FInPlace = kNoHandle;  // open for writing when it is written in place
  TPassedOn FPassedOn;           // from FPath, when it is replaced
};

// The file that name leads to and, when that exists and is not a regular
// file, the handle to write it in place; else what that file passes on.
// Raises EInOutError.
TOutputTarget FindOutputTarget(const std::string& name);

// The characters after which a path's file name begins.
std::string_view PathSeparators() noexcept;

// The folder part of path with its final separator, or "" for the current
// folder. The same on every platform (OutputFile.cpp).
std::string FolderOf(const std::string& path);

// Unique among the running processes.
std::uint32_t ProcessId() noexcept;

// The failure number of a name that is taken already.
extern const std::int32_t kNameTaken;

// Creates the temporary file for writing, on condition that no file of that
// name exists yet, and gives it what the target passes on. Notes temporary,
// which must not change or move until MoveOverTarget or RemoveTemporary
// forgets it, for the requests that end the process.
TCreateResult CreateTemporary(const std::string& temporary, const TPassedOn& passedOn) noexcept;

// Returns the failure number, 0 on success.
std::int32_t FlushToStorage(THandle handle) noexcept;

// Puts the closed temporary file in the target's place in one step, and
// forgets it. Returns the failure number, 0 on success; the temporary file is
// then still there and noted.
std::int32_t MoveOverTarget(const std::string& temporary, const std::string& target) noexcept;

// Removes the closed temporary file, and forgets it.
void RemoveTemporary(const std::string& temporary) noexcept;

}  // namespace modsin
