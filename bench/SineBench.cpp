// Sine and RoundedSine beside the C library's sinl on the same arguments,
// timed in turn within each iteration, so that a change of machine load falls
// on both alike. The counter `ratio` is their quotient of times; the
// benchmark is not the product, so it may call sinl.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "numeric/Extended.h"
#include "numeric/Primitives.h"
#include "numeric/RoundedSine.h"

namespace modsin::bench {
namespace {

// 4096 doubles of both signs: evenly spread below 2^20 (mostly the upper
// binades, like the phases of a tabulation), or with an exponent evenly
// spread over 20 ... 62.
std::vector<double> Arguments(bool large) {
  std::mt19937_64 bits(20261212);
  std::uniform_real_distribution<double> even(-0x1p20, 0x1p20);
  std::vector<double> xs(4096);
  for (double& x : xs)
    x = large ? std::ldexp(even(bits), 20 + static_cast<int>(bits() % 43)) : even(bits);
  return xs;
}

Extended OurSine(double x) {
  return Sine(x);
}

Extended OurRoundedSine(double x) {
  return RoundedSine(x);
}

template <Extended (*Ours)(double), bool kLarge>
void BM_AgainstSinl(benchmark::State& state) {
  const std::vector<double> xs = Arguments(kLarge);
  using TClock = std::chrono::steady_clock;
  TClock::duration ours{};
  TClock::duration theirs{};
  for (auto _ : state) {
    const TClock::time_point start = TClock::now();
    for (const double x : xs)
      benchmark::DoNotOptimize(Ours(x));
    const TClock::time_point middle = TClock::now();
    for (const double x : xs)
      benchmark::DoNotOptimize(sinl(x));
    const TClock::time_point end = TClock::now();
    ours += middle - start;
    theirs += end - middle;
  }
  const auto calls = static_cast<double>(state.iterations()) * static_cast<double>(xs.size());
  state.counters["ratio"] = static_cast<double>(ours.count()) / static_cast<double>(theirs.count());
  state.counters["ns_ours"] = std::chrono::duration<double, std::nano>(ours).count() / calls;
  state.counters["ns_sinl"] = std::chrono::duration<double, std::nano>(theirs).count() / calls;
}

BENCHMARK(BM_AgainstSinl<OurSine, false>)->Name("Sine/sinl below 2^20");
BENCHMARK(BM_AgainstSinl<OurSine, true>)->Name("Sine/sinl 2^20 to 2^63");
BENCHMARK(BM_AgainstSinl<OurRoundedSine, false>)->Name("RoundedSine/sinl below 2^20");

}  // namespace
}  // namespace modsin::bench
