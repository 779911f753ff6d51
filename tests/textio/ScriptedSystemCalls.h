// Test support for the text streams: system calls that record what the
// platform layer asks of them, fail on cue and stand in for the standard
// handles, forwarding everything else to the real calls. The failures are
// system error codes of the platform (PlatformFacts.h names the common ones).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"
#include "textio/Platform.h"

namespace modsin::testing {

// The handle that stands for a scripted standard input: no real handle has
// this value (POSIX descriptors are small, Windows handles multiples of 4).
inline constexpr THandle kScriptedInput = 0x7FFF0001;

struct TScript {
  std::vector<std::size_t> FWriteSizes;  // bytes asked of each write call
  std::vector<std::size_t> FReadSizes;   // room offered to each read call
  int FCloseCalls = 0;
  // A system error code for the next calls, one per call; 0 lets that call
  // through.
  std::deque<int> FWriteErrors;
  std::deque<int> FReadErrors;
  std::deque<int> FCloseErrors;  // reported after the handle is closed
  // The next this many file type queries answer Unknown.
  int FUnknownTypes = 0;
  std::size_t FMostPerWrite = static_cast<std::size_t>(-1);  // short writes
  // When set, the standard output handle (kNoHandle: none), and standard
  // input served from these bytes through kScriptedInput.
  std::optional<THandle> FStandardOutput;
  std::optional<std::string> FInput;
  std::size_t FInputServed = 0;
};

inline TScript gScript;

inline bool Inject(std::deque<int>& errors) {
  if (errors.empty()) return false;
  const int error = errors.front();
  errors.pop_front();
  SetLastSystemError(error);
  return error != 0;
}

inline TSystemCalls ScriptedCalls() {
  TSystemCalls calls = RealSystemCalls();
  calls.Standard = [](TStandardHandle which) {
    if (which == TStandardHandle::Output && gScript.FStandardOutput)
      return *gScript.FStandardOutput;
    if (which == TStandardHandle::Input && gScript.FInput) return kScriptedInput;
    return RealSystemCalls().Standard(which);
  };
  calls.Type = [](THandle handle) {
    if (gScript.FUnknownTypes > 0) {
      --gScript.FUnknownTypes;
      return TFileType::Unknown;
    }
    return handle == kScriptedInput ? TFileType::Other : RealSystemCalls().Type(handle);
  };
  calls.Write = [](THandle handle, const void* data, std::size_t size) -> std::ptrdiff_t {
    gScript.FWriteSizes.push_back(size);
    if (Inject(gScript.FWriteErrors)) return -1;
    return RealSystemCalls().Write(handle, data, std::min(size, gScript.FMostPerWrite));
  };
  calls.Read = [](THandle handle, void* data, std::size_t size) -> std::ptrdiff_t {
    gScript.FReadSizes.push_back(size);
    if (Inject(gScript.FReadErrors)) return -1;
    if (handle != kScriptedInput) return RealSystemCalls().Read(handle, data, size);
    const std::string& input = *gScript.FInput;
    const std::size_t count = std::min(size, input.size() - gScript.FInputServed);
    std::memcpy(data, input.data() + gScript.FInputServed, count);
    gScript.FInputServed += count;
    return static_cast<std::ptrdiff_t>(count);
  };
  calls.Close = [](THandle handle) {
    ++gScript.FCloseCalls;
    const bool closed = RealSystemCalls().Close(handle);
    return !Inject(gScript.FCloseErrors) && closed;
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
