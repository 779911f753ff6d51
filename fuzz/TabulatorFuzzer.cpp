// Any five doubles as (xleft, xright, p, dx, dy): CalculateXY ends in a status
// or a math failure (or exhausted memory), never holding more nodes than the
// ceiling; with status 0 the list is the tabulation: counted right, below 2000
// nodes, from xleft to xright in order of x, every y the curve value at its x,
// and every interval wider than dx within dy of the curve at its midpoint.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/Exception.h"
#include "calc/UnitCalcModSin.h"
#include "fuzz/FuzzCheck.h"
#include "numeric/FloatEnvironment.h"
#include "numeric/MathError.h"
#include "numeric/Ordered.h"
#include "numeric/Primitives.h"

namespace modsin::fuzz {
namespace {

// The tabulator with its list and counters open to inspection.
class TProbe : public TCalcModSinXoverY {
 public:
  using TCalcModSinXoverY::TCalcModSinXoverY;
  const TNode* First() const { return FFirstNode; }
  std::int32_t Count() const { return FNodeCount; }
  std::int32_t Ceiling() const { return FMaxNodes; }
  std::int32_t Code() const { return FErrorCode; }
};

// The parameters, in the order the constructor takes them.
struct TJob {
  double FXLeft, FXRight, FExponent, FDX, FDY;
};

double CurveAt(double x, double p) {
  return RoundToDouble(Sine(TCalcModSin::Phase(x, p)));
}

// Walks the list the tabulator holds, whatever its status: it is never longer
// than the ceiling and always as long as the count says.
void CheckListIsCounted(const TProbe& calc) {
  std::int32_t length = 0;
  for (const TNode* node = calc.First(); node != nullptr; node = node->next) {
    ++length;
    Require(length <= calc.Ceiling(), "the list stays within the node ceiling");
  }
  Require(length == calc.Count(), "the list is as long as its count");
}

void CheckTabulation(const TJob& job, std::int32_t iNodes, const TNode* nodes) {
  constexpr std::int32_t kMaxResultNodes = 1999;  // the 2000th node stops a job
  Require(nodes != nullptr && iNodes >= 2 && iNodes <= kMaxResultNodes,
          "a tabulation has 2 to 1999 nodes");
  Require(nodes->x == job.FXLeft, "the list starts at xleft");
  std::int32_t length = 1;
  const TNode* node = nodes;
  for (; node->next != nullptr; node = node->next, ++length) {
    const TNode* a = node;
    const TNode* b = node->next;
    Require(!IsLess(b->x, a->x), "the list is ordered by x");
    Require(a->y == CurveAt(a->x, job.FExponent), "each y is the curve value at its x");
    if (IsGreater(Extended{b->x} - a->x, job.FDX)) {
      const double xm = RoundToDouble((Extended{a->x} + b->x) / 2);
      const double ylin = RoundToDouble((Extended{a->y} + b->y) / 2);
      const double ym = CurveAt(xm, job.FExponent);
      Require(!IsGreater(std::fabs(Extended{ym} - ylin), job.FDY),
              "every interval wider than dx passes the midpoint test");
    }
  }
  Require(node->y == CurveAt(node->x, job.FExponent), "each y is the curve value at its x");
  Require(node->x == job.FXRight, "the list ends at xright");
  Require(length == iNodes, "the node count is the list's length");
}

void Tabulate(const TJob& job) {
  // Non-finite parameters are refused with EInvalidOp by design.
  for (const double v : {job.FXLeft, job.FXRight, job.FExponent, job.FDX, job.FDY})
    if (!std::isfinite(v)) return;
  TProbe calc(job.FXLeft, job.FXRight, job.FExponent, job.FDX, job.FDY);
  std::int32_t iNodes = -1;
  TNode* nodes = nullptr;
  try {
    calc.CalculateXY(iNodes, nodes);
  } catch (const EMathError&) {
    CheckListIsCounted(calc);
    return;
  } catch (const EOutOfMemory&) {
    CheckListIsCounted(calc);
    return;
  }
  CheckListIsCounted(calc);
  Require(calc.Code() >= TCalcModSin::kNoError && calc.Code() <= TCalcModSin::kWrongNodeCount,
          "the status is one of the codes");
  if (calc.Code() != TCalcModSin::kNoError) {
    Require(iNodes == 0 && nodes == nullptr, "a failed tabulation returns no list");
    return;
  }
  CheckTabulation(job, iNodes, nodes);
}

}  // namespace
}  // namespace modsin::fuzz

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  modsin::EstablishFloatEnvironment();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  modsin::fuzz::TJob job{};
  if (size < sizeof job) return 0;
  std::memcpy(&job, data, sizeof job);
  modsin::fuzz::Tabulate(job);
  return 0;
}
