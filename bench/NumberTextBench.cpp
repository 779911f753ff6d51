// The number text against the standard library's scientific conversions
// with the same 15 significant digits, on three sets of inputs.
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

// Enough inputs that the branch predictors cannot learn the set.
constexpr std::size_t kSetSize = 4096;
// A fixed seed: every run converts the same values.
constexpr std::uint64_t kSeed = 20240501;
// Decimal exponents of the spread set: 1e-10 ... 1e10.
constexpr double kSpreadLowExponent = -10.0;
constexpr double kSpreadHighExponent = 10.0;
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

std::vector<double> Spread() {
  std::mt19937_64 random(kSeed);
  std::uniform_real_distribution<double> exponent(kSpreadLowExponent, kSpreadHighExponent);
  std::vector<double> values(kSetSize);
  for (double& v : values)
    v = std::pow(10.0, exponent(random));
  return values;
}

const std::vector<double>& InputSet(std::int64_t which) {
  static const std::vector<double> kSets[] = {RandomBitPatterns(), Spread(), JobCoordinates()};
  return kSets[which];
}

void SetLabel(benchmark::State& state) {
  static constexpr const char* kNames[] = {"random bits", "1e-10..1e10", "job coordinates"};
  state.SetLabel(kNames[state.range(0)]);
}

template <class Convert>
void RunOverSet(benchmark::State& state, Convert convert) {
  const std::vector<double>& values = InputSet(state.range(0));
  for (auto _ : state)
    for (const double v : values)
      convert(v);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(values.size()));
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

// Argument: 0 random bit patterns, 1 the spread set, 2 the jobs' coordinates.
BENCHMARK(BM_NumberText)->DenseRange(0, 2);
BENCHMARK(BM_ToChars)->DenseRange(0, 2);
BENCHMARK(BM_Snprintf)->DenseRange(0, 2);

}  // namespace
}  // namespace modsin::bench
