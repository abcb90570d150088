#include <algorithm>
#include <cstring>

#include "codecs/CodePage.h"
#include "document/ImageOperations.h"
#include "document/LayerBuild.h"
#include "document/PaperFile.h"
#include "document/PaperSnapshot.h"
#include "document/SLayerParam.h"
#include "events/EventPayloads.h"
#include "files/DocumentFile.h"
#include "storage/CBlockVMTC.h"
#include "storage/SizeLimits.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {
// Even, and a u16 with the terminator and the padding byte.
constexpr size_t kMaxImageName = 0xFFFC;
} // namespace

std::vector<uint8_t> StoreRows(const CBlockVMTC& store)
{
    const size_t rowBytes = size_t(store.Width) * 4;
    std::vector<uint8_t> rows(rowBytes * size_t(store.Height));
    for (int32_t by = 0; by < store.BlocksY; ++by)
        for (int32_t bx = 0; bx < store.BlocksX; ++bx) {
            const SBlock& b = *store.BlockAtIndex(bx, by);
            for (int32_t y = 0; y < store.UsedH(b); ++y) {
                uint8_t* at = rows.data() + size_t((by << store.BlockShift) + y) * rowBytes +
                              size_t(bx << store.BlockShift) * 4;
                if (b.Committed()) {
                    std::memcpy(at, store.RowIn<uint32_t>(b, 0, y), size_t(store.UsedW(b)) * 4);
                } else {
                    for (int32_t x = 0; x < store.UsedW(b); ++x)
                        std::memcpy(at + size_t(x) * 4, &b.Uniform, 4);
                }
            }
        }
    return rows;
}

bool FillStoreFromRows(CBlockVMTC& store, const uint8_t* rows)
{
    const size_t rowBytes = size_t(store.Width) * 4;
    for (int32_t by = 0; by < store.BlocksY; ++by)
        for (int32_t bx = 0; bx < store.BlocksX; ++bx) {
            SBlock& b = *store.BlockAtIndex(bx, by, false);
            const uint8_t* first = rows + size_t(by << store.BlockShift) * rowBytes + size_t(bx << store.BlockShift) * 4;
            uint32_t value;
            std::memcpy(&value, first, 4);
            bool uniform = true;
            for (int32_t y = 0; y < store.UsedH(b) && uniform; ++y)
                for (int32_t x = 0; x < store.UsedW(b) && uniform; ++x)
                    uniform = std::memcmp(first + size_t(y) * rowBytes + size_t(x) * 4, &value, 4) == 0;
            if (uniform) {
                if (b.Committed())
                    store.DecommitBlock(b);
                b.Uniform = value;
                continue;
            }
            if (!store.CommitBlock(b))
                return false;
            for (int32_t y = 0; y < store.UsedH(b); ++y)
                std::memcpy(store.RowIn<uint32_t>(b, 0, y), first + size_t(y) * rowBytes, size_t(store.UsedW(b)) * 4);
        }
    return true;
}

ImageBlockPayload ImageBlockOfImage(const TMTC& image, bool asNewLayer, int32_t index, const std::string& fileName)
{
    ImageBlockPayload p;
    p.category = CategoryOf(asNewLayer ? PacketId::PasteAsLayer : PacketId::PasteIntoLayer);
    p.code = CodeOf(asNewLayer ? PacketId::PasteAsLayer : PacketId::PasteIntoLayer);
    p.layer = int16_t(index);
    p.width = image.Width;
    p.height = image.Height;
    p.hasPlacement = 0;
    p.name = Utf8ToCp932(fileName);
    // The field's size is a u16 and holds the terminator.
    if (p.name.size() > kMaxImageName)
        p.name.resize(kMaxImageName);
    p.pixels.resize(size_t(image.Width) * size_t(image.Height) * 4);
    for (int32_t y = 0; y < image.Height; ++y)
        std::memcpy(p.pixels.data() + size_t(y) * size_t(image.Width) * 4, image.Row(y), size_t(image.Width) * 4);
    SealImageBlock(p);
    return p;
}

ImageBlockPayload ImageBlockOfLayer(const CLayerData& layer, bool asNewLayer, int32_t index)
{
    ImageBlockPayload p;
    p.category = CategoryOf(asNewLayer ? PacketId::PasteAsLayer : PacketId::PasteIntoLayer);
    p.code = CodeOf(asNewLayer ? PacketId::PasteAsLayer : PacketId::PasteIntoLayer);
    p.layer = int16_t(index);
    p.width = layer.Store->Width;
    p.height = layer.Store->Height;
    p.hasPlacement = 1;
    p.placement.resize(SClipLayerAttr::kBytes);
    ClipLayerAttrOf(layer).Encode(p.placement.data());
    p.name = Utf8ToCp932(layer.Name);
    p.pixels = StoreRows(*layer.Store);
    SealImageBlock(p);
    return p;
}

Verdict PasteImageOp::Check(OpContext& c)
{
    if (!image || uint64_t(image->pixels.size()) != uint64_t(image->width) * uint64_t(image->height) * 4)
        return Verdict::Refuse;
    CLayerMngr& layers = c.paper.Layers();
    const bool fits = asNewLayer ? layers.CanAdd() : layers.IsValidIndex(image->layer);
    return fits && IsStoreSizeAllowed(image->width, image->height) ? Verdict::Go : Verdict::Refuse;
}

std::vector<uint8_t> PasteImageOp::Packet(OpContext&) const { return image->Encode(); }

HistoryRecord PasteImageOp::History(OpContext& c)
{
    return asNewLayer ? InsertRecord(UndoKind::ImageAsLayer, *layer, at, c.paper) : HistoryRecord::None();
}

// The layer's pixels and, with a placement, its attributes are set before
// the packet goes out: memory runs out here or not at all.
bool PasteImageOp::Prepare(OpContext& c)
{
    if (!asNewLayer)
        return true;
    TPaper& paper = c.paper;
    CLayerMngr& layers = paper.Layers();
    at = std::min(layers.Current() + 1, layers.Count());
    layer = BuiltLayer(layers, at, image->width, image->height, true, 255, kModeNormal);
    if (!layer || !RoomForOne(layers) || !FillStoreFromRows(*layer->Store, image->pixels.data()))
        return paper.LayerMemoryFailed(c.record);
    if (image->hasPlacement == 1)
        Place(*layer, paper);
    return true;
}

void PasteImageOp::Place(CLayerData& target, const TPaper& paper) const
{
    SClipLayerAttr placement;
    placement.Decode(image->placement.data());
    ApplyLayerAttributes(placement, Cp932ToUtf8(image->name), target, paper.Width, paper.Height);
}

bool PasteImageOp::Apply(OpContext& c, CUndoData*)
{
    TPaper& paper = c.paper;
    CLayerMngr& layers = paper.Layers();
    const ImageBlockPayload& p = *image;
    int32_t index = p.layer;
    if (asNewLayer) {
        index = at;
        ++layers.CreatedCount;
        ++layers.NameCounter;
        if (p.hasPlacement != 1)
            layer->Name = layers.NextName(0);
        InsertLayer(layers, std::move(layer), index);
    } else {
        if (const CLayerData& old = *layers.At(index); old.Store->Width != p.width || old.Store->Height != p.height) {
            auto fresh = std::make_unique<CLayerData>();
            if (!fresh->Setup(p.width, p.height, old.Mode, layers.ThumbW, layers.ThumbH))
                return paper.LayerMemoryFailed(c.record);
            fresh->CopyAttributes(old);
            layers.ReplaceLayer(index, std::move(fresh));
        }
        if (!FillStoreFromRows(*layers.At(index)->Store, p.pixels.data()))
            return paper.LayerMemoryFailed(c.record);
        if (p.hasPlacement == 1)
            Place(*layers.At(index), paper);
    }
    if (p.hasPlacement == 1)
        ClampLinkLevels(layers);
    CLayerData& placed = *layers.At(index);
    placed.SizeThumbnail(layers.ThumbW, layers.ThumbH);
    placed.RefreshThumbnail();
    paper.SelectLayer(index);
    return true;
}

void PasteImageOp::Refresh(OpContext& c) { c.paper.RefreshWholePicture(); }

std::optional<PasteImageOp> PasteImageOp::Replayed(OpContext&, PacketId id, const ImageBlockPayload& p)
{
    PasteImageOp op;
    op.asNewLayer = id == PacketId::PasteAsLayer;
    op.image = std::make_shared<const ImageBlockPayload>(p);
    return op;
}

bool TPaper::NewPictureFromImage(const std::string& name, const TMTC& image, int32_t resolution,
                                 const std::string& fileName, bool record)
{
    if (!image.IsValid() || !IsStoreSizeAllowed(image.Width, image.Height))
        return false;
    const int32_t width = std::min(image.Width, int32_t(kMaxPictureSide));
    const int32_t height = std::min(image.Height, int32_t(kMaxPictureSide));
    if (!NewPicture(name, true, false, resolution, image.Width, image.Height, width, height, record))
        return false;
    PasteImageOp op;
    op.image = std::make_shared<const ImageBlockPayload>(ImageBlockOfImage(image, false, 0, fileName));
    return RunOperation(*this, std::move(op), record);
}

bool TPaper::ImportImageAsLayer(const TMTC& image, const std::string& fileName, bool record)
{
    if (!image.IsValid())
        return false;
    PasteImageOp op;
    op.asNewLayer = true;
    op.image = std::make_shared<const ImageBlockPayload>(ImageBlockOfImage(image, true, CurrentLayer() + 1, fileName));
    return RunOperation(*this, std::move(op), record);
}

} // namespace morvane
