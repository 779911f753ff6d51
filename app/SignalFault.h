// How a processor fault that Linux delivers as a signal becomes a failure to
// report (ProcessorFault.h).
#pragma once

#include <signal.h>
#include <ucontext.h>

#include <cstddef>
#include <cstdint>

#include "app/ProcessorFault.h"

namespace modsin {

// Where the main thread's stack lies, noted at start-up: FTop is an address
// at or above every frame that may overflow, FLimit the most the stack may
// grow to (the soft stack size limit).
struct TStackBounds {
  std::uintptr_t FTop;
  std::size_t FLimit;
};

// Maps a fault to its failure:
//   SIGFPE  integer division by zero   EDivByZero "Division by zero"
//           integer overflow           EIntOverflow "Integer overflow"
//           float division by zero     EZeroDivide, float overflow EOverflow,
//           float underflow            EUnderflow (the processor reports a
//                                      subnormal operand as underflow too),
//           float invalid, inexact     EInvalidOp (an x87 stack fault is an
//                                      invalid operation),
//           float subscript range      ERangeError "Range check error"
//   SIGSEGV, SIGBUS at or just around the interrupted stack pointer, or
//           between it and the top of the main stack:
//                                      EStackOverflow "Stack overflow"
//           a privileged instruction (the processor raises a general
//           protection fault for it, which Linux delivers as SIGSEGV)
//                                      EPrivilege "Privileged instruction"
//           otherwise                  EAccessViolation "Access violation at
//             address <instruction> in module '<module>'. Read|Write of
//             address <accessed>", without the module part when no module
//             noted at start-up holds the instruction
//   SIGILL  privileged opcode/register EPrivilege "Privileged instruction"
//   anything else, and any signal sent by a process rather than raised by
//   the processor: EExternalException "External exception <code>", where
//   <code> is the signal number times 0x10000 plus the low 16 bits of si_code,
//   in upper-case hexadecimal without leading zeros (an undefined opcode,
//   SIGILL 4 with ILL_ILLOPN 2, gives "External exception 40002").
// Addresses are written at the full pointer width, 16 upper-case hexadecimal
// digits with leading zeros. The access is a write when the page-fault error
// code says so, else a read; a general protection fault (an address outside
// the canonical range) has no address and reports a read of 0. The location
// is the interrupted instruction; for an x87 fault that is the floating-point
// instruction after the one that failed, where the processor reports it.
// Async-signal-safe; allocates nothing.
TProcessorFault DescribeProcessorFault(const siginfo_t& info, const ucontext_t& context,
                                       const TStackBounds& mainStack) noexcept;

}  // namespace modsin
