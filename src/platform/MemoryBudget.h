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
    // Requests refused since the start, by the budget or the system; other
    // guards against a huge allocation count theirs with NoteRefusal. The
    // render mode tells a failure for lack of memory by it.
    static uint64_t Refusals();
    static void NoteRefusal();
};

// Allocates from the budget; nullptr when the budget or the system says no.
// The block must be returned with FreeBlock and the same size.
void* AllocBlock(uint64_t bytes);
void FreeBlock(void* block, uint64_t bytes);

// Freed blocks kept for reuse at most: a few 4096 x 4096 layers' worth, what a
// merge or duplicate of a large layer frees and takes again, while bounding
// what the process holds beyond its budget.
constexpr uint64_t kBlockPoolCap = uint64_t(256) << 20;

// The same for the pixel blocks of block stores, which come and go by the
// ten thousand in equal sizes: freed ones are kept for reuse (up to
// kBlockPoolCap), outside the budget, so that the next operation does not
// fault fresh pages in. The budget still decides every allocation.
void* AllocPooledBlock(uint64_t bytes);
void FreePooledBlock(void* block, uint64_t bytes);
// Bytes held for reuse; ReleasePooledBlocks gives them back to the system.
uint64_t PooledBytes();
void ReleasePooledBlocks();

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
