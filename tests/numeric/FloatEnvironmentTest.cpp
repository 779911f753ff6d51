#include "numeric/FloatEnvironment.h"

#include <gtest/gtest.h>

namespace modsin {
namespace {

TEST(FloatEnvironment, EstablishesExtendedPrecisionAndNearestRounding) {
  TFloatEnvironmentGuard guard;
  // Single precision, round toward zero: as far from ours as the x87 allows.
  const std::uint16_t foreign = 0x0C7F;
  asm volatile("fldcw %0" : : "m"(foreign));
  EstablishFloatEnvironment();
  EXPECT_EQ(kX87ControlWord, X87ControlWord());
  EXPECT_EQ(kSseControlWord, SseControlWord() & ~0x3Fu);  // flags aside
}

TEST(FloatEnvironment, GuardRestoresTheControlWords) {
  const std::uint16_t before = X87ControlWord();
  {
    TFloatEnvironmentGuard guard;
    const std::uint16_t foreign = 0x0C7F;
    asm volatile("fldcw %0" : : "m"(foreign));
    ASSERT_EQ(0x0C7F, X87ControlWord());
  }
  EXPECT_EQ(before, X87ControlWord());
}

}  // namespace
}  // namespace modsin
