#pragma once
// Payloads of the strokes (16-24, 48, 49, 17, 18), area (6), selection (10)
// and pixel-block (13) commands and of the filters (32-35, 38).
#include "events/EventPayloads.h"

namespace morvane {

struct StreamPoint {
    float x = 0, y = 0;
    bool operator==(const StreamPoint&) const = default;
};

// Stroke start: the category gives the stroke kind and line mode.
struct StrokeStartPayload : PacketPayload<StrokeStartPayload> {
    uint16_t layer = 0, mask = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return code == 0 && OneOf(cat, {16, 20, 21, 22, 23, 24, 48, 49}); }
    template <class Io> void Fields(Io& io) { io.U16(layer), io.U16(mask); }
    bool Validate() const { return true; }
};

// {17,n} points within a stroke, {18,n} its last points; n = 1 .. 16.
struct StrokePointsPayload : PacketPayload<StrokePointsPayload> {
    struct Point {
        float x = 0, y = 0, pressure = 0;
        bool operator==(const Point&) const = default;
    };
    std::vector<Point> points;
    static bool Serves(uint8_t cat, uint8_t) { return cat == 17 || cat == 18; }
    template <class Io> void Fields(Io& io)
    {
        points.resize(code);
        for (Point& p : points)
            io.F32(p.x), io.F32(p.y), io.F32(p.pressure);
    }
    bool Validate() const;
};

// {6,0/1/2/3/5/6}: fills between two corners (colour or erase value for
// codes 0 and 5, whose corners are 0).
struct AreaFillPayload : PacketPayload<AreaFillPayload> {
    int16_t layer = 0;
    uint32_t value = 0;
    StreamPoint first, second;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 6 && OneOf(code, {0, 1, 2, 3, 5, 6}); }
    template <class Io> void Fields(Io& io)
    {
        io.I16(layer), io.U32(value), io.F32(first.x), io.F32(first.y), io.F32(second.x), io.F32(second.y);
    }
    bool Validate() const;
};

// {6,4} polygon or free-form fill.
struct PolygonFillPayload : PacketPayload<PolygonFillPayload> {
    int16_t layer = 0, count = 0;
    std::vector<StreamPoint> points;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 6 && code == 4; }
    template <class Io> void Fields(Io& io)
    {
        io.I16(layer), io.I16(count);
        points.resize(size_t(std::max<int16_t>(count, 0)));
        for (StreamPoint& p : points)
            io.F32(p.x), io.F32(p.y);
    }
    bool Validate() const;
};

// Selection commands of 4 bytes (L, M) and of 12 bytes (L, M and two values).
struct SelectionCommandPayload : PacketPayload<SelectionCommandPayload> {
    int16_t layer = 0, mask = 0;
    int32_t first = 0, second = 0; // 12-byte codes only
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 10 && (IsShort(code) || IsLong(code)); }
    static bool IsShort(uint8_t code) { return OneOf(code, {0, 1, 2, 3, 4, 5, 6, 11, 20, 21}); }
    static bool IsLong(uint8_t code) { return OneOf(code, {7, 8, 9, 10, 13, 14, 22}); }
    template <class Io> void Fields(Io& io)
    {
        io.I16(layer), io.I16(mask);
        if (IsLong(code))
            io.I32(first), io.I32(second);
    }
    bool Validate() const { return IsLong(code) || (first == 0 && second == 0); }
};

// {10,24} selection to a new layer with a value and an option byte;
// {10,25/26} expand or contract by n pixels (option 0).
struct SelectionAmountPayload : PacketPayload<SelectionAmountPayload> {
    int16_t layer = 0, mask = 0;
    uint16_t amount = 0, option = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 10 && code >= 24 && code <= 26; }
    template <class Io> void Fields(Io& io) { io.I16(layer), io.I16(mask), io.U16(amount), io.U16(option), io.Zero(4); }
    bool Validate() const { return code == 24 ? option <= 0xFF : option == 0; }
};

// {10,12} rename mask.
struct RenameMaskPayload : PacketPayload<RenameMaskPayload> {
    int16_t layer = 0;
    std::string name; // CP932
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 10 && code == 12; }
    template <class Io> void Fields(Io& io) { io.I16(layer), LengthPrefixedText(io, name); }
    bool Validate() const { return IsStoredText(name); }
};

// {10,16/17/19} rectangle and ellipse selections, {10,18} polygon.
struct SelectionShapePayload : PacketPayload<SelectionShapePayload> {
    int16_t layer = 0;
    uint16_t mask = 0;
    uint8_t combine = 0;
    uint16_t count = 0; // {10,18}: points
    std::vector<StreamPoint> points; // two corners, or the polygon
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 10 && code >= 16 && code <= 19; }
    template <class Io> void Fields(Io& io)
    {
        io.I16(layer), io.U16(mask), io.U8(combine), io.Zero(1);
        if (code == 18)
            io.U16(count);
        points.resize(code == 18 ? count : 2);
        for (StreamPoint& p : points)
            io.F32(p.x), io.F32(p.y);
    }
    bool Validate() const;
};

// {13,*}: an operation whose region is a compressed coverage rectangle.
// Codes 2, 3 and 5 add the enlarged layer's (or source's) size and offset.
struct PixelBlockPayload : PacketPayload<PixelBlockPayload> {
    int16_t layer = 0, mask = 0;
    int32_t width = 0, height = 0;   // the layer's (codes 2, 3, 5: the enlarged size)
    int32_t offsetX = 0, offsetY = 0; // codes 2, 3, 5 only
    int32_t clickX = 0, clickY = 0;
    uint8_t kind = 0, combine = 0, displayed = 0, antialias = 0;
    int16_t tolerance = 0;
    int32_t left = 0, top = 0, snapWidth = 0, snapHeight = 0;
    uint32_t fieldSize = 0;
    int32_t unpackedSize = 0, packedSize = 0;
    std::vector<uint8_t> field;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 13 && KindOf(code) >= 0; }
    static bool IsEnlarged(uint8_t code) { return code == 2 || code == 3 || code == 5; }
    // The kind byte each code carries (-1: no pixel block).
    static int KindOf(uint8_t code);
    template <class Io> void Fields(Io& io)
    {
        io.I16(layer), io.I16(mask), io.I32(width), io.I32(height);
        if (IsEnlarged(code))
            io.I32(offsetX), io.I32(offsetY);
        io.I32(clickX), io.I32(clickY);
        if (IsEnlarged(code))
            io.Zero(8);
        io.U8(kind), io.U8(combine), io.U8(displayed), io.U8(antialias), io.I16(tolerance);
        if (IsEnlarged(code))
            io.Zero(2);
        io.I32(left), io.I32(top), io.I32(snapWidth), io.I32(snapHeight);
        io.U32(fieldSize), io.I32(unpackedSize), io.I32(packedSize), io.Rest(field);
    }
    bool Validate() const;
    // The coverage rectangle, exactly snapWidth x snapHeight bytes.
    bool Unpack(std::vector<uint8_t>& coverage) const;
    // Compresses the coverage rectangle into the field.
    bool Pack(std::span<const uint8_t> coverage);
};

// {32..35,code}: a filter with a record of 0, 2, 4 or 6 words.
struct FilterPayload : PacketPayload<FilterPayload> {
    int16_t layer = 0, mask = 0;
    std::vector<uint32_t> words;
    static bool Serves(uint8_t cat, uint8_t code) { return cat >= 32 && cat <= 35 && FindPacketKind(cat, code); }
    template <class Io> void Fields(Io& io)
    {
        io.I16(layer), io.I16(mask);
        words.resize(size_t(category - 32) * 2);
        for (uint32_t& w : words)
            io.U32(w);
    }
    bool Validate() const { return words.size() == size_t(category - 32) * 2; }
};

// {38,code}: a filter with a 44-byte record and variable data.
struct FilterDataPayload : PacketPayload<FilterDataPayload> {
    static constexpr size_t kRecordSize = 44;
    int16_t layer = 0, mask = 0;
    uint16_t length = 0;
    std::vector<uint8_t> record = std::vector<uint8_t>(kRecordSize, 0);
    std::vector<uint8_t> data;
    static bool Serves(uint8_t cat, uint8_t) { return cat == 38; }
    template <class Io> void Fields(Io& io) { io.I16(layer), io.I16(mask), io.U16(length), io.Raw(record, kRecordSize), io.Rest(data); }
    bool Validate() const { return record.size() == kRecordSize && data.size() == length; }
};

} // namespace morvane
