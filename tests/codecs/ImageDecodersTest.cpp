// The image decoders against small files whose pixels are known: the
// fixtures in data/images show the pattern make_fixtures.py describes, and
// the expectations below compute the same pattern.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "codecs/ImageDecoders.h"
#include "platform/MemoryBudget.h"
#include "storage/TMTC.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"

namespace morvane {
namespace {

constexpr int kW = 7, kH = 5;
using Bytes = std::vector<uint8_t>;
using Expect = std::function<uint32_t(int x, int y)>;

std::string FixturePath(const std::string& name)
{
    const char* root = std::getenv("MORVANE_TEST_DATA");
    return std::string(root ? root : "tests/data") + "/images/" + name;
}

Bytes ReadFixture(const std::string& name)
{
    return support::ReadBytes(FixturePath(name));
}

uint32_t Pack(uint32_t r, uint32_t g, uint32_t b, uint32_t a = 255) { return a << 24 | r << 16 | g << 8 | b; }
uint32_t Red(int k) { return (k * 71 + 13) & 255; }
uint32_t Green(int k) { return (k * 29 + 200) & 255; }
uint32_t Blue(int k) { return (k * 113 + 7) & 255; }
uint32_t Colour(int k) { return Pack(Red(k), Green(k), Blue(k)); }
uint32_t Alpha(int x, int y) { return (x * 37 + y * 53 + 5) & 255; }
int Index(int x, int y, int n) { return (x + 7 * y) % n; }
uint32_t Grey(uint32_t v) { return Pack(v, v, v); }

// A colour reduced to `bits` and widened again by the decoder's rounding.
uint32_t Widen(uint32_t v, int bits)
{
    const uint32_t max = (1u << bits) - 1, q = v >> (8 - bits);
    return (q * 255 + max / 2) / max;
}
// libpng's scaling of 16-bit samples.
uint32_t Scale16(uint32_t v) { return (v * 255 + 32895) >> 16; }
uint32_t Sample16(int x, int y) { return (x * 9001 + y * 13007 + 257) & 0xFFFF; }

Expect Indexed(int n) { return [n](int x, int y) { return Colour(Index(x, y, n)); }; }
Expect WithAlpha(Expect colour)
{
    return [colour](int x, int y) { return (colour(x, y) & 0xFFFFFFu) | Alpha(x, y) << 24; };
}

// An RLE picture given as rows of palette indices, top row first.
Expect Rows(std::vector<std::vector<int>> rows)
{
    return [rows](int x, int y) { return Colour(rows[size_t(y)][size_t(x)]); };
}

::testing::AssertionResult SameImage(const TMTC& image, const Expect& expect, int tolerance = 0)
{
    if (!image.IsValid() || image.Width != kW || image.Height != kH)
        return ::testing::AssertionFailure() << "size " << image.Width << " x " << image.Height;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            const uint32_t got = image.GetPixel(x, y), want = expect(x, y);
            for (int shift = 0; shift < 32; shift += 8)
                if (std::abs(int(got >> shift & 255) - int(want >> shift & 255)) > tolerance)
                    return ::testing::AssertionFailure()
                           << std::hex << "pixel " << x << "," << y << " is " << got << ", expected " << want;
        }
    return ::testing::AssertionSuccess();
}

void Put16LE(Bytes& b, size_t at, uint32_t v) { b[at] = uint8_t(v), b[at + 1] = uint8_t(v >> 8); }
void Put32LE(Bytes& b, size_t at, uint32_t v) { Put16LE(b, at, v), Put16LE(b, at + 2, v >> 16); }
void Put16BE(Bytes& b, size_t at, uint32_t v) { b[at] = uint8_t(v >> 8), b[at + 1] = uint8_t(v); }
void Put32BE(Bytes& b, size_t at, uint32_t v) { Put16BE(b, at, v >> 16), Put16BE(b, at + 2, v); }

struct BigEndianAt {
    const Bytes& b;
    uint32_t U16(size_t at) const { return uint32_t(b.at(at)) << 8 | b.at(at + 1); }
    uint32_t U32(size_t at) const { return U16(at) << 16 | U16(at + 2); }
};

struct Variant {
    const char* file;
    Expect expect;
    int dpi;
};

void CheckVariants(const std::vector<Variant>& variants)
{
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.file);
        TMTC image;
        int dpi = -1;
        ASSERT_EQ(DecodeImageFile(FixturePath(v.file), image, &dpi), DecodeResult::Ok);
        EXPECT_TRUE(SameImage(image, v.expect));
        EXPECT_EQ(dpi, v.dpi);
    }
}

TEST(ImageDecoders, BmpVariants)
{
    const Expect rgb = Indexed(35);
    CheckVariants({
        {"pal1.bmp", Indexed(2), 72},
        {"pal4.bmp", Indexed(16), 72},
        {"pal8.bmp", rgb, 72},
        {"pal8_core.bmp", rgb, 0},
        {"pal8_short_palette.bmp", [](int x, int y) { return Index(x, y, 35) < 20 ? Colour(Index(x, y, 35)) : Pack(0, 0, 0); }, 72},
        {"rgb24.bmp", rgb, 72},
        {"rgb24_topdown.bmp", rgb, 72},
        {"rgb24_gap.bmp", rgb, 100},
        {"rgb32.bmp", rgb, 72},
        {"argb32_v5.bmp", WithAlpha(rgb), 72},
        {"abgr32_v4.bmp", WithAlpha(rgb), 72},
        {"rgb555.bmp", [](int x, int y) { int k = Index(x, y, 35); return Pack(Widen(Red(k), 5), Widen(Green(k), 5), Widen(Blue(k), 5)); }, 72},
        {"rgb565.bmp", [](int x, int y) { int k = Index(x, y, 35); return Pack(Widen(Red(k), 5), Widen(Green(k), 6), Widen(Blue(k), 5)); }, 72},
        {"argb4444.bmp", [](int x, int y) { int k = Index(x, y, 35); return Pack(Widen(Red(k), 4), Widen(Green(k), 4), Widen(Blue(k), 4), Widen(Alpha(x, y), 4)); }, 0},
        // Runs clipped at the row's end, a literal, a delta over a row, end of bitmap.
        {"rle8.bmp", Rows({{12, 12, 12, 0, 0, 0, 0}, {0, 0, 9, 9, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0},
                           {1, 2, 3, 4, 5, 6, 7}, {3, 3, 3, 3, 3, 3, 3}}), 72},
        {"rle4.bmp", Rows({{0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0}, {10, 11, 10, 11, 0, 0, 0},
                           {3, 4, 5, 6, 7, 0, 0}, {1, 2, 1, 2, 1, 2, 1}}), 72},
    });
}

TEST(ImageDecoders, PngVariants)
{
    const Expect rgb = Indexed(35);
    CheckVariants({
        {"pal8_trns.png", [](int x, int y) { int k = Index(x, y, 35); return (Colour(k) & 0xFFFFFFu) | (k < 4 ? 64u * k : 255u) << 24; }, 0},
        {"pal4.png", Indexed(16), 0},
        {"grey1.png", [](int x, int y) { return Grey(Index(x, y, 2) ? 255 : 0); }, 0},
        {"grey8.png", [](int x, int y) { return Grey(Red(Index(x, y, 35))); }, 300},
        {"greyalpha16.png", [](int x, int y) { uint32_t g = Scale16(Sample16(x, y)); return Pack(g, g, g, Scale16(Sample16(y, x))); }, 0},
        {"rgb16.png", [](int x, int y) { return Pack(Scale16(Sample16(x, y)), Scale16(Sample16(y, x)), Scale16(Sample16(x + 3, y + 1))); }, 0},
        {"rgba8.png", WithAlpha(rgb), 0},
        {"rgba8_interlaced.png", WithAlpha(rgb), 0},
    });
}

// Flat 8 x 8 blocks at quality 100 come back within a step or two.
TEST(ImageDecoders, JpegProgressiveGreyAndCmyk)
{
    const auto block = [](int x, int y) { return x / 8 + 2 * (y / 8); };
    struct Case {
        const char* file;
        int dpi;
        std::function<uint32_t(int)> colour;
    } cases[] = {
        {"blocks_progressive.jpg", 150, Colour},
        {"blocks_cmyk.jpg", 0, Colour},
        {"blocks_grey.jpg", 102, nullptr}, // 40 dots per cm
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        TMTC image;
        int dpi = -1;
        ASSERT_EQ(DecodeImageFile(FixturePath(c.file), image, &dpi), DecodeResult::Ok);
        ASSERT_EQ(image.Width, 16);
        ASSERT_EQ(image.Height, 16);
        EXPECT_EQ(dpi, c.dpi);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const uint32_t p = image.GetPixel(x, y);
                const uint32_t want = c.colour ? c.colour(block(x, y)) : image.GetPixel(x / 8 * 8, y / 8 * 8);
                for (int shift = 0; shift < 32; shift += 8)
                    ASSERT_LE(std::abs(int(p >> shift & 255) - int(want >> shift & 255)), 3)
                        << std::hex << p << " at " << std::dec << x << "," << y;
                if (!c.colour) {
                    ASSERT_TRUE((p & 0xFF) == (p >> 8 & 0xFF) && (p & 0xFF) == (p >> 16 & 0xFF));
                }
            }
        if (!c.colour) { // the grey blocks differ from each other
            EXPECT_NE(image.GetPixel(0, 0), image.GetPixel(8, 0));
        }
    }
}

// Each scan of a progressive file is a pass over the whole image; a file
// that repeats its last scan endlessly is cut off instead of decoded for ever.
TEST(ImageDecoders, JpegScanCountIsBounded)
{
    const Bytes jpeg = ReadFixture("blocks_progressive.jpg");
    size_t lastScan = 0;
    for (size_t i = 0; i + 1 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xDA)
            lastScan = i;
    ASSERT_GT(lastScan, 0u);
    const Bytes scan(jpeg.begin() + std::ptrdiff_t(lastScan), jpeg.end() - 2); // up to the end marker
    for (const auto& [copies, expected] : {std::pair{10, DecodeResult::Ok}, std::pair{600, DecodeResult::Corrupt}}) {
        Bytes bytes(jpeg.begin(), jpeg.end() - 2);
        for (int i = 0; i < copies; ++i)
            bytes.insert(bytes.end(), scan.begin(), scan.end());
        bytes.insert(bytes.end(), {0xFF, 0xD9});
        TMTC image;
        EXPECT_EQ(DecodeJpeg(bytes.data(), bytes.size(), image, nullptr), expected) << copies;
    }
}

TEST(ImageDecoders, PsdMergedImage)
{
    CheckVariants({
        {"psd_rgba_packbits.psd", WithAlpha(Indexed(35)), 0},
        {"psd_rgb_raw.psd", Indexed(35), 0},
        {"psd_grey_packbits.psd", [](int x, int y) { return Grey(Red(Index(x, y, 35))); }, 300},
    });
}

// The fourth channel is the image's alpha only when the layer count is
// negative; otherwise it is a saved selection and the image stays opaque.
TEST(ImageDecoders, PsdAlphaFollowsTheLayerCount)
{
    Bytes psd = ReadFixture("psd_rgba_packbits.psd");
    const BigEndianAt at{psd};
    const size_t resources = 26 + 4 + at.U32(26);
    const size_t layerCount = resources + 4 + at.U32(resources) + 8;
    ASSERT_EQ(at.U16(layerCount), 0xFFFFu); // -1: one layer, merged transparency
    Put16BE(psd, layerCount, 1);
    TMTC image;
    ASSERT_EQ(DecodePsd(psd.data(), psd.size(), image, nullptr), DecodeResult::Ok);
    EXPECT_TRUE(SameImage(image, Indexed(35)));
}

TEST(ImageDecoders, PsdPreviewFitsTheSizeWanted)
{
    const Bytes psd = ReadFixture("psd_rgba_packbits.psd");
    TMTC full, preview;
    ASSERT_EQ(DecodePsd(psd.data(), psd.size(), full, nullptr), DecodeResult::Ok);
    ASSERT_EQ(DecodePsdPreview(psd.data(), psd.size(), 3, preview), DecodeResult::Ok);
    EXPECT_EQ(preview.Width, 3);
    EXPECT_EQ(preview.Height, 2);
    // A preview larger than the image is the image itself.
    ASSERT_EQ(DecodePsdPreview(psd.data(), psd.size(), 100, preview), DecodeResult::Ok);
    EXPECT_TRUE(SameImage(preview, [&](int x, int y) { return full.GetPixel(x, y); }));
    EXPECT_EQ(DecodePsdPreview(psd.data(), psd.size(), 0, preview), DecodeResult::Corrupt);
    EXPECT_FALSE(preview.IsValid());
    const Bytes png = ReadFixture("rgba8.png");
    EXPECT_EQ(DecodePsdPreview(png.data(), png.size(), 3, preview), DecodeResult::UnknownFormat);
}

// The content decides, not the name; a Japanese name opens like any other.
TEST(ImageDecoders, FileNamesAndDispatch)
{
    const support::TempFolder folder;
    const std::filesystem::path dir = folder.Path();
    const std::string japanese = (dir / "画像の試験.bmp").string(); // a PNG under a BMP name
    std::filesystem::copy_file(FixturePath("rgba8.png"), japanese, std::filesystem::copy_options::overwrite_existing);
    TMTC image;
    EXPECT_EQ(DecodeImageFile(japanese, image, nullptr), DecodeResult::Ok);
    EXPECT_TRUE(SameImage(image, WithAlpha(Indexed(35))));
    EXPECT_EQ(DecodeImageFile((dir / "無い.png").string(), image, nullptr), DecodeResult::OpenFailed);
    EXPECT_FALSE(image.IsValid());
    EXPECT_EQ(DecodeImageFile(dir.string(), image, nullptr), DecodeResult::OpenFailed);
    std::ofstream(dir / "text.png") << "not an image at all";
    EXPECT_EQ(DecodeImageFile((dir / "text.png").string(), image, nullptr), DecodeResult::UnknownFormat);
}

// ---- hostile input ------------------------------------------------------------

// The offset of the first JPEG start-of-frame marker's height field.
size_t JpegFrameSize(const Bytes& b)
{
    for (size_t i = 2; i + 9 < b.size(); ++i)
        if (b[i] == 0xFF && (b[i + 1] == 0xC0 || b[i + 1] == 0xC1 || b[i + 1] == 0xC2))
            return i + 5;
    return 0;
}

// A PSD with empty sections and the given image data, 8 bits a channel.
Bytes MakePsd(uint32_t mode, uint32_t channels, uint32_t w, uint32_t h, const Bytes& imageData)
{
    Bytes b(26 + 12 + imageData.size(), 0); // header, three empty sections, the data
    std::memcpy(b.data(), "8BPS", 4);
    Put16BE(b, 4, 1);
    Put16BE(b, 12, channels);
    Put32BE(b, 14, h);
    Put32BE(b, 18, w);
    Put16BE(b, 22, 8);
    Put16BE(b, 24, mode);
    std::copy(imageData.begin(), imageData.end(), b.begin() + 38);
    return b;
}

// One grey row of 4 pixels in PackBits.
Bytes GreyPackBits(const Bytes& row)
{
    Bytes data(4 + row.size());
    data[1] = 1; // PackBits, then the one row's length and the row
    data[3] = uint8_t(row.size());
    std::copy(row.begin(), row.end(), data.begin() + 4);
    return data;
}

struct Hostile {
    const char* what;
    const char* file; // the fixture the bytes start from; empty for MakePsd cases
    std::function<void(Bytes&)> change;
    DecodeResult expected;
};

TEST(ImageDecoders, HostileInputIsRefused)
{
    const Hostile cases[] = {
        {"bmp wider than a store", "rgb24.bmp", [](Bytes& b) { Put32LE(b, 18, 40000); }, DecodeResult::TooLarge},
        {"bmp of the lowest height", "rgb24.bmp", [](Bytes& b) { Put32LE(b, 22, 0x80000000u); }, DecodeResult::TooLarge},
        {"bmp past 2^28 pixels", "rgb24.bmp", [](Bytes& b) { Put32LE(b, 18, 30000), Put32LE(b, 22, 30000); }, DecodeResult::TooLarge},
        {"bmp of width 0", "rgb24.bmp", [](Bytes& b) { Put32LE(b, 18, 0); }, DecodeResult::Corrupt},
        {"bmp palette above 2^bpp", "pal4.bmp", [](Bytes& b) { Put32LE(b, 46, 17); }, DecodeResult::Corrupt},
        {"bmp data offset past the end", "rgb24.bmp", [](Bytes& b) { Put32LE(b, 10, 100000); }, DecodeResult::Truncated},
        {"bmp data offset inside the header", "rgb24.bmp", [](Bytes& b) { Put32LE(b, 10, 20); }, DecodeResult::Corrupt},
        {"bmp of 7 bits", "rgb24.bmp", [](Bytes& b) { Put16LE(b, 28, 7); }, DecodeResult::Unsupported},
        {"bmp RLE8 of 24 bits", "rgb24.bmp", [](Bytes& b) { Put32LE(b, 30, 1); }, DecodeResult::Unsupported},
        {"bmp holding a PNG", "rgb24.bmp", [](Bytes& b) { Put32LE(b, 30, 5); }, DecodeResult::Unsupported},
        {"bmp of unknown header size", "rgb24.bmp", [](Bytes& b) { Put32LE(b, 14, 41); }, DecodeResult::Unsupported},
        {"bmp mask with a hole", "rgb565.bmp", [](Bytes& b) { Put32LE(b, 54, 0xF0F0); }, DecodeResult::Corrupt},
        {"bmp RLE stored top-down", "rle8.bmp", [](Bytes& b) { Put32LE(b, 22, uint32_t(-kH)); }, DecodeResult::Corrupt},
        {"bmp RLE cut short", "rle8.bmp", [](Bytes& b) { b.resize(b.size() - 14); }, DecodeResult::Truncated},
        {"png wider than a store", "rgba8.png", [](Bytes& b) { Put32BE(b, 16, 40000); }, DecodeResult::TooLarge},
        {"png of height 0", "rgba8.png", [](Bytes& b) { Put32BE(b, 20, 0); }, DecodeResult::Corrupt},
        {"png with a damaged IDAT", "rgba8.png", [](Bytes& b) { b[b.size() - 20] ^= 0x55; }, DecodeResult::Corrupt},
        {"png without IDAT", "rgba8.png", [](Bytes& b) { b.resize(33); }, DecodeResult::Truncated},
        {"jpeg past 2^28 pixels", "blocks_progressive.jpg", [](Bytes& b) { size_t at = JpegFrameSize(b); Put16BE(b, at, 30000), Put16BE(b, at + 2, 30000); }, DecodeResult::TooLarge},
        {"jpeg of height 0", "blocks_progressive.jpg", [](Bytes& b) { Put16BE(b, JpegFrameSize(b), 0); }, DecodeResult::Corrupt},
        {"jpeg without a frame", "blocks_progressive.jpg", [](Bytes& b) { b.resize(JpegFrameSize(b) - 5); }, DecodeResult::Corrupt},
        {"psd of version 2", "psd_rgb_raw.psd", [](Bytes& b) { Put16BE(b, 4, 2); }, DecodeResult::Unsupported},
        {"psd of 16 bits", "psd_rgb_raw.psd", [](Bytes& b) { Put16BE(b, 22, 16); }, DecodeResult::Unsupported},
        {"psd in CMYK", "psd_rgb_raw.psd", [](Bytes& b) { Put16BE(b, 24, 4); }, DecodeResult::Unsupported},
        {"psd without channels", "psd_rgb_raw.psd", [](Bytes& b) { Put16BE(b, 12, 0); }, DecodeResult::Corrupt},
        {"psd of 57 channels", "psd_rgb_raw.psd", [](Bytes& b) { Put16BE(b, 12, 57); }, DecodeResult::Corrupt},
        {"psd in RGB with two channels", "psd_rgb_raw.psd", [](Bytes& b) { Put16BE(b, 12, 2); }, DecodeResult::Corrupt},
        {"psd wider than a store", "psd_rgb_raw.psd", [](Bytes& b) { Put32BE(b, 18, 40000); }, DecodeResult::TooLarge},
        {"psd raw planes cut short", "psd_rgb_raw.psd", [](Bytes& b) { b.resize(b.size() - 1); }, DecodeResult::Truncated},
        {"psd section longer than the file", "psd_rgb_raw.psd", [](Bytes& b) { Put32BE(b, 26, 1000000); }, DecodeResult::Truncated},
        {"psd with zip data", "", [](Bytes& b) { b = MakePsd(1, 1, 4, 1, {0, 2, 1, 2, 3, 4}); }, DecodeResult::Unsupported},
        {"psd repeat past the row", "", [](Bytes& b) { b = MakePsd(1, 1, 4, 1, GreyPackBits({0xFB, 9})); }, DecodeResult::Corrupt},
        {"psd literal past the row", "", [](Bytes& b) { b = MakePsd(1, 1, 4, 1, GreyPackBits({4, 1, 2, 3, 4, 5})); }, DecodeResult::Corrupt},
        {"psd row ending early", "", [](Bytes& b) { b = MakePsd(1, 1, 4, 1, GreyPackBits({0xFE, 9})); }, DecodeResult::Corrupt},
        {"psd row counts past the data", "", [](Bytes& b) { b = MakePsd(1, 1, 4, 1, {0, 1, 0, 200, 0xFD, 9}); }, DecodeResult::Truncated},
        {"psd of 2^28 + 1 pixels", "", [](Bytes& b) { b = MakePsd(1, 1, 16385, 16384, {0, 0}); }, DecodeResult::TooLarge},
        {"nothing", "", [](Bytes& b) { b.clear(); }, DecodeResult::UnknownFormat},
    };
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = *c.file ? ReadFixture(c.file) : Bytes{};
        ASSERT_TRUE(bytes.size() > 0 || !*c.file);
        c.change(bytes);
        TMTC image(2, 2);
        int dpi = -1;
        EXPECT_EQ(DecodeImageMemory(bytes.data(), bytes.size(), image, &dpi), c.expected);
        EXPECT_FALSE(image.IsValid());
        EXPECT_EQ(dpi, 0);
    }
}

// A PackBits row made of a literal, a no-op header and a repeat.
TEST(ImageDecoders, PsdPackBitsRow)
{
    const Bytes psd = MakePsd(1, 1, 4, 1, GreyPackBits({1, 10, 20, 0x80, 0xFF, 30}));
    TMTC image;
    ASSERT_EQ(DecodePsd(psd.data(), psd.size(), image, nullptr), DecodeResult::Ok);
    ASSERT_EQ(image.Width, 4);
    const uint32_t want[] = {Grey(10), Grey(20), Grey(30), Grey(30)};
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(image.GetPixel(x, 0), want[x]);
}

// Large declared sizes whose data is missing or too short are refused before
// the image gets memory: with no memory to spare, the answer is still about
// the data.
TEST(ImageDecoders, MissingDataIsFoundBeforeAllocating)
{
    Bytes bmp = ReadFixture("rgb24.bmp");
    Put32LE(bmp, 18, 16000), Put32LE(bmp, 22, 16000);
    Bytes png = ReadFixture("rgba8.png"); // a few bytes of deflate cannot make 16000 rows
    Put32BE(png, 16, 16000), Put32BE(png, 20, 16000);
    // PackBits rows of one byte each, where 16000 pixels need at least 250.
    Bytes rows(2 + 3 * 16000 * 3, 1);
    rows[0] = 0;
    for (size_t i = 2; i < 2 + 3 * 16000 * 2; i += 2)
        rows[i] = 0;
    const struct {
        Bytes bytes;
        DecodeResult expected;
    } cases[] = {
        {bmp, DecodeResult::Truncated},
        {png, DecodeResult::Truncated},
        {MakePsd(3, 3, 16000, 16000, {0, 0}), DecodeResult::Truncated},
        {MakePsd(3, 3, 16000, 16000, {0, 1}), DecodeResult::Truncated},
        {MakePsd(3, 3, 16000, 16000, rows), DecodeResult::Corrupt},
    };
    ScopedMemoryLimit noMemory(0);
    for (const auto& c : cases) {
        TMTC image;
        EXPECT_EQ(DecodeImageMemory(c.bytes.data(), c.bytes.size(), image, nullptr), c.expected);
    }
    const Bytes fits = ReadFixture("rgba8.png");
    TMTC image;
    EXPECT_EQ(DecodeImageMemory(fits.data(), fits.size(), image, nullptr), DecodeResult::OutOfMemory);
}

// Every prefix of every fixture: never a crash, and a failure leaves no
// image. A prefix may decode only when nothing of the image was cut off (a
// BMP's last padding, a PNG's chunks after the pixels), or as a JPEG with
// the library's grey padding.
TEST(ImageDecoders, EveryTruncationIsSafe)
{
    for (const auto& entry : std::filesystem::directory_iterator(FixturePath(""))) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(".py"))
            continue;
        SCOPED_TRACE(name);
        const Bytes bytes = ReadFixture(name);
        TMTC whole;
        ASSERT_EQ(DecodeImageMemory(bytes.data(), bytes.size(), whole, nullptr), DecodeResult::Ok);
        for (size_t n = 0; n < bytes.size(); ++n) {
            TMTC image;
            if (DecodeImageMemory(bytes.data(), n, image, nullptr) != DecodeResult::Ok) {
                ASSERT_FALSE(image.IsValid()) << n;
            } else if (!name.ends_with(".jpg")) {
                ASSERT_EQ(image.Width, whole.Width);
                ASSERT_EQ(image.Height, whole.Height);
                ASSERT_EQ(std::memcmp(image.Bits, whole.Bits, size_t(image.ByteSize())), 0) << n;
            }
        }
    }
}

} // namespace
} // namespace morvane
