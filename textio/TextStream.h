// The buffered text stream through which the program writes its table files
// and console text and reads its console line: a named file or a standard
// handle behind a 128-byte buffer, with CR LF line ends. Failures are never
// raised here; they are stored as the failure number (FailureNumber.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "textio/Platform.h"

namespace modsin {

// Every line the streams write ends with CR LF.
inline constexpr std::string_view kLineEnd = "\r\n";

class TTextStream {
 public:
  // Output leaves the buffer only when it is exactly full, in one write of
  // this size, and at the close; so a table costs one system call per 128
  // bytes, none per line. Input is fetched in reads of the same size.
  static constexpr std::size_t kBufferSize = 128;
  // The name is kept inside the object, so that opening allocates nothing.
  // This many bytes hold every name the program uses; a longer name, or one
  // with a NUL byte in it, fails the open with kInvalidFilename.
  static constexpr std::size_t kMaxNameLength = 259;

  enum class TMode { Closed, Output, Input };

  // Prepares a closed stream. An empty name stands for the standard handle:
  // standard output when the stream is written, standard input when read.
  explicit TTextStream(std::string_view name = {}) noexcept;
  // A stream still open for a named file (left behind by a raised failure)
  // releases its handle without writing out what its buffer holds.
  ~TTextStream();
  TTextStream(const TTextStream&) = delete;
  TTextStream& operator=(const TTextStream&) = delete;

  // Creates the named file, or cuts an existing one to length zero; with an
  // empty name binds standard output instead. On failure the stream stays
  // closed and the failure number is stored: the system's, or
  // kNotOpenForOutput when the handle cannot be examined (a closed or absent
  // standard handle). A character device (a terminal, a console) gets its
  // buffer written out at every line end. An open stream is closed first.
  void OpenForOutput() noexcept;
  // Binds standard input; only an unnamed stream can. On failure the stream
  // stays closed with kNotOpenForInput stored.
  void OpenForInput() noexcept;

  // Append bytes to the buffer, writing it out each time it is exactly full.
  // A failed write-out stores its failure number, empties the buffer all the
  // same and drops the rest of the call's bytes. A closed unnamed stream is
  // first bound to standard output; if that fails, kNotOpenForOutput is stored
  // and the bytes are dropped, and the next write tries to bind it again.
  // Writing a named stream that is not open stores kFileNotOpen.
  void WriteBytes(const char* data, std::size_t size) noexcept {
    // Bytes that leave the buffer short of full go straight in (inline: a
    // table line is two calls).
    if (FMode == TMode::Output && size < kBufferSize - FPosition) {
      std::memcpy(FBuffer + FPosition, data, size);
      FPosition += size;
      return;
    }
    WriteBytesThrough(data, size);
  }
  // Writes the size bytes that fill(char* bytes) puts in place, as WriteBytes
  // would, but formed in the buffer itself: a table line is not copied once
  // more. Past the buffer's end there is room for up to kFillRoom bytes, which
  // move to its start once the full buffer is written out.
  static constexpr std::size_t kFillRoom = 64;
  template <std::size_t size, typename TFill>
  void WriteFilled(TFill fill) noexcept {
    static_assert(size <= kFillRoom);
    if (FMode != TMode::Output) [[unlikely]] {
      char bytes[size];
      fill(bytes);
      WriteBytesThrough(bytes, size);
      return;
    }
    fill(FBuffer + FPosition);
    FPosition += size;
    if (FPosition >= kBufferSize) WriteOutFull();
  }
  void WriteChar(char c) noexcept;
  void WriteString(std::string_view text) noexcept;
  // In decimal, as short as possible, "-" before a negative value.
  void WriteInteger(std::int32_t value) noexcept;
  // CR LF, then the write-out of the buffer for a character device. Inline:
  // a table line ends with one.
  void WriteLineEnd() noexcept {
    WriteBytes(kLineEnd.data(), kLineEnd.size());
    if (FWriteOutAtLineEnd) Flush();
  }
  // Writes out what the buffer holds, if the stream is open for output.
  void Flush() noexcept;

  // Reads and discards up to the end of the next line. LF ends the line; so
  // do the end of input and a byte 0x1A, which stays unread so that every
  // later read ends at once too. A CR followed by LF or the end of input ends
  // it as well; a CR followed by anything else does not. A failed read stores
  // its failure number and counts as the end of input. A closed unnamed
  // stream is first bound to standard input; if that fails, kNotOpenForInput
  // is stored and the read ends at once.
  void ReadLine() noexcept;

  // Writes out what the buffer holds, then releases the handle (a standard
  // handle is never released) and the stream is closed. If the write-out
  // fails, its failure number is stored and the handle is kept, the stream
  // still open.
  void Close() noexcept;

  TMode Mode() const noexcept { return FMode; }
  THandle Handle() const noexcept { return FHandle; }
  bool WritesOutAtLineEnd() const noexcept { return FWriteOutAtLineEnd; }
  // Output: bytes waiting in the buffer. Input: bytes fetched and not yet
  // read; a byte 0x1A that ended the input, real or stored at its end, is
  // among them.
  std::size_t BufferedBytes() const noexcept;

 private:
  // Returned by TakeChar at the end of input; no byte value.
  static constexpr int kEndOfInput = -1;

  bool IsStandard() const noexcept { return FStandard; }
  bool ReadyForOutput() noexcept;
  // WriteBytes for every other case: the buffer filled and written out, or
  // the stream not open for output.
  void WriteBytesThrough(const char* data, std::size_t size) noexcept;
  bool WriteOut() noexcept;
  // For WriteFilled: writes out the full buffer, then moves the bytes beyond
  // it to its start (or drops them, if the write-out failed).
  void WriteOutFull() noexcept;
  int TakeChar() noexcept;

  bool FStandard;  // the name is empty
  bool FNameValid;
  char FName[kMaxNameLength + 1];  // NUL-terminated for the system
  THandle FHandle = kNoHandle;
  TMode FMode = TMode::Closed;
  bool FWriteOutAtLineEnd = false;
  // Output: bytes in use. Input: the next byte to read, and the bytes held.
  std::size_t FPosition = 0;
  std::size_t FEnd = 0;
  char FBuffer[kBufferSize + kFillRoom];
};

// The process's standard output and input streams, each bound to its handle
// at its first use and kept for the whole run.
TTextStream& StandardOutput() noexcept;
TTextStream& StandardInput() noexcept;

// Writes out what the standard output buffer holds, ignoring any failure and
// leaving the pending failure number as it was. For the failure report, whose
// text must follow what was written before it.
void FlushStandardOutput() noexcept;

// The exit sequence's close of standard input, then standard output (which
// writes out what its buffer holds). Discards any pending failure number and
// returns the failure number of the standard output's close: 0 when all its
// text reached the handle.
std::int32_t CloseStandardStreams() noexcept;

}  // namespace modsin
