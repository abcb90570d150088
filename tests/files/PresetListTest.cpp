// The brush preset list's rules and the start-up reads of both lists: the
// default file's three places, missing kinds filled in, the selection
// clamped, remembered indexes moved along, icons rescaled.
#include <gtest/gtest.h>

#include "PresetFixture.h"
#include "files/BrushPresetFile.h"
#include "files/NibPresetFile.h"
#include "files/PresetLocation.h"

using namespace morvane;
using namespace morvane::testing;

namespace {

CPenMethodMngr Presets(int count)
{
    CPenMethodMngr list;
    for (int i = 0; i < count; ++i)
        list.Add(Preset(PaintKind(int(PaintKind::Pencil4) + i % 9), "p"));
    return list;
}

} // namespace

TEST(PresetList, OnlyPencilFileGetsTheEightOtherDefaultsAndForgetsItsPath)
{
    TempFolder dir;
    CPenMethodMngr pencils;
    pencils.Add(Preset(PaintKind::Pencil4, "鉛筆"));
    pencils.Add(Preset(PaintKind::Pencil4, "鉛筆2"));
    ASSERT_EQ(WriteBrushPresetFile(dir / "mine.pmt", pencils), WriteCode::Ok);

    CPenMethodMngr list;
    PresetLocation where{dir / "mine.pmt", dir.Path(), dir.Path()};
    EXPECT_FALSE(ReadDefaultBrushPresetFile(list, where, true));
    ASSERT_EQ(list.Count(), 10);
    EXPECT_EQ(list.Item(0)->name, "鉛筆");
    EXPECT_TRUE(list.HasEveryKind());
    for (int32_t i = 2; i < 10; ++i)
        EXPECT_EQ(list.Item(i)->Kind(), PaintKind(int(PaintKind::Eraser4) + i - 2)) << i;
    EXPECT_TRUE(where.rememberedPath.empty());
    EXPECT_TRUE(list.FileName().empty());
}

TEST(PresetList, DefaultFileIsLookedForInThreePlaces)
{
    TempFolder dir;
    const CPenMethodMngr full = Presets(9);
    std::filesystem::create_directories(dir / "app/preset");
    std::filesystem::create_directories(dir / "presets");
    ASSERT_EQ(WriteBrushPresetFile(dir / "app/preset/default.pmt", full), WriteCode::Ok);

    // Nothing remembered and nothing in the presets folder: the application's.
    PresetLocation where{dir / "gone.pmt", dir / "presets", dir / "app"};
    CPenMethodMngr list;
    EXPECT_TRUE(ReadDefaultBrushPresetFile(list, where, true));
    EXPECT_EQ(where.presetsFolder, dir / "app/preset");
    EXPECT_EQ(list.FileName(), dir / "app/preset/default.pmt");

    // The presets folder before the application's, the remembered path first.
    ASSERT_EQ(WriteBrushPresetFile(dir / "presets/default.pmt", Presets(10)), WriteCode::Ok);
    ASSERT_EQ(WriteBrushPresetFile(dir / "mine.pmt", Presets(11)), WriteCode::Ok);
    PresetLocation inFolder{"", dir / "presets", dir / "app"};
    EXPECT_EQ(FindDefaultPresetFile(inFolder, kDefaultBrushFile), dir / "presets/default.pmt");
    PresetLocation remembered{dir / "mine.pmt", dir / "presets", dir / "app"};
    EXPECT_TRUE(ReadDefaultBrushPresetFile(list, remembered, true));
    EXPECT_EQ(list.Count(), 11);

    // No file anywhere: the built-in nibs, every path forgotten.
    CPenShapeMngr nibs;
    nibs.SetFileName("old.psh");
    PresetLocation none{dir / "x.psh", dir / "presets", dir / "nowhere"};
    EXPECT_FALSE(ReadDefaultNibPresetFile(nibs, none, true));
    EXPECT_EQ(nibs.Count(), CPenShapeMngr::kBuiltInCount);
    EXPECT_EQ(nibs.Selected(), 0);
    EXPECT_TRUE(none.rememberedPath.empty());
    EXPECT_TRUE(nibs.FileName().empty());
}

TEST(PresetList, FileSelectionIsClampedIntoTheList)
{
    TempFolder dir;
    ASSERT_EQ(WriteBrushPresetFile(dir / "five.pmt", Presets(5)), WriteCode::Ok);
    Bytes bytes = ReadBytes(dir / "five.pmt");
    le::Put16(bytes.data() + 14, 99);
    WriteBytes(dir / "five.pmt", bytes);
    CPenMethodMngr list;
    ASSERT_EQ(ReadBrushPresetFile(dir / "five.pmt", list, false, false), PresetReadCode::Ok);
    EXPECT_EQ(list.Selected(), 4);
}

TEST(PresetList, RememberedIndexesMoveAlongOnlyOnceSetFromAFile)
{
    CPenMethodMngr list = Presets(6);
    list.Delete(0);
    EXPECT_EQ(list.RememberedIndexes(), (CPenMethodMngr::Remembered{0, 0, 0, 0, 0}));

    list.SetRemembered({3, 4, 2, 1, 0});
    list.Delete(2);
    EXPECT_EQ(list.RememberedIndexes(), (CPenMethodMngr::Remembered{2, 3, 2, 1, 0}));
    // Only indexes above the insertion point move.
    list.Insert(1, Preset(PaintKind::Blur4, "b"));
    EXPECT_EQ(list.RememberedIndexes(), (CPenMethodMngr::Remembered{3, 4, 3, 1, 0}));
    // Deleting the last preset clamps what pointed past the end.
    list.Delete(4);
    EXPECT_EQ(list.RememberedIndexes(), (CPenMethodMngr::Remembered{3, 3, 3, 1, 0}));
    EXPECT_EQ(list.Count(), 4);
}

TEST(PresetList, SelectionAlternateAndDefaults)
{
    CPenMethodMngr list;
    int changes = 0;
    list.onChange = [&] { ++changes; };
    EXPECT_TRUE(list.AddMissingDefaults());
    EXPECT_EQ(list.Count(), 9);
    EXPECT_EQ(list.Selected(), 0);
    EXPECT_TRUE(list.HasEveryKind());
    EXPECT_GT(changes, 0);
    EXPECT_FALSE(list.AddMissingDefaults());
    EXPECT_EQ(list.Count(), 9);

    EXPECT_FALSE(list.Select(9));
    EXPECT_FALSE(list.SetAlternate(20, false));
    EXPECT_EQ(list.Alternate(), -1);
    EXPECT_TRUE(list.SetAlternate(20, true));
    EXPECT_EQ(list.Alternate(), 8);
    list.Select(8);
    list.Delete(8);
    EXPECT_EQ(list.Selected(), 7);
    EXPECT_EQ(list.Alternate(), 7);
    EXPECT_FALSE(list.HasEveryKind());
}

TEST(PresetList, IconsAreRescaledTo128AndReducedTo32)
{
    // Left half red, right half blue: the halves survive both scalings.
    TMTC picture(64, 64);
    for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 64; ++x)
            *picture.PixelPtr(x, y) = x < 32 ? 0xFFFF0000u : 0xFF0000FFu;
    CPenMethodObj preset;
    ASSERT_TRUE(preset.SetIcon(&picture));
    ASSERT_EQ(preset.Icon()->Width, 128);
    ASSERT_EQ(preset.Icon()->Height, 128);
    ASSERT_EQ(preset.SmallIcon()->Width, 32);
    EXPECT_EQ(preset.Icon()->GetPixel(63, 100), 0xFFFF0000u);
    EXPECT_EQ(preset.Icon()->GetPixel(64, 5), 0xFF0000FFu);
    EXPECT_EQ(preset.SmallIcon()->GetPixel(15, 31), 0xFFFF0000u);
    EXPECT_EQ(preset.SmallIcon()->GetPixel(16, 0), 0xFF0000FFu);

    // A 128 x 128 picture is taken as it is.
    const TMTC exact = PatternIcon(128, 3);
    ASSERT_TRUE(preset.SetIcon(&exact));
    EXPECT_TRUE(SamePixels(preset.Icon(), &exact));
    ASSERT_TRUE(preset.SetIcon(preset.Icon())); // its own icon again
    EXPECT_TRUE(SamePixels(preset.Icon(), &exact));

    EXPECT_FALSE(preset.SetIcon(nullptr));
    EXPECT_EQ(preset.Icon(), nullptr);
    EXPECT_EQ(preset.SmallIcon(), nullptr);
}

TEST(PresetList, CopiesAreDeepAndPresetsConvertToParameterSets)
{
    auto original = Preset(PaintKind::WaterColor4, "水彩", BitmapNib("紙"));
    const TMTC icon = PatternIcon(128, 5);
    original->SetIcon(&icon);
    CPenMethodObj copy;
    ASSERT_TRUE(copy.CopyFrom(*original));
    ExpectSamePreset(original.get(), &copy);
    EXPECT_NE(copy.Nib(), original->Nib());
    EXPECT_NE(copy.Id(), original->Id());

    TPaintParam param;
    ASSERT_TRUE(original->ToPaintParam(param));
    EXPECT_EQ(param.Kind(), PaintKind::WaterColor4);
    EXPECT_EQ(param.Name(), "水彩");
    EXPECT_TRUE(param.HasBitmap());
    CPenMethodObj back;
    ASSERT_TRUE(back.FromPaintParam(param));
    EXPECT_EQ(back.Block(), original->Block());
    EXPECT_EQ(back.Nib()->Scale(), original->Nib()->Scale());

    EXPECT_FALSE(back.FromPaintParam(TPaintParam(PaintKind::Pencil1)));
}
