// Holds NumberText to the Extended computation it stands in for
// (ScaledNumberText), text for text, over well over 100 million doubles: every
// double in runs around each power of ten, random bit patterns, doubles next
// to halfway points of 15 digits, and curve values. It also measures how far
// from a halfway point the Extended computation's double rounding reaches,
// against the 1/256 of a unit within which NumberText leaves the digits to it.
//
// Usage: modsin_numbertext_compare [scale]; scale (default 1) multiplies the
// counts. Exit code 0 when every text agreed, 1 otherwise.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "calc/NumberText.h"
#include "numeric/FloatEnvironment.h"
#include "tests/support/NumberTextCheck.h"

namespace modsin::bench {
namespace {

constexpr std::uint64_t kSeed = 20261207;
// Doubles on either side of each power of ten from 1e-323 to 1e308.
constexpr std::int64_t kRunAroundPower = 1 << 15;
constexpr int kLowestPower = -323;
constexpr int kHighestPower = 308;
constexpr std::int64_t kRandomPatterns = 40'000'000;
// Halfway points, and the doubles within kHalfwayNeighbours of each.
constexpr std::int64_t kHalfwayPoints = 8'000'000;
constexpr int kHalfwayNeighbours = 2;
constexpr std::int64_t kCurvePoints = 10'000'000;
constexpr double kCurveHighX = 10.0;
// Every kMeasureEvery-th double next to a halfway point is also read exactly.
constexpr int kMeasureEvery = 8;
constexpr int kReportedMismatches = 10;

struct TTally {
  std::int64_t FCompared = 0;
  std::int64_t FMismatches = 0;

  void Compare(double v) {
    ++FCompared;
    const TNumberText fast = NumberText(v);
    const TNumberText scaled = ScaledNumberText(v);
    if (fast == scaled) return;
    if (++FMismatches <= kReportedMismatches)
      std::printf("MISMATCH %a: \"%.23s\" but the Extended computation gives \"%.23s\"\n", v,
                  fast.data(), scaled.data());
  }
};

// How far from halfway, in units of the 15th digit, the exact value of v lies,
// and whether the Extended computation's digits differ from the correctly
// rounded ones (glibc's printf rounds exactly).
struct TGap {
  double FFromHalfway;
  bool FRoundedOtherwise;
};

TGap MeasureGap(double v) {
  char exact[64];
  std::snprintf(exact, sizeof exact, "%.40E", std::fabs(v));
  // "d." and 14 digits, then the digits from the 16th on.
  constexpr std::size_t kTail = 16;
  const double tail = std::strtod(("0." + std::string(exact + kTail, 24)).c_str(), nullptr);
  char rounded[32];
  std::snprintf(rounded, sizeof rounded, "%.14E", std::fabs(v));
  const TNumberText text = ScaledNumberText(std::fabs(v));
  // " d.dddddddddddddd" against "d.dddddddddddddd", then the exponent's value.
  const std::string exponent(text.begin() + 18, text.end());
  const bool sameDigits = std::memcmp(text.data() + 1, rounded, 16) == 0 &&
                          std::atoi(exponent.c_str()) == std::atoi(std::strchr(rounded, 'E') + 1);
  return {std::fabs(tail - 0.5), !sameDigits};
}

double Neighbour(double v, std::int64_t steps) {
  return std::bit_cast<double>(std::bit_cast<std::uint64_t>(v) + static_cast<std::uint64_t>(steps));
}

void Report(const char* set, const TTally& tally) {
  std::printf("%-34s %12lld compared, %lld different\n", set,
              static_cast<long long>(tally.FCompared), static_cast<long long>(tally.FMismatches));
}

}  // namespace
}  // namespace modsin::bench

int main(int argc, char** argv) {
  using namespace modsin;
  using namespace modsin::bench;
  EstablishFloatEnvironment();
  const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
  const auto scaled = [scale](std::int64_t count) {
    return static_cast<std::int64_t>(static_cast<double>(count) * scale);
  };
  std::mt19937_64 random(kSeed);
  std::int64_t compared = 0;
  std::int64_t mismatches = 0;
  const auto finish = [&](const char* set, const TTally& tally) {
    Report(set, tally);
    compared += tally.FCompared;
    mismatches += tally.FMismatches;
  };

  TTally powers;
  const std::int64_t run = scaled(kRunAroundPower);
  for (int n = kLowestPower; n <= kHighestPower; ++n) {
    const double power = std::strtod(("1e" + std::to_string(n)).c_str(), nullptr);
    for (std::int64_t i = -run; i < run; ++i)
      for (const double sign : {1.0, -1.0})
        if (std::bit_cast<std::int64_t>(power) + i > 0) powers.Compare(sign * Neighbour(power, i));
  }
  finish("every double around powers of ten", powers);

  TTally patterns;
  for (std::int64_t i = scaled(kRandomPatterns); i > 0; --i)
    patterns.Compare(std::bit_cast<double>(random()));
  finish("random bit patterns", patterns);

  TTally halfway;
  double widestGap = 0;
  std::int64_t otherwise = 0;
  for (std::int64_t i = scaled(kHalfwayPoints); i > 0; --i) {
    const double nearest = testing::NearestToHalfway(random);
    if (!std::isfinite(nearest) || nearest == 0) continue;
    for (int step = -kHalfwayNeighbours; step <= kHalfwayNeighbours; ++step) {
      const double v = Neighbour(nearest, step);
      halfway.Compare(v);
      if (halfway.FCompared % kMeasureEvery != 0) continue;
      const TGap gap = MeasureGap(v);
      if (!gap.FRoundedOtherwise) continue;
      ++otherwise;
      if (gap.FFromHalfway > widestGap) widestGap = gap.FFromHalfway;
    }
  }
  finish("doubles next to halfway points", halfway);
  std::printf(
      "  of every %d-th: %lld rounded otherwise than exactly, the farthest %.3g of a unit"
      " from halfway (NumberText leaves %.3g to the Extended computation)\n",
      kMeasureEvery, static_cast<long long>(otherwise), widestGap, 1.0 / 256);

  TTally curve;
  std::uniform_real_distribution<double> uniform(0.0, kCurveHighX);
  for (std::int64_t i = scaled(kCurvePoints); i > 0; --i) {
    const double x = uniform(random);
    curve.Compare(x);
    curve.Compare(std::sin(x * x));
  }
  finish("curve: x in [0, 10] and sin(x^2)", curve);

  std::printf("%-34s %12lld compared, %lld different\n", "in all", static_cast<long long>(compared),
              static_cast<long long>(mismatches));
  return mismatches == 0 ? 0 : 1;
}
