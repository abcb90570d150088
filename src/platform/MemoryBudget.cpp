#include "platform/MemoryBudget.h"

#include <cstdlib>

namespace morvane {

namespace {
uint64_t g_limit = MemoryBudget::kUnlimited;
uint64_t g_inUse = 0;
} // namespace

bool MemoryBudget::Take(uint64_t bytes)
{
    if (bytes > g_limit || g_inUse > g_limit - bytes)
        return false;
    g_inUse += bytes;
    return true;
}

void MemoryBudget::Give(uint64_t bytes) { g_inUse = bytes > g_inUse ? 0 : g_inUse - bytes; }
uint64_t MemoryBudget::InUse() { return g_inUse; }
uint64_t MemoryBudget::Limit() { return g_limit; }
void MemoryBudget::SetLimit(uint64_t limit) { g_limit = limit; }

void* AllocBlock(uint64_t bytes)
{
    if (bytes > std::numeric_limits<size_t>::max() / 2 || !MemoryBudget::Take(bytes))
        return nullptr;
    // Never a zero-byte request: the result must be a distinct valid pointer.
    void* block = std::malloc(bytes ? static_cast<size_t>(bytes) : 1);
    if (!block)
        MemoryBudget::Give(bytes);
    return block;
}

void FreeBlock(void* block, uint64_t bytes)
{
    if (!block)
        return;
    std::free(block);
    MemoryBudget::Give(bytes);
}

ScopedMemoryLimit::ScopedMemoryLimit(uint64_t headroom) : previous_(MemoryBudget::Limit())
{
    uint64_t used = MemoryBudget::InUse();
    MemoryBudget::SetLimit(headroom > MemoryBudget::kUnlimited - used ? MemoryBudget::kUnlimited : used + headroom);
}

ScopedMemoryLimit::~ScopedMemoryLimit() { MemoryBudget::SetLimit(previous_); }

} // namespace morvane
