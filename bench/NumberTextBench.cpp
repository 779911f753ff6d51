// The number text against the standard library's scientific conversions
// with the same 15 significant digits, on four sets of inputs. Each pass
// converts a whole set, every conversion independent of the last; the figure
// is the median of 9 passes.
#include <benchmark/benchmark.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

#include "bench/BuiltInJobs.h"
#include "calc/NumberText.h"

namespace modsin::bench {
namespace {

// Far more inputs than the branch predictors can learn.
constexpr std::size_t kSetSize = 100'000;
constexpr int kPasses = 9;
// A fixed seed: every run converts the same values.
constexpr std::uint64_t kSeed = 20240501;
// The curve set: x in [0, 10], as the built-in jobs tabulate.
constexpr double kCurveHighX = 10.0;
// Decimal exponents of the range set: 1e-10 ... 1e10.
constexpr double kRangeLowExponent = -10.0;
constexpr double kRangeHighExponent = 10.0;
// Digits after the point: 15 significant digits in all.
constexpr int kFractionDigits = 14;
// "-d.ddddddddddddddE-308" and a NUL fit in 32 bytes.
constexpr std::size_t kTextCapacity = 32;

std::vector<double> RandomBitPatterns() {
  std::mt19937_64 random(kSeed);
  std::vector<double> values;
  while (values.size() < kSetSize) {
    const double v = std::bit_cast<double>(random());
    if (std::isfinite(v)) values.push_back(v);
  }
  return values;
}

// x uniform in [0, 10], then sin(x^2), alternately.
std::vector<double> Curve() {
  std::mt19937_64 random(kSeed);
  std::uniform_real_distribution<double> uniform(0.0, kCurveHighX);
  std::vector<double> values;
  while (values.size() < kSetSize) {
    const double x = uniform(random);
    values.push_back(x);
    values.push_back(std::sin(x * x));
  }
  return values;
}

// +-10^u, u uniform in [-10, 10].
std::vector<double> Range() {
  std::mt19937_64 random(kSeed);
  std::uniform_real_distribution<double> exponent(kRangeLowExponent, kRangeHighExponent);
  std::bernoulli_distribution negative;
  std::vector<double> values(kSetSize);
  for (double& v : values)
    v = std::pow(10.0, exponent(random)) * (negative(random) ? -1.0 : 1.0);
  return values;
}

const std::vector<double>& InputSet(std::int64_t which) {
  static const std::vector<double> kSets[] = {Curve(), Range(), RandomBitPatterns(),
                                              JobCoordinates()};
  return kSets[which];
}

void SetLabel(benchmark::State& state) {
  static constexpr const char* kNames[] = {"curve", "range 1e-10..1e10", "random bits",
                                           "job coordinates"};
  state.SetLabel(kNames[state.range(0)]);
}

template <class Convert>
void RunOverSet(benchmark::State& state, Convert convert) {
  const std::vector<double>& values = InputSet(state.range(0));
  for (auto _ : state)
    for (const double v : values)
      convert(v);
  // Nanoseconds per conversion.
  state.counters["time/item"] = benchmark::Counter(
      static_cast<double>(values.size()),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  SetLabel(state);
}

void BM_NumberText(benchmark::State& state) {
  RunOverSet(state, [](double v) {
    TNumberText text = NumberText(v);
    benchmark::DoNotOptimize(text);
  });
}

void BM_ToChars(benchmark::State& state) {
  RunOverSet(state, [](double v) {
    char text[kTextCapacity];
    const auto result =
        std::to_chars(text, text + sizeof text, v, std::chars_format::scientific, kFractionDigits);
    benchmark::DoNotOptimize(result);
    benchmark::DoNotOptimize(text);
  });
}

void BM_Snprintf(benchmark::State& state) {
  RunOverSet(state, [](double v) {
    char text[kTextCapacity];
    const int length = std::snprintf(text, sizeof text, "%.14E", v);
    benchmark::DoNotOptimize(length);
    benchmark::DoNotOptimize(text);
  });
}

// Argument: 0 the curve, 1 the range set, 2 random bit patterns, 3 the jobs'
// coordinates. One pass an iteration, so that the median is of passes.
BENCHMARK(BM_NumberText)->DenseRange(0, 3)->Iterations(1)->Repetitions(kPasses);
BENCHMARK(BM_ToChars)->DenseRange(0, 3)->Iterations(1)->Repetitions(kPasses);
BENCHMARK(BM_Snprintf)->DenseRange(0, 3)->Iterations(1)->Repetitions(kPasses);

}  // namespace
}  // namespace modsin::bench
