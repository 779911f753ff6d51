// Exhausted memory at every allocation of a full run: the fault-injection copy
// of the program is run once for each allocation, failing only that one
// (transient) or it and every later one (persistent), each run in a fresh
// folder. A run either completes normally or ends with the "Out of memory."
// report and exit code 1; it never aborts or dies by a signal, and never
// reports a table as written that is not complete.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <tuple>

#include "tests/support/ChildProcess.h"

namespace modsin::testing {
namespace {

namespace fs = std::filesystem;

const std::string kFaultProgram = MODSIN_FAULT_PROGRAM;
const fs::path kGolden = MODSIN_GOLDEN;

// The line after each job's table write; the first is the first table's.
const std::string kTableWritten = "Error after PrintToFile --> 0, No error\r\n";
const char* const kTables[] = {"ModSinOutput.dat", "ModSinOutput2.dat"};

// The sweep is cut into this many slices per mode, CTest tests of their own
// that run in parallel.
constexpr int kSlices = 4;

enum class TMode { Transient, Persistent };

TExit RunFailingAt(unsigned long n, TMode mode, const TTempFolder& folder) {
  const std::string plan =
      "MODSIN_FAIL_ALLOCATION=" + std::to_string(n) + (mode == TMode::Transient ? ":once" : "");
  return TChild({kFaultProgram}, folder.Path(), TStream::Null(), TStream::Pipe(), {plan}).Finish();
}

// The allocations of a full run: the last N whose persistent failure still
// ends the run with a report (the first N that completes normally, less one).
unsigned long CountAllocations() {
  const auto completes = [](unsigned long n) {
    TTempFolder folder;
    return RunFailingAt(n, TMode::Persistent, folder).FCode == 0;
  };
  unsigned long high = 1;
  while (!completes(high)) {
    high *= 2;
    if (high > (1UL << 20)) ADD_FAILURE() << "no persistent failure lets the run complete";
    if (high > (1UL << 20)) return 0;
  }
  unsigned long low = high / 2;  // fails, or 0
  while (high - low > 1) {
    const unsigned long middle = low + (high - low) / 2;
    (completes(middle) ? high : low) = middle;
  }
  return high - 1;
}

unsigned long AllocationCount() {
  static const unsigned long count = CountAllocations();
  return count;
}

// Checks one run; "" when it behaved, otherwise what went wrong.
std::string Judge(const TExit& exit, const TTempFolder& folder) {
  static const std::string transcript = ReadFile(kGolden / "transcript.txt");
  if (exit.FSignal != 0) return "died by signal " + std::to_string(exit.FSignal);
  if (!exit.FErr.empty()) return "wrote to standard error: " + exit.FErr;
  std::string text = exit.FOut;
  if (exit.FCode == 1) {
    static const std::regex report(
        "Exception EOutOfMemory in module modsin_fault_injection at [0-9A-F]{8}\\.\n"
        "Out of memory\\.\r\n$");
    std::smatch match;
    if (!std::regex_search(text, match, report)) return "no out-of-memory report: " + text;
    text.erase(static_cast<std::size_t>(match.position(0)));
    if (transcript.compare(0, text.size(), text) != 0) return "the transcript differs: " + text;
  } else if (exit.FCode != 0) {
    return "exit code " + std::to_string(exit.FCode);
  } else if (text != transcript) {
    return "the transcript of a complete run differs: " + text;
  }
  // Every table the transcript reports as written is complete.
  std::size_t at = 0;
  for (const char* table : kTables) {
    at = text.find(kTableWritten, at);
    if (at == std::string::npos) break;
    at += kTableWritten.size();
    if (ReadFile(folder / table) != ReadFile(kGolden / table))
      return std::string(table) + " is reported as written but differs";
  }
  return {};
}

class MemorySweep : public ::testing::TestWithParam<std::tuple<TMode, int>> {};

TEST_P(MemorySweep, EveryAllocationFailingEndsInTheReportOrANormalRun) {
  const auto [mode, slice] = GetParam();
  const unsigned long count = AllocationCount();
  ASSERT_GT(count, 0UL);
  int failures = 0;
  for (unsigned long n = 1 + static_cast<unsigned long>(slice); n <= count && failures < 5;
       n += kSlices) {
    TTempFolder folder;
    const std::string fault = Judge(RunFailingAt(n, mode, folder), folder);
    if (!fault.empty()) {
      ADD_FAILURE() << "allocation " << n << " of " << count << ": " << fault;
      ++failures;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(, MemorySweep,
                         ::testing::Combine(::testing::Values(TMode::Transient, TMode::Persistent),
                                            ::testing::Range(0, kSlices)),
                         [](const ::testing::TestParamInfo<std::tuple<TMode, int>>& info) {
                           return std::string(std::get<0>(info.param) == TMode::Transient
                                                  ? "Transient"
                                                  : "Persistent") +
                                  "Slice" + std::to_string(std::get<1>(info.param));
                         });

}  // namespace
}  // namespace modsin::testing
