#include "document/CFlt4Core.h"

#include <algorithm>
#include <new>

#include "document/CLayerData.h"
#include "document/CMaskModifier.h"
#include "document/PaperOperation.h"
#include "document/TPaper.h"
#include "events/EventPackets.h"
#include "filters/RecordBytes.h"
#include "platform/BusyCursor.h"
#include "storage/CBlockVMTC.h"
#include "storage/TMTC.h"

namespace morvane {
namespace {

constexpr uint16_t kNoMask = 0xFFFF;

template <class Payload>
std::vector<uint8_t> WordsPacket(uint8_t code, int16_t layer, int16_t mask, std::span<const uint8_t> bytes)
{
    Payload p;
    p.code = code;
    p.layer = layer, p.mask = mask;
    for (size_t i = 0; i < p.words.size(); ++i)
        p.words[i] = RecordU32(bytes, 4 * i);
    return p.Encode();
}

} // namespace

// The document's active selection as coverage rows in the layer's store
// coordinates: the same reader the pen uses at stroke start.
struct CFlt4Core::DocumentSelection final : CoverageRows {
    CMaskModifier mask;
    FilterSelection view;
    void Row(int32_t x, int32_t y, int32_t n, uint8_t* out) const override { mask.Row(x, y, n, out); }
};

CFlt4Core::CFlt4Core(TPaper& paper, bool record) : paper_(paper), record_(record) {}

const FilterSelection* CFlt4Core::TakeDocumentSelection(const CLayerData& layer)
{
    const CMaskData* mask = paper_.ActiveSelection();
    if (!mask)
        return nullptr;
    if (!documentSelection_)
        documentSelection_ = std::make_unique<DocumentSelection>();
    DocumentSelection& s = *documentSelection_;
    s.mask.Aim(*mask, {layer.OriginX, layer.OriginY});
    s.view.rows = &s;
    // Nothing selected: bounds that meet no pixel, so the run declines.
    EdgeRect occupied;
    s.view.bounds = {};
    if (mask->OccupiedRect(occupied))
        s.view.bounds = {occupied.left + layer.OriginX, occupied.top + layer.OriginY, occupied.right + layer.OriginX,
                         occupied.bottom + layer.OriginY};
    return &s.view;
}

CFlt4Core::~CFlt4Core() = default;

FilterAttach CFlt4Core::Attach(const FilterDescriptor& filter, int32_t layerIndex, const FilterSelection* selection)
{
    filter_ = &filter;
    layerIndex_ = layerIndex;
    layer_ = paper_.LayerAt(layerIndex);
    if (!layer_ || !layer_->HasStore())
        return layer_ = nullptr, FilterAttach::NoLayer;
    const EdgeRect whole{0, 0, layer_->Store->Width, layer_->Store->Height};
    bounds_ = whole;
    coverage_ = nullptr;
    if (!selection)
        selection = TakeDocumentSelection(*layer_);
    if (selection && selection->rows) {
        coverage_ = selection->rows;
        if (!Intersect(selection->bounds, whole, bounds_))
            return layer_ = nullptr, FilterAttach::EmptySelection;
    }
    try {
        backup_ = std::make_unique<CBlockVMTC>(*layer_->Store);
    } catch (const std::bad_alloc&) {
        backup_.reset();
    }
    if (!backup_ || !backup_->IsValid()) {
        backup_.reset();
        return FilterAttach::NoMemory;
    }
    return FilterAttach::Ready;
}

bool CFlt4Core::IsReady() const { return filter_ && filter_->routine && layerIndex_ >= 0 && layer_ && backup_; }

FilterResult CFlt4Core::Run(const FilterRecord& record, const EdgeRect* clip)
{
    if (!IsReady())
        return FilterResult::Refused;
    FilterContext c;
    c.target = layer_->Store.get();
    c.blendMode = layer_->Mode;
    c.layerX = layer_->OriginX, c.layerY = layer_->OriginY;
    c.protect = layer_->ProtectAlpha;
    c.coverage = coverage_;
    c.bounds = bounds_;
    c.backup = backup_.get();
    c.work = bounds_;
    if (clip && !Intersect(bounds_, *clip, c.work))
        return FilterResult::Declined;
    return filter_->routine(c, record);
}

FilterResult CFlt4Core::Apply(const FilterRecord& record)
{
    if (!IsReady())
        return FilterResult::Refused;
    BusyCursor busy;
    FilterResult result;
    try {
        result = Run(record);
    } catch (...) {
        // Whatever the routine wrote goes, so picture, history and
        // recording never disagree.
        CopyBackBounds(bounds_);
        throw;
    }
    if (result != FilterResult::Done) {
        if (result == FilterResult::Refused)
            CopyBackBounds(bounds_);
        return result;
    }
    if (record_ && !RecordEvent(record)) {
        CopyBackBounds(bounds_);
        return FilterResult::Refused;
    }
    Refresh();
    if (record_)
        PushUndo();
    return FilterResult::Done;
}

bool CFlt4Core::PreviewOnDocument(const FilterRecord& record)
{
    RestoreBackup();
    if (Run(record) != FilterResult::Done) {
        CopyBackBounds(bounds_);
        return false;
    }
    previewed_ = true;
    paper_.RenderAll(true);
    paper_.InvalidateWindow(false);
    return true;
}

bool CFlt4Core::PaintPane(const FilterRecord& record, const EdgeRect& view, TMTC& out)
{
    EdgeRect inside;
    if (!IsReady() || !Intersect(view, {0, 0, backup_->Width, backup_->Height}, inside))
        return false;
    // A layer showing a document preview gets its own pixels back first.
    if (previewed_)
        CopyBackBounds(inside);
    // Outside the bounds the routine has nothing to do: the pane shows the
    // layer as it is.
    const FilterResult result = Run(record, &inside);
    const bool shown = result != FilterResult::Refused && out.Resize(inside.right - inside.left, inside.bottom - inside.top) &&
                       layer_->Store->CopyOut(out, {0, 0}, false, 255, ToExtent(inside));
    CopyBackBounds(inside);
    return shown;
}

bool CFlt4Core::RestoreBackup()
{
    if (!previewed_)
        return false;
    CopyBackBounds(bounds_);
    previewed_ = false;
    return true;
}

void CFlt4Core::EndPreview(bool redraw)
{
    if (RestoreBackup() && redraw) {
        paper_.RenderAll(true);
        paper_.InvalidateWindow(false);
    }
}

void CFlt4Core::CopyBackBounds(const EdgeRect& rect)
{
    if (layer_ && backup_)
        layer_->Store->CopyStore(*backup_, {rect.left, rect.top}, ToExtent(rect));
}

void CFlt4Core::Refresh()
{
    paper_.Host().MarkModified();
    // Only the blocks the run changed are composed and shrunk again; a
    // preview on the document may have shown more, all of it in the bounds.
    EdgeRect changed = bounds_;
    if (!previewed_ && !layer_->Store->DifferingBounds(*backup_, bounds_, changed))
        changed = {};
    if (!changed.IsEmpty()) {
        const ExtentRect picture{changed.left - layer_->OriginX, changed.top - layer_->OriginY,
                                 changed.right - changed.left, changed.bottom - changed.top};
        paper_.RenderRect(picture, true);
        paper_.Host().InvalidateRect(picture);
        paper_.LayerChanged(layerIndex_, picture);
    }
    paper_.Host().ReloadWetPaint(layerIndex_);
}

bool CFlt4Core::RecordEvent(const FilterRecord& record)
{
    int32_t maskIndex = -1, maskId = 0;
    const int16_t mask = int16_t(paper_.CurrentSelection(maskIndex, maskId) ? uint16_t(maskIndex) : kNoMask);
    const int16_t layer = int16_t(layerIndex_);
    const uint8_t code = filter_->code;
    std::span<const uint8_t> bytes = record.bytes;
    if (filter_->data == DataRule::Whole) {
        // The record travels as the data, after a record of zeros.
        FilterDataPayload p;
        p.code = code, p.layer = layer, p.mask = mask;
        p.data.assign(bytes.begin(), bytes.end());
        p.length = uint16_t(p.data.size());
        return paper_.RecordPacket(p.Encode());
    }
    switch (bytes.size()) {
    case 0: {
        FilterPayload p;
        p.code = code, p.layer = layer, p.mask = mask;
        return paper_.RecordPacket(p.Encode());
    }
    case 8: return paper_.RecordPacket(WordsPacket<Filter8Payload>(code, layer, mask, bytes));
    case 16: return paper_.RecordPacket(WordsPacket<Filter16Payload>(code, layer, mask, bytes));
    case 24: return paper_.RecordPacket(WordsPacket<Filter24Payload>(code, layer, mask, bytes));
    default: return false; // records with data come with their filters
    }
}

void CFlt4Core::PushUndo()
{
    HistoryRecord history = HistoryRecord::None();
    if (paper_.UndoEnabled()) {
        history = HistoryRecord{};
        auto record = std::make_unique<CUndoData>(UndoKind::Filter, layerIndex_, layer_->Id, ExtentRect{});
        record->pixels = CPixelCopy::Adopt(std::move(backup_));
        if (record->pixels) {
            record->rect = ToExtent(record->pixels->Rect());
            record->valid = true;
            history.record = std::move(record);
        }
    }
    paper_.KeepHistory(std::move(history));
}

} // namespace morvane
