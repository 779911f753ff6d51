// Any bytes as standard input, served in reads of at most the size the first
// byte names: a line read ends at the first LF, at the end of input or before a
// byte 0x1A, consumes nothing beyond it, and every read lands inside the
// stream's own buffer. After an end of input or a 0x1A every later read ends at
// once without asking the system for more.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz/FuzzCheck.h"
#include "textio/Platform.h"
#include "textio/TextStream.h"

namespace modsin::fuzz {
namespace {

constexpr unsigned char kEndOfFileMark = 0x1A;

// The input being served, and where the stream under test lives.
struct TInput {
  const std::uint8_t* FBytes = nullptr;
  std::size_t FSize = 0;
  std::size_t FServed = 0;
  std::size_t FMostPerRead = 0;
  const char* FStreamBegin = nullptr;
  const char* FStreamEnd = nullptr;
  int FReadCalls = 0;
};

TInput gInput;

// Standard input is this handle, a pipe.
constexpr THandle kInput = 0;

std::ptrdiff_t ServeRead(THandle handle, void* data, std::size_t size) {
  ++gInput.FReadCalls;
  Require(handle == kInput, "reads come from standard input");
  const char* target = static_cast<const char*>(data);
  Require(size <= TTextStream::kBufferSize, "a read asks for at most a buffer");
  Require(target >= gInput.FStreamBegin && target + size <= gInput.FStreamEnd,
          "a read lands inside the stream");
  const std::size_t count = std::min({size, gInput.FMostPerRead, gInput.FSize - gInput.FServed});
  std::memcpy(data, gInput.FBytes + gInput.FServed, count);
  gInput.FServed += count;
  return static_cast<std::ptrdiff_t>(count);
}

THandle InputHandle(TStandardHandle /*which*/) {
  return kInput;
}

TFileType PipeType(THandle /*handle*/) {
  return TFileType::Other;
}

// How the first line of the input ends.
struct TLineEnd {
  enum class TKind { LineFeed, EndOfFileMark, EndOfInput } FKind;
  std::size_t FConsumed;  // the bytes a line read takes: a 0x1A stays unread
};

TLineEnd FirstLineEnd(const std::uint8_t* bytes, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    if (bytes[i] == '\n') return {TLineEnd::TKind::LineFeed, i + 1};
    if (bytes[i] == kEndOfFileMark) return {TLineEnd::TKind::EndOfFileMark, i};
  }
  return {TLineEnd::TKind::EndOfInput, size};
}

}  // namespace
}  // namespace modsin::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace modsin;
  using namespace modsin::fuzz;
  if (size < 1) return 0;
  TSystemCalls calls = RealSystemCalls();
  calls.Standard = &InputHandle;
  calls.Read = &ServeRead;
  calls.Type = &PipeType;
  const TSystemCallsOverride override(calls);

  // On the heap, so that the sanitizer sees a read past its end.
  const auto stream = std::make_unique<TTextStream>();
  gInput = TInput{};
  gInput.FMostPerRead = data[0] == 0 ? TTextStream::kBufferSize : data[0];
  gInput.FBytes = data + 1;
  gInput.FSize = size - 1;
  gInput.FStreamBegin = reinterpret_cast<const char*>(stream.get());
  gInput.FStreamEnd = gInput.FStreamBegin + sizeof(TTextStream);

  stream->ReadLine();
  Require(stream->Mode() == TTextStream::TMode::Input, "the stream is bound to standard input");
  const TLineEnd end = FirstLineEnd(gInput.FBytes, gInput.FSize);
  const std::size_t buffered = stream->BufferedBytes();
  Require(buffered <= TTextStream::kBufferSize, "the buffer holds at most its size");
  if (end.FKind == TLineEnd::TKind::EndOfInput) {
    // All was read, and the mark stored at the end is all that is left.
    Require(gInput.FServed == gInput.FSize && buffered == 1, "the read ends at the end of input");
  } else {
    Require(gInput.FServed - buffered == end.FConsumed,
            "the read ends at the first line end or 0x1A");
  }

  // Once the input ended or a 0x1A stopped the read, the next read ends at
  // once, without a system call.
  if (end.FKind != TLineEnd::TKind::LineFeed) {
    const int readCalls = gInput.FReadCalls;
    stream->ReadLine();
    Require(gInput.FReadCalls == readCalls && stream->BufferedBytes() == buffered,
            "after the end every read ends at once");
  }
  return 0;
}
