#include "textio/TextStream.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "textio/DecimalWidth.h"
#include "textio/FailureNumber.h"

namespace modsin {

namespace {

// Marks the end of text in input, and is stored in the input buffer once the
// real end of input is met, so that the end is seen again by every later take.
constexpr unsigned char kEndOfFileMark = 0x1A;

}  // namespace

TTextStream::TTextStream(std::string_view name) noexcept
    : FStandard(name.empty()),
      FNameValid(name.size() <= kMaxNameLength && name.find('\0') == std::string_view::npos) {
  const std::size_t length = FNameValid ? name.size() : 0;
  name.copy(FName, length);
  FName[length] = '\0';
}

TTextStream::~TTextStream() {
  if (FMode != TMode::Closed && !IsStandard()) CloseHandle(FHandle);
}

void TTextStream::OpenForOutput() noexcept {
  if (FMode != TMode::Closed) Close();
  THandle handle = kNoHandle;
  if (IsStandard()) {
    handle = StandardHandle(TStandardHandle::Output);
    if (handle == kNoHandle) {
      StoreFailureNumber(kNotOpenForOutput);
      return;
    }
  } else if (!FNameValid) {
    StoreFailureNumber(kInvalidFilename);
    return;
  } else {
    const TCreateResult created = CreateForWriting(FName);
    if (created.FFailure != 0) {
      StoreFailureNumber(created.FFailure);
      return;
    }
    handle = created.FHandle;
  }
  const TFileType type = FileType(handle);
  if (type == TFileType::Unknown) {
    CloseHandle(handle);
    StoreFailureNumber(kNotOpenForOutput);
    return;
  }
  FWriteOutAtLineEnd = type == TFileType::Character;
  FHandle = handle;
  FMode = TMode::Output;
  FPosition = 0;
}

void TTextStream::OpenForInput() noexcept {
  if (FMode != TMode::Closed) Close();
  const THandle handle = IsStandard() ? StandardHandle(TStandardHandle::Input) : kNoHandle;
  if (handle == kNoHandle || FileType(handle) == TFileType::Unknown) {
    StoreFailureNumber(kNotOpenForInput);
    return;
  }
  FWriteOutAtLineEnd = false;
  FHandle = handle;
  FMode = TMode::Input;
  FPosition = 0;
  FEnd = 0;
}

bool TTextStream::ReadyForOutput() noexcept {
  if (FMode == TMode::Output) return true;
  if (FMode == TMode::Closed && IsStandard()) {
    OpenForOutput();
    if (FMode == TMode::Output) return true;
  }
  StoreFailureNumber(FMode == TMode::Closed && !IsStandard() ? kFileNotOpen : kNotOpenForOutput);
  return false;
}

bool TTextStream::WriteOut() noexcept {
  const std::int32_t failure = WriteAll(FHandle, FBuffer, FPosition);
  // A failed write-out is not retried: its bytes are gone.
  FPosition = 0;
  if (failure == 0) return true;
  StoreFailureNumber(failure);
  return false;
}

void TTextStream::WriteOutFull() noexcept {
  const std::size_t beyond = FPosition - kBufferSize;
  FPosition = kBufferSize;
  if (WriteOut()) {
    // All of the room, whatever it holds: a copy of fixed size is a few
    // moves, one of the exact size a call.
    std::memcpy(FBuffer, FBuffer + kBufferSize, kFillRoom);
    FPosition = beyond;
  }
}

void TTextStream::WriteBytesThrough(const char* data, std::size_t size) noexcept {
  if (!ReadyForOutput()) return;
  while (size > 0) {
    const std::size_t piece = std::min(size, kBufferSize - FPosition);
    std::memcpy(FBuffer + FPosition, data, piece);
    FPosition += piece;
    data += piece;
    size -= piece;
    if (FPosition == kBufferSize && !WriteOut()) return;
  }
}

void TTextStream::WriteChar(char c) noexcept {
  WriteBytes(&c, 1);
}

void TTextStream::WriteString(std::string_view text) noexcept {
  WriteBytes(text.data(), text.size());
}

void TTextStream::WriteInteger(std::int32_t value) noexcept {
  char digits[kMaxDecimalWidth];
  const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
  WriteBytes(digits, static_cast<std::size_t>(end.ptr - digits));
}

void TTextStream::Flush() noexcept {
  if (FMode == TMode::Output && FPosition > 0) WriteOut();
}

int TTextStream::TakeChar() noexcept {
  if (FPosition == FEnd) {
    const TReadResult read = ReadSome(FHandle, FBuffer, kBufferSize);
    if (read.FFailure != 0) StoreFailureNumber(read.FFailure);
    if (read.FCount == 0) {
      FBuffer[0] = static_cast<char>(kEndOfFileMark);
      FEnd = 1;
    } else {
      FEnd = read.FCount;
    }
    FPosition = 0;
  }
  const unsigned char c = static_cast<unsigned char>(FBuffer[FPosition]);
  if (c == kEndOfFileMark) return kEndOfInput;
  ++FPosition;
  return c;
}

void TTextStream::ReadLine() noexcept {
  if (FMode == TMode::Closed && IsStandard()) OpenForInput();
  if (FMode != TMode::Input) {
    StoreFailureNumber(kNotOpenForInput);
    return;
  }
  for (;;) {
    int c = TakeChar();
    if (c == kEndOfInput || c == '\n') return;
    if (c == '\r') {
      c = TakeChar();
      if (c == kEndOfInput || c == '\n') return;
      // Put it back: it starts the rest of the line. TakeChar has just moved
      // past it, so FPosition is at least 1.
      --FPosition;
    }
  }
}

void TTextStream::Close() noexcept {
  if (FMode == TMode::Closed) return;
  if (FMode == TMode::Output && FPosition > 0 && !WriteOut()) return;
  if (!IsStandard()) {
    const std::int32_t failure = CloseHandle(FHandle);
    if (failure != 0) StoreFailureNumber(failure);
  }
  FHandle = kNoHandle;
  FMode = TMode::Closed;
  FWriteOutAtLineEnd = false;
  FPosition = 0;
  FEnd = 0;
}

std::size_t TTextStream::BufferedBytes() const noexcept {
  switch (FMode) {
    case TMode::Output:
      return FPosition;
    case TMode::Input:
      return FEnd - FPosition;
    case TMode::Closed:
      break;
  }
  return 0;
}

TTextStream& StandardOutput() noexcept {
  static TTextStream stream;
  return stream;
}

TTextStream& StandardInput() noexcept {
  static TTextStream stream;
  return stream;
}

void FlushStandardOutput() noexcept {
  const std::int32_t pending = TakeFailureNumber();
  StandardOutput().Flush();
  StoreFailureNumber(pending);
}

std::int32_t CloseStandardStreams() noexcept {
  StandardInput().Close();
  TakeFailureNumber();
  StandardOutput().Close();
  return TakeFailureNumber();
}

}  // namespace modsin
