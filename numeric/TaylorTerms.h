// The Taylor coefficients of sin and cos, each rounded to the nearest
// Extended: the series of the short sine and of Sine's fast path.
#pragma once

#include "numeric/Extended.h"

namespace modsin {

// The Taylor coefficients of sin after x, -1/3! ... -1/19!, each rounded to
// the nearest Extended. For |x| <= pi/4 the series' remainder is below 2^-72
// relative.
inline constexpr Extended kSineTerms[] = {
    -0xAAAAAAAAAAAAAAABp-66L,  0x8888888888888889p-70L,  -0xD00D00D00D00D00Dp-76L,
    0xB8EF1D2AB6399C7Dp-82L,   -0xD7322B3FAA271C7Fp-89L, 0xB092309D43684BE5p-96L,
    -0xD73F9F399DC0F88Fp-104L, 0xCA963B81856A5359p-112L, -0x97A4DA340A0AB926p-120L,
};

// The Taylor coefficients of cos after 1 - x^2/2, 1/4! ... 1/20!, each rounded
// to the nearest Extended. For |x| <= pi/4 the remainder is below 2^-77.
inline constexpr Extended kCosineTerms[] = {
    0xAAAAAAAAAAAAAAABp-68L,  -0xB60B60B60B60B60Bp-73L,  0xD00D00D00D00D00Dp-79L,
    -0x93F27DBBC4FAE397p-85L, 0x8F76C77FC6C4BDAAp-92L,   -0xC9CBA54603E4E906p-100L,
    0xD73F9F399DC0F88Fp-108L, -0xB413C31DCBECBBDEp-116L, 0xF2A15D201011283Dp-125L,
};

}  // namespace modsin
