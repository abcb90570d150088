#pragma once
// Payloads of the document (2), layer (4) and link (5) commands. L is the
// layer index the command works on.
#include "events/EventPayloads.h"

namespace morvane {

// {2,0} new canvas, earlier form.
struct NewCanvasOldPayload : PacketPayload<NewCanvasOldPayload> {
    int32_t width = 0, height = 0, layerWidth = 0, layerHeight = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 2 && code == 0; }
    template <class Io> void Fields(Io& io) { io.I32(width), io.I32(height), io.I32(layerWidth), io.I32(layerHeight); }
    bool Validate() const;
};

// {2,8} new canvas. The two flags are stored inverted: 0 = set, 0xFF = clear.
struct NewCanvasPayload : PacketPayload<NewCanvasPayload> {
    int32_t width = 0, height = 0, layerWidth = 0, layerHeight = 0, resolution = 0;
    uint8_t transparentCanvasInverted = 0xFF, transparentLayerInverted = 0xFF;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 2 && code == 8; }
    template <class Io> void Fields(Io& io)
    {
        io.I32(width), io.I32(height), io.I32(layerWidth), io.I32(layerHeight), io.I32(resolution);
        io.U8(transparentCanvasInverted), io.U8(transparentLayerInverted), io.Zero(6);
    }
    bool Validate() const;
};

// {2,1} canvas colour.
struct CanvasColourPayload : PacketPayload<CanvasColourPayload> {
    uint32_t colour = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 2 && code == 1; }
    template <class Io> void Fields(Io& io) { io.U32(colour); }
    bool Validate() const { return true; }
};

// {2,2} canvas size with anchor.
struct CanvasSizePayload : PacketPayload<CanvasSizePayload> {
    uint8_t anchor = 0, option = 0;
    int32_t width = 0, height = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 2 && code == 2; }
    template <class Io> void Fields(Io& io) { io.U8(anchor), io.U8(option), io.I32(width), io.I32(height); }
    bool Validate() const;
};

// {2,3} image resample (earlier form), {2,9} resolution with resampling.
struct ResamplePayload : PacketPayload<ResamplePayload> {
    int16_t option = 0;
    int32_t width = 0, height = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 2 && (code == 3 || code == 9); }
    template <class Io> void Fields(Io& io) { io.I16(option), io.I32(width), io.I32(height); }
    bool Validate() const;
};

// {2,6} crop to the rectangle (right and bottom exclusive).
struct CropPayload : PacketPayload<CropPayload> {
    int16_t layer = 0;
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 2 && code == 6; }
    template <class Io> void Fields(Io& io) { io.I16(layer), io.I32(left), io.I32(top), io.I32(right), io.I32(bottom); }
    bool Validate() const;
};

// {2,10} merge visible layers and background.
struct MergeVisiblePayload : PacketPayload<MergeVisiblePayload> {
    uint8_t parameter = 0, option = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 2 && code == 10; }
    template <class Io> void Fields(Io& io) { io.U8(parameter), io.U8(option), io.Zero(10); }
    bool Validate() const { return true; }
};

// {2,24} show or hide all, {2,25} show only L, {2,26} invert visibility.
struct LayerVisibilityPayload : PacketPayload<LayerVisibilityPayload> {
    int16_t layer = 0, show = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 2 && code >= 24 && code <= 26; }
    template <class Io> void Fields(Io& io) { io.I16(layer), io.I16(show); }
    bool Validate() const { return layer >= 0 && (show == 0 || (code == 24 && show == 1)); }
};

// The document commands without a payload: rotations, flips, invert,
// earlier merge, start and end of recording.
struct DocumentActionPayload : PacketPayload<DocumentActionPayload> {
    static bool Serves(uint8_t cat, uint8_t code)
    {
        return cat == 2 && (OneOf(code, {4, 5, 7, 254, 255}) || (code >= 16 && code <= 19) || (code >= 32 && code <= 35));
    }
    template <class Io> void Fields(Io&) {}
    bool Validate() const { return true; }
};

// {4,0} new layer of a given blend mode.
struct NewLayerQuickPayload : PacketPayload<NewLayerQuickPayload> {
    int16_t layer = 0;
    int32_t width = 0, height = 0;
    uint8_t mode = 0, opacity = 0;
    uint16_t flags = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 4 && code == 0; }
    template <class Io> void Fields(Io& io)
    {
        io.I16(layer), io.I32(width), io.I32(height), io.U8(mode), io.U8(opacity), io.U16(flags);
    }
    bool Validate() const;
};

// {4,11} new layer with name and initial colour.
struct NewLayerPayload : PacketPayload<NewLayerPayload> {
    int16_t layer = 0;
    int32_t width = 0, height = 0;
    uint8_t mode = 0, opacity = 0;
    uint16_t flags = 0;
    uint32_t colour = 0;
    std::string name; // CP932
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 4 && code == 11; }
    template <class Io> void Fields(Io& io)
    {
        io.I16(layer), io.I32(width), io.I32(height), io.Zero(8), io.U8(mode), io.U8(opacity), io.U16(flags);
        io.U32(colour), io.Zero(14), LengthPrefixedText(io, name);
    }
    bool Validate() const;
};

// L and one i16: delete, clear, duplicate, move, earlier merge down, trim,
// cut, alpha fill, invert alpha, whole-layer transforms and rotations.
struct LayerIndexPayload : PacketPayload<LayerIndexPayload> {
    int16_t layer = 0, value = 0;
    static bool Serves(uint8_t cat, uint8_t code)
    {
        return cat == 4 && (OneOf(code, {1, 2, 3, 4, 5, 8, 9, 24, 25}) || (code >= 32 && code <= 37));
    }
    template <class Io> void Fields(Io& io) { io.I16(layer), io.I16(value); }
    bool Validate() const { return layer >= 0; }
};

// {4,6} layer position, {4,7} kept size: L, two option bytes, then the
// second value before the first.
struct LayerPlacePayload : PacketPayload<LayerPlacePayload> {
    int16_t layer = 0;
    uint8_t anchor = 0, option = 0; // {4,7} only; 0 for {4,6}
    int32_t second = 0, first = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 4 && (code == 6 || code == 7); }
    template <class Io> void Fields(Io& io) { io.I16(layer), io.U8(anchor), io.U8(option), io.I32(second), io.I32(first); }
    bool Validate() const { return layer >= 0 && (code == 7 || (anchor == 0 && option == 0)); }
};

// {4,10} merge with the layer below.
struct MergeDownPayload : PacketPayload<MergeDownPayload> {
    int16_t layer = 0, below = 0;
    int32_t option = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 4 && code == 10; }
    template <class Io> void Fields(Io& io) { io.I16(layer), io.I16(below), io.I32(option), io.Zero(4); }
    bool Validate() const { return layer >= 0 && below >= 0; }
};

// {4,12} move layer by an offset, {4,13} move and resize.
struct LayerMovePayload : PacketPayload<LayerMovePayload> {
    int16_t layer = 0, option = 0;
    int32_t dx = 0, dy = 0;
    uint16_t anchor = 0; // {4,13} only
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 4 && (code == 12 || code == 13); }
    template <class Io> void Fields(Io& io)
    {
        io.I16(layer), io.I16(option), io.I32(dx), io.I32(dy), io.U16(anchor), io.Zero(6);
    }
    bool Validate() const { return layer >= 0 && (code == 13 || anchor == 0); }
};

// {4,16/17/18/20} blend mode, opacity, visibility, protect alpha; {4,21}
// adds the dither settings.
struct LayerLookPayload : PacketPayload<LayerLookPayload> {
    int16_t layer = 0;
    uint8_t mode = 0, opacity = 0;
    uint16_t flags = 0;
    uint8_t ditherDensity = 0; // {4,21} only
    uint32_t ditherValue = 0;  // {4,21} only
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 4 && OneOf(code, {16, 17, 18, 20, 21}); }
    template <class Io> void Fields(Io& io)
    {
        io.I16(layer), io.U8(mode), io.U8(opacity), io.U16(flags);
        if (code == 21)
            io.U8(ditherDensity), io.Zero(1), io.U32(ditherValue), io.Zero(6);
    }
    bool Validate() const;
};

// {4,19} rename layer.
struct RenameLayerPayload : PacketPayload<RenameLayerPayload> {
    int16_t layer = 0;
    std::string name; // CP932
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 4 && code == 19; }
    template <class Io> void Fields(Io& io) { io.I16(layer), LengthPrefixedText(io, name); }
    bool Validate() const { return layer >= 0 && IsStoredText(name); }
};

// {4,38} rotate by an angle in degrees.
struct RotateLayerPayload : PacketPayload<RotateLayerPayload> {
    int16_t layer = 0;
    float degrees = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 4 && code == 38; }
    template <class Io> void Fields(Io& io) { io.I16(layer), io.Zero(2), io.F32(degrees), io.Zero(4); }
    bool Validate() const;
};

// {4,39} scale: the second value is stored first.
struct ScaleLayerPayload : PacketPayload<ScaleLayerPayload> {
    int16_t layer = 0;
    int32_t second = 0, first = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 4 && code == 39; }
    template <class Io> void Fields(Io& io) { io.I16(layer), io.Zero(2), io.I32(second), io.I32(first); }
    bool Validate() const { return layer >= 0; }
};

// {4,48..51} transforms inside the selection of mask M.
struct SelectionTransformPayload : PacketPayload<SelectionTransformPayload> {
    int16_t layer = 0, mask = 0;
    uint8_t transparentArea = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 4 && code >= 48 && code <= 51; }
    template <class Io> void Fields(Io& io) { io.I16(layer), io.I16(mask), io.U8(transparentArea), io.Zero(7); }
    bool Validate() const { return layer >= 0; }
};

// {5,0} link, {5,1} unlink: two tables of c levels each.
struct LinkLevelsPayload : PacketPayload<LinkLevelsPayload> {
    int16_t layer = 0, count = 0;
    uint8_t unit = 1, tables = 2;
    int32_t length = 0; // 2 * count
    std::vector<uint8_t> levels; // first table, then second
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 5 && code <= 1; }
    template <class Io> void Fields(Io& io)
    {
        io.I16(layer), io.I16(count), io.Zero(2), io.U8(unit), io.U8(tables), io.Zero(4), io.I32(length);
        io.Zero(8), io.Rest(levels);
    }
    bool Validate() const;
};

// {5,8/11/12/13/16}: L, an option and two values.
struct LinkValuePayload : PacketPayload<LinkValuePayload> {
    int16_t layer = 0, option = 0;
    int32_t first = 0, second = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 5 && OneOf(code, {8, 11, 12, 13, 16}); }
    template <class Io> void Fields(Io& io) { io.I16(layer), io.I16(option), io.I32(first), io.I32(second); }
    bool Validate() const { return layer >= 0; }
};

// {5,9/10}: moves of linked layers.
struct LinkMovePayload : PacketPayload<LinkMovePayload> {
    int16_t layer = 0, option = 0;
    int32_t dx = 0, dy = 0, secondOption = 0, first = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 5 && (code == 9 || code == 10); }
    template <class Io> void Fields(Io& io)
    {
        io.I16(layer), io.I16(option), io.I32(dx), io.I32(dy), io.I32(secondOption), io.I32(first);
    }
    bool Validate() const { return layer >= 0; }
};

} // namespace morvane
