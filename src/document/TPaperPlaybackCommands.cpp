// Replay of the document (2), layer (4) and link (5) commands: each packet
// is decoded, its values checked against the document as it stands, then the
// operation runs with recording off. A packet whose values do not fit the
// document fails before anything changes.
#include <cmath>
#include <cstdlib>

#include "codecs/CodePage.h"
#include "document/TPaper.h"
#include "document/TPaperPlayback.h"
#include "events/EventPayloads.h"
#include "platform/DiagnosticSink.h"
#include "storage/SizeLimits.h"

namespace morvane {

namespace {
using namespace changehint;
constexpr uint8_t kStack = kLayerStructure | kCurrentLayer | kLayerPixels;
constexpr uint8_t kWholePicture = kStack | kCanvasSize | kTitle;
constexpr uint8_t kLook = kLayerStructure | kCurrentLayer;
constexpr uint8_t kNoMergeMethod = 0xFF;
constexpr uint16_t kVisibleBit = 1, kProtectBit = 2, kDitherBit = 16;

// No store can hold its content moved farther than its largest side.
bool IsShift(int32_t dx, int32_t dy)
{
    return std::abs(int64_t(dx)) <= kMaxStoreSide && std::abs(int64_t(dy)) <= kMaxStoreSide;
}

// Layer commands 32-35 and 48-51: flip H, flip V, rotate 180, invert.
int LayerCommandOf(uint8_t code)
{
    static constexpr int kCommands[4] = {7, 8, 10, 9};
    return kCommands[code & 3];
}
// The whole-picture transforms: every layer, or only the visible ones.
bool TransformPicture(TPaper& paper, int command, bool all)
{
    switch (command) {
    case 7:
        return paper.FlipPictureH(all, false);
    case 8:
        return paper.FlipPictureV(all, false);
    case 10:
        return paper.RotatePicture180(all, false);
    default:
        return paper.InvertPicture(all, false);
    }
}
} // namespace

// ---- document commands ---------------------------------------------------------------

HandlerResult PaperPlaybackTarget::NewCanvas(int32_t width, int32_t height, int32_t layerWidth,
                                             int32_t layerHeight, int32_t resolution, bool transparentPaper,
                                             bool transparentLayer)
{
    // No recording holds two canvases.
    if (canvasMade_ || !IsPictureSizeAllowed(width, height) || !IsStoreSizeAllowed(layerWidth, layerHeight))
        return HandlerResult::Failed;
    const bool made = paper_.NewPicture(paper_.Name, transparentLayer, transparentPaper, resolution,
                                        layerWidth, layerHeight, width, height, false);
    canvasMade_ = made;
    return Ran(made, kWholePicture);
}

HandlerResult PaperPlaybackTarget::DocumentCommand(std::span<const uint8_t> packet)
{
    const uint8_t code = packet[1];
    if (code == 0) {
        NewCanvasOldPayload p;
        if (!p.Decode(packet))
            return HandlerResult::Failed;
        return NewCanvas(p.width, p.height, p.layerWidth, p.layerHeight, 0, false, true);
    }
    if (code == 8) {
        NewCanvasPayload p;
        if (!p.Decode(packet))
            return HandlerResult::Failed;
        return NewCanvas(p.width, p.height, p.layerWidth, p.layerHeight, p.resolution,
                         p.transparentCanvasInverted == 0, p.transparentLayerInverted == 0);
    }
    // Everything else works on a canvas.
    if (!canvasMade_)
        return HandlerResult::Failed;
    switch (code) {
    case 1: {
        CanvasColourPayload p;
        return p.Decode(packet) ? Ran(paper_.SetPaperColour(p.colour, false), kLayerPixels)
                                : HandlerResult::Failed;
    }
    case 2: {
        CanvasSizePayload p;
        if (!p.Decode(packet) || !IsPictureSizeAllowed(p.width, p.height) || p.anchor > 8)
            return HandlerResult::Failed;
        return Ran(paper_.SetCanvasSize(p.width, p.height, p.option != 0, p.anchor, false), kWholePicture);
    }
    case 3:
    case 9: {
        ResamplePayload p;
        if (!p.Decode(packet) || !IsPictureSizeAllowed(p.width, p.height))
            return HandlerResult::Failed;
        return Ran(paper_.SetImageSize(p.width, p.height, p.option != 0, false), kWholePicture);
    }
    case 4:
    case 5:
        return Ran(paper_.RotatePicture90(code == 4, false), kWholePicture);
    case 6: {
        CropPayload p;
        if (!p.Decode(packet) || !IsLayer(p.layer) || p.left >= p.right || p.top >= p.bottom)
            return HandlerResult::Failed;
        return Ran(paper_.Crop(p.layer, {p.left, p.top, p.right, p.bottom}, false), kWholePicture);
    }
    case 7:
        return Ran(paper_.MergeVisibleLayers(-1, false, false), kStack);
    case 10: {
        // The background-only flag only narrows when the merge is allowed; a
        // recorded merge was allowed.
        MergeVisiblePayload p;
        if (!p.Decode(packet) || (p.parameter != kNoMergeMethod && p.parameter > 3))
            return HandlerResult::Failed;
        const int32_t method = p.parameter == kNoMergeMethod ? -1 : p.parameter;
        return Ran(paper_.MergeVisibleLayers(method, false, false), kStack);
    }
    case 16:
    case 17:
    case 18:
    case 19:
    case 32:
    case 33:
    case 34:
    case 35: {
        const bool done = TransformPicture(paper_, LayerCommandOf(code), code >= 32);
        return Ran(done, kLayerPixels);
    }
    case 24:
    case 25:
    case 26: {
        LayerVisibilityPayload p;
        if (!p.Decode(packet) || !IsLayer(p.layer))
            return HandlerResult::Failed;
        const bool done = code == 24   ? paper_.ShowAllLayers(p.show != 0, false)
                          : code == 25 ? paper_.ShowOnlyLayer(p.layer, false)
                                       : paper_.InvertLayerVisibility(false);
        return Ran(done, kLook);
    }
    default:
        return NotReplayedYet(packet);
    }
}

// ---- layer commands ------------------------------------------------------------------

HandlerResult PaperPlaybackTarget::LayerCommand(std::span<const uint8_t> packet)
{
    const uint8_t code = packet[1];
    if (!canvasMade_)
        return HandlerResult::Failed;
    switch (code) {
    case 0: {
        NewLayerQuickPayload p;
        if (!p.Decode(packet) || p.layer < 0 || p.layer > paper_.LayerCount() ||
            !IsStoreSizeAllowed(p.width, p.height))
            return HandlerResult::Failed;
        if (!paper_.AddLayer(p.layer, p.width, p.height, p.flags & kVisibleBit, p.opacity, p.mode, false))
            return HandlerResult::Failed;
        paper_.LayerAt(paper_.CurrentLayer())->ProtectAlpha = (p.flags & kProtectBit) != 0;
        return Ran(true, kStack);
    }
    case 11: {
        NewLayerPayload p;
        if (!p.Decode(packet) || p.layer < 0 || p.layer > paper_.LayerCount() ||
            !IsStoreSizeAllowed(p.width, p.height))
            return HandlerResult::Failed;
        if (!paper_.AddLayerNamed(p.layer, p.width, p.height, p.flags & kVisibleBit, p.opacity, p.mode,
                                  Cp932ToUtf8(p.name), p.colour, false))
            return HandlerResult::Failed;
        paper_.LayerAt(paper_.CurrentLayer())->ProtectAlpha = (p.flags & kProtectBit) != 0;
        return Ran(true, kStack);
    }
    case 6:
    case 7: {
        // The document writes 7 for a shift whose store had to grow; a
        // linked run moves by {5,9}, so a single layer must lead none.
        LayerPlacePayload p;
        if (!p.Decode(packet) || !IsLayer(p.layer) || !IsShift(p.first, p.second) || p.anchor != 0 ||
            p.option != 0 || paper_.Layers().LinkedRunLength(p.layer) != 0)
            return p.anchor != 0 || p.option != 0 ? NotReplayedYet(packet) : HandlerResult::Failed;
        return Ran(paper_.ShiftLayer(p.layer, p.first, p.second, false), kStack);
    }
    case 10: {
        MergeDownPayload p;
        if (!p.Decode(packet) || !IsLayer(p.layer) || p.below != p.layer - 1)
            return HandlerResult::Failed;
        return Ran(paper_.MergeDownWith(p.layer, p.option, false), kStack);
    }
    case 16:
    case 17:
    case 18:
    case 20:
    case 21:
        return LayerAttributes(packet);
    case 38: {
        RotateLayerPayload p;
        if (!p.Decode(packet) || !IsLayer(p.layer) || !std::isfinite(p.degrees))
            return HandlerResult::Failed;
        return Ran(paper_.RotateLayerFree(p.layer, p.degrees, false), kStack);
    }
    case 39: {
        ScaleLayerPayload p;
        if (!p.Decode(packet) || !IsLayer(p.layer) || !IsStoreSizeAllowed(p.first, p.second))
            return HandlerResult::Failed;
        return Ran(paper_.ScaleLayer(p.layer, p.first, p.second, false), kStack);
    }
    case 48:
    case 49:
    case 50:
    case 51: {
        SelectionTransformPayload p;
        if (!p.Decode(packet) || !IsLayer(p.layer))
            return HandlerResult::Failed;
        return Ran(paper_.LayerCommandMasked(p.layer, LayerCommandOf(code), p.mask, false), kLayerPixels);
    }
    default:
        break;
    }
    LayerIndexPayload p;
    if (!LayerIndexPayload::Serves(4, code))
        return NotReplayedYet(packet);
    if (!p.Decode(packet) || !IsLayer(p.layer))
        return HandlerResult::Failed;
    switch (code) {
    case 1:
        return Ran(p.value == p.layer && paper_.DeleteLayer(p.layer, false), kStack);
    case 3:
        return Ran(p.value == p.layer && paper_.DuplicateLayer(p.layer, false), kStack);
    case 4:
        return Ran(IsLayer(p.value) && paper_.MoveLayer(p.layer, p.value, false), kStack);
    case 5:
        return Ran(p.value == p.layer - 1 && paper_.MergeDown(p.layer, false), kStack);
    case 24:
        return Ran(paper_.SetLayerAlpha(p.layer, p.value, false), kLayerPixels);
    case 25:
        return Ran(paper_.InvertAlpha(p.layer, false), kLayerPixels);
    case 32:
    case 33:
    case 34:
    case 35:
        return Ran(p.value == p.layer && paper_.LayerCommand(p.layer, LayerCommandOf(code), false),
                   kLayerPixels);
    case 36:
    case 37:
        return Ran(paper_.RotateLayer90(p.layer, code == 36, false), kStack);
    default:
        return NotReplayedYet(packet);
    }
}

// Codes 16-18 and 20 carry the whole look after the change; each applies
// its own part, as the command that wrote it changed only that.
HandlerResult PaperPlaybackTarget::LayerAttributes(std::span<const uint8_t> packet)
{
    if (packet[1] == 21) {
        LayerPropertiesPayload p;
        if (!p.Decode(packet) || !IsLayer(p.layer))
            return HandlerResult::Failed;
        return Ran(paper_.SetLayerDither(p.layer, (p.flags & kDitherBit) != 0, p.ditherDensity, false),
                   kLook | kLayerPixels);
    }
    LayerLookPayload p;
    if (!p.Decode(packet) || !IsLayer(p.layer))
        return HandlerResult::Failed;
    switch (packet[1]) {
    case 16:
        return Ran(paper_.SetLayerMode(p.layer, p.mode, false), kLook | kLayerPixels);
    case 17:
        return Ran(paper_.SetLayerOpacity(p.layer, p.opacity, false), kLook | kLayerPixels);
    case 18:
        return Ran(paper_.SetLayerVisible(p.layer, p.flags & kVisibleBit, false), kLook | kLayerPixels);
    case 20:
        return Ran(paper_.SetLayerProtectAlpha(p.layer, (p.flags & kProtectBit) != 0, false), kLook);
    default:
        return HandlerResult::Failed;
    }
}

// ---- link commands -------------------------------------------------------------------

HandlerResult PaperPlaybackTarget::LinkCommand(std::span<const uint8_t> packet)
{
    const uint8_t code = packet[1];
    if (!canvasMade_)
        return HandlerResult::Failed;
    CLayerMngr& layers = paper_.Layers();
    if (code <= 1) {
        // The levels before the change must be the document's: otherwise the
        // stream describes another stack.
        LinkLevelsPayload p;
        if (!p.Decode(packet) || !IsLayer(p.layer) || p.count != paper_.LayerCount())
            return HandlerResult::Failed;
        for (int32_t i = 0; i < p.count; ++i)
            if (layers.At(i)->LinkLevel != p.levels[size_t(i)])
                return HandlerResult::Failed;
        return Ran(paper_.LinkLayer(p.layer, code == 0, false), kStack);
    }
    if (code == 9) {
        LinkMovePayload p;
        if (!p.Decode(packet) || !IsLayer(p.layer) || !IsShift(p.dx, p.dy) || p.secondOption != -1 ||
            p.first != layers.LinkedRunLength(p.layer) + 1)
            return HandlerResult::Failed;
        return Ran(paper_.ShiftLayer(p.layer, p.dx, p.dy, false), kStack);
    }
    if (code == 10 || code == 12)
        return NotReplayedYet(packet);
    LinkValuePayload p;
    if (!p.Decode(packet) || !IsLayer(p.layer))
        return HandlerResult::Failed;
    const int32_t run = layers.LinkedRunLength(p.layer);
    switch (code) {
    case 8:
        return Ran(p.first == run && paper_.DeleteLinkLeader(p.layer, false), kStack);
    case 11:
        return Ran(p.second == run + 1 && paper_.MoveLinkGroup(p.layer, p.first, false), kStack);
    case 13:
        return Ran(p.first == run + 1 && paper_.DeleteLinkGroup(p.layer, false), kStack);
    default:
        return Ran(p.first >= 1 && paper_.SetLinkGroupVisible(p.layer, p.first, p.option != 0, false),
                   kLook | kLayerPixels);
    }
}

} // namespace morvane
