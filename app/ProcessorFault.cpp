#include "app/ProcessorFault.h"

#include "app/ModuleMap.h"
#include "numeric/MathError.h"

namespace modsin {
namespace {

TProcessorFault Fault(std::string_view kind, std::string_view message, const void* location) {
  TProcessorFault fault{kind, {}, location};
  fault.FMessage.Append(message);
  return fault;
}

// The kinds that numeric/ raises itself bring their own text.
template <class E>
TProcessorFault MathFault(const void* location) {
  const E failure;
  return Fault(failure.ClassName(), failure.what(), location);
}

}  // namespace

TProcessorFault KnownFault(TFaultKind kind, const void* location) noexcept {
  switch (kind) {
    case TFaultKind::InvalidOp:
      return MathFault<EInvalidOp>(location);
    case TFaultKind::ZeroDivide:
      return MathFault<EZeroDivide>(location);
    case TFaultKind::Overflow:
      return MathFault<EOverflow>(location);
    case TFaultKind::Underflow:
      return MathFault<EUnderflow>(location);
    case TFaultKind::DivByZero:
      return Fault("EDivByZero", "Division by zero", location);
    case TFaultKind::IntOverflow:
      return Fault("EIntOverflow", "Integer overflow", location);
    case TFaultKind::RangeError:
      return Fault("ERangeError", "Range check error", location);
    case TFaultKind::Privilege:
      return Fault("EPrivilege", "Privileged instruction", location);
    case TFaultKind::ControlC:
      return Fault("EControlC", "Control-C hit", location);
    case TFaultKind::StackOverflow:
      break;
  }
  return Fault("EStackOverflow", "Stack overflow", location);
}

TProcessorFault AccessViolation(const void* location, bool write,
                                std::uintptr_t accessed) noexcept {
  const TCodeLocation where = LocateCode(location);
  TProcessorFault fault = Fault("EAccessViolation", "Access violation at address ", location);
  fault.FMessage.AppendAddress(reinterpret_cast<std::uintptr_t>(location));
  if (where.FFound) {
    fault.FMessage.Append(" in module '");
    fault.FMessage.Append(where.FModule);
    fault.FMessage.Append("'");
  }
  fault.FMessage.Append(write ? ". Write of address " : ". Read of address ");
  fault.FMessage.AppendAddress(accessed);
  return fault;
}

TProcessorFault ExternalException(std::uint32_t code, const void* location) noexcept {
  TProcessorFault fault = Fault("EExternalException", "External exception ", location);
  fault.FMessage.AppendHex(code);
  return fault;
}

}  // namespace modsin
