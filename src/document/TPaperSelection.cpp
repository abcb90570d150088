// The mask list and the selection: new, duplicate, delete, make current,
// move and rename masks; select all, cancel, invert, trim, expand and
// contract, combine, move the selection, masks from layers and the two
// selection flags; the history records of category 6.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <new>

#include "document/CMaskMngr.h"
#include "document/MaskMorphology.h"
#include "document/SelectionOperations.h"
#include "document/TPaper.h"
#include "document/CUndoMngr.h"
#include "document/LayerOperations.h"
#include "codecs/CodePage.h"
#include "platform/UserNotifier.h"
#include "storage/BlendTables.h"
#include "storage/CBlockVMTC.h"

namespace morvane {

namespace {

constexpr const char* kExtendFailed = "makeExtendMask: exception!";
// A moved selection stays within the stream's coordinate reach.
constexpr int64_t kSelectionReach = int64_t(1) << 20;

std::unique_ptr<CUndoData> MaskRecord(UndoKind kind, SUndoValues values)
{
    return CUndoData::Command(kind, -1, -1, ExtentRect{}, values);
}

HistoryRecord Keep(std::unique_ptr<CUndoData> record)
{
    HistoryRecord h;
    h.record = std::move(record);
    return h;
}

int32_t IdOf(const CMaskData& mask) { return int32_t(mask.maskId); }

bool Matches(const CMaskMngr& masks, int32_t index, int32_t id)
{
    const CMaskData* m = masks.At(index);
    return m && IdOf(*m) == id;
}

std::unique_ptr<CMaskData> TakeKept(CUndoData& record)
{
    if (!dynamic_cast<CMaskData*>(record.kept.object.get()))
        return nullptr;
    return std::unique_ptr<CMaskData>(static_cast<CMaskData*>(record.kept.object.release()));
}

// Every byte of the store inverted; uniform blocks only change their value.
void InvertInPlace(CBlockVCH& store)
{
    store.ForEachBlockInRect({0, 0, store.Width, store.Height},
                             [&](SPiece& p) { return store.TransformPiece<uint8_t>(p, [](uint8_t v) { return 255 - v; }); });
}

// The mask's rectangle lies within the canvas on all four sides.
bool InsideCanvas(const CMaskData& mask, int32_t width, int32_t height)
{
    const EdgeRect r = mask.Rect();
    return r.left >= 0 && r.top >= 0 && r.right <= width && r.bottom <= height;
}

uint8_t DensityOf(uint32_t pixel)
{
    const uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
    const uint32_t lightness = (r * 19595 + g * 38469 + b * 7472) >> 16;
    return MulTable[pixel >> 24][255 - lightness];
}

// The layer's store as a coverage at its place on the canvas: its alpha, or
// its density (alpha times darkness).
bool LayerCoverage(const CLayerData& layer, bool transparency, SCoverage& out)
{
    const CBlockVMTC& store = *layer.Store;
    const EdgeRect r{-layer.OriginX, -layer.OriginY, store.Width - layer.OriginX, store.Height - layer.OriginY};
    if (!out.Allocate(r))
        return false;
    for (int32_t y = 0; y < store.Height; ++y) {
        uint8_t* row = out.Row(r.top + y);
        for (int32_t x = 0; x < store.Width; ++x) {
            const uint32_t p = store.GetPixel(x, y);
            row[x] = transparency ? uint8_t(p >> 24) : DensityOf(p);
        }
    }
    return true;
}

// Kinds 53 and 54: the mask goes in after the current one and becomes current.
HistoryRecord InsertRecord(OpContext& c, UndoKind kind, const CMaskData& mask)
{
    const int32_t current = c.paper.Masks().Current();
    return Keep(MaskRecord(kind, {current + 1, IdOf(mask), current, 0}));
}

bool InsertAfterCurrent(OpContext& c, std::unique_ptr<CMaskData> mask)
{
    CMaskMngr& masks = c.paper.Masks();
    const int32_t at = masks.Insert(masks.Current() + 1, std::move(mask));
    return at >= 0 && masks.SetCurrent(at);
}

} // namespace

// ---- new and duplicate ------------------------------------------------------------

Verdict NewMaskOp::Check(OpContext& c) { return c.paper.Masks().CanAdd() ? Verdict::Go : Verdict::Refuse; }

bool NewMaskOp::Prepare(OpContext& c)
{
    CMaskMngr& masks = c.paper.Masks();
    if (duplicate) {
        mask = masks.CurrentMask()->Clone();
        return mask != nullptr;
    }
    mask = std::make_unique<CMaskData>(masks.NextName());
    return true;
}

std::vector<uint8_t> NewMaskOp::Packet(OpContext& c) const
{
    SelectionCommandPayload p;
    p.SetKind(duplicate ? PacketId::DuplicateMask : PacketId::NewMask);
    p.layer = int16_t(c.paper.CurrentLayer()), p.mask = int16_t(c.paper.Masks().Current());
    return p.Encode();
}

HistoryRecord NewMaskOp::History(OpContext& c) { return InsertRecord(c, UndoKind::NewMask, *mask); }

bool NewMaskOp::Apply(OpContext& c, CUndoData*) { return InsertAfterCurrent(c, std::move(mask)); }

void NewMaskOp::Refresh(OpContext& c) { c.paper.RefreshSelection(); }

// ---- delete -------------------------------------------------------------------------

Verdict DeleteMaskOp::Check(OpContext& c)
{
    const CMaskMngr& masks = c.paper.Masks();
    index = masks.Resolve(index);
    if (!masks.IsIndex(index))
        return Verdict::Refuse;
    return masks.Count() > 1 ? Verdict::Go : Verdict::Unchanged;
}

std::vector<uint8_t> DeleteMaskOp::Packet(OpContext& c) const
{
    SelectionCommandPayload p;
    p.SetKind(PacketId::DeleteMask);
    p.layer = int16_t(c.paper.CurrentLayer()), p.mask = int16_t(index);
    return p.Encode();
}

HistoryRecord DeleteMaskOp::History(OpContext& c)
{
    const CMaskMngr& masks = c.paper.Masks();
    return Keep(MaskRecord(UndoKind::DeleteMask, {index, IdOf(*masks.At(index)), masks.Current(), 0}));
}

bool DeleteMaskOp::Apply(OpContext& c, CUndoData* record)
{
    // The deleted mask's place becomes current, as a replay of the packet
    // makes it: the mask after it, or the last one.
    CMaskMngr& masks = c.paper.Masks();
    masks.SetCurrent(index);
    std::unique_ptr<CMaskData> gone = masks.Remove(index);
    if (record)
        record->kept.object = std::move(gone);
    return true;
}

void DeleteMaskOp::Refresh(OpContext& c) { c.paper.RefreshSelection(); }

// ---- make current ---------------------------------------------------------------------

Verdict SelectMaskOp::Check(OpContext& c)
{
    const CMaskMngr& masks = c.paper.Masks();
    if (!masks.IsIndex(index))
        return Verdict::Refuse;
    return index == masks.Current() ? Verdict::Unchanged : Verdict::Go;
}

std::vector<uint8_t> SelectMaskOp::Packet(OpContext& c) const
{
    SelectionCommandPayload p;
    p.SetKind(PacketId::SelectMask);
    p.layer = int16_t(c.paper.CurrentLayer()), p.mask = int16_t(index);
    return p.Encode();
}

HistoryRecord SelectMaskOp::History(OpContext& c)
{
    const CMaskMngr& masks = c.paper.Masks();
    return Keep(MaskRecord(UndoKind::CurrentMask,
                           {index, IdOf(*masks.At(index)), masks.Current(), IdOf(*masks.CurrentMask())}));
}

bool SelectMaskOp::Apply(OpContext& c, CUndoData*) { return c.paper.Masks().SetCurrent(index); }

void SelectMaskOp::Refresh(OpContext& c) { c.paper.RefreshSelection(); }

// ---- move in the list -----------------------------------------------------------------

Verdict MoveMaskOp::Check(OpContext& c)
{
    const CMaskMngr& masks = c.paper.Masks();
    return masks.IsIndex(from) && masks.IsIndex(to) && from != to ? Verdict::Go : Verdict::Refuse;
}

std::vector<uint8_t> MoveMaskOp::Packet(OpContext& c) const
{
    SelectionValuesPayload p;
    p.SetKind(PacketId::MoveMask);
    p.layer = int16_t(c.paper.CurrentLayer()), p.mask = int16_t(from), p.first = to;
    return p.Encode();
}

HistoryRecord MoveMaskOp::History(OpContext& c)
{
    return Keep(MaskRecord(UndoKind::MoveMask, {from, IdOf(*c.paper.Masks().At(from)), to, 0}));
}

// The current mask stays the same mask wherever the move puts it.
static bool MoveMaskKeepingCurrent(CMaskMngr& masks, int32_t from, int32_t to)
{
    const uint32_t current = masks.CurrentMask()->maskId;
    return masks.Move(from, to) && masks.SetCurrent(masks.IndexOfId(current));
}

bool MoveMaskOp::Apply(OpContext& c, CUndoData*) { return MoveMaskKeepingCurrent(c.paper.Masks(), from, to); }

void MoveMaskOp::Refresh(OpContext& c) { c.paper.RefreshSelection(); }

// ---- rename ----------------------------------------------------------------------------

Verdict RenameMaskOp::Check(OpContext& c)
{
    return name == c.paper.Masks().CurrentMask()->name ? Verdict::Unchanged : Verdict::Go;
}

std::vector<uint8_t> RenameMaskOp::Packet(OpContext& c) const
{
    RenameMaskPayload p;
    p.layer = int16_t(c.paper.CurrentLayer()), p.name = Utf8ToCp932(name);
    return p.Encode();
}

HistoryRecord RenameMaskOp::History(OpContext& c)
{
    const CMaskMngr& masks = c.paper.Masks();
    HistoryRecord h = Keep(MaskRecord(UndoKind::MaskName, {masks.Current(), IdOf(*masks.CurrentMask()), 0, 0}));
    if (h.record) {
        h.record->nameA = masks.CurrentMask()->name;
        h.record->nameB = name;
    }
    return h;
}

bool RenameMaskOp::Apply(OpContext& c, CUndoData*)
{
    c.paper.Masks().CurrentMask()->name = name;
    return true;
}

void RenameMaskOp::Refresh(OpContext& c) { c.paper.RefreshSelection(); }

// ---- the current mask's pixels ---------------------------------------------------------

Verdict ChangeSelectionOp::Check(OpContext& c)
{
    const TPaper& paper = c.paper;
    const CMaskMngr& masks = paper.Masks();
    switch (change) {
    case MaskChange::SelectAll: return paper.CurrentLayer() >= 0 && paper.CurrentLayer() < paper.LayerCount() ? Verdict::Go : Verdict::Refuse;
    case MaskChange::Cancel: return masks.CurrentMask()->pixels ? Verdict::Go : Verdict::Unchanged;
    case MaskChange::Trim:
        return masks.ReachesOutside(masks.Current(), paper.Width, paper.Height) ? Verdict::Go : Verdict::Refuse;
    case MaskChange::GrowN:
        if (amount < 1 || amount > kMaxGrowRadius)
            return Verdict::Refuse;
        [[fallthrough]];
    default: return masks.HasSelection() ? Verdict::Go : Verdict::Refuse;
    }
}

bool ChangeSelectionOp::Prepare(OpContext& c)
{
    TPaper& paper = c.paper;
    const CMaskData& mask = *paper.Masks().CurrentMask();
    const EdgeRect canvas{0, 0, paper.Width, paper.Height};
    SCoverage out;
    switch (change) {
    case MaskChange::SelectAll: {
        const CLayerData& layer = *paper.LayerAt(paper.CurrentLayer());
        try {
            // Uniform blocks: a selection of any size costs no pixel memory.
            auto all = std::make_unique<CMaskData>(mask.name);
            all->pixels = std::make_unique<CBlockVCH>(layer.Store->Width, layer.Store->Height);
            if (!all->pixels->IsValid())
                return false;
            all->pixels->FillAll(255);
            all->offsetX = layer.OriginX, all->offsetY = layer.OriginY;
            next = std::move(all);
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    case MaskChange::Cancel:
        next = std::make_unique<CMaskData>(mask.name);
        return true;
    case MaskChange::Invert:
        inPlace = InsideCanvas(mask, paper.Width, paper.Height);
        if (inPlace)
            return true;
        if (!mask.ToCoverage(Union(canvas, mask.Rect()), out)) {
            Notifier().Warn(kExtendFailed);
            return false;
        }
        for (uint8_t& b : out.bytes)
            b = uint8_t(255 - b);
        break;
    case MaskChange::Trim:
        if (!mask.ToCoverage(canvas, out))
            return false;
        break;
    case MaskChange::GrowOne:
    case MaskChange::GrowOneEarlier:
        if (!GrowByOne(mask, expand, change == MaskChange::GrowOne, out))
            return false;
        break;
    case MaskChange::GrowN:
        if (!GrowByN(mask, amount, expand, paper.Width, paper.Height, out))
            return false;
        break;
    }
    next = CMaskData::FromCoverage(out, mask.name);
    return next != nullptr;
}

std::vector<uint8_t> ChangeSelectionOp::Packet(OpContext& c) const
{
    const int16_t layer = int16_t(c.paper.CurrentLayer()), index = int16_t(c.paper.Masks().Current());
    if (change == MaskChange::GrowOne || change == MaskChange::GrowOneEarlier) {
        SelectionValuesPayload p;
        p.SetKind(PacketId::GrowSelectionByOne);
        p.layer = layer, p.mask = index, p.first = expand ? 1 : 0, p.second = change == MaskChange::GrowOne ? 1 : 0;
        return p.Encode();
    }
    if (change == MaskChange::GrowN) {
        SelectionAmountPayload p;
        p.SetKind(expand ? PacketId::ExpandSelection : PacketId::ContractSelection);
        p.layer = layer, p.mask = index, p.amount = uint16_t(amount);
        return p.Encode();
    }
    SelectionCommandPayload p;
    p.SetKind(change == MaskChange::SelectAll ? PacketId::SelectAll
              : change == MaskChange::Cancel  ? PacketId::CancelSelection
              : change == MaskChange::Invert  ? PacketId::InvertSelection
                                              : PacketId::TrimMask);
    p.layer = layer, p.mask = index;
    return p.Encode();
}

HistoryRecord ChangeSelectionOp::History(OpContext& c)
{
    const CMaskMngr& masks = c.paper.Masks();
    if (inPlace)
        return Keep(MaskRecord(UndoKind::InvertSelection, {masks.Current(), IdOf(*masks.CurrentMask()), 0, 0}));
    return Keep(MaskRecord(UndoKind::MaskPixels, {masks.Current(), IdOf(*next), 0, 0}));
}

bool ChangeSelectionOp::Apply(OpContext& c, CUndoData* record)
{
    TPaper& paper = c.paper;
    CMaskMngr& masks = paper.Masks();
    if (inPlace) {
        InvertInPlace(*masks.CurrentMask()->pixels);
        return true;
    }
    std::unique_ptr<CMaskData> former = masks.Replace(masks.Current(), std::move(next));
    if (record)
        record->kept.object = std::move(former);
    if (change == MaskChange::SelectAll)
        paper.SelectionBorderShown = paper.SelectionUsed = true;
    return true;
}

void ChangeSelectionOp::Refresh(OpContext& c) { c.paper.RefreshSelection(); }

// ---- combine ---------------------------------------------------------------------------

Verdict CombineMasksOp::Check(OpContext& c)
{
    const CMaskMngr& masks = c.paper.Masks();
    if (!masks.IsIndex(source) || !masks.IsIndex(target) || source == target || uint8_t(mode) >= kCombineModeCount)
        return Verdict::Refuse;
    return masks.IsMaskValid(source) || mode == CombineMode::Replace ? Verdict::Go : Verdict::Unchanged;
}

bool CombineMasksOp::Prepare(OpContext& c)
{
    const CMaskMngr& masks = c.paper.Masks();
    const CMaskData& from = *masks.At(source);
    const CMaskData& into = *masks.At(target);
    // Replace gives a copy of the source under the target's name.
    bool unchanged = false;
    next = CombineMasks(&into, from, mode, into.name, unchanged);
    if (unchanged)
        next = into.Clone();
    return next != nullptr;
}

std::vector<uint8_t> CombineMasksOp::Packet(OpContext& c) const
{
    SelectionValuesPayload p;
    p.SetKind(PacketId::CombineMask);
    p.layer = int16_t(c.paper.CurrentLayer()), p.mask = int16_t(source), p.first = target, p.second = int32_t(mode);
    return p.Encode();
}

HistoryRecord CombineMasksOp::History(OpContext&)
{
    return Keep(MaskRecord(UndoKind::CombineMasks, {target, IdOf(*next), 0, 0}));
}

bool CombineMasksOp::Apply(OpContext& c, CUndoData* record)
{
    std::unique_ptr<CMaskData> former = c.paper.Masks().Replace(target, std::move(next));
    if (record)
        record->kept.object = std::move(former);
    return true;
}

void CombineMasksOp::Refresh(OpContext& c) { c.paper.RefreshSelection(); }

// ---- move the selection ------------------------------------------------------------------

Verdict MoveSelectionOp::Check(OpContext& c)
{
    const CMaskMngr& masks = c.paper.Masks();
    if (!masks.HasSelection())
        return Verdict::Refuse;
    if (dx == 0 && dy == 0)
        return Verdict::Unchanged;
    const CMaskData& m = *masks.CurrentMask();
    const int64_t x = int64_t(m.offsetX) - dx, y = int64_t(m.offsetY) - dy;
    return std::max(std::abs(x), std::abs(y)) <= kSelectionReach ? Verdict::Go : Verdict::Refuse;
}

std::vector<uint8_t> MoveSelectionOp::Packet(OpContext& c) const
{
    SelectionValuesPayload p;
    p.SetKind(PacketId::MoveSelection);
    p.layer = int16_t(c.paper.CurrentLayer()), p.mask = int16_t(c.paper.Masks().Current()), p.first = dx,
    p.second = dy;
    return p.Encode();
}

HistoryRecord MoveSelectionOp::History(OpContext& c)
{
    const CMaskMngr& masks = c.paper.Masks();
    return Keep(MaskRecord(UndoKind::MoveSelection, {masks.Current(), IdOf(*masks.CurrentMask()), dx, dy}));
}

bool MoveSelectionOp::Apply(OpContext& c, CUndoData*)
{
    CMaskData& m = *c.paper.Masks().CurrentMask();
    m.offsetX -= dx;
    m.offsetY -= dy;
    return true;
}

void MoveSelectionOp::Refresh(OpContext& c) { c.paper.RefreshSelection(); }

// ---- mask from a layer --------------------------------------------------------------------

Verdict MaskFromLayerOp::Check(OpContext& c)
{
    const CLayerData* l = c.paper.LayerAt(layer);
    return l && l->HasStore() && c.paper.Masks().CanAdd() ? Verdict::Go : Verdict::Refuse;
}

bool MaskFromLayerOp::Prepare(OpContext& c)
{
    const CLayerData& l = *c.paper.LayerAt(layer);
    const std::string name = std::string(transparency ? "マスク" : "明度") + "(" + l.Name + ")";
    SCoverage coverage;
    if (!LayerCoverage(l, transparency, coverage))
        return false;
    const CMaskMngr& masks = c.paper.Masks();
    bool unchanged = false;
    // With the combine option the layer's coverage is added to what is
    // selected now.
    if (combine && masks.HasSelection())
        mask = CombineCoverage(masks.CurrentMask(), coverage, CombineMode::Add, name, unchanged);
    else
        mask = CMaskData::FromCoverage(coverage, name);
    return mask != nullptr;
}

std::vector<uint8_t> MaskFromLayerOp::Packet(OpContext& c) const
{
    SelectionValuesPayload p;
    p.SetKind(PacketId::MaskFromLayer);
    p.layer = int16_t(layer), p.mask = int16_t(c.paper.Masks().Current()), p.first = transparency ? 1 : 0,
    p.second = combine ? 1 : 0;
    return p.Encode();
}

HistoryRecord MaskFromLayerOp::History(OpContext& c) { return InsertRecord(c, UndoKind::MaskFromLayer, *mask); }

bool MaskFromLayerOp::Apply(OpContext& c, CUndoData*) { return InsertAfterCurrent(c, std::move(mask)); }

void MaskFromLayerOp::Refresh(OpContext& c) { c.paper.RefreshSelection(); }

// ---- the two selection flags ----------------------------------------------------------------

namespace {
int32_t PackedFlags(bool border, bool used) { return (border ? 1 : 0) | (used ? 0x10000 : 0); }
} // namespace

Verdict SelectionFlagsOp::Check(OpContext& c)
{
    const TPaper& p = c.paper;
    if (!p.Masks().CurrentMask())
        return Verdict::Refuse;
    return (border ? p.SelectionBorderShown : p.SelectionUsed) == on ? Verdict::Unchanged : Verdict::Go;
}

std::vector<uint8_t> SelectionFlagsOp::Packet(OpContext& c) const
{
    const TPaper& paper = c.paper;
    SelectionValuesPayload p;
    p.SetKind(border ? PacketId::ShowSelectionBorder : PacketId::UseSelection);
    p.layer = int16_t(paper.CurrentLayer()), p.mask = int16_t(paper.Masks().Current());
    p.first = PackedFlags(paper.SelectionBorderShown, paper.SelectionUsed);
    p.second = border ? PackedFlags(on, paper.SelectionUsed) : PackedFlags(paper.SelectionBorderShown, on);
    return p.Encode();
}

HistoryRecord SelectionFlagsOp::History(OpContext& c)
{
    const TPaper& p = c.paper;
    const int32_t former = PackedFlags(p.SelectionBorderShown, p.SelectionUsed);
    const int32_t next = border ? PackedFlags(on, p.SelectionUsed) : PackedFlags(p.SelectionBorderShown, on);
    return Keep(MaskRecord(UndoKind::SelectionDisplay, {former, next, 0, 0}));
}

bool SelectionFlagsOp::Apply(OpContext& c, CUndoData*)
{
    (border ? c.paper.SelectionBorderShown : c.paper.SelectionUsed) = on;
    return true;
}

void SelectionFlagsOp::Refresh(OpContext& c) { c.paper.RefreshSelection(); }

// ---- the selection as the layer's alpha ------------------------------------------------------

Verdict MaskIntoAlphaOp::Check(OpContext& c)
{
    const CLayerData* layer = c.paper.LayerAt(index);
    return layer && layer->HasStore() && c.paper.Masks().HasSelection() ? Verdict::Go : Verdict::Refuse;
}

std::vector<uint8_t> MaskIntoAlphaOp::Packet(OpContext& c) const
{
    SelectionCommandPayload p;
    p.SetKind(PacketId::SelectionToAlpha);
    p.layer = int16_t(index), p.mask = int16_t(c.paper.Masks().Current());
    return p.Encode();
}

HistoryRecord MaskIntoAlphaOp::History(OpContext& c) { return WholeAlphaRecord(c, index); }

bool MaskIntoAlphaOp::Apply(OpContext& c, CUndoData*)
{
    CLayerData& layer = *c.paper.LayerAt(index);
    const CMaskData& mask = *c.paper.Masks().CurrentMask();
    CBlockVMTC& store = *layer.Store;
    layer.SetAllAlpha(0);
    // The mask's rectangle in store coordinates, clipped to the store.
    const EdgeRect m = mask.Rect();
    EdgeRect r;
    if (!Intersect({m.left + layer.OriginX, m.top + layer.OriginY, m.right + layer.OriginX, m.bottom + layer.OriginY},
                   {0, 0, store.Width, store.Height}, r))
        return true;
    std::vector<uint8_t> row(size_t(r.right - r.left));
    for (int32_t y = r.top; y < r.bottom; ++y) {
        mask.ReadRow(y - layer.OriginY, r.left - layer.OriginX, int32_t(row.size()), row.data());
        for (int32_t x = r.left; x < r.right; ++x)
            if (row[size_t(x - r.left)] != 0 &&
                !store.SetPixel(x, y, (store.GetPixel(x, y) & 0x00FFFFFFu) | uint32_t(row[size_t(x - r.left)]) << 24))
                return false;
    }
    store.CompactRect(r);
    return true;
}

void MaskIntoAlphaOp::Refresh(OpContext& c) { RefreshWholeLayer(c, index); }

bool TPaper::MaskIntoAlpha(int32_t layer, bool record) { return RunOperation(*this, MaskIntoAlphaOp{layer}, record); }

// ---- the document's side ---------------------------------------------------------------------

bool TPaper::NewMask(bool record) { return RunOperation(*this, NewMaskOp{false}, record); }
bool TPaper::DuplicateMask(bool record) { return RunOperation(*this, NewMaskOp{true}, record); }
bool TPaper::DeleteMask(int32_t index, bool record) { return RunOperation(*this, DeleteMaskOp{index}, record); }
bool TPaper::SelectMask(int32_t index, bool record) { return RunOperation(*this, SelectMaskOp{index}, record); }
bool TPaper::MoveMask(int32_t from, int32_t to, bool record)
{
    return RunOperation(*this, MoveMaskOp{from, to}, record);
}
bool TPaper::RenameMask(const std::string& name, bool record) { return RunOperation(*this, RenameMaskOp{name}, record); }
bool TPaper::SelectAll(bool record) { return RunOperation(*this, ChangeSelectionOp{MaskChange::SelectAll}, record); }
bool TPaper::CancelSelection(bool record)
{
    return RunOperation(*this, ChangeSelectionOp{MaskChange::Cancel}, record);
}
bool TPaper::InvertSelection(bool record)
{
    return RunOperation(*this, ChangeSelectionOp{MaskChange::Invert}, record);
}
bool TPaper::TrimSelection(bool record) { return RunOperation(*this, ChangeSelectionOp{MaskChange::Trim}, record); }
bool TPaper::GrowSelectionByOne(bool expand, bool currentForm, bool record)
{
    return RunOperation(
        *this, ChangeSelectionOp{currentForm ? MaskChange::GrowOne : MaskChange::GrowOneEarlier, expand}, record);
}
bool TPaper::GrowSelection(int32_t n, bool expand, bool record)
{
    return RunOperation(*this, ChangeSelectionOp{MaskChange::GrowN, expand, n}, record);
}
bool TPaper::CombineMasks(int32_t source, int32_t target, CombineMode mode, bool record)
{
    return RunOperation(*this, CombineMasksOp{source, target, mode}, record);
}
bool TPaper::MoveSelection(int32_t dx, int32_t dy, bool record)
{
    return RunOperation(*this, MoveSelectionOp{dx, dy}, record);
}
bool TPaper::MaskFromLayer(int32_t layer, bool transparency, bool combine, bool record)
{
    return RunOperation(*this, MaskFromLayerOp{layer, transparency, combine}, record);
}
bool TPaper::SetSelectionBorderShown(bool on, bool record)
{
    return RunOperation(*this, SelectionFlagsOp{true, on}, record);
}
bool TPaper::SetSelectionUsed(bool on, bool record) { return RunOperation(*this, SelectionFlagsOp{false, on}, record); }

const CMaskData* TPaper::ActiveSelection() const
{
    return SelectionUsed && masks_->HasSelection() ? masks_->CurrentMask() : nullptr;
}

void TPaper::RefreshSelection()
{
    masks_->OutlineIndex = masks_->HasSelection() ? masks_->Current() : -1;
    masks_->Ants.Build(masks_->HasSelection() ? masks_->CurrentMask() : nullptr, Width, Height);
    host_.SelectionChanged();
    host_.InvalidateWindow(false);
}

std::unique_ptr<CMaskData> TPaper::CombinedWithSelection(const SCoverage& coverage, CombineMode mode, bool& unchanged)
{
    const CMaskData& current = *masks_->CurrentMask();
    std::unique_ptr<CMaskData> mask = CombineCoverage(&current, coverage, mode, current.name, unchanged);
    if (mask && mode == CombineMode::Add)
        mask = TrimMargins(std::move(mask), Width, Height);
    return mask;
}

void TPaper::ShiftMasks(int32_t dx, int32_t dy)
{
    for (int32_t i = 0; i < masks_->Count(); ++i) {
        CMaskData& m = *masks_->At(i);
        m.offsetX = int32_t(std::clamp<int64_t>(int64_t(m.offsetX) - dx, INT32_MIN, INT32_MAX));
        m.offsetY = int32_t(std::clamp<int64_t>(int64_t(m.offsetY) - dy, INT32_MIN, INT32_MAX));
    }
}

std::unique_ptr<CMaskMngr> TPaper::SwapMasks(std::unique_ptr<CMaskMngr> masks)
{
    std::swap(masks_, masks);
    return masks;
}

bool TPaper::CurrentSelection(int32_t& maskIndex, int32_t& maskId) const
{
    if (!masks_->HasSelection())
        return false;
    maskIndex = masks_->Current();
    maskId = IdOf(*masks_->CurrentMask());
    return true;
}

bool TPaper::ShiftSelection(int32_t maskIndex, uint16_t maskIdLow, int32_t dx, int32_t dy)
{
    CMaskData* m = masks_->At(maskIndex);
    if (!m || uint16_t(m->maskId) != maskIdLow)
        return false;
    m->offsetX = int32_t(int64_t(m->offsetX) - dx);
    m->offsetY = int32_t(int64_t(m->offsetY) - dy);
    return true;
}

// ---- history records of category 6 ------------------------------------------------------------

bool TPaper::ApplyMaskRecord(CUndoData& record, bool undo)
{
    CMaskMngr& masks = *masks_;
    SUndoValues& v = record.values;
    switch (record.Id()) {
    case UndoKind::NewMask:
    case UndoKind::MaskFromLayer:
    case UndoKind::DeleteMask: {
        // Taking the mask out undoes an insert and redoes a delete.
        const bool takeOut = undo == (record.Id() != UndoKind::DeleteMask);
        if (takeOut) {
            if (!Matches(masks, v.a, v.b))
                return false;
            record.kept.object = masks.Remove(v.a);
            return masks.SetCurrent(std::clamp(undo ? v.c : v.a, 0, masks.Count() - 1));
        }
        std::unique_ptr<CMaskData> mask = TakeKept(record);
        if (!mask || IdOf(*mask) != v.b || masks.Insert(v.a, std::move(mask)) < 0)
            return false;
        return masks.SetCurrent(undo ? v.c : v.a);
    }
    case UndoKind::MaskPixels:
    case UndoKind::CombineMasks: {
        std::unique_ptr<CMaskData> mask = TakeKept(record);
        if (!mask || !Matches(masks, v.a, v.b))
            return false;
        v.b = IdOf(*mask);
        record.kept.object = masks.Replace(v.a, std::move(mask));
        return true;
    }
    case UndoKind::CurrentMask:
        return undo ? Matches(masks, v.c, v.d) && masks.SetCurrent(v.c)
                    : Matches(masks, v.a, v.b) && masks.SetCurrent(v.a);
    case UndoKind::MoveMask:
        if (!Matches(masks, undo ? v.c : v.a, v.b))
            return false;
        return undo ? MoveMaskKeepingCurrent(masks, v.c, v.a) : MoveMaskKeepingCurrent(masks, v.a, v.c);
    case UndoKind::InvertSelection:
        if (!Matches(masks, v.a, v.b) || !masks.IsMaskValid(v.a))
            return false;
        InvertInPlace(*masks.At(v.a)->pixels);
        return true;
    case UndoKind::MoveSelection:
        return ShiftSelection(v.a, uint16_t(v.b), undo ? -v.c : v.c, undo ? -v.d : v.d);
    case UndoKind::SelectionDisplay:
        SelectionBorderShown = (v.a & 1) != 0;
        SelectionUsed = (v.a & 0x10000) != 0;
        std::swap(v.a, v.b);
        return true;
    case UndoKind::MaskName:
        if (!Matches(masks, v.a, v.b))
            return false;
        masks.At(v.a)->name = record.nameA;
        std::swap(record.nameA, record.nameB);
        return true;
    default: return false;
    }
}

} // namespace morvane
