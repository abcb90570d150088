// Painting over an active selection changes no pixel outside it, on both
// stroke engines, live and in the replay of the recording.
#include <gtest/gtest.h>

#include <filesystem>

#include "LivePaper.h"
#include "document/CMaskMngr.h"

namespace morvane {
namespace {

using namespace testing_layers;

TEST(SelectionPainting, StrokesStayInsideTheSelectionLiveAndReplayed)
{
    for (const uint8_t engine : {uint8_t(1), uint8_t(2)}) {
        SCOPED_TRACE(testing::Message() << "engine " << int(engine));
        Live live;
        ASSERT_TRUE(live->SelectLayer(0));
        ASSERT_TRUE(live->SetStrokeEngine(engine));
        ASSERT_TRUE(live->SelectRectangle({12, 8}, {30.5, 24.5}, CombineMode::Replace));
        const std::vector<uint32_t> before = PictureOf(*live, 0);
        live.pen.SetRadius(6.0f);
        ASSERT_TRUE(live.Draw({{2, 2, 1.0f}, {45, 30, 1.0f}, {5, 33, 1.0f}, {40, 3, 1.0f}}));
        const std::vector<uint32_t> after = PictureOf(*live, 0);
        int32_t changedInside = 0;
        for (int32_t y = 0; y < live->Height; ++y)
            for (int32_t x = 0; x < live->Width; ++x) {
                const size_t i = size_t(y) * size_t(live->Width) + size_t(x);
                const bool inside = x >= 12 && x <= 30 && y >= 8 && y <= 24;
                if (!inside)
                    ASSERT_EQ(after[i], before[i]) << "outside the selection at " << x << "," << y;
                changedInside += inside && after[i] != before[i];
            }
        EXPECT_GT(changedInside, 20);

        const std::string path = ScratchFile("selection-painting");
        EXPECT_TRUE(SavedAndReplayed(*live, path) == WithoutIds(StateOf(*live)));
        std::filesystem::remove(path);
    }
}

TEST(SelectionPainting, AnUnusedSelectionDoesNotLimitTheStroke)
{
    Live live;
    ASSERT_TRUE(live->SelectLayer(0));
    ASSERT_TRUE(live->SelectRectangle({12, 8}, {30, 24}, CombineMode::Replace));
    ASSERT_TRUE(live->SetSelectionUsed(false));
    const std::vector<uint32_t> before = PictureOf(*live, 0);
    ASSERT_TRUE(live.Draw({{2, 30, 1.0f}, {8, 32, 1.0f}}));
    EXPECT_NE(PictureOf(*live, 0), before);
}

} // namespace
} // namespace morvane
