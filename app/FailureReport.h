// The report that ends the program after a failure that nothing caught: one
// line naming the failure's kind, module and code location, then its message,
// written straight to standard output.
#pragma once

#include <string_view>

namespace modsin {

// The exit code of a run that ended with a failure report.
inline constexpr int kFailureExitCode = 1;

// Writes out what the standard output stream's buffer holds, so that the
// report follows every text written before it. The hook runs inside signal
// handlers too, so it should only hand the bytes to write(); a failure it
// raises is ignored.
using TStandardOutputFlush = void (*)();

// Notes the loaded modules for naming code locations (see ModuleMap.h). Call
// first at start-up, before any failure can be reported.
void InitFailureReport() noexcept;

// Sets the hook that ReportFailure runs before it writes; nullptr for none.
void SetStandardOutputFlush(TStandardOutputFlush flush) noexcept;

// Reports a failure, once per run: resets the floating-point environment,
// runs the flush hook, then writes to the standard output handle, bypassing
// every buffer,
//   "Exception <kind> in module <module> at <offset>." LF
//   <message> ["." unless the message is empty or ends in "."] CR LF
// where <module> and <offset> (8 upper-case hexadecimal digits) name location
// as LocateCode does. A failed write is given up; a partial one (on Linux an
// interrupted one too) is resumed. A second call (a fault inside the report)
// writes nothing. Allocates nothing and is async-signal-safe. It does not end the process:
// the caller exits with kFailureExitCode.
void ReportFailure(std::string_view kind, std::string_view message, const void* location) noexcept;

// The program's outermost handler; call it only inside a catch block, as
//   catch (...) { ReportCaughtFailure(); return kFailureExitCode; }
// and let the normal exit sequence close the standard streams. It reports the
// failure in flight: a modsin::Exception by its kind, message and location;
// std::bad_alloc as EOutOfMemory; any other std::exception as "Exception" with
// its what(), cut to Exception::kMaxMessage bytes; anything else as
// "Exception" with "Unknown exception". The last three carry no location, so
// they name the executable at offset 00000000. Allocates nothing.
void ReportCaughtFailure() noexcept;

}  // namespace modsin
