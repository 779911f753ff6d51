#include "calc/Tabulate.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>

#include "calc/UnitCalcModSin.h"
#include "numeric/FloatEnvironment.h"

namespace modsin {
namespace {

TEST(Tabulate, StatusRaisesEStatus) {
  struct TCase {
    TJob job;
    std::int32_t code;
    std::string message;
  };
  const TCase cases[] = {
      {{.FXLeft = 2, .FXRight = 1}, 1, "xright should be greater than xleft"},
      {{.FPower = 0}, 2, "a function should be raising one"},
      {{.FMaxSeeds = 1}, 3, "Too much InitNodes"},
      {{.FMaxNodes = 10}, 5, "Too much nodes"},
  };
  for (const TCase& c : cases) {
    try {
      Tabulate(c.job);
      ADD_FAILURE() << "no failure for status " << c.code;
    } catch (const Exception& failure) {
      const auto* status = dynamic_cast<const EStatus*>(&failure);
      ASSERT_NE(nullptr, status) << failure.ClassName();
      EXPECT_STREQ("EStatus", status->ClassName());
      EXPECT_EQ(c.code, status->Code());
      EXPECT_EQ(c.message, status->what());
    }
  }
}

// The nodes as bits, so that a difference in the last place (or in the sign
// of a zero) shows.
std::vector<std::uint64_t> Bits(const std::vector<double>& values) {
  std::vector<std::uint64_t> bits;
  for (const double v : values)
    bits.push_back(std::bit_cast<std::uint64_t>(v));
  return bits;
}

// The same nodes as CalculateXY, even when called in a floating-point
// environment far from modsin's own (single precision and rounding toward
// zero on the x87, rounding toward zero in SSE), which it leaves as it found.
TEST(Tabulate, SameNodesAsCalculateXYInAnyEnvironment) {
  const TJob jobs[] = {{}, {.FXRight = 10}, {.FXLeft = 1, .FXRight = 7, .FPower = 1.5}};
  for (const TJob& job : jobs) {
    TCalcModSinXoverY calc(job.FXLeft, job.FXRight, job.FPower, job.FXResolution, job.FYTolerance);
    std::int32_t count = 0;
    TNode* nodes = nullptr;
    calc.CalculateXY(count, nodes);
    std::vector<double> x;
    std::vector<double> y;
    for (const TNode* node = nodes; node != nullptr; node = node->next) {
      x.push_back(node->x);
      y.push_back(node->y);
    }
    ASSERT_EQ(static_cast<std::size_t>(count), x.size());

    const TFloatEnvironmentGuard guard;
    const std::uint16_t foreignX87 = 0x0C7F;
    const std::uint32_t foreignSse = kSseControlWord | 0x6000;
    asm volatile("fldcw %0\n\tldmxcsr %1" : : "m"(foreignX87), "m"(foreignSse));
    const TTable table = Tabulate(job);
    const std::uint16_t x87After = X87ControlWord();
    const std::uint32_t sseAfter = SseControlWord();
    EstablishFloatEnvironment();
    EXPECT_EQ(foreignX87, x87After);
    EXPECT_EQ(foreignSse, sseAfter);
    EXPECT_EQ(Bits(x), Bits(table.FX)) << job.FXRight;
    EXPECT_EQ(Bits(y), Bits(table.FY)) << job.FXRight;
    EXPECT_EQ(table.FX.size(), table.FX.capacity());
  }
}

}  // namespace
}  // namespace modsin
