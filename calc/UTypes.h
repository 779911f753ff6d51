// The node record: one point (x, y) of a tabulated curve, linked to the next
// node in order of x.
#pragma once

namespace modsin {

struct TNode {
  double x = 0;
  double y = 0;
  TNode* next = nullptr;
};

}  // namespace modsin
