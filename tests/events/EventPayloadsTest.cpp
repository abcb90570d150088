// Payload structs: every kind encodes, measures by PayloadLength, decodes
// and encodes again to the same bytes; hostile contents are refused; the
// packets the document writes today decode with them.
#include <gtest/gtest.h>

#include <functional>
#include <numeric>
#include <vector>

#include "events/EventPayloadsActions.h"
#include "events/EventPayloadsCommands.h"
#include "events/EventPayloadsState.h"

namespace morvane {
namespace {

template <class P>
std::vector<uint8_t> Make(uint8_t category, uint8_t code, std::function<void(P&)> fill = {})
{
    P p;
    p.category = category;
    p.code = code;
    if (fill)
        fill(p);
    std::vector<uint8_t> bytes = p.Encode();
    EXPECT_FALSE(bytes.empty()) << int(category) << "," << int(code);
    return bytes;
}

std::vector<uint8_t> Ramp(size_t n, uint8_t seed = 1)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 7 + (i >> 5));
    return v;
}

// Tone patterns, nib bitmaps and coverage: compressed for real.
PackedPixels Packed(size_t n)
{
    PackedPixels p;
    EXPECT_TRUE(p.Pack(Ramp(n)));
    return p;
}

std::vector<std::vector<uint8_t>> EveryKind()
{
    std::vector<std::vector<uint8_t>> out;
    auto add = [&](std::vector<uint8_t> b) { out.push_back(std::move(b)); };
    add(Make<AppVersionPayload>(0, 0));
    add(Make<StateColourPayload>(0, 2, [](auto& p) { p.colour = 0x123456; }));
    add(Make<StateColourPayload>(0, 3, [](auto& p) { p.colour = 0xABCDEF, p.flags = 3; }));
    add(Make<GradationGeometryPayload>(0, 4, [](auto& p) { p.x1 = -5, p.y1 = 7, p.x2 = 1 << 20, p.y2 = 9; }));
    add(Make<GradationSettingsPayload>(0, 5, [](auto& p) { p.first = 1, p.second = 2, p.third = 3, p.fourth = 0x4321; }));
    add(Make<CurrentLayerPayload>(0, 8, [](auto& p) { p.layer = 3, p.mask = 0xFFFF; }));
    add(Make<StateFlagsPayload>(0, 12, [](auto& p) { p.flags = 0xC00B; }));
    add(Make<StateFlagsPayload>(0, 13, [](auto& p) { p.flags = 5; }));
    add(Make<PenColourPayload>(0, 16, [](auto& p) { p.colour = 0x102030, p.method = 4, p.density = 0.75f; }));
    add(Make<PenRadiusPayload>(0, 17, [](auto& p) { p.radius = 12.5f, p.minimumPercent = 30; }));
    add(Make<PenEffectsPayload>(0, 18, [](auto& p) { p.effect1 = 1, p.gamma = 2.2f, p.spacing = 0.1f, p.airMap = 3; }));
    add(Make<TextFontPayload>(0, 32, [](auto& p) { p.font = Ramp(60), p.option1 = -2, p.option2 = 99; }));
    add(Make<TextPayload>(0, 33, [](auto& p) { p.text = "\x82\xa0\x82\xa2 text"; }));
    add(Make<EmbeddedTonePayload>(0, 36, [](auto& p) {
        p.id = 77, p.width = 40, p.height = 30, p.SetName("dots5"), p.valueA = 1, p.flags = 2;
        p.pattern = Packed(1200);
    }));
    add(Make<EmbeddedTonePayload>(0, 36, [](auto& p) { p.id = 78, p.kind = 1, p.bits = 0; }));
    add(Make<ToneReferencePayload>(0, 37, [](auto& p) { p.id = 77, p.kind = 1, p.flags = 2, p.valueC = 5, p.valueB = 9; }));
    add(Make<GradationColoursPayload>(0, 40, [](auto& p) { p.id = 3, p.length = 48, p.colourSlots = Ramp(48); }));
    add(Make<EmbeddedNibPayload>(0, 44, [](auto& p) {
        p.id = 9, p.scale = 100, p.value1 = -3, p.width = 17, p.height = 5, p.bitmap = Packed(85);
    }));
    add(Make<NibReferencePayload>(0, 45, [](auto& p) { p.id = 9, p.scale = 100, p.width = 17, p.height = 5; }));
    add(Make<NibShapePayload>(0, 48, [](auto& p) { p.shape = 2, p.value1 = 300, p.value2 = 7; }));
    add(Make<PenColoursPayload>(0, 50, [](auto& p) { p.main = 0xFF102030, p.sub = 0xFFFFFFFF; }));
    add(Make<NibGeometryPayload>(0, 52, [](auto& p) { p.values[0] = 1, p.values[3] = 4, p.usesBitmap = 1; }));
    add(Make<AirMapPayload>(0, 53, [](auto& p) { p.value = 0x11223344; }));
    add(Make<BrushMethodPayload>(0, 56, [](auto& p) { p.brush = 1, p.method[2] = 9; }));
    add(Make<BrushValuesPayload>(0, 57, [](auto& p) { p.values[1] = -100; }));
    add(Make<StateFlagsPayload>(0, 58, [](auto& p) { p.flags = 3; }));
    add(Make<StrokeSettingsPayload>(0, 60, [](auto& p) { p.flags = 3, p.densityPermille = 800, p.values[2] = -1; }));
    for (uint8_t code : {128, 129})
        add(Make<ImageBlockPayload>(0, code, [](auto& p) { p.width = 3, p.height = 2, p.pixels = Ramp(24), p.Seal(); }));
    add(Make<ColourRangePayload>(0, 136, [](auto& p) { p.length = 10, p.data = Ramp(10); }));
    add(Make<DataBlockPayload>(1, 16, [](auto& p) { p.length = 28, p.data = std::vector<uint8_t>(28, 0); }));
    add(Make<DataBlockPayload>(1, 99, [](auto& p) { p.length = 3, p.data = Ramp(3); }));

    add(Make<NewCanvasOldPayload>(2, 0, [](auto& p) { p.width = 640, p.height = 480; }));
    add(Make<CanvasColourPayload>(2, 1, [](auto& p) { p.colour = 0xFFEEDD; }));
    add(Make<CanvasSizePayload>(2, 2, [](auto& p) { p.anchor = 4, p.option = 1, p.width = 800, p.height = 600; }));
    add(Make<ResamplePayload>(2, 3, [](auto& p) { p.option = 2, p.width = 100, p.height = 50; }));
    add(Make<CropPayload>(2, 6, [](auto& p) { p.layer = 1, p.left = -3, p.top = 2, p.right = 30, p.bottom = 40; }));
    add(Make<NewCanvasPayload>(2, 8, [](auto& p) {
        p.width = 40, p.height = 30, p.layerWidth = 40, p.layerHeight = 30, p.resolution = 350;
        p.transparentCanvasInverted = 0;
    }));
    add(Make<ResamplePayload>(2, 9, [](auto& p) { p.option = 1, p.width = 10000, p.height = 1; }));
    add(Make<MergeVisiblePayload>(2, 10, [](auto& p) { p.parameter = 1, p.option = 0xFF; }));
    add(Make<LayerVisibilityPayload>(2, 24, [](auto& p) { p.layer = 2, p.show = 1; }));
    add(Make<LayerVisibilityPayload>(2, 25, [](auto& p) { p.layer = 2; }));
    add(Make<LayerVisibilityPayload>(2, 26));
    for (uint8_t code : {4, 5, 7, 16, 17, 18, 19, 32, 33, 34, 35, 254, 255})
        add(Make<DocumentActionPayload>(2, code));

    add(Make<NewLayerQuickPayload>(4, 0, [](auto& p) { p.layer = 1, p.width = 40, p.height = 30, p.mode = 21, p.opacity = 128, p.flags = 3; }));
    for (uint8_t code : {1, 2, 3, 4, 5, 8, 9, 24, 25, 32, 33, 34, 35, 36, 37})
        add(Make<LayerIndexPayload>(4, code, [](auto& p) { p.layer = 3, p.value = 2; }));
    add(Make<LayerPlacePayload>(4, 6, [](auto& p) { p.layer = 1, p.second = -4, p.first = 5; }));
    add(Make<LayerPlacePayload>(4, 7, [](auto& p) { p.layer = 1, p.anchor = 8, p.option = 1, p.second = 40, p.first = 50; }));
    add(Make<MergeDownPayload>(4, 10, [](auto& p) { p.layer = 2, p.below = 1, p.option = 3; }));
    add(Make<NewLayerPayload>(4, 11, [](auto& p) { p.layer = 1, p.width = 8, p.height = 9, p.colour = 0xFF00FF00, p.name = "\x83\x8C\x83\x43\x83\x84"; }));
    add(Make<LayerMovePayload>(4, 12, [](auto& p) { p.layer = 1, p.dx = -7, p.dy = 8; }));
    add(Make<LayerMovePayload>(4, 13, [](auto& p) { p.layer = 1, p.option = 1, p.dx = 7, p.anchor = 5; }));
    for (uint8_t code : {16, 17, 18, 20})
        add(Make<LayerLookPayload>(4, code, [](auto& p) { p.layer = 1, p.mode = 3, p.opacity = 99, p.flags = 0x13; }));
    add(Make<LayerLookPayload>(4, 21, [](auto& p) { p.layer = 1, p.mode = 3, p.ditherDensity = 4, p.ditherValue = 0xDEADBEEF; }));
    add(Make<RenameLayerPayload>(4, 19, [](auto& p) { p.layer = 0, p.name = "odd"; }));
    add(Make<RotateLayerPayload>(4, 38, [](auto& p) { p.layer = 0, p.degrees = -33.25f; }));
    add(Make<ScaleLayerPayload>(4, 39, [](auto& p) { p.layer = 0, p.second = 150, p.first = 50; }));
    for (uint8_t code : {48, 49, 50, 51})
        add(Make<SelectionTransformPayload>(4, code, [](auto& p) { p.layer = 2, p.mask = 1, p.transparentArea = 1; }));

    for (uint8_t code : {0, 1})
        add(Make<LinkLevelsPayload>(5, code, [](auto& p) { p.layer = 1, p.count = 3, p.length = 6, p.levels = Ramp(6); }));
    for (uint8_t code : {8, 11, 12, 13, 16})
        add(Make<LinkValuePayload>(5, code, [](auto& p) { p.layer = 1, p.option = 1, p.first = -2, p.second = 3; }));
    for (uint8_t code : {9, 10})
        add(Make<LinkMovePayload>(5, code, [](auto& p) { p.layer = 1, p.dx = 5, p.dy = -5, p.secondOption = -1, p.first = 2; }));

    for (uint8_t code : {0, 1, 2, 3, 5, 6})
        add(Make<AreaFillPayload>(6, code, [](auto& p) { p.layer = 1, p.value = 9, p.first = {1.5f, 2}, p.second = {-3, 4}; }));
    add(Make<PolygonFillPayload>(6, 4, [](auto& p) { p.layer = 1, p.count = 3, p.points = {{0, 0}, {5, 0}, {0, 5}}; }));
    for (uint8_t code : {0, 1, 2, 3, 4, 5, 6, 11, 20, 21, 7, 8, 9, 10, 13, 14, 22})
        add(Make<SelectionCommandPayload>(10, code, [](auto& p) {
            p.layer = 1, p.mask = 2;
            if (SelectionCommandPayload::IsLong(p.code))
                p.first = 0x10003, p.second = -1;
        }));
    add(Make<SelectionAmountPayload>(10, 24, [](auto& p) { p.layer = 1, p.amount = 300, p.option = 1; }));
    for (uint8_t code : {25, 26})
        add(Make<SelectionAmountPayload>(10, code, [](auto& p) { p.mask = 1, p.amount = 3; }));
    add(Make<RenameMaskPayload>(10, 12, [](auto& p) { p.layer = 1, p.name = "mask"; }));
    for (uint8_t code : {16, 17, 19})
        add(Make<SelectionShapePayload>(10, code, [](auto& p) { p.mask = 1, p.combine = 2, p.points = {{1, 2}, {30, 40}}; }));
    add(Make<SelectionShapePayload>(10, 18, [](auto& p) { p.count = 3, p.points = {{1, 2}, {30, 40}, {7, 7}}; }));

    add(Make<ImageBlockPayload>(12, 1, [](auto& p) { p.width = 2, p.height = 2, p.pixels = Ramp(16), p.name = "a.png", p.Seal(); }));
    add(Make<ImageBlockPayload>(12, 2, [](auto& p) {
        p.layer = 1, p.width = 1, p.height = 3, p.pixels = Ramp(12), p.hasPlacement = 1, p.placement = Ramp(72), p.Seal();
    }));
    for (uint8_t code : {0, 1, 2, 3, 4, 5, 16, 17, 32})
        add(Make<PixelBlockPayload>(13, code, [](auto& p) {
            p.width = 64, p.height = 48, p.kind = uint8_t(PixelBlockPayload::KindOf(p.code)), p.antialias = 1;
            p.left = 10, p.top = 5, p.snapWidth = 20, p.snapHeight = 7, p.tolerance = 12;
            if (PixelBlockPayload::IsEnlarged(p.code))
                p.offsetX = -3, p.offsetY = 4;
            EXPECT_TRUE(p.Pack(Ramp(140)));
        }));

    for (uint8_t category : {16, 20, 21, 22, 23, 24, 48, 49})
        add(Make<StrokeStartPayload>(category, 0, [](auto& p) { p.layer = 2, p.mask = 0xFFFF; }));
    for (uint8_t category : {17, 18})
        for (uint8_t n = 1; n <= 16; ++n)
            add(Make<StrokePointsPayload>(category, n, [](auto& p) {
                for (int i = 0; i < p.code; ++i)
                    p.points.push_back({float(i) * 1.5f, -float(i), 0.5f});
            }));
    for (const PacketKind& k : PacketKinds())
        if (k.category >= 32 && k.category <= 35)
            add(Make<FilterPayload>(k.category, k.firstCode, [](auto& p) {
                p.layer = 1, p.mask = -1, p.words.resize(size_t(p.category - 32) * 2);
                std::iota(p.words.begin(), p.words.end(), 0xFFFFFFF0u);
            }));
    for (uint8_t code : {39, 40, 51, 54, 74, 200})
        add(Make<FilterDataPayload>(38, code, [](auto& p) { p.layer = 1, p.record = Ramp(44), p.length = 5, p.data = Ramp(5); }));
    return out;
}

TEST(EventPayloads, EveryKindEncodesMeasuresDecodesAndEncodesToTheSameBytes)
{
    const auto packets = EveryKind();
    std::vector<bool> seen(256 * 256, false);
    for (const auto& bytes : packets) {
        ASSERT_GE(bytes.size(), 2u);
        SCOPED_TRACE(testing::Message() << int(bytes[0]) << "," << int(bytes[1]));
        seen[size_t(bytes[0]) * 256 + bytes[1]] = true;
        EXPECT_EQ(PayloadLength(bytes), int64_t(bytes.size() - 2));
        std::vector<uint8_t> again;
        ASSERT_TRUE(DecodePacket(bytes, &again));
        EXPECT_EQ(again, bytes);
        // One byte more or less is another packet, not this one.
        std::vector<uint8_t> longer = bytes;
        longer.push_back(0);
        EXPECT_FALSE(DecodePacket(longer));
        EXPECT_FALSE(DecodePacket(std::span(bytes).first(bytes.size() - 1)));
    }
    // Every header of the table has exactly one struct and a sample above
    // (DataBlocks and {38,*} take every code; a few stand for all).
    for (const PacketKind& k : PacketKinds())
        for (int c = k.firstCode; c <= k.lastCode; ++c) {
            EXPECT_EQ(PayloadStructsServing(k.category, uint8_t(c)), 1) << int(k.category) << "," << c;
            if (k.category != 1 && k.category != 38) {
                EXPECT_TRUE(seen[size_t(k.category) * 256 + size_t(c)]) << int(k.category) << "," << c;
            }
        }
    EXPECT_EQ(PayloadStructsServing(12, 0), 0);
    EXPECT_EQ(PayloadStructsServing(7, 0), 0);
}

TEST(EventPayloads, StringFieldsRoundUpToEvenAndUnterminatedTextEndsAtItsField)
{
    for (auto [name, field] : {std::pair<const char*, size_t>{"", 2}, {"a", 2}, {"ab", 4}, {"abc", 4}}) {
        RenameLayerPayload p;
        p.category = 4, p.code = 19, p.name = name;
        const std::vector<uint8_t> bytes = p.Encode();
        ASSERT_EQ(bytes.size(), 2 + 4 + field) << name;
        EXPECT_EQ(bytes[4] | bytes[5] << 8, int(field));
    }
    const std::vector<uint8_t> unterminated = {4, 19, 0, 0, 2, 0, 'x', 'y'};
    RenameLayerPayload p;
    ASSERT_TRUE(p.Decode(unterminated));
    EXPECT_EQ(p.name, "xy");

    // A tone's name is not terminated: its length says where it ends.
    EmbeddedTonePayload tone;
    tone.category = 0, tone.code = 36, tone.kind = 1;
    ASSERT_TRUE(tone.SetName("dots"));
    EXPECT_FALSE(tone.SetName(std::string(65, 'n')));
    std::vector<uint8_t> bytes = tone.Encode();
    bytes[2 + 84 + 4] = 'X';
    ASSERT_TRUE(tone.Decode(bytes));
    EXPECT_EQ(tone.Name(), "dots");
}

} // namespace
} // namespace morvane
