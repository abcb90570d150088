#include "document/PaperSnapshot.h"

#include <algorithm>
#include <new>

#include "codecs/CodePage.h"
#include "document/CMaskMngr.h"
#include "document/ImageOperations.h"
#include "document/PictureOperations.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "files/DocumentFile.h"
#include "platform/MemoryBudget.h"
#include "platform/UserNotifier.h"
#include "storage/CBlockVMTC.h"
#include "storage/SizeLimits.h"

namespace morvane {

void ApplyLayerAttributes(const SClipLayerAttr& attr, const std::string& name, CLayerData& layer, int32_t pictureW,
                        int32_t pictureH)
{
    layer.SetMode(std::min<int>(attr.mode, SClipLayerAttr::kModes - 1));
    layer.Name = name;
    layer.Visible = attr.flags & SClipLayerAttr::kVisible;
    layer.ProtectAlpha = attr.flags & SClipLayerAttr::kProtectAlpha;
    layer.Opacity = attr.opacity;
    if (layer.Store)
        layer.Store->DefaultUniform = attr.defaultPixel;
    layer.OriginX = std::clamp<int32_t>(attr.originX, -int32_t(kMaxStoreSide), int32_t(kMaxStoreSide));
    layer.OriginY = std::clamp<int32_t>(attr.originY, -int32_t(kMaxStoreSide), int32_t(kMaxStoreSide));
    const bool nominal = IsStoreSizeAllowed(attr.nominalWidth, attr.nominalHeight);
    layer.NominalW = nominal ? attr.nominalWidth : pictureW;
    layer.NominalH = nominal ? attr.nominalHeight : pictureH;
    if (attr.flags & SClipLayerAttr::kDitherValid) {
        layer.Dither = attr.flags & SClipLayerAttr::kDither;
        layer.DitherDensity = attr.ditherDensity;
        layer.DitherSeed.Value = attr.ditherValue;
    }
    layer.LinkLevel = std::min<int32_t>(attr.linkLevel, CLayerData::kMaxLinkLevel);
}

void ClampLinkLevels(CLayerMngr& layers)
{
    int32_t below = -1;
    for (int32_t i = 0; i < layers.Count(); ++i) {
        CLayerData& layer = *layers.At(i);
        layer.LinkLevel = std::clamp(layer.LinkLevel, 0, std::min(below + 1, CLayerData::kMaxLinkLevel));
        below = layer.LinkLevel;
    }
}

namespace {

// A layer's image packet. The pixels are held twice on the way (rows and
// packet): a layer of the largest store must not take them past the budget.
bool RecordImage(TPaper& paper, const CLayerData& layer, bool asNewLayer, int32_t index)
{
    const CBlockVMTC& store = *layer.Store;
    const uint64_t bytes = uint64_t(store.Width) * uint64_t(store.Height) * 4 * 2;
    if (!MemoryBudget::Take(bytes))
        return false;
    bool kept = false;
    try {
        kept = paper.RecordPacket(ImageBlockOfLayer(layer, asNewLayer, index).Encode());
    } catch (const std::bad_alloc&) {
    }
    MemoryBudget::Give(bytes);
    return kept;
}

std::vector<uint8_t> SelectionPacket(PacketId id, int32_t layer, int32_t mask)
{
    SelectionCommandPayload p;
    p.SetKind(id);
    p.layer = int16_t(layer), p.mask = int16_t(mask);
    return p.Encode();
}

// A layer whose alpha holds the mask's bytes at the mask's place: the
// stream has no packet that carries a mask's coverage, but a mask made from
// a layer's transparency takes exactly these bytes, rectangle and blocks.
std::unique_ptr<CLayerData> CarrierOf(const CMaskData& mask)
{
    const CBlockVCH& bytes = *mask.pixels;
    auto layer = std::make_unique<CLayerData>();
    if (!layer->Setup(bytes.Width, bytes.Height, kModeNormal))
        return nullptr;
    for (int32_t y = 0; y < bytes.Height; ++y)
        for (int32_t x = 0; x < bytes.Width; ++x)
            if (const uint8_t v = bytes.GetValue(x, y);
                v != 0 && !layer->Store->SetPixel(x, y, uint32_t(v) << 24))
                return nullptr;
    layer->OriginX = mask.offsetX;
    layer->OriginY = mask.offsetY;
    return layer;
}

// One loaded mask after the replay's current one: a mask with pixels made
// from a carrier layer put on top and deleted again, an empty one as a new
// mask; then its name.
bool RecordMask(TPaper& paper, const CMaskData& mask, int32_t top, int32_t current)
{
    if (!mask.IsValid()) {
        if (!paper.RecordPacket(SelectionPacket(PacketId::NewMask, top, current)))
            return false;
    } else {
        const std::unique_ptr<CLayerData> carrier = CarrierOf(mask);
        if (!carrier || !RecordImage(paper, *carrier, true, top + 1))
            return false;
        SelectionValuesPayload fromLayer;
        fromLayer.SetKind(PacketId::MaskFromLayer);
        fromLayer.layer = int16_t(top + 1), fromLayer.mask = int16_t(current), fromLayer.first = 1;
        LayerIndexPayload drop;
        drop.SetKind(PacketId::DeleteLayer);
        drop.layer = drop.value = int16_t(top + 1);
        if (!paper.RecordPacket(fromLayer.Encode()) || !paper.RecordPacket(drop.Encode()))
            return false;
    }
    RenameMaskPayload name;
    name.layer = int16_t(top), name.name = Utf8ToCp932(mask.name);
    return paper.RecordPacket(name.Encode());
}

// The masks in list order after the replay's first empty mask, which then
// goes; then the current mask and the selection flags.
bool RecordMasks(TPaper& paper)
{
    const CMaskMngr& masks = paper.Masks();
    // A new document's own mask list needs nothing.
    const CMaskMngr fresh;
    if (masks.Count() == 1 && !masks.At(0)->IsValid() && masks.At(0)->name == fresh.At(0)->name &&
        paper.SelectionUsed && paper.SelectionBorderShown)
        return true;
    // A carrier needs room for one more layer, or the replay would differ.
    if (masks.AnyValid() && !paper.Layers().CanAdd())
        return false;
    // Carriers go above the top layer, which the recorder's state sync
    // makes current again before each.
    const int32_t top = paper.LayerCount() - 1;
    paper.SelectLayer(top);
    for (int32_t i = 0; i < masks.Count(); ++i) {
        // Each goes in after the one before; the replay's own first mask
        // goes as soon as the first loaded one stands, so that a full list
        // never needs one more.
        if (!RecordMask(paper, *masks.At(i), top, std::max(i - 1, 0)))
            return false;
        if (i == 0 && !paper.RecordPacket(SelectionPacket(PacketId::DeleteMask, top, 0)))
            return false;
    }
    if (!paper.RecordPacket(SelectionPacket(PacketId::SelectMask, top, masks.Current())))
        return false;
    const auto flags = [](bool border, bool used) {
        return int32_t((border ? 1 : 0) | (used ? 0x10000 : 0));
    };
    for (const PacketId id : {PacketId::ShowSelectionBorder, PacketId::UseSelection}) {
        SelectionValuesPayload p;
        p.SetKind(id);
        p.layer = int16_t(top), p.mask = int16_t(masks.Current());
        p.first = flags(true, true);
        p.second = flags(paper.SelectionBorderShown, paper.SelectionUsed);
        if (!paper.RecordPacket(p.Encode()))
            return false;
    }
    return true;
}

// The loaded picture as a recording: a new canvas of its size, resolution
// and paper, the start marks, every layer bottom-up as an image with its
// head as placement, then the paper colour. Like a new canvas it has no
// history.
bool RecordSnapshot(TPaper& paper, CEventMngr& events)
{
    if (!events.Restart())
        return false;
    NewCanvasPayload canvas;
    canvas.width = canvas.layerWidth = paper.Width;
    canvas.height = canvas.layerHeight = paper.Height;
    canvas.resolution = paper.Resolution;
    canvas.transparentCanvasInverted = paper.OpaquePaper ? 0xFF : 0x00;
    canvas.transparentLayerInverted = 0x00;
    if (!paper.RecordPacket(canvas.Encode()) || !paper.RecordStartMarks())
        return false;
    for (int32_t i = 0; i < paper.LayerCount(); ++i) {
        // The replay pastes each new layer above the one before it.
        paper.SelectLayer(std::max(i - 1, 0));
        if (!RecordImage(paper, *paper.LayerAt(i), i > 0, i))
            return false;
    }
    if (paper.PaperColour != TPaper::kWhitePaper) {
        CanvasColourPayload colour;
        colour.colour = paper.PaperColour;
        if (!paper.RecordPacket(colour.Encode()))
            return false;
    }
    return RecordMasks(paper);
}

} // namespace

void ContinueRecording(TPaper& paper, bool streamLoaded)
{
    CEventMngr* events = paper.EventManager();
    if (!events)
        return;
    if (streamLoaded && events->ResumeLoaded())
        return;
    // A recording that cannot hold the picture would differ from it.
    if (!RecordSnapshot(paper, *events)) {
        events->Reset();
        Notifier().Warn("メモリ不足により正常に実行できませんでした！");
    }
}

} // namespace morvane
