#include "storage/CScaleImage.h"

#include <gtest/gtest.h>

#include <vector>

#include "storage/CBlockVCH.h"
#include "storage/CBlockVMTC.h"
#include "storage/TChannel.h"
#include "support/Checksum.h"

using namespace morvane;

namespace {

uint32_t Grey(uint8_t v, uint8_t alpha = 255)
{
    return uint32_t(alpha) << 24 | uint32_t(v) * 0x010101u;
}

// A w x h image from its pixels, row by row.
void Load(TMTC& image, int32_t w, int32_t h, const std::vector<uint32_t>& pixels)
{
    ASSERT_TRUE(image.Resize(w, h));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            *image.PixelPtr(x, y) = pixels[size_t(y * w + x)];
}

std::vector<uint32_t> Pixels(const TMTC& image)
{
    std::vector<uint32_t> out;
    for (int32_t y = 0; y < image.Height; ++y)
        for (int32_t x = 0; x < image.Width; ++x)
            out.push_back(image.GetPixel(x, y));
    return out;
}

uint32_t NextRandom(uint32_t& state)
{
    state = state * 134775813u + 1u;
    return state;
}

std::vector<uint32_t> ScaleFlat(const std::vector<uint32_t>& pixels, int32_t w, int32_t h, int32_t dw, int32_t dh)
{
    TMTC source, dest;
    Load(source, w, h, pixels);
    EXPECT_TRUE(MakeScaledCopy(source, dw, dh, dest));
    return Pixels(dest);
}

} // namespace

struct HandCase {
    const char* what;
    int32_t w, h, dw, dh;
    std::vector<uint32_t> source, expected;
};

TEST(CScaleImageTMTC, HandCheckedCases)
{
    const HandCase cases[] = {
        // Each byte of a 2 x 2 block on its own, truncated after + 0.01:
        // (10 + 20 + 30 + 41) / 4 = 25.25, 1019 / 4 = 254.75; alpha does not
        // weight the colour (alpha 0, 0, 255, 255 gives 127).
        {"halving", 4, 2, 2, 1,
         {Grey(10, 0), Grey(20, 0), Grey(255), Grey(255), Grey(30), Grey(41), Grey(255), Grey(254)},
         {Grey(25, 127), Grey(254)}},
        // Step 1.5: 0 + 90 / 2 over 1.5 gives 30; 90 / 2 + 200 over 1.5 gives 163.
        {"3:2 across", 3, 1, 2, 1, {Grey(0), Grey(90), Grey(200)}, {Grey(30), Grey(163)}},
        {"3:2 down", 1, 3, 1, 2, {Grey(0), Grey(90), Grey(200)}, {Grey(30), Grey(163)}},
        // Doubling: every box lies inside one source pixel.
        {"2:4", 2, 1, 4, 1, {Grey(7), Grey(250)}, {Grey(7), Grey(7), Grey(250), Grey(250)}},
        // Step 43691: the middle box takes 21845 of pixel 0 and 21846 of
        // pixel 1 (255 * 21846 / 43691 = 127.5); the last box ends past the
        // source and is limited to it, leaving pixel 1 alone.
        {"2:3", 2, 1, 3, 1, {Grey(0), Grey(255)}, {Grey(0), Grey(127), Grey(255)}},
        // Enlarged across and reduced down: each box lies inside one column
        // yet spans two rows, and takes that column once.
        {"across up, down down", 2, 2, 4, 1, {Grey(100), Grey(200), Grey(100), Grey(200)},
         {Grey(100), Grey(100), Grey(200), Grey(200)}},
    };
    for (const HandCase& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ScaleFlat(c.source, c.w, c.h, c.dw, c.dh), c.expected);
    }
}

TEST(CScaleImageTMTC, SameSizeIsUnchanged)
{
    std::vector<uint32_t> pixels(13 * 7);
    uint32_t seed = 5;
    for (uint32_t& p : pixels)
        p = NextRandom(seed);
    EXPECT_EQ(ScaleFlat(pixels, 13, 7, 13, 7), pixels);
}

TEST(CScaleImageTMTC, ResamplesOnlyTheBoundRectangles)
{
    TMTC source, dest;
    Load(source, 4, 4, std::vector<uint32_t>(16, Grey(40)));
    *source.PixelPtr(3, 1) = Grey(80);
    ASSERT_TRUE(dest.Resize(3, 3));
    dest.FillAll(0x12345678);

    CScaleImageTMTC scaler(source, dest);
    // The source rectangle sticks out to the right and is clipped to 2 x 2.
    ASSERT_TRUE(scaler.Bind({2, 0, 5, 2}, {1, 1, 1, 1}));
    EXPECT_EQ(scaler.SrcRect, (ExtentRect{2, 0, 2, 2}));
    ASSERT_TRUE(scaler.Resample());
    std::vector<uint32_t> expected(9, 0x12345678);
    expected[4] = Grey(50);
    EXPECT_EQ(Pixels(dest), expected);
}

TEST(CScaleImageTMTC, EmptyRectanglesAndBuffersBindNothing)
{
    TMTC source(4, 4), dest(2, 2), none;
    CScaleImageTMTC scaler(source, dest);
    EXPECT_FALSE(scaler.Resample()); // not bound
    EXPECT_FALSE(scaler.Bind({0, 0, 0, 4}, {0, 0, 2, 2}));
    EXPECT_FALSE(scaler.Bind({0, 0, 4, 4}, {2, 2, 3, 3}));
    EXPECT_FALSE(scaler.Resample());
    EXPECT_FALSE(MakeScaledCopy(none, 3, 3, dest));
    EXPECT_FALSE(MakeScaledCopy(source, 0, 3, dest));
    CScaleImageTMTC toNothing(source, none);
    EXPECT_FALSE(toNothing.Bind({0, 0, 4, 4}, {0, 0, 1, 1}));
}

TEST(CScaleImageTMTC, ClippedAreaSampleKeepsToTheSource)
{
    TMTC source, dest(1, 1);
    Load(source, 2, 1, {Grey(60), Grey(120)});
    dest.FillAll(0);
    CScaleImageTMTC scaler(source, dest);
    EXPECT_FALSE(scaler.ClippedAreaSample(0, 0, 2 << 16, 0, 5 << 16, 1 << 16));
    EXPECT_EQ(dest.GetPixel(0, 0), 0u);
    // Half of it lies left of the source: only pixel 0 remains.
    EXPECT_TRUE(scaler.ClippedAreaSample(0, 0, -(1 << 16), 0, 1 << 16, 1 << 16));
    EXPECT_EQ(dest.GetPixel(0, 0), Grey(60));
    EXPECT_TRUE(scaler.ClippedAreaSample(0, 0, 1 << 15, 0, 3 << 16, 1 << 16));
    EXPECT_EQ(dest.GetPixel(0, 0), Grey(100)); // (30 + 120) / 1.5
}

TEST(CScaleImage8, ChannelsAverageByteWise)
{
    TChannel source(2, 2), dest(1, 1);
    *source.PixelPtr(0, 0) = 10;
    *source.PixelPtr(1, 0) = 20;
    *source.PixelPtr(0, 1) = 30;
    *source.PixelPtr(1, 1) = 43;
    CScaleImageCH channel(source, dest);
    ASSERT_TRUE(channel.Bind({0, 0, 2, 2}, {0, 0, 1, 1}) && channel.Resample());
    EXPECT_EQ(dest.GetValue(0, 0), 25); // 103 / 4

    TTC grey(1, 1);
    ASSERT_TRUE(ScaleChannelToGrey(source, grey));
    EXPECT_EQ(grey.GetPixel(0, 0), Grey(25));

    const uint8_t bytes[6] = {0, 90, 200, 255, 255, 255};
    uint8_t out[4] = {};
    CScaleImageBYTE plain(bytes, 3, 2, out, 2, 2);
    ASSERT_TRUE(plain.Bind({0, 0, 3, 2}, {0, 0, 2, 2}) && plain.Resample());
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{30, 163, 255, 255}));

    // As coverage in 16.16: the 2 x 2 mean 25.75 / 255, and each pixel alone.
    int32_t coverage[4] = {};
    CScaleImageCH_fixp fixp(source, coverage, 1, 1);
    ASSERT_TRUE(fixp.Bind({0, 0, 2, 2}, {0, 0, 1, 1}) && fixp.Resample());
    EXPECT_EQ(coverage[0], 6618); // round(25.75 / 255 * 65536)
    *source.PixelPtr(1, 1) = 255;
    CScaleImageCH_fixp same(source, coverage, 2, 2);
    ASSERT_TRUE(same.Bind({0, 0, 2, 2}, {0, 0, 2, 2}) && same.Resample());
    EXPECT_EQ(std::vector<int32_t>(coverage, coverage + 4), (std::vector<int32_t>{2570, 5140, 7710, 65536}));
}

TEST(CScaleImageTMTC, FillsTheTargetFirst)
{
    TMTC source, dest(3, 3);
    Load(source, 1, 1, {Grey(9)});
    EXPECT_TRUE(ScaleImageOnto(source, dest, 0xFF0000FF));
    EXPECT_EQ(Pixels(dest), std::vector<uint32_t>(9, Grey(9)));
    TMTC none;
    EXPECT_FALSE(ScaleImageOnto(none, dest, 0xFF0000FF));
    EXPECT_EQ(Pixels(dest), std::vector<uint32_t>(9, 0xFF0000FF));
}

// A store with uniform blocks of two values, a committed block and a few
// scattered pixels, so every kind of source block takes part.
template <typename Store, typename Value>
void FillStore(Store& store, Value a, Value b, uint32_t seed)
{
    store.FillAll(a);
    store.FillRect({64, 0, 64, 64}, b);
    for (int32_t y = 0; y < 40; ++y)
        for (int32_t x = 0; x < 32; ++x)
            store.FillRect({x, y + 20, 1, 1}, Value(NextRandom(seed) >> 8));
    for (int i = 0; i < 50; ++i) {
        const int32_t x = int32_t(NextRandom(seed) % uint32_t(store.Width));
        const int32_t y = int32_t(NextRandom(seed) % uint32_t(store.Height));
        store.FillRect({x, y, 1, 1}, Value(NextRandom(seed) >> 4));
    }
}

struct StoreSize {
    int32_t w, h;
};

TEST(CScaleLayerImage, StoreToStoreMatchesTheFlatScale)
{
    CBlockVMTC source(100, 70);
    ASSERT_TRUE(source.IsValid());
    FillStore<CBlockVMTC, uint32_t>(source, 0x80102030u, 0xFFFFFFFFu, 11);
    TMTC flat(100, 70);
    ASSERT_TRUE(source.CopyOut(flat, {0, 0}, false, 255, {0, 0, 100, 70}));

    for (StoreSize size : {StoreSize{37, 29}, StoreSize{150, 91}, StoreSize{100, 70}, StoreSize{1, 1}}) {
        SCOPED_TRACE(size.w);
        CBlockVMTC dest(size.w, size.h);
        ASSERT_TRUE(ScaleLayerStore(source, dest));
        TMTC out(size.w, size.h), expected;
        ASSERT_TRUE(dest.CopyOut(out, {0, 0}, false, 255, {0, 0, size.w, size.h}));
        ASSERT_TRUE(MakeScaledCopy(flat, size.w, size.h, expected));
        EXPECT_EQ(Pixels(out), Pixels(expected));
    }
}

// A flat store stays flat (and so without memory): the float sums of the
// reduction fall a hair short of the whole value in places.
TEST(CScaleLayerImage, UniformStoresStayWithoutMemory)
{
    CBlockVMTC source(300, 200), dest(123, 77);
    source.FillAll(0x80112233);
    ASSERT_TRUE(ScaleLayerStore(source, dest));
    EXPECT_EQ(dest.CommittedBytes(), 0);
    EXPECT_EQ(dest.GetPixel(122, 76), 0x80112233u);

    CBlockVCH mask(300, 200), small(45, 130);
    mask.FillAll(200);
    ASSERT_TRUE(ScaleMaskStore(mask, small));
    EXPECT_EQ(small.CommittedBytes(), 0);
    EXPECT_EQ(small.GetValue(44, 129), 200);
}

TEST(CScaleMaskImage, StoreToStoreMatchesTheChannelScale)
{
    CBlockVCH source(100, 70);
    ASSERT_TRUE(source.IsValid());
    FillStore<CBlockVCH, uint8_t>(source, 17, 255, 3);
    TChannel flat(100, 70);
    ASSERT_TRUE(source.CopyOut(flat, {0, 0}, {0, 0, 100, 70}));

    for (StoreSize size : {StoreSize{37, 29}, StoreSize{150, 131}}) {
        SCOPED_TRACE(size.w);
        CBlockVCH dest(size.w, size.h);
        ASSERT_TRUE(ScaleMaskStore(source, dest));
        TChannel expected(size.w, size.h);
        CScaleImageCH scaler(flat, expected);
        ASSERT_TRUE(scaler.Bind({0, 0, 100, 70}, {0, 0, size.w, size.h}) && scaler.Resample());
        for (int32_t y = 0; y < size.h; ++y)
            for (int32_t x = 0; x < size.w; ++x)
                ASSERT_EQ(dest.GetValue(x, y), expected.GetValue(x, y)) << x << "," << y;
    }
}

TEST(CScaleLayerImage, InvalidStoresScaleNothing)
{
    CBlockVMTC source(10, 10), refused(0, 10);
    EXPECT_FALSE(ScaleLayerStore(source, refused));
    EXPECT_FALSE(ScaleLayerStore(refused, source));
}

// Every resampler over reductions, enlargements and odd ratios, pinned by
// checksums of what it wrote: the averages' float order and lift are part of
// what recordings replay, so a rework of the walk must keep every byte.
namespace {

using morvane::support::Checksum;
using morvane::support::Fnv;

struct Zoom {
    int32_t w, h, dw, dh;
};

constexpr Zoom kZooms[] = {{7, 5, 3, 2},    {16, 16, 24, 24}, {33, 17, 10, 40}, {64, 48, 5, 5},
                           {5, 5, 64, 48},  {100, 3, 7, 1},   {1, 1, 9, 4},     {40, 40, 40, 40},
                           {48, 36, 32, 24}, {13, 29, 29, 13}};

uint64_t ResampleAll(const Zoom& z, uint32_t seed)
{
    TMTC colour(z.w, z.h);
    TChannel channel(z.w, z.h);
    std::vector<uint8_t> bytes(size_t(z.w) * size_t(z.h));
    for (int32_t y = 0; y < z.h; ++y)
        for (int32_t x = 0; x < z.w; ++x) {
            *colour.PixelPtr(x, y) = NextRandom(seed);
            *channel.PixelPtr(x, y) = uint8_t(NextRandom(seed) >> 24);
            bytes[size_t(y) * size_t(z.w) + size_t(x)] = *channel.PixelPtr(x, y);
        }
    uint64_t h = morvane::support::kFnvStart;
    TMTC colourOut;
    EXPECT_TRUE(MakeScaledCopy(colour, z.dw, z.dh, colourOut));
    h = Checksum(colourOut, h);
    TChannel channelOut(z.dw, z.dh);
    CScaleImageCH ch(channel, channelOut);
    EXPECT_TRUE(ch.Bind({0, 0, z.w, z.h}, {0, 0, z.dw, z.dh}) && ch.Resample());
    h = Checksum(channelOut, h);
    TTC grey(z.dw, z.dh);
    EXPECT_TRUE(ScaleChannelToGrey(channel, grey));
    h = Checksum(grey, h);
    std::vector<int32_t> coverage(size_t(z.dw) * size_t(z.dh));
    CScaleImageCH_fixp fixp(channel, coverage.data(), z.dw, z.dh);
    EXPECT_TRUE(fixp.Bind({0, 0, z.w, z.h}, {0, 0, z.dw, z.dh}) && fixp.Resample());
    h = Fnv(coverage.data(), coverage.size() * sizeof coverage[0], h);
    std::vector<uint8_t> plain(size_t(z.dw) * size_t(z.dh)), turned(plain.size());
    CScaleImageBYTE byte(bytes.data(), z.w, z.h, plain.data(), z.dw, z.dh);
    EXPECT_TRUE(byte.Bind({0, 0, z.w, z.h}, {0, 0, z.dw, z.dh}) && byte.Resample());
    h = Fnv(plain.data(), plain.size(), h);
    const double factor = double(z.w) / double(z.dw);
    EXPECT_TRUE(ScaleRotateBytes(bytes.data(), z.w, z.h, turned.data(), z.dw, z.dh, factor, 33.0, 7));
    return Fnv(turned.data(), turned.size(), h);
}

} // namespace

TEST(CScaleImage, EveryResamplerKeepsItsBytesOverSizesAndZooms)
{
    const uint64_t expected[] = {0xa30c62a01cb3d88e, 0xa83e74f917a7e4c5, 0x08cc0700e76f87fb, 0x8a9e79215b320871,
                                 0x52d301dcafc874d8, 0xcb8a42eb1f2a8d86, 0x218751f9f23de2a3, 0x360f0238b6ae9f0b,
                                 0x7704e9fdd9d9b1c0, 0x17634b8ea0f8025c};
    static_assert(std::size(expected) == std::size(kZooms));
    for (size_t i = 0; i < std::size(kZooms); ++i) {
        const Zoom& z = kZooms[i];
        const uint64_t sum = ResampleAll(z, uint32_t(i) + 5);
        EXPECT_EQ(sum, expected[i]) << z.w << "x" << z.h << " -> " << z.dw << "x" << z.dh << std::hex << " 0x" << sum;
    }
}
