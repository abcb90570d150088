#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "app/RenderReport.h"
#include "support/TempFolder.h"

namespace morvane {
namespace {

namespace fs = std::filesystem;

class RenderReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = folder.Path();
        fs::create_directories(dir / "in");
        fs::create_directories(dir / "out");
    }
    std::vector<std::string> Files(const fs::path& folder) const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    support::TempFolder folder;
    fs::path dir;
};

TEST_F(RenderReportTest, OpenResultsAndMarkers)
{
    const int want[8] = {10, 10, 10, 10, 10, 11, 12, 10};
    for (int result = 0; result < 8; ++result)
        EXPECT_EQ(RenderCodeOfOpenResult(result), want[result]) << result;
    EXPECT_STREQ(MarkerExtension(10), ".bad");
    EXPECT_STREQ(MarkerExtension(11), ".prt");
    EXPECT_STREQ(MarkerExtension(12), ".him");
    for (int code : {8, 9, 13})
        EXPECT_EQ(MarkerExtension(code), nullptr);
    // A viewer reports 13 only for a replay that reached its end mark.
    const int viewer[4] = {13, 10, 10, 10};
    for (int result = 0; result < 4; ++result)
        EXPECT_EQ(ViewerCodeOfReplay(result), viewer[result]) << result;
}

TEST_F(RenderReportTest, OneMarkerPerRunInTheOutputFolder)
{
    const std::string input = (dir / "in" / "pic.vd4").string();
    RenderReporter reporter(input, (dir / "out").string(), -1);
    EXPECT_EQ(reporter.Report(11), 11);
    EXPECT_EQ(reporter.Report(10), 10);
    EXPECT_EQ(Files(dir / "out"), std::vector<std::string>{"pic.prt"});
    EXPECT_TRUE(Files(dir / "in").empty());
}

TEST_F(RenderReportTest, WithoutAnOutputFolderTheEventFilesFolderIsUsed)
{
    const std::string input = (dir / "in" / "a.b.me4").string();
    RenderReporter(input, "", -1).Report(12);
    EXPECT_EQ(Files(dir / "in"), std::vector<std::string>{"a.b.him"});
    EXPECT_EQ(OutputPathFor("/x", "/y/z.vd4", ".bmp"), "/x/z.bmp");
    EXPECT_EQ(OutputFolderFor("z.vd4", ""), ".");
}

TEST_F(RenderReportTest, CodeGoesToAnOpenDescriptorAsOneLine)
{
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    RenderReporter((dir / "in" / "p.vd4").string(), "", pipeFds[1]).Report(8);
    ::close(pipeFds[1]);
    char buffer[8] = {};
    EXPECT_EQ(::read(pipeFds[0], buffer, sizeof buffer), 2);
    EXPECT_STREQ(buffer, "8\n");
    ::close(pipeFds[0]);
    // A descriptor that is not open is passed over.
    EXPECT_EQ(RenderReporter("p.vd4", (dir / "out").string(), 1000).Report(9), 9);
}

} // namespace
} // namespace morvane
