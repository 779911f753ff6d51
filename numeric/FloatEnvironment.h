// The one floating-point environment that modsin computes in: x87 precision
// at the full 64-bit significand, rounding to nearest, no pending conditions.
// The trapped conditions are not hardware traps: the primitives check their
// operands and results and raise the failure themselves.
#pragma once

#include <cstdint>

namespace modsin {

// x87 control word: precision control 11 (64-bit significand), rounding
// control 00 (to nearest), every exception masked (bits 0-5), bit 6 reserved
// set as the processor's reset value has it.
inline constexpr std::uint16_t kX87ControlWord = 0x037F;
// SSE control and status: every exception masked, round to nearest, no flush
// to zero, no denormals-are-zero, no pending flags.
inline constexpr std::uint32_t kSseControlWord = 0x1F80;

// Loads the environment above and clears every pending condition. Called once
// at start-up, and again when a raised failure is about to be reported.
void EstablishFloatEnvironment() noexcept;

std::uint16_t X87ControlWord() noexcept;
std::uint32_t SseControlWord() noexcept;

// Saves the environment on construction and restores it on destruction, for
// code (tests) that changes it.
class FloatEnvironmentGuard {
 public:
  FloatEnvironmentGuard() noexcept;
  ~FloatEnvironmentGuard();
  FloatEnvironmentGuard(const FloatEnvironmentGuard&) = delete;
  FloatEnvironmentGuard& operator=(const FloatEnvironmentGuard&) = delete;

 private:
  std::uint16_t FX87;
  std::uint32_t FSse;
};

}  // namespace modsin
