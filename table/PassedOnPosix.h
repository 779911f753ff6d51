// What a replaced file passes on to the file that replaces it, on POSIX
// systems: read by FindOutputTarget and given by CreateTemporary
// (OutputFilePosix.cpp).
#pragma once

#include <cstdint>

namespace modsin {

// As the search for the file found it; nothing where there was no file.
struct TPassedOn {
  bool FExists = false;
  // The permission bits, the owner and the group.
  std::uint32_t FMode = 0;
  std::uint32_t FOwner = 0;
  std::uint32_t FGroup = 0;
};

}  // namespace modsin
