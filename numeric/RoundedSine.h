// The sine of a double rounded to the nearest double, as every curve value is
// stored: always the same double as RoundToDouble(Sine(x)), by a short path
// that is several times faster than Sine's general argument reduction.
#pragma once

#include "numeric/Extended.h"

namespace modsin {

// RoundToDouble(Sine(x)), bit for bit, with the same failures (EInvalidOp for
// a NaN or an infinity). The value comes from ShortSine where that is sure to
// round to the same double as Sine's result; where it is not (a value close to
// the midpoint between two doubles, |x| beyond the short path's range, an x87
// precision or rounding other than modsin's own), Sine itself decides.
double RoundedSine(double x);

// RoundedSine of x[0 ... count), into y (which may be x), one after the
// other (a failure leaves the values before it stored). For callers with
// several arguments at hand: the x87 control word is read once for all of
// them, and the short values are formed one beside the other.
void RoundedSines(const double* x, double* y, int count);

// Largest |x| that ShortSine serves.
inline constexpr double kShortSineLimit = 0x1p20;

// The sine of x for 0 < |x| < kShortSineLimit, with an error below 5.5 units
// in the last place of Extended (2.0 at most, measured over many millions of
// arguments; Sine, correctly rounded, is within 0.5). Needs the x87 precision
// at the full 64 bits and rounding to nearest.
Extended ShortSine(double x);

}  // namespace modsin
