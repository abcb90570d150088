#pragma once
// The nib bitmaps a replay has met, found again by the identifier the
// stream gave them. A stream can embed hundreds of large nibs in a few
// kilobytes, so each is kept as the stream carried it, compressed, and only
// the ones in use are unpacked: within a byte budget, the least recently
// used dropped first and unpacked again should the stream name it later.
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <vector>

namespace morvane {

class TChannel;

class NibBitmapCache {
public:
    // Nibs a stream may name at once; more is not a sensible recording.
    static constexpr size_t kMaxNibs = 256;
    // Unpacked bytes kept: four nibs of the largest size a nib may have.
    static constexpr uint64_t kDefaultBudget = uint64_t(64) << 20;

    explicit NibBitmapCache(uint64_t budget = kDefaultBudget) : budget_(budget) {}
    ~NibBitmapCache();
    NibBitmapCache(const NibBitmapCache&) = delete;
    NibBitmapCache& operator=(const NibBitmapCache&) = delete;

    // Keeps the nib id of width x height pixels from its compressed frame,
    // replacing one of the same id. Nothing is unpacked: the frame's header
    // must promise exactly width x height bytes of at most the largest nib.
    // False for sides or a frame that do not agree, and for a new id beyond
    // kMaxNibs.
    bool Store(uint32_t id, int32_t width, int32_t height, std::span<const uint8_t> packed);
    // The bitmap (one byte of coverage a pixel, top row first) of id when its
    // sides are width x height, unpacked if it is not at hand; nullptr when
    // the id is unknown, the sides differ, or it does not unpack (corrupt
    // data, no memory). Valid until the next call.
    const TChannel* Find(uint32_t id, int32_t width, int32_t height);
    // Whether id is stored with these sides, without unpacking it.
    bool Holds(uint32_t id, int32_t width, int32_t height) const;
    void Clear();

    size_t Count() const { return nibs_.size(); }
    // Bytes of the unpacked bitmaps held now.
    uint64_t UnpackedBytes() const { return unpacked_; }

private:
    struct Entry {
        int32_t width = 0, height = 0;
        std::vector<uint8_t> packed;
        std::unique_ptr<TChannel> bitmap; // null while not unpacked
        uint64_t lastUse = 0;
    };

    // Drops unpacked bitmaps, least recently used first, until `bytes`
    // more fit the budget.
    void MakeRoom(uint64_t bytes);
    void Drop(Entry& entry);

    std::map<uint32_t, Entry> nibs_;
    uint64_t budget_;
    uint64_t unpacked_ = 0;
    uint64_t clock_ = 0;
};

} // namespace morvane
