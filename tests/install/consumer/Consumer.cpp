// A program outside the project that uses the installed library: it
// tabulates sin(x^2) on [0, 5] with modsin-table's tolerances and prints the
// node count and the interval; it exits 0 only for 127 nodes.
#include <iostream>

#include "calc/Tabulate.h"

int main() {
  try {
    const modsin::TTable table = modsin::Tabulate({.FXLeft = 0.0, .FXRight = 5.0, .FPower = 2.0});
    std::cout << table.FX.size() << " nodes from x = " << table.FX.front() << " to "
              << table.FX.back() << '\n';
    return table.FX.size() == 127 ? 0 : 1;
  } catch (const modsin::EStatus& status) {
    std::cerr << "status " << status.Code() << ": " << status.what() << '\n';
  } catch (const modsin::Exception& failure) {
    std::cerr << failure.ClassName() << ": " << failure.what() << '\n';
  }
  return 1;
}
