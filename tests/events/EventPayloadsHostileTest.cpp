// Payloads that measure right but hold what replay must not use are refused
// on decode; the packets the document records today decode and encode to
// the same bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "document/PaperFixture.h"
#include "events/EventPayloads.h"

namespace morvane {
namespace {

std::vector<uint8_t> Ramp(size_t n)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(i * 13 + (i >> 4));
    return v;
}

std::vector<uint8_t> Tone()
{
    EmbeddedTonePayload p;
    p.id = 5, p.width = 40, p.height = 30, SetToneName(p, "tone");
    EXPECT_TRUE(PackPixels(p.pattern, Ramp(1200)));
    return p.Encode();
}

std::vector<uint8_t> Nib()
{
    EmbeddedNibPayload p;
    p.width = 9, p.height = 7;
    EXPECT_TRUE(PackPixels(p.bitmap, Ramp(63)));
    return p.Encode();
}

std::vector<uint8_t> Image()
{
    ImageBlockPayload p;
    p.SetKind(PacketId::PasteAsLayer);
    p.width = 3, p.height = 2, p.pixels = Ramp(24), p.name = "ab";
    SealImageBlock(p);
    return p.Encode();
}

std::vector<uint8_t> Coverage()
{
    PixelBlockPayload p;
    p.width = 64, p.height = 48, p.left = 40, p.top = 8, p.snapWidth = 20, p.snapHeight = 7;
    EXPECT_TRUE(PackCoverage(p, Ramp(140)));
    return p.Encode();
}

std::vector<uint8_t> Links()
{
    LinkLevelsPayload p;
    p.layer = 1, p.count = 2, p.length = 4, p.levels = Ramp(4);
    return p.Encode();
}

std::vector<uint8_t> Points()
{
    StrokePointsPayload p;
    p.SetKind(PacketId::LastPoints);
    p.code = 2, p.points = {{1, 2, 0.5f}, {3, 4, 1}};
    return p.Encode();
}

template <class P>
std::vector<uint8_t> Plain()
{
    return P().Encode();
}

std::vector<uint8_t> QuickLayer()
{
    NewLayerQuickPayload p;
    p.layer = 1, p.width = 8, p.height = 8, p.mode = 21;
    return p.Encode();
}

std::vector<uint8_t> Canvas()
{
    NewCanvasPayload p;
    p.width = 10000, p.height = 5;
    return p.Encode();
}

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

void PutF32(std::vector<uint8_t>& b, size_t at, float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    PutU32(b, at, bits);
}

struct Hostile {
    const char* what;
    std::vector<uint8_t> (*make)();
    std::function<void(std::vector<uint8_t>&)> spoil; // offsets count from the header
};

TEST(EventPayloads, HostileContentsAreRefusedOnDecode)
{
    const size_t p = 2; // payload start
    const Hostile cases[] = {
        {"tone name longer than 64", Tone, [](auto& b) { b[p + 16] = 65; }},
        {"tone width 0", Tone, [](auto& b) { PutU32(b, p + 36, 0); }},
        {"tone height negative", Tone, [](auto& b) { PutU32(b, p + 40, uint32_t(-30)); }},
        {"tone bits 1", Tone, [](auto& b) { b[p + 12] = 1; }},
        {"tone kind 2", Tone, [](auto& b) { b[p + 14] = 2; }},
        {"tone unpacks short of its size", Tone, [](auto& b) { PutU32(b, p + 148, 1201); }},
        {"tone unpacks past its size", Tone, [](auto& b) { PutU32(b, p + 148, 1199); }},
        {"tone of 4096 x 4097 pixels", Tone,
         [](auto& b) { PutU32(b, p + 36, 4096), PutU32(b, p + 40, 4097), PutU32(b, p + 148, 4096u * 4097u); }},
        {"tone compressed size past its field", Tone, [](auto& b) { PutU32(b, p + 152, 100000); }},
        {"nib width 0", Nib, [](auto& b) { PutU32(b, p + 20, 0); }},
        {"nib size not width x height", Nib, [](auto& b) { PutU32(b, p + 28, 64); }},
        {"nib compressed data spoilt", Nib, [](auto& b) { b[p + 40] ^= 0xFF; }},
        {"image bits 24", Image, [](auto& b) { b[p + 10] = 24; }},
        {"image placement byte 2", Image, [](auto& b) { b[p + 11] = 2; }},
        {"image width 0", Image, [](auto& b) { PutU32(b, p + 2, 0); }},
        {"image pixel count not w*h*4", Image, [](auto& b) { PutU32(b, p + 18, 20); }},
        {"image sides not what the length holds", Image, [](auto& b) { PutU32(b, p + 6, 1); }},
        {"coverage outside the layer", Coverage, [](auto& b) { PutU32(b, p + 26, 45); }},
        {"coverage left of the layer", Coverage, [](auto& b) { PutU32(b, p + 26, uint32_t(-1)); }},
        {"coverage size not w*h", Coverage, [](auto& b) { PutU32(b, p + 46, 141); }},
        {"coverage kind of another code", Coverage, [](auto& b) { b[p + 20] = 1; }},
        {"coverage layer of no size", Coverage, [](auto& b) { PutU32(b, p + 4, 0); }},
        {"link levels byte 6 not 1", Links, [](auto& b) { b[p + 6] = 2; }},
        {"link count not half the length", Links, [](auto& b) { b[p + 2] = 3; }},
        {"point not finite", Points, [](auto& b) { PutF32(b, p + 12, std::numeric_limits<float>::quiet_NaN()); }},
        {"point far off any canvas", Points, [](auto& b) { PutF32(b, p + 4, -3e6f); }},
        {"pressure infinite", Points, [](auto& b) { PutF32(b, p + 8, std::numeric_limits<float>::infinity()); }},
        {"extension flags of another version", [] { return Plain<AppVersionPayload>(); },
         [](auto& b) { b[p + 4] = 1; }},
        {"pen radius 0", [] { return Plain<PenRadiusPayload>(); }, [](auto& b) { PutF32(b, p, 0); }},
        {"layer blend mode 22", QuickLayer, [](auto& b) { b[p + 10] = 22; }},
        {"layer of no height", QuickLayer, [](auto& b) { PutU32(b, p + 6, 0); }},
        {"new canvas wider than a picture", Canvas, [](auto& b) { PutU32(b, p, 10001); }},
    };
    for (const Hostile& c : cases) {
        std::vector<uint8_t> bytes = c.make();
        ASSERT_TRUE(DecodePacket(bytes)) << c.what << " (control)";
        c.spoil(bytes);
        ASSERT_EQ(PayloadLength(bytes), int64_t(bytes.size() - 2)) << c.what << ": the length still holds";
        EXPECT_FALSE(DecodePacket(bytes)) << c.what;
    }
}

using testing_layers::PaintedPaper;

TEST(EventPayloads, PacketsTheDocumentRecordsDecodeToTheSameBytes)
{
    PaintedPaper paper;
    TPaper& doc = *paper;
    ASSERT_TRUE(doc.SetPaperColour(0x00336699));
    ASSERT_TRUE(doc.AddLayer(1, 30, 20, true, 128, 3));
    // Names are UTF-8 in the document; the packet carries 83 8C 83 43 83 84.
    ASSERT_TRUE(doc.AddLayerNamed(0, 48, 40, true, 200, 0, "レイヤ", 0xFF112233));
    ASSERT_TRUE(doc.DuplicateLayer(1));
    ASSERT_TRUE(doc.MoveLayer(0, 2));
    ASSERT_TRUE(doc.SetLayerOpacity(1, 77));
    ASSERT_TRUE(doc.SetLayerMode(1, 5));
    ASSERT_TRUE(doc.SetLayerVisible(1, false));
    ASSERT_TRUE(doc.ShowAllLayers(true));
    ASSERT_TRUE(doc.InvertLayerVisibility());
    ASSERT_TRUE(doc.ShowOnlyLayer(2));
    ASSERT_TRUE(doc.FlipLayerH(1));
    ASSERT_TRUE(doc.InvertAlpha(1));
    ASSERT_TRUE(doc.RotateLayer90(1, true));
    ASSERT_TRUE(doc.RotateLayerFree(1, 12.5f));
    ASSERT_TRUE(doc.ScaleLayer(1, 30, 20));
    ASSERT_TRUE(doc.ShiftLayer(1, 3, -2));
    ASSERT_TRUE(doc.LinkLayer(2, true));
    ASSERT_TRUE(doc.MergeDown(2));
    ASSERT_TRUE(doc.FlipPictureV(true));
    ASSERT_TRUE(doc.RotatePicture90(false));
    ASSERT_TRUE(doc.Crop(0, {1, 2, 30, 38}));
    ASSERT_TRUE(doc.SetCanvasSize(50, 44, true, 4));
    ASSERT_TRUE(doc.SetImageSize(25, 22, false));
    ASSERT_TRUE(doc.SetLayerAlpha(0, 255));
    ASSERT_TRUE(doc.DeleteLayer(1));
    ASSERT_TRUE(doc.ShowAllLayers(true));
    ASSERT_TRUE(doc.MergeVisibleLayers(-1, false));

    std::vector<uint8_t> stream;
    ASSERT_GE(paper.recorder->packets.size(), 20u);
    for (const auto& packet : paper.recorder->packets) {
        SCOPED_TRACE(testing::Message() << int(packet[0]) << "," << int(packet[1]));
        EXPECT_EQ(PayloadLength(packet), int64_t(packet.size() - 2));
        std::vector<uint8_t> again;
        EXPECT_TRUE(DecodePacket(packet, &again));
        EXPECT_EQ(again, packet);
        stream.insert(stream.end(), packet.begin(), packet.end());
    }
    const PacketWalk walk = WalkPackets(stream);
    EXPECT_TRUE(walk.ok);
    EXPECT_EQ(walk.packets, paper.recorder->packets.size());
    EXPECT_EQ(walk.steps, walk.packets); // every command is a step of its own
}

} // namespace
} // namespace morvane
