// Any 8 bytes as a double: its number text keeps the fixed layout and reads as
// the double correctly rounded to 15 digits (but within a thousandth of a unit
// of a halfway point), the same text as the Extended computation gives; NaN
// and the infinities are their words.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "numeric/FloatEnvironment.h"
#include "tests/support/NumberTextCheck.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  modsin::EstablishFloatEnvironment();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  double v = 0;
  if (size < sizeof v) return 0;
  std::memcpy(&v, data, sizeof v);
  const std::string text = modsin::testing::NumberTextString(v);
  const modsin::TNumberText scaled = modsin::ScaledNumberText(v);
  modsin::fuzz::Require(text == std::string(scaled.begin(), scaled.end()),
                        "the text is the Extended computation's");
  if (std::isnan(v)) {
    modsin::fuzz::Require(text == "                    Nan", "NaN is \"Nan\"");
  } else if (std::isinf(v)) {
    modsin::fuzz::Require(text == (v > 0 ? "                   +Inf" : "                   -Inf"),
                          "an infinity is \"+Inf\" or \"-Inf\"");
  } else {
    const std::string fault = modsin::testing::RoundingFault(v);
    if (!fault.empty()) modsin::fuzz::Fail(fault.c_str());
  }
  return 0;
}
