// Structured exceptions mapped onto the processor-fault table.
#include "app/ExceptionFault.h"

#define WIN32_LEAN_AND_MEAN
#include <gtest/gtest.h>
#include <windows.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/ModuleMap.h"

namespace modsin {
namespace {

// An instruction address inside the test program, a module of its own.
const void* const kHere = reinterpret_cast<const void*>(&DescribeException);

// "<kind>: <message>" for the exception.
std::string Describe(DWORD code, std::uintptr_t access = 0, std::uintptr_t accessed = 0x10,
                     const void* location = kHere) {
  NoteLoadedModules();
  const std::uintptr_t information[] = {access, accessed};
  const TProcessorFault fault = DescribeException(code, location, information, 2);
  EXPECT_EQ(location, fault.FLocation);
  return std::string(fault.FKind) + ": " + std::string(fault.FMessage.View());
}

TEST(ExceptionFault, FixedKinds) {
  struct TCase {
    DWORD FCode;
    const char* FFailure;
  };
  const TCase cases[] = {
      {EXCEPTION_FLT_DIVIDE_BY_ZERO, "EZeroDivide: Floating point division by zero"},
      {EXCEPTION_FLT_OVERFLOW, "EOverflow: Floating point overflow"},
      {EXCEPTION_FLT_UNDERFLOW, "EUnderflow: Floating point underflow"},
      {EXCEPTION_FLT_DENORMAL_OPERAND, "EUnderflow: Floating point underflow"},
      {EXCEPTION_FLT_INVALID_OPERATION, "EInvalidOp: Invalid floating point operation"},
      {EXCEPTION_FLT_STACK_CHECK, "EInvalidOp: Invalid floating point operation"},
      {EXCEPTION_FLT_INEXACT_RESULT, "EInvalidOp: Invalid floating point operation"},
      {EXCEPTION_INT_DIVIDE_BY_ZERO, "EDivByZero: Division by zero"},
      {EXCEPTION_INT_OVERFLOW, "EIntOverflow: Integer overflow"},
      {EXCEPTION_ARRAY_BOUNDS_EXCEEDED, "ERangeError: Range check error"},
      {EXCEPTION_PRIV_INSTRUCTION, "EPrivilege: Privileged instruction"},
      {CONTROL_C_EXIT, "EControlC: Control-C hit"},
      {EXCEPTION_STACK_OVERFLOW, "EStackOverflow: Stack overflow"},
      {EXCEPTION_ILLEGAL_INSTRUCTION, "EExternalException: External exception C000001D"},
      {0xE06D7363, "EExternalException: External exception E06D7363"},
      {1, "EExternalException: External exception 1"},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(c.FFailure, Describe(c.FCode)) << std::hex << c.FCode;
}

// Addresses are written at the full pointer width: 16 digits in the 64-bit
// build, 8 in the 32-bit one.
#ifdef _WIN64
constexpr int kAddressDigits = 16;
#else
constexpr int kAddressDigits = 8;
#endif

std::string Hex(std::uintptr_t address) {
  char text[24];
  std::snprintf(text, sizeof text, "%0*" PRIXPTR, kAddressDigits, address);
  return text;
}

TEST(ExceptionFault, AccessViolations) {
  NoteLoadedModules();
  const std::string inModule = "EAccessViolation: Access violation at address " +
                               Hex(reinterpret_cast<std::uintptr_t>(kHere)) + " in module '" +
                               std::string(ExecutableName()) + "'. ";
  EXPECT_EQ("app_test.exe", ExecutableName());
  EXPECT_EQ(inModule + "Read of address " + Hex(0x10), Describe(EXCEPTION_ACCESS_VIOLATION, 0));
  EXPECT_EQ(inModule + "Write of address " + Hex(0x10), Describe(EXCEPTION_ACCESS_VIOLATION, 1));
  EXPECT_EQ(inModule + "Read of address " + Hex(0x0BADF00D),
            Describe(EXCEPTION_ACCESS_VIOLATION, 8, 0x0BADF00D));
  // No module holds the first page: the message names none.
  EXPECT_EQ("EAccessViolation: Access violation at address " + Hex(0x1000) + ". Write of address " +
                Hex(0x10),
            Describe(EXCEPTION_ACCESS_VIOLATION, 1, 0x10, reinterpret_cast<const void*>(0x1000)));
#ifdef _WIN64
  // An address above 4 GiB keeps its upper half.
  EXPECT_EQ(inModule + "Read of address 00007FF612345678",
            Describe(EXCEPTION_ACCESS_VIOLATION, 0, 0x00007FF612345678));
#endif
}

}  // namespace
}  // namespace modsin
