// The blocks the tabulator's nodes come from, and NewNode, which takes the
// next node from them: inline, so that both of the tabulator's source files
// place a node without a call.
#pragma once

#include <cstdint>
#include <new>

#include "base/Exception.h"
#include "calc/UTypes.h"
#include "calc/UnitCalcModSin.h"

namespace modsin {

// 64 nodes (1.5 KiB) a block: the built-in jobs need 2 and 8 of them.
inline constexpr std::int32_t kBlockNodes = 64;

struct TCalcModSin::TNodeBlock {
  TNodeBlock* FPrevious;
  TNode FNodes[kBlockNodes];
};

inline TNode* TCalcModSin::NewNode(double x, double y, TNode* next) {
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

}  // namespace modsin
