// The payload structs generated from the description: every kind has a
// sample that encodes, measures by PayloadLength, decodes and encodes again
// to the same bytes; string fields round up and end where the description
// says.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <numeric>
#include <vector>

#include "events/EventPayloads.h"

namespace morvane {
namespace {

// A packet of kind id (code: its first unless given) from the struct fill leaves.
template <class P>
std::vector<uint8_t> Make(PacketId id, std::function<void(P&)> fill = {}, int code = -1)
{
    P p;
    p.SetKind(id);
    if (code >= 0)
        p.code = uint8_t(code);
    if (fill)
        fill(p);
    std::vector<uint8_t> bytes = p.Encode();
    EXPECT_FALSE(bytes.empty()) << InfoOf(id).name << " " << (p.Failure() ? p.Failure() : "");
    return bytes;
}

std::vector<uint8_t> Ramp(size_t n, uint8_t seed = 1)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(seed + i * 7 + (i >> 5));
    return v;
}

template <size_t N>
std::array<uint8_t, N> RampArray()
{
    std::array<uint8_t, N> a;
    const std::vector<uint8_t> v = Ramp(N);
    std::copy(v.begin(), v.end(), a.begin());
    return a;
}

// Tone patterns, nib bitmaps and coverage: compressed for real.
PackedPixels Packed(size_t n)
{
    PackedPixels p;
    EXPECT_TRUE(PackPixels(p, Ramp(n)));
    return p;
}

// Kinds whose layout has no field to set: the header is the sample.
template <class P>
void AddEach(std::vector<std::vector<uint8_t>>& out, std::initializer_list<PacketId> ids,
             std::function<void(P&)> fill = {})
{
    for (PacketId id : ids)
        out.push_back(Make<P>(id, fill));
}

std::vector<std::vector<uint8_t>> EveryKind()
{
    std::vector<std::vector<uint8_t>> out;
    auto add = [&](std::vector<uint8_t> b) { out.push_back(std::move(b)); };
    using I = PacketId;
    add(Make<AppVersionPayload>(I::AppVersion, [](auto& p) { p.major = 4, p.minor = 50; }));
    add(Make<CanvasColourStatePayload>(I::CanvasColourState, [](auto& p) { p.colour = 0x123456; }));
    add(Make<SubColourStatePayload>(I::SubColourState, [](auto& p) { p.colour = 0xABCDEF, p.flags = 3; }));
    add(Make<GradationGeometryPayload>(I::GradationGeometry, [](auto& p) { p.x1 = -5, p.y1 = 7, p.x2 = 1 << 20, p.y2 = 9; }));
    add(Make<GradationSettingsPayload>(I::GradationSettings, [](auto& p) { p.first = 1, p.second = 2, p.third = 3, p.fourth = 0x4321; }));
    add(Make<CurrentLayerPayload>(I::CurrentLayer, [](auto& p) { p.layer = 3, p.mask = 0xFFFF; }));
    add(Make<DocumentFlagsPayload>(I::DocumentFlags, [](auto& p) { p.flags = 0xC00B; }));
    add(Make<PenFlagsPayload>(I::PenFlags, [](auto& p) { p.flags = 5; }));
    add(Make<PenColourPayload>(I::PenColour, [](auto& p) { p.colour = 0x102030, p.method = 4, p.density = 0.75f; }));
    add(Make<PenRadiusPayload>(I::PenRadius, [](auto& p) { p.radius = 12.5f, p.minimumPercent = 30; }));
    add(Make<PenEffectsPayload>(I::PenEffects, [](auto& p) { p.effect1 = 1, p.gamma = 2.2f, p.spacing = 0.1f, p.airMap = 3; }));
    add(Make<TextFontPayload>(I::TextFont, [](auto& p) { p.font = RampArray<60>(), p.option1 = -2, p.option2 = 99; }));
    add(Make<TextPayload>(I::Text, [](auto& p) { p.text = "\x82\xa0\x82\xa2 text"; }));
    add(Make<EmbeddedTonePayload>(I::EmbeddedTone, [](auto& p) {
        p.id = 77, p.bits = 8, p.width = 40, p.height = 30, SetToneName(p, "dots5"), p.valueA = 1, p.flags = 2;
        p.pattern = Packed(1200);
    }));
    add(Make<EmbeddedTonePayload>(I::EmbeddedTone, [](auto& p) { p.id = 78, p.kind = 1, p.bits = 0; }));
    add(Make<ToneReferencePayload>(I::ToneReference, [](auto& p) { p.id = 77, p.kind = 1, p.flags = 2, p.valueC = 5, p.valueB = 9; }));
    add(Make<GradationColoursPayload>(I::GradationColours, [](auto& p) { p.id = 3, p.length = 48, p.colourSlots = Ramp(48); }));
    add(Make<EmbeddedNibPayload>(I::EmbeddedNib, [](auto& p) {
        p.id = 9, p.scale = 100, p.value1 = -3, p.width = 17, p.height = 5, p.bitmap = Packed(85);
    }));
    add(Make<NibReferencePayload>(I::NibReference, [](auto& p) { p.id = 9, p.scale = 100, p.width = 17, p.height = 5; }));
    add(Make<NibShapePayload>(I::NibShape, [](auto& p) { p.shape = 2, p.value1 = 300, p.value2 = 7; }));
    add(Make<PenColoursPayload>(I::PenColours, [](auto& p) { p.main = 0xFF102030, p.sub = 0xFFFFFFFF; }));
    add(Make<NibGeometryPayload>(I::NibGeometry, [](auto& p) { p.values[0] = 1, p.values[3] = 4, p.usesBitmap = 1; }));
    add(Make<AirMapPayload>(I::AirMap, [](auto& p) { p.value = 0x11223344; }));
    add(Make<BrushMethodPayload>(I::BrushMethod, [](auto& p) { p.brush = 1, p.method[2] = 9; }));
    add(Make<BrushValuesPayload>(I::BrushValues, [](auto& p) { p.values[1] = -100; }));
    add(Make<PenSwitchesPayload>(I::PenSwitches, [](auto& p) { p.flags = 3; }));
    add(Make<StrokeSettingsPayload>(I::StrokeSettings, [](auto& p) { p.flags = 3, p.densityPermille = 800, p.values[2] = -1; }));
    AddEach<ImageBlockPayload>(out, {I::FilterImage1, I::FilterImage2}, [](auto& p) {
        p.width = 3, p.height = 2, p.pixels = Ramp(24), SealImageBlock(p);
    });
    add(Make<ColourRangePayload>(I::ColourRangeData, [](auto& p) { p.length = 10, p.data = Ramp(10); }));
    add(Make<DataBlockPayload>(I::StartRecord, [](auto& p) { p.length = 28, p.data = std::vector<uint8_t>(28, 0); }));
    add(Make<DataBlockPayload>(I::StartTime, [](auto& p) { p.length = 16, p.data = Ramp(16); }));
    add(Make<DataBlockPayload>(I::DataBlock, [](auto& p) { p.length = 3, p.data = Ramp(3); }, 99));

    add(Make<NewCanvasOldPayload>(I::NewCanvasOld, [](auto& p) { p.width = 640, p.height = 480; }));
    add(Make<CanvasColourPayload>(I::CanvasColour, [](auto& p) { p.colour = 0xFFEEDD; }));
    add(Make<CanvasSizePayload>(I::CanvasSize, [](auto& p) { p.anchor = 4, p.option = 1, p.width = 800, p.height = 600; }));
    add(Make<ResamplePayload>(I::ResampleOld, [](auto& p) { p.option = 2, p.width = 100, p.height = 50; }));
    add(Make<CropPayload>(I::Crop, [](auto& p) { p.layer = 1, p.left = -3, p.top = 2, p.right = 30, p.bottom = 40; }));
    add(Make<NewCanvasPayload>(I::NewCanvas, [](auto& p) {
        p.width = 40, p.height = 30, p.layerWidth = 40, p.layerHeight = 30, p.resolution = 350;
        p.transparentCanvasInverted = 0;
    }));
    add(Make<ResamplePayload>(I::Resolution, [](auto& p) { p.option = 1, p.width = 10000, p.height = 1; }));
    add(Make<MergeVisiblePayload>(I::MergeVisible, [](auto& p) { p.parameter = 1, p.option = 0xFF; }));
    add(Make<LayerVisibilityPayload>(I::ShowAllLayers, [](auto& p) { p.layer = 2, p.show = 1; }));
    add(Make<LayerVisibilityPayload>(I::ShowOnlyLayer, [](auto& p) { p.layer = 2; }));
    add(Make<LayerVisibilityPayload>(I::InvertVisibility));
    AddEach<EmptyPayload>(out, {I::RotateCanvasRight, I::RotateCanvasLeft, I::MergeVisibleOld, I::VisibleFlipH,
                                I::VisibleFlipV, I::VisibleRotate180, I::VisibleInvert, I::FlipAllH, I::FlipAllV,
                                I::RotateAll180, I::InvertAll, I::StartMarks, I::EndMark});

    add(Make<NewLayerQuickPayload>(I::NewLayerQuick, [](auto& p) { p.layer = 1, p.width = 40, p.height = 30, p.mode = 21, p.opacity = 128, p.flags = 3; }));
    AddEach<LayerIndexPayload>(out, {I::DeleteLayer, I::ClearLayer, I::DuplicateLayer, I::MoveLayer, I::MergeDownOld,
                                     I::TrimLayer, I::CutSelection, I::SetLayerAlpha, I::InvertAlpha, I::FlipLayerH,
                                     I::FlipLayerV, I::RotateLayer180, I::InvertLayer, I::RotateLayerRight,
                                     I::RotateLayerLeft},
                               [](auto& p) { p.layer = 3, p.value = 2; });
    add(Make<LayerPlacePayload>(I::LayerPosition, [](auto& p) { p.layer = 1, p.second = -4, p.first = 5; }));
    add(Make<LayerPlacePayload>(I::LayerKeptSize, [](auto& p) { p.layer = 1, p.anchor = 8, p.option = 1, p.second = 40, p.first = 50; }));
    add(Make<MergeDownPayload>(I::MergeDown, [](auto& p) { p.layer = 2, p.below = 1, p.option = 3; }));
    add(Make<NewLayerPayload>(I::NewLayer, [](auto& p) { p.layer = 1, p.width = 8, p.height = 9, p.colour = 0xFF00FF00, p.name = "\x83\x8C\x83\x43\x83\x84"; }));
    add(Make<LayerMovePayload>(I::MoveLayerBy, [](auto& p) { p.layer = 1, p.dx = -7, p.dy = 8; }));
    add(Make<LayerMovePayload>(I::MoveResizeLayer, [](auto& p) { p.layer = 1, p.option = 1, p.dx = 7, p.anchor = 5; }));
    AddEach<LayerLookPayload>(out, {I::SetLayerMode, I::SetLayerOpacity, I::SetLayerVisible, I::SetProtectAlpha},
                              [](auto& p) { p.layer = 1, p.mode = 3, p.opacity = 99, p.flags = 0x13; });
    add(Make<LayerPropertiesPayload>(I::SetLayerProperties, [](auto& p) { p.layer = 1, p.mode = 3, p.ditherDensity = 4, p.ditherValue = 0xDEADBEEF; }));
    add(Make<RenameLayerPayload>(I::RenameLayer, [](auto& p) { p.layer = 0, p.name = "odd"; }));
    add(Make<RotateLayerPayload>(I::RotateLayerFree, [](auto& p) { p.layer = 0, p.degrees = -33.25f; }));
    add(Make<ScaleLayerPayload>(I::ScaleLayer, [](auto& p) { p.layer = 0, p.second = 150, p.first = 50; }));
    AddEach<SelectionTransformPayload>(out, {I::MaskedFlipH, I::MaskedFlipV, I::MaskedRotate180, I::MaskedInvert},
                                       [](auto& p) { p.layer = 2, p.mask = 1, p.transparentArea = 1; });

    AddEach<LinkLevelsPayload>(out, {I::LinkLayer, I::UnlinkLayer}, [](auto& p) {
        p.layer = 1, p.count = 3, p.unit = 1, p.tables = 2, p.length = 6, p.levels = Ramp(6);
    });
    AddEach<LinkValuePayload>(out, {I::DeleteLinkLeader, I::MoveLinkGroup, I::LinkCommand12, I::DeleteLinkGroup,
                                    I::LinkGroupVisible},
                              [](auto& p) { p.layer = 1, p.option = 1, p.first = -2, p.second = 3; });
    AddEach<LinkMovePayload>(out, {I::MoveLinked, I::MoveLinkedByTool},
                             [](auto& p) { p.layer = 1, p.dx = 5, p.dy = -5, p.secondOption = -1, p.first = 2; });

    AddEach<AreaFillPayload>(out, {I::FillColour, I::FillRectangle, I::FillGradation, I::FillEllipseOld, I::Erase,
                                   I::FillEllipse},
                             [](auto& p) { p.layer = 1, p.value = 9, p.first = {1.5f, 2}, p.second = {-3, 4}; });
    add(Make<PolygonFillPayload>(I::FillPolygon, [](auto& p) { p.layer = 1, p.count = 3, p.points = {{0, 0}, {5, 0}, {0, 5}}; }));
    AddEach<SelectionCommandPayload>(out, {I::NewMask, I::CancelSelection, I::DeleteMask, I::InvertSelection,
                                           I::DuplicateMask, I::SelectMask, I::TrimMask, I::SelectionToLayer,
                                           I::SelectAll, I::SelectionToAlpha},
                                     [](auto& p) { p.layer = 1, p.mask = 2; });
    AddEach<SelectionValuesPayload>(out, {I::MoveMask, I::MoveSelection, I::CombineMask, I::GrowSelectionByOne,
                                          I::ShowSelectionBorder, I::UseSelection, I::MaskFromLayer},
                                    [](auto& p) { p.layer = 1, p.mask = 2, p.first = 0x10003, p.second = -1; });
    add(Make<SelectionAmountPayload>(I::SelectionToLayerWith, [](auto& p) { p.layer = 1, p.amount = 300, p.option = 1; }));
    AddEach<SelectionAmountPayload>(out, {I::ExpandSelection, I::ContractSelection}, [](auto& p) { p.mask = 1, p.amount = 3; });
    add(Make<RenameMaskPayload>(I::RenameMask, [](auto& p) { p.layer = 1, p.name = "mask"; }));
    AddEach<SelectionShapePayload>(out, {I::SelectRectangle, I::SelectEllipseOld, I::SelectEllipse},
                                   [](auto& p) { p.mask = 1, p.combine = 2, p.first = {1, 2}, p.second = {30, 40}; });
    add(Make<SelectionPolygonPayload>(I::SelectPolygon, [](auto& p) { p.count = 3, p.points = {{1, 2}, {30, 40}, {7, 7}}; }));

    add(Make<ImageBlockPayload>(I::PasteAsLayer, [](auto& p) { p.width = 2, p.height = 2, p.pixels = Ramp(16), p.name = "a.png", SealImageBlock(p); }));
    add(Make<ImageBlockPayload>(I::PasteIntoLayer, [](auto& p) {
        p.layer = 1, p.width = 1, p.height = 3, p.pixels = Ramp(12), p.hasPlacement = 1, p.placement = Ramp(72), SealImageBlock(p);
    }));
    const std::pair<PacketId, uint8_t> coverageKinds[] = {{I::FillCoverage, 0}, {I::AutoSelectOld, 1}, {I::MagicErase, 0},
                                                          {I::TextCoverage, 2}, {I::TextSelection, 3}, {I::ColourRangeSelection, 6}};
    for (auto [id, kind] : coverageKinds)
        add(Make<PixelBlockPayload>(id, [kind](auto& p) {
            p.width = 64, p.height = 48, p.kind = kind, p.antialias = 1, p.tolerance = 12;
            p.left = 10, p.top = 5, p.snapWidth = 20, p.snapHeight = 7;
            EXPECT_TRUE(PackCoverage(p, Ramp(140)));
        }));
    const std::pair<PacketId, uint8_t> enlargedKinds[] = {{I::FillCoverageEnlarged, 4}, {I::AutoSelect, 5}, {I::MagicEraseEnlarged, 4}};
    for (auto [id, kind] : enlargedKinds)
        add(Make<PixelBlockEnlargedPayload>(id, [kind](auto& p) {
            p.width = 64, p.height = 48, p.offsetX = -3, p.offsetY = 4, p.kind = kind, p.antialias = 1;
            p.left = 10, p.top = 5, p.snapWidth = 20, p.snapHeight = 7;
            EXPECT_TRUE(PackCoverage(p, Ramp(140)));
        }));

    AddEach<StrokeStartPayload>(out, {I::StrokeStartEarlier, I::LineStartEarlier, I::StrokeStartCompatible,
                                      I::LineStartCompatible, I::StrokeStart, I::LineStart, I::WetStrokeStart,
                                      I::WetLineStart},
                                [](auto& p) { p.layer = 2, p.mask = 0xFFFF; });
    for (PacketId id : {I::MorePoints, I::LastPoints})
        for (int n = 1; n <= 16; ++n)
            add(Make<StrokePointsPayload>(id, [](auto& p) {
                for (int i = 0; i < p.code; ++i)
                    p.points.push_back({float(i) * 1.5f, -float(i), 0.5f});
            }, n));
    const auto words = [](auto& p) { std::iota(p.words.begin(), p.words.end(), 0xFFFFFFF0u); };
    for (const PacketKind& k : PacketKinds())
        for (int c = k.firstCode; c <= k.lastCode; ++c) {
            if (k.id == I::Filter)
                add(Make<FilterPayload>(k.id, [](auto& p) { p.layer = 1, p.mask = -1; }, c));
            else if (k.id == I::Filter8)
                add(Make<Filter8Payload>(k.id, words, c));
            else if (k.id == I::Filter16)
                add(Make<Filter16Payload>(k.id, words, c));
            else if (k.id == I::Filter24)
                add(Make<Filter24Payload>(k.id, words, c));
        }
    for (int code : {39, 40, 51, 54, 74, 200})
        add(Make<FilterDataPayload>(I::FilterWithData, [](auto& p) {
            p.layer = 1, p.record = RampArray<44>(), p.length = 5, p.data = Ramp(5);
        }, code));
    return out;
}

TEST(EventPayloads, EveryKindEncodesMeasuresDecodesAndEncodesToTheSameBytes)
{
    const auto packets = EveryKind();
    std::vector<bool> seen(256 * 256, false), kindSeen(kPacketIdCount, false);
    for (const auto& bytes : packets) {
        ASSERT_GE(bytes.size(), 2u);
        SCOPED_TRACE(testing::Message() << int(bytes[0]) << "," << int(bytes[1]));
        seen[size_t(bytes[0]) * 256 + bytes[1]] = true;
        kindSeen[size_t(PacketIdOf(bytes[0], bytes[1]))] = true;
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
    // Every kind of the description has a sample above, and every header of
    // the table a sample (DataBlocks and {38,*} take every code; a few
    // stand for all).
    for (int id = 0; id < kPacketIdCount; ++id)
        EXPECT_TRUE(kindSeen[size_t(id)]) << kPacketIdInfo[id].name;
    for (const PacketKind& k : PacketKinds()) {
        if (k.id == PacketId::DataBlock || k.id == PacketId::FilterWithData)
            continue;
        for (int c = k.firstCode; c <= k.lastCode; ++c)
            EXPECT_TRUE(seen[size_t(k.category) * 256 + size_t(c)]) << int(k.category) << "," << c;
    }
}

TEST(EventPayloads, StringFieldsRoundUpToEvenAndUnterminatedTextEndsAtItsField)
{
    for (auto [name, field] : {std::pair<const char*, size_t>{"", 2}, {"a", 2}, {"ab", 4}, {"abc", 4}}) {
        RenameLayerPayload p;
        p.name = name;
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
    tone.kind = 1;
    ASSERT_TRUE(SetToneName(tone, "dots"));
    EXPECT_FALSE(SetToneName(tone, std::string(65, 'n')));
    std::vector<uint8_t> bytes = tone.Encode();
    bytes[2 + 84 + 4] = 'X';
    ASSERT_TRUE(tone.Decode(bytes));
    EXPECT_EQ(ToneName(tone), "dots");
}

} // namespace
} // namespace morvane
