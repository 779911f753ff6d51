// modsin-table: one tabulation with the parameters of the command line,
// written as a node table or as CSV to a file or standard output. Standard
// error carries one line when, and only when, no table was written.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/CaughtFailure.h"
#include "calc/Tabulate.h"
#include "numeric/FloatEnvironment.h"
#include "table/CommandLine.h"
#include "table/Message.h"
#include "table/OutputFile.h"
#include "table/TableWriter.h"
#include "textio/InOutError.h"
#include "textio/Platform.h"

namespace modsin {
namespace {

// The exit codes.
constexpr int kWritten = 0;
constexpr int kRaisedFailure = 1;
constexpr int kUsageError = 2;
constexpr int kStatusNotZero = 3;

constexpr std::string_view kVersionLine = "modsin-table " MODSIN_VERSION "\n";
// A file name in a message is cut beyond this.
constexpr std::size_t kFileNameLimit = 512;

void WriteToStandardOutput(std::string_view text) {
  TOutputFile out("");
  out.Write(text);
  out.Commit();
}

// The nodes are computed before the output is opened, so that a job that
// fails creates nothing, and written straight from the node list. The
// tabulator, and with it the node list, is gone by the time a raised failure
// is reported.
int Tabulate(const TTableJob& job) {
  try {
    TabulateNodes(job, [&job](const TNode* first, std::int32_t count) {
      TOutputFile out(job.FOutput);
      WriteTable(out, first, count, job.FFormat);
      out.Commit();
    });
  } catch (const EStatus& status) {
    TMessage message;
    message.Append("status ");
    AppendDecimal(message, status.Code());
    message.Append(": ");
    message.Append(status.what());
    WriteMessageLine(message);
    return kStatusNotZero;
  }
  return kWritten;
}

int Run(const TCommandLine& line) {
  switch (line.FCommand) {
    case TCommand::Help:
      WriteToStandardOutput(UsageText());
      return kWritten;
    case TCommand::Version:
      WriteToStandardOutput(kVersionLine);
      return kWritten;
    case TCommand::Tabulate:
      break;
  }
  return Tabulate(line.FJob);
}

// "<kind>: <message>", after "cannot write <file>: " for an input/output
// failure: the only ones are the output's.
// An empty file name is standard output.
void ReportRaisedFailure(std::optional<std::string_view> file) noexcept {
  const TCaughtFailure failure = DescribeCaughtFailure();
  TMessage message;
  if (file.has_value()) {
    message.Append("cannot write ");
    if (file->empty()) {
      message.Append("standard output");
    } else {
      AppendQuoted(message, *file, kFileNameLimit);
    }
    message.Append(": ");
  }
  message.Append(failure.FKind);
  message.Append(": ");
  message.Append(failure.FMessage);
  WriteMessageLine(message);
}

}  // namespace
}  // namespace modsin

int main(int argc, char** argv) {
  using namespace modsin;
  // No file opened later may take the number of a closed standard handle,
  // a reader that has gone is a write failure rather than a silent end, and
  // the numbers are computed in the one floating-point environment.
  PrepareStandardHandles();
  EstablishFloatEnvironment();

  TCommandLine line;
  try {
    line = ParseCommandLine(argc, argv);
    return Run(line);
  } catch (const EUsageError& failure) {
    TMessage message;
    message.Append(failure.what());
    message.Append("; see --help");
    WriteMessageLine(message);
    return kUsageError;
  } catch (const EInOutError&) {
    ReportRaisedFailure(line.FCommand == TCommand::Tabulate ? line.FJob.FOutput : "");
  } catch (...) {
    ReportRaisedFailure(std::nullopt);
  }
  return kRaisedFailure;
}
