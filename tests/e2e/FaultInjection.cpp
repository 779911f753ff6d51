// Test-only: linked into a copy of the program (never into the product), an
// allocator that fails on cue, so that tests can meet exhausted memory and a
// processor fault in a real run.
//   MODSIN_FAIL_ALLOCATION=N       every allocation from the Nth on fails
//   MODSIN_FAIL_ALLOCATION=N:once  only the Nth allocation fails
//   MODSIN_FAULT_ALLOCATION=N      the Nth allocation reads an invalid address
//   MODSIN_OVERFLOW_ALLOCATION=N   the Nth allocation recurses until the stack
//                                  overflows
//   MODSIN_FAIL_WRITE=N            the Nth write fails as on a full disk
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "tests/support/PlatformFacts.h"
#include "textio/Platform.h"

namespace {

struct TPlan {
  unsigned long FFailFrom = 0;  // 0: never
  bool FOnce = false;
  unsigned long FFaultAt = 0;      // 0: never
  unsigned long FOverflowAt = 0;   // 0: never
  unsigned long FFailWriteAt = 0;  // 0: never
};

const TPlan& Plan() {
  static const TPlan plan = [] {
    TPlan p;
    if (const char* fail = std::getenv("MODSIN_FAIL_ALLOCATION")) {
      char* end = nullptr;
      p.FFailFrom = std::strtoul(fail, &end, 10);
      p.FOnce = std::strcmp(end, ":once") == 0;
    }
    if (const char* fault = std::getenv("MODSIN_FAULT_ALLOCATION"))
      p.FFaultAt = std::strtoul(fault, nullptr, 10);
    if (const char* overflow = std::getenv("MODSIN_OVERFLOW_ALLOCATION"))
      p.FOverflowAt = std::strtoul(overflow, nullptr, 10);
    if (const char* write = std::getenv("MODSIN_FAIL_WRITE"))
      p.FFailWriteAt = std::strtoul(write, nullptr, 10);
    return p;
  }();
  return plan;
}

unsigned long gAllocations = 0;
volatile bool gRecurseForever = true;

// Each frame holds a buffer the compiler must keep, and the addition after the
// call keeps the recursion from becoming a loop.
[[gnu::noinline]] int Recurse(int depth) {
  volatile char frame[256];
  frame[0] = static_cast<char>(depth);
  if (!gRecurseForever) return frame[0];
  return Recurse(depth + 1) + frame[0];
}

void* Allocate(std::size_t size) {
  const unsigned long n = ++gAllocations;
  const TPlan& plan = Plan();
  if (n == plan.FFaultAt) {
    // A read of the first page, which is never mapped; the address is only
    // known at run time, so the compiler keeps the read.
    volatile std::uintptr_t address = 16;
    return reinterpret_cast<void*>(*reinterpret_cast<volatile std::uintptr_t*>(address));
  }
  if (n == plan.FOverflowAt) Recurse(0);
  if (plan.FFailFrom != 0 && (plan.FOnce ? n == plan.FFailFrom : n >= plan.FFailFrom))
    throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}

unsigned long gWrites = 0;

modsin::TSystemCalls FailingWrites() {
  modsin::TSystemCalls calls = modsin::RealSystemCalls();
  calls.Write = [](modsin::THandle handle, const void* data, std::size_t size) -> std::ptrdiff_t {
    if (++gWrites == Plan().FFailWriteAt) {
      modsin::SetLastSystemError(modsin::testing::kDiskFullError);
      return -1;
    }
    return modsin::RealSystemCalls().Write(handle, data, size);
  };
  return calls;
}

// In force from before main to the end.
const modsin::TSystemCallsOverride gFailingWrites(FailingWrites());

}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
