#include "calc/Tabulate.h"

#include <new>
#include <string>

#include "numeric/FloatEnvironment.h"

namespace modsin {
namespace {

// Copies the node list into the table: both arrays are allocated at their
// final size first, so that exhausted memory leaves nothing half made.
TTable CopyNodes(const TNode* node, std::int32_t count) {
  TTable table;
  try {
    table.FX.reserve(static_cast<std::size_t>(count));
    table.FY.reserve(static_cast<std::size_t>(count));
  } catch (const std::bad_alloc&) {
    Raise<EOutOfMemory>();
  }
  for (; count > 0 && node != nullptr; --count, node = node->next) {
    table.FX.push_back(node->x);
    table.FY.push_back(node->y);
  }
  return table;
}

}  // namespace

void TabulateNodes(const TJob& job,
                   const std::function<void(const TNode* first, std::int32_t count)>& use) {
  const TFloatEnvironmentGuard callers;
  EstablishFloatEnvironment();
  TCalcModSinXoverY calc(job.FXLeft, job.FXRight, job.FPower, job.FXResolution, job.FYTolerance);
  calc.SetLimits(job.FMaxNodes, job.FMaxSeeds);
  std::int32_t count = 0;
  TNode* nodes = nullptr;
  calc.CalculateXY(count, nodes);
  std::int32_t code = 0;
  std::string message;
  calc.GetError(code, message);
  if (code != TCalcModSin::kNoError) Raise<EStatus>(code, std::string_view(message));
  use(nodes, count);
}

TTable Tabulate(const TJob& job) {
  TTable table;
  TabulateNodes(
      job, [&table](const TNode* first, std::int32_t count) { table = CopyNodes(first, count); });
  return table;
}

}  // namespace modsin
