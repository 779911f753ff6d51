// A small program that starts up as modsin's main does and then fails in the
// way its one argument names, so that the tests meet the failure report as a
// user would: on standard output, with the exit code, in a process of its own.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "app/FailureReport.h"
#include "app/FaultHandler.h"
#include "base/Exception.h"
#include "numeric/FloatEnvironment.h"
#include "numeric/MathError.h"
#include "textio/Platform.h"

namespace modsin {
namespace {

// Stands in for the standard output stream's buffer: text put here reaches
// descriptor 1 only when the failure report writes it out first.
char gOutput[4096];
std::size_t gOutputLength = 0;

void Put(std::string_view text) {
  for (const char c : text) {
    if (gOutputLength < sizeof gOutput) gOutput[gOutputLength++] = c;
  }
}

void WriteOutProbeOutput() {
  std::size_t done = 0;
  while (done < gOutputLength) {
    const ssize_t written = write(1, gOutput + done, gOutputLength - done);
    if (written <= 0) break;
    done += static_cast<std::size_t>(written);
  }
  gOutputLength = 0;
}

// The first line of every run names where the probe is loaded, as the loader
// tells it, so that the tests can check the reported offsets against it.
void PutLoadBase() {
  Dl_info info{};
  dladdr(reinterpret_cast<const void*>(&PutLoadBase), &info);
  char line[64];
  std::snprintf(line, sizeof line, "Load base %016" PRIXPTR "\r\n",
                reinterpret_cast<std::uintptr_t>(info.dli_fbase));
  Put(line);
}

// The page at address 0 is never mapped (the kernel keeps user mappings above
// vm.mmap_min_addr), so an access 16 bytes into it always faults.
volatile std::uintptr_t gUnmappedAddress = 0x10;
volatile bool gRecurseForever = true;
volatile int gOne = 1;
volatile int gZero = 0;
volatile double gDoubleZero = 0.0;
volatile long double gExtendedZero = 0.0L;
// Results are stored here, so that the compiler keeps the faulting operations.
volatile int gIntegerSink;
volatile double gDoubleSink;
volatile long double gExtendedSink;
void* volatile gMemoryChain = nullptr;

[[gnu::noinline]] int Recurse(int depth) {
  volatile char frame[256];
  frame[0] = static_cast<char>(depth);
  if (!gRecurseForever) return frame[0];
  return Recurse(depth + 1) + frame[0];
}

// Caps the address space a little above what is mapped now, then takes
// memory until even the smallest block is refused, so that the report runs
// with the heap exhausted.
void ExhaustMemory() {
  // Room for the blocks taken below before the cap is reached: 64 MiB.
  constexpr std::size_t kHeadroom = 64 << 20;
  char statm[128] = {};
  const int file = open("/proc/self/statm", O_RDONLY);
  if (file < 0 || read(file, statm, sizeof statm - 1) <= 0) std::abort();
  close(file);
  const std::size_t mapped = std::strtoull(statm, nullptr, 10) * sysconf(_SC_PAGESIZE);
  const rlimit cap{mapped + kHeadroom, RLIM_INFINITY};
  if (setrlimit(RLIMIT_AS, &cap) != 0) std::abort();
  for (std::size_t size = 1 << 20; size >= sizeof(void*);) {
    void* block = ::operator new(size, std::nothrow);
    if (block == nullptr) {
      size /= 2;
      continue;
    }
    *static_cast<void**>(block) = gMemoryChain;
    gMemoryChain = block;
  }
  gMemoryChain = ::operator new(sizeof(void*));  // throws std::bad_alloc
}

void Provoke(std::string_view failure) {
  if (failure == "raise") Raise<EZeroDivide>();
  if (failure == "raise-dot") Raise<EExternal>("Ends in a full stop.");
  if (failure == "raise-empty") Raise<EExternal>("");
  if (failure == "out-of-memory") ExhaustMemory();
  if (failure == "long-std-exception") throw std::runtime_error(std::string(300, 'x'));
  if (failure == "not-an-exception") throw 42;
  if (failure == "read-unmapped")
    static_cast<void>(*reinterpret_cast<volatile int*>(gUnmappedAddress));
  if (failure == "write-unmapped") *reinterpret_cast<volatile int*>(gUnmappedAddress) = 1;
  if (failure == "stack-overflow") Recurse(0);
  if (failure == "integer-divide-by-zero") {
    // The division instruction itself, so that no sanitizer check of the
    // source-level division stands in front of the processor's fault.
    int quotient;
    const int divisor = gZero;
    asm volatile("cltd\n\tidivl %2" : "=a"(quotient) : "a"(gOne), "r"(divisor) : "edx");
    gIntegerSink = quotient;
  }
  if (failure == "sse-divide-by-zero") {
    // Division by zero unmasked: bit 9 (ZM) of MXCSR cleared.
    constexpr std::uint32_t kUnmaskZeroDivide = kSseControlWord & ~0x200u;
    asm volatile("ldmxcsr %0" : : "m"(kUnmaskZeroDivide));
    gDoubleSink = 1.0 / gDoubleZero;
  }
  if (failure == "x87-divide-by-zero") {
    // Division by zero unmasked: bit 2 (ZM) of the x87 control word cleared.
    constexpr std::uint16_t kUnmaskZeroDivide = kX87ControlWord & ~0x4u;
    asm volatile("fldcw %0" : : "m"(kUnmaskZeroDivide));
    gExtendedSink = 1.0L / gExtendedZero;
  }
  if (failure == "privileged-instruction") asm volatile("hlt");
  if (failure == "undefined-instruction") __builtin_trap();
  Put("No failure\r\n");
}

}  // namespace
}  // namespace modsin

int main(int argc, char** argv) {
  using namespace modsin;
  // The start-up order that the program's main follows.
  InitFailureReport();
  PrepareStandardHandles();
  EstablishFloatEnvironment();
  InstallFaultHandler();
  SetStandardOutputFlush(WriteOutProbeOutput);
  try {
    PutLoadBase();
    Provoke(argc > 1 ? argv[1] : "");
  } catch (...) {
    ReportCaughtFailure();
    return kFailureExitCode;
  }
  WriteOutProbeOutput();
  return 0;
}
