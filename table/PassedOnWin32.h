// What a replaced file passes on to the file that replaces it, on Windows:
// read by FindOutputTarget and given by CreateTemporary (OutputFileWin32.cpp).
#pragma once

#include <cstdint>

namespace modsin {

// As the search for the file found it; nothing where there was no file.
struct TPassedOn {
  bool FExists = false;
  // The attributes that pass on.
  std::uint32_t FAttributes = 0;
};

}  // namespace modsin
