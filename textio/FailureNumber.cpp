#include "textio/FailureNumber.h"

#include "textio/InOutError.h"

namespace modsin {

namespace {

thread_local std::int32_t tFailureNumber = 0;

}  // namespace

void StoreFailureNumber(std::int32_t failureNumber) noexcept {
  tFailureNumber = failureNumber;
}

std::int32_t TakeFailureNumber() noexcept {
  const std::int32_t failureNumber = tFailureNumber;
  tFailureNumber = 0;
  return failureNumber;
}

[[gnu::noinline]] void InOutCheck() {
  const std::int32_t failureNumber = TakeFailureNumber();
  if (failureNumber != 0) {
    RaiseAt<EInOutError>(__builtin_extract_return_addr(__builtin_return_address(0)), failureNumber);
  }
}

}  // namespace modsin
