#pragma once
// Payloads of the StateRecords (category 0), the embedded tones and nibs,
// the filter images and the DataBlocks (category 1). Colours of three bytes
// are the low bytes of the colour value, red first.
#include "events/EventPayloads.h"

namespace morvane {

template <uint8_t Code>
constexpr bool IsState(uint8_t cat, uint8_t code)
{
    return cat == 0 && code == Code;
}

// {0,0} version of the recording program.
struct AppVersionPayload : PacketPayload<AppVersionPayload> {
    uint16_t major = 4, minor = 50, extensionFlags = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<0>(cat, code); }
    template <class Io> void Fields(Io& io) { io.U16(major), io.U16(minor), io.U16(extensionFlags), io.Zero(6); }
    // Extension flags of another version are not understood.
    bool Validate() const { return extensionFlags == 0; }
};

// {0,2} canvas colour; {0,3} pen sub colour with the display flags.
struct StateColourPayload : PacketPayload<StateColourPayload> {
    uint32_t colour = 0;
    uint8_t flags = 0; // {0,3} only
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 0 && (code == 2 || code == 3); }
    template <class Io> void Fields(Io& io) { io.U24(colour), io.U8(flags); }
    bool Validate() const { return colour <= 0xFFFFFF && (code == 3 || flags == 0); }
};

// {0,4} gradation geometry: two points.
struct GradationGeometryPayload : PacketPayload<GradationGeometryPayload> {
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<4>(cat, code); }
    template <class Io> void Fields(Io& io) { io.I32(x1), io.I32(y1), io.I32(x2), io.I32(y2); }
    bool Validate() const { return true; }
};

// {0,5} gradation settings as the gradation record packs them.
struct GradationSettingsPayload : PacketPayload<GradationSettingsPayload> {
    uint8_t first = 0, second = 0, third = 0;
    uint16_t fourth = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<5>(cat, code); }
    template <class Io> void Fields(Io& io) { io.U8(first), io.U8(second), io.U8(third), io.Zero(1), io.U16(fourth), io.Zero(6); }
    bool Validate() const { return true; }
};

// {0,8} current layer and mask (0xFFFF: keep).
struct CurrentLayerPayload : PacketPayload<CurrentLayerPayload> {
    uint16_t layer = 0, mask = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<8>(cat, code); }
    template <class Io> void Fields(Io& io) { io.U16(layer), io.U16(mask); }
    bool Validate() const { return true; }
};

// {0,12} document switches and file flags, {0,13} pen switches,
// {0,58} the pen's gradation and tone switches (two bytes after them 0).
struct StateFlagsPayload : PacketPayload<StateFlagsPayload> {
    uint16_t flags = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return cat == 0 && OneOf(code, {12, 13, 58}); }
    template <class Io> void Fields(Io& io)
    {
        io.U16(flags);
        if (code == 58)
            io.Zero(2);
    }
    bool Validate() const { return code != 13 || flags < 8; }
};

// {0,16} pen main colour, stroke method and density.
struct PenColourPayload : PacketPayload<PenColourPayload> {
    uint32_t colour = 0;
    uint8_t method = 0;
    float density = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<16>(cat, code); }
    template <class Io> void Fields(Io& io) { io.U24(colour), io.U8(method), io.F32(density); }
    bool Validate() const;
};

// {0,17} pen radius (0.1 .. 200) and minimum radius in percent.
struct PenRadiusPayload : PacketPayload<PenRadiusPayload> {
    float radius = 1, minimumPercent = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<17>(cat, code); }
    template <class Io> void Fields(Io& io) { io.F32(radius), io.F32(minimumPercent); }
    bool Validate() const;
};

// {0,18} pen effects, gamma, spacing and the compatible air map.
struct PenEffectsPayload : PacketPayload<PenEffectsPayload> {
    float effect1 = 0, effect2 = 0, effect3 = 0, gamma = 0, spacing = 0;
    uint8_t airMap = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<18>(cat, code); }
    template <class Io> void Fields(Io& io)
    {
        io.F32(effect1), io.F32(effect2), io.F32(effect3), io.F32(gamma), io.F32(spacing), io.U8(airMap), io.Zero(1);
    }
    bool Validate() const;
};

// {0,32} the text tool's 60-byte logical font and two options.
struct TextFontPayload : PacketPayload<TextFontPayload> {
    static constexpr size_t kFontSize = 60;
    std::vector<uint8_t> font = std::vector<uint8_t>(kFontSize, 0);
    int16_t option1 = 0;
    int32_t option2 = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<32>(cat, code); }
    template <class Io> void Fields(Io& io) { io.Raw(font, kFontSize), io.I16(option1), io.I32(option2), io.Zero(2); }
    bool Validate() const { return font.size() == kFontSize; }
};

// {0,33} the text of the next text packet.
struct TextPayload : PacketPayload<TextPayload> {
    std::string text; // CP932
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<33>(cat, code); }
    template <class Io> void Fields(Io& io) { LengthPrefixedText(io, text); }
    bool Validate() const { return IsStoredText(text); }
};

// Compressed 8-bit pixels of an embedded tone or nib: the sizes beside
// them decide what must come out.
struct PackedPixels {
    uint32_t unpackedSize = 0, packedSize = 0, fieldSize = 0; // fieldSize = packedSize rounded up to even
    std::vector<uint8_t> field;                              // fieldSize bytes
    template <class Io> void Fields(Io& io) { io.U32(unpackedSize), io.U32(packedSize), io.U32(fieldSize), io.Rest(field); }
    // Sizes agree with each other and with `pixels` unpacked (0: no pixels).
    bool Validate(uint64_t pixels) const;
    // Exactly unpackedSize bytes, or false.
    bool Unpack(std::vector<uint8_t>& out) const;
    // Compresses `pixels` into the field; false when compression fails.
    bool Pack(std::span<const uint8_t> pixels);
};

// Largest embedded tone pattern or nib bitmap, in pixels.
inline constexpr uint64_t kMaxEmbeddedPixels = uint64_t(16) << 20;

// {0,36} an embedded screen tone with its attribute record.
struct EmbeddedTonePayload : PacketPayload<EmbeddedTonePayload> {
    static constexpr size_t kNameField = 64;
    static constexpr size_t kUnusedAttributes = 40; // +44 .. +83 of the record
    uint32_t id = 0;
    uint8_t bits = 8;
    int16_t kind = 0; // 0 bitmap pattern, 1 generated tone
    uint16_t nameLength = 0;
    uint8_t flags = 0;
    uint32_t valueC = 0, valueA = 0, valueB = 0;
    int32_t width = 0, height = 0;
    std::vector<uint8_t> unusedAttributes = std::vector<uint8_t>(kUnusedAttributes, 0);
    std::vector<uint8_t> nameField = std::vector<uint8_t>(kNameField, 0); // CP932, not terminated
    PackedPixels pattern;
    // The name is the first nameLength bytes of its field.
    std::string Name() const;
    bool SetName(const std::string& name);
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<36>(cat, code); }
    template <class Io> void Fields(Io& io)
    {
        io.U32(id), io.Zero(8), io.U8(bits), io.Zero(1), io.I16(kind), io.U16(nameLength), io.Zero(2), io.U8(flags);
        io.Zero(3), io.U32(valueC), io.U32(valueA), io.U32(valueB), io.I32(width), io.I32(height);
        io.Raw(unusedAttributes, kUnusedAttributes), io.Raw(nameField, kNameField), pattern.Fields(io);
    }
    bool Validate() const;
};

// {0,37} reference to a tone embedded earlier.
struct ToneReferencePayload : PacketPayload<ToneReferencePayload> {
    uint32_t id = 0;
    uint8_t kind = 0, flags = 0;
    uint32_t generatorValue = 0;
    uint16_t valueC = 0;
    uint32_t valueA = 0, valueB = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<37>(cat, code); }
    template <class Io> void Fields(Io& io)
    {
        io.U32(id), io.U8(kind), io.U8(flags), io.U32(generatorValue), io.U16(valueC), io.U32(valueA), io.U32(valueB);
    }
    bool Validate() const { return kind <= 1; }
};

// {0,40} the gradation's colour slots (1 .. 16 of 24 bytes).
struct GradationColoursPayload : PacketPayload<GradationColoursPayload> {
    static constexpr size_t kSlotSize = 24;
    static constexpr size_t kMaxSlots = 16;
    uint32_t id = 0;
    uint16_t length = 0;
    std::vector<uint8_t> colourSlots;
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<40>(cat, code); }
    template <class Io> void Fields(Io& io) { io.U32(id), io.Zero(2), io.U16(length), io.Zero(4), io.Rest(colourSlots); }
    bool Validate() const;
};

// {0,44} an embedded nib bitmap.
struct EmbeddedNibPayload : PacketPayload<EmbeddedNibPayload> {
    uint32_t id = 0;
    int16_t scale = 0, value1 = 0, value2 = 0;
    int32_t width = 0, height = 0;
    PackedPixels bitmap;
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<44>(cat, code); }
    template <class Io> void Fields(Io& io)
    {
        io.U32(id), io.I16(scale), io.Zero(2), io.I16(value1), io.I16(value2), io.Zero(8), io.I32(width), io.I32(height);
        bitmap.Fields(io);
    }
    bool Validate() const;
};

// {0,45} reference to a nib embedded earlier.
struct NibReferencePayload : PacketPayload<NibReferencePayload> {
    uint32_t id = 0;
    uint16_t scale = 0;
    int32_t width = 0, height = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<45>(cat, code); }
    template <class Io> void Fields(Io& io) { io.U32(id), io.Zero(2), io.U16(scale), io.Zero(8), io.I32(width), io.I32(height); }
    bool Validate() const { return true; }
};

// {0,48} nib shape byte and two values.
struct NibShapePayload : PacketPayload<NibShapePayload> {
    uint8_t shape = 0;
    uint16_t value1 = 0, value2 = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<48>(cat, code); }
    template <class Io> void Fields(Io& io) { io.U8(shape), io.Zero(1), io.U16(value1), io.U16(value2), io.Zero(2); }
    bool Validate() const { return true; }
};

// {0,50} main and sub colour as the pen renderer holds them.
struct PenColoursPayload : PacketPayload<PenColoursPayload> {
    uint32_t main = 0, sub = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<50>(cat, code); }
    template <class Io> void Fields(Io& io) { io.U32(main), io.U32(sub); }
    bool Validate() const { return true; }
};

// {0,52} nib geometry values and the bitmap flag.
struct NibGeometryPayload : PacketPayload<NibGeometryPayload> {
    uint16_t values[4] = {};
    uint8_t usesBitmap = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<52>(cat, code); }
    template <class Io> void Fields(Io& io)
    {
        for (auto& v : values)
            io.U16(v);
        io.U8(usesBitmap), io.Zero(3);
    }
    bool Validate() const { return usesBitmap <= 1; }
};

// {0,53} the nib's air map.
struct AirMapPayload : PacketPayload<AirMapPayload> {
    uint32_t value = 0;
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<53>(cat, code); }
    template <class Io> void Fields(Io& io) { io.U32(value), io.Zero(8); }
    bool Validate() const { return true; }
};

// {0,56} brush flag and method bytes.
struct BrushMethodPayload : PacketPayload<BrushMethodPayload> {
    uint8_t brush = 0, method[3] = {};
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<56>(cat, code); }
    template <class Io> void Fields(Io& io) { io.U8(brush), io.U8(method[0]), io.U8(method[1]), io.U8(method[2]), io.Zero(4); }
    bool Validate() const { return brush <= 1; }
};

// {0,57} three brush values.
struct BrushValuesPayload : PacketPayload<BrushValuesPayload> {
    int32_t values[3] = {};
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<57>(cat, code); }
    template <class Io> void Fields(Io& io) { io.I32(values[0]), io.I32(values[1]), io.I32(values[2]), io.Zero(4); }
    bool Validate() const { return true; }
};

// {0,60} the stroke manager's switches and values.
struct StrokeSettingsPayload : PacketPayload<StrokeSettingsPayload> {
    uint16_t flags = 0;
    int16_t densityPermille = 0;
    int16_t values[4] = {};
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<60>(cat, code); }
    template <class Io> void Fields(Io& io)
    {
        io.U16(flags), io.I16(densityPermille), io.Zero(2);
        for (auto& v : values)
            io.I16(v);
        io.Zero(2);
    }
    bool Validate() const { return flags < 4; }
};

// {12,1} paste as a new layer, {12,2} paste into L, {0,128}/{0,129} the
// filter images: a 32-bit image with its pixels, uncompressed.
struct ImageBlockPayload : PacketPayload<ImageBlockPayload> {
    static constexpr size_t kPlacementSize = 72;
    int16_t layer = 0;
    int32_t width = 0, height = 0;
    uint8_t bits = 32, hasPlacement = 0;
    uint32_t length = 0; // everything after the first 22 bytes
    uint16_t nameField = 0;
    uint32_t pixelBytes = 0;
    std::vector<uint8_t> placement; // kPlacementSize bytes when hasPlacement
    std::string name;               // CP932
    std::vector<uint8_t> pixels;
    static bool Serves(uint8_t cat, uint8_t code)
    {
        return (cat == 12 && (code == 1 || code == 2)) || (cat == 0 && (code == 128 || code == 129));
    }
    template <class Io> void Fields(Io& io)
    {
        io.I16(layer), io.I32(width), io.I32(height), io.U8(bits), io.U8(hasPlacement), io.U32(length);
        io.U16(nameField), io.U32(pixelBytes);
        if (hasPlacement == 1)
            io.Raw(placement, kPlacementSize);
        io.Text(name, nameField), io.Rest(pixels);
    }
    bool Validate() const;
    // Fills the sizes and the length field from the image, name and placement.
    void Seal();
};

// {0,136} colour-range data for the next {13,32}.
struct ColourRangePayload : PacketPayload<ColourRangePayload> {
    uint32_t length = 0;
    std::vector<uint8_t> data;
    static bool Serves(uint8_t cat, uint8_t code) { return IsState<136>(cat, code); }
    template <class Io> void Fields(Io& io) { io.U32(length), io.Rest(data); }
    bool Validate() const { return data.size() == length; }
};

// {1,*}: a DataBlock of any code ({1,16} start record, {1,17} start time).
struct DataBlockPayload : PacketPayload<DataBlockPayload> {
    uint32_t length = 0;
    std::vector<uint8_t> data;
    static bool Serves(uint8_t cat, uint8_t) { return cat == 1; }
    template <class Io> void Fields(Io& io) { io.U32(length), io.Rest(data); }
    bool Validate() const { return data.size() == length; }
};

} // namespace morvane
