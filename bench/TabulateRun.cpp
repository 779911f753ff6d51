// One call of modsin::Tabulate on the large job, in a process of its own, as
// a C++ program makes it: prints the call's wall time and CPU time (user and
// system) in seconds, the node count, and the peak resident size before the
// call in KiB. tabulate-run.sh sets it beside tabulate-run.py, the same call
// from Python.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>

#include "bench/LargeJob.h"
#include "calc/Tabulate.h"

namespace {

double CpuSeconds(const rusage& usage) {
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec * 1e-6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main() {
  rusage before{};
  getrusage(RUSAGE_SELF, &before);
  const auto start = std::chrono::steady_clock::now();
  const modsin::TTable table = modsin::Tabulate(modsin::bench::kLargeJob);
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  rusage after{};
  getrusage(RUSAGE_SELF, &after);
  std::printf("%.6f %.6f %zu %ld\n", wall.count(), CpuSeconds(after) - CpuSeconds(before),
              table.FX.size(), before.ru_maxrss);
}
