#include "document/NibBitmapCache.h"

#include <algorithm>
#include <new>

#include "events/EventPayloads.h"
#include "storage/Compression.h"
#include "storage/TChannel.h"

namespace morvane {

namespace {

// The stream's rows run from the top; the channel keeps them bottom-up in
// one block, so a frame unpacked into that block only needs its rows turned.
std::unique_ptr<TChannel> Unpack(std::span<const uint8_t> packed, int32_t width, int32_t height)
{
    auto bitmap = std::unique_ptr<TChannel>(new (std::nothrow) TChannel(width, height));
    const size_t bytes = size_t(width) * size_t(height);
    if (!bitmap || !bitmap->IsValid() || !Decompress(packed, {bitmap->Bits, bytes}))
        return nullptr;
    for (int32_t top = 0, bottom = height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(bitmap->Bits + size_t(top) * size_t(width), bitmap->Bits + size_t(top + 1) * size_t(width),
                         bitmap->Bits + size_t(bottom) * size_t(width));
    return bitmap;
}

} // namespace

NibBitmapCache::~NibBitmapCache() = default;

bool NibBitmapCache::Store(uint32_t id, int32_t width, int32_t height, std::span<const uint8_t> packed)
{
    if (width <= 0 || height <= 0)
        return false;
    const uint64_t pixels = uint64_t(width) * uint64_t(height);
    if (pixels > kMaxEmbeddedPixels || !IsFrameOf(packed, size_t(pixels)))
        return false;
    auto found = nibs_.find(id);
    if (found == nibs_.end() && nibs_.size() >= kMaxNibs)
        return false;
    Entry& entry = found != nibs_.end() ? found->second : nibs_[id];
    Drop(entry);
    entry.width = width;
    entry.height = height;
    entry.packed.assign(packed.begin(), packed.end());
    return true;
}

const TChannel* NibBitmapCache::Find(uint32_t id, int32_t width, int32_t height)
{
    if (!Holds(id, width, height))
        return nullptr;
    Entry& entry = nibs_.find(id)->second;
    entry.lastUse = ++clock_;
    if (!entry.bitmap) {
        const uint64_t bytes = uint64_t(width) * uint64_t(height);
        MakeRoom(bytes);
        entry.bitmap = Unpack(entry.packed, width, height);
        if (!entry.bitmap)
            return nullptr;
        unpacked_ += bytes;
    }
    return entry.bitmap.get();
}

bool NibBitmapCache::Holds(uint32_t id, int32_t width, int32_t height) const
{
    auto found = nibs_.find(id);
    return found != nibs_.end() && found->second.width == width && found->second.height == height;
}

void NibBitmapCache::Clear()
{
    nibs_.clear();
    unpacked_ = 0;
}

void NibBitmapCache::MakeRoom(uint64_t bytes)
{
    while (unpacked_ + bytes > budget_) {
        Entry* oldest = nullptr;
        for (auto& [id, entry] : nibs_)
            if (entry.bitmap && (!oldest || entry.lastUse < oldest->lastUse))
                oldest = &entry;
        if (!oldest)
            return;
        Drop(*oldest);
    }
}

void NibBitmapCache::Drop(Entry& entry)
{
    if (!entry.bitmap)
        return;
    unpacked_ -= uint64_t(entry.width) * uint64_t(entry.height);
    entry.bitmap.reset();
}

} // namespace morvane
