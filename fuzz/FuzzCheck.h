// What the fuzz targets share: a failed property stops the run with a message,
// which libFuzzer reports as a finding together with the input.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace modsin::fuzz {

[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "property failed: %s\n", what);
  std::abort();
}

inline void Require(bool holds, const char* what) {
  if (!holds) Fail(what);
}

}  // namespace modsin::fuzz
