#include "app/ColourEdit.h"

#include <algorithm>
#include <cmath>

#include "input/ToolState.h"

namespace morvane {

namespace {

constexpr uint32_t kRgb = 0x00FFFFFFu;

int Position(double value, double scale) { return int(std::lround(value * scale)); }

} // namespace

ColourEdit::ColourEdit(ToolState& tools) : tools_(tools)
{
    Anchor(Colour(), RgbToHsv(Colour()));
}

uint32_t ColourEdit::Colour() const
{
    return (cell_ == Cell::Main ? tools_.MainColour() : tools_.SubColour()) & kRgb;
}

void ColourEdit::ChooseCell(Cell cell, bool cellExchange)
{
    if (cell == Cell::Sub && cellExchange) {
        tools_.SwapColours();
        cell = Cell::Main;
    }
    cell_ = cell;
    shown_ = ~0u;
    Follow();
}

int ColourEdit::Maximum(ColourChannel channel)
{
    return channel == ColourChannel::Hue ? 359 : 255;
}

int ColourEdit::Value(ColourChannel channel) const
{
    const uint32_t rgb = Colour();
    switch (channel) {
    case ColourChannel::Red: return int(rgb >> 16 & 0xFF);
    case ColourChannel::Green: return int(rgb >> 8 & 0xFF);
    case ColourChannel::Blue: return int(rgb & 0xFF);
    case ColourChannel::Hue: return Position(hsv_.h, 1) % 360;
    case ColourChannel::Saturation: return Position(hsv_.s, 255);
    case ColourChannel::Value: return Position(hsv_.v, 255);
    }
    return 0;
}

void ColourEdit::SetValue(ColourChannel channel, int value)
{
    value = std::clamp(value, 0, Maximum(channel));
    uint32_t rgb = Colour();
    switch (channel) {
    case ColourChannel::Red: return SetColour((rgb & 0x00FFFFu) | uint32_t(value) << 16);
    case ColourChannel::Green: return SetColour((rgb & 0xFF00FFu) | uint32_t(value) << 8);
    case ColourChannel::Blue: return SetColour((rgb & 0xFFFF00u) | uint32_t(value));
    default: break;
    }
    // A slider back where the anchor had it takes the anchor's exact value,
    // so all three back in place give the anchor's bytes.
    const auto pick = [value](double anchor, double scale) {
        return Position(anchor, scale) == value ? anchor : value / scale;
    };
    if (channel == ColourChannel::Hue)
        hsv_.h = Position(anchorHsv_.h, 1) % 360 == value ? anchorHsv_.h : value;
    else if (channel == ColourChannel::Saturation)
        hsv_.s = pick(anchorHsv_.s, 255);
    else
        hsv_.v = pick(anchorHsv_.v, 255);
    rgb = hsv_ == anchorHsv_ ? anchorRgb_ : HsvToRgb(hsv_) & kRgb;
    Write(rgb);
}

void ColourEdit::SetHsv(const Hsv& hsv)
{
    const uint32_t rgb = HsvToRgb(hsv) & kRgb;
    Anchor(rgb, {std::fmod(std::max(hsv.h, 0.0), 360.0), std::clamp(hsv.s, 0.0, 1.0), std::clamp(hsv.v, 0.0, 1.0)});
    Write(rgb);
}

void ColourEdit::SetColour(uint32_t rgb)
{
    rgb &= kRgb;
    Anchor(rgb, HsvKeeping(rgb));
    Write(rgb);
}

void ColourEdit::Follow()
{
    // What this editor wrote itself is no news.
    const uint32_t rgb = Colour();
    if (rgb == shown_)
        return;
    Anchor(rgb, HsvKeeping(rgb));
}

Hsv ColourEdit::HsvKeeping(uint32_t rgb) const
{
    Hsv hsv = RgbToHsv(rgb);
    // A grey has no hue of its own; black no saturation either. They keep
    // what the sliders had.
    if (hsv.s == 0)
        hsv.h = hsv_.h;
    if (hsv.v == 0)
        hsv.s = hsv_.s;
    return hsv;
}

void ColourEdit::Anchor(uint32_t rgb, const Hsv& hsv)
{
    anchorRgb_ = shown_ = rgb;
    anchorHsv_ = hsv;
    hsv_ = hsv;
}

void ColourEdit::Write(uint32_t rgb)
{
    shown_ = rgb;
    if (cell_ == Cell::Main)
        tools_.SetMainColour(rgb);
    else
        tools_.SetSubColour(rgb);
}

} // namespace morvane
