#pragma once
// Shared by the document tests: a recorder that keeps every packet, a
// document of a few painted layers, and a snapshot of everything an
// operation may change, so do / undo / redo can be compared whole.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "LayerFixture.h"
#include "document/CMaskMngr.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"
#include "events/EventPacketTable.h"
#include "support/Checksum.h"

namespace morvane::testing_layers {

// Keeps every packet and counts its steps like a recorder that records.
class KeepingRecorder final : public EventRecorder {
public:
    bool IsRecording() const override { return true; }
    bool Record(const uint8_t* packet, size_t size) override
    {
        if (refuse)
            return false;
        packets.emplace_back(packet, packet + size);
        ++undoSteps;
        redoSteps = 0;
        return true;
    }
    int32_t UndoCount() const override { return undoSteps; }
    int32_t RedoCount() const override { return redoSteps; }
    bool UndoStep() override { return --undoSteps, ++redoSteps, true; }
    bool RedoStep() override { return ++undoSteps, --redoSteps, true; }
    void DiscardRedoSteps() override { redoSteps = 0; }
    // A stroke is kept as its start packet followed by one point packet
    // per call ({17,1} for each point, {18,0} for the end), one step.
    bool BeginStroke(PacketId start, uint16_t layer, uint16_t mask, float x, float y, float pressure) override
    {
        if (refuse)
            return false;
        packets.push_back({CategoryOf(start), CodeOf(start), uint8_t(layer), uint8_t(layer >> 8), uint8_t(mask),
                           uint8_t(mask >> 8)});
        return AddPoint(x, y, pressure);
    }
    bool AddPoint(float x, float y, float pressure) override
    {
        if (refuse)
            return false;
        std::vector<uint8_t> packet{17, 1};
        for (float v : {x, y, pressure}) {
            uint8_t b[4];
            std::memcpy(b, &v, 4);
            packet.insert(packet.end(), b, b + 4);
        }
        packets.push_back(std::move(packet));
        return true;
    }
    bool EndStroke() override
    {
        if (refuse)
            return false;
        packets.push_back({18, 0});
        ++undoSteps;
        redoSteps = 0;
        return true;
    }
    bool SetStepCapacity(int32_t steps) override
    {
        if (refuse)
            return false;
        capacity = steps;
        return true;
    }

    std::vector<std::vector<uint8_t>> packets;
    int32_t undoSteps = 0, redoSteps = 0, capacity = 0;
    // Set to make every packet (and every resize) fail.
    bool refuse = false;
};

// Every pixel of rect of the image, in order.
inline std::vector<uint32_t> PixelsOf(const TMTC& image, const ExtentRect& r)
{
    std::vector<uint32_t> out;
    for (int32_t y = r.top; y < r.top + r.height; ++y)
        out.insert(out.end(), image.Row(y) + r.left, image.Row(y) + r.left + r.width);
    return out;
}

inline std::vector<uint32_t> AllOf(const TPaper& paper)
{
    return PixelsOf(paper.Composite(), {0, 0, paper.Width, paper.Height});
}

// FNV-1a over every pixel of the store.
inline uint64_t StoreChecksum(const CBlockVMTC& store)
{
    return support::Checksum(store);
}

// What a document shows and holds: the composite and, per layer, its store,
// place and every attribute the layer panel shows. (The current layer is
// left out: undo and redo make the record's layer current.)
struct PaperState {
    struct Layer {
        int32_t id, storeW, storeH, originX, originY, nominalW, nominalH;
        bool visible;
        uint64_t pixels;
        std::string name;
        int32_t opacity, mode, level, density;
        bool protect, dither;
        auto Tie() const
        {
            return std::tie(id, storeW, storeH, originX, originY, nominalW, nominalH, visible, pixels, name, opacity,
                            mode, level, density, protect, dither);
        }
        bool operator==(const Layer& o) const { return Tie() == o.Tie(); }
    };
    // A mask by its place, bytes and name (identifiers differ in a replay).
    struct Mask {
        EdgeRect rect;
        uint64_t bytes;
        std::string name;
        bool operator==(const Mask&) const = default;
    };
    int32_t width = 0, height = 0;
    uint32_t paperColour = 0;
    std::vector<uint32_t> composite;
    std::vector<Layer> layers;
    std::vector<Mask> masks{};
    int32_t currentMask = 0;
    bool borderShown = false, selectionUsed = false;
    bool operator==(const PaperState& o) const
    {
        return width == o.width && height == o.height && paperColour == o.paperColour &&
               composite == o.composite && layers == o.layers && masks == o.masks &&
               currentMask == o.currentMask && borderShown == o.borderShown && selectionUsed == o.selectionUsed;
    }
};

// FNV-1a over the mask's bytes, row by row over its rectangle.
inline uint64_t MaskChecksum(const CMaskData& mask)
{
    uint64_t h = 1469598103934665603ull;
    const EdgeRect r = mask.Rect();
    std::vector<uint8_t> row(size_t(std::max(r.right - r.left, 0)));
    for (int32_t y = r.top; y < r.bottom; ++y) {
        mask.ReadRow(y, r.left, int32_t(row.size()), row.data());
        for (uint8_t b : row)
            h = (h ^ b) * 1099511628211ull;
    }
    return h;
}

inline PaperState StateOf(TPaper& paper)
{
    PaperState s{paper.Width, paper.Height, paper.PaperColour, AllOf(paper), {}};
    for (int32_t i = 0; i < paper.LayerCount(); ++i) {
        const CLayerData& l = *paper.LayerAt(i);
        s.layers.push_back({l.Id, l.Store->Width, l.Store->Height, l.OriginX, l.OriginY, l.NominalW, l.NominalH,
                            l.Visible, StoreChecksum(*l.Store), l.Name, l.Opacity, l.Mode, l.LinkLevel,
                            l.DitherDensity, l.ProtectAlpha, l.Dither});
    }
    const CMaskMngr& masks = paper.Masks();
    for (int32_t i = 0; i < masks.Count(); ++i) {
        const CMaskData& m = *masks.At(i);
        s.masks.push_back({m.Rect(), MaskChecksum(m), m.name});
    }
    s.currentMask = masks.Current();
    s.borderShown = paper.SelectionBorderShown;
    s.selectionUsed = paper.SelectionUsed;
    return s;
}

// Another document of the same content (a replay, a twin) has other Ids, and
// a transform gives the layer it replaces a new one.
inline PaperState WithoutIds(PaperState s)
{
    for (auto& l : s.layers)
        l.id = 0;
    return s;
}

inline std::vector<int32_t> IdsOf(const PaperState& s)
{
    std::vector<int32_t> ids;
    for (const auto& l : s.layers)
        ids.push_back(l.id);
    return ids;
}

// The picture as layer i holds it.
inline std::vector<uint32_t> PictureOf(TPaper& paper, int32_t i)
{
    const CLayerData& l = *paper.LayerAt(i);
    std::vector<uint32_t> out;
    for (int32_t y = 0; y < paper.Height; ++y)
        for (int32_t x = 0; x < paper.Width; ++x)
            out.push_back(l.Store->GetPixel(x + l.OriginX, y + l.OriginY));
    return out;
}

// Undo gives back `before`, redo `after` and undo `before` again; the index
// of the layer the last undo concerned comes back.
inline int32_t ExpectUndoRedoUndo(TPaper& paper, const PaperState& before, const PaperState& after)
{
    int32_t index = -1;
    ExtentRect rect{};
    EXPECT_TRUE(paper.Undo(index, rect));
    EXPECT_EQ(StateOf(paper), before) << "after undo";
    EXPECT_TRUE(paper.Redo(index, rect));
    EXPECT_EQ(StateOf(paper), after) << "after redo";
    EXPECT_TRUE(paper.Undo(index, rect));
    EXPECT_EQ(StateOf(paper), before) << "after undo again";
    return index;
}

// A recorded stream cut into its packets; empty when one cannot be measured.
inline std::vector<std::vector<uint8_t>> SplitPackets(const std::vector<uint8_t>& stream)
{
    std::vector<std::vector<uint8_t>> out;
    for (size_t at = 0; at < stream.size();) {
        const int64_t n = PayloadLength(std::span(stream).subspan(at));
        if (n < 0)
            return {};
        out.emplace_back(stream.begin() + ptrdiff_t(at), stream.begin() + ptrdiff_t(at + 2 + size_t(n)));
        at += 2 + size_t(n);
    }
    return out;
}

inline std::vector<uint8_t> Bytes(std::initializer_list<int> v) { return std::vector<uint8_t>(v.begin(), v.end()); }

// A document of w x h on white paper: an opaque first layer and two more
// painted with random translucent pixels, the top one larger than the
// picture and offset, the middle one hidden when asked.
// What the refreshes made only where a change met them must equal: every
// layer thumbnail and the picture's thumbnail as a whole shrink makes them,
// the composite as a whole render makes it.
inline void ExpectWholeRefreshes(TPaper& paper)
{
    for (int32_t i = 0; i < paper.LayerCount(); ++i) {
        CLayerData& layer = *paper.LayerAt(i);
        TMTC partial(layer.Thumbnail.Width, layer.Thumbnail.Height);
        partial.CopyAll(layer.Thumbnail);
        ASSERT_TRUE(layer.RefreshThumbnail());
        EXPECT_TRUE(SameImage(partial, layer.Thumbnail)) << "thumbnail of layer " << i;
    }
    TMTC whole(paper.Thumbnail.Width, paper.Thumbnail.Height);
    if (whole.IsValid()) {
        ASSERT_TRUE(paper.Composite().ShrinkArea(whole, {0, 0, whole.Width, whole.Height}));
        EXPECT_TRUE(SameImage(whole, paper.Thumbnail)) << "picture thumbnail";
    }
    const TTC partial(paper.Composite());
    paper.RenderAll(true);
    EXPECT_TRUE(SameImage(partial, paper.Composite())) << "composite";
}

// The picture's thumbnail sized and made whole, so later refreshes patch it.
inline void SizePictureThumbnail(TPaper& paper, int32_t w, int32_t h)
{
    ASSERT_TRUE(paper.Thumbnail.Resize(w, h));
    ASSERT_TRUE(paper.Composite().ShrinkArea(paper.Thumbnail, {0, 0, w, h}));
}

struct PaintedPaper {
    RecordingDocumentHost host;
    KeepingRecorder* recorder = nullptr;
    std::unique_ptr<TPaper> paper;

    explicit PaintedPaper(int32_t w = 48, int32_t h = 40, bool hideMiddle = true)
    {
        auto keep = std::make_unique<KeepingRecorder>();
        recorder = keep.get();
        paper = std::make_unique<TPaper>(host, SPaperSettings{}, std::move(keep));
        EXPECT_TRUE(paper->NewPicture("p", false, false, 72, w, h, w, h));
        CLayerMngr& layers = paper->Layers();
        EXPECT_EQ(layers.AddLayer(1, w, !hideMiddle, 200, kModeMultiply, h), 1);
        EXPECT_EQ(layers.AddLayer(2, w + 20, true, 180, kModeNormal, h + 12), 2);
        CLayerData& top = *layers.At(2);
        top.OriginX = 7;
        top.OriginY = 5;
        top.NominalW = w;
        top.NominalH = h;
        PaintRandom(*layers.At(0), {3, 2, w - 9, h - 5}, 11, true);
        PaintRandom(*layers.At(1), {0, 0, w / 2, h}, 12, false);
        PaintRandom(top, {2, 1, w + 10, h}, 13, false);
        paper->RenderAll(true);
        // The recording starts here: the new picture is no step to undo.
        recorder->packets.clear();
        recorder->undoSteps = 0;
    }
    TPaper& operator*() { return *paper; }
    TPaper* operator->() { return paper.get(); }
};

} // namespace morvane::testing_layers
