// A program outside the project that uses the installed library: it tabulates
// sin(x^2) on [0, 5] with the program's tolerances and prints the node count
// and the status; it exits 0 only for 127 nodes and status 0.
#include <cstdint>
#include <iostream>
#include <string>

#include "calc/UnitCalcModSin.h"
#include "numeric/FloatEnvironment.h"

int main() {
  modsin::EstablishFloatEnvironment();
  modsin::TCalcModSinXoverY calc(0.0, 5.0, 2.0, 0.003, 0.005);
  std::int32_t nodeCount = 0;
  modsin::TNode* nodes = nullptr;
  calc.CalculateXY(nodeCount, nodes);
  std::int32_t code = 0;
  std::string message;
  calc.GetError(code, message);
  std::cout << nodeCount << " nodes, status " << code << ", " << message << '\n';
  return nodeCount == 127 && nodes != nullptr && code == 0 ? 0 : 1;
}
