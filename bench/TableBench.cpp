// modsin-table's large job taken apart: the tabulation, and the text of its
// node list in each format written to /dev/null. The whole run, written to a
// file on tmpfs, is timed by table-run.sh.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "bench/LargeJob.h"
#include "calc/UnitCalcModSin.h"
#include "table/CommandLine.h"
#include "table/OutputFile.h"
#include "table/TableWriter.h"

namespace modsin::bench {
namespace {

// The large job on a tabulator of its own, run again and again.
class TLargeJob : public TCalcModSinXoverY {
 public:
  TLargeJob()
      : TCalcModSinXoverY(kLargeJob.FXLeft, kLargeJob.FXRight, kLargeJob.FPower,
                          kLargeJob.FXResolution, kLargeJob.FYTolerance) {
    SetLimits(kLargeJob.FMaxNodes, kLargeJob.FMaxSeeds);
  }
  std::int32_t Run() {
    std::int32_t count = 0;
    TNode* nodes = nullptr;
    CalculateXY(count, nodes);
    return count;
  }
  const TNode* First() const { return FFirstNode; }
};

void SetNodeCounters(benchmark::State& state, std::int32_t nodes) {
  state.counters["nodes"] = benchmark::Counter(nodes);
  state.counters["time/node"] = benchmark::Counter(
      nodes, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_LargeJobCalculateXY(benchmark::State& state) {
  TLargeJob job;
  std::int32_t count = 0;
  for (auto _ : state)
    count = job.Run();
  SetNodeCounters(state, count);
}

// Argument: the format, as TTableFormat.
void BM_LargeJobWriteTable(benchmark::State& state) {
  static TLargeJob job;
  static const std::int32_t count = job.Run();
  const auto format = static_cast<TTableFormat>(state.range(0));
  TOutputFile out("/dev/null");
  for (auto _ : state)
    WriteTable(out, job.First(), count, format);
  SetNodeCounters(state, count);
  state.SetLabel(format == TTableFormat::Table ? "table" : "csv");
}

BENCHMARK(BM_LargeJobCalculateXY)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LargeJobWriteTable)
    ->Arg(static_cast<int>(TTableFormat::Table))
    ->Arg(static_cast<int>(TTableFormat::Csv))
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace modsin::bench
