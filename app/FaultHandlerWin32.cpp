#include "app/FaultHandler.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "app/ExceptionFault.h"
#include "app/FailureReport.h"

namespace modsin {
namespace {

// Stack that the system keeps for the filter after a stack overflow: the
// report and its buffers take a few KiB.
constexpr ULONG kStackGuarantee = 64 * 1024;

volatile LONG gHandlingFault = 0;

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
  // A fault while reporting one.
  if (::InterlockedExchange(&gHandlingFault, 1) != 0) ::ExitProcess(kFailureExitCode);
  const EXCEPTION_RECORD& record = *pointers->ExceptionRecord;
  std::uintptr_t information[EXCEPTION_MAXIMUM_PARAMETERS] = {};
  const std::size_t count =
      std::min<std::size_t>(record.NumberParameters, EXCEPTION_MAXIMUM_PARAMETERS);
  std::copy_n(record.ExceptionInformation, count, information);
  const TProcessorFault fault =
      DescribeException(record.ExceptionCode, record.ExceptionAddress, information, count);
  ReportFailure(fault.FKind, fault.FMessage.View(), fault.FLocation);
  ::ExitProcess(kFailureExitCode);
}

}  // namespace

void InstallFaultHandler() noexcept {
  ULONG guarantee = kStackGuarantee;
  ::SetThreadStackGuarantee(&guarantee);
  ::SetUnhandledExceptionFilter(OnUnhandledException);
}

}  // namespace modsin
