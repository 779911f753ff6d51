// The tabulator's work in batches: the seeds and the refinement take several
// curve values at a time, where they need not wait for each other, and give
// the nodes that the refinement in order (UnitCalcModSin.cpp) gives.
#include "calc/UnitCalcModSin.h"

#include <cstdint>

#include "calc/Bisection.h"
#include "calc/NodeBlocks.h"
#include "numeric/Extended.h"
#include "numeric/Ordered.h"
#include "numeric/Primitives.h"
#include "numeric/RoundedSine.h"

namespace modsin {
namespace {

// How many curve values are computed side by side (CurveValues) where they
// need not wait for each other: more gains nothing.
constexpr int kCurveValueBatch = 4;

}  // namespace

void TCalcModSin::CurveValues(const double* x, double* y, int count) const {
  for (int i = 0; i < count; ++i)
    y[i] = PhaseAt(x[i]);
  RoundedSines(y, y, count);
}

// Where RefineInOrder sets no status, the nodes it inserts do not depend on
// the order in which the intervals are refined: each interval's midpoint and
// its test depend on its two end nodes alone. So the intervals can be taken
// several at a time, their curve values computed one beside the other instead
// of each waiting for the test of the one before (a fifth of a job's time).
// Whatever would end in a status, the node limit or a curve value that fails,
// gives the work back to RefineInOrder from the seeds:
//   - a curve value fails only where RefineInOrder would raise the failure
//     from some other interval first, or not at all: so the curve values must
//     not fail here. A power with a whole exponent n >= 0 cannot fail between
//     two x whose curve values were computed: |x^n| grows with |x| at every
//     rounded step, and every midpoint lies between the interval's ends;
//   - the pending intervals must fit a fixed store, which holds a bisection
//     some 30 levels deep (to a billionth of a seed interval); deeper ones
//     go in order.
bool TCalcModSin::RefineInBatches() {
  if (!FPower.IsWholeAndNonNegative() || FNodeCount >= FMaxNodes) return false;
  struct TInterval {
    TNode* a;
    TNode* b;
  };
  // The intervals waiting for their midpoint, the next one on top; the seed
  // intervals not yet among them start at nextSeed.
  constexpr int kBatch = kCurveValueBatch;
  constexpr int kPendingCapacity = 128;
  TInterval pending[kPendingCapacity];
  int pendingCount = 0;
  TNode* nextSeed = FFirstNode;
  std::int32_t seedIntervals = FNodeCount - 1;
  for (;;) {
    while (pendingCount < kBatch && seedIntervals > 0) {
      pending[pendingCount++] = {nextSeed, nextSeed->next};
      nextSeed = nextSeed->next;
      --seedIntervals;
    }
    if (pendingCount == 0) return true;
    struct TMidpoint {
      TInterval interval;
      bool wide;
      double x, ylin, y;
    };
    TMidpoint batch[kBatch];
    // The midpoints of the intervals wide enough to split, their curve values
    // computed together.
    double xs[kBatch];
    double ys[kBatch];
    int wide[kBatch];
    int wideCount = 0;
    const int count = pendingCount < kBatch ? pendingCount : kBatch;
    for (int i = 0; i < count; ++i) {
      TMidpoint& m = batch[i];
      m.interval = pending[--pendingCount];
      const TNode& a = *m.interval.a;
      const TNode& b = *m.interval.b;
      m.wide = IsWideEnough(a, b);
      if (!m.wide) continue;
      m.x = MeanOf(a.x, b.x);
      m.ylin = MeanOf(a.y, b.y);
      xs[wideCount] = m.x;
      wide[wideCount++] = i;
    }
    CurveValues(xs, ys, wideCount);
    for (int j = 0; j < wideCount; ++j)
      batch[wide[j]].y = ys[j];
    for (int i = 0; i < count; ++i) {
      const TMidpoint& m = batch[i];
      TNode* a = m.interval.a;
      TNode* b = m.interval.b;
      if (!m.wide) {
        if (ApartByMoreThanDY(b->y, a->y)) return false;  // status 4
        continue;
      }
      if (!ApartByMoreThanDY(m.y, m.ylin)) continue;
      if (FNodeCount + 1 >= FMaxNodes || pendingCount + 2 > kPendingCapacity) return false;
      TNode* middle = NewNode(m.x, m.y, b);
      a->next = middle;
      ++FNodeCount;
      pending[pendingCount++] = {middle, b};
      pending[pendingCount++] = {a, middle};
    }
  }
}

void TCalcModSinXoverY::PlaceSeeds() {
  // The list is kept linked and counted at every step, so that a raised
  // failure leaves it releasable.
  const double yLeft = CurveValue(FXLeft);
  FFirstNode = NewNode(FXLeft, yLeft, nullptr);
  FNodeCount = 1;
  const double yRight = CurveValue(FXRight);
  FLastNode = NewNode(FXRight, yRight, nullptr);
  FFirstNode->next = FLastNode;
  FNodeCount = 2;

  // A seed's x does not depend on the seeds before it. With a whole exponent
  // n >= 0 neither it nor the seed's curve value can fail: x is 0 or the n-th
  // root of a multiple of pi/2 below 2^32 (n = 0 never gets here, its phase
  // does not rise), and a curve value cannot fail between two ends whose
  // values were computed (as in RefineInBatches). There the seeds' curve
  // values are computed several at a time, and the seeds linked in order once
  // they are known. Otherwise each seed is linked before the next one's x is
  // sought, so that a raised failure leaves the seeds before it in the list.
  const int batch = FPower.IsWholeAndNonNegative() ? kCurveValueBatch : 1;
  double xs[kCurveValueBatch];
  double ys[kCurveValueBatch];
  int count = 0;
  TNode* current = FFirstNode;
  const auto linkSeeds = [&] {
    CurveValues(xs, ys, count);
    for (int i = 0; i < count; ++i) {
      TNode* seed = NewNode(xs[i], ys[i], FLastNode);
      current->next = seed;
      ++FNodeCount;
      current = seed;
    }
    count = 0;
  };
  double lastX = FXLeft;
  for (std::int64_t k = FInitFirst; k <= FInitLast; ++k) {
    // k * pi first, then halved, rounded to double once.
    const double x = PhaseToX(RoundToDouble(static_cast<Extended>(k) * kPi / 2), FExponent);
    // Every negative phase maps to x = 0, and a negative p maps phases to
    // positive x: such a seed would leave the list unordered or outside the
    // interval. Equal x is kept (a seed on an end point, shared x = 0 seeds).
    if (IsLess(x, lastX) || IsGreater(x, FXRight)) continue;
    lastX = x;
    xs[count++] = x;
    if (count == batch) linkSeeds();
  }
  linkSeeds();
}

}  // namespace modsin
