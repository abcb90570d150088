// The colour panel's editing: sliders moved away and back give the bytes
// they started from, greys keep their hue, the picker's colour is followed,
// and swap, reset and the exchange on choosing the sub colour.
#include <gtest/gtest.h>

#include "app/ColourEdit.h"
#include "input/ToolState.h"

namespace morvane {
namespace {

TEST(ColourEdit, ASliderMovedAwayAndBackKeepsTheBytes)
{
    for (uint32_t start : {0x123456u, 0x80FF01u, 0x010203u, 0xFEFEFDu, 0x7F7F7Fu}) {
        for (ColourChannel channel : {ColourChannel::Red, ColourChannel::Green, ColourChannel::Blue,
                                      ColourChannel::Hue, ColourChannel::Saturation, ColourChannel::Value}) {
            ToolState tools;
            ColourEdit edit(tools);
            edit.SetColour(start);
            const int at = edit.Value(channel);
            const int away = at > ColourEdit::Maximum(channel) / 2 ? 3 : ColourEdit::Maximum(channel) - 3;
            edit.SetValue(channel, away);
            // A grey's hue changes nothing until it has a saturation.
            if (channel != ColourChannel::Hue || RgbToHsv(start).s > 0) {
                EXPECT_NE(tools.MainColour() & 0xFFFFFF, start) << std::hex << start << " " << int(channel);
            }
            edit.SetValue(channel, at);
            EXPECT_EQ(tools.MainColour(), 0xFF000000u | start) << std::hex << start << " " << int(channel);
        }
    }
}

TEST(ColourEdit, GreysKeepTheirHueAndOutsideChangesAreFollowed)
{
    ToolState tools;
    ColourEdit edit(tools);
    edit.SetColour(0x3060C0);
    const int hue = edit.Value(ColourChannel::Hue);
    edit.SetValue(ColourChannel::Saturation, 0);
    EXPECT_EQ(edit.Value(ColourChannel::Hue), hue) << "a grey keeps the hue the sliders had";
    edit.SetValue(ColourChannel::Saturation, 200);
    EXPECT_EQ(edit.Value(ColourChannel::Hue), hue);
    edit.SetHsv({200, 0.5, 0.5});
    EXPECT_EQ(tools.MainColour(), HsvToRgb({200, 0.5, 0.5}));

    // The picker sets the colour behind the panel's back.
    tools.SetMainColour(0xFFFF0000u);
    edit.Follow();
    EXPECT_EQ(edit.Value(ColourChannel::Red), 255);
    EXPECT_EQ(edit.Value(ColourChannel::Hue), 0);
    EXPECT_EQ(edit.Value(ColourChannel::Saturation), 255);
}

TEST(ColourEdit, SwapResetAndTheExchangeOnChoosingTheSubColour)
{
    ToolState tools;
    ColourEdit edit(tools);
    edit.SetColour(0xAA0000);
    edit.ChooseCell(ColourEdit::Cell::Sub, false);
    EXPECT_EQ(edit.Colour(), 0xFFFFFFu);
    edit.SetColour(0x00BB00);
    EXPECT_EQ(tools.SubColour(), 0xFF00BB00u);
    EXPECT_EQ(tools.MainColour(), 0xFFAA0000u);
    edit.ChooseCell(ColourEdit::Cell::Main, false);
    // With the exchange, choosing the sub colour swaps the two and keeps main.
    edit.ChooseCell(ColourEdit::Cell::Sub, true);
    EXPECT_EQ(edit.ActiveCell(), ColourEdit::Cell::Main);
    EXPECT_EQ(tools.MainColour(), 0xFF00BB00u);
    EXPECT_EQ(tools.SubColour(), 0xFFAA0000u);
    EXPECT_EQ(edit.Value(ColourChannel::Green), 0xBB);
    tools.SwapColours();
    edit.Follow();
    EXPECT_EQ(edit.Value(ColourChannel::Red), 0xAA);
    tools.ResetColours();
    edit.Follow();
    EXPECT_EQ(edit.Colour(), 0u);
    EXPECT_EQ(tools.SubColour(), 0xFFFFFFFFu);
}

} // namespace
} // namespace morvane
