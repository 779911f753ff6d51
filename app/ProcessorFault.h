// How a processor fault becomes a failure to report: its kind, its message,
// and the faulting instruction as its code location. Each platform reads its
// own notification (SignalFault.h: a Linux signal; ExceptionFault.h: a
// Windows structured exception) and builds the failure with these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/FixedText.h"

namespace modsin {

// The longest message names two addresses and a module of at most 255 bytes.
inline constexpr std::size_t kMaxFaultMessage = 512;

struct TProcessorFault {
  std::string_view FKind;
  TFixedText<kMaxFaultMessage> FMessage;
  const void* FLocation;
};

// The faults whose kind and message are fixed.
enum class TFaultKind {
  InvalidOp,      // EInvalidOp "Invalid floating point operation"
  ZeroDivide,     // EZeroDivide "Floating point division by zero"
  Overflow,       // EOverflow "Floating point overflow"
  Underflow,      // EUnderflow "Floating point underflow"
  DivByZero,      // EDivByZero "Division by zero"
  IntOverflow,    // EIntOverflow "Integer overflow"
  RangeError,     // ERangeError "Range check error"
  Privilege,      // EPrivilege "Privileged instruction"
  ControlC,       // EControlC "Control-C hit"
  StackOverflow,  // EStackOverflow "Stack overflow"
};

TProcessorFault KnownFault(TFaultKind kind, const void* location) noexcept;

// EAccessViolation "Access violation at address <location> in module
// '<module>'. Read|Write of address <accessed>", without the module part when
// no module holds the location (ModuleMap.h). Addresses are written at the
// full pointer width in upper-case hexadecimal with leading zeros.
TProcessorFault AccessViolation(const void* location, bool write, std::uintptr_t accessed) noexcept;

// EExternalException "External exception <code>", the code in upper-case
// hexadecimal without leading zeros.
TProcessorFault ExternalException(std::uint32_t code, const void* location) noexcept;

}  // namespace modsin
