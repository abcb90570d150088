// The presets the program ships: data/preset reads cleanly with a brush of
// every current kind, the maker writes those very bytes again, and a
// damaged copy is reported with its code and leaves defaults that still
// answer to pressure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/DefaultPresets.h"
#include "input/ToolState.h"
#include "files/BrushPresetFile.h"
#include "files/NibPresetFile.h"
#include "files/PresetFixture.h"
#include "files/PresetLocation.h"
#include "files/ResultCodes.h"

namespace morvane {
namespace {

using testing::ReadBytes;
using testing::ScopedNotifier;
using testing::TempFolder;

std::string ShippedFile(const char* name)
{
    const char* root = std::getenv("MORVANE_TEST_DATA");
    return std::string(root ? root : "tests/data") + "/../../data/preset/" + name;
}

TEST(DefaultPresets, TheShippedFilesReadCleanlyWithEveryKind)
{
    ScopedNotifier notes;
    CPenShapeMngr nibs;
    ASSERT_EQ(ReadNibPresetFile(ShippedFile(kDefaultNibFile), nibs, false, false), PresetReadCode::Ok);
    EXPECT_EQ(nibs.Count(), CPenShapeMngr::kBuiltInCount + 3);
    int bitmaps = 0;
    for (int32_t i = 0; i < nibs.Count(); ++i)
        bitmaps += nibs.Item(i)->IsBitmapNib() ? 1 : 0;
    EXPECT_EQ(bitmaps, 3);

    CPenMethodMngr brushes;
    ASSERT_EQ(ReadBrushPresetFile(ShippedFile(kDefaultBrushFile), brushes, false, false), PresetReadCode::Ok);
    EXPECT_TRUE(brushes.HasEveryKind());
    EXPECT_TRUE(notes.Texts().empty());

    // The program starts on the shipped pencil, which answers to pressure.
    PresetLocation brushWhere{ShippedFile(kDefaultBrushFile), "", ""};
    PresetLocation nibWhere{ShippedFile(kDefaultNibFile), "", ""};
    ToolState tools;
    tools.LoadPresets(brushWhere, nibWhere);
    EXPECT_EQ(tools.Param().Name(), "鉛筆");
    EXPECT_TRUE(tools.Param().Settings().pressureSize);
    EXPECT_TRUE(tools.Param().Settings().pressureDensity);
    EXPECT_EQ(tools.ParamOf(PaintKind::WaterColor4).Settings().radius, 16.0f);
    EXPECT_EQ(brushWhere.rememberedPath, ShippedFile(kDefaultBrushFile));
}

TEST(DefaultPresets, TheMakerRewritesTheShippedBytes)
{
    TempFolder folder;
    ASSERT_EQ(WriteDefaultPresets(folder.Path()), 0);
    for (const char* name : {kDefaultNibFile, kDefaultBrushFile}) {
        const auto made = ReadBytes(folder / name);
        ASSERT_FALSE(made.empty()) << name;
        EXPECT_EQ(made, ReadBytes(ShippedFile(name))) << name << ": run tools/make_presets data/preset";
    }
}

TEST(DefaultPresets, ATruncatedCopyGivesItsCodeItsMessageAndDefaults)
{
    TempFolder folder;
    const auto bytes = ReadBytes(ShippedFile(kDefaultBrushFile));
    const std::string cut = folder / "cut.pmt";
    testing::WriteBytes(cut, testing::Bytes(bytes.begin(), bytes.begin() + ptrdiff_t(bytes.size() / 2)));

    PresetReadCode code = PresetReadCode::Ok;
    int lost = 0;
    {
        ScopedNotifier quiet;
        CPenMethodMngr whole, half;
        ReadBrushPresetFile(ShippedFile(kDefaultBrushFile), whole, false, false);
        code = ReadBrushPresetFile(cut, half, false, false);
        lost = whole.Count() - half.Count();
    }
    EXPECT_EQ(code, PresetReadCode::PastEnd);
    ASSERT_GT(lost, 0);

    ScopedNotifier notes;
    PresetLocation brushWhere{cut, "", folder.Path()};
    PresetLocation nibWhere{"", "", folder.Path()};
    ToolState tools;
    tools.LoadPresets(brushWhere, nibWhere);
    // The presets before the cut are read; those after it are counted.
    EXPECT_EQ(notes.Texts(), std::vector<std::string>{std::to_string(lost) + "個のブラシ集が読み込めませんでした！"});
    EXPECT_TRUE(brushWhere.rememberedPath.empty()) << "a path that failed is forgotten";
    // A nib file cut inside its header reads nothing: the read fails whole.
    const auto nibBytes = ReadBytes(ShippedFile(kDefaultNibFile));
    const std::string cutNibs = folder / "cut.psh";
    testing::WriteBytes(cutNibs, testing::Bytes(nibBytes.begin(), nibBytes.begin() + 20));
    notes.notifier.messages.clear();
    PresetLocation cutNibWhere{cutNibs, "", folder.Path()};
    PresetLocation noBrushes{"", "", folder.Path()};
    tools.LoadPresets(noBrushes, cutNibWhere);
    EXPECT_EQ(notes.Texts(), std::vector<std::string>{"ペン先集の読み込みに失敗しました! (err=9)"});
    EXPECT_TRUE(tools.Brushes().HasEveryKind());
    EXPECT_EQ(tools.Nibs().Count(), CPenShapeMngr::kBuiltInCount);
    // The defaults of the kinds, not the switchless default brushes.
    EXPECT_TRUE(tools.Param().Settings().pressureSize);
    EXPECT_FLOAT_EQ(tools.Param().Settings().minRadius, 0.75f);
}

} // namespace
} // namespace morvane
