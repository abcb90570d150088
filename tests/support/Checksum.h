#pragma once
// FNV-1a checksums of pixels, for comparing pictures whole (a live
// document against its replay) and for pinning what an operation paints.
#include <cstddef>
#include <cstdint>

namespace morvane {
class CBlockVMTC;
class CDibCore;
} // namespace morvane

namespace morvane::support {

inline constexpr uint64_t kFnvStart = 1469598103934665603ull;

// Adds bytes one by one.
uint64_t Fnv(const void* bytes, size_t n, uint64_t h = kFnvStart);
// Adds a whole value in one step (the form the store checksums use).
inline uint64_t FnvMix(uint64_t h, uint64_t value)
{
    return (h ^ value) * 1099511628211ull;
}

// The bytes of every pixel of a buffer, top row first.
uint64_t Checksum(const CDibCore& image, uint64_t h = kFnvStart);
// Every pixel of a store as one value, top row first.
uint64_t Checksum(const CBlockVMTC& store, uint64_t h = kFnvStart);

} // namespace morvane::support
