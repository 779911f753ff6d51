// The tabulator's algorithm: the job's parameters and status, the node list,
// the seeds' places and the refinement by bisection, one interval after the
// other. The same work in batches, faster where no status can end it, is in
// UnitCalcModSinBatches.cpp; the steps that both take, inline in each, are in
// Bisection.h and NodeBlocks.h.
#include "calc/UnitCalcModSin.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "base/Exception.h"
#include "calc/Bisection.h"
#include "calc/DecidedRoot.h"
#include "calc/NodeBlocks.h"
#include "numeric/Extended.h"
#include "numeric/MathError.h"
#include "numeric/Ordered.h"
#include "numeric/Primitives.h"
#include "numeric/RoundedSine.h"

namespace modsin {
namespace {

constexpr std::string_view kStatusMessages[] = {
    "No error",                             // kNoError
    "xright should be greater than xleft",  // kIntervalReversed
    "a function should be raising one",     // kPhaseNotRising
    "Too much InitNodes",                   // kTooManyInitNodes
    "Function can not be continuous",       // kNotContinuous
    "Too much nodes",                       // kTooManyNodes
    "Dispose error",                        // kDisposeError
    "Wrong number of nodes",                // kWrongNodeCount
};

// The 32-bit seed index range, as bounds on the Extended quotient whose
// ceiling (left end) or floor (right end) becomes the index.
constexpr Extended kIndexMin = -2147483648.0L;
constexpr Extended kIndexMax = 2147483647.0L;

bool CeilingFitsIndex(Extended q) {
  return q > kIndexMin - 1 && q <= kIndexMax;
}
bool FloorFitsIndex(Extended q) {
  return q >= kIndexMin && q < kIndexMax + 1;
}

}  // namespace

TCalcModSin::TCalcModSin(double xleft, double xright, double p, double dx, double dy)
    : FMaxInitNodes(kDefaultMaxInitNodes), FMaxNodes(kDefaultMaxNodes) {
  SetValues(xleft, xright, p, dx, dy);
}

TCalcModSin::~TCalcModSin() {
  // What DisposeNodes would check, a status, goes with the object: the blocks
  // are released without a walk along the list (for a large list, a walk of
  // cache misses).
  ReleaseBlocks();
}

void TCalcModSin::SetValues(double xleft, double xright, double p, double dx, double dy) {
  // A NaN or an infinity in a parameter could only surface later, in some
  // comparison or node value; refuse it while nothing has changed yet.
  for (const double v : {xleft, xright, p, dx, dy})
    if (!std::isfinite(v)) Raise<EInvalidOp>();
  FExponent = p;
  FPower = TRealPower(p);
  FDX = dx;
  FDY = dy;
  if (xright > xleft) {
    FXLeft = xleft;
    FXRight = xright;
    SetError(kNoError);
  } else {
    FXLeft = 0.0;
    FXRight = 1.0;
    SetError(kIntervalReversed);
  }
}

void TCalcModSin::GetError(std::int32_t& code, std::string& msg) const {
  code = FErrorCode;
  msg.assign(FErrorMsg);
}

void TCalcModSin::SetError(std::int32_t code) {
  FErrorCode = code;
  FErrorMsg = kStatusMessages[code];
}

void TCalcModSin::CalculateXY(std::int32_t& iNodes, TNode*& Nodes) {
  iNodes = 0;
  Nodes = nullptr;
  DisposeNodes();
  if (FErrorCode != kNoError) return;
  CountInitNodes();
  if (FErrorCode != kNoError) return;
  BuildNodes();
  if (FErrorCode != kNoError) return;
  Nodes = FFirstNode;
  iNodes = FNodeCount;
}

double TCalcModSin::Phase(double x, double p) {
  return RoundToDouble(RealPower(x, p));
}

double TCalcModSin::CurveValue(double x) const {
  return RoundedSine(PhaseAt(x));
}

void TCalcModSin::DisposeNodes() {
  TNode* node = FFirstNode;
  while (node != nullptr && FNodeCount > 0) {
    node = node->next;
    --FNodeCount;
  }
  if (node != nullptr || FNodeCount != 0) SetError(kDisposeError);
  FFirstNode = nullptr;
  ReleaseBlocks();
}

void TCalcModSin::ReleaseBlocks() noexcept {
  // The blocks hold every node that was handed out, in the list or not.
  while (FBlocks != nullptr)
    delete std::exchange(FBlocks, FBlocks->FPrevious);
  FBlockFree = 0;
}

// The midpoint, the chord's value there and the curve value are rounded to
// double, as a node stores them; the widths and gaps compared with FDX and FDY
// are kept in Extended.
void TCalcModSin::RefineInterval(TNode* a, TNode* b) {
  if (FErrorCode == kNoError && FNodeCount < FMaxNodes) {
    if (IsWideEnough(*a, *b)) {
      const double xm = MeanOf(a->x, b->x);
      const double ylin = MeanOf(a->y, b->y);
      const double ym = CurveValue(xm);
      if (ApartByMoreThanDY(ym, ylin)) {
        // Linked and counted together, so that a raised failure leaves a list
        // that DisposeNodes can release.
        TNode* middle = NewNode(xm, ym, b);
        a->next = middle;
        ++FNodeCount;
        RefineInterval(a, middle);
        RefineInterval(middle, b);
      }
    } else if (ApartByMoreThanDY(b->y, a->y)) {
      // Too narrow to split, yet the curve jumps by more than the tolerance.
      SetError(kNotContinuous);
    }
  }
  if (FErrorCode == kNoError && FNodeCount >= FMaxNodes) SetError(kTooManyNodes);
}

void TCalcModSin::RefineInOrder() {
  // The next node is read before each call, so the pass steps over the nodes
  // that the call inserts.
  TNode* current = FFirstNode;
  for (std::int32_t intervals = FNodeCount - 1; intervals > 0; --intervals) {
    TNode* next = current->next;
    RefineInterval(current, next);
    current = next;
  }
}

double TCalcModSinXoverY::PhaseToX(double phase, double p) {
  if (IsLess(phase, kSmallPhaseBound)) return 0.0;
  if (p == 2) {
    if (const std::optional<double> root = DecidedRoot(phase)) return *root;
  }
  const Extended logPhase = NaturalLog(phase);
  if (p == 0) {
    if (logPhase == 0) Raise<EInvalidOp>();
    Raise<EZeroDivide>();
  }
  // e^(ln(phase) / p) through the general power: for the seeds of p = 2 this
  // is the correctly rounded square root of phase.
  // kEuler is Exponential(1), without computing it again for every seed.
  return RoundToDouble(RealPower(kEuler, logPhase / p));
}

void TCalcModSinXoverY::CountInitNodes() {
  if (FErrorCode != kNoError) return;
  const double fl = PhaseAt(FXLeft);
  const double fr = PhaseAt(FXRight);
  if (!IsGreater(fr, fl)) {
    FInitFirst = 0;
    FInitLast = 0;
    SetError(kPhaseNotRising);
    return;
  }
  // The seeds sit where the phase is a whole multiple of pi/2: indices from
  // ceil(2 fl / pi) to floor(2 fr / pi), the quotients kept in Extended.
  const Extended left = Extended{fl} * 2 / kPi;
  const Extended right = Extended{fr} * 2 / kPi;
  FInitFirst = CeilingToInt(left);
  FInitLast = FloorToInt(right);
  // An index beyond 32 bits would wrap and place seeds far outside the
  // interval, so such a range counts as too many seeds as well.
  if (!CeilingFitsIndex(left) || !FloorFitsIndex(right) ||
      std::int64_t{FInitLast} - FInitFirst > FMaxInitNodes)
    SetError(kTooManyInitNodes);
}

void TCalcModSinXoverY::BuildNodes() {
  if (FErrorCode != kNoError) return;
  PlaceSeeds();
  if (RefineInBatches()) return;
  // Some interval stops the refinement with a status, at a point that depends
  // on the order of the work: again from the seeds, one interval after the
  // other.
  DisposeNodes();
  PlaceSeeds();
  RefineInOrder();
}

}  // namespace modsin
