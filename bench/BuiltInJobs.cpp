#include "bench/BuiltInJobs.h"

namespace modsin::bench {

std::vector<double> JobCoordinates() {
  std::vector<double> values;
  for (const TBenchJob& job : kJobs) {
    const TJobTabulator calc(job);
    for (const TNode* node = calc.First(); node != nullptr; node = node->next) {
      values.push_back(node->x);
      values.push_back(node->y);
    }
  }
  return values;
}

}  // namespace modsin::bench
