// Test support: what the tests expect that differs between Linux and Windows,
// in one place: device names, system error codes, and the failures they
// become. The Windows tests run under Wine, whose drive Z: is the Unix root.
#pragma once

#include <cerrno>
#include <cstdint>

namespace modsin::testing {

// A failure number with its message.
struct TFailureFact {
  std::int32_t FNumber;
  const char* FMessage;
};

#ifdef _WIN32
// Every write to it fails for want of room.
inline constexpr const char* kFullDevice = "Z:\\dev\\full";
// A character device that takes every write.
inline constexpr const char* kCharacterDevice = "NUL";
// System error codes for scripted calls: ERROR_DISK_FULL, ERROR_INVALID_HANDLE.
inline constexpr int kDiskFullError = 112;
inline constexpr int kReadError = 6;
// Windows keeps its own numbers: a full disk has no message of its own.
inline constexpr TFailureFact kDiskFull = {112, "I/O error 112"};
// A folder of the path that does not exist: ERROR_PATH_NOT_FOUND.
inline constexpr TFailureFact kMissingFolder = {3, "Invalid filename"};
// Why a test that drops to an unprivileged user is skipped.
inline constexpr const char* kNoUnprivilegedUser =
    "Linux only: it changes user with setpriv; under Wine a Windows program runs as the Unix "
    "user that started it, root here, whom no folder refuses";
#else
inline constexpr const char* kFullDevice = "/dev/full";
inline constexpr const char* kCharacterDevice = "/dev/null";
inline constexpr int kDiskFullError = ENOSPC;
inline constexpr int kReadError = ENXIO;
inline constexpr TFailureFact kDiskFull = {101, "Disk full"};
inline constexpr TFailureFact kMissingFolder = {2, "File not found"};
#endif

}  // namespace modsin::testing
