// Writing job 2's table, so that the file system's own cost stays small: the
// file lies in a memory-backed folder.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/BuiltInJobs.h"
#include "textio/FailureNumber.h"

namespace modsin::bench {
namespace {

// tmpfs on every Debian system.
constexpr const char* kMemoryFolderPattern = "/dev/shm/modsin-bench-XXXXXX";

void BM_PrintToFile(benchmark::State& state) {
  std::string folder = kMemoryFolderPattern;
  if (mkdtemp(folder.data()) == nullptr) {
    state.SkipWithError("cannot create a folder in /dev/shm");
    return;
  }
  const std::string table = folder + "/ModSinOutput2.dat";
  TJobTabulator calc(kJobs[1]);
  for (auto _ : state)
    calc.PrintToFile(table);
  if (TakeFailureNumber() != 0) state.SkipWithError("the table could not be written");
  state.counters["nodes"] = benchmark::Counter(calc.Count());
  state.counters["time/node"] = benchmark::Counter(
      calc.Count(), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(table));
  state.SetBytesProcessed(state.iterations() * bytes);
  unlink(table.c_str());
  rmdir(folder.c_str());
}

BENCHMARK(BM_PrintToFile);

}  // namespace
}  // namespace modsin::bench
