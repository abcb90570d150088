#include <gtest/gtest.h>

#include "events/PlaybackReport.h"

namespace morvane {
namespace {

TEST(PlaybackReport, TimeLineShowsHoursAndMinutesOnlyWhenThere)
{
    EXPECT_EQ(ReportTimeLine(3723004), "1 時間 2 分 3 秒 004");
    EXPECT_EQ(ReportTimeLine(3600000), "1 時間 0 秒 000");
    EXPECT_EQ(ReportTimeLine(61500), "1 分 1 秒 500");
    EXPECT_EQ(ReportTimeLine(0), "0 秒 000");
    EXPECT_EQ(ReportTimeLine(UINT32_MAX), "1193 時間 2 分 47 秒 295");
}

TEST(PlaybackReport, LinesAndTexts)
{
    EXPECT_STREQ(OpenResultText(5), "保護エラーによりイベント再生の開始に失敗しました!");
    EXPECT_STREQ(OpenResultText(99), OpenResultText(1));
    EXPECT_STREQ(ReportStateLine(1), "イベントの再生を中断しました");
    EXPECT_EQ(ReportFileLine("a.vd4", true), "a.vd4 : 追記可");
    EXPECT_EQ(ReportFileLine("a.vd4", false), "a.vd4 : 追記不可");
    EXPECT_EQ(ReportStepLine(1), "1 ステップ");
}

TEST(PlaybackReport, ProgressModesCycleAndClamp)
{
    EXPECT_EQ(ProgressText(ProgressMode::Percent, 1, 3, 0), "33.33%");
    EXPECT_EQ(ProgressText(ProgressMode::Percent, 9, 3, 0), "100.00%");
    EXPECT_EQ(ProgressText(ProgressMode::Percent, 5, 0, 0), "0.00%");
    EXPECT_EQ(ProgressText(ProgressMode::Count, 7, 12, 0), "7 / 12");
    EXPECT_EQ(ProgressText(ProgressMode::Elapsed, 0, 0, 3723004), "経過: 1:02:03.004");
    ProgressMode mode = ProgressMode::Percent;
    for (ProgressMode want : {ProgressMode::Count, ProgressMode::Elapsed, ProgressMode::Percent})
        EXPECT_EQ(mode = NextProgressMode(mode), want);
}

TEST(PlaybackReport, DecilesStayInRangeForAnyCount)
{
    EXPECT_EQ(ProgressDecile(0, 0), -1);
    EXPECT_EQ(ProgressDecile(5, -3), -1);
    EXPECT_EQ(ProgressDecile(0, 100), -1);
    EXPECT_EQ(ProgressDecile(9, 100), 0);
    EXPECT_EQ(ProgressDecile(99, 100), 9);
    EXPECT_EQ(ProgressDecile(500, 100), 9);
    EXPECT_EQ(ProgressDecile(INT32_MAX - 1, INT32_MAX), 9);
}

TEST(PlaybackReport, SpeedItemsAndTheirWaits)
{
    for (int item = 0; item < 6; ++item)
        EXPECT_EQ(SpeedItemOfWait(WaitOfSpeedItem(item)), item);
    EXPECT_EQ(SpeedItemOfWait(-5), 0);
    EXPECT_EQ(SpeedItemOfWait(2), 2);
    EXPECT_EQ(SpeedItemOfWait(5), 3);
    EXPECT_EQ(SpeedItemOfWait(9), 4);
    EXPECT_EQ(SpeedItemOfWait(1000), 5);
}

} // namespace
} // namespace morvane
