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

}  // namespace

void InstallFaultHandler() noexcept {
  ::SetUnhandledExceptionFilter(OnUnhandledException);
}

}  // namespace modsin
