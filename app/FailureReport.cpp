#include "app/FailureReport.h"

#include <atomic>
#include <csignal>
#include <cstddef>

#include "app/ModuleMap.h"
#include "base/CaughtFailure.h"
#include "base/FixedText.h"
#include "numeric/FloatEnvironment.h"
#include "textio/Platform.h"

namespace modsin {
namespace {

// Digits of the code location's offset: a 32-bit offset in hexadecimal.
constexpr int kOffsetDigits = 8;
// The first line is 35 fixed bytes (the offset's 8 digits among them), the
// kind and a module name of at most 255 bytes; the longest message is a
// processor fault's that names a module (under 400 bytes). 1 KiB leaves room
// for a long kind name; what does not fit is cut, and the closing CR LF is
// written apart, so it is never lost.
constexpr std::size_t kReportCapacity = 1024;

std::atomic<TStandardOutputFlush> gFlush{nullptr};
static_assert(std::atomic<TStandardOutputFlush>::is_always_lock_free,
              "the hook is read inside signal handlers");
volatile std::sig_atomic_t gReported = 0;

// Asks for the standard output handle anew for each write, and ignores a
// failure: there is nowhere left to report it.
void WriteToStandardOutput(std::string_view bytes) noexcept {
  static_cast<void>(WriteAll(StandardHandle(TStandardHandle::Output), bytes.data(), bytes.size()));
}

void RunStandardOutputFlush() noexcept {
  const TStandardOutputFlush flush = gFlush.load();
  if (flush == nullptr) return;
  try {
    flush();
  } catch (...) {
    // The report goes out whatever became of the text before it.
  }
}

}  // namespace

void InitFailureReport() noexcept {
  NoteLoadedModules();
}

void SetStandardOutputFlush(TStandardOutputFlush flush) noexcept {
  gFlush.store(flush);
}

void ReportFailure(std::string_view kind, std::string_view message, const void* location) noexcept {
  if (gReported != 0) return;
  gReported = 1;
  EstablishFloatEnvironment();
  RunStandardOutputFlush();

  const TCodeLocation where = LocateCode(location);
  TFixedText<kReportCapacity> report;
  report.Append("Exception ");
  report.Append(kind);
  report.Append(" in module ");
  report.Append(where.FModule);
  report.Append(" at ");
  report.AppendHex(where.FOffset, kOffsetDigits);
  report.Append(".\n");
  report.Append(message);
  if (!message.empty() && message.back() != '.') report.Append(".");
  WriteToStandardOutput(report.View());
  WriteToStandardOutput("\r\n");
}

void ReportCaughtFailure() noexcept {
  const TCaughtFailure failure = DescribeCaughtFailure();
  ReportFailure(failure.FKind, failure.FMessage, failure.FLocation);
}

}  // namespace modsin
