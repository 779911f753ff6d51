// Processor faults end the program with the failure report and exit code 1.
// One source per platform: FaultHandlerPosix.cpp catches the fault signals,
// FaultHandlerWin32.cpp sets the unhandled-exception filter.
#pragma once

namespace modsin {

// Linux: hands SIGSEGV, SIGBUS, SIGILL and SIGFPE to a handler that describes
// the fault (SignalFault.h), reports it with ReportFailure and ends the
// process with _exit(kFailureExitCode). The handler runs on a stack of its
// own, so that a stack overflow is reported too; a fault inside the handler
// ends the process at once with the same exit code.
// Windows: sets the process's unhandled-exception filter, which describes the
// structured exception (ExceptionFault.h), reports it on a thread of its own
// (so that a stack overflow is reported too; the calling thread keeps 64 KiB
// of its stack for that overflow's handling) and ends the process with
// ExitProcess(kFailureExitCode). The system consults it only when no
// debugger is attached; with one, the fault is the debugger's.
// Either way the exit sequence is skipped, which is sound because the report
// has written out the standard output buffer first. Call from main, after
// InitFailureReport: on Linux the main thread's stack is noted from the
// caller's frame.
void InstallFaultHandler() noexcept;

}  // namespace modsin
