// What a primitive gave, a value or the kind of failure it raised, held as
// one thing so that references and results compare and print alike.
#pragma once

#include <cmath>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <string>

#include "numeric/Extended.h"
#include "numeric/MathError.h"

namespace modsin::testing {

// What a primitive gave: a value, or the kind of failure it raised.
enum class TMathFailure { None, InvalidOp, ZeroDivide, Overflow };

struct TOutcome {
  Extended FValue = 0;
  TMathFailure FFailure = TMathFailure::None;

  // The same failure, or the same bits (so that -0 and +0 differ).
  friend bool operator==(const TOutcome& a, const TOutcome& b) {
    if (a.FFailure != b.FFailure) return false;
    return a.FFailure != TMathFailure::None ||
           (a.FValue == b.FValue && std::signbit(a.FValue) == std::signbit(b.FValue));
  }
};

inline TOutcome Failed(TMathFailure failure) {
  return {0, failure};
}

// The outcome of call(), its failure caught.
template <class Call>
TOutcome OutcomeOf(Call call) {
  try {
    return {call(), TMathFailure::None};
  } catch (const EInvalidOp&) {
    return Failed(TMathFailure::InvalidOp);
  } catch (const EZeroDivide&) {
    return Failed(TMathFailure::ZeroDivide);
  } catch (const EOverflow&) {
    return Failed(TMathFailure::Overflow);
  }
}

// An Extended in hexadecimal with its encoding, which tells apart the
// encodings that print alike (unnormals): "0x8p-3 (3ffc:8000000000000000)".
inline std::string Hex(Extended x) {
  const TExtendedBits bits = ExtendedBits(x);
  std::ostringstream text;
  text << std::hexfloat << x << std::hex << std::setfill('0') << " (" << std::setw(4)
       << (bits.FExponent | (bits.FNegative ? 0x8000u : 0u)) << ':' << std::setw(16)
       << bits.FSignificand << ')';
  return text.str();
}

inline std::string Describe(const TOutcome& outcome) {
  switch (outcome.FFailure) {
    case TMathFailure::None:
      return Hex(outcome.FValue);
    case TMathFailure::InvalidOp:
      return "EInvalidOp";
    case TMathFailure::ZeroDivide:
      return "EZeroDivide";
    case TMathFailure::Overflow:
      return "EOverflow";
  }
  return "?";
}

// For GoogleTest's messages.
inline void PrintTo(const TOutcome& outcome, std::ostream* out) {
  *out << Describe(outcome);
}

}  // namespace modsin::testing
