#include "calc/UnitCalcModSin.h"

#include "tests/calc/CalcProbe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "calc/DecidedRoot.h"
#include "numeric/MathError.h"
#include "numeric/Primitives.h"
#include "tests/support/Digest.h"

namespace modsin {
namespace {

using testing::TProbe;

struct Outcome {
  std::int32_t code;
  std::int32_t iNodes;
  std::int32_t held;  // nodes the object holds afterwards
  bool operator==(const Outcome&) const = default;
};

Outcome Calculate(TProbe& calc) {
  std::int32_t iNodes = -1;
  TNode* nodes = nullptr;
  calc.CalculateXY(iNodes, nodes);
  EXPECT_EQ(iNodes == 0, nodes == nullptr);
  if (nodes != nullptr) {
    EXPECT_EQ(calc.FFirstNode, nodes);
  }
  return {calc.Code(), iNodes, calc.FNodeCount};
}

constexpr double kDx = 0.003;  // the built-in jobs' tolerances
constexpr double kDy = 0.005;

TEST(TCalcModSin, CreateValidatesTheInterval) {
  TProbe ok(0, 5, 2, kDx, kDy);
  EXPECT_EQ(0, ok.Code());
  EXPECT_EQ("No error", ok.Message());
  EXPECT_EQ(0, ok.FNodeCount);
  EXPECT_EQ(nullptr, ok.FFirstNode);

  for (const double xright : {3.0, 2.0}) {
    TProbe reversed(3, xright, 7, 0.1, 0.2);
    EXPECT_EQ(1, reversed.Code());
    EXPECT_EQ("xright should be greater than xleft", reversed.Message());
    EXPECT_EQ(0.0, reversed.FXLeft);
    EXPECT_EQ(1.0, reversed.FXRight);
    EXPECT_EQ(7, reversed.FExponent);
    EXPECT_EQ(0.1, reversed.FDX);
    EXPECT_EQ(0.2, reversed.FDY);
  }
}

TEST(TCalcModSin, FailedSetValuesKeepsTheListUntilTheNextCalculation) {
  TProbe calc(0, 5, 2, kDx, kDy);
  ASSERT_EQ(127, Calculate(calc).iNodes);
  calc.SetValues(3, 3, 7, 0.1, 0.2);
  EXPECT_EQ(1, calc.Code());
  EXPECT_EQ(127, calc.FNodeCount);
  EXPECT_EQ((Outcome{1, 0, 0}), Calculate(calc));
  EXPECT_EQ(nullptr, calc.FFirstNode);
}

TEST(TCalcModSin, NonFiniteParametersAreRefusedBeforeAnythingChanges) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  TProbe calc(0, 5, 2, kDx, kDy);
  for (int i = 0; i < 5; ++i) {
    for (const double bad : {nan, inf, -inf}) {
      double args[5] = {0, 10, 2, kDx, kDy};
      args[i] = bad;
      EXPECT_THROW(calc.SetValues(args[0], args[1], args[2], args[3], args[4]), EInvalidOp);
      EXPECT_EQ(5, calc.FXRight);
      EXPECT_EQ(kDx, calc.FDX);
    }
  }
  EXPECT_THROW(TProbe(nan, 1, 2, kDx, kDy), EInvalidOp);
}

// A count that disagrees with the list gives status 6. The release walks the
// list while the count lasts and leaves what is left of the count: short of
// the list, none, and the next job starts clean; beyond it, the rest, which
// the next job's release finds.
TEST(TCalcModSin, Status6GuardsTheCountInvariant) {
  struct Case {
    std::int32_t count;
    std::int32_t code;
    Outcome next;
  };
  const Case cases[] = {{127, 0, {0, 127, 127}},
                        {200, 6, {6, 0, 73}},
                        {128, 6, {6, 0, 1}},
                        {126, 6, {0, 127, 127}},
                        {0, 6, {0, 127, 127}}};
  for (const Case& c : cases) {
    TProbe calc(0, 5, 2, kDx, kDy);
    ASSERT_EQ(127, Calculate(calc).iNodes);
    calc.FNodeCount = c.count;
    calc.Dispose();
    SCOPED_TRACE(c.count);
    EXPECT_EQ(c.code, calc.Code());
    EXPECT_EQ(c.code == 0 ? "No error" : "Dispose error", calc.Message());
    EXPECT_EQ(nullptr, calc.FFirstNode);
    calc.SetValues(0, 5, 2, kDx, kDy);
    EXPECT_EQ(c.next, Calculate(calc));
  }
}

struct JobCase {
  double xleft, xright, p, dx, dy;
  Outcome outcome;
};

TEST(CalculateXY, CountsAndStatuses) {
  const JobCase cases[] = {
      // The built-in jobs.
      {0, 5, 2, kDx, kDy, {0, 127, 127}},
      {0, 10, 2, kDx, kDy, {0, 463, 463}},
      // No refinement: the seed list alone.
      {0, 5, 2, kDx, 10, {0, 18, 18}},
      {0, 10, 2, kDx, 10, {0, 66, 66}},
      // Refinement limits.
      {0, 5, 2, 0, 0, {5, 0, 2000}},
      {0, 5, 2, 0, kDy, {0, 127, 127}},
      {0, 12.5, 2, 0.001, 0.001, {5, 0, 2000}},
      {0, 5, 2, kDx, 0.0001, {4, 0, 653}},
      {0, 5, 2, 1, kDy, {4, 0, 19}},
      // Seed ranges.
      {1, 1.1, 2, kDx, kDy, {0, 2, 2}},
      {0, 13, 2, kDx, kDy, {3, 0, 0}},
      {0, 12.55, 2, kDx, kDy, {0, 715, 715}},
      {0, 12.6, 2, kDx, kDy, {3, 0, 0}},
      {10, 16, 2, kDx, kDy, {0, 696, 696}},
      {1, 5, -1, kDx, kDy, {2, 0, 0}},
      {1, 5, 0, kDx, kDy, {2, 0, 0}},
      {-3, 5, 1, kDx, kDy, {0, 40, 40}},
      {-2, 3, 3, kDx, kDy, {0, 197, 197}},
      {-1, 3, 2, kDx, kDy, {0, 58, 58}},
      // Indices beyond 32 bits are too many seeds, never wrapped seeds.
      {0, 60000, 2, kDx, kDy, {3, 0, 0}},
      {0, 100000, 2, kDx, kDy, {3, 0, 0}},
      {100000, 100000.0001, 2, kDx, 10, {3, 0, 0}},
      {-60000, 0, 1, kDx, kDy, {3, 0, 0}},
      // Seeds that would land right of xright are not placed.
      {-1.5, -1.4645918875615231, 3, kDx, kDy, {0, 2, 2}},
  };
  for (const JobCase& c : cases) {
    TProbe calc(c.xleft, c.xright, c.p, c.dx, c.dy);
    const Outcome got = Calculate(calc);
    SCOPED_TRACE(::testing::Message() << "[" << c.xleft << ", " << c.xright << "] p=" << c.p
                                      << " dx=" << c.dx << " dy=" << c.dy);
    EXPECT_EQ(c.outcome.code, got.code);
    EXPECT_EQ(c.outcome.iNodes, got.iNodes);
    EXPECT_EQ(c.outcome.held, got.held);
    // Whatever the status, the held list is ordered, counted and inside the interval.
    const std::vector<double> xs = calc.Xs();
    EXPECT_EQ(got.held, static_cast<std::int32_t>(xs.size()));
    for (std::size_t i = 1; i < xs.size(); ++i)
      EXPECT_LE(xs[i - 1], xs[i]) << i;
    if (!xs.empty()) {
      EXPECT_EQ(c.xleft, xs.front());
      for (const double x : xs)
        EXPECT_LE(x, c.xright);
    }
  }
}

// What a caller sees of a job: the status, the nodes handed out and the
// bits of the nodes held, or the failure raised.
std::string Seen(TProbe& calc) {
  try {
    const Outcome outcome = Calculate(calc);
    std::string seen = std::to_string(outcome.code) + " " + std::to_string(outcome.iNodes) + ":";
    for (const TNode* node = calc.FFirstNode; node != nullptr; node = node->next)
      seen.append(reinterpret_cast<const char*>(node), 2 * sizeof(double));
    return seen;
  } catch (const EMathError& e) {
    return e.ClassName();
  }
}

// Refining in batches changes nothing a caller sees, also where a status
// ends the work early (the refinement starts again from the seeds, in order)
// and where the bisection outgrows the batches' store.
TEST(CalculateXY, BatchesChangeNothing) {
  struct Job {
    double xleft, xright, p, dx, dy;
    std::int32_t maxNodes;
  };
  std::vector<Job> jobs = {
      {0, 10, 2, kDx, kDy, 2000},
      {0, 10, 2, kDx, kDy, 300},   // the node limit midway
      {0, 10, 2, kDx, kDy, 463},   // the limit on the last node: status 5 all the same
      {0, 10, 2, 0.5, kDy, 2000},  // status 4 on the first interval too narrow to split
      {0, 5, 2, kDx, kDy, 18},     // the seeds alone reach the limit
      {10, 11, 2, 0, 0, 2000},     // deeper than the store: every interval is split
      {-2, 3, 3, 1e-4, 1e-4, 2000},
      {-1, 1e9, 0, kDx, kDy, 2000},
      {1e150, 1.3e154, 2, 1e140, kDy, 2000},  // up to the largest finite phases
  };
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> unit(0, 1);
  for (int i = 0; i < 300; ++i) {
    const double xleft = unit(random) * 8 - 4;
    jobs.push_back({xleft, xleft + unit(random) * 8, static_cast<double>(random() % 5),
                    std::pow(10, -6 * unit(random)), std::pow(10, -4 * unit(random)),
                    static_cast<std::int32_t>(random() % 3000)});
  }
  for (const Job& job : jobs) {
    TProbe batched(job.xleft, job.xright, job.p, job.dx, job.dy);
    TProbe inOrder(job.xleft, job.xright, job.p, job.dx, job.dy);
    batched.SetLimits(job.maxNodes, 100000);
    inOrder.SetLimits(job.maxNodes, 100000);
    inOrder.RefineOnlyInOrder();
    EXPECT_EQ(Seen(inOrder), Seen(batched)) << job.xleft << " " << job.xright << " " << job.p << " "
                                            << job.dx << " " << job.dy << " " << job.maxNodes;
  }
}

TEST(CalculateXY, JobOneNodes) {
  TProbe calc(0, 5, 2, kDx, kDy);
  ASSERT_EQ(127, Calculate(calc).iNodes);
  const std::vector<double> xs = calc.Xs();
  const std::vector<double> head = {0, 0, 0.078332133582218758, 0.15666426716443752,
                                    0.23499640074665629};
  const std::vector<double> tail = {4.9635161953473119, 4.981758097673656, 5};
  EXPECT_EQ(head, std::vector<double>(xs.begin(), xs.begin() + 5));
  EXPECT_EQ(tail, std::vector<double>(xs.end() - 3, xs.end()));
  const TNode* last = calc.FFirstNode;
  while (last->next != nullptr)
    last = last->next;
  EXPECT_EQ(-0.13235175009777303, last->y);  // sin 25
}

TEST(CalculateXY, JobsAgreeUpToTheLastSeedOfJobOne) {
  TProbe one(0, 5, 2, kDx, kDy);
  TProbe two(0, 10, 2, kDx, kDy);
  Calculate(one);
  Calculate(two);
  const std::vector<double> a = one.Xs(), b = two.Xs();
  ASSERT_EQ(463u, b.size());
  EXPECT_EQ(std::vector<double>(a.begin(), a.begin() + 119),
            std::vector<double>(b.begin(), b.begin() + 119));
  EXPECT_EQ(4.8540647813892486, a[118]);
}

TEST(CalculateXY, RepeatedCallBuildsTheSameList) {
  TProbe calc(0, 10, 2, kDx, kDy);
  Calculate(calc);
  const std::vector<double> first = calc.Xs();
  EXPECT_EQ((Outcome{0, 463, 463}), Calculate(calc));
  EXPECT_EQ(first, calc.Xs());
}

TEST(CalculateXY, AfterAFailureReleasesAndReturnsNothing) {
  TProbe calc(0, 5, 2, kDx, 0.0001);
  ASSERT_EQ(4, Calculate(calc).code);
  EXPECT_EQ((Outcome{4, 0, 0}), Calculate(calc));
  EXPECT_EQ(nullptr, calc.FFirstNode);
  calc.SetValues(0, 5, 2, kDx, kDy);
  EXPECT_EQ((Outcome{0, 127, 127}), Calculate(calc));
}

TEST(Seeds, IndexRanges) {
  struct Case {
    double xleft, xright, p;
    std::int32_t first, last;
  };
  const Case cases[] = {
      {0, 5, 2, 0, 15}, {0, 10, 2, 0, 63},    {-3, 5, 1, -1, 3}, {-2, 3, 3, -5, 17},
      {-1, 3, 2, 1, 5}, {10, 16, 2, 64, 162}, {1, 1.1, 2, 1, 0}, {1, 5, -1, 0, 0},
  };
  for (const Case& c : cases) {
    TProbe calc(c.xleft, c.xright, c.p, kDx, 10);
    Calculate(calc);
    EXPECT_EQ(c.first, calc.FInitFirst) << c.xleft << " " << c.xright;
    EXPECT_EQ(c.last, calc.FInitLast) << c.xleft << " " << c.xright;
  }
}

TEST(Seeds, JobOneSeedsAreCorrectlyRoundedRoots) {
  TProbe calc(0, 5, 2, kDx, 10);
  ASSERT_EQ(18, Calculate(calc).iNodes);
  const std::vector<double> xs = calc.Xs();
  EXPECT_EQ(1.2533141373155001, xs[2]);
  EXPECT_EQ(1.7724538509055159, xs[3]);
  EXPECT_EQ(2.1708037636748028, xs[4]);
  EXPECT_EQ(4.8540647813892486, xs[16]);
  int k = 0;
  for (const TNode* n = calc.FFirstNode->next; n->next != nullptr; n = n->next, ++k) {
    const double phase = static_cast<double>(k * kPi / 2);
    EXPECT_EQ(std::sqrt(phase), n->x) << k;
    if (k % 2 == 1) {
      EXPECT_EQ(k % 4 == 1 ? 1.0 : -1.0, n->y) << k;
    }
    if (k >= 2 && k % 2 == 0) {
      EXPECT_LT(std::fabs(n->y), 3e-14) << k;
    }
  }
}

// For p = 2 the square root decides most seeds; it must give exactly the
// double that e^(ln(phase) / 2) gives, also next to midpoints between doubles
// (squares of midpoints), where ln(phase) / 2 is whole (next to e^(2n)), at
// powers of two and at the ends of the range the root serves.
TEST(Seeds, SquareRootSeedsAreTheLogarithmsSeeds) {
  std::vector<double> phases;
  const auto around = [&phases](double phase) {
    for (int i = 0; i < 5; ++i) {
      phases.push_back(phase);
      phase = std::nextafter(phase, 1e300);
    }
  };
  for (int k = 1; k <= 20000; ++k)
    phases.push_back(static_cast<double>(k * kPi / 2));
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> exponent(-17, 170);
  std::uniform_real_distribution<double> unit(1, 2);
  for (int i = 0; i < 20000; ++i) {
    const double root = std::exp2(exponent(random) / 2);
    // The square of the midpoint above root, rounded twice: next to it.
    const Extended midpoint = Extended{root} + Extended{std::nextafter(root, 1e300) - root} / 2;
    around(std::nextafter(static_cast<double>(midpoint * midpoint), 0.0));
    phases.push_back(std::exp2(exponent(random)) * unit(random));
  }
  for (int n = 1; n <= 55; ++n)
    around(std::nextafter(static_cast<double>(RealPower(kEuler, 2 * n)), 0.0));
  for (int e = -18; e <= 162; ++e)
    around(std::nextafter(std::ldexp(1.0, e), 0.0));
  // The root alone decides all but about 1 in 20 of the first 20000 seeds.
  int decided = 0;
  for (int k = 0; k < 20000; ++k)
    decided += DecidedRoot(phases[static_cast<std::size_t>(k)]) ? 1 : 0;
  EXPECT_GT(decided, 18000);
  for (const double phase : phases) {
    if (phase < 1e-5) continue;  // x = 0 for these
    const double byLogarithm = RoundToDouble(RealPower(kEuler, NaturalLog(phase) / 2));
    ASSERT_EQ(byLogarithm, TCalcModSinXoverY::PhaseToX(phase, 2)) << phase;
  }
}

TEST(Seeds, AllSeedsOfTheBuiltInJobsAreCorrectlyRoundedRoots) {
  for (int k = 0; k <= 63; ++k) {
    const double phase = static_cast<double>(k * kPi / 2);
    EXPECT_EQ(k == 0 ? 0.0 : std::sqrt(phase), TCalcModSinXoverY::PhaseToX(phase, 2)) << k;
  }
}

TEST(Seeds, ExtendedPiMattersForSomeIndices) {
  for (const int k : {11, 15}) {
    const double withExtendedPi = static_cast<double>(k * kPi / 2);
    const double withDoublePi = k * 3.141592653589793 / 2;
    EXPECT_NE(withExtendedPi, withDoublePi) << k;
  }
}

TEST(Seeds, PhaseToX) {
  EXPECT_EQ(0.0, TCalcModSinXoverY::PhaseToX(-1, 2));
  EXPECT_EQ(0.0, TCalcModSinXoverY::PhaseToX(std::nextafter(1e-5, 0.0), 2));
  EXPECT_NE(0.0, TCalcModSinXoverY::PhaseToX(1e-5, 2));
  EXPECT_EQ(2.0, TCalcModSinXoverY::PhaseToX(8, 3));
  EXPECT_THROW(TCalcModSinXoverY::PhaseToX(2, 0), EZeroDivide);
  EXPECT_THROW(TCalcModSinXoverY::PhaseToX(std::numeric_limits<double>::quiet_NaN(), 2),
               EInvalidOp);
}

TEST(Failures, RaisedAndTheStatusStays) {
  struct Case {
    double xleft, xright, p;
    const char* kind;
  };
  const Case cases[] = {
      {-1, 5, 0.5, "EInvalidOp"},   // logarithm of a negative phase base
      {0, 5, -1, "EZeroDivide"},    // reciprocal of zero
      {0, 5, -0.5, "EZeroDivide"},  // logarithm of zero
      {0, 2e154, 2, "EOverflow"},   // x^2 beyond the double range
      {0, 4e9, 2, "EInvalidOp"},    // seed index beyond 64 bits
      {-1, 1, -1, "EZeroDivide"},   // the seed at x = 0
  };
  for (const Case& c : cases) {
    TProbe calc(c.xleft, c.xright, c.p, kDx, kDy);
    try {
      Calculate(calc);
      ADD_FAILURE() << "no failure for " << c.xleft << " " << c.xright << " " << c.p;
    } catch (const EMathError& e) {
      EXPECT_STREQ(c.kind, e.ClassName());
    }
    EXPECT_EQ(0, calc.Code());
    // The list left behind is consistent and released by the next run.
    EXPECT_EQ(static_cast<std::int32_t>(calc.Xs().size()), calc.FNodeCount);
    calc.SetValues(0, 5, 2, kDx, kDy);
    EXPECT_EQ((Outcome{0, 127, 127}), Calculate(calc));
  }
}

TEST(Phase, RoundsToDouble) {
  EXPECT_EQ(25, TCalcModSin::Phase(5, 2));
  EXPECT_EQ(0, TCalcModSin::Phase(1e-200, 2));
  EXPECT_THROW(TCalcModSin::Phase(1e155, 2), EOverflow);
  EXPECT_THROW(TCalcModSin::Phase(1.3407807929942597e154, 2), EOverflow);
  EXPECT_NO_THROW(TCalcModSin::Phase(1.3407807929942596e154, 2));
}

// Every node of 200 jobs from a fixed sequence (intervals that reach below
// zero, whole and fractional exponents, tolerances over two decades, about
// 330,000 nodes; some end in a status or a raised failure), held to a digest
// computed on Linux: the Windows build, with its own compiler and run-time
// library, must tabulate the same bits.
TEST(TCalcModSin, SameBitsOnEveryPlatform) {
  std::mt19937_64 random(20261207);
  // A number from a whole one by one division: the same double everywhere.
  const auto draw = [&](int low, int high, double scale) {
    return static_cast<double>(low + static_cast<int>(random() % (high - low + 1))) / scale;
  };
  testing::TDigest digest;
  for (int job = 0; job < 200; ++job) {
    const double xleft = draw(-200, 300, 100);
    const double xright = xleft + draw(1, 800, 100);
    const double p = job % 2 == 0 ? draw(1, 4, 1) : draw(50, 400, 100);
    // Named, not drawn in the call: the order of a call's arguments is the
    // compiler's choice.
    const double dx = draw(1, 100, 1000000);
    const double dy = draw(1, 100, 100000);
    TProbe calc(xleft, xright, p, dx, dy);
    calc.SetLimits(1000000, 100000);
    try {
      digest.Add(Calculate(calc).iNodes);
      digest.Add(calc.Code());
      for (const TNode* node = calc.FFirstNode; node != nullptr; node = node->next) {
        digest.Add(node->x);
        digest.Add(node->y);
      }
    } catch (const EMathError& e) {
      digest.Add(e.ClassName(), std::strlen(e.ClassName()));
    }
  }
  EXPECT_EQ(0x213DDA1F0BCFD143U, digest.Value());
}

}  // namespace
}  // namespace modsin
