// The floating-point failures. Each trapped condition (invalid operation,
// division by zero, overflow) raises one of these before a NaN or an infinity
// can be used or stored.
#pragma once

#include "base/Exception.h"

namespace modsin {

class EMathError : public EExternal {
 public:
  using EExternal::EExternal;
  const char* ClassName() const noexcept override { return "EMathError"; }
};

class EInvalidOp : public EMathError {
 public:
  EInvalidOp() noexcept : EMathError("Invalid floating point operation") {}
  const char* ClassName() const noexcept override { return "EInvalidOp"; }
};

class EZeroDivide : public EMathError {
 public:
  EZeroDivide() noexcept : EMathError("Floating point division by zero") {}
  const char* ClassName() const noexcept override { return "EZeroDivide"; }
};

class EOverflow : public EMathError {
 public:
  EOverflow() noexcept : EMathError("Floating point overflow") {}
  const char* ClassName() const noexcept override { return "EOverflow"; }
};

// Never raised by the arithmetic (underflow is not trapped); a processor
// fault reported as a floating-point underflow becomes this kind.
class EUnderflow : public EMathError {
 public:
  EUnderflow() noexcept : EMathError("Floating point underflow") {}
  const char* ClassName() const noexcept override { return "EUnderflow"; }
};

}  // namespace modsin
