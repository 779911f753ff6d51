// Test support for the text streams: system calls that record what the
// platform layer asks of them and fail on cue, forwarding everything else to
// the real calls.
#pragma once

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"
#include "textio/Platform.h"

namespace modsin::testing {

struct TScript {
  std::vector<std::size_t> FWriteSizes;  // bytes asked of each write call
  std::vector<std::size_t> FReadSizes;   // room offered to each read call
  int FCloseCalls = 0;
  // errno for the next calls, one per call; 0 lets that call through.
  std::deque<int> FWriteErrors;
  std::deque<int> FReadErrors;
  std::deque<int> FCloseErrors;  // reported after the descriptor is closed
  std::deque<int> FStatusErrors;
  std::size_t FMostPerWrite = static_cast<std::size_t>(-1);  // short writes
};

inline TScript gScript;

inline bool Inject(std::deque<int>& errors) {
  if (errors.empty()) return false;
  errno = errors.front();
  errors.pop_front();
  return errno != 0;
}

inline TSystemCalls ScriptedCalls() {
  TSystemCalls calls = RealSystemCalls();
  calls.Write = [](int fd, const void* data, std::size_t size) -> ssize_t {
    gScript.FWriteSizes.push_back(size);
    if (Inject(gScript.FWriteErrors)) return -1;
    return RealSystemCalls().Write(fd, data, std::min(size, gScript.FMostPerWrite));
  };
  calls.Read = [](int fd, void* data, std::size_t size) -> ssize_t {
    gScript.FReadSizes.push_back(size);
    if (Inject(gScript.FReadErrors)) return -1;
    return RealSystemCalls().Read(fd, data, size);
  };
  calls.Close = [](int fd) {
    ++gScript.FCloseCalls;
    const int result = RealSystemCalls().Close(fd);
    return Inject(gScript.FCloseErrors) ? -1 : result;
  };
  calls.FileStatus = [](int fd, struct stat* status) {
    return Inject(gScript.FStatusErrors) ? -1 : RealSystemCalls().FileStatus(fd, status);
  };
  return calls;
}

// Installs the scripted calls with an empty script for its lifetime.
class TScriptedSystemCalls {
 public:
  TScriptedSystemCalls() : FOverride((gScript = TScript{}, ScriptedCalls())) {}

 private:
  TSystemCallsOverride FOverride;
};

}  // namespace modsin::testing
