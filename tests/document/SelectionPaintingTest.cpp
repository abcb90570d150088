// Painting and filters over an active selection change no pixel outside
// it, on both stroke engines, live and in the replay of the recording.
#include <gtest/gtest.h>

#include <filesystem>

#include "LivePaper.h"
#include "document/CMaskMngr.h"
#include "document/FilterOperations.h"
#include "filters/FilterDescriptor.h"

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

// Counts the pixels that changed inside the rectangle; fails at the first
// one that changed outside it.
int32_t ChangedOnlyInside(const std::vector<uint32_t>& before, const std::vector<uint32_t>& after, int32_t width,
                          const EdgeRect& inside)
{
    int32_t changed = 0;
    for (size_t i = 0; i < after.size(); ++i) {
        const int32_t x = int32_t(i % size_t(width)), y = int32_t(i / size_t(width));
        const bool in = x >= inside.left && x <= inside.right && y >= inside.top && y <= inside.bottom;
        if (!in && after[i] != before[i])
            return ADD_FAILURE() << "outside the selection at " << x << "," << y, -1;
        changed += in && after[i] != before[i];
    }
    return changed;
}

TEST(SelectionPainting, FiltersStayInsideTheSelectionLiveAndReplayed)
{
    Live live;
    ASSERT_TRUE(live->SelectLayer(0));
    live.pen.SetRadius(12.0f);
    ASSERT_TRUE(live.Draw({{0, 0, 1.0f}, {47, 35, 1.0f}, {0, 35, 1.0f}, {47, 0, 1.0f}}));
    ASSERT_TRUE(live->SelectRectangle({12, 8}, {30.5, 24.5}, CombineMode::Replace));
    const std::vector<uint32_t> before = PictureOf(*live, 0);
    const FilterDescriptor& invert = *FilterByCode(81);
    ASSERT_EQ(RunFilterOnLayer(*live, invert, 0, DefaultRecord(invert), true), FilterResult::Done);
    EXPECT_GT(ChangedOnlyInside(before, PictureOf(*live, 0), live->Width, {12, 8, 30, 24}), 20);

    const std::string path = ScratchFile("selection-filter");
    EXPECT_TRUE(SavedAndReplayed(*live, path) == WithoutIds(StateOf(*live)));
    std::filesystem::remove(path);
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
