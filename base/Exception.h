// The root of every failure that modsin raises, and the kinds that belong to
// no single subsystem. A failure carries its message and the code location
// that raised it; the program's outermost handler prints both.
#pragma once

#include <cstddef>
#include <exception>
#include <string_view>

namespace modsin {

// A failure may have to be raised when memory is exhausted, so it owns no heap
// memory: the message lives in a fixed buffer inside the object.
class Exception : public std::exception {
 public:
  // Longest message kept; a longer one is cut. The longest raised is 114
  // bytes, a usage error of modsin-table that quotes a value cut at 64 bytes
  // and names its range: "--max-nodes: '777...' is out of range 2 ..
  // 2147483647". (A processor fault's text, which may name a module path, is
  // never an Exception: the failure report builds it in a buffer of its own.)
  static constexpr std::size_t kMaxMessage = 255;

  explicit Exception(std::string_view message) noexcept;

  const char* what() const noexcept override { return FMessage; }
  // The failure kind's class name, as the failure report prints it.
  virtual const char* ClassName() const noexcept { return "Exception"; }

  // The code location that raised the failure, or nullptr when unknown.
  const void* Address() const noexcept { return FAddress; }
  void SetAddress(const void* address) noexcept { FAddress = address; }

 private:
  char FMessage[kMaxMessage + 1];
  const void* FAddress = nullptr;
};

// Failures that the platform or the processor reports.
class EExternal : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EExternal"; }
};

class EOutOfMemory : public Exception {
 public:
  EOutOfMemory() noexcept : Exception("Out of memory") {}
  const char* ClassName() const noexcept override { return "EOutOfMemory"; }
};

// Raises a failure of kind E built from args, with the caller's code location
// as the place it was raised. Kept out of line so that its return address is a
// point in the operation that detected the failure.
template <class E, class... Args>
[[noreturn, gnu::noinline]] void Raise(Args... args) {
  E failure(args...);
  failure.SetAddress(__builtin_extract_return_addr(__builtin_return_address(0)));
  throw failure;
}

// Raises E as if from the given code location.
template <class E, class... Args>
[[noreturn, gnu::noinline]] void RaiseAt(const void* address, Args... args) {
  E failure(args...);
  failure.SetAddress(address);
  throw failure;
}

}  // namespace modsin
