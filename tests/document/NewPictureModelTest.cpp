#include "document/NewPictureModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

using namespace morvane;

namespace {

int EntryNamed(const std::string& name)
{
    for (int e = 0; e < kPaperPresetEntries; ++e)
        if (name == PaperPresetEntry(e).name)
            return e;
    return -1;
}

} // namespace

TEST(NewPictureModel, A4LandscapeAndPortraitAt150)
{
    NewPictureModel m;
    ASSERT_TRUE(m.SelectEntry(EntryNamed("A4")));
    EXPECT_TRUE(m.OrientationEnabled());
    EXPECT_EQ(m.Unit(), SizeUnit::Mm);
    EXPECT_EQ(m.WidthText(), "297");
    EXPECT_EQ(m.Result(), (SNewPictureResult{1754, 1240, 150, false}));
    EXPECT_EQ(m.SizeTitle(), "画像サイズ ( 1754 × 1240 px )");
    ASSERT_TRUE(m.SetOrientation(PaperOrientation::Portrait));
    EXPECT_EQ(m.Result(), (SNewPictureResult{1240, 1754, 150, false}));
    // The orientation stays for the next paper.
    m.SelectEntry(EntryNamed("レターサイズ"));
    EXPECT_EQ(m.WidthText(), "8.5");
    EXPECT_EQ(m.HeightPixels(), 1650);
}

TEST(NewPictureModel, UnitsConvertAndRound)
{
    struct Case {
        double value;
        SizeUnit unit;
        double resolution;
        int32_t pixels;
    };
    const Case cases[] = {
        {640.4, SizeUnit::Pixel, 300, 640},
        {640.5, SizeUnit::Pixel, 300, 641},
        {8.5, SizeUnit::Inch, 150, 1275},
        {0.25, SizeUnit::Inch, 6, 2},       // 1.5 rounds up
        {2.54, SizeUnit::Cm, 100, 100},
        {1, SizeUnit::Cm, 300, 118},        // 118.11
        {210, SizeUnit::Mm, 150, 1240},     // 1240.16
        {297, SizeUnit::Mm, 150, 1754},     // 1753.94
        {148, SizeUnit::Mm, 72, 420},       // 419.53
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(ToPixels(c.value, c.unit, c.resolution), c.pixels);
        if (c.unit != SizeUnit::Pixel) {
            EXPECT_EQ(ToPixels(FromPixels(c.pixels, c.unit, c.resolution), c.unit, c.resolution), c.pixels);
        }
    }
    EXPECT_EQ(ToPixels(std::nan(""), SizeUnit::Mm, 150), 0);
    EXPECT_EQ(FormatSizeValue(1754.0, SizeUnit::Pixel), "1754");
    EXPECT_EQ(FormatSizeValue(25.4 / 3, SizeUnit::Mm), "8.46667");
}

TEST(NewPictureModel, LimitsOfSidesAndResolution)
{
    EXPECT_EQ(SideRange(SizeUnit::Inch, 100), (SValueRange{0.08, 100}));
    EXPECT_EQ(ResolutionRange(SizeUnit::Pixel, 9000, 20), (SValueRange{72, 600}));
    // 50 inches: at most 10000 / 50 = 200 dpi; 0.01 inch would need 800.
    EXPECT_EQ(ResolutionRange(SizeUnit::Inch, 50, 3), (SValueRange{72, 200}));
    EXPECT_EQ(ResolutionRange(SizeUnit::Cm, 2.54, 1), (SValueRange{72, 600}));
    EXPECT_EQ(ResolutionRange(SizeUnit::Inch, 0.01, 0.01), (SValueRange{600, 600}));
    EXPECT_EQ(ResolutionRange(SizeUnit::Inch, 1000, 1), (SValueRange{72, 72}));

    NewPictureModel m;
    m.SelectEntry(0);
    m.SetSize(3, 20000);
    EXPECT_EQ(m.Result(), (SNewPictureResult{8, 10000, 72, false}));
    m.SetUnit(SizeUnit::Inch);
    EXPECT_DOUBLE_EQ(m.Height(), 10000.0 / 72);
    EXPECT_TRUE(m.SetResolution(900)); // 10000 px over 138.9 inches allows only 72
    EXPECT_NEAR(m.Resolution(), 72, 1e-9);
    EXPECT_FALSE(m.SetResolution(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(m.SetSize(std::numeric_limits<double>::infinity(), 3));
    EXPECT_EQ(m.Result().height, 10000);
}

TEST(NewPictureModel, EditedSizesFindTheirPreset)
{
    NewPictureModel m;
    m.SelectEntry(0);
    m.SetUnit(SizeUnit::Pixel);
    struct Case {
        double w, h, resolution;
        const char* preset;
        PaperOrientation orientation;
    };
    const Case cases[] = {
        {1024, 768, 72, "XGA", PaperOrientation::Landscape},
        {768, 1024, 300, "XGA", PaperOrientation::Portrait}, // pixel presets at any resolution
        {1240, 1754, 150, "A4", PaperOrientation::Portrait},
        {1754, 1241, 150, "カスタム", PaperOrientation::Portrait},
        {1650, 1275, 150, "レターサイズ", PaperOrientation::Landscape},
        {640, 480, 72, "VGA", PaperOrientation::Landscape}, // never the user presets
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.preset);
        m.SetResolution(c.resolution);
        m.SetSize(c.w, c.h);
        EXPECT_EQ(m.SelectedEntry(), EntryNamed(c.preset));
        EXPECT_EQ(m.Orientation(), c.orientation);
        EXPECT_EQ(m.WidthPixels(), int32_t(c.w)); // the values stay as entered
    }
}

TEST(NewPictureModel, ListLinesAndSeparators)
{
    EXPECT_EQ(PresetListLines(), 50);
    int separators = 0;
    for (int line = 0; line < PresetListLines(); ++line) {
        const int e = PresetEntryOfLine(line);
        if (e < 0)
            ++separators;
        else
            EXPECT_EQ(PresetLineOfEntry(e), line);
    }
    EXPECT_EQ(separators, 10);
    // Group ends: 0 | 1-5 | 6-11 | A | B | B JIS | F | M | P | 30-32 | 33-39.
    for (int e : {0, 5, 11, 14, 17, 20, 23, 26, 29, 32})
        EXPECT_EQ(PresetEntryOfLine(PresetLineOfEntry(e) + 1), -1) << e;
    EXPECT_EQ(PresetEntryOfLine(-1), -1);
    EXPECT_EQ(PresetEntryOfLine(50), -1);
    EXPECT_EQ(PresetLineOfEntry(40), -1);

    NewPictureModel m;
    const int sep = PresetLineOfEntry(11) + 1;
    EXPECT_EQ(m.SelectLine(sep, +1), sep + 1);
    EXPECT_EQ(m.SelectedEntry(), 12);
    EXPECT_EQ(m.SelectLine(sep, -1), sep - 1);
    EXPECT_EQ(m.SelectedEntry(), 11);
    EXPECT_EQ(m.SelectLine(99, +1), 49);
}

TEST(NewPictureModel, UserPresetsTakeEditsBack)
{
    std::array<SUserPaperPreset, kUserPaperPresets> stored{};
    stored[1] = {SizeUnit::Cm, 200, 10.0f, 5.0f, true};
    NewPictureModel m(stored);
    EXPECT_EQ(m.SelectedEntry(), 1);
    EXPECT_FALSE(m.OrientationEnabled());
    EXPECT_FALSE(m.SetOrientation(PaperOrientation::Portrait));
    EXPECT_EQ(m.Result(), (SNewPictureResult{640, 480, 72, false}));

    m.SelectEntry(2);
    EXPECT_EQ(m.Result(), (SNewPictureResult{787, 394, 200, true}));
    m.SetSize(13.0, 6.5);
    m.SetTransparent(false);
    EXPECT_EQ(m.SelectedEntry(), 2); // stays on the user preset
    EXPECT_EQ(m.UserPreset(2), (SUserPaperPreset{SizeUnit::Cm, 200, 13.0f, 6.5f, false}));
    // 1024 cm is beyond 10000 px at 200 dpi: the side is held to the limit.
    m.SetSize(1024, 6.5);
    EXPECT_FLOAT_EQ(m.UserPreset(2).width, 127.0f);

    m.SelectEntry(0);
    m.SetTransparent(true);
    EXPECT_EQ(m.UserPreset(1), SUserPaperPreset{});
}

TEST(SUserPaperPreset, RoundTripsAndSanitisesHostileRecords)
{
    const SUserPaperPreset p{SizeUnit::Mm, 300, 210.5f, 99.25f, true};
    uint8_t bytes[SUserPaperPreset::kBytes];
    p.Encode(bytes);
    EXPECT_EQ(bytes[0], 3);
    EXPECT_EQ(bytes[4] | bytes[5] << 8, 300);
    EXPECT_EQ(bytes[16], 1);
    EXPECT_EQ(SUserPaperPreset::Decode(bytes), p);

    const uint8_t hostile[SUserPaperPreset::kBytes] = {
        0x4D, 0, 0, 0,          // unit 77
        0xFB, 0xFF, 0xFF, 0xFF, // resolution -5
        0x00, 0x00, 0xC0, 0x7F, // NaN
        0xCA, 0xF2, 0x49, 0x71, // 1e30
        0xFF, 0xFF, 0xFF, 0xFF,
    };
    SUserPaperPreset h = SUserPaperPreset::Decode(hostile);
    h.Sanitize();
    EXPECT_EQ(h, (SUserPaperPreset{SizeUnit::Pixel, 72, 640.0f, 10000.0f, true}));

    SUserPaperPreset tiny{SizeUnit::Mm, 100000, -4.0f, std::numeric_limits<float>::infinity(), false};
    tiny.Sanitize();
    EXPECT_EQ(tiny.resolution, 600);
    EXPECT_EQ(ToPixels(tiny.width, SizeUnit::Mm, 600), 8);
    EXPECT_EQ(ToPixels(tiny.height, SizeUnit::Mm, 600), 480);

    std::array<SUserPaperPreset, kUserPaperPresets> stored{};
    stored[0] = SUserPaperPreset::Decode(hostile); // the model sanitises what it is given
    NewPictureModel m(stored);
    EXPECT_EQ(m.Result(), (SNewPictureResult{640, 10000, 72, true}));
}
