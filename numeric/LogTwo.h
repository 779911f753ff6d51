// ln 2 and log2(e) / 2 as wide fractions: the constants of the exponential's
// and the logarithm's exact paths, stored to 768 bits and computed beyond.
#pragma once

#include <cstdint>
#include <new>
#include <optional>
#include <span>
#include <vector>

#include "numeric/Extended.h"
#include "numeric/WideNumber.h"

namespace modsin {

// The most precision that the stored bits serve, in limbs.
inline constexpr int kMostLogLimbs = 24;

// ln 2 = 0.693... and log2(e) / 2 = 1 / (2 ln 2) = 0.721..., as fractions
// truncated to kMostLogLimbs limbs.
inline constexpr std::uint32_t kLnTwo[kMostLogLimbs] = {
    0xB17217F7, 0xD1CF79AB, 0xC9E3B398, 0x03F2F6AF, 0x40F34326, 0x7298B62D, 0x8A0D175B, 0x8BAAFA2B,
    0xE7B87620, 0x6DEBAC98, 0x559552FB, 0x4AFA1B10, 0xED2EAE35, 0xC1382144, 0x27573B29, 0x1169B825,
    0x3E96CA16, 0x224AE8C5, 0x1ACBDA11, 0x317C387E, 0xB9EA9BC3, 0xB136603B, 0x256FA0EC, 0x7657F74B};
inline constexpr std::uint32_t kHalfLog2E[kMostLogLimbs] = {
    0xB8AA3B29, 0x5C17F0BB, 0xBE87FED0, 0x691D3E88, 0xEB577AA8, 0xDD695A58, 0x8B25166C, 0xD1A13247,
    0xDE1C43F7, 0x55176CD6, 0x24D92F75, 0xC16BE0B3, 0xEA90B9E6, 0x0C4A909F, 0xC4BFAF03, 0x53DF39B3,
    0x2FE29493, 0x2617D9D5, 0xB21B43D5, 0x79D5A206, 0x0B5EBBBF, 0x3A828546, 0x8D1CF457, 0xAB63253C};

// The constants that an exact path takes for a precision of `limbs` limbs:
// `limbs` limbs of each, within 2 units of the last limb.
struct TLogConstants {
  std::span<const std::uint32_t> FLnTwo;
  std::span<const std::uint32_t> FHalfLog2E;
};

// The stored ones (truncated: low by less than 1 unit), for up to
// kMostLogLimbs.
inline constexpr TLogConstants kStoredLogConstants{kLnTwo, kHalfLog2E};

// The same for a precision of any `limbs` >= 2, computed: ln 2 by its series,
// log2(e) / 2 by long division.
struct TComputedLogConstants {
  std::vector<std::uint32_t> FLnTwo;
  std::vector<std::uint32_t> FHalfLog2E;
};
TComputedLogConstants ComputeLogConstants(int limbs);

// The most precision an exact path takes, in limbs: 2^25 bits, where the
// errors that it counts still fit a limb. A single product at that
// precision would take 2^40 limb products: the limit stands for memory and
// time that no machine has.
inline constexpr int kMostUnboundedLogLimbs = 1 << 20;

// The first value that at(TLimbs{}, limbs, constants) decides, for limbs =
// firstLimbs, twice that, and so on: with the stored constants and the limbs
// in place up to kMostLogLimbs, beyond with computed constants and limbs on
// the heap (std::bad_alloc past kMostUnboundedLogLimbs). at returns
// std::optional<Extended>, empty where its precision cannot decide.
template <class TAt>
Extended FirstDecided(int firstLimbs, TAt at) {
  for (int limbs = firstLimbs;; limbs *= 2) {
    std::optional<Extended> value;
    if (limbs <= kMostLogLimbs) {
      value = at(TFixedLimbs{}, limbs, kStoredLogConstants);
    } else {
      if (limbs > kMostUnboundedLogLimbs) throw std::bad_alloc();
      const TComputedLogConstants constants = ComputeLogConstants(limbs);
      value = at(TGrowingLimbs{}, limbs, TLogConstants{constants.FLnTwo, constants.FHalfLog2E});
    }
    if (value) return *value;
  }
}

}  // namespace modsin
