#include "numeric/FloatEnvironment.h"

namespace modsin {
namespace {

void LoadX87ControlWord(std::uint16_t word) noexcept {
  // fnclex first: loading a control word that unmasks a pending condition
  // would otherwise fault at the next x87 instruction.
  asm volatile("fnclex\n\tfldcw %0" : : "m"(word));
}

void LoadSseControlWord(std::uint32_t word) noexcept {
  asm volatile("ldmxcsr %0" : : "m"(word));
}

}  // namespace

std::uint32_t SseControlWord() noexcept {
  std::uint32_t word;
  asm volatile("stmxcsr %0" : "=m"(word));
  return word;
}

void EstablishFloatEnvironment() noexcept {
  LoadX87ControlWord(kX87ControlWord);
  LoadSseControlWord(kSseControlWord);
}

TFloatEnvironmentGuard::TFloatEnvironmentGuard() noexcept
    : FX87(X87ControlWord()), FSse(SseControlWord()) {}

TFloatEnvironmentGuard::~TFloatEnvironmentGuard() {
  LoadX87ControlWord(FX87);
  LoadSseControlWord(FSse);
}

}  // namespace modsin
