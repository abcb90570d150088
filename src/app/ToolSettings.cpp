#include "app/ToolSettings.h"

#include <cstring>
#include <type_traits>
#include <optional>
#include <vector>

#include "app/CAppProfile.h"
#include "input/ToolState.h"
#include "files/PresetLocation.h"
#include "paint/CPenShapeObj.h"
#include "platform/SettingsStore.h"
#include "storage/FixedPoint.h"

namespace morvane {

namespace {

constexpr uint32_t kRgb = 0x00FFFFFFu;

// A kind's parameter set as the stored records: the pen setting, the nib
// geometry and air map, the brush record, then the curve, hard edge and
// soft edge bytes a parameter set has beyond them.
struct KindRecord {
    static constexpr size_t kBytes =
        PenSettingRecord::kBytes + NibRecord::kBytes + AirMapRecord::kBytes + BrushRecord::kBytes + 4;

    PenSettingRecord pen;
    NibRecord nib;
    AirMapRecord airMap;
    BrushRecord brush;
    uint8_t curve = 0;
    bool aliased = false, softEdge = false, bitmap = false;

    std::vector<uint8_t> Encode() const
    {
        std::vector<uint8_t> out(kBytes);
        uint8_t* at = out.data();
        const auto put = [&at](const auto& record) {
            uint8_t bytes[std::remove_cvref_t<decltype(record)>::kBytes];
            record.Encode(bytes);
            std::memcpy(at, bytes, sizeof bytes);
            at += sizeof bytes;
        };
        put(pen);
        put(nib);
        put(airMap);
        put(brush);
        at[0] = curve;
        at[1] = aliased;
        at[2] = softEdge;
        at[3] = bitmap;
        return out;
    }
    // Nothing for bytes of another length.
    static std::optional<KindRecord> Decode(const std::vector<uint8_t>& in)
    {
        if (in.size() != kBytes)
            return std::nullopt;
        KindRecord r;
        const uint8_t* at = in.data();
        const auto get = [&at](auto& record) {
            using R = std::remove_cvref_t<decltype(record)>;
            uint8_t bytes[R::kBytes];
            std::memcpy(bytes, at, sizeof bytes);
            record = R::Decode(bytes);
            at += sizeof bytes;
        };
        get(r.pen);
        get(r.nib);
        get(r.airMap);
        get(r.brush);
        r.curve = at[0];
        r.aliased = at[1] != 0;
        r.softEdge = at[2] != 0;
        r.bitmap = at[3] != 0;
        return r;
    }
};

std::string KindKey(PaintKind kind) { return KindInfo(kind).kindName; }

KindRecord RecordOf(const TPaintParam& p)
{
    KindRecord r;
    r.pen = p.ToPenSetting();
    r.nib = p.ToNibRecord();
    const TPaintParamR& v = p.Settings();
    r.airMap.flat = roundSat(v.airMapFlat * 1000.0f);
    r.airMap.add = roundSat(v.airMapAdd * 1000.0f);
    r.brush = p.ToBrushRecord();
    r.curve = v.airMap;
    r.aliased = v.aliased;
    r.softEdge = v.softEdge;
    r.bitmap = p.HasBitmap();
    return r;
}

// The nib list's index of a set's bitmap nib, -1 for none.
int32_t NibIndexOf(const ToolState& tools, const TPaintParam& p)
{
    if (!p.HasBitmap())
        return -1;
    for (int32_t i = 0; i < tools.Nibs().Count(); ++i)
        if (tools.Nibs().Item(i)->Id() == p.NibId())
            return i;
    return -1;
}

// The stored set through the setters, which clamp what they take: the pen
// setting first, the bitmap nib when the list still has it, then the rest.
TPaintParam ParamFrom(KindRecord r, PaintKind kind, const CPenShapeObj* nib)
{
    r.pen.Sanitize(PenSlotDefaults(KindInfo(kind).strokeMethod));
    r.nib.Sanitize(r.bitmap);
    r.airMap.Sanitize();
    r.brush.Sanitize();
    TPaintParam p(kind);
    p.FromPenSetting(r.pen, kind);
    if (r.bitmap && nib && nib->IsBitmapNib()) {
        NibPresetParts parts;
        parts.nib = nib->nib;
        parts.airMap = nib->airMap;
        parts.hardEdge = nib->aliased != 0;
        parts.bitmap = nib->Bitmap();
        parts.scalePercent = nib->Scale();
        parts.id = nib->Id();
        p.FromNibPreset(parts);
        p.SetBitmapScale(float(r.nib.radius) / 10000.0f);
    } else {
        p.SetRadius(float(r.nib.radius) / 100.0f);
    }
    p.SetMinRadius(float(r.nib.minRadius) / 1000.0f);
    p.SetAspect(float(r.nib.aspect) / 1000.0f);
    p.SetAngle(float(r.nib.angle) / 10.0f);
    p.SetAirMapFlat(float(r.airMap.flat) / 1000.0f);
    p.SetAirMapAdd(float(r.airMap.add) / 1000.0f);
    p.SetDenseStepRadius(float(r.brush.denseStepRadius));
    p.SetSubStepRadius(float(r.brush.subStepRadius));
    p.SetAirMap(r.curve);
    p.SetAliased(r.aliased);
    p.SetSoftEdge(r.softEdge);
    return p;
}

struct EndKeys {
    PenEnd end;
    const char* klass;
    const char* sub;
    const char* kind;
};
constexpr EndKeys kEnds[] = {{PenEnd::Tip, "tipClass", "tipSub", "tipKind"},
                             {PenEnd::Eraser, "eraserClass", "eraserSub", "eraserKind"}};

} // namespace

void LoadToolPresets(ToolState& tools, CAppProfile& profile)
{
    CAppProfile::FileIO& io = profile.fileIO;
    PresetLocation brushes{io.brushFile, io.penPath, profile.Environment().appFolder};
    PresetLocation nibs{io.nibFile, io.penPath, profile.Environment().appFolder};
    tools.LoadPresets(brushes, nibs);
    io.brushFile = brushes.rememberedPath;
    io.nibFile = nibs.rememberedPath;
}

void LoadToolColours(ToolState& tools, const CAppProfile& profile)
{
    tools.SetMainColour(uint32_t(profile.color.fgCol) & kRgb);
    tools.SetSubColour(uint32_t(profile.color.bgCol) & kRgb);
}

void LoadToolValues(ToolState& tools, const SettingsStore& store)
{
    tools.Slots().Load(store);
    for (int k = 0; k < kPaintKinds; ++k) {
        const auto kind = PaintKind(k);
        if (const std::optional<int32_t> slot = store.ReadInt(kToolSection, "slot" + KindKey(kind)))
            tools.SetChosenSlot(kind, *slot);
    }
    tools.TakeSlots();
    for (int k = 0; k < kPaintKinds; ++k) {
        const auto kind = PaintKind(k);
        const std::optional<std::vector<uint8_t>> bytes = store.ReadBinary(kToolSection, KindKey(kind));
        const std::optional<KindRecord> record = bytes ? KindRecord::Decode(*bytes) : std::nullopt;
        if (!record)
            continue;
        const std::optional<int32_t> nib = store.ReadInt(kToolSection, "nib" + KindKey(kind));
        TPaintParam p = ParamFrom(*record, kind, tools.Nibs().Item(nib.value_or(-1)));
        if (HasCapability(kind, paintcap::Name))
            if (const std::optional<std::string> name = store.ReadString(kToolSection, "name" + KindKey(kind)))
                p.SetName(*name);
        tools.SetParam(p);
    }
    for (const EndKeys& keys : kEnds) {
        const std::optional<int32_t> klass = store.ReadInt(kToolSection, keys.klass);
        const std::optional<int32_t> sub = store.ReadInt(kToolSection, keys.sub);
        const std::optional<int32_t> kind = store.ReadInt(kToolSection, keys.kind);
        Operation op = tools.OperationOf(keys.end);
        if (klass && sub && *klass >= 0 && *klass < kToolClasses && *sub >= 0 && *sub <= 0xFF)
            op = {ToolClass(*klass), uint8_t(*sub)};
        const PaintKind known = kind && IsPaintKind(*kind) ? PaintKind(*kind) : tools.KindOf(keys.end);
        tools.SetTool(keys.end, op, known);
    }
}

void SaveTools(const ToolState& tools, CAppProfile& profile, SettingsStore* to)
{
    profile.color.fgCol = int32_t(tools.MainColour() & kRgb);
    profile.color.bgCol = int32_t(tools.SubColour() & kRgb);
    if (!to || !profile.config.DrawToolAutoSave)
        return;
    SettingsStore& store = *to;
    tools.Slots().Save(store);
    for (int k = 0; k < kPaintKinds; ++k) {
        const auto kind = PaintKind(k);
        const TPaintParam& p = tools.ParamOf(kind);
        store.Write(kToolSection, KindKey(kind), RecordOf(p).Encode());
        store.Write(kToolSection, "nib" + KindKey(kind), NibIndexOf(tools, p));
        if (HasCapability(kind, paintcap::Name))
            store.Write(kToolSection, "name" + KindKey(kind), p.Name());
        if (const int slot = tools.ChosenSlot(kind))
            store.Write(kToolSection, "slot" + KindKey(kind), int32_t(slot));
    }
    for (const EndKeys& keys : kEnds) {
        const Operation op = tools.OperationOf(keys.end);
        store.Write(kToolSection, keys.klass, int32_t(op.toolClass));
        store.Write(kToolSection, keys.sub, int32_t(op.sub));
        store.Write(kToolSection, keys.kind, int32_t(tools.KindOf(keys.end)));
    }
}

} // namespace morvane
