// Operations of the layer panel on attributes, visibility, content shifts
// and link groups. Changes that cannot fail are recorded first; those that
// can (a store that must grow, a block move) are built or made first and
// undone again when their packet cannot be kept, so the stream never holds
// a change the picture lacks.
#include <algorithm>
#include <functional>
#include <new>
#include <vector>

#include "document/EventPacket.h"
#include "document/SLayerParam.h"
#include "document/TPaper.h"
#include "platform/BusyCursor.h"
#include "platform/DiagnosticSink.h"
#include "platform/UserNotifier.h"
#include "storage/SizeLimits.h"

namespace morvane {

namespace {
constexpr const char* kNoMemory = "メモリ不足により正常に実行できませんでした！";

// What a link or visibility record keeps, one entry per layer concerned:
// visibility flags, link levels or layer Ids.
class CKeptTables final : public IUndoKept {
public:
    std::vector<int32_t> a, b;
    int64_t HeldBytes() const override { return int64_t(a.size() + b.size()) * int64_t(sizeof(int32_t)); }
};

CKeptTables* TablesOf(CUndoData& r)
{
    return dynamic_cast<CKeptTables*>(r.kept.object.get());
}

// read(layer) of layers first ... first + count - 1; nullptr when memory runs out.
std::unique_ptr<CKeptTables> TableOf(const CLayerMngr& layers, int32_t first, int32_t count,
                                     int32_t (*read)(const CLayerData&))
{
    try {
        auto tables = std::make_unique<CKeptTables>();
        tables->a.reserve(size_t(count));
        tables->b.reserve(size_t(count));
        for (int32_t k = 0; k < count; ++k)
            tables->a.push_back(read(*layers.At(first + k)));
        return tables;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int32_t VisibleOf(const CLayerData& l)
{
    return l.Visible;
}
int32_t LevelOf(const CLayerData& l)
{
    return l.LinkLevel;
}
int32_t IdOf(const CLayerData& l)
{
    return l.Id;
}

void WriteLevels(CLayerMngr& layers, int32_t first, const std::vector<int32_t>& levels)
{
    for (size_t k = 0; k < levels.size(); ++k)
        layers.At(first + int32_t(k))->SetLevel(levels[k]);
}

// The identity rule: the layers from first on are still the ones recorded.
bool SameIds(const CLayerMngr& layers, int32_t first, const std::vector<int32_t>& ids)
{
    if (first < 0 || int64_t(first) + int64_t(ids.size()) > layers.Count())
        return false;
    for (size_t k = 0; k < ids.size(); ++k)
        if (layers.IdAt(first + int32_t(k)) != ids[k])
            return false;
    return true;
}

// The record's layer is still at its index.
bool AtItsIndex(const CUndoData& r, const CLayerMngr& layers)
{
    return layers.IdAt(r.layerIndex) == r.layerId;
}

bool Recorded(const EventPacket& packet, EventRecorder& recorder, bool record)
{
    return !record || packet.SendTo(recorder);
}

// History records refresh in store coordinates: the picture's place in the
// layer's store covers everything a stack-wide change shows.
ExtentRect PictureIn(const CLayerData& l, const TPaper& paper)
{
    return {l.OriginX, l.OriginY, paper.Width, paper.Height};
}

// A history that lost a record would apply older ones to a stack they do
// not describe: without the record it goes as a whole.
void Pushed(CUndoMngrEx& undo, bool ok)
{
    if (!ok)
        undo.ClearHistory();
}

// The attributes packets {4,16}-{4,18} and {4,21} carry: the values after
// the change.
struct SLook {
    uint8_t mode, opacity;
    bool visible, protect, dither;
    uint8_t density;
    uint32_t seed;
};

SLook LookOf(const CLayerData& l)
{
    return {l.Mode, l.Opacity, l.Visible, l.ProtectAlpha, l.Dither, l.DitherDensity, l.DitherSeed.Value};
}

EventPacket LookPacket(uint8_t code, int32_t index, const SLook& look)
{
    const bool properties = code == 21;
    const int32_t flags = int32_t(look.visible) | int32_t(look.protect) << 1 | int32_t(look.dither) << 4;
    EventPacket packet(4, code, properties ? 18 : 6);
    packet.I16(0, index).Byte(2, look.mode).Byte(3, look.opacity).I16(4, flags);
    if (properties)
        packet.Byte(6, look.density).U32(8, look.seed);
    return packet;
}

// ---- shifts ----------------------------------------------------------------------------

// Whether the picture still lies inside the store after a shift by (dx, dy).
bool CoversAfterShift(const CLayerData& l, int32_t dx, int32_t dy)
{
    const int64_t ox = int64_t(l.OriginX) - dx, oy = int64_t(l.OriginY) - dy;
    return ox >= 0 && oy >= 0 && ox <= int64_t(l.Store->Width) - l.NominalW &&
           oy <= int64_t(l.Store->Height) - l.NominalH;
}

// The layer shifted into a store grown (transparent) to the union of its old
// store and the picture; nullptr past the store limits or out of memory.
std::unique_ptr<CLayerData> GrownAndShifted(const CLayerData& l, int32_t dx, int32_t dy)
{
    const int64_t ox = int64_t(l.OriginX) - dx, oy = int64_t(l.OriginY) - dy;
    const int64_t left = std::min<int64_t>(-ox, 0), top = std::min<int64_t>(-oy, 0);
    const int64_t right = std::max<int64_t>(l.Store->Width - ox, l.NominalW);
    const int64_t bottom = std::max<int64_t>(l.Store->Height - oy, l.NominalH);
    if (!IsStoreSizeAllowed(right - left, bottom - top))
        return nullptr;
    std::unique_ptr<CLayerData> grown;
    try {
        grown = l.Resized(int32_t(right - left), int32_t(bottom - top),
                          {int32_t(-ox - left), int32_t(-oy - top)});
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    if (!grown)
        return nullptr;
    grown->CopyAttributes(l);
    grown->Shift(dx, dy);
    return grown;
}

// Shifts layers first ... first + count - 1 (a layer and its linked run).
// Every store that must grow is grown before anything is recorded.
bool ShiftLayers(TPaper& paper, int32_t first, int32_t count, int32_t dx, int32_t dy, bool record)
{
    CLayerMngr& layers = paper.Layers();
    std::vector<std::unique_ptr<CLayerData>> grown;
    std::unique_ptr<CKeptTables> ids = TableOf(layers, first, count, IdOf);
    try {
        grown.resize(size_t(count));
    } catch (const std::bad_alloc&) {
        ids.reset();
    }
    if (!ids) {
        Notifier().Warn(kNoMemory);
        return false;
    }
    bool anyGrown = false;
    for (int32_t k = 0; k < count; ++k) {
        const CLayerData& l = *layers.At(first + k);
        if (!l.HasStore())
            return false;
        if (CoversAfterShift(l, dx, dy))
            continue;
        grown[size_t(k)] = GrownAndShifted(l, dx, dy);
        if (!grown[size_t(k)]) {
            Notifier().Warn(kNoMemory);
            return false;
        }
        ids->a[size_t(k)] = grown[size_t(k)]->Id;
        anyGrown = true;
    }
    const bool run = count > 1;
    EventPacket packet = run ? EventPacket(5, 9, 20).I32(4, dx).I32(8, dy).I32(12, -1).I32(16, count)
                             : EventPacket(4, anyGrown ? 7 : 6, 12).I32(4, dy).I32(8, dx);
    if (!Recorded(packet.I16(0, first), paper.Events(), record))
        return false;
    CUndoMngrEx* undo = record ? paper.UndoManager() : nullptr;
    if (!run && !anyGrown) {
        CLayerData& l = *layers.At(first);
        if (undo)
            Pushed(*undo, undo->PushAttribute(l, first, 0, kUndoPosition));
        l.Shift(dx, dy);
        return true;
    }
    SUndoCommand command;
    command.kind = run ? 43 : 34;
    command.layerIndex = first;
    command.values = {count, dx, dy, 0};
    // Each grown layer goes in and its former one takes its slot in grown.
    for (int32_t k = 0; k < count; ++k) {
        std::unique_ptr<CLayerData>& slot = grown[size_t(k)];
        if (slot)
            slot = layers.ReplaceLayer(first + k, std::move(slot));
        else
            layers.At(first + k)->Shift(dx, dy);
    }
    command.layerId = layers.IdAt(first);
    command.rect = PictureIn(*layers.At(first), paper);
    if (run) {
        command.kept.layers = std::move(grown);
        command.kept.object = std::move(ids);
    } else {
        command.kept.layer = std::move(grown[0]);
    }
    if (undo)
        Pushed(*undo, undo->PushCommand(std::move(command)));
    return true;
}

// Kind 43: per layer of the run, the kept former layer changes places with
// the one in the stack, or the layer moves back (undo) or again (redo).
bool ApplyRunShift(CUndoData& r, CLayerMngr& layers, bool undo)
{
    CKeptTables* ids = TablesOf(r);
    const int32_t first = layers.IndexOfId(r.layerId);
    if (!ids || ids->a.size() != r.kept.layers.size() || !SameIds(layers, first, ids->a))
        return false;
    const int32_t sign = undo ? -1 : 1;
    for (size_t k = 0; k < ids->a.size(); ++k) {
        const int32_t i = first + int32_t(k);
        std::unique_ptr<CLayerData>& kept = r.kept.layers[k];
        if (kept) {
            ids->a[k] = kept->Id;
            kept = layers.ReplaceLayer(i, std::move(kept));
        } else {
            layers.At(i)->Shift(r.values.b * sign, r.values.c * sign);
        }
    }
    r.layerId = ids->a[0];
    return true;
}

// ---- visibility ----------------------------------------------------------------------

// Kinds 45-48: the kept flags and the layers' flags change places.
bool SwapVisibility(CUndoData& r, CLayerMngr& layers)
{
    CKeptTables* flags = TablesOf(r);
    if (!flags || int64_t(flags->a.size()) != layers.Count() || !AtItsIndex(r, layers))
        return false;
    for (int32_t i = 0; i < layers.Count(); ++i) {
        CLayerData& l = *layers.At(i);
        const bool was = l.Visible;
        l.Visible = flags->a[size_t(i)] != 0;
        flags->a[size_t(i)] = was;
    }
    return true;
}

// A visibility change of several layers: every flag is kept for the history.
bool ChangeVisibility(TPaper& paper, int kind, const EventPacket& packet, int32_t index,
                      const std::function<void(CLayerMngr&)>& change, bool record)
{
    CLayerMngr& layers = paper.Layers();
    std::unique_ptr<CKeptTables> flags = TableOf(layers, 0, layers.Count(), VisibleOf);
    if (!flags) {
        Notifier().Warn(kNoMemory);
        return false;
    }
    if (!Recorded(packet, paper.Events(), record))
        return false;
    if (CUndoMngrEx* undo = paper.UndoManager(); record && undo) {
        SUndoCommand command;
        command.kind = kind;
        command.layerIndex = index;
        command.layerId = layers.IdAt(index);
        command.rect = PictureIn(*layers.At(index), paper);
        command.kept.object = std::move(flags);
        Pushed(*undo, undo->PushCommand(std::move(command)));
    }
    change(layers);
    return true;
}

// ---- link groups ---------------------------------------------------------------------

// Kind 38: the level table from before (undo) or after (redo) the change.
bool ApplyLevels(CUndoData& r, CLayerMngr& layers, bool undo)
{
    const CKeptTables* levels = TablesOf(r);
    if (!levels || int64_t(levels->a.size()) != layers.Count() || levels->b.size() != levels->a.size() ||
        !AtItsIndex(r, layers))
        return false;
    WriteLevels(layers, 0, undo ? levels->a : levels->b);
    return true;
}

// The current layer stays on the layer it was on.
void KeepCurrentOn(CLayerMngr& layers, int32_t id)
{
    if (const int32_t i = layers.IndexOfId(id); i >= 0)
        layers.SetCurrent(i);
}

// Kind 42, both ways alike: the run at valueB goes back to valueA with the
// levels it had there; the record then describes the way back.
bool ApplyGroupMove(CUndoData& r, CLayerMngr& layers)
{
    CKeptTables* levels = TablesOf(r);
    SUndoValues& v = r.values;
    if (!levels || int64_t(levels->a.size()) != v.c || layers.IdAt(v.b) != r.layerId)
        return false;
    std::unique_ptr<CKeptTables> now = TableOf(layers, v.b, v.c, LevelOf);
    const int32_t current = layers.IdAt(layers.Current());
    if (!now || layers.MoveBlock(v.a, v.b, v.c) != v.a)
        return false;
    WriteLevels(layers, v.a, levels->a);
    levels->a = std::move(now->a);
    std::swap(v.a, v.b);
    KeepCurrentOn(layers, current);
    return true;
}

// Kind 39: the deleted leader comes back at its index and its run one level
// deeper (undo), or leaves again (redo). The run's Ids are checked first.
bool ApplyLeaderDeletion(CUndoData& r, CLayerMngr& layers, bool undo)
{
    const CKeptTables* run = TablesOf(r);
    const int32_t i = r.layerIndex;
    if (!run)
        return false;
    if (undo) {
        if (!r.kept.layer || r.kept.layer->Id != r.layerId || !SameIds(layers, i, run->a) || !layers.CanAdd())
            return false;
        layers.InsertLayer(i, std::move(r.kept.layer));
        layers.SetCurrent(i);
    } else {
        if (r.kept.layer || !AtItsIndex(r, layers) || !SameIds(layers, i + 1, run->a))
            return false;
        r.kept.layer = layers.RemoveLayer(i);
    }
    const int32_t step = undo ? 1 : -1;
    const int32_t first = undo ? i + 1 : i;
    for (size_t k = 0; k < run->a.size(); ++k) {
        CLayerData& l = *layers.At(first + int32_t(k));
        l.SetLevel(l.LinkLevel + step);
    }
    return true;
}

// Kind 41: the group's layers come back from its first index (undo) or
// leave again (redo).
bool ApplyGroupDeletion(CUndoData& r, CLayerMngr& layers, bool undo)
{
    const CKeptTables* ids = TablesOf(r);
    const int32_t first = r.layerIndex, n = ids ? int32_t(ids->a.size()) : 0;
    if (n < 1 || r.kept.layers.size() != size_t(n))
        return false;
    if (undo) {
        if (first > layers.Count() || layers.Count() > CLayerMngr::kMaxLayers - n)
            return false;
        for (int32_t k = 0; k < n; ++k)
            if (!r.kept.layers[size_t(k)] || r.kept.layers[size_t(k)]->Id != ids->a[size_t(k)])
                return false;
        for (int32_t k = 0; k < n; ++k)
            layers.InsertLayer(first + k, std::move(r.kept.layers[size_t(k)]));
        layers.SetCurrent(first);
        return true;
    }
    if (!SameIds(layers, first, ids->a) || layers.Count() == n)
        return false;
    for (int32_t k = 0; k < n; ++k)
        r.kept.layers[size_t(k)] = layers.RemoveLayer(first);
    return true;
}
} // namespace

// ---- attributes ------------------------------------------------------------------------

bool TPaper::SetLayerVisible(int32_t index, bool visible, bool record)
{
    CLayerData* layer = layers_->At(index);
    if (!layer)
        return false;
    if (layer->Visible == visible)
        return true;
    SLook look = LookOf(*layer);
    look.visible = visible;
    const EventPacket packet = LookPacket(18, index, look);
    const int32_t run = layers_->LinkedRunLength(index);
    if (run > 0) {
        // A leader shows or hides its whole run.
        if (!ChangeVisibility(
                *this, 48, packet, index,
                [&](CLayerMngr& layers) { layers.SetVisibleRun(index, run + 1, visible); }, record))
            return false;
    } else {
        if (!Recorded(packet, *recorder_, record))
            return false;
        if (record && undo_)
            Pushed(*undo_, undo_->PushAttribute(*layer, index, visible, kUndoVisible));
        layer->Visible = visible;
    }
    RefreshWholePicture();
    return true;
}

bool TPaper::SetLayerOpacity(int32_t index, int32_t opacity, bool record)
{
    CLayerData* layer = layers_->At(index);
    if (!layer || opacity < 0 || opacity > 255)
        return false;
    SLook look = LookOf(*layer);
    look.opacity = uint8_t(opacity);
    if (!Recorded(LookPacket(17, index, look), *recorder_, record))
        return false;
    // A leader's record keeps the size of its run as the group value.
    const int32_t run = layers_->LinkedRunLength(index);
    if (record && undo_)
        Pushed(*undo_, undo_->PushAttribute(*layer, index, opacity,
                                            run > 0 ? kUndoOpacityLinked : kUndoOpacity, run));
    layer->Opacity = uint8_t(opacity);
    RefreshWholePicture();
    return true;
}

bool TPaper::SetLayerDither(int32_t index, bool dither, int32_t density, bool record)
{
    CLayerData* layer = layers_->At(index);
    if (!layer || density < 0 || density > 255)
        return false;
    SLook look = LookOf(*layer);
    look.dither = dither;
    look.density = uint8_t(density);
    if (!Recorded(LookPacket(21, index, look), *recorder_, record))
        return false;
    if (record && undo_)
        Pushed(*undo_, undo_->PushAttribute(*layer, index, int32_t(dither) | density << 8, kUndoDither));
    layer->Dither = dither;
    layer->DitherDensity = uint8_t(density);
    RefreshWholePicture();
    return true;
}

bool TPaper::SetLayerProtectAlpha(int32_t index, bool protect, bool record)
{
    CLayerData* layer = layers_->At(index);
    if (!layer)
        return false;
    if (layer->ProtectAlpha == protect)
        return true;
    SLook look = LookOf(*layer);
    look.protect = protect;
    if (!Recorded(LookPacket(20, index, look), *recorder_, record))
        return false;
    if (record && undo_)
        Pushed(*undo_, undo_->PushAttribute(*layer, index, protect, kUndoProtectAlpha));
    // Nothing on screen changes; strokes read the flag when they begin.
    layer->ProtectAlpha = protect;
    host_.RefreshLayerEntry(index);
    host_.MarkModified();
    return true;
}

bool TPaper::SetLayerMode(int32_t index, int32_t mode, bool record)
{
    CLayerData* layer = layers_->At(index);
    if (!layer || !IsValidMode(mode))
        return false;
    SLook look = LookOf(*layer);
    look.mode = uint8_t(mode);
    if (!Recorded(LookPacket(16, index, look), *recorder_, record))
        return false;
    if (record && undo_)
        Pushed(*undo_, undo_->PushAttribute(*layer, index, mode, kUndoMode));
    layer->SetMode(mode);
    RefreshWholePicture();
    return true;
}

// ---- visibility of several layers --------------------------------------------------------

bool TPaper::ShowOnlyLayer(int32_t index, bool record)
{
    const CLayerData* layer = layers_->At(index);
    if (!layer || (layer->Visible && layers_->VisibleCount() == 1))
        return false;
    if (!ChangeVisibility(
            *this, 45, EventPacket(2, 25, 4).I16(0, index), index,
            [index](CLayerMngr& layers) { layers.ShowOnly(index); }, record))
        return false;
    RefreshWholePicture();
    return true;
}

bool TPaper::ShowAllLayers(bool show, bool record)
{
    const int32_t visible = layers_->VisibleCount(), current = layers_->Current();
    if (!layers_->IsValidIndex(current) || visible == (show ? layers_->Count() : 0))
        return false;
    if (!ChangeVisibility(
            *this, 46, EventPacket(2, 24, 4).I16(0, current).I16(2, show ? 1 : 0), current,
            [show](CLayerMngr& layers) { layers.SetAllVisible(show); }, record))
        return false;
    RefreshWholePicture();
    return true;
}

bool TPaper::InvertLayerVisibility(bool record)
{
    const int32_t current = layers_->Current();
    if (!layers_->IsValidIndex(current))
        return false;
    if (!ChangeVisibility(
            *this, 47, EventPacket(2, 26, 4).I16(0, current), current,
            [](CLayerMngr& layers) { layers.ToggleAllVisible(); }, record))
        return false;
    RefreshWholePicture();
    return true;
}

bool TPaper::SetLinkGroupVisible(int32_t index, int32_t count, bool visible, bool record)
{
    if (!layers_->IsValidIndex(index) || count < 1)
        return false;
    count = std::min(count, layers_->Count() - index);
    if (!ChangeVisibility(
            *this, 48, EventPacket(5, 16, 12).I16(0, index).I16(2, visible ? 1 : 0).I32(4, count), index,
            [&](CLayerMngr& layers) { layers.SetVisibleRun(index, count, visible); }, record))
        return false;
    RefreshWholePicture();
    return true;
}

// ---- shifts --------------------------------------------------------------------------

bool TPaper::ShiftLayer(int32_t index, int32_t dx, int32_t dy, bool record)
{
    if (!layers_->IsValidIndex(index))
        return false;
    if (dx == 0 && dy == 0)
        return true;
    BusyCursor busy;
    if (!ShiftLayers(*this, index, layers_->LinkedRunLength(index) + 1, dx, dy, record))
        return false;
    RefreshWholePicture();
    return true;
}

// Masks do not exist yet: without a selection this is the plain shift, and a
// selection (which nothing can make yet) is refused rather than ignored.
bool TPaper::ShiftLayerMasked(int32_t index, int32_t dx, int32_t dy, bool record)
{
    int32_t maskIndex = -1, maskId = -1;
    if (CurrentSelection(maskIndex, maskId)) {
        Diagnose("shift through a selection is not available");
        return false;
    }
    return ShiftLayer(index, dx, dy, record);
}

// ---- link groups ---------------------------------------------------------------------

bool TPaper::LinkLayer(int32_t index, bool link, bool record)
{
    if (!layers_->IsValidIndex(index))
        return false;
    std::unique_ptr<CKeptTables> levels = TableOf(*layers_, 0, layers_->Count(), LevelOf);
    if (!levels) {
        Notifier().Warn(kNoMemory);
        return false;
    }
    if (!(link ? layers_->RaiseLevel(index) : layers_->LowerLevel(index)))
        return false;
    const int32_t c = layers_->Count();
    for (int32_t i = 0; i < c; ++i)
        levels->b.push_back(layers_->At(i)->LinkLevel); // reserved by TableOf
    EventPacket packet(5, link ? 0 : 1, 24 + 2 * size_t(c));
    packet.I16(0, index).I16(2, c).Byte(6, 1).Byte(7, 2).I32(12, 2 * c);
    for (int32_t i = 0; i < c; ++i)
        packet.Byte(24 + size_t(i), uint8_t(levels->a[size_t(i)]))
            .Byte(24 + size_t(c + i), uint8_t(levels->b[size_t(i)]));
    if (!Recorded(packet, *recorder_, record)) {
        WriteLevels(*layers_, 0, levels->a);
        return false;
    }
    if (record && undo_) {
        SUndoCommand command;
        command.kind = 38;
        command.layerIndex = index;
        command.layerId = layers_->IdAt(index);
        command.rect = PictureIn(*layers_->At(index), *this);
        command.kept.object = std::move(levels);
        Pushed(*undo_, undo_->PushCommand(std::move(command)));
    }
    RefreshWholePicture();
    return true;
}

bool TPaper::MoveLinkGroup(int32_t index, int32_t to, bool record)
{
    const int32_t count = layers_->LinkedRunLength(index) + 1;
    if (!layers_->IsValidIndex(index) || to < 0 || to > layers_->Count() - count || to == index)
        return false;
    std::unique_ptr<CKeptTables> levels = TableOf(*layers_, index, count, LevelOf);
    if (!levels) {
        Notifier().Warn(kNoMemory);
        return false;
    }
    const int32_t id = layers_->IdAt(index), current = layers_->IdAt(layers_->Current());
    // The move can fail for memory, so it is made first and taken back when
    // the packet cannot be kept.
    if (layers_->MoveBlock(to, index, count) != to)
        return false;
    if (!Recorded(EventPacket(5, 11, 12).I16(0, index).I32(4, to).I32(8, count), *recorder_, record)) {
        layers_->MoveBlock(index, to, count);
        WriteLevels(*layers_, index, levels->a);
        return false;
    }
    KeepCurrentOn(*layers_, current);
    if (record && undo_) {
        SUndoCommand command;
        command.kind = 42;
        command.layerIndex = to;
        command.layerId = id;
        command.rect = PictureIn(*layers_->At(to), *this);
        command.values = {index, to, count, 0};
        command.kept.object = std::move(levels);
        Pushed(*undo_, undo_->PushCommand(std::move(command)));
    }
    RefreshWholePicture();
    return true;
}

bool TPaper::DeleteLinkLeader(int32_t index, bool record)
{
    const int32_t run = layers_->LinkedRunLength(index);
    if (run < 1)
        return false;
    std::unique_ptr<CKeptTables> ids = TableOf(*layers_, index + 1, run, IdOf);
    if (!ids) {
        Notifier().Warn(kNoMemory);
        return false;
    }
    if (!Recorded(EventPacket(5, 8, 12).I16(0, index).I32(4, run), *recorder_, record))
        return false;
    SUndoCommand command;
    command.kind = 39;
    command.layerIndex = index;
    command.layerId = layers_->IdAt(index);
    command.rect = PictureIn(*layers_->At(index), *this);
    command.kept.layer = layers_->RemoveLayer(index);
    command.kept.object = std::move(ids);
    for (int32_t k = 0; k < run; ++k) {
        CLayerData& l = *layers_->At(index + k);
        l.SetLevel(l.LinkLevel - 1);
    }
    if (record && undo_)
        Pushed(*undo_, undo_->PushCommand(std::move(command)));
    RefreshWholePicture();
    return true;
}

bool TPaper::DeleteLinkGroup(int32_t index, bool record)
{
    const int32_t count = layers_->LinkedRunLength(index) + 1;
    if (!layers_->IsValidIndex(index) || count >= layers_->Count())
        return false;
    std::unique_ptr<CKeptTables> ids = TableOf(*layers_, index, count, IdOf);
    SUndoCommand command;
    try {
        command.kept.layers.resize(size_t(count));
    } catch (const std::bad_alloc&) {
        ids.reset();
    }
    if (!ids) {
        Notifier().Warn(kNoMemory);
        return false;
    }
    if (!Recorded(EventPacket(5, 13, 12).I16(0, index).I32(4, count), *recorder_, record))
        return false;
    command.kind = 41;
    command.layerIndex = index;
    command.layerId = layers_->IdAt(index);
    command.rect = PictureIn(*layers_->At(index), *this);
    for (int32_t k = 0; k < count; ++k)
        command.kept.layers[size_t(k)] = layers_->RemoveLayer(index);
    command.kept.object = std::move(ids);
    if (record && undo_)
        Pushed(*undo_, undo_->PushCommand(std::move(command)));
    RefreshWholePicture();
    return true;
}

// ---- history ---------------------------------------------------------------------------

bool TPaper::ApplyLinkRecord(CUndoData& record, bool undo)
{
    switch (record.kind) {
    case 38:
        return ApplyLevels(record, *layers_, undo);
    case 39:
        return ApplyLeaderDeletion(record, *layers_, undo);
    case 41:
        return ApplyGroupDeletion(record, *layers_, undo);
    case 42:
        return ApplyGroupMove(record, *layers_);
    case 43:
        return ApplyRunShift(record, *layers_, undo);
    case 45:
    case 46:
    case 47:
    case 48:
        return SwapVisibility(record, *layers_);
    // 35 and 44 move a selection with the layers: nothing pushes them until
    // the document has masks.
    default:
        return false;
    }
}

} // namespace morvane
