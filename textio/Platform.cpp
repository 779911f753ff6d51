// The parts of the platform layer that every platform shares: the choice of
// system calls, and the layer functions that are one call.
#include "textio/Platform.h"

namespace modsin {
namespace {

const TSystemCalls* gSystemCalls = nullptr;

}  // namespace

const TSystemCalls& SystemCalls() noexcept {
  return gSystemCalls != nullptr ? *gSystemCalls : RealSystemCalls();
}

TSystemCallsOverride::TSystemCallsOverride(const TSystemCalls& calls) noexcept
    : FCalls(calls), FPrevious(gSystemCalls) {
  gSystemCalls = &FCalls;
}

TSystemCallsOverride::~TSystemCallsOverride() {
  gSystemCalls = FPrevious;
}

THandle StandardHandle(TStandardHandle which) noexcept {
  return SystemCalls().Standard(which);
}

TFileType FileType(THandle handle) noexcept {
  return SystemCalls().Type(handle);
}

}  // namespace modsin
