#include "document/CUndoData.h"

#include <cstring>
#include <new>

#include "document/CLayerMngr.h"
#include "platform/MemoryBudget.h"

namespace morvane {

namespace {

// Kind, category, flags, name: the one place that says what a kind is.
constexpr SUndoKind kKinds[kUndoKindCount] = {
    {0, 1, 0x0000, "layer history"},
    {1, 1, 0x0000, "fill"},
    {2, 1, 0x0000, "clear layer"},
    {3, 1, 0x0000, "stroke"},
    {4, 1, 0x0000, "text"},
    {5, 1, 0x0000, "paste into layer"},
    {6, 1, 0x0000, "filter"},
    {7, 3, 0x0000, "flip layer horizontally"},
    {8, 3, 0x0000, "flip layer vertically"},
    {9, 3, 0x0000, "invert colours"},
    {10, 3, 0x0000, "rotate layer 180"},
    {11, 3, 0x0000, "invert transparency"},
    {12, 3, 0x0001, "flip picture horizontally"},
    {13, 3, 0x0001, "flip picture vertically"},
    {14, 3, 0x0001, "invert picture"},
    {15, 3, 0x0001, "rotate picture 180"},
    {16, 2, 0x0030, "alpha plane"},
    {17, 4, 0x0001, "canvas colour"},
    {18, 4, 0x0C01, "opacity"},
    {19, 4, 0x0401, "linked opacity"},
    {20, 4, 0x0C01, "dither"},
    {21, 4, 0x0C01, "blend mode"},
    {22, 4, 0x0E01, "visibility"},
    {23, 4, 0x0001, "layer position"},
    {24, 4, 0x01C0, "move with selection"},
    {25, 4, 0x1040, "layer name"},
    {26, 4, 0x0040, "protect alpha"},
    {27, 5, 0x0011, "new layer"},
    {28, 5, 0x0011, "delete layer"},
    {29, 5, 0x0011, "duplicate layer"},
    {30, 5, 0x0011, "image as new layer"},
    {31, 5, 0x0001, "move layer"},
    {32, 5, 0x0019, "merge down"},
    {33, 5, 0x0011, "merge visible"},
    {34, 5, 0x0013, "layer size"},
    {35, 5, 0x0193, "move and resize with selection"},
    {36, 5, 0x0011, "replace layer"},
    {37, 5, 0x0031, "selection to new layer"},
    {38, 5, 0x0051, "link group"},
    {39, 5, 0x0031, "delete linked layer"},
    {40, 5, 0x0013, "merge link group"},
    {41, 5, 0x0011, "delete link group"},
    {42, 5, 0x0041, "move link group"},
    {43, 5, 0x0013, "move linked layers"},
    {44, 5, 0x0193, "move linked layers with selection"},
    {45, 5, 0x0021, "show only current"},
    {46, 5, 0x0021, "show or hide all"},
    {47, 5, 0x0021, "invert visibility"},
    {48, 5, 0x0621, "link group visibility"},
    {49, 5, 0x0003, "rotate canvas 90"},
    {50, 5, 0x0017, "canvas size"},
    {51, 5, 0x0017, "image size"},
    {52, 5, 0x0017, "crop"},
    {53, 6, 0x0190, "new mask"},
    {54, 6, 0x0190, "mask from layer"},
    {55, 6, 0x0190, "delete mask"},
    {56, 6, 0x0190, "mask pixels"},
    {57, 6, 0x0180, "current mask"},
    {58, 6, 0x0180, "move mask"},
    {59, 6, 0x0180, "invert selection"},
    {60, 6, 0x0180, "move selection"},
    {61, 6, 0x0080, "selection display"},
    {62, 6, 0x0190, "combine masks"},
    {63, 6, 0x1000, "mask name"},
};

constexpr bool TableInOrder()
{
    for (int i = 0; i < kUndoKindCount; ++i)
        if (kKinds[i].kind != i || kKinds[i].category < 1 || kKinds[i].category > 6)
            return false;
    return true;
}
static_assert(TableInOrder());

// rect clipped to the layer's store; false when nothing is left.
bool ClipToLayer(const CLayerData& layer, const ExtentRect& rect, EdgeRect& out)
{
    return layer.HasStore() && ClipToBuffer(rect, layer.Store->Width, layer.Store->Height, out);
}

} // namespace

const SUndoKind& UndoKindOf(int kind) { return kKinds[kind >= 0 && kind < kUndoKindCount ? kind : 0]; }

// ---- pixel copies ------------------------------------------------------------------

std::unique_ptr<CPixelCopy> CPixelCopy::Take(const CBlockVMTC& source, const EdgeRect& rect)
{
    const int32_t shift = source.BlockShift, bytes = source.BlockBytes;
    const int32_t bx0 = rect.left >> shift, by0 = rect.top >> shift;
    const int32_t bx1 = (rect.right - 1) >> shift, by1 = (rect.bottom - 1) >> shift;
    std::unique_ptr<CPixelCopy> copy(new CPixelCopy(rect));
    copy->origin_ = {bx0 << shift, by0 << shift};
    copy->blocksX_ = bx1 - bx0 + 1;
    const size_t n = size_t(copy->blocksX_) * size_t(by1 - by0 + 1);
    copy->slots_.assign(n, kUniform);
    copy->uniforms_.assign(n, 0);
    int32_t committed = 0;
    for (int32_t by = by0, i = 0; by <= by1; ++by)
        for (int32_t bx = bx0; bx <= bx1; ++bx, ++i) {
            const SBlock* b = source.BlockAtIndex(bx, by);
            copy->uniforms_[size_t(i)] = b->Uniform;
            if (b->Committed())
                copy->slots_[size_t(i)] = committed++;
        }
    copy->data_ = CUndoBytes::Make(int64_t(committed) * bytes);
    if (!copy->data_)
        return nullptr;
    for (int32_t by = by0, i = 0; by <= by1; ++by)
        for (int32_t bx = bx0; bx <= bx1; ++bx, ++i)
            if (const int32_t slot = copy->slots_[size_t(i)]; slot != kUniform)
                std::memcpy(copy->data_->Data() + int64_t(slot) * bytes, source.BlockAtIndex(bx, by)->Data,
                            size_t(bytes));
    return copy;
}

std::unique_ptr<CPixelCopy> CPixelCopy::Adopt(std::unique_ptr<CBlockVMTC> store)
{
    if (!store || !store->IsValid())
        return nullptr;
    std::unique_ptr<CPixelCopy> copy(new CPixelCopy({0, 0, store->Width, store->Height}));
    copy->store_ = std::move(store);
    return copy;
}

bool CPixelCopy::RestoreInto(CBlockVMTC& target) const
{
    if (store_)
        return target.CopyStore(*store_, {0, 0}, ToExtent(rect_));
    const int32_t shift = target.BlockShift, mask = target.BlockMask;
    return target.ForEachBlockInRect(ToExtent(rect_), [&](const SPiece& p) {
        const int32_t x = p.x - origin_.x, y = p.y - origin_.y;
        const size_t i = size_t(y >> shift) * size_t(blocksX_) + size_t(x >> shift);
        if (i >= slots_.size())
            return false; // a store of another geometry
        if (slots_[i] == kUniform)
            return target.FillPiece<uint32_t>(p, uniforms_[i]);
        const uint8_t* block = data_->Data() + int64_t(slots_[i]) * target.BlockBytes;
        return target.PutPiece<uint32_t>(p, [&](int32_t row) {
            return reinterpret_cast<const uint32_t*>(block) + (((y & mask) + row) << shift) + (x & mask);
        });
    });
}

int64_t CPixelCopy::HeldBytes() const
{
    return store_ ? store_->CommittedBytes() : data_ ? data_->Size() : 0;
}

std::unique_ptr<CUndoBytes> CUndoBytes::Make(int64_t size)
{
    if (size < 0)
        return nullptr;
    auto* data = static_cast<uint8_t*>(AllocBlock(uint64_t(size)));
    if (!data)
        return nullptr;
    return std::unique_ptr<CUndoBytes>(new CUndoBytes(data, size));
}

CUndoBytes::~CUndoBytes() { FreeBlock(data_, uint64_t(size_)); }

// ---- records -----------------------------------------------------------------------

int64_t SUndoKept::HeldBytes() const
{
    int64_t n = (layer ? layer->MemoryUsed() : 0) + (layer2 ? layer2->MemoryUsed() : 0);
    for (const auto& l : layers)
        n += l ? l->MemoryUsed() : 0;
    return n + (stack ? stack->MemoryUsed() : 0) + (object ? object->HeldBytes() : 0);
}

CUndoData::CUndoData(UndoKind kindId, int32_t index, int32_t id, const ExtentRect& r)
    : rect(r), layerIndex(index), layerId(id), kind(UndoKindOf(kindId).kind)
{
}

CUndoData::~CUndoData() = default;

std::unique_ptr<CUndoData> CUndoData::PixelRecord(UndoKind kindNumber, const CLayerData& layer, int32_t index,
                                                  const ExtentRect& rect)
{
    EdgeRect r;
    if (!ClipToLayer(layer, rect, r))
        return nullptr;
    auto record = std::make_unique<CUndoData>(kindNumber, index, layer.Id, ToExtent(r));
    record->pixels = CPixelCopy::Take(*layer.Store, r);
    if (!record->pixels)
        return nullptr;
    record->valid = true;
    return record;
}

std::unique_ptr<CUndoData> CUndoData::AlphaRecord(UndoKind kindNumber, CLayerData& layer, int32_t index,
                                                  const ExtentRect& rect)
{
    EdgeRect r;
    if (!ClipToLayer(layer, rect, r))
        return nullptr;
    auto record = std::make_unique<CUndoData>(kindNumber, index, layer.Id, ToExtent(r));
    const ExtentRect& e = record->rect;
    record->buffer = CUndoBytes::Make(int64_t(e.width) * e.height);
    if (!record->buffer)
        return nullptr;
    layer.Store->ForEachBlockInRect(e, [&](const SPiece& p) {
        layer.Store->ReadAlpha(p, [&](int32_t i) { return record->AlphaRow(p, i); });
        return true;
    });
    record->valid = true;
    return record;
}

std::unique_ptr<CUndoData> CUndoData::Command(UndoKind kind, int32_t layerIndex, int32_t layerId,
                                              const ExtentRect& rect, SUndoValues values)
{
    try {
        auto record = std::make_unique<CUndoData>(kind, layerIndex, layerId, rect);
        record->values = values;
        record->valid = true;
        return record;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool CUndoData::RestoreInto(CBlockVMTC& store) const
{
    if (pixels)
        return pixels->RestoreInto(store);
    if (!buffer || buffer->Size() != int64_t(rect.width) * rect.height)
        return false;
    return store.ForEachBlockInRect(rect, [&](const SPiece& p) {
        return store.WriteAlpha(p, [&](int32_t i) { return AlphaRow(p, i); });
    });
}

int64_t CUndoData::HeldBytes() const
{
    if (!valid)
        return 0;
    int64_t n = (pixels ? pixels->HeldBytes() : 0) + (pixels2 ? pixels2->HeldBytes() : 0);
    return n + (buffer ? buffer->Size() : 0) + kept.HeldBytes();
}

} // namespace morvane
