// Test support: the tabulator with its protected state opened to the tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "calc/UnitCalcModSin.h"

namespace modsin::testing {

// Opens the protected state to the tests.
class TProbe : public TCalcModSinXoverY {
 public:
  using TCalcModSin::FDX;
  using TCalcModSin::FDY;
  using TCalcModSin::FErrorCode;
  using TCalcModSin::FExponent;
  using TCalcModSin::FFirstNode;
  using TCalcModSin::FInitFirst;
  using TCalcModSin::FInitLast;
  using TCalcModSin::FNodeCount;
  using TCalcModSin::FXLeft;
  using TCalcModSin::FXRight;
  using TCalcModSinXoverY::TCalcModSinXoverY;

  std::int32_t Code() const {
    std::int32_t code;
    std::string msg;
    GetError(code, msg);
    return code;
  }
  std::string Message() const {
    std::int32_t code;
    std::string msg;
    GetError(code, msg);
    return msg;
  }
  std::vector<double> Xs() const {
    std::vector<double> xs;
    for (const TNode* n = FFirstNode; n != nullptr; n = n->next)
      xs.push_back(n->x);
    return xs;
  }
  void Dispose() { DisposeNodes(); }
  // Every later calculation refines one interval after the other, never in
  // batches.
  void RefineOnlyInOrder() { FOnlyInOrder = true; }
  void BuildNodes() override {
    if (!FOnlyInOrder || FErrorCode != kNoError) return TCalcModSinXoverY::BuildNodes();
    PlaceSeeds();
    RefineInOrder();
  }
  // Calculates and returns the node count that CalculateXY hands out.
  std::int32_t Tabulate() {
    std::int32_t iNodes;
    TNode* nodes;
    CalculateXY(iNodes, nodes);
    return iNodes;
  }

 private:
  bool FOnlyInOrder = false;
};

}  // namespace modsin::testing
