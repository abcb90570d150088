#include "events/PlaybackReport.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace morvane {
namespace {

template <class... Args>
std::string Format(const char* format, Args... args)
{
    char text[160];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

struct Clock {
    uint32_t hours, minutes, seconds, ms;
};

Clock Split(uint32_t elapsedMs)
{
    return {elapsedMs / 3600000u, elapsedMs / 60000u % 60u, elapsedMs / 1000u % 60u, elapsedMs % 1000u};
}

} // namespace

const char* OpenResultText(int result)
{
    static const std::array<const char*, 8> texts = {
        "イベントファイル再生を開始します",
        "何らかのエラーによりイベント再生の開始に失敗しました!",
        "ファイルエラーによりイベント再生の開始に失敗しました!",
        "パケットチェックエラーによりイベント再生の開始に失敗しました!",
        "バージョンエラーによりイベント再生の開始に失敗しました!",
        "保護エラーによりイベント再生の開始に失敗しました!",
        "画像エラーによりイベント再生の開始に失敗しました!",
        "パケットエラーによりイベント再生できません!",
    };
    return result >= 0 && result < 8 ? texts[result] : texts[1];
}

const char* ReportStateLine(int result)
{
    static const std::array<const char*, 4> lines = {
        "イベントの再生が終了しました",
        "イベントの再生を中断しました",
        "エラーによりイベントの再生を中止しました",
        "イベントの再生を中止しました",
    };
    return result >= 0 && result < 4 ? lines[result] : lines[2];
}

std::string ReportFileLine(const std::string& fileName, bool appendable)
{
    return fileName + " : " + (appendable ? "追記可" : "追記不可");
}

std::string ReportTimeLine(uint32_t elapsedMs)
{
    const Clock c = Split(elapsedMs);
    std::string line;
    if (c.hours)
        line += Format("%d %s ", int(c.hours), "時間");
    if (c.minutes)
        line += Format("%d %s ", int(c.minutes), "分");
    return line + Format("%d %s %3.3d", int(c.seconds), "秒", int(c.ms));
}

std::string ReportStepLine(int32_t steps)
{
    return Format("%d ステップ", steps);
}

std::string PlaybackWindowTitle(const std::string& fileName, bool isProtected)
{
    // Joined, not formatted: a name may be longer than the format buffer.
    return isProtected ? fileName + "( 保護 )" : fileName;
}

ProgressMode NextProgressMode(ProgressMode mode)
{
    switch (mode) {
    case ProgressMode::Percent:
        return ProgressMode::Count;
    case ProgressMode::Count:
        return ProgressMode::Elapsed;
    default:
        return ProgressMode::Percent;
    }
}

std::string ProgressText(ProgressMode mode, int32_t executed, int32_t total, uint32_t elapsedMs)
{
    if (mode == ProgressMode::Count)
        return Format("%d / %d", executed, total);
    if (mode == ProgressMode::Elapsed) {
        const Clock c = Split(elapsedMs);
        return Format("経過: %d:%2.2d:%2.2d.%3.3d", int(c.hours), int(c.minutes), int(c.seconds), int(c.ms));
    }
    const double percent = total > 0 ? double(executed) / double(total) * 100.0 : 0.0;
    return Format("%1.2f%%", std::clamp(percent, 0.0, 100.0));
}

int ProgressDecile(int32_t executed, int32_t total)
{
    if (total <= 0)
        return -1;
    const int64_t d = (int64_t(executed) + 1) * 100 / (int64_t(total) * 10) - 1;
    return static_cast<int>(std::clamp<int64_t>(d, -1, 9));
}

int32_t WaitOfSpeedItem(int item)
{
    static const std::array<int32_t, 6> waits = {0, 1, 4, 8, 16, 32};
    return item >= 0 && item < 6 ? waits[item] : 0;
}

int SpeedItemOfWait(int32_t wait)
{
    if (wait <= 0)
        return 0;
    if (wait == 1)
        return 1;
    if (wait <= 4)
        return 2;
    if (wait <= 8)
        return 3;
    return wait <= 16 ? 4 : 5;
}

} // namespace morvane
