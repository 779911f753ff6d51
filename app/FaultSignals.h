// The process's signal dispositions: a processor fault ends the program with
// the failure report, and a write to a pipe whose reader has gone fails with
// EPIPE, which the streams raise as an I/O failure, instead of killing the
// process without a word.
#pragma once

namespace modsin {

// Ignores SIGPIPE and hands SIGSEGV, SIGBUS, SIGILL and SIGFPE to a handler
// that describes the fault (ProcessorFault.h), reports it with ReportFailure
// and ends the process with _exit(kFailureExitCode). The handler runs on a
// stack of its own, so that a stack overflow is reported too; it skips the
// exit sequence, which is sound because the report has written out the
// standard output buffer first. Call from main, after InitFailureReport: the
// main thread's stack is noted from the caller's frame. A fault inside the
// handler ends the process at once with the same exit code.
void InstallFaultSignals() noexcept;

}  // namespace modsin
