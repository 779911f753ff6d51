#include "calc/UnitCalcModSin.h"

#include <cmath>
#include <cstdint>
#include <new>
#include <optional>
#include <utility>

#include "base/Exception.h"
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

// 64 nodes (1.5 KiB) a block: the built-in jobs need 2 and 8 of them.
constexpr std::int32_t kBlockNodes = 64;

// How many curve values are computed side by side (CurveValues) where they
// need not wait for each other: more gains nothing.
constexpr int kCurveValueBatch = 4;

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

// The mean of two finite doubles, formed in Extended and rounded once: a
// finite double again, so unchecked. A midpoint's x, and the chord's value
// there.
double MeanOf(double a, double b) {
  return static_cast<double>((Extended{a} + b) / 2);
}

// For p = 2, PhaseToX forms the square root of a phase as e^(ln(phase) / 2),
// every step rounded. Those steps are within 1 unit of their last place
// (the logarithm and 2^f - 1 are correctly rounded, within half a unit; the
// others are single roundings), so the value R differs from sqrt(phase) by
// little: ln(phase), its half and the base-2 exponent v made of it are
// within 2.91 units of v's last place, which moves R by 2.02 |v| units of
// its own; 2^f - 1 and the addition of 1 add 0.92. Where ln(phase) / 2 is a
// whole number n, R is e^n by products instead, within 2.6 n. In units of
// 2^-64 of R, with 2^e <= phase < 2^(e + 1), that is at most 2.2 |e| + 4.4:
// less than 3 |e| + 8. The square root rounded once (half a unit more)
// therefore rounds to R's double wherever it lies farther than that from a
// midpoint between two doubles; only nearer is the long way taken. Up to
// 2^160 the margin stays below 512 units, where a midpoint lies under a
// power of two.
constexpr int kLowestRootExponent = -17;  // 2^-17 < kSmallPhaseBound
constexpr int kHighestRootExponent = 159;

std::optional<double> DecidedRoot(double phase) {
  // 2^e <= phase < 2^(e + 1): a phase is normal here.
  const int e = ExtendedBits(phase).FExponent - kExtendedBias;
  if (e < kLowestRootExponent || e > kHighestRootExponent) return std::nullopt;
  const Extended root = SquareRoot(phase);
  const auto margin = static_cast<unsigned>(3 * (e < 0 ? -e : e) + 8);
  if (UnitsFromDoubleMidpoint(root) <= margin) return std::nullopt;
  return static_cast<double>(root);
}

}  // namespace

struct TCalcModSin::TNodeBlock {
  TNodeBlock* FPrevious;
  TNode FNodes[kBlockNodes];
};

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

double TCalcModSin::PhaseAt(double x) const {
  return RoundToDouble(FPower(x));
}

double TCalcModSin::CurveValue(double x) const {
  return RoundedSine(PhaseAt(x));
}

void TCalcModSin::CurveValues(const double* x, double* y, int count) const {
  for (int i = 0; i < count; ++i)
    y[i] = PhaseAt(x[i]);
  RoundedSines(y, y, count);
}

bool TCalcModSin::IsWideEnough(const TNode& a, const TNode& b) const {
  return IsGreater(Extended{b.x} - a.x, FDX);
}

bool TCalcModSin::ApartByMoreThanDY(double y1, double y0) const {
  return IsGreater(std::fabs(Extended{y1} - y0), FDY);
}

TNode* TCalcModSin::NewNode(double x, double y, TNode* next) {
  if (FBlockFree == 0) {
    auto* block = new (std::nothrow) TNodeBlock{FBlocks, {}};
    if (block == nullptr) Raise<EOutOfMemory>();
    FBlocks = block;
    FBlockFree = kBlockNodes;
  }
  TNode* node = &FBlocks->FNodes[kBlockNodes - FBlockFree--];
  *node = {x, y, next};
  return node;
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
