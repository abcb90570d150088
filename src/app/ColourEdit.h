#pragma once
// What the colour panel edits: the main or the sub colour of the tool
// state through RGB and HSV sliders, the wheel and the hex field. The HSV
// form is kept beside the bytes, so a grey keeps its hue and a slider moved
// away and back gives the very bytes it started from.
#include <cstdint>

#include "storage/HsvColour.h"

namespace morvane {

class ToolState;

enum class ColourChannel : uint8_t { Red, Green, Blue, Hue, Saturation, Value };

class ColourEdit {
public:
    enum class Cell : uint8_t { Main, Sub };

    explicit ColourEdit(ToolState& tools);

    Cell ActiveCell() const { return cell_; }
    // Choosing the sub colour with cellExchange (the "CellExchange" setting)
    // swaps the two instead and goes on with the main one.
    void ChooseCell(Cell cell, bool cellExchange);

    uint32_t Colour() const;
    const Hsv& CurrentHsv() const { return hsv_; }
    // Slider positions: red, green, blue 0-255, hue 0-359, saturation and
    // value 0-255.
    int Value(ColourChannel channel) const;
    static int Maximum(ColourChannel channel);
    void SetValue(ColourChannel channel, int value);
    // The wheel: any hue, saturation and value.
    void SetHsv(const Hsv& hsv);
    // A colour from outside the sliders (hex field, picker, swatch).
    void SetColour(uint32_t rgb);
    // The tool state's colour changed elsewhere (the picker, swap, reset).
    void Follow();

private:
    // The HSV form of rgb, with the hue and saturation it leaves open
    // taken from what the sliders show.
    Hsv HsvKeeping(uint32_t rgb) const;
    // What the sliders go back to: bytes and the HSV form they came with.
    void Anchor(uint32_t rgb, const Hsv& hsv);
    void Write(uint32_t rgb);

    ToolState& tools_;
    Cell cell_ = Cell::Main;
    Hsv hsv_;
    uint32_t anchorRgb_ = 0;
    Hsv anchorHsv_;
    // The colour the sliders show, written or followed last.
    uint32_t shown_ = 0;
};

} // namespace morvane
