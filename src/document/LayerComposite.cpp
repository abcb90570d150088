#include "document/LayerComposite.h"

#include "document/PixelRows.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>

#include "document/OpaqueComposite.h"
#include "document/OverComposite.h"
#include "document/PixelRows.h"
#include "document/SLayerParam.h"
#include "platform/UserNotifier.h"
#include "storage/BlendTables.h"
#include "storage/SizeLimits.h"

namespace morvane {

namespace {
const char* const kNoMemory = "メモリ不足により正常に実行できませんでした！";
const char* const kException = "例外の発生により正常に実行できませんでした！";

// ---- the oldest generation's kinds: the buffer-wide steps at the opacity ----
SCompositeRows OldestKindRows(int kind)
{
    switch (kind) {
    case 0: return {PixelRow<MultiplyPixel>, PixelColourRow<MultiplyPixel>};
    case 1: return {PixelRow<AddPixel>, PixelColourRow<AddPixel>};
    case 2: return {PixelRow<SubtractPixel>, PixelColourRow<SubtractPixel>};
    default: return OpaqueRows(kModeNormal);
    }
}

// ---- dither: pixels left out get alpha 0, which every kernel skips ----
struct DitherContext {
    const CLayerData* layer;
};

void DitherFilter(const void* context, uint32_t* row, int32_t n, int32_t x, int32_t y)
{
    const CLayerData& layer = *static_cast<const DitherContext*>(context)->layer;
    const int32_t px = x - layer.OriginX, py = y - layer.OriginY;
    for (int32_t i = 0; i < n; ++i)
        if (DitherLeavesOut(layer, px + i, py, uint8_t(row[i] >> 24)))
            row[i] &= 0x00FFFFFFu;
}

// The kernels with the layer's dither, when it has it on.
SCompositeRows WithDither(SCompositeRows rows, const CLayerData& layer, const DitherContext& context)
{
    if (layer.Dither) {
        rows.filter = DitherFilter;
        rows.context = &context;
    }
    return rows;
}

// The picture rectangle of a layer's store that lands on rect of a composite.
ExtentRect StoreRect(const CLayerData& layer, const ExtentRect& rect)
{
    return {rect.left + layer.OriginX, rect.top + layer.OriginY, rect.width, rect.height};
}

// The wet layer's buffer over the part of rect its store covers.
void CompositeWet(const CLayerData& layer, const TMTC& wet, TMTC& target, const ExtentRect& rect,
                  const SCompositeRows& rows, uint8_t opacity)
{
    const ExtentRect from = StoreRect(layer, rect);
    EdgeRect inStore;
    if (!Intersect(ToEdge(from), {0, 0, layer.Store->Width, layer.Store->Height}, inStore))
        return;
    const Point at{rect.left + inStore.left - from.left, rect.top + inStore.top - from.top};
    CompositeBufferInto(wet, target, at, ToExtent(inStore), rows, opacity);
}

template <typename RowsOf>
bool CompositeEach(const CLayerMngr& stack, TMTC& target, const ExtentRect& rect, RowsOf rowsOf, bool skipTransparent,
                   const SWetLayer& wet)
{
    if (!target.IsValid())
        return false;
    for (int32_t i = 0; i < stack.Count(); ++i) {
        const CLayerData& layer = *stack.At(i);
        const uint8_t opacity = EffectiveOpacity(stack, i);
        if (opacity == 0 || !layer.HasStore())
            continue;
        const DitherContext context{&layer};
        const SCompositeRows rows = WithDither(rowsOf(layer), layer, context);
        if (i == wet.index && wet.image)
            CompositeWet(layer, *wet.image, target, rect, rows, opacity);
        else
            layer.Store->CompositeInto(target, {rect.left, rect.top}, StoreRect(layer, rect), rows, opacity,
                                       skipTransparent);
    }
    return true;
}

// Where picture point (0, 0) of `from` lies in the store of `to`, relative
// to from's store: the offset of a whole-store copy.
Point StoreOffset(const CLayerData& from, const CLayerData& to)
{
    return {to.OriginX - from.OriginX, to.OriginY - from.OriginY};
}

bool FitsStore(const EdgeRect& r)
{
    return !r.IsEmpty() && IsStoreSizeAllowed(int64_t(r.right) - r.left, int64_t(r.bottom) - r.top);
}
} // namespace

uint8_t EffectiveOpacity(const CLayerMngr& stack, int32_t i)
{
    const CLayerData* layer = stack.At(i);
    if (!layer || !layer->Visible)
        return 0;
    uint32_t opacity = layer->Opacity;
    // Levels are clamped to 0 ... 250, so a small table of found levels serves.
    int32_t wanted = std::clamp(layer->LinkLevel, 0, CLayerData::kMaxLinkLevel);
    bool found[CLayerData::kMaxLinkLevel + 1] = {};
    for (int32_t j = i - 1; j >= 0 && wanted > 0 && opacity != 0; --j) {
        const CLayerData& below = *stack.At(j);
        const int32_t level = std::clamp(below.LinkLevel, 0, CLayerData::kMaxLinkLevel);
        if (level < layer->LinkLevel && !found[level]) {
            found[level] = true;
            --wanted;
            opacity = MulDiv255(opacity, below.Opacity);
        }
    }
    return uint8_t(opacity);
}

SCompositeRows OpaqueRows(int mode)
{
    if (!IsValidMode(mode))
        return {};
    SCompositeRows rows{OpaqueRowKernel(mode), OpaqueColourRowKernel(mode)};
    rows.piece = OpaquePieceKernel(mode);
    return rows;
}

namespace {
OverForm MergeForm(int targetMode, int layerMode, int method)
{
    return method == 0 ? MergeDownForm(layerMode) : PairForm(targetMode, layerMode, method);
}
} // namespace

SCompositeRows MergeRows(int targetMode, int layerMode, int method)
{
    if (!IsValidMode(layerMode))
        return {};
    const OverForm form = MergeForm(targetMode, layerMode, method);
    return {OverRowKernel(form, layerMode), OverColourRowKernel(form, layerMode)};
}

bool DitherLeavesOut(const CLayerData& layer, int32_t x, int32_t y, uint8_t alpha)
{
    const uint32_t threshold = MulDiv255(layer.DitherDensity, alpha);
    return layer.DitherSeed.DrawAt(x, y) >= threshold;
}

bool CompositeStack(const CLayerMngr& stack, TMTC& target, const ExtentRect& rect, EngineGeneration generation,
                    const SWetLayer& wet)
{
    if (generation == EngineGeneration::Oldest)
        // The kinds 0-2 ignore the layer's alpha, so a transparent block still counts.
        return CompositeEach(
            stack, target, rect, [](const CLayerData& l) { return OldestKindRows(l.Mode); }, false, wet);
    return CompositeEach(stack, target, rect, [](const CLayerData& l) { return OpaqueRows(l.Mode); }, true, wet);
}

bool CompositeStackOver(const CLayerMngr& stack, TMTC& target, const ExtentRect& rect, const SWetLayer& wet)
{
    return CompositeEach(
        stack, target, rect, [](const CLayerData& l) { return MergeRows(kModeNormal, l.Mode, 3); }, true, wet);
}

bool MergeLayerInto(const CLayerData& layer, uint8_t opacity, CLayerData& target, int32_t method)
{
    if (!layer.HasStore() || !target.HasStore())
        return false;
    if (opacity == 0)
        return true;
    const DitherContext context{&layer};
    const SCompositeRows rows =
        WithDither(method < 0 ? OpaqueRows(layer.Mode) : MergeRows(target.Mode, layer.Mode, method), layer, context);
    const CBlockVMTC& source = *layer.Store;
    EdgeRect inside;
    const Point at = StoreOffset(layer, target);
    if (!Intersect(ToEdge({at.x, at.y, source.Width, source.Height}), {0, 0, target.Store->Width, target.Store->Height},
                   inside))
        return true; // wholly outside: nothing to merge
    return source.CompositeOnto(*target.Store, at, {0, 0, source.Width, source.Height}, rows, opacity, 255);
}

// ---- merge down ----------------------------------------------------------------------

namespace {
// Blocks of the merged store per step: the lower, upper and merged pieces of
// a step stay in the first-level cache between its passes.
constexpr int32_t kMergeChunkBlocks = 2;

// The passes of a merge down over one rectangle of the merged store: the
// lower layer's pixels copied in, its opacity put into their alpha, the upper
// layer merged on, the pair table's inversion, and the blocks that became one
// value given back. Every pass works pixel by pixel, so running them a few
// blocks at a time gives what whole-store passes give, without the store
// passing through the caches once per pass.
struct MergeDownPasses {
    const CLayerData& low;
    const CLayerData& up;
    CLayerData& merged;
    SCompositeRows rows;
    uint8_t upperOpacity;
    bool invert;

    // With the normal merge and nothing between the copy and the merge (no
    // lower opacity, dither or inversion), a block of the merged store that
    // lies on one block of each layer is written in one pass from both.
    bool fused;

    // Rectangle r of the merged store in the store of `layer`; false when
    // they do not meet (nothing to do, not a failure).
    bool InStoreOf(const CLayerData& layer, const EdgeRect& r, ExtentRect& out) const
    {
        const Point at = StoreOffset(layer, merged);
        EdgeRect inside;
        if (!Intersect(r, ToEdge({at.x, at.y, layer.Store->Width, layer.Store->Height}), inside))
            return false;
        out = {r.left - at.x, r.top - at.y, r.right - r.left, r.bottom - r.top};
        return true;
    }

    // The block of `layer` under merged block b, when b's used part lies
    // wholly inside that one block.
    const SBlock* BlockUnder(const CLayerData& layer, const CBlockVMTC& store, const SBlock& b) const
    {
        const Point at = StoreOffset(layer, merged);
        const CBlockVMTC& from = *layer.Store;
        const EdgeRect square = store.BlockSquare(b);
        const int32_t x = square.left - at.x, y = square.top - at.y;
        if (((x | y) & from.BlockMask) != 0 || x < 0 || y < 0 || square.right - at.x > from.Width ||
            square.bottom - at.y > from.Height)
            return nullptr;
        return from.BlockAtIndex(x >> from.BlockShift, y >> from.BlockShift);
    }

    // Merged block b := the upper block over the lower one. A block of one
    // value reads as a row of it; two of them give one value.
    bool FuseBlock(CBlockVMTC& store, SBlock& b, const SBlock& lower, const SBlock& upper) const
    {
        if (!lower.Committed() && !upper.Committed()) {
            b.Uniform = NormalOverPixel(lower.Uniform, upper.Uniform, upperOpacity);
            return true;
        }
        const int32_t w = store.UsedW(b), h = store.UsedH(b), side = store.BlockWidth;
        // Every pixel is written below, unless the block sticks out of the store.
        if (!(w == side && h == store.BlockHeight ? store.TakeBlockMemory(b) : store.CommitBlock(b)))
            return false;
        if (!upper.Committed() && (upper.Uniform >> 24) == 0) {
            std::memcpy(b.Data, lower.Data, size_t(store.BlockBytes)); // nothing lands on it
            return true;
        }
        const OverFromRowFn over = NormalOverFromKernel();
        uint32_t lowerRow[32], upperRow[32];
        std::fill_n(lowerRow, side, lower.Uniform);
        std::fill_n(upperRow, side, upper.Uniform);
        const auto* under = lower.Committed() ? reinterpret_cast<const uint32_t*>(lower.Data) : lowerRow;
        const auto* src = upper.Committed() ? reinterpret_cast<const uint32_t*>(upper.Data) : upperRow;
        auto* dst = reinterpret_cast<uint32_t*>(b.Data);
        const ptrdiff_t underStep = lower.Committed() ? side : 0, srcStep = upper.Committed() ? side : 0;
        if (w == side && underStep == side && srcStep == side) {
            over(dst, under, src, side * h, upperOpacity); // whole rows follow each other
            return true;
        }
        for (int32_t i = 0; i < h; ++i, dst += side, under += underStep, src += srcStep)
            over(dst, under, src, w, upperOpacity);
        return true;
    }

    // Each block of r is final when its step ends, so the thumbnail takes it
    // there, while it is cached.
    bool RunFused(const EdgeRect& r, CShrinkGather& thumbnail) const
    {
        CBlockVMTC& store = *merged.Store;
        const bool ok = store.ForEachBlockInRect(ToExtent(r), [&](const SPiece& p) {
            const SBlock* lower = p.whole && !p.block->Committed() ? BlockUnder(low, store, *p.block) : nullptr;
            const SBlock* upper = lower ? BlockUnder(up, store, *p.block) : nullptr;
            if (!(upper ? FuseBlock(store, *p.block, *lower, *upper) : RunPasses({p.x, p.y, p.x + p.w, p.y + p.h})))
                return false;
            thumbnail.Add(*p.block);
            return true;
        });
        store.CompactRect(r);
        return ok;
    }

    bool Run(const EdgeRect& r, CShrinkGather& thumbnail) const
    {
        return fused ? RunFused(r, thumbnail) : RunPasses(r);
    }

    bool RunPasses(const EdgeRect& r) const
    {
        CBlockVMTC& store = *merged.Store;
        const ExtentRect here = ToExtent(r);
        ExtentRect source;
        if (InStoreOf(low, r, source) && !store.CopyStore(*low.Store, {r.left, r.top}, source))
            return false;
        const uint8_t o = low.Opacity;
        // The lower opacity goes into the alpha everywhere, not only where
        // the upper layer has content, since the merged layer is opaque 255.
        if (o != 255 && !store.ForEachBlockInRect(here, [&](const SPiece& p) {
                return store.TransformPiece<uint32_t>(
                    p, [o](uint32_t v) { return (v & 0x00FFFFFFu) | uint32_t{MulTable[o][v >> 24]} << 24; });
            }))
            return false;
        if (upperOpacity != 0 && InStoreOf(up, r, source) &&
            !up.Store->CompositeOnto(store, {r.left, r.top}, source, rows, upperOpacity, 255))
            return false;
        if (invert && !store.XorRect(here, 0x00FFFFFFu))
            return false;
        store.CompactRect(r);
        return true;
    }

    // Band by band of blocks; where the thumbnail is the store shrunk, the
    // fused pass gathers it block by block, and otherwise its rows are shrunk
    // as soon as the store rows they read are final, while those are cached.
    bool RunAll() const
    {
        const CBlockVMTC& store = *merged.Store;
        const bool early = merged.StoreIsPicture() && merged.Thumbnail.IsValid();
        CShrinkGather gathered(store, fused && early ? merged.Thumbnail.Width : 0, merged.Thumbnail.Height);
        const int32_t chunk = store.BlockWidth * kMergeChunkBlocks;
        int32_t shrunk = 0;
        for (int32_t y = 0; y < store.Height; y += store.BlockHeight) {
            const int32_t bottom = std::min(y + store.BlockHeight, store.Height);
            for (int32_t x = 0; x < store.Width; x += chunk)
                if (!Run({x, y, std::min(x + chunk, store.Width), bottom}, gathered))
                    return false;
            const int32_t ready = early && !gathered.IsValid() ? store.ShrinkRowsWithin(merged.Thumbnail.Height, bottom) : 0;
            if (ready > shrunk)
                store.ShrinkInto(merged.Thumbnail, {0, shrunk, merged.Thumbnail.Width, ready - shrunk});
            shrunk = std::max(shrunk, ready);
        }
        if (gathered.IsValid())
            gathered.Finish(merged.Thumbnail);
        else if (!early)
            merged.RefreshThumbnail();
        return true;
    }
};
} // namespace

bool CLayerMngr::MergeDown(int32_t lower, int32_t upper, bool keepUpper, int32_t method,
                           std::unique_ptr<CLayerData>* replaced)
{
    const char* const failure = "レイヤのサイズ変更失敗により、レイヤ結合ができませんでした！";
    CLayerData* low = At(lower);
    const CLayerData* up = At(upper);
    const int32_t kind = method & 0xFFFF, high = method >> 16;
    if (!low || !up || lower == upper || kind > 3 || !low->HasStore() || !up->HasStore()) {
        Notifier().Warn(failure);
        return false;
    }
    const EdgeRect bounds = Union(low->ContentBounds(), up->ContentBounds());
    std::unique_ptr<CLayerData> merged;
    if (FitsStore(bounds))
        merged = low->EmptyResized(bounds.right - bounds.left, bounds.bottom - bounds.top,
                                   {-low->OriginX - bounds.left, -low->OriginY - bounds.top});
    if (!merged) {
        Notifier().Warn(failure);
        return false;
    }
    merged->Id = low->Id;
    if (high & 2) {
        merged->CopyAttributes(*low);
    } else {
        merged->Name = low->Name;
        merged->Opacity = low->Opacity;
    }
    // A linked upper layer is seen through the lower one's opacity.
    const uint8_t upperOpacity = up->LinkLevel > low->LinkLevel ? uint8_t(MulDiv255(up->Opacity, low->Opacity))
                                                                : up->Opacity;
    const SLayerParam* lowerParam = LayerParam(merged->Mode);
    const DitherContext context{up};
    const bool invert = kind != 0 && lowerParam && (lowerParam->Flags & kFlagInvertAfterMerge);
    const bool fused = MergeForm(merged->Mode, up->Mode, kind) == OverForm::NormalOver && !up->Dither &&
                       low->Opacity == 255 && !invert && upperOpacity != 0 &&
                       low->Store->BlockWidth == merged->Store->BlockWidth &&
                       up->Store->BlockWidth == merged->Store->BlockWidth;
    const MergeDownPasses passes{*low, *up, *merged, WithDither(MergeRows(merged->Mode, up->Mode, kind), *up, context),
                                 upperOpacity, invert, fused};
    if (!passes.RunAll()) {
        Notifier().Warn(failure);
        return false;
    }
    merged->Opacity = 255;
    std::unique_ptr<CLayerData> old = ReplaceLayer(lower, std::move(merged));
    if (keepUpper && replaced)
        *replaced = std::move(old);
    return true;
}

// ---- merge visible -------------------------------------------------------------------

namespace {
bool MergeVisibleAllowed(const CLayerMngr& stack, int32_t method, bool backgroundOnly)
{
    const CLayerData* bottom = stack.At(0);
    if (stack.VisibleCount() < 2 || !bottom || !bottom->Visible || method > 3)
        return false;
    if (method < 0 && (bottom->Mode == kModeAdd || bottom->Mode == kModeSubtract))
        return false;
    return !backgroundOnly || bottom->Mode == kModeMultiply || bottom->Mode == kModeNormal;
}

// The new layer with every visible layer merged in; nullptr when memory runs out.
std::unique_ptr<CLayerData> BuildMerged(const CLayerMngr& stack, int32_t method)
{
    const CLayerData& bottom = *stack.At(0);
    EdgeRect bounds;
    for (int32_t i = 0; i < stack.Count(); ++i)
        bounds = Union(bounds, stack.At(i)->ContentBounds());
    if (!FitsStore(bounds))
        return nullptr;
    auto merged = std::make_unique<CLayerData>();
    if (!merged->Setup(bounds.right - bounds.left, bounds.bottom - bounds.top, kModeNormal, stack.ThumbW, stack.ThumbH))
        return nullptr;
    merged->Store->FillAll(NewLayerColourOf(bottom.Mode));
    merged->Name = bottom.Name;
    merged->NominalW = stack.PictureW > 0 ? stack.PictureW : bottom.NominalW;
    merged->NominalH = stack.PictureH > 0 ? stack.PictureH : bottom.NominalH;
    merged->OriginX = -bounds.left;
    merged->OriginY = -bounds.top;
    for (int32_t i = 0; i < stack.Count(); ++i) {
        const uint8_t opacity = EffectiveOpacity(stack, i);
        if (opacity != 0 && !MergeLayerInto(*stack.At(i), opacity, *merged, method))
            return nullptr;
    }
    if (method < 0 && !merged->SetAllAlpha(255))
        return nullptr;
    merged->Store->Compact();
    if (!merged->SizeThumbnail(stack.ThumbW, stack.ThumbH))
        return nullptr;
    merged->RefreshThumbnail();
    return merged;
}
} // namespace

bool MergeVisible(CLayerMngr& stack, int32_t method, bool backgroundOnly, CLayerMngr& removed)
{
    if (!MergeVisibleAllowed(stack, method, backgroundOnly))
        return false;
    try {
        std::unique_ptr<CLayerData> merged = BuildMerged(stack, method);
        if (!merged) {
            Notifier().Warn(kNoMemory);
            return false;
        }
        // From here on only the lists change.
        std::vector<std::unique_ptr<CLayerData>> leaving;
        leaving.reserve(size_t(stack.Count()));
        removed.Reserve(stack.Count());
        for (int32_t i = stack.Count() - 1; i >= 1; --i)
            if (stack.At(i)->Visible)
                leaving.push_back(stack.RemoveLayer(i));
        leaving.push_back(stack.ReplaceLayer(0, std::move(merged)));
        for (auto it = leaving.rbegin(); it != leaving.rend(); ++it)
            removed.InsertLayer(removed.Count(), std::move(*it));
        return true;
    } catch (const std::bad_alloc&) {
        Notifier().Warn(kNoMemory);
    } catch (const std::exception&) {
        Notifier().Warn(kException);
    }
    return false;
}

} // namespace morvane
