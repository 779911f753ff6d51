#include "app/FaultHandler.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "app/ExceptionFault.h"
#include "app/FailureReport.h"

namespace modsin {
namespace {

// The report and its buffers take a few KiB of stack, more than a thread has
// left after a stack overflow: the report is made on a thread of its own.
constexpr SIZE_T kReportStack = 64 * 1024;
// What the main thread keeps of its stack for its own overflow: the system's
// dispatch of the exception, this filter and the start of the reporting
// thread all run on what is left of it. By default a thread keeps a page or
// two, which the 64-bit dispatch alone overruns: a second overflow inside the
// dispatch ends the process without a report.
constexpr ULONG kOverflowReserve = 64 * 1024;

volatile LONG gHandlingFault = 0;

DWORD WINAPI Report(void* exception) {
  const EXCEPTION_RECORD& record = *static_cast<const EXCEPTION_RECORD*>(exception);
  std::uintptr_t information[EXCEPTION_MAXIMUM_PARAMETERS] = {};
  const std::size_t count =
      std::min<std::size_t>(record.NumberParameters, EXCEPTION_MAXIMUM_PARAMETERS);
  std::copy_n(record.ExceptionInformation, count, information);
  const TProcessorFault fault =
      DescribeException(record.ExceptionCode, record.ExceptionAddress, information, count);
  ReportFailure(fault.FKind, fault.FMessage.View(), fault.FLocation);
  return 0;
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
  // A fault while reporting one.
  if (::InterlockedExchange(&gHandlingFault, 1) != 0) ::ExitProcess(kFailureExitCode);
  const HANDLE reporter =
      ::CreateThread(nullptr, kReportStack, Report, pointers->ExceptionRecord, 0, nullptr);
  if (reporter != nullptr) {
    ::WaitForSingleObject(reporter, INFINITE);
  } else {
    Report(pointers->ExceptionRecord);  // no thread to be had: try on this one
  }
  ::ExitProcess(kFailureExitCode);
}

// Keeps kOverflowReserve bytes at the end of the calling thread's stack for
// the handling of its overflow. Windows commits a stack as it grows, behind a
// guard page that moves down with it, and the guarantee alone keeps the
// reserve. Wine commits the whole stack at once and guards only its last
// pages, where the overflow would come with a page or two left whatever the
// guarantee: a guard page at the reserve's upper end brings it there. On
// Windows that page is not committed yet, and VirtualProtect leaves it alone.
void KeepOverflowReserve() noexcept {
  ULONG reserve = kOverflowReserve;
  ::SetThreadStackGuarantee(&reserve);
  MEMORY_BASIC_INFORMATION stack{};
  if (::VirtualQuery(&stack, &stack, sizeof stack) != 0) {
    DWORD previous = 0;
    ::VirtualProtect(static_cast<char*>(stack.AllocationBase) + kOverflowReserve, 1,
                     PAGE_READWRITE | PAGE_GUARD, &previous);
  }
}

}  // namespace

void InstallFaultHandler() noexcept {
  KeepOverflowReserve();
  ::SetUnhandledExceptionFilter(OnUnhandledException);
}

}  // namespace modsin
