#include "app/ExceptionFault.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace modsin {
namespace {

struct TKnownException {
  DWORD FCode;
  TFaultKind FKind;
};

constexpr TKnownException kKnownExceptions[] = {
    {EXCEPTION_STACK_OVERFLOW, TFaultKind::StackOverflow},
    {EXCEPTION_FLT_DIVIDE_BY_ZERO, TFaultKind::ZeroDivide},
    {EXCEPTION_FLT_OVERFLOW, TFaultKind::Overflow},
    {EXCEPTION_FLT_UNDERFLOW, TFaultKind::Underflow},
    {EXCEPTION_FLT_DENORMAL_OPERAND, TFaultKind::Underflow},
    {EXCEPTION_FLT_INVALID_OPERATION, TFaultKind::InvalidOp},
    {EXCEPTION_FLT_STACK_CHECK, TFaultKind::InvalidOp},
    {EXCEPTION_FLT_INEXACT_RESULT, TFaultKind::InvalidOp},
    {EXCEPTION_INT_DIVIDE_BY_ZERO, TFaultKind::DivByZero},
    {EXCEPTION_INT_OVERFLOW, TFaultKind::IntOverflow},
    {EXCEPTION_ARRAY_BOUNDS_EXCEEDED, TFaultKind::RangeError},
    {EXCEPTION_PRIV_INSTRUCTION, TFaultKind::Privilege},
    {CONTROL_C_EXIT, TFaultKind::ControlC},
};

// The first information word of an access violation: 0 read, 1 write, 8 the
// execution of a page that holds no code.
constexpr std::uintptr_t kWriteAccess = 1;

}  // namespace

TProcessorFault DescribeException(std::uint32_t code, const void* location,
                                  const std::uintptr_t* information, std::size_t count) noexcept {
  if (code == EXCEPTION_ACCESS_VIOLATION) {
    const bool write = count >= 1 && information[0] == kWriteAccess;
    return AccessViolation(location, write, count >= 2 ? information[1] : 0);
  }
  for (const TKnownException& known : kKnownExceptions) {
    if (known.FCode == code) return KnownFault(known.FKind, location);
  }
  return ExternalException(code, location);
}

}  // namespace modsin
