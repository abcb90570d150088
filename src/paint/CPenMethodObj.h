#pragma once
// A brush preset: a named current tool (kinds 9-17) with its method and
// brush records, the two paint switches, its nib and an optional icon.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "paint/CPenShapeObj.h"
#include "paint/PaintKind.h"
#include "paint/PaintRecords.h"
#include "storage/TMTC.h"

namespace morvane {

class TPaintParam;

// The records a preset copies as one unit.
struct PenMethodBlock {
    BrushMethodRecord method;
    bool useGradation = false;
    bool useTone = false;
    BrushRecord brush;
    bool operator==(const PenMethodBlock&) const = default;
};

class CPenMethodObj {
public:
    static constexpr int32_t kIconSide = 128;
    static constexpr int32_t kSmallIconSide = 32;

    // An empty preset (valid false) with a new id.
    CPenMethodObj();
    CPenMethodObj(const CPenMethodObj&) = delete;
    CPenMethodObj& operator=(const CPenMethodObj&) = delete;

    // Name, icons, records and nib deep-copied; false when a copy could not
    // be allocated (that part is then missing).
    bool CopyFrom(const CPenMethodObj& other);
    // The switch pair and the brush record are optional.
    void SetRecords(const BrushMethodRecord& method, const bool (*switches)[2] = nullptr,
                    const BrushRecord* brush = nullptr);
    void SetBlock(const PenMethodBlock& block);
    const PenMethodBlock& Block() const { return block_; }
    // The kind the method record names; nothing for an unknown class.
    std::optional<PaintKind> Kind() const { return KindFromBrushMethod(block_.method); }

    // Takes the nib, freeing the old one.
    void SetNib(std::unique_ptr<CPenShapeObj> nib);
    // A deep copy of the other's nib (none when it has none).
    bool CopyNibFrom(const CPenMethodObj& other);
    CPenShapeObj* Nib() const { return nib_.get(); }

    // A 128 x 128 picture is copied, any other size rescaled by area
    // averaging; the small icon is the icon reduced to 32 x 32. A missing or
    // invalid picture, or a failed rescale, clears both (false).
    bool SetIcon(const TMTC* picture);
    void ClearIcons();
    const TMTC* Icon() const { return icon_.get(); }
    const TMTC* SmallIcon() const { return smallIcon_.get(); }

    // The parameter set as the brush editor hands it over: nib first, then
    // the records, the switches and the name. False for a compatible kind.
    bool FromPaintParam(const TPaintParam& param);
    // The parameter set the tool window takes when the preset is chosen.
    bool ToPaintParam(TPaintParam& param) const;

    int32_t Id() const { return id_; }

    bool valid = false;
    std::string name;

private:
    int32_t id_;
    PenMethodBlock block_;
    std::unique_ptr<CPenShapeObj> nib_;
    std::unique_ptr<TMTC> icon_;
    std::unique_ptr<TMTC> smallIcon_;
};

} // namespace morvane
