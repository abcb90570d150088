#include "document/PaperSnapshot.h"

#include <algorithm>
#include <new>

#include "document/ImageOperations.h"
#include "document/PictureOperations.h"
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
        // The pixels are held twice on the way (rows and packet): a layer
        // of the largest store must not take them past the budget.
        const CBlockVMTC& store = *paper.LayerAt(i)->Store;
        const uint64_t bytes = uint64_t(store.Width) * uint64_t(store.Height) * 4 * 2;
        if (!MemoryBudget::Take(bytes))
            return false;
        bool kept = false;
        try {
            kept = paper.RecordPacket(ImageBlockOfLayer(*paper.LayerAt(i), i > 0, i).Encode());
        } catch (const std::bad_alloc&) {
        }
        MemoryBudget::Give(bytes);
        if (!kept)
            return false;
    }
    if (paper.PaperColour != TPaper::kWhitePaper) {
        CanvasColourPayload colour;
        colour.colour = paper.PaperColour;
        if (!paper.RecordPacket(colour.Encode()))
            return false;
    }
    return true;
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
