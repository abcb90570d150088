// Images written for other programs: what the decoders read back, the JPEG
// options as they show in the file, and a failed write that keeps the old
// file.
#include <gtest/gtest.h>

#include <cstring>

#include "codecs/ImageDecoders.h"
#include "files/ImageExport.h"
#include "files/ImageImport.h"
#include "storage/TMTC.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"

namespace morvane {
namespace {

// Every byte value in each channel, with alpha from transparent to opaque.
TMTC Gradient(int32_t width, int32_t height, bool opaque)
{
    TMTC image(width, height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            *image.PixelPtr(x, y) = uint32_t(x * 37 + y) & 0xFF | (uint32_t(y * 11) & 0xFF) << 8 |
                                    (uint32_t(x ^ y) & 0xFF) << 16 | (opaque ? 0xFFu : uint32_t(x * 9) & 0xFF) << 24;
    return image;
}

bool SamePixels(const TMTC& a, const TMTC& b)
{
    if (a.Width != b.Width || a.Height != b.Height)
        return false;
    for (int32_t y = 0; y < a.Height; ++y)
        if (std::memcmp(a.Row(y), b.Row(y), size_t(a.Width) * 4) != 0)
            return false;
    return true;
}

TEST(ImageExport, PngAndBmpReadBackExactly)
{
    const support::TempFolder folder;
    const struct {
        const char* name;
        bool opaque, withAlpha;
    } cases[] = {{"a.png", false, true}, {"b.png", true, false}, {"c.bmp", true, false}, {"d.PNG", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TMTC image = Gradient(37, 23, c.opaque);
        ASSERT_EQ(ExportImage(image, folder / c.name, 300, c.withAlpha), WriteCode::Ok);
        TMTC back;
        int dpi = 0;
        ASSERT_EQ(LoadImageFile(folder / c.name, back, &dpi), DecodeResult::Ok);
        EXPECT_TRUE(SamePixels(image, back));
        EXPECT_EQ(dpi, 300);
    }
}

// The markers of a JPEG stream: SOF0/SOF2 and the component count after it.
struct JpegLook {
    int sof = -1, components = 0, densityUnit = -1, density = 0;
};

JpegLook Look(const support::Bytes& b)
{
    JpegLook look;
    for (size_t i = 2; i + 9 < b.size(); ++i) {
        if (b[i] != 0xFF)
            continue;
        if (b[i + 1] == 0xE0 && std::memcmp(&b[i + 4], "JFIF", 5) == 0) {
            look.densityUnit = b[i + 11];
            look.density = b[i + 12] << 8 | b[i + 13];
        }
        if (b[i + 1] == 0xC0 || b[i + 1] == 0xC2) {
            look.sof = b[i + 1] - 0xC0;
            look.components = b[i + 9];
            break;
        }
    }
    return look;
}

TEST(ImageExport, JpegOptionsShowInTheFile)
{
    const support::TempFolder folder;
    const TMTC image = Gradient(64, 48, true);
    const struct {
        bool grey, progressive;
        int sof, components;
    } cases[] = {{false, false, 0, 3}, {true, false, 0, 1}, {false, true, 2, 3}, {true, true, 2, 1}};
    for (const auto& c : cases) {
        JpegOptions options;
        options.greyscale = c.grey, options.progressive = c.progressive, options.smoothing = 30;
        const std::string path = folder / "x.jpeg";
        ASSERT_EQ(ExportImage(image, path, 144, false, options), WriteCode::Ok);
        const JpegLook look = Look(support::ReadBytes(path));
        EXPECT_EQ(look.sof, c.sof);
        EXPECT_EQ(look.components, c.components);
        EXPECT_EQ(look.densityUnit, 1);
        EXPECT_EQ(look.density, 144);
        TMTC back;
        EXPECT_EQ(LoadImageFile(path, back, nullptr), DecodeResult::Ok);
    }
    // A higher quality keeps more.
    std::vector<uint8_t> low, high;
    JpegOptions q;
    q.quality = 10;
    ASSERT_TRUE(EncodeJpeg(image, 72, q, low));
    q.quality = 100;
    ASSERT_TRUE(EncodeJpeg(image, 72, q, high));
    EXPECT_LT(low.size(), high.size());
}

TEST(ImageExport, AFailedExportLeavesTheOldFile)
{
    const support::TempFolder folder;
    const std::string path = folder / "old.jpg";
    const support::Bytes old{1, 2, 3, 4};
    support::WriteBytes(path, old);
    // Wider than the JPEG library takes: its error jump ends the encode.
    const TMTC wide(70000, 1);
    EXPECT_EQ(ExportImage(wide, path, 72, false), WriteCode::ShortWrite);
    EXPECT_EQ(support::ReadBytes(path), old);
    EXPECT_EQ(ExportImage(Gradient(4, 4, true), folder / "none/x.png", 72, false), WriteCode::CannotOpen);
    EXPECT_EQ(ExportImage(Gradient(4, 4, true), folder / "x.gif", 72, false), WriteCode::Format);
}

TEST(ImageImport, TheContentDecidesAndTheNameChoosesTheReader)
{
    const support::TempFolder folder;
    const TMTC image = Gradient(9, 7, false);
    ASSERT_EQ(ExportImage(image, folder / "p.png", 0, true), WriteCode::Ok);
    const support::Bytes png = support::ReadBytes(folder / "p.png");
    support::WriteBytes(folder / "p.jpg", png);
    support::WriteBytes(folder / "p.gif", png);
    TMTC back;
    int dpi = -1;
    ASSERT_EQ(LoadImageFile(folder / "p.jpg", back, &dpi), DecodeResult::Ok);
    EXPECT_TRUE(SamePixels(image, back)) << "the alpha is kept";
    EXPECT_EQ(dpi, kDefaultImageDpi) << "no resolution in the file";
    EXPECT_EQ(LoadImageFile(folder / "p.gif", back, &dpi), DecodeResult::UnknownFormat);
    EXPECT_FALSE(back.IsValid());
}

} // namespace
} // namespace morvane
