// The program's two built-in jobs as the benchmarks run them: their
// parameters, and the inputs taken from their node lists.
#pragma once

#include <cstdint>
#include <vector>

#include "calc/UTypes.h"
#include "calc/UnitCalcModSin.h"

namespace modsin::bench {

struct TBenchJob {
  const char* FName;
  double FXLeft;
  double FXRight;
};

// p = 2, x resolution 0.003 and y tolerance 0.005, as in app/Main.cpp.
inline constexpr double kExponent = 2.0;
inline constexpr double kXResolution = 0.003;
inline constexpr double kYTolerance = 0.005;
inline constexpr TBenchJob kJobs[] = {{"job1", 0.0, 5.0}, {"job2", 0.0, 10.0}};

// A tabulator that has run the job, its list ready to read.
class TJobTabulator : public TCalcModSinXoverY {
 public:
  explicit TJobTabulator(const TBenchJob& job)
      : TCalcModSinXoverY(job.FXLeft, job.FXRight, kExponent, kXResolution, kYTolerance) {
    TNode* nodes = nullptr;
    CalculateXY(FCount, nodes);
  }

  std::int32_t Count() const { return FCount; }
  const TNode* First() const { return FFirstNode; }
  double Resolution() const { return FDX; }
  double Curve(double x) const { return CurveValue(x); }

 private:
  std::int32_t FCount = 0;
};

// Every x and y of both jobs' node lists, in list order.
std::vector<double> JobCoordinates();

}  // namespace modsin::bench
