// BMP writing and reading: the round trip, files from another writer, the
// accepted variants and a table of hostile headers that must be refused
// without touching the buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "codecs/Bmp.h"
#include "storage/TMTC.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"

using namespace morvane;

namespace {

std::filesystem::path Fixture(const char* name)
{
    const char* root = std::getenv("MORVANE_TEST_DATA");
    return std::filesystem::path(root ? root : "tests/data") / "bmp" / name;
}

void Put(std::vector<uint8_t>& bytes, size_t at, uint32_t v, int count = 4)
{
    for (int i = 0; i < count; ++i)
        bytes[at + i] = uint8_t(v >> (8 * i));
}

// The header fields a test may want to spoil; the defaults make a valid file
// whose rows hold a recognisable pattern.
struct BmpFields {
    char magic = 'M';
    uint32_t headerSize = 40;
    int32_t width = 5;
    int32_t height = 3;
    uint32_t bits = 24;
    uint32_t compression = 0;
    uint32_t paletteColours = 0;
    int32_t ppm = 0;
    int64_t offset = -1;    // -1: right after the headers
    int64_t dataBytes = -1; // -1: exactly stride x height
};

int64_t Stride(const BmpFields& f)
{
    return f.bits == 32 ? 4 * int64_t(f.width) : (3 * int64_t(f.width) + 3) & ~int64_t(3);
}

// Byte i of row r of the pixel data is r * 40 + i (mod 256).
std::vector<uint8_t> BuildBmp(const BmpFields& f)
{
    const bool masks = f.compression == 3;
    const int64_t headers = 54 + (masks ? 12 : 0);
    const int64_t rows = std::llabs(int64_t(f.height));
    const int64_t data = f.dataBytes >= 0 ? f.dataBytes : std::max<int64_t>(Stride(f) * rows, 0);
    const int64_t offset = f.offset >= 0 ? f.offset : headers;
    std::vector<uint8_t> bytes(size_t(std::max(offset, headers) + data), 0);
    bytes[0] = 'B';
    bytes[1] = uint8_t(f.magic);
    Put(bytes, 2, uint32_t(bytes.size()));
    Put(bytes, 10, uint32_t(offset));
    Put(bytes, 14, f.headerSize);
    Put(bytes, 18, uint32_t(f.width));
    Put(bytes, 22, uint32_t(f.height));
    Put(bytes, 26, 1, 2);
    Put(bytes, 28, f.bits, 2);
    Put(bytes, 30, f.compression);
    Put(bytes, 38, uint32_t(f.ppm));
    Put(bytes, 42, uint32_t(f.ppm));
    Put(bytes, 46, f.paletteColours);
    if (masks) {
        Put(bytes, 54, 0x00FF0000);
        Put(bytes, 58, 0x0000FF00);
        Put(bytes, 62, 0x000000FF);
    }
    const int64_t stride = Stride(f);
    for (int64_t i = 0; i < data && offset + i < int64_t(bytes.size()); ++i)
        bytes[size_t(offset + i)] = uint8_t((i / stride) * 40 + i % stride);
    return bytes;
}

// The pixel a 24-bit BuildBmp file holds at column x of file row r.
uint32_t Pattern24(int r, int x)
{
    const auto b = [&](int i) { return uint32_t(uint8_t(r * 40 + 3 * x + i)); };
    return b(2) << 16 | b(1) << 8 | b(0);
}

bool Load(TMTC& image, const std::vector<uint8_t>& bytes, int* dpi = nullptr)
{
    return LoadBmp(image, bytes.data(), bytes.size(), dpi);
}

void ExpectLoads(TMTC& image, const std::vector<uint8_t>& bytes, int dpi, int32_t width, int32_t height)
{
    int reported = -1;
    ASSERT_TRUE(Load(image, bytes, &reported));
    EXPECT_EQ(reported, dpi);
    ASSERT_EQ(image.Width, width);
    ASSERT_EQ(image.Height, height);
}

// The bytes SaveBmp24 writes for the image.
std::vector<uint8_t> SavedBmp(const TMTC& image, int dpi)
{
    const support::TempFolder folder;
    const std::string path = folder / "saved.bmp";
    if (!SaveBmp24(image, path.c_str(), dpi))
        return {};
    return support::ReadBytes(path);
}

} // namespace

TEST(Bmp, SaveThenLoadArrivesUpsideDown)
{
    TMTC source(5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            *source.PixelPtr(x, y) = 0x11000000u * uint32_t(y + 1) | uint32_t(y * 0x10000 + x * 0x101 + 7);
    const std::vector<uint8_t> file = SavedBmp(source, 96);

    // 5 pixels make 15 bytes, padded to 16-byte rows.
    ASSERT_EQ(file.size(), 54u + 16 * 3);
    EXPECT_EQ(file[34], 48); // image size
    EXPECT_EQ(file[54 + 15], 0);

    TMTC loaded;
    ASSERT_NO_FATAL_FAILURE(ExpectLoads(loaded, file, 96, 5, 3));
    // A fresh block gets opaque pixels; the file has no alpha.
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(loaded.GetPixel(x, 2 - y), (source.GetPixel(x, y) & 0xFFFFFF) | 0xFF000000u)
                << x << "," << y;

    // Into a buffer of that size already, the alpha bytes stay as they were.
    source.SetAlphaAll(0x33);
    ASSERT_TRUE(Load(source, file));
    EXPECT_EQ(source.GetPixel(4, 0), 0x33000000u | (loaded.GetPixel(4, 0) & 0xFFFFFF));
    EXPECT_EQ(source.GetPixel(0, 2), 0x33000000u | (loaded.GetPixel(0, 2) & 0xFFFFFF));
}

TEST(Bmp, ResolutionReport)
{
    struct Case {
        uint32_t headerSize;
        int32_t ppm;
        int dpi;
    };
    // round(ppm * 2.54 / 100 + 0.41): 42 -> 1.48 -> 1, 43 -> 1.50 -> 2.
    const Case cases[] = {{40, 2835, 72}, {40, 3779, 96}, {40, 42, 1}, {40, 43, 2},  {108, 11811, 300},
                          {124, 5905, 150}, {12, 2835, 0},  {40, 0, 0},  {40, -2835, 0}};
    for (const Case& c : cases) {
        BmpFields f;
        f.headerSize = c.headerSize;
        f.ppm = c.ppm;
        TMTC image;
        int dpi = -1;
        EXPECT_EQ(Load(image, BuildBmp(f), &dpi), c.headerSize == 40) << c.headerSize;
        EXPECT_EQ(dpi, c.dpi) << c.headerSize << " " << c.ppm;
    }
    // What the writer stores, the reader gives back.
    for (int dpi : {1, 72, 96, 150, 300, 350, 600, 1200, 2400}) {
        TMTC image(1, 1);
        EXPECT_NO_FATAL_FAILURE(ExpectLoads(image, SavedBmp(image, dpi), dpi, 1, 1)) << dpi;
    }
}

TEST(Bmp, ReadsFilesOfAnotherWriter)
{
    // Written by ImageMagick ("BMP3:", 40-byte header) from a 5 x 3 picture
    // whose top row is red, green, blue, white, black at 150 dpi.
    const std::vector<uint8_t> file = support::ReadBytes(Fixture("magick_5x3_150dpi.bmp"));
    ASSERT_EQ(file.size(), 102u);
    TMTC image;
    ASSERT_NO_FATAL_FAILURE(ExpectLoads(image, file, 150, 5, 3));
    const uint32_t top[5] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF000000};
    const uint32_t bottom[5] = {0xFF010203, 0xFF040506, 0xFF070809, 0xFFFAFBFC, 0xFF804020};
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(image.GetPixel(x, 2), top[x]) << x;
        EXPECT_EQ(image.GetPixel(x, 0), bottom[x]) << x;
    }
    EXPECT_EQ(image.GetPixel(1, 1), 0xFF28323Cu);

    // Its default output has a 124-byte header: the resolution is reported,
    // the picture refused.
    TMTC other;
    int dpi = 0;
    EXPECT_FALSE(Load(other, support::ReadBytes(Fixture("magick_5x3_v5header.bmp")), &dpi));
    EXPECT_EQ(dpi, 150);
    EXPECT_FALSE(other.IsValid());
}

TEST(Bmp, ThirtyTwoBitRowsAreCopiedWhole)
{
    for (uint32_t compression : {0u, 3u}) {
        BmpFields f;
        f.bits = 32;
        f.compression = compression;
        f.paletteColours = compression == 3 ? 3 : 0;
        TMTC image;
        ASSERT_TRUE(Load(image, BuildBmp(f))) << compression;
        ASSERT_EQ(image.Width, 5);
        // Byte i of file row r is r * 40 + i; all four bytes, alpha included.
        EXPECT_EQ(image.GetPixel(0, 0), 0x03020100u);
        EXPECT_EQ(image.GetPixel(4, 2), 0x63626160u);
    }
}

TEST(Bmp, TopDownFilesArriveAsBottomUpOnes)
{
    // Row r of a top-down file is picture row r; it lands where a bottom-up
    // file puts that picture row, so callers flip both kinds alike.
    BmpFields f;
    f.height = -3;
    TMTC image;
    ASSERT_TRUE(Load(image, BuildBmp(f)));
    ASSERT_EQ(image.Height, 3);
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(image.GetPixel(x, 2) & 0xFFFFFF, Pattern24(0, x));
        EXPECT_EQ(image.GetPixel(x, 0) & 0xFFFFFF, Pattern24(2, x));
    }
}

TEST(Bmp, DataOffsetIsHonoured)
{
    BmpFields f;
    f.offset = 100; // a gap after the headers
    TMTC image;
    ASSERT_TRUE(Load(image, BuildBmp(f)));
    EXPECT_EQ(image.GetPixel(0, 0) & 0xFFFFFF, Pattern24(0, 0));
    EXPECT_EQ(image.GetPixel(4, 1) & 0xFFFFFF, Pattern24(1, 4));
}

TEST(Bmp, HostileInputLeavesTheBufferAlone)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const auto with = [](auto change) {
        BmpFields f;
        change(f);
        return BuildBmp(f);
    };
    const std::vector<uint8_t> valid = BuildBmp({});
    const std::vector<uint8_t> fields = with([](BmpFields& f) {
        f.bits = 32;
        f.compression = 3;
        f.paletteColours = 3;
    });
    const auto cut = [](const std::vector<uint8_t>& v, size_t n) {
        return std::vector<uint8_t>(v.begin(), v.begin() + n);
    };
    const std::vector<Case> cases = {
        {"empty", {}},
        {"one byte", {'B'}},
        {"file header cut", cut(valid, 13)},
        {"info header cut", cut(valid, 53)},
        {"last row one byte short", cut(valid, valid.size() - 1)},
        {"wrong magic", with([](BmpFields& f) { f.magic = 'A'; })},
        {"core header", with([](BmpFields& f) { f.headerSize = 12; })},
        {"v4 header", with([](BmpFields& f) { f.headerSize = 108; })},
        {"8 bits", with([](BmpFields& f) { f.bits = 8; })},
        {"16 bits", with([](BmpFields& f) { f.bits = 16; })},
        {"zero width", with([](BmpFields& f) { f.width = 0; })},
        {"zero height", with([](BmpFields& f) { f.height = 0; })},
        {"negative width", with([](BmpFields& f) { f.width = -5; })},
        {"most negative height", with([](BmpFields& f) { f.height = INT32_MIN; f.dataBytes = 64; })},
        {"width beyond 32767", with([](BmpFields& f) { f.width = 32768; f.height = 1; f.dataBytes = 0; })},
        {"huge, little data", with([](BmpFields& f) { f.width = 32767; f.height = 32767; f.dataBytes = 16; })},
        {"more than 2^28 pixels", with([](BmpFields& f) { f.width = 32767; f.height = 8193; f.dataBytes = 16; })},
        {"run-length compression", with([](BmpFields& f) { f.compression = 1; })},
        {"bit fields without 3 colours", with([](BmpFields& f) { f.bits = 32; f.compression = 3; })},
        {"bit fields cut in the masks", cut(fields, 60)},
        {"offset 0", with([](BmpFields& f) { f.offset = 0; })},
        {"offset inside the header", with([](BmpFields& f) { f.offset = 53; })},
        {"offset over the masks", with([](BmpFields& f) {
             f.bits = 32; f.compression = 3; f.paletteColours = 3; f.offset = 54; })},
        {"offset leaves too little", with([](BmpFields& f) { f.offset = 60; f.dataBytes = 40; })},
    };
    for (const Case& c : cases) {
        TMTC image(2, 2);
        image.FillAll(0x12345678u);
        const uint8_t* block = image.Bits;
        EXPECT_FALSE(Load(image, c.bytes)) << c.what;
        EXPECT_EQ(image.Bits, block) << c.what;
        ASSERT_EQ(image.Width, 2) << c.what;
        ASSERT_EQ(image.Height, 2) << c.what;
        EXPECT_EQ(image.GetPixel(1, 1), 0x12345678u) << c.what;
    }
    TMTC image(2, 2);
    EXPECT_FALSE(LoadBmp(image, nullptr, 54, nullptr));
    // Far offsets, beyond the block and beyond 32 bits of file position.
    std::vector<uint8_t> far = valid;
    Put(far, 10, 0xFFFFFFFFu);
    EXPECT_FALSE(Load(image, far));
}
