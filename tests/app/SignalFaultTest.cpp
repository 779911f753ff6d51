#include "app/SignalFault.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "app/ModuleMap.h"

namespace modsin {
namespace {

// Instruction bytes that the fault handler reads at a general protection
// fault. They lie in the test program, a module noted at start-up.
constexpr std::uint8_t kHalt[] = {0xF4};
constexpr std::uint8_t kRepeatedIn[] = {0xF3, 0x6C};  // rep insb
constexpr std::uint8_t kReadMsr[] = {0x0F, 0x32};
// One of each other privileged instruction the handler knows, some behind
// prefixes: cli, sti, in, out, outs, clts, invd, wbinvd, mov from cr0,
// mov to dr3, wrmsr.
constexpr std::uint8_t kPrivileged[][4] = {
    {0xFA},       {0xFB},       {0xE4, 0x60}, {0x66, 0xEF},       {0xF3, 0x6F}, {0x0F, 0x06},
    {0x0F, 0x08}, {0x0F, 0x09}, {0x0F, 0x20}, {0x48, 0x0F, 0x23}, {0x0F, 0x30},
};
// General protection faults at ordinary instructions: syscall-like 0F 05,
// ud2 0F 0B, and a load behind a segment prefix.
constexpr std::uint8_t kOrdinary[][4] = {{0x0F, 0x05}, {0x0F, 0x0B}, {0x64, 0x8B, 0x00}};
constexpr std::uint8_t kMove[] = {0x48, 0x8B, 0x00};  // mov rax, [rax]
// hlt behind prefixes: 14 make the longest instruction, 15 one that the
// processor refuses for its length alone.
constexpr std::array<std::uint8_t, 16> HaltBehindPrefixes(int count) {
  std::array<std::uint8_t, 16> code{};
  for (int i = 0; i < count; ++i)
    code[static_cast<std::size_t>(i)] = 0x66;
  code[static_cast<std::size_t>(count)] = 0xF4;
  return code;
}
constexpr auto kLongestHalt = HaltBehindPrefixes(14);
constexpr auto kTooLongHalt = HaltBehindPrefixes(15);

constexpr std::uintptr_t kStackPointer = 0x7FFF'0000'0000;
constexpr std::size_t kStackLimit = 8 << 20;
constexpr std::size_t kMiB = 1 << 20;
constexpr greg_t kPageFault = 14;
constexpr greg_t kGeneralProtection = 13;
constexpr greg_t kWriteAccess = 0x2;

struct TFault {
  int FSignal;
  int FCode;
  greg_t FTrap = kPageFault;
  greg_t FError = 0;
  std::uintptr_t FAccessed = 0x10;
  const void* FInstruction = kMove;
  std::uintptr_t FStackTop = kStackPointer + kMiB;
};

// "<kind>: <message>" for the fault, with the main stack's top as given.
std::string Describe(const TFault& f) {
  NoteLoadedModules();
  siginfo_t info{};
  info.si_signo = f.FSignal;
  info.si_code = f.FCode;
  info.si_addr = reinterpret_cast<void*>(f.FAccessed);
  ucontext_t context{};
  context.uc_mcontext.gregs[REG_RIP] = reinterpret_cast<greg_t>(f.FInstruction);
  context.uc_mcontext.gregs[REG_RSP] = static_cast<greg_t>(kStackPointer);
  context.uc_mcontext.gregs[REG_TRAPNO] = f.FTrap;
  context.uc_mcontext.gregs[REG_ERR] = f.FError;
  const TProcessorFault fault = DescribeProcessorFault(info, context, {f.FStackTop, kStackLimit});
  EXPECT_EQ(f.FInstruction, fault.FLocation);
  return std::string(fault.FKind) + ": " + std::string(fault.FMessage.View());
}

std::string Address(const void* address) {
  char text[32];
  std::snprintf(text, sizeof text, "%016" PRIXPTR, reinterpret_cast<std::uintptr_t>(address));
  return text;
}

TEST(ProcessorFault, ArithmeticFaults) {
  EXPECT_EQ("EDivByZero: Division by zero", Describe({SIGFPE, FPE_INTDIV}));
  EXPECT_EQ("EIntOverflow: Integer overflow", Describe({SIGFPE, FPE_INTOVF}));
  EXPECT_EQ("EZeroDivide: Floating point division by zero", Describe({SIGFPE, FPE_FLTDIV}));
  EXPECT_EQ("EOverflow: Floating point overflow", Describe({SIGFPE, FPE_FLTOVF}));
  EXPECT_EQ("EUnderflow: Floating point underflow", Describe({SIGFPE, FPE_FLTUND}));
  EXPECT_EQ("EInvalidOp: Invalid floating point operation", Describe({SIGFPE, FPE_FLTINV}));
  EXPECT_EQ("EInvalidOp: Invalid floating point operation", Describe({SIGFPE, FPE_FLTRES}));
  EXPECT_EQ("ERangeError: Range check error", Describe({SIGFPE, FPE_FLTSUB}));
  EXPECT_EQ("EExternalException: External exception 8000E", Describe({SIGFPE, FPE_FLTUNK}));
}

TEST(ProcessorFault, InstructionFaults) {
  EXPECT_EQ("EPrivilege: Privileged instruction", Describe({SIGILL, ILL_PRVOPC}));
  EXPECT_EQ("EPrivilege: Privileged instruction", Describe({SIGILL, ILL_PRVREG}));
  EXPECT_EQ("EExternalException: External exception 40001", Describe({SIGILL, ILL_ILLOPC}));
  const TFault generalProtection{SIGSEGV, SI_KERNEL, kGeneralProtection, 0, 0};
  for (const void* code : {kHalt, kRepeatedIn, kReadMsr, kLongestHalt.data()}) {
    TFault fault = generalProtection;
    fault.FInstruction = code;
    EXPECT_EQ("EPrivilege: Privileged instruction", Describe(fault));
  }
  for (const auto& code : kPrivileged) {
    TFault fault = generalProtection;
    fault.FInstruction = code;
    EXPECT_EQ("EPrivilege: Privileged instruction", Describe(fault))
        << std::hex << int{code[0]} << " " << int{code[1]};
  }
  for (const auto& code : kOrdinary) {
    TFault fault = generalProtection;
    fault.FInstruction = code;
    EXPECT_EQ(0u, Describe(fault).find("EAccessViolation: ")) << std::hex << int{code[0]};
  }
  TFault tooLong = generalProtection;
  tooLong.FInstruction = kTooLongHalt.data();
  EXPECT_EQ(0u, Describe(tooLong).find("EAccessViolation: "));
}

TEST(ProcessorFault, SignalsSentByAProcessAreExternal) {
  EXPECT_EQ("EExternalException: External exception B0000", Describe({SIGSEGV, SI_USER}));
  EXPECT_EQ("EExternalException: External exception 4FFFA", Describe({SIGILL, SI_TKILL}));
}

TEST(ProcessorFault, AccessViolations) {
  NoteLoadedModules();
  const std::string module(ExecutableName());
  const std::string at = "EAccessViolation: Access violation at address " + Address(kMove);
  EXPECT_EQ(at + " in module '" + module + "'. Read of address 0000000000000010",
            Describe({SIGSEGV, SEGV_MAPERR}));
  EXPECT_EQ(at + " in module '" + module + "'. Write of address 0000000000000010",
            Describe({SIGSEGV, SEGV_ACCERR, kPageFault, kWriteAccess}));
  EXPECT_EQ(at + " in module '" + module + "'. Write of address 0000000000000010",
            Describe({SIGBUS, BUS_ADRERR, kPageFault, kWriteAccess}));
  // An address outside the canonical range faults with no address to give.
  EXPECT_EQ(at + " in module '" + module + "'. Read of address 0000000000000000",
            Describe({SIGSEGV, SI_KERNEL, kGeneralProtection, 0, 0}));
  // The error code is a page fault's only.
  EXPECT_EQ(at + " in module '" + module + "'. Read of address 0000000000000000",
            Describe({SIGSEGV, SI_KERNEL, kGeneralProtection, kWriteAccess, 0}));
  const auto* unknown = reinterpret_cast<const void*>(0x1000);
  EXPECT_EQ(
      "EAccessViolation: Access violation at address 0000000000001000. "
      "Read of address 0000000000000010",
      Describe({SIGSEGV, SEGV_MAPERR, kPageFault, 0, 0x10, unknown}));
}

// The handler's reach: so far from the stack pointer an access is the stack's.
constexpr std::uintptr_t kReach = 64 << 10;

TEST(ProcessorFault, StackOverflow) {
  const std::string overflow = "EStackOverflow: Stack overflow";
  EXPECT_EQ(overflow,
            Describe({SIGSEGV, SEGV_MAPERR, kPageFault, kWriteAccess, kStackPointer - kReach}));
  EXPECT_NE(overflow, Describe({SIGSEGV, SEGV_MAPERR, kPageFault, 0, kStackPointer - kReach - 1}));
  EXPECT_EQ(overflow, Describe({SIGSEGV, SEGV_ACCERR, kPageFault, 0, kStackPointer}));
  // Within the reach above it, also off the main stack (its top lies below).
  EXPECT_EQ(overflow, Describe({SIGSEGV, SEGV_MAPERR, kPageFault, 0, kStackPointer + kReach, kMove,
                                kStackPointer - kMiB}));
  // A large frame, first touched far above the stack pointer but below the top.
  EXPECT_EQ(overflow, Describe({SIGSEGV, SEGV_MAPERR, kPageFault, 0, kStackPointer + kMiB / 2}));
  EXPECT_NE(overflow, Describe({SIGSEGV, SEGV_MAPERR, kPageFault, 0, kStackPointer + 2 * kMiB}));
  // The stack pointer is not on the main stack (the top lies below it).
  EXPECT_NE(overflow, Describe({SIGSEGV, SEGV_MAPERR, kPageFault, 0, kStackPointer + kReach + 1,
                                kMove, kStackPointer - kMiB}));
}

}  // namespace
}  // namespace modsin
