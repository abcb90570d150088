#pragma once
// Every large allocation (pixel blocks, offset tables, stores) goes through
// this budget. Normally it is unlimited; tests lower it to drive the
// out-of-memory paths deterministically.
#include <cstddef>
#include <cstdint>
#include <limits>

namespace morvane {

class MemoryBudget {
public:
    static constexpr uint64_t kUnlimited = std::numeric_limits<uint64_t>::max();

    // Takes bytes from the budget; false (nothing taken) when they do not fit.
    static bool Take(uint64_t bytes);
    static void Give(uint64_t bytes);
    static uint64_t InUse();
    static uint64_t Limit();
    static void SetLimit(uint64_t limit);
};

// Allocates from the budget; nullptr when the budget or the system says no.
// The block must be returned with FreeBlock and the same size.
void* AllocBlock(uint64_t bytes);
void FreeBlock(void* block, uint64_t bytes);

// Lowers the limit to InUse() + headroom for the lifetime of the object.
class ScopedMemoryLimit {
public:
    explicit ScopedMemoryLimit(uint64_t headroom);
    ~ScopedMemoryLimit();
    ScopedMemoryLimit(const ScopedMemoryLimit&) = delete;
    ScopedMemoryLimit& operator=(const ScopedMemoryLimit&) = delete;

private:
    uint64_t previous_;
};

} // namespace morvane
