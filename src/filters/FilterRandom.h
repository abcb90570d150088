#pragma once
// The random numbers of noise and diffuse: the linear step state *
// 134775813 + 1 (mod 2^32); a draw below n steps and answers the high word
// of state * n. One generator per run, seeded from the record, so a pane
// paint and a replayed document never share a state.
#include <cstdint>

namespace morvane {

class FilterRandom {
public:
    explicit FilterRandom(uint32_t seed) : state_(seed) {}

    uint32_t Below(uint32_t n)
    {
        state_ = state_ * kMul + 1u;
        return uint32_t((uint64_t(state_) * n) >> 32);
    }
    // The state after count more steps, in O(log count): the step is the
    // affine map s -> a s + c, and maps compose by squaring.
    void Skip(uint64_t count);
    uint32_t State() const { return state_; }

    static constexpr uint32_t kMul = 134775813u;

private:
    uint32_t state_;
};

} // namespace morvane
