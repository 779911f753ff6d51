// The platform layer's helpers on POSIX systems, for every source that makes
// the system calls itself: PlatformPosix.cpp and modsin-table's output file.
#pragma once

#include <sys/types.h>

#include "textio/Platform.h"

namespace modsin {

// A new file gets read and write permission for everybody, narrowed by the
// process's umask.
inline constexpr mode_t kNewFileMode = 0666;

// On Linux a handle is a file descriptor.
inline int Descriptor(THandle handle) noexcept {
  return static_cast<int>(handle);
}

}  // namespace modsin
