#pragma once
// The 64 kinds of undo record. The number is what the history stores; the
// table in CUndoData.cpp gives each kind its category and flags.
#include <cstdint>

namespace morvane {

enum class UndoKind : uint8_t {
    // Category 1: a pixel copy of a rectangle of one layer.
    LayerHistory = 0,
    Fill = 1,
    ClearLayer = 2,
    Stroke = 3,
    Text = 4,
    PasteIntoLayer = 5,
    Filter = 6,
    // Category 3: self-inverse transforms that keep nothing.
    FlipH = 7,
    FlipV = 8,
    Invert = 9,
    Rotate180 = 10,
    InvertAlpha = 11,
    FlipAllH = 12,
    FlipAllV = 13,
    InvertAll = 14,
    RotateAll180 = 15,
    // Category 2: an alpha plane.
    AlphaPlane = 16,
    // Category 4: one attribute of a layer or of the document.
    CanvasColour = 17,
    Opacity = 18,
    OpacityLinked = 19,
    Dither = 20,
    Mode = 21,
    Visible = 22,
    Position = 23,
    MoveWithSelection = 24,
    Name = 25,
    ProtectAlpha = 26,
    // Category 5: layer structure and canvas geometry.
    NewLayer = 27,
    DeleteLayer = 28,
    DuplicateLayer = 29,
    ImageAsLayer = 30,
    MoveLayer = 31,
    MergeDown = 32,
    MergeVisible = 33,
    KeptSize = 34,
    MoveResizeWithSelection = 35,
    ReplaceLayer = 36,
    SelectionToLayer = 37,
    LinkGroup = 38,
    DeleteLinkedLayer = 39,
    MergeLinkGroup = 40,
    DeleteLinkGroup = 41,
    MoveLinkGroup = 42,
    MoveLinked = 43,
    MoveLinkedWithSelection = 44,
    ShowOnly = 45,
    ShowAll = 46,
    InvertVisibility = 47,
    LinkGroupVisible = 48,
    RotateCanvas90 = 49,
    CanvasSize = 50,
    ImageSize = 51,
    Crop = 52,
    // Category 6: selections.
    NewMask = 53,
    MaskFromLayer = 54,
    DeleteMask = 55,
    MaskPixels = 56,
    CurrentMask = 57,
    MoveMask = 58,
    InvertSelection = 59,
    MoveSelection = 60,
    SelectionDisplay = 61,
    CombineMasks = 62,
    MaskName = 63,
};

constexpr int kUndoKindCount = 64;

constexpr int NumberOf(UndoKind kind) { return int(kind); }

} // namespace morvane
