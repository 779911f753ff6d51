// The tabulator as one call, for programs that want the table rather than
// the tabulator: a job's parameters in, its nodes out as two arrays, and
// every failure raised, a status other than 0 included.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "base/Exception.h"
#include "calc/UnitCalcModSin.h"

namespace modsin {

// A tabulation of y = sin(x^p) over [FXLeft, FXRight]. The defaults are
// modsin-table's, which are modsin's first job.
struct TJob {
  double FXLeft = 0;
  double FXRight = 5;
  double FPower = 2;
  double FXResolution = 0.003;  // an interval no wider is kept
  double FYTolerance = 0.005;   // between the curve and a chord
  std::int32_t FMaxNodes = TCalcModSin::kDefaultMaxNodes;
  std::int32_t FMaxSeeds = TCalcModSin::kDefaultMaxInitNodes;
};

// The least limits that the programs take from their users (modsin-table's
// options, modsin.tabulate's arguments): a node ceiling of 2, the two end
// nodes, and any seed limit.
inline constexpr std::int32_t kLeastMaxNodes = 2;
inline constexpr std::int32_t kLeastMaxSeeds = 0;

// The nodes in order of x: node i is (FX[i], FY[i]). Each vector holds
// exactly its nodes (its capacity is its size).
struct TTable {
  std::vector<double> FX;
  std::vector<double> FY;
};

// A tabulation that ended with a status other than 0: the code and its fixed
// message as TCalcModSin::GetError tells them (3, "Too much InitNodes").
// what() is the message.
class EStatus : public Exception {
 public:
  EStatus(std::int32_t code, std::string_view message) noexcept : Exception(message), FCode(code) {}
  const char* ClassName() const noexcept override { return "EStatus"; }
  std::int32_t Code() const noexcept { return FCode; }

 private:
  std::int32_t FCode;
};

// Runs the job with TCalcModSinXoverY and returns its nodes; the tabulator
// and its node list are gone before it returns. Computes in modsin's own
// floating-point environment whatever the caller's, and restores the
// caller's (its control words; the x87 pending conditions are cleared), so
// that the nodes are the same bits in any program.
// Raises EStatus for a status other than 0, and otherwise what the
// tabulator raises: EInvalidOp for a NaN or an infinite parameter and the
// math failures of the job (EInvalidOp, EZeroDivide, EOverflow), and
// EOutOfMemory, also when the table's own arrays cannot be had.
TTable Tabulate(const TJob& job);

// Runs the job as Tabulate does, but hands its node list to use(first, count)
// while the list exists, for a program that writes the nodes out as they are:
// it spares the two arrays, which would double the memory of a large job. use
// runs in modsin's floating-point environment; the tabulator and its list are
// gone when this returns or raises. Raises as Tabulate does, before use is
// called, and whatever use raises.
void TabulateNodes(const TJob& job,
                   const std::function<void(const TNode* first, std::int32_t count)>& use);

}  // namespace modsin
