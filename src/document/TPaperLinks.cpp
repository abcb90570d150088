// Operations of the layer panel on attributes, visibility, content shifts
// and link groups. Changes that cannot fail are recorded first; those that
// can (a store that must grow, a block move) are built or made first and
// undone again when their packet cannot be kept, so the stream never holds
// a change the picture lacks.
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <new>
#include <vector>

#include "codecs/CodePage.h"
#include "document/LinkOperations.h"
#include "document/SLayerParam.h"
#include "document/SelectionOperations.h"
#include "document/TPaper.h"
#include "platform/DiagnosticSink.h"
#include "platform/UserNotifier.h"
#include "storage/SizeLimits.h"

namespace morvane {

// What a link or visibility record keeps, one entry per layer concerned:
// visibility flags, link levels or layer Ids.
class CKeptTables final : public IUndoKept {
public:
    std::vector<int32_t> a, b;
    int64_t HeldBytes() const override { return int64_t(a.size() + b.size()) * int64_t(sizeof(int32_t)); }
};

namespace {
constexpr const char* kNoMemory = "メモリ不足により正常に実行できませんでした！";
constexpr uint16_t kVisibleBit = 1, kProtectBit = 2, kDitherBit = 16;

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

// The table, or the user told that memory ran out.
bool Tabled(std::unique_ptr<CKeptTables>& table, const CLayerMngr& layers, int32_t first, int32_t count,
            int32_t (*read)(const CLayerData&))
{
    table = TableOf(layers, first, count, read);
    if (!table)
        Notifier().Warn(kNoMemory);
    return table != nullptr;
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

bool IsLayerOf(TPaper& paper, int32_t index) { return paper.Layers().IsValidIndex(index); }

// No store can hold its content moved farther than its largest side.
bool IsShift(int32_t dx, int32_t dy)
{
    return std::abs(int64_t(dx)) <= kMaxStoreSide && std::abs(int64_t(dy)) <= kMaxStoreSide;
}

// History records refresh in store coordinates: the picture's place in the
// layer's store covers everything a stack-wide change shows.
ExtentRect PictureIn(const CLayerData& l, const TPaper& paper)
{
    return {l.OriginX, l.OriginY, paper.Width, paper.Height};
}

// A structure record of the layer at index.
HistoryRecord RecordOfLayer(UndoKind kind, TPaper& paper, int32_t index, SUndoValues values = {})
{
    const CLayerData& layer = *paper.LayerAt(index);
    HistoryRecord h;
    h.record = CUndoData::Command(kind, index, layer.Id, PictureIn(layer, paper), values);
    return h;
}

// The attributes the look and properties packets carry: the values after
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

uint16_t FlagsOf(const SLook& look)
{
    return uint16_t(int32_t(look.visible) | int32_t(look.protect) << 1 | int32_t(look.dither) << 4);
}

std::vector<uint8_t> LookPacket(PacketId id, int32_t index, const SLook& look)
{
    LayerLookPayload p;
    p.SetKind(id);
    p.layer = int16_t(index), p.mode = look.mode, p.opacity = look.opacity, p.flags = FlagsOf(look);
    return p.Encode();
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

Verdict LayerAttributeOp::CheckLayer(OpContext& c, bool valid)
{
    return c.paper.LayerAt(index) && valid ? Verdict::Go : Verdict::Refuse;
}

HistoryRecord LayerAttributeOp::History(OpContext& c)
{
    HistoryRecord h;
    h.record = c.paper.UndoManager()->MakeAttribute(*c.paper.LayerAt(index), index, value, kind);
    return h;
}

Verdict SetLayerOpacityOp::Check(OpContext& c) { return CheckLayer(c, value >= 0 && value <= 255); }

std::vector<uint8_t> SetLayerOpacityOp::Packet(OpContext& c) const
{
    SLook look = LookOf(*c.paper.LayerAt(index));
    look.opacity = uint8_t(value);
    return LookPacket(PacketId::SetLayerOpacity, index, look);
}

// A leader's record keeps the size of its run as the group value.
HistoryRecord SetLayerOpacityOp::History(OpContext& c)
{
    const int32_t run = c.paper.Layers().LinkedRunLength(index);
    HistoryRecord h;
    h.record = c.paper.UndoManager()->MakeAttribute(*c.paper.LayerAt(index), index, value,
                                                    run > 0 ? UndoKind::OpacityLinked : UndoKind::Opacity, run);
    return h;
}

bool SetLayerOpacityOp::Apply(OpContext& c, CUndoData*)
{
    c.paper.LayerAt(index)->Opacity = uint8_t(value);
    return true;
}

void SetLayerOpacityOp::Refresh(OpContext& c) { c.paper.RefreshWholePicture(); }

std::optional<SetLayerOpacityOp> SetLayerOpacityOp::Replayed(OpContext&, PacketId, const LayerLookPayload& p)
{
    return SetLayerOpacityOp(p.layer, p.opacity);
}

Verdict SetLayerModeOp::Check(OpContext& c) { return CheckLayer(c, IsValidMode(value)); }

std::vector<uint8_t> SetLayerModeOp::Packet(OpContext& c) const
{
    SLook look = LookOf(*c.paper.LayerAt(index));
    look.mode = uint8_t(value);
    return LookPacket(PacketId::SetLayerMode, index, look);
}

bool SetLayerModeOp::Apply(OpContext& c, CUndoData*)
{
    c.paper.LayerAt(index)->SetMode(value);
    return true;
}

void SetLayerModeOp::Refresh(OpContext& c) { c.paper.RefreshWholePicture(); }

std::optional<SetLayerModeOp> SetLayerModeOp::Replayed(OpContext&, PacketId, const LayerLookPayload& p)
{
    return SetLayerModeOp(p.layer, p.mode);
}

Verdict SetLayerDitherOp::Check(OpContext& c) { return CheckLayer(c, density >= 0 && density <= 255); }

std::vector<uint8_t> SetLayerDitherOp::Packet(OpContext& c) const
{
    SLook look = LookOf(*c.paper.LayerAt(index));
    look.dither = dither;
    look.density = uint8_t(density);
    LayerPropertiesPayload p;
    p.layer = int16_t(index), p.mode = look.mode, p.opacity = look.opacity, p.flags = FlagsOf(look);
    p.ditherDensity = look.density, p.ditherValue = look.seed;
    return p.Encode();
}

bool SetLayerDitherOp::Apply(OpContext& c, CUndoData*)
{
    CLayerData& layer = *c.paper.LayerAt(index);
    layer.Dither = dither;
    layer.DitherDensity = uint8_t(density);
    return true;
}

void SetLayerDitherOp::Refresh(OpContext& c) { c.paper.RefreshWholePicture(); }

std::optional<SetLayerDitherOp> SetLayerDitherOp::Replayed(OpContext&, PacketId, const LayerPropertiesPayload& p)
{
    return SetLayerDitherOp(p.layer, (p.flags & kDitherBit) != 0, p.ditherDensity);
}

Verdict SetLayerProtectAlphaOp::Check(OpContext& c)
{
    const CLayerData* layer = c.paper.LayerAt(index);
    if (!layer)
        return Verdict::Refuse;
    return layer->ProtectAlpha == (value != 0) ? Verdict::Unchanged : Verdict::Go;
}

std::vector<uint8_t> SetLayerProtectAlphaOp::Packet(OpContext& c) const
{
    SLook look = LookOf(*c.paper.LayerAt(index));
    look.protect = value != 0;
    return LookPacket(PacketId::SetProtectAlpha, index, look);
}

// Nothing on screen changes; strokes read the flag when they begin.
bool SetLayerProtectAlphaOp::Apply(OpContext& c, CUndoData*)
{
    c.paper.LayerAt(index)->ProtectAlpha = value != 0;
    return true;
}

void SetLayerProtectAlphaOp::Refresh(OpContext& c)
{
    c.paper.Host().RefreshLayerEntry(index);
    c.paper.Host().MarkModified();
}

std::optional<SetLayerProtectAlphaOp> SetLayerProtectAlphaOp::Replayed(OpContext&, PacketId,
                                                                       const LayerLookPayload& p)
{
    return SetLayerProtectAlphaOp(p.layer, (p.flags & kProtectBit) != 0);
}

// ---- name ------------------------------------------------------------------------------

Verdict RenameLayerOp::Check(OpContext& c)
{
    const CLayerData* layer = c.paper.LayerAt(index);
    if (!layer || !Cp932CanHold(name) || StringFieldSize(Utf8ToCp932(name).size()) > 0xFFFF)
        return Verdict::Refuse;
    return layer->Name == name ? Verdict::Unchanged : Verdict::Go;
}

std::vector<uint8_t> RenameLayerOp::Packet(OpContext&) const
{
    RenameLayerPayload p;
    p.layer = int16_t(index), p.name = Utf8ToCp932(name);
    return p.Encode();
}

HistoryRecord RenameLayerOp::History(OpContext& c)
{
    HistoryRecord h;
    h.record = c.paper.UndoManager()->MakeName(*c.paper.LayerAt(index), index, name);
    return h;
}

bool RenameLayerOp::Apply(OpContext& c, CUndoData*)
{
    c.paper.LayerAt(index)->Name = name;
    return true;
}

void RenameLayerOp::Refresh(OpContext& c)
{
    c.paper.Host().RefreshLayerEntry(index);
    c.paper.Host().MarkModified();
}

// Bytes CP932 does not know arrive as '?', so a replayed name always fits.
std::optional<RenameLayerOp> RenameLayerOp::Replayed(OpContext& c, PacketId, const RenameLayerPayload& p)
{
    if (!IsLayerOf(c.paper, p.layer))
        return std::nullopt;
    return RenameLayerOp(p.layer, Cp932ToUtf8(p.name));
}

// ---- visibility of several layers --------------------------------------------------------

VisibilityOp::VisibilityOp() = default;
VisibilityOp::VisibilityOp(VisibilityOp&&) noexcept = default;
VisibilityOp::~VisibilityOp() = default;

bool VisibilityOp::Prepare(OpContext& c)
{
    CLayerMngr& layers = c.paper.Layers();
    return Tabled(flags, layers, 0, layers.Count(), VisibleOf);
}

HistoryRecord VisibilityOp::History(OpContext& c)
{
    HistoryRecord h = RecordOfLayer(kind, c.paper, index);
    if (h.record)
        h.record->kept.object = std::move(flags);
    return h;
}

void VisibilityOp::Refresh(OpContext& c) { c.paper.RefreshWholePicture(); }

SetLayerVisibleOp::SetLayerVisibleOp(int32_t i, bool v) : visible(v) { index = i; }

Verdict SetLayerVisibleOp::Check(OpContext& c)
{
    const CLayerData* layer = c.paper.LayerAt(index);
    if (!layer)
        return Verdict::Refuse;
    if (layer->Visible == visible)
        return Verdict::Unchanged;
    // A leader shows or hides its whole run.
    run = c.paper.Layers().LinkedRunLength(index);
    kind = run > 0 ? UndoKind::LinkGroupVisible : UndoKind::Visible;
    return Verdict::Go;
}

bool SetLayerVisibleOp::Prepare(OpContext& c) { return run == 0 || VisibilityOp::Prepare(c); }

std::vector<uint8_t> SetLayerVisibleOp::Packet(OpContext& c) const
{
    SLook look = LookOf(*c.paper.LayerAt(index));
    look.visible = visible;
    return LookPacket(PacketId::SetLayerVisible, index, look);
}

HistoryRecord SetLayerVisibleOp::History(OpContext& c)
{
    if (run > 0)
        return VisibilityOp::History(c);
    HistoryRecord h;
    h.record = c.paper.UndoManager()->MakeAttribute(*c.paper.LayerAt(index), index, visible, UndoKind::Visible);
    return h;
}

bool SetLayerVisibleOp::Apply(OpContext& c, CUndoData*)
{
    if (run > 0)
        c.paper.Layers().SetVisibleRun(index, run + 1, visible);
    else
        c.paper.LayerAt(index)->Visible = visible;
    return true;
}

std::optional<SetLayerVisibleOp> SetLayerVisibleOp::Replayed(OpContext&, PacketId, const LayerLookPayload& p)
{
    return SetLayerVisibleOp(p.layer, (p.flags & kVisibleBit) != 0);
}

ShowOnlyLayerOp::ShowOnlyLayerOp(int32_t i)
{
    kind = UndoKind::ShowOnly;
    index = i;
}

Verdict ShowOnlyLayerOp::Check(OpContext& c)
{
    const CLayerData* layer = c.paper.LayerAt(index);
    return !layer || (layer->Visible && c.paper.Layers().VisibleCount() == 1) ? Verdict::Refuse : Verdict::Go;
}

std::vector<uint8_t> ShowOnlyLayerOp::Packet(OpContext&) const
{
    LayerVisibilityPayload p;
    p.SetKind(PacketId::ShowOnlyLayer);
    p.layer = int16_t(index);
    return p.Encode();
}

bool ShowOnlyLayerOp::Apply(OpContext& c, CUndoData*)
{
    c.paper.Layers().ShowOnly(index);
    return true;
}

std::optional<ShowOnlyLayerOp> ShowOnlyLayerOp::Replayed(OpContext&, PacketId, const LayerVisibilityPayload& p)
{
    return ShowOnlyLayerOp(p.layer);
}

ShowAllLayersOp::ShowAllLayersOp(bool s) : show(s) { kind = UndoKind::ShowAll; }

Verdict ShowAllLayersOp::Check(OpContext& c)
{
    CLayerMngr& layers = c.paper.Layers();
    index = layers.Current();
    const int32_t visible = layers.VisibleCount();
    return !layers.IsValidIndex(index) || visible == (show ? layers.Count() : 0) ? Verdict::Refuse : Verdict::Go;
}

std::vector<uint8_t> ShowAllLayersOp::Packet(OpContext&) const
{
    LayerVisibilityPayload p;
    p.SetKind(PacketId::ShowAllLayers);
    p.layer = int16_t(index), p.show = show ? 1 : 0;
    return p.Encode();
}

bool ShowAllLayersOp::Apply(OpContext& c, CUndoData*)
{
    c.paper.Layers().SetAllVisible(show);
    return true;
}

std::optional<ShowAllLayersOp> ShowAllLayersOp::Replayed(OpContext& c, PacketId, const LayerVisibilityPayload& p)
{
    if (!IsLayerOf(c.paper, p.layer))
        return std::nullopt;
    return ShowAllLayersOp(p.show != 0);
}

InvertLayerVisibilityOp::InvertLayerVisibilityOp() { kind = UndoKind::InvertVisibility; }

Verdict InvertLayerVisibilityOp::Check(OpContext& c)
{
    index = c.paper.CurrentLayer();
    return c.paper.Layers().IsValidIndex(index) ? Verdict::Go : Verdict::Refuse;
}

std::vector<uint8_t> InvertLayerVisibilityOp::Packet(OpContext&) const
{
    LayerVisibilityPayload p;
    p.SetKind(PacketId::InvertVisibility);
    p.layer = int16_t(index);
    return p.Encode();
}

bool InvertLayerVisibilityOp::Apply(OpContext& c, CUndoData*)
{
    c.paper.Layers().ToggleAllVisible();
    return true;
}

std::optional<InvertLayerVisibilityOp> InvertLayerVisibilityOp::Replayed(OpContext& c, PacketId,
                                                                         const LayerVisibilityPayload& p)
{
    if (!IsLayerOf(c.paper, p.layer))
        return std::nullopt;
    return InvertLayerVisibilityOp();
}

SetLinkGroupVisibleOp::SetLinkGroupVisibleOp(int32_t i, int32_t n, bool v) : count(n), visible(v)
{
    kind = UndoKind::LinkGroupVisible;
    index = i;
}

Verdict SetLinkGroupVisibleOp::Check(OpContext& c)
{
    if (!c.paper.Layers().IsValidIndex(index) || count < 1)
        return Verdict::Refuse;
    count = std::min(count, c.paper.LayerCount() - index);
    return Verdict::Go;
}

std::vector<uint8_t> SetLinkGroupVisibleOp::Packet(OpContext&) const
{
    LinkValuePayload p;
    p.SetKind(PacketId::LinkGroupVisible);
    p.layer = int16_t(index), p.option = visible ? 1 : 0, p.first = count;
    return p.Encode();
}

bool SetLinkGroupVisibleOp::Apply(OpContext& c, CUndoData*)
{
    c.paper.Layers().SetVisibleRun(index, count, visible);
    return true;
}

std::optional<SetLinkGroupVisibleOp> SetLinkGroupVisibleOp::Replayed(OpContext& c, PacketId,
                                                                     const LinkValuePayload& p)
{
    if (!IsLayerOf(c.paper, p.layer) || p.first < 1)
        return std::nullopt;
    return SetLinkGroupVisibleOp(p.layer, p.first, p.option != 0);
}

// ---- shifts --------------------------------------------------------------------------

ShiftLayerOp::ShiftLayerOp(int32_t i, int32_t x, int32_t y, bool selection)
    : index(i), dx(x), dy(y), withSelection(selection)
{
}
ShiftLayerOp::ShiftLayerOp(ShiftLayerOp&&) noexcept = default;
ShiftLayerOp::~ShiftLayerOp() = default;

Verdict ShiftLayerOp::Check(OpContext& c)
{
    if (!c.paper.Layers().IsValidIndex(index))
        return Verdict::Refuse;
    if (dx == 0 && dy == 0)
        return Verdict::Unchanged;
    count = c.paper.Layers().LinkedRunLength(index) + 1;
    if (!withSelection)
        return Verdict::Go;
    // The selection must exist and stay within reach after the move.
    int32_t maskIndex = 0, maskId = 0;
    if (!c.paper.CurrentSelection(maskIndex, maskId) || MoveSelectionOp{dx, dy}.Check(c) != Verdict::Go)
        return Verdict::Refuse;
    selection = PackedSelection(maskIndex, maskId);
    return Verdict::Go;
}

// Every store that must grow is grown before anything is recorded.
bool ShiftLayerOp::Prepare(OpContext& c)
{
    CLayerMngr& layers = c.paper.Layers();
    ids = TableOf(layers, index, count, IdOf);
    try {
        grown.resize(size_t(count));
    } catch (const std::bad_alloc&) {
        ids.reset();
    }
    if (!ids) {
        Notifier().Warn(kNoMemory);
        return false;
    }
    for (int32_t k = 0; k < count; ++k) {
        const CLayerData& l = *layers.At(index + k);
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
    return true;
}

std::vector<uint8_t> ShiftLayerOp::Packet(OpContext&) const
{
    if (count > 1) {
        LinkMovePayload p;
        p.SetKind(withSelection ? PacketId::MoveLinkedByTool : PacketId::MoveLinked);
        p.layer = int16_t(index), p.dx = dx, p.dy = dy, p.secondOption = withSelection ? 0 : -1, p.first = count;
        return p.Encode();
    }
    if (withSelection) {
        LayerMovePayload p;
        p.SetKind(anyGrown ? PacketId::MoveResizeLayer : PacketId::MoveLayerBy);
        p.layer = int16_t(index), p.dx = dx, p.dy = dy;
        return p.Encode();
    }
    LayerPlacePayload p;
    p.SetKind(anyGrown ? PacketId::LayerKeptSize : PacketId::LayerPosition);
    p.layer = int16_t(index), p.second = dy, p.first = dx;
    return p.Encode();
}

HistoryRecord ShiftLayerOp::History(OpContext& c)
{
    HistoryRecord h;
    CLayerData& layer = *c.paper.LayerAt(index);
    if (count == 1 && !anyGrown)
        h.record = withSelection ? c.paper.UndoManager()->MakeMoveWithSelection(layer, index, dx, dy)
                                 : c.paper.UndoManager()->MakeAttribute(layer, index, 0, UndoKind::Position);
    else if (withSelection)
        h.record = CUndoData::Command(count > 1 ? UndoKind::MoveLinkedWithSelection
                                                : UndoKind::MoveResizeWithSelection,
                                      index, -1, {}, {count, dx, dy, selection});
    else
        h.record = CUndoData::Command(count > 1 ? UndoKind::MoveLinked : UndoKind::KeptSize, index, -1, {},
                                      {count, dx, dy, 0});
    return h;
}

bool ShiftLayerOp::Apply(OpContext& c, CUndoData* record)
{
    CLayerMngr& layers = c.paper.Layers();
    if (withSelection && !c.paper.ShiftSelection(SelectionIndexOf(selection), SelectionIdOf(selection), dx, dy))
        return false;
    if (count == 1 && !anyGrown) {
        layers.At(index)->Shift(dx, dy);
        return true;
    }
    // Each grown layer goes in and its former one takes its slot in grown.
    for (int32_t k = 0; k < count; ++k) {
        std::unique_ptr<CLayerData>& slot = grown[size_t(k)];
        if (slot)
            slot = layers.ReplaceLayer(index + k, std::move(slot));
        else
            layers.At(index + k)->Shift(dx, dy);
    }
    if (!record)
        return true;
    record->layerId = layers.IdAt(index);
    record->rect = PictureIn(*layers.At(index), c.paper);
    // The selection's kinds keep the run's form also for one layer.
    if (count > 1 || withSelection) {
        record->kept.layers = std::move(grown);
        record->kept.object = std::move(ids);
    } else {
        record->kept.layer = std::move(grown[0]);
    }
    return true;
}

void ShiftLayerOp::Refresh(OpContext& c)
{
    c.paper.RefreshWholePicture();
    if (withSelection)
        c.paper.RefreshSelection();
}

// The document writes LayerKeptSize for a shift whose store had to grow; a
// linked run moves by MoveLinked, so a single layer must lead none.
std::optional<ShiftLayerOp> ShiftLayerOp::Replayed(OpContext& c, PacketId id, const LayerPlacePayload& p)
{
    if (p.anchor != 0 || p.option != 0) {
        Diagnose(std::string("playback: ") + InfoOf(id).name + " with an anchor has no replay yet");
        return std::nullopt;
    }
    if (!IsLayerOf(c.paper, p.layer) || !IsShift(p.first, p.second) || c.paper.Layers().LinkedRunLength(p.layer) != 0)
        return std::nullopt;
    return ShiftLayerOp(p.layer, p.first, p.second);
}

std::optional<ShiftLayerOp> ShiftLayerOp::Replayed(OpContext& c, PacketId id, const LinkMovePayload& p)
{
    const bool selection = id == PacketId::MoveLinkedByTool;
    if (!IsLayerOf(c.paper, p.layer) || !IsShift(p.dx, p.dy) || p.secondOption != (selection ? 0 : -1) ||
        p.first != c.paper.Layers().LinkedRunLength(p.layer) + 1)
        return std::nullopt;
    return ShiftLayerOp(p.layer, p.dx, p.dy, selection);
}

// The layer move tool's packets move the selection with the layer.
std::optional<ShiftLayerOp> ShiftLayerOp::Replayed(OpContext& c, PacketId id, const LayerMovePayload& p)
{
    if (p.anchor != 0 || p.option != 0) {
        Diagnose(std::string("playback: ") + InfoOf(id).name + " with an anchor has no replay yet");
        return std::nullopt;
    }
    if (!IsLayerOf(c.paper, p.layer) || !IsShift(p.dx, p.dy) || c.paper.Layers().LinkedRunLength(p.layer) != 0)
        return std::nullopt;
    return ShiftLayerOp(p.layer, p.dx, p.dy, true);
}

// Without a selection this is the plain shift.
bool TPaper::ShiftLayerMasked(int32_t index, int32_t dx, int32_t dy, bool record)
{
    int32_t maskIndex = -1, maskId = -1;
    if (!CurrentSelection(maskIndex, maskId))
        return ShiftLayer(index, dx, dy, record);
    return RunOperation(*this, ShiftLayerOp(index, dx, dy, true), record);
}

// ---- link groups ---------------------------------------------------------------------

LinkLayerOp::LinkLayerOp(int32_t i, bool l) : index(i), link(l) {}
LinkLayerOp::LinkLayerOp(LinkLayerOp&&) noexcept = default;
LinkLayerOp::~LinkLayerOp() = default;

Verdict LinkLayerOp::Check(OpContext& c)
{
    return c.paper.Layers().IsValidIndex(index) ? Verdict::Go : Verdict::Refuse;
}

bool LinkLayerOp::Prepare(OpContext& c)
{
    CLayerMngr& layers = c.paper.Layers();
    if (!Tabled(levels, layers, 0, layers.Count(), LevelOf))
        return false;
    if (!(link ? layers.RaiseLevel(index) : layers.LowerLevel(index)))
        return false;
    for (int32_t i = 0; i < layers.Count(); ++i)
        levels->b.push_back(layers.At(i)->LinkLevel); // reserved by TableOf
    return true;
}

std::vector<uint8_t> LinkLayerOp::Packet(OpContext&) const
{
    const auto n = int32_t(levels->a.size());
    LinkLevelsPayload p;
    p.SetKind(link ? PacketId::LinkLayer : PacketId::UnlinkLayer);
    p.layer = int16_t(index), p.count = int16_t(n), p.unit = 1, p.tables = 2, p.length = 2 * n;
    for (int32_t level : levels->a)
        p.levels.push_back(uint8_t(level));
    for (int32_t level : levels->b)
        p.levels.push_back(uint8_t(level));
    return p.Encode();
}

void LinkLayerOp::Revert(OpContext& c) { WriteLevels(c.paper.Layers(), 0, levels->a); }

HistoryRecord LinkLayerOp::History(OpContext& c)
{
    HistoryRecord h = RecordOfLayer(UndoKind::LinkGroup, c.paper, index);
    if (h.record)
        h.record->kept.object = std::move(levels);
    return h;
}

bool LinkLayerOp::Apply(OpContext&, CUndoData*) { return true; }

void LinkLayerOp::Refresh(OpContext& c) { c.paper.RefreshWholePicture(); }

// The levels before the change must be the document's: otherwise the
// stream describes another stack.
std::optional<LinkLayerOp> LinkLayerOp::Replayed(OpContext& c, PacketId id, const LinkLevelsPayload& p)
{
    CLayerMngr& layers = c.paper.Layers();
    if (!IsLayerOf(c.paper, p.layer) || p.count != layers.Count())
        return std::nullopt;
    for (int32_t i = 0; i < p.count; ++i)
        if (layers.At(i)->LinkLevel != p.levels[size_t(i)])
            return std::nullopt;
    return LinkLayerOp(p.layer, id == PacketId::LinkLayer);
}

MoveLinkGroupOp::MoveLinkGroupOp(int32_t i, int32_t t) : index(i), to(t) {}
MoveLinkGroupOp::MoveLinkGroupOp(MoveLinkGroupOp&&) noexcept = default;
MoveLinkGroupOp::~MoveLinkGroupOp() = default;

Verdict MoveLinkGroupOp::Check(OpContext& c)
{
    CLayerMngr& layers = c.paper.Layers();
    count = layers.LinkedRunLength(index) + 1;
    return layers.IsValidIndex(index) && to >= 0 && to <= layers.Count() - count && to != index ? Verdict::Go
                                                                                                 : Verdict::Refuse;
}

// The move can fail for memory, so it is made first and taken back when the
// packet cannot be kept.
bool MoveLinkGroupOp::Prepare(OpContext& c)
{
    CLayerMngr& layers = c.paper.Layers();
    if (!Tabled(levels, layers, index, count, LevelOf))
        return false;
    id = layers.IdAt(index);
    current = layers.IdAt(layers.Current());
    return layers.MoveBlock(to, index, count) == to;
}

std::vector<uint8_t> MoveLinkGroupOp::Packet(OpContext&) const
{
    LinkValuePayload p;
    p.SetKind(PacketId::MoveLinkGroup);
    p.layer = int16_t(index), p.first = to, p.second = count;
    return p.Encode();
}

void MoveLinkGroupOp::Revert(OpContext& c)
{
    c.paper.Layers().MoveBlock(index, to, count);
    WriteLevels(c.paper.Layers(), index, levels->a);
}

HistoryRecord MoveLinkGroupOp::History(OpContext& c)
{
    HistoryRecord h;
    h.record = CUndoData::Command(UndoKind::MoveLinkGroup, to, id, PictureIn(*c.paper.LayerAt(to), c.paper),
                                  {index, to, count, 0});
    if (h.record)
        h.record->kept.object = std::move(levels);
    return h;
}

bool MoveLinkGroupOp::Apply(OpContext& c, CUndoData*)
{
    KeepCurrentOn(c.paper.Layers(), current);
    return true;
}

void MoveLinkGroupOp::Refresh(OpContext& c) { c.paper.RefreshWholePicture(); }

std::optional<MoveLinkGroupOp> MoveLinkGroupOp::Replayed(OpContext& c, PacketId, const LinkValuePayload& p)
{
    if (!IsLayerOf(c.paper, p.layer) || p.second != c.paper.Layers().LinkedRunLength(p.layer) + 1)
        return std::nullopt;
    return MoveLinkGroupOp(p.layer, p.first);
}

DeleteLinkLeaderOp::DeleteLinkLeaderOp(int32_t i) : index(i) {}
DeleteLinkLeaderOp::DeleteLinkLeaderOp(DeleteLinkLeaderOp&&) noexcept = default;
DeleteLinkLeaderOp::~DeleteLinkLeaderOp() = default;

Verdict DeleteLinkLeaderOp::Check(OpContext& c)
{
    run = c.paper.Layers().LinkedRunLength(index);
    return run >= 1 ? Verdict::Go : Verdict::Refuse;
}

bool DeleteLinkLeaderOp::Prepare(OpContext& c) { return Tabled(ids, c.paper.Layers(), index + 1, run, IdOf); }

std::vector<uint8_t> DeleteLinkLeaderOp::Packet(OpContext&) const
{
    LinkValuePayload p;
    p.SetKind(PacketId::DeleteLinkLeader);
    p.layer = int16_t(index), p.first = run;
    return p.Encode();
}

HistoryRecord DeleteLinkLeaderOp::History(OpContext& c)
{
    HistoryRecord h = RecordOfLayer(UndoKind::DeleteLinkedLayer, c.paper, index);
    if (h.record)
        h.record->kept.object = std::move(ids);
    return h;
}

bool DeleteLinkLeaderOp::Apply(OpContext& c, CUndoData* record)
{
    CLayerMngr& layers = c.paper.Layers();
    std::unique_ptr<CLayerData> leader = layers.RemoveLayer(index);
    if (record)
        record->kept.layer = std::move(leader);
    for (int32_t k = 0; k < run; ++k) {
        CLayerData& l = *layers.At(index + k);
        l.SetLevel(l.LinkLevel - 1);
    }
    return true;
}

void DeleteLinkLeaderOp::Refresh(OpContext& c) { c.paper.RefreshWholePicture(); }

std::optional<DeleteLinkLeaderOp> DeleteLinkLeaderOp::Replayed(OpContext& c, PacketId, const LinkValuePayload& p)
{
    if (!IsLayerOf(c.paper, p.layer) || p.first != c.paper.Layers().LinkedRunLength(p.layer))
        return std::nullopt;
    return DeleteLinkLeaderOp(p.layer);
}

DeleteLinkGroupOp::DeleteLinkGroupOp(int32_t i) : index(i) {}
DeleteLinkGroupOp::DeleteLinkGroupOp(DeleteLinkGroupOp&&) noexcept = default;
DeleteLinkGroupOp::~DeleteLinkGroupOp() = default;

Verdict DeleteLinkGroupOp::Check(OpContext& c)
{
    CLayerMngr& layers = c.paper.Layers();
    count = layers.LinkedRunLength(index) + 1;
    return layers.IsValidIndex(index) && count < layers.Count() ? Verdict::Go : Verdict::Refuse;
}

bool DeleteLinkGroupOp::Prepare(OpContext& c)
{
    ids = TableOf(c.paper.Layers(), index, count, IdOf);
    try {
        removed.resize(size_t(count));
    } catch (const std::bad_alloc&) {
        ids.reset();
    }
    if (!ids)
        Notifier().Warn(kNoMemory);
    return ids != nullptr;
}

std::vector<uint8_t> DeleteLinkGroupOp::Packet(OpContext&) const
{
    LinkValuePayload p;
    p.SetKind(PacketId::DeleteLinkGroup);
    p.layer = int16_t(index), p.first = count;
    return p.Encode();
}

HistoryRecord DeleteLinkGroupOp::History(OpContext& c)
{
    return RecordOfLayer(UndoKind::DeleteLinkGroup, c.paper, index);
}

bool DeleteLinkGroupOp::Apply(OpContext& c, CUndoData* record)
{
    for (int32_t k = 0; k < count; ++k)
        removed[size_t(k)] = c.paper.Layers().RemoveLayer(index);
    if (record) {
        record->kept.layers = std::move(removed);
        record->kept.object = std::move(ids);
    }
    return true;
}

void DeleteLinkGroupOp::Refresh(OpContext& c) { c.paper.RefreshWholePicture(); }

std::optional<DeleteLinkGroupOp> DeleteLinkGroupOp::Replayed(OpContext& c, PacketId, const LinkValuePayload& p)
{
    if (!IsLayerOf(c.paper, p.layer) || p.first != c.paper.Layers().LinkedRunLength(p.layer) + 1)
        return std::nullopt;
    return DeleteLinkGroupOp(p.layer);
}

// ---- the document's side ------------------------------------------------------------

bool TPaper::SetLayerVisible(int32_t layer, bool visible, bool record)
{
    return RunOperation(*this, SetLayerVisibleOp(layer, visible), record);
}

bool TPaper::SetLayerOpacity(int32_t layer, int32_t opacity, bool record)
{
    return RunOperation(*this, SetLayerOpacityOp(layer, opacity), record);
}

bool TPaper::SetLayerDither(int32_t layer, bool dither, int32_t density, bool record)
{
    return RunOperation(*this, SetLayerDitherOp(layer, dither, density), record);
}

bool TPaper::SetLayerProtectAlpha(int32_t layer, bool protect, bool record)
{
    return RunOperation(*this, SetLayerProtectAlphaOp(layer, protect), record);
}

bool TPaper::SetLayerMode(int32_t layer, int32_t mode, bool record)
{
    return RunOperation(*this, SetLayerModeOp(layer, mode), record);
}

bool TPaper::ShowOnlyLayer(int32_t layer, bool record)
{
    return RunOperation(*this, ShowOnlyLayerOp(layer), record);
}

bool TPaper::ShowAllLayers(bool show, bool record)
{
    return RunOperation(*this, ShowAllLayersOp(show), record);
}

bool TPaper::InvertLayerVisibility(bool record)
{
    InvertLayerVisibilityOp op;
    return RunOperation(*this, std::move(op), record);
}

bool TPaper::SetLinkGroupVisible(int32_t layer, int32_t count, bool visible, bool record)
{
    return RunOperation(*this, SetLinkGroupVisibleOp(layer, count, visible), record);
}

bool TPaper::ShiftLayer(int32_t layer, int32_t dx, int32_t dy, bool record)
{
    return RunOperation(*this, ShiftLayerOp(layer, dx, dy), record);
}

bool TPaper::RenameLayer(int32_t layer, const std::string& name, bool record)
{
    return RunOperation(*this, RenameLayerOp(layer, name), record);
}

bool TPaper::LinkLayer(int32_t layer, bool link, bool record)
{
    return RunOperation(*this, LinkLayerOp(layer, link), record);
}

bool TPaper::MoveLinkGroup(int32_t layer, int32_t to, bool record)
{
    return RunOperation(*this, MoveLinkGroupOp(layer, to), record);
}

bool TPaper::DeleteLinkLeader(int32_t layer, bool record)
{
    return RunOperation(*this, DeleteLinkLeaderOp(layer), record);
}

bool TPaper::DeleteLinkGroup(int32_t layer, bool record)
{
    return RunOperation(*this, DeleteLinkGroupOp(layer), record);
}

// ---- history ---------------------------------------------------------------------------

bool TPaper::ApplyLinkRecord(CUndoData& record, bool undo)
{
    switch (UndoKind(record.kind)) {
    case UndoKind::LinkGroup:
        return ApplyLevels(record, *layers_, undo);
    case UndoKind::DeleteLinkedLayer:
        return ApplyLeaderDeletion(record, *layers_, undo);
    case UndoKind::DeleteLinkGroup:
        return ApplyGroupDeletion(record, *layers_, undo);
    case UndoKind::MoveLinkGroup:
        return ApplyGroupMove(record, *layers_);
    case UndoKind::MoveLinked:
        return ApplyRunShift(record, *layers_, undo);
    case UndoKind::ShowOnly:
    case UndoKind::ShowAll:
    case UndoKind::InvertVisibility:
    case UndoKind::LinkGroupVisible:
        return SwapVisibility(record, *layers_);
    // The selection moves back (or again) with the run.
    case UndoKind::MoveResizeWithSelection:
    case UndoKind::MoveLinkedWithSelection: {
        const SUndoValues& v = record.values;
        const int32_t sign = undo ? -1 : 1;
        if (!ShiftSelection(SelectionIndexOf(v.d), SelectionIdOf(v.d), v.b * sign, v.c * sign))
            return false;
        if (ApplyRunShift(record, *layers_, undo))
            return true;
        ShiftSelection(SelectionIndexOf(v.d), SelectionIdOf(v.d), -v.b * sign, -v.c * sign);
        return false;
    }
    default:
        return false;
    }
}

} // namespace morvane
