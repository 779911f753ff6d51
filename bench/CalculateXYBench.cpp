// The tabulation of each built-in job beside its floor: the curve evaluations
// that the job's refinement cannot do without, run on their own.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/BuiltInJobs.h"
#include "numeric/Extended.h"
#include "numeric/Primitives.h"
#include "numeric/RoundedSine.h"

namespace modsin::bench {
namespace {

// Every x at which the job evaluates the curve: each node's own x (end points,
// seeds and kept midpoints) and the midpoint of each final interval wider
// than the resolution, evaluated and found close enough to the chord.
std::vector<double> EvaluatedPoints(const TJobTabulator& calc) {
  std::vector<double> points;
  for (const TNode* node = calc.First(); node != nullptr; node = node->next) {
    points.push_back(node->x);
    const TNode* next = node->next;
    if (next != nullptr && Extended{next->x} - node->x > calc.Resolution())
      points.push_back(RoundToDouble((Extended{node->x} + next->x) / 2));
  }
  return points;
}

void SetJobCounters(benchmark::State& state, std::int64_t perCall, const char* unit) {
  state.counters[unit] = benchmark::Counter(static_cast<double>(perCall));
  // Seconds per node or per evaluation, as the counter's rate inverted.
  state.counters["time/item"] = benchmark::Counter(
      static_cast<double>(perCall),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetLabel(kJobs[state.range(0)].FName);
}

void BM_CalculateXY(benchmark::State& state) {
  TJobTabulator calc(kJobs[state.range(0)]);
  std::int32_t count = 0;
  TNode* nodes = nullptr;
  for (auto _ : state) {
    calc.CalculateXY(count, nodes);
    benchmark::DoNotOptimize(nodes);
  }
  SetJobCounters(state, count, "nodes");
}

void BM_CurveEvaluations(benchmark::State& state) {
  const TJobTabulator calc(kJobs[state.range(0)]);
  const std::vector<double> points = EvaluatedPoints(calc);
  for (auto _ : state)
    for (const double x : points)
      benchmark::DoNotOptimize(calc.Curve(x));
  SetJobCounters(state, static_cast<std::int64_t>(points.size()), "evaluations");
}

// The same evaluations, each waiting on the one before, as the refinement
// waits on a curve value before it decides where to evaluate next: the
// floor for a refinement that evaluates one point at a time. y - y is 0 for
// every finite y, and x + 0 is x for every x >= 0.
void BM_CurveEvaluationsInSequence(benchmark::State& state) {
  const TJobTabulator calc(kJobs[state.range(0)]);
  const std::vector<double> points = EvaluatedPoints(calc);
  for (auto _ : state) {
    double y = 0;
    for (const double x : points)
      y = calc.Curve(x + (y - y));
    benchmark::DoNotOptimize(y);
  }
  SetJobCounters(state, static_cast<std::int64_t>(points.size()), "evaluations");
}

// The sine of every phase a job evaluates: the short path that the curve
// takes, and the general argument reduction it stands in for.
template <double (*Sin)(double)>
void BM_SineOfPhases(benchmark::State& state) {
  const TJobTabulator calc(kJobs[state.range(0)]);
  std::vector<double> phases;
  for (const double x : EvaluatedPoints(calc))
    phases.push_back(TCalcModSin::Phase(x, kExponent));
  for (auto _ : state)
    for (const double phase : phases)
      benchmark::DoNotOptimize(Sin(phase));
  SetJobCounters(state, static_cast<std::int64_t>(phases.size()), "evaluations");
}

double GeneralSine(double x) {
  return RoundToDouble(Sine(x));
}

// Argument: the index of the job in kJobs.
BENCHMARK(BM_CalculateXY)->DenseRange(0, 1);
BENCHMARK(BM_CurveEvaluations)->DenseRange(0, 1);
BENCHMARK(BM_CurveEvaluationsInSequence)->DenseRange(0, 1);
BENCHMARK(BM_SineOfPhases<RoundedSine>)->DenseRange(0, 1);
BENCHMARK(BM_SineOfPhases<GeneralSine>)->DenseRange(0, 1);

}  // namespace
}  // namespace modsin::bench
