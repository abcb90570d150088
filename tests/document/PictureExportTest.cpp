// A document exported as an image: the composite over the paper, or with
// its alpha on a transparent paper, decoded back exactly; a layer alone.
#include <gtest/gtest.h>

#include <cstring>
#include <ctime>

#include "LivePaper.h"
#include "document/PictureExport.h"
#include "files/ImageImport.h"
#include "storage/TMTC.h"
#include "support/Checksum.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"

namespace morvane {
namespace {

using namespace testing_layers;

TMTC Decoded(const std::string& path)
{
    TMTC image;
    EXPECT_EQ(LoadImageFile(path, image, nullptr), DecodeResult::Ok) << path;
    return image;
}

TEST(PictureExport, PngAndBmpDecodeToTheFlattenedComposite)
{
    const support::TempFolder folder;
    for (const bool opaque : {true, false}) {
        SCOPED_TRACE(opaque ? "opaque paper" : "transparent paper");
        Live live(true);
        ASSERT_TRUE(live->NewPicture("p", true, !opaque, 96, 48, 36, 48, 36));
        ASSERT_TRUE(live.Draw({{4, 6, 0.4f}, {40, 30, 1.0f}, {10, 28, 0.7f}}));
        TMTC withAlpha, flat;
        ASSERT_TRUE(FlattenForExport(*live, true, withAlpha));
        ASSERT_TRUE(FlattenForExport(*live, false, flat));
        EXPECT_EQ(withAlpha.GetPixel(0, 0) >> 24, opaque ? 0xFFu : 0u);
        EXPECT_EQ(flat.GetPixel(0, 0), 0xFFFFFFFFu);
        ASSERT_EQ(ExportPicture(*live, folder / "a.png"), WriteCode::Ok);
        ASSERT_EQ(ExportPicture(*live, folder / "a.bmp"), WriteCode::Ok);
        EXPECT_EQ(support::Checksum(Decoded(folder / "a.png")), support::Checksum(withAlpha));
        EXPECT_EQ(support::Checksum(Decoded(folder / "a.bmp")), support::Checksum(flat));
    }
}

TEST(PictureExport, ALayerKeepsItsAlphaInPngAndGoesOverWhiteInBmp)
{
    const support::TempFolder folder;
    Live live; // its top layer is offset and larger than the picture
    ASSERT_EQ(ExportLayer(*live, 2, folder / "l.png"), WriteCode::Ok);
    ASSERT_EQ(ExportLayer(*live, 2, folder / "l.bmp"), WriteCode::Ok);
    EXPECT_EQ(ExportLayer(*live, 2, folder / "l.jpg"), WriteCode::Format);
    const TMTC png = Decoded(folder / "l.png"), bmp = Decoded(folder / "l.bmp");
    ASSERT_EQ(png.Width, live->Width);
    const CLayerData& layer = *live->LayerAt(2);
    int painted = 0;
    for (int32_t y = 0; y < png.Height; ++y)
        for (int32_t x = 0; x < png.Width; ++x) {
            const uint32_t p = png.GetPixel(x, y);
            ASSERT_EQ(p, layer.Store->GetPixel(x + layer.OriginX, y + layer.OriginY));
            painted += p >> 24 != 0;
            EXPECT_EQ(bmp.GetPixel(x, y) >> 24, 0xFFu);
            if (p >> 24 == 0)
                EXPECT_EQ(bmp.GetPixel(x, y), 0xFFFFFFFFu);
        }
    EXPECT_GT(painted, 0);
}

TEST(PictureExport, DatedNamesTakeTheNextFreeNumber)
{
    const support::TempFolder folder;
    std::tm date{};
    date.tm_year = 126, date.tm_mon = 11, date.tm_mday = 3;
    const std::string prefix = folder.Path() + "/";
    EXPECT_EQ(DatedBmpPath(prefix, date), prefix + "20261203_001.bmp");
    support::WriteBytes(prefix + "20261203_001.bmp", {1});
    support::WriteBytes(prefix + "20261203_002.bmp", {1});
    EXPECT_EQ(DatedBmpPath(prefix, date), prefix + "20261203_003.bmp");
}

} // namespace
} // namespace morvane
