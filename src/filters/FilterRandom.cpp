#include "filters/FilterRandom.h"

namespace morvane {

void FilterRandom::Skip(uint64_t count)
{
    // (a, c) is the map of 2^k steps; (mulAll, addAll) what is taken so far.
    uint32_t a = kMul, c = 1u, mulAll = 1u, addAll = 0u;
    for (; count != 0; count >>= 1) {
        if (count & 1) {
            mulAll *= a;
            addAll = addAll * a + c;
        }
        c = c * a + c;
        a *= a;
    }
    state_ = state_ * mulAll + addAll;
}

} // namespace morvane
