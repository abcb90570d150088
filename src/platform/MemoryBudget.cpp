#include "platform/MemoryBudget.h"

#include <cstdlib>
#include <mutex>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define MORVANE_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define MORVANE_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define MORVANE_POISON(p, n) ((void)(p), (void)(n))
#define MORVANE_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace morvane {

namespace {
uint64_t g_limit = MemoryBudget::kUnlimited;
uint64_t g_inUse = 0;
uint64_t g_refusals = 0;

// Freed blocks of one size, chained through their first bytes. Stores use
// one or two block sizes; further sizes are not kept. First in, first out: a
// store frees its blocks in walk order, and the next store that takes them
// gets them in the same order of addresses, which the processor's prefetch
// follows from block to block (taken last-in-first-out, walks over the new
// store would run backwards through memory and read at half the speed).
struct FreeNode {
    FreeNode* next;
};
struct PoolList {
    uint64_t bytes = 0;
    FreeNode* head = nullptr;
    FreeNode* tail = nullptr;
};
constexpr int kPoolLists = 4;
// The pool is for the small equal blocks of stores, not for buffers of any size.
constexpr uint64_t kLargestPooled = uint64_t(64) << 10;

// A kept block is poisoned for the address sanitizer past its link, so that
// a use after free is still caught; the link stays readable for the leak
// checker, which would take the whole chain for leaks otherwise.
// Constant-initialised and never destroyed, so that stores freed during
// static destruction still find it; what it holds stays reachable.
std::mutex g_poolMutex;
PoolList g_pool[kPoolLists];
uint64_t g_pooled = 0;

// The list of blocks of this size, or an empty one that can take the size.
PoolList* ListFor(uint64_t bytes)
{
    PoolList* empty = nullptr;
    for (PoolList& list : g_pool) {
        if (list.bytes == bytes)
            return &list;
        if (!list.head && !empty)
            empty = &list;
    }
    return empty;
}

void* PopPooled(uint64_t bytes)
{
    std::lock_guard<std::mutex> lock(g_poolMutex);
    PoolList* list = ListFor(bytes);
    if (!list || !list->head)
        return nullptr;
    FreeNode* node = list->head;
    MORVANE_UNPOISON(node, bytes);
    list->head = node->next;
    if (!list->head)
        list->tail = nullptr;
    g_pooled -= bytes;
    return node;
}

bool PushPooled(void* block, uint64_t bytes)
{
    if (bytes < sizeof(FreeNode) || bytes > kLargestPooled)
        return false;
    std::lock_guard<std::mutex> lock(g_poolMutex);
    PoolList* list = ListFor(bytes);
    if (!list || g_pooled + bytes > kBlockPoolCap)
        return false;
    list->bytes = bytes;
    FreeNode* node = new (block) FreeNode{nullptr};
    (list->tail ? list->tail->next : list->head) = node;
    list->tail = node;
    MORVANE_POISON(static_cast<char*>(block) + sizeof(FreeNode), bytes - sizeof(FreeNode));
    g_pooled += bytes;
    return true;
}

// Never a zero-byte request: the result must be a distinct valid pointer.
// When the system says no, the pooled blocks go back to it and it is asked
// once more.
void* SystemAlloc(uint64_t bytes)
{
    const size_t n = bytes ? static_cast<size_t>(bytes) : 1;
    void* block = std::malloc(n);
    if (!block && PooledBytes() > 0) {
        ReleasePooledBlocks();
        block = std::malloc(n);
    }
    if (!block)
        MemoryBudget::NoteRefusal();
    return block;
}
// What no system can give is refused like anything beyond the budget.
bool TakeForBlock(uint64_t bytes)
{
    if (bytes <= std::numeric_limits<size_t>::max() / 2)
        return MemoryBudget::Take(bytes);
    MemoryBudget::NoteRefusal();
    return false;
}
} // namespace

bool MemoryBudget::Take(uint64_t bytes)
{
    if (bytes > g_limit || g_inUse > g_limit - bytes) {
        NoteRefusal();
        return false;
    }
    g_inUse += bytes;
    return true;
}

void MemoryBudget::Give(uint64_t bytes) { g_inUse = bytes > g_inUse ? 0 : g_inUse - bytes; }
uint64_t MemoryBudget::InUse() { return g_inUse; }
uint64_t MemoryBudget::Limit() { return g_limit; }
void MemoryBudget::SetLimit(uint64_t limit) { g_limit = limit; }
uint64_t MemoryBudget::Refusals() { return g_refusals; }
void MemoryBudget::NoteRefusal() { ++g_refusals; }

void* AllocBlock(uint64_t bytes)
{
    if (!TakeForBlock(bytes))
        return nullptr;
    void* block = SystemAlloc(bytes);
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

void* AllocPooledBlock(uint64_t bytes)
{
    // The budget is asked first: a kept block does not get round a lowered limit.
    if (!TakeForBlock(bytes))
        return nullptr;
    void* block = PopPooled(bytes);
    if (!block)
        block = SystemAlloc(bytes);
    if (!block)
        MemoryBudget::Give(bytes);
    return block;
}

void FreePooledBlock(void* block, uint64_t bytes)
{
    if (!block)
        return;
    if (!PushPooled(block, bytes))
        std::free(block);
    MemoryBudget::Give(bytes);
}

uint64_t PooledBytes()
{
    std::lock_guard<std::mutex> lock(g_poolMutex);
    return g_pooled;
}

void ReleasePooledBlocks()
{
    std::lock_guard<std::mutex> lock(g_poolMutex);
    for (PoolList& list : g_pool) {
        while (FreeNode* node = list.head) {
            MORVANE_UNPOISON(node, list.bytes);
            list.head = node->next;
            std::free(node);
        }
        list.tail = nullptr;
        list.bytes = 0;
    }
    g_pooled = 0;
}

ScopedMemoryLimit::ScopedMemoryLimit(uint64_t headroom) : previous_(MemoryBudget::Limit())
{
    uint64_t used = MemoryBudget::InUse();
    MemoryBudget::SetLimit(headroom > MemoryBudget::kUnlimited - used ? MemoryBudget::kUnlimited : used + headroom);
}

ScopedMemoryLimit::~ScopedMemoryLimit() { MemoryBudget::SetLimit(previous_); }

} // namespace morvane
