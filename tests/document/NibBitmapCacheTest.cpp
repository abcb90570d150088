// The player's nib bitmaps: kept compressed, checked by their frame header
// alone, unpacked on use within a budget that drops the least recently used.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "document/NibBitmapCache.h"
#include "storage/Compression.h"
#include "storage/TChannel.h"

namespace morvane {
namespace {

std::vector<uint8_t> Packed(const std::vector<uint8_t>& pixels)
{
    MemoryCompressSink sink;
    EXPECT_TRUE(Compress(pixels, sink, kCompressLevelEvents));
    return {sink.Data().begin(), sink.Data().end()};
}

std::vector<uint8_t> Pattern(int32_t width, int32_t height, uint8_t seed)
{
    std::vector<uint8_t> pixels(size_t(width) * size_t(height));
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint8_t(i * 7 + seed);
    return pixels;
}

bool Holds(const TChannel* bitmap, const std::vector<uint8_t>& pixels)
{
    if (!bitmap)
        return false;
    for (int32_t y = 0; y < bitmap->Height; ++y)
        for (int32_t x = 0; x < bitmap->Width; ++x)
            if (*bitmap->PixelPtr(x, y) != pixels[size_t(y) * size_t(bitmap->Width) + size_t(x)])
                return false;
    return true;
}

TEST(NibBitmapCache, StoresWhatItsFrameHeaderPromisesAndUnpacksOnUse)
{
    NibBitmapCache nibs;
    const std::vector<uint8_t> pixels = Pattern(6, 5, 3);
    const std::vector<uint8_t> packed = Packed(pixels);
    EXPECT_FALSE(nibs.Store(1, 5, 6 + 1, packed)) << "a frame of another size";
    EXPECT_FALSE(nibs.Store(1, 0, 5, packed));
    EXPECT_FALSE(nibs.Store(1, 6, 5, pixels)) << "no frame at all";
    EXPECT_FALSE(nibs.Store(1, 8192, 8192, Packed(std::vector<uint8_t>(1)))) << "beyond the largest nib";
    ASSERT_TRUE(nibs.Store(1, 6, 5, packed));
    EXPECT_EQ(nibs.UnpackedBytes(), 0u);

    EXPECT_EQ(nibs.Find(2, 6, 5), nullptr);
    EXPECT_EQ(nibs.Find(1, 5, 6), nullptr);
    EXPECT_TRUE(Holds(nibs.Find(1, 6, 5), pixels)) << "rows from the top, as recorded";
    EXPECT_EQ(nibs.UnpackedBytes(), 30u);

    // Data spoilt behind a sound header is found when it is unpacked.
    std::vector<uint8_t> spoilt = Packed(Pattern(64, 64, 1));
    spoilt[spoilt.size() / 2] ^= 0x5A;
    ASSERT_TRUE(nibs.Store(3, 64, 64, spoilt));
    EXPECT_EQ(nibs.Find(3, 64, 64), nullptr);

    // The same id again replaces it; clearing forgets every id.
    const std::vector<uint8_t> other = Pattern(6, 5, 90);
    ASSERT_TRUE(nibs.Store(1, 6, 5, Packed(other)));
    EXPECT_TRUE(Holds(nibs.Find(1, 6, 5), other));
    nibs.Clear();
    EXPECT_EQ(nibs.Find(1, 6, 5), nullptr);
    EXPECT_EQ(nibs.Count(), 0u);
}

TEST(NibBitmapCache, KeepsWithinItsBudgetDroppingTheLeastRecentlyUsed)
{
    NibBitmapCache nibs(2 * 100 * 100);
    std::vector<std::vector<uint8_t>> pixels;
    for (uint32_t id = 0; id < 3; ++id) {
        pixels.push_back(Pattern(100, 100, uint8_t(id * 40)));
        ASSERT_TRUE(nibs.Store(id, 100, 100, Packed(pixels.back())));
    }
    for (uint32_t id : {0u, 1u, 0u, 2u, 1u, 2u, 0u}) {
        EXPECT_TRUE(Holds(nibs.Find(id, 100, 100), pixels[id])) << id;
        EXPECT_LE(nibs.UnpackedBytes(), 2u * 100 * 100);
    }
    // Nib 1 was used after 0 was dropped for 2: the pair in hand is 2 and 0.
    EXPECT_EQ(nibs.UnpackedBytes(), 2u * 100 * 100);
}

// The nib bomb: as many of the largest nibs as a stream may name, each a few
// hundred bytes of zeros, used in turn: never more than the budget at once.
TEST(NibBitmapCache, LargestNibsAtTheLimitStayWithinTheBudget)
{
    NibBitmapCache nibs;
    const std::vector<uint8_t> packed = Packed(std::vector<uint8_t>(size_t(4096) * 4096));
    ASSERT_LT(packed.size(), 4096u);
    for (uint32_t id = 0; id < NibBitmapCache::kMaxNibs; ++id)
        ASSERT_TRUE(nibs.Store(id, 4096, 4096, packed));
    EXPECT_FALSE(nibs.Store(NibBitmapCache::kMaxNibs, 4096, 4096, packed));
    EXPECT_EQ(nibs.UnpackedBytes(), 0u);
    for (uint32_t id = 0; id < 12; ++id) {
        ASSERT_NE(nibs.Find(id * 20, 4096, 4096), nullptr);
        ASSERT_LE(nibs.UnpackedBytes(), NibBitmapCache::kDefaultBudget);
    }
}

} // namespace
} // namespace morvane
