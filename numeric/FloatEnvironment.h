// The one floating-point environment that modsin computes in: x87 precision
// at the full 64-bit significand, rounding to nearest, no pending conditions.
// The trapped conditions are not hardware traps: the primitives check their
// operands and results and raise the failure themselves.
#pragma once

#include <array>
#include <cstddef>
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

// Inline: the correctly rounded functions read it on every call.
inline std::uint16_t X87ControlWord() noexcept {
  std::uint16_t word;
  asm volatile("fnstcw %0" : "=m"(word));
  return word;
}

std::uint32_t SseControlWord() noexcept;

// The bytes that fnstenv stores: control, status and tag words and the last
// instruction's pointers.
inline constexpr std::size_t kX87EnvironmentBytes = 28;

// Makes the compiler store value and load it again here: a fence for the
// arithmetic on it, at a switch of the x87 control word.
template <class T>
inline void PassThroughMemory(T& value) noexcept {
  asm volatile("" : "+m"(value));
}

// f(args...) under modsin's own x87 control word, whatever the caller's: for
// the fast paths of the correctly rounded functions, whose error bounds
// assume 64-bit precision and rounding to nearest. Where the control word
// differs (another precision or rounding, or unmasked conditions), the
// caller's environment is saved with its pending flags, modsin's control
// word loaded, and the caller's restored afterwards. The arguments and the
// result pass through memory at the switches, so that no arithmetic on them
// moves across. f must not throw.
template <class F, class... TArgs>
auto InOwnX87Environment(F f, TArgs... args) noexcept {
  if (X87ControlWord() == kX87ControlWord) return f(args...);
  std::array<std::uint8_t, kX87EnvironmentBytes> caller{};
  asm volatile("fnstenv %0\n\tfldcw %1" : "=m"(caller) : "m"(kX87ControlWord));
  (PassThroughMemory(args), ...);
  auto result = f(args...);
  asm volatile("fldenv %1" : "+m"(result) : "m"(caller));
  return result;
}

// Saves the environment on construction and restores it on destruction, for
// code (tests) that changes it.
class TFloatEnvironmentGuard {
 public:
  TFloatEnvironmentGuard() noexcept;
  ~TFloatEnvironmentGuard();
  TFloatEnvironmentGuard(const TFloatEnvironmentGuard&) = delete;
  TFloatEnvironmentGuard& operator=(const TFloatEnvironmentGuard&) = delete;

 private:
  std::uint16_t FX87;
  std::uint32_t FSse;
};

}  // namespace modsin
