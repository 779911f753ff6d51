// The modsin program: two built-in tabulation jobs on one tabulator, a status
// line after each step, one line read from standard input, then the exit.
// The command line is ignored. A raised failure ends the run with the failure
// report and exit code 1.
#include <cstdint>
#include <string>
#include <string_view>

#include "app/FailureReport.h"
#include "app/FaultHandler.h"
#include "calc/UnitCalcModSin.h"
#include "numeric/FloatEnvironment.h"
#include "textio/FailureNumber.h"
#include "textio/Platform.h"
#include "textio/TextStream.h"

namespace modsin {
namespace {

struct TJob {
  double xleft, xright;
  const char* tableFile;
};

// Both jobs tabulate sin(x^2) with an x resolution of 0.003 and a y
// tolerance of 0.005; the second reuses the first one's tabulator.
constexpr double kExponent = 2.0;
constexpr double kXResolution = 0.003;
constexpr double kYTolerance = 0.005;
constexpr TJob kJob1 = {0.0, 5.0, "ModSinOutput.dat"};
constexpr TJob kJob2 = {0.0, 10.0, "ModSinOutput2.dat"};

// Every console line is checked once it is complete, never in the middle.
void WriteStatusLine(std::string_view prefix, std::int32_t code, std::string_view msg) {
  TTextStream& out = StandardOutput();
  out.WriteString(prefix);
  out.WriteInteger(code);
  out.WriteString(", ");
  out.WriteString(msg);
  out.WriteLineEnd();
  InOutCheck();
}

void RunJob(TCalcModSinXoverY& calc, const TJob& job) {
  std::int32_t iNodes = 0;
  TNode* nodes = nullptr;
  std::int32_t code = 0;
  std::string msg;
  calc.CalculateXY(iNodes, nodes);
  TTextStream& out = StandardOutput();
  out.WriteString("iNodes: ");
  out.WriteInteger(iNodes);
  out.WriteLineEnd();
  InOutCheck();
  if (iNodes == 0 || nodes == nullptr) {
    calc.GetError(code, msg);
    WriteStatusLine("Error after CalculateXY --> ", code, msg);
  }
  calc.PrintToFile(job.tableFile);
  calc.GetError(code, msg);
  WriteStatusLine("Error after PrintToFile --> ", code, msg);
}

void RunJobs() {
  TCalcModSinXoverY calc(kJob1.xleft, kJob1.xright, kExponent, kXResolution, kYTolerance);
  RunJob(calc, kJob1);

  calc.SetValues(kJob2.xleft, kJob2.xright, kExponent, kXResolution, kYTolerance);
  std::int32_t code = 0;
  std::string msg;
  calc.GetError(code, msg);
  WriteStatusLine("Error after SetValues --> ", code, msg);
  RunJob(calc, kJob2);

  // Wait for Enter; what was typed is discarded.
  StandardInput().ReadLine();
  InOutCheck();
}

}  // namespace
}  // namespace modsin

int main() {
  using namespace modsin;
  // Before anything can fail: know the modules a report names, keep closed
  // standard handles from being reused by a table file, compute in the one
  // floating-point environment, and report processor faults.
  InitFailureReport();
  PrepareStandardHandles();
  EstablishFloatEnvironment();
  InstallFaultHandler();
  SetStandardOutputFlush(&FlushStandardOutput);

  int exitCode = 0;
  try {
    RunJobs();
  } catch (...) {
    ReportCaughtFailure();
    exitCode = kFailureExitCode;
  }
  // The exit sequence: the standard streams are closed, which writes out
  // what standard output still buffers. Text lost there can no longer be
  // reported, but it must not pass for a successful run.
  if (CloseStandardStreams() != 0) exitCode = kFailureExitCode;
  return exitCode;
}
