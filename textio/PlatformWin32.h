// The platform layer's helpers on Windows, for every source that makes
// kernel32's calls itself: PlatformWin32.cpp and modsin-table's output file.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>

#include "textio/Platform.h"

namespace modsin {

// A handle is a kernel object handle, held as a number.
inline HANDLE Native(THandle handle) noexcept {
  return reinterpret_cast<HANDLE>(handle);
}

inline THandle Handle(HANDLE handle) noexcept {
  return reinterpret_cast<THandle>(handle);
}

// The failure number of the last failed call: Windows' own error code.
inline std::int32_t LastFailure() noexcept {
  return FailureNumberFor(LastSystemError());
}

}  // namespace modsin
