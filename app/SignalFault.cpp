#include "app/SignalFault.h"

#include "app/ModuleMap.h"

namespace modsin {
namespace {

// x86 exception vectors, as the kernel leaves them in REG_TRAPNO.
constexpr greg_t kGeneralProtectionTrap = 13;
constexpr greg_t kPageFaultTrap = 14;
// Bit 1 of a page fault's error code (REG_ERR) is set for a write access.
constexpr greg_t kPageFaultWriteBit = 0x2;
// How far from the stack pointer a faulting access still counts as running
// off the stack: a push or call touches 8 bytes below it, a stack probe one
// page (4 KiB) below, the 128-byte red zone lies below it too, and a new frame
// is touched above it. 64 KiB covers all of these with room to spare.
constexpr std::uintptr_t kStackReach = std::uintptr_t{64} * 1024;
// The external exception code: signal number in the high 16 bits, si_code in
// the low 16.
constexpr int kSignalShift = 16;
constexpr std::uint32_t kCodeMask = 0xFFFF;
// An x86 instruction is at most 15 bytes long.
constexpr int kMaxInstructionLength = 15;

TProcessorFault SignalException(const siginfo_t& info, const void* location) {
  return ExternalException((static_cast<std::uint32_t>(info.si_signo) << kSignalShift) |
                               (static_cast<std::uint32_t>(info.si_code) & kCodeMask),
                           location);
}

TProcessorFault ArithmeticFault(const siginfo_t& info, const void* location) {
  switch (info.si_code) {
    case FPE_INTDIV:
      return KnownFault(TFaultKind::DivByZero, location);
    case FPE_INTOVF:
      return KnownFault(TFaultKind::IntOverflow, location);
    case FPE_FLTDIV:
      return KnownFault(TFaultKind::ZeroDivide, location);
    case FPE_FLTOVF:
      return KnownFault(TFaultKind::Overflow, location);
    case FPE_FLTUND:
      return KnownFault(TFaultKind::Underflow, location);
    case FPE_FLTINV:
    case FPE_FLTRES:
      return KnownFault(TFaultKind::InvalidOp, location);
    case FPE_FLTSUB:
      return KnownFault(TFaultKind::RangeError, location);
    default:
      return SignalException(info, location);
  }
}

bool IsInstructionPrefix(std::uint8_t byte) {
  switch (byte) {
    case 0x26:
    case 0x2E:
    case 0x36:
    case 0x3E:
    case 0x64:
    case 0x65:  // segment
    case 0x66:
    case 0x67:  // operand, address size
    case 0xF0:
    case 0xF2:
    case 0xF3:  // lock, repeat
      return true;
    default:
      return (byte & 0xF0) == 0x40;  // REX
  }
}

// The instructions that only the kernel may run and that a program can meet
// by mistake: a jump into data, or hand-written assembly.
bool IsPrivilegedInstruction(const std::uint8_t* code) {
  int i = 0;
  while (i < kMaxInstructionLength - 1 && IsInstructionPrefix(code[i]))
    ++i;
  const std::uint8_t opcode = code[i];
  if (opcode == 0xF4 || opcode == 0xFA || opcode == 0xFB) return true;  // hlt, cli, sti
  if (opcode >= 0x6C && opcode <= 0x6F) return true;                    // ins, outs
  if ((opcode >= 0xE4 && opcode <= 0xE7) || (opcode >= 0xEC && opcode <= 0xEF)) {
    return true;  // in, out
  }
  if (opcode != 0x0F) return false;
  const std::uint8_t second = code[i + 1];
  return second == 0x06 || second == 0x08 || second == 0x09 ||  // clts, invd, wbinvd
         (second >= 0x20 && second <= 0x23) ||                  // mov to/from cr, dr
         second == 0x30 || second == 0x32;                      // wrmsr, rdmsr
}

bool IsStackOverflow(std::uintptr_t accessed, std::uintptr_t stackPointer,
                     const TStackBounds& mainStack) {
  if (accessed <= stackPointer) return stackPointer - accessed <= kStackReach;
  if (accessed - stackPointer <= kStackReach) return true;
  // A frame larger than the reach is first touched far above the stack
  // pointer; all that lies between it and the top is the stack itself.
  return mainStack.FTop >= stackPointer && mainStack.FTop - stackPointer <= mainStack.FLimit &&
         accessed <= mainStack.FTop;
}

TProcessorFault MemoryFault(const siginfo_t& info, const ucontext_t& context,
                            const TStackBounds& mainStack, const void* location) {
  const greg_t* registers = context.uc_mcontext.gregs;
  const auto accessed = reinterpret_cast<std::uintptr_t>(info.si_addr);
  const auto stackPointer = static_cast<std::uintptr_t>(registers[REG_RSP]);
  const TCodeLocation where = LocateCode(location);

  if (info.si_code == SI_KERNEL && registers[REG_TRAPNO] == kGeneralProtectionTrap &&
      where.FFound && IsPrivilegedInstruction(static_cast<const std::uint8_t*>(location))) {
    return KnownFault(TFaultKind::Privilege, location);
  }
  if (info.si_code != SI_KERNEL && IsStackOverflow(accessed, stackPointer, mainStack)) {
    return KnownFault(TFaultKind::StackOverflow, location);
  }
  const bool write =
      registers[REG_TRAPNO] == kPageFaultTrap && (registers[REG_ERR] & kPageFaultWriteBit) != 0;
  return AccessViolation(location, write, accessed);
}

}  // namespace

TProcessorFault DescribeProcessorFault(const siginfo_t& info, const ucontext_t& context,
                                       const TStackBounds& mainStack) noexcept {
  const auto* location = reinterpret_cast<const void*>(context.uc_mcontext.gregs[REG_RIP]);
  // A signal that a process sent carries no fault, only its number and code.
  if (info.si_code <= 0) return SignalException(info, location);
  switch (info.si_signo) {
    case SIGFPE:
      return ArithmeticFault(info, location);
    case SIGSEGV:
    case SIGBUS:
      return MemoryFault(info, context, mainStack, location);
    case SIGILL:
      if (info.si_code == ILL_PRVOPC || info.si_code == ILL_PRVREG) {
        return KnownFault(TFaultKind::Privilege, location);
      }
      return SignalException(info, location);
    default:
      return SignalException(info, location);
  }
}

}  // namespace modsin
