#include "app/FaultHandler.h"

#include <signal.h>
#include <sys/resource.h>
#include <ucontext.h>
#include <unistd.h>

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "app/FailureReport.h"
#include "app/LargeData.h"
#include "app/SignalFault.h"

namespace modsin {
namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE};

#if defined(MODSIN_COVERAGE)
extern "C" void __gcov_dump();
#endif

// Ends the process after a reported fault. _exit skips the exit-time writing
// of a coverage build's counters, so such a build writes them first.
[[noreturn]] void EndAfterFault() noexcept {
#if defined(MODSIN_COVERAGE)
  __gcov_dump();
#endif
  _exit(kFailureExitCode);
}

// The handler's own stack. It must hold the kernel's signal frame with the
// saved register state (a few KiB with AVX-512; the C library's SIGSTKSZ is
// no longer a constant) plus the report and its 1 KiB buffers: 64 KiB holds
// both many times over.
constexpr std::size_t kAlternateStackSize = std::size_t{64} * 1024;
// 16 bytes: the stack alignment that the x86-64 calling convention requires.
MODSIN_LARGE_DATA alignas(16) std::byte gAlternateStack[kAlternateStackSize];

TStackBounds gMainStack{};
volatile std::sig_atomic_t gHandlingFault = 0;

void OnProcessorFault(int /*signal*/, siginfo_t* info, void* context) {
  if (gHandlingFault != 0) _exit(kFailureExitCode);  // a fault while reporting one
  gHandlingFault = 1;
  const TProcessorFault fault =
      DescribeProcessorFault(*info, *static_cast<const ucontext_t*>(context), gMainStack);
  ReportFailure(fault.FKind, fault.FMessage.View(), fault.FLocation);
  EndAfterFault();
}

std::size_t StackLimit() noexcept {
  rlimit limit{};
  if (getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
    return std::numeric_limits<std::size_t>::max();
  }
  return static_cast<std::size_t>(limit.rlim_cur);
}

}  // namespace

[[gnu::noinline]] void InstallFaultHandler() noexcept {
  gMainStack = {reinterpret_cast<std::uintptr_t>(__builtin_frame_address(0)), StackLimit()};

  stack_t alternate{};
  alternate.ss_sp = gAlternateStack;
  alternate.ss_size = sizeof gAlternateStack;
  sigaltstack(&alternate, nullptr);

  struct sigaction fault {};
  fault.sa_sigaction = OnProcessorFault;
  // A fault inside the handler must enter it again, to end the process with
  // our exit code: left blocked, it would make the kernel kill the process.
  fault.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  sigemptyset(&fault.sa_mask);
  for (const int signal : kFaultSignals)
    sigaction(signal, &fault, nullptr);
}

}  // namespace modsin
