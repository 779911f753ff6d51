// How a processor fault that Windows raises as a structured exception becomes
// a failure to report (ProcessorFault.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "app/ProcessorFault.h"

namespace modsin {

// Maps an exception, given by the fields of its record, to its failure:
//   access violation          EAccessViolation, a write when the first
//                             information word is 1, else a read, of the
//                             address in the second
//   stack overflow            EStackOverflow
//   float division by zero    EZeroDivide
//   float overflow            EOverflow
//   float underflow, denormal operand
//                             EUnderflow
//   float invalid operation, stack check, inexact result
//                             EInvalidOp
//   integer division by zero  EDivByZero
//   integer overflow          EIntOverflow
//   array bounds exceeded     ERangeError
//   privileged instruction    EPrivilege
//   control-C exit            EControlC
//   any other code            EExternalException "External exception <code>"
// The location is the exception's address. Allocates nothing.
TProcessorFault DescribeException(std::uint32_t code, const void* location,
                                  const std::uintptr_t* information, std::size_t count) noexcept;

}  // namespace modsin
