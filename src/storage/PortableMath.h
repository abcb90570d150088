#pragma once
// Powers, logarithms and angles for values that reach pixels. The C
// library picks one of several variants of pow, log, sin and cos at run
// time by what the processor offers (with or without fused multiply-add),
// and the variants need not agree to the last bit; a recording must replay
// to the same pixels on every machine. These are plain double arithmetic,
// compiled without contraction, so every machine computes the same bits.
// Accuracy: within a few units in the last place of a double, which makes
// the float forms correctly rounded in all but the rarest cases.
#include <cstdint>

namespace morvane {

// Natural logarithm; 0 gives -infinity, below 0 and NaN give NaN.
double PortableLog(double x);
// e^x; below -745 gives 0, above 709 infinity.
double PortableExp(double x);

// x^y for x in [0, 1] and y > 0, the powers of pressure curves and
// profiles: x <= 0 (and NaN) gives 0, x >= 1 or y <= 0 gives 1, y = 1 gives
// x and y = 2 gives x x, each rounded once.
double PowUnit(double x, double y);
float PowUnit(float x, float y);

// Sine and cosine of an angle in degrees. Multiples of 90 degrees are exact
// (0, 1 or -1), and so are the signs the quadrants give; not finite: NaN.
struct SinCos {
    double sine, cosine;
};
SinCos SinCosDegrees(double degrees);

} // namespace morvane
