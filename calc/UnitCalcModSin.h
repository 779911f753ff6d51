// The curve tabulator. TCalcModSin holds a job's parameters, its node list and
// a status register, and refines the list by bisection; TCalcModSinXoverY
// seeds the list for y = sin(x^p) and writes it as a node table file.
//
// Failures of the tabulation itself are status codes (GetError), never
// raised; a failure is sticky: every computing operation does nothing until
// SetValues clears it. Raised failures are the floating-point ones of the
// numeric primitives (EInvalidOp, EZeroDivide, EOverflow) and EOutOfMemory;
// they leave the status register as it was and the node list consistent.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "calc/UTypes.h"
#include "numeric/Primitives.h"

namespace modsin {

class TCalcModSin {
 public:
  // Status codes; the message of each is fixed (GetError).
  static constexpr std::int32_t kNoError = 0;
  static constexpr std::int32_t kIntervalReversed = 1;
  static constexpr std::int32_t kPhaseNotRising = 2;
  static constexpr std::int32_t kTooManyInitNodes = 3;
  static constexpr std::int32_t kNotContinuous = 4;
  static constexpr std::int32_t kTooManyNodes = 5;
  static constexpr std::int32_t kDisposeError = 6;
  static constexpr std::int32_t kWrongNodeCount = 7;

  // The limits of a new tabulator (SetLimits). A job may ask for 101 seeds
  // (indices k0 .. k0 + 100), and may hold 1999 nodes after a successful
  // refinement: the 2000th stops it.
  static constexpr std::int32_t kDefaultMaxNodes = 2000;
  static constexpr std::int32_t kDefaultMaxInitNodes = 100;

  // Sets the default limits and then the values as SetValues does: the status
  // afterwards is 0 or 1.
  TCalcModSin(double xleft, double xright, double p, double dx, double dy);
  virtual ~TCalcModSin();
  TCalcModSin(const TCalcModSin&) = delete;
  TCalcModSin& operator=(const TCalcModSin&) = delete;

  // Stores p, the x resolution dx and the y tolerance dy. With xright > xleft
  // it stores the interval and sets status 0, the only way to clear a failure;
  // otherwise the interval becomes [0, 1] with status 1. The node list is
  // left alone. A NaN or an infinite argument raises EInvalidOp before
  // anything is stored.
  void SetValues(double xleft, double xright, double p, double dx, double dy);

  void GetError(std::int32_t& code, std::string& msg) const;

  // The limits the next CalculateXY works within, for a caller that wants
  // larger (or smaller) jobs than the defaults allow:
  //   maxNodes      the node ceiling: the refinement stops with status 5 once
  //                 the list holds this many nodes, so a successful job holds
  //                 fewer;
  //   maxInitNodes  the largest seed index range k1 - k0: a job whose seeds
  //                 need more stops with status 3 before any node is made.
  // Neither the status nor the node list changes.
  void SetLimits(std::int32_t maxNodes, std::int32_t maxInitNodes) noexcept {
    FMaxNodes = maxNodes;
    FMaxInitNodes = maxInitNodes;
  }

  // Releases the previous list, then (while the status is 0) seeds and refines
  // a new one. On success iNodes is the node count and Nodes the first node
  // (at xleft), valid for reading until the next CalculateXY or destruction;
  // on any failure iNodes is 0 and Nodes nullptr, and GetError tells why.
  void CalculateXY(std::int32_t& iNodes, TNode*& Nodes);

  // x^p rounded to double.
  static double Phase(double x, double p);

 protected:
  // Find the seed index range [FInitFirst, FInitLast] of the current job.
  virtual void CountInitNodes() = 0;
  // Lay out the seed nodes and refine every seed interval.
  virtual void BuildNodes() = 0;

  // Refines the interval between node a and its successor b by bisection,
  // depth first, while the midpoint leaves the chord by more than FDY.
  void RefineInterval(TNode* a, TNode* b);
  // RefineInterval for every interval of the list, from the first node on.
  void RefineInOrder();
  // The same nodes as RefineInOrder, found faster; false, with the list in
  // some releasable state, where RefineInOrder would set a status (or the
  // work does not fit this way): then only RefineInOrder from the same seeds
  // gives the status, and the list, that RefineInOrder gives.
  bool RefineInBatches();
  // x^p rounded to double: the phase whose sine is the curve value.
  double PhaseAt(double x) const { return RoundToDouble(FPower(x)); }
  // The curve value sin(x^p) at x, rounded to double.
  double CurveValue(double x) const;
  // CurveValue of x[0 ... count), into y: the powers first, then the sines
  // together (RoundedSines).
  void CurveValues(const double* x, double* y, int count) const;
  // A new node from the current block of nodes; EOutOfMemory when a block is
  // needed and cannot be had. Inline (calc/NodeBlocks.h), so that the
  // refinement's loops place a node without a call.
  inline TNode* NewNode(double x, double y, TNode* next);
  // Releases the list while it agrees with FNodeCount; status 6 when not.
  // Then every block of nodes is released, whatever the list held.
  void DisposeNodes();
  void SetError(std::int32_t code);

  std::int32_t FInitFirst = 0;
  std::int32_t FInitLast = 0;
  double FXLeft = 0;
  double FXRight = 0;
  double FExponent = 0;
  // x^FExponent, as Phase computes it; set with FExponent.
  TRealPower FPower{0};
  std::int32_t FErrorCode = 0;
  std::string_view FErrorMsg;
  TNode* FFirstNode = nullptr;
  TNode* FLastNode = nullptr;
  std::int32_t FNodeCount = 0;
  std::int32_t FMaxInitNodes = 0;
  double FDX = 0;
  double FDY = 0;
  std::int32_t FMaxNodes = 0;

 private:
  // Nodes come from blocks of many, allocated as the list grows: one
  // allocation for a block costs less than one for each node.
  struct TNodeBlock;
  void ReleaseBlocks() noexcept;
  // The refinement's tests, one for RefineInterval and RefineInBatches alike:
  // whether the interval from a to b is wider than FDX, and whether two
  // values lie more than FDY apart. Inline (calc/Bisection.h), as above.
  inline bool IsWideEnough(const TNode& a, const TNode& b) const;
  inline bool ApartByMoreThanDY(double y1, double y0) const;
  // The blocks, the newest first, and how many nodes the newest has left.
  TNodeBlock* FBlocks = nullptr;
  std::int32_t FBlockFree = 0;
};

class TCalcModSinXoverY : public TCalcModSin {
 public:
  using TCalcModSin::TCalcModSin;

  // Writes the node list as a table file (an empty name: standard output).
  // Defined in NodeTableFile.cpp, beside the table's format, so that the
  // tabulator's own source files need no file output.
  void PrintToFile(const std::string& FileName);

  // The x >= 0 with x^p = phase; 0 for a phase below 1e-5.
  static double PhaseToX(double phase, double p);

 protected:
  void CountInitNodes() override;
  void BuildNodes() override;
  // The two end nodes, then the seeds between them.
  void PlaceSeeds();
};

}  // namespace modsin
