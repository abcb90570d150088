#pragma once
// The value a float reaches when the same float is added to it again and
// again, each sum rounded, without taking every step. Stroke walks place
// their dabs by such sums; a walk that skips steps nobody sees must still
// land on the very float the steps would have given.
#include <cstdint>

namespace morvane {

// x after `count` steps of x = x + step in 32-bit float. The sums within
// one binade move by a constant amount after their first step there (the
// rounding of the same step on one grid only depends on the parity of the
// last bit, which rounding to even fixes), so the work grows with the
// binades crossed, not with count.
float RepeatedSum(float x, float step, int64_t count);

} // namespace morvane
