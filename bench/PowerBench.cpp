// RealPower on its logarithm path beside the bare x87 sequence that it used to
// be (fyl2x, the product by the exponent, frndint, f2xm1, 1 +, fscale), and
// the fast paths of the logarithm and of 2^f - 1 alone on the same kind of
// arguments: timed in turn within each iteration, so that a change of
// machine load falls on all alike. RealPower's target is at most 1.5 times
// the x87 sequence (counter ratio_power). The benchmark is not the library,
// so it may use the x87's transcendental instructions and the C library.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <random>
#include <vector>

#include "numeric/Extended.h"
#include "numeric/FastExponential.h"
#include "numeric/Primitives.h"

namespace modsin::bench {
namespace {

constexpr Extended kExponent = 2.5L;

// 4096 double bases spread evenly in their logarithm over [1e-3, 1e3].
std::vector<double> Bases() {
  std::mt19937_64 bits(20261213);
  std::uniform_real_distribution<double> exponent(-3, 3);
  std::vector<double> bases(4096);
  for (double& base : bases)
    base = std::pow(10.0, exponent(bits));
  return bases;
}

// base^exponent as the x87 computed it: t = exponent log2(base), i = t
// rounded to an integer, then (1 + (2^(t - i) - 1)) scaled by 2^i.
Extended X87Power(Extended base, Extended exponent) {
  Extended result;
  asm("fyl2x\n\t"
      "fld %%st(0)\n\t"
      "frndint\n\t"
      "fsubr %%st, %%st(1)\n\t"
      "fxch\n\t"
      "f2xm1\n\t"
      "fld1\n\t"
      "faddp\n\t"
      "fscale\n\t"
      "fstp %%st(1)"
      : "=t"(result)
      : "0"(base), "u"(exponent)
      : "st(1)");
  return result;
}

using TClock = std::chrono::steady_clock;

// The time of one pass of `call` over `arguments`.
template <typename TArgument, typename TCall>
TClock::duration Pass(const std::vector<TArgument>& arguments, TCall call) {
  const TClock::time_point start = TClock::now();
  for (const TArgument argument : arguments)
    benchmark::DoNotOptimize(call(argument));
  return TClock::now() - start;
}

void BM_Power(benchmark::State& state) {
  const std::vector<double> bases = Bases();
  // The arguments of the two fast paths that the power of each base takes:
  // the base itself, and the fraction f of exponent log2(base), |f| <= 1/2.
  std::vector<Extended> fractions;
  for (const double base : bases) {
    const Extended t = kExponent * std::log2(Extended{base});
    fractions.push_back(t - std::nearbyint(t));
  }
  TClock::duration x87{};
  TClock::duration power{};
  TClock::duration log{};
  TClock::duration exp{};
  for (auto _ : state) {
    x87 += Pass(bases, [](double base) { return X87Power(base, kExponent); });
    power += Pass(bases, [](double base) { return RealPower(base, kExponent); });
    log += Pass(bases, [](double base) { return FastNaturalLog(base); });
    exp += Pass(fractions, [](Extended f) { return FastPowerOfTwoMinusOne(f); });
  }
  const auto calls = static_cast<double>(state.iterations()) * static_cast<double>(bases.size());
  const auto nanoseconds = [calls](TClock::duration time) {
    return std::chrono::duration<double, std::nano>(time).count() / calls;
  };
  state.counters["ns_x87"] = nanoseconds(x87);
  state.counters["ns_power"] = nanoseconds(power);
  state.counters["ns_fast_log"] = nanoseconds(log);
  state.counters["ns_fast_exp"] = nanoseconds(exp);
  state.counters["ratio_power"] = nanoseconds(power) / nanoseconds(x87);
}

BENCHMARK(BM_Power)->Name("RealPower(base, 2.5)/x87, base in [1e-3, 1e3]");

}  // namespace
}  // namespace modsin::bench
