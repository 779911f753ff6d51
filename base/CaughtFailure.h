// What a program's outermost handler knows of the failure it caught: the
// failure's kind, message and code location, whatever was thrown.
#pragma once

#include <string_view>

namespace modsin {

struct TCaughtFailure {
  std::string_view FKind;     // the class name, as ClassName() gives it
  std::string_view FMessage;  // at most Exception::kMaxMessage bytes
  const void* FLocation;      // nullptr when unknown
};

// Describes the failure in flight; call it only inside a catch block. A
// modsin::Exception is taken as it is; std::bad_alloc is EOutOfMemory; any
// other std::exception is "Exception" with its what(); anything else is
// "Exception" with "Unknown exception". The texts point into the failure or
// into static storage: they stay valid until the catch block ends. Allocates
// nothing.
TCaughtFailure DescribeCaughtFailure() noexcept;

}  // namespace modsin
