// Test support: lines of text for the stream tests, written through a stream
// and as the bytes they should become.
#pragma once

#include <cstddef>
#include <string>

#include "textio/TextStream.h"

namespace modsin::testing {

// count lines of width characters each (CR LF not counted), the i-th made of
// the i-th letter.
inline std::string Lines(int count, std::size_t width) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += std::string(width, static_cast<char>('a' + i % 26)) + "\r\n";
  return text;
}

inline void WriteLines(TTextStream& stream, int count, std::size_t width) {
  for (int i = 0; i < count; ++i) {
    stream.WriteString(std::string(width, static_cast<char>('a' + i % 26)));
    stream.WriteLineEnd();
  }
}

}  // namespace modsin::testing
