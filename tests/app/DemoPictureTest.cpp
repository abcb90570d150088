// The run command's job: the demo picture is written and reads back intact.
#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "app/DemoPicture.h"
#include "codecs/Bmp.h"
#include "storage/TMTC.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"

using namespace morvane;

TEST(DemoPicture, WritesABmpThatReadsBackAsDrawn)
{
    TMTC drawn;
    ASSERT_TRUE(DrawDemoPicture(drawn));
    support::TempFolder folder;
    const std::string path = folder / "demo.bmp";
    ASSERT_TRUE(WriteDemoPicture(path.c_str()));
    const support::Bytes bytes = support::ReadBytes(path);
    TMTC read;
    ASSERT_TRUE(LoadBmp(read, bytes.data(), bytes.size(), nullptr));
    ASSERT_TRUE(read.FlipVertical({0, 0, read.Width, read.Height})); // bottom-up file
    ASSERT_EQ(read.Width, drawn.Width);
    ASSERT_EQ(read.Height, drawn.Height);
    int differing = 0;
    for (int y = 0; y < read.Height; ++y)
        for (int x = 0; x < read.Width; ++x)
            differing += (read.GetPixel(x, y) & 0xFFFFFF) != (drawn.GetPixel(x, y) & 0xFFFFFF);
    EXPECT_EQ(differing, 0);
    // Not a blank canvas: the star's yellow is there.
    EXPECT_EQ(drawn.GetPixel(452, 130) & 0xFFFFFF, 0xF0C040u);
}
