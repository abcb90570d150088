// Pictures made from imported images: the limits of the picture against
// the image's own size, and the recording that replays to them.
#include <gtest/gtest.h>

#include "LivePaper.h"
#include "document/CLayerData.h"
#include "storage/CBlockVMTC.h"
#include "storage/TMTC.h"
#include "support/TempFolder.h"

namespace morvane {
namespace {

using namespace testing_layers;

TEST(ImageImport, AWideImageMakesALimitedPictureWithTheWholeImageAsLayer)
{
    TMTC image(12000, 500);
    image.FillAll(0x80FF0000u);
    *image.PixelPtr(11999, 499) = 0xFF00FF00u;
    Live live(true);
    ASSERT_TRUE(live->NewPictureFromImage("wide.png", image, 300, "wide.png"));
    EXPECT_EQ(live->Width, 10000);
    EXPECT_EQ(live->Height, 500);
    EXPECT_EQ(live->Resolution, 300);
    ASSERT_EQ(live->LayerCount(), 1);
    const CLayerData& layer = *live->LayerAt(0);
    EXPECT_EQ(layer.Store->Width, 12000);
    EXPECT_EQ(layer.Store->Height, 500);
    EXPECT_EQ(layer.Store->GetPixel(11999, 499), 0xFF00FF00u);
    EXPECT_EQ(layer.Store->GetPixel(0, 0), 0x80FF0000u);
    EXPECT_EQ(live->UndoManager()->UndoCount(), 0);

    const support::TempFolder folder;
    const PaperState replayed = SavedAndReplayed(*live, folder / "wide.vd4", PlaybackMode::Interactive);
    const PaperState shown = WithoutIds(StateOf(*live));
    EXPECT_TRUE(replayed == shown) << Difference(replayed, shown);
}

} // namespace
} // namespace morvane
