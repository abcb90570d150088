#pragma once
// The five remembered slots of each of the eight compatible tools, kept in
// the settings under "penSetting/<method><slot>" (for example
// "penSetting/pen1").
#include <array>
#include <span>
#include <string>

#include "paint/PaintKind.h"
#include "paint/PaintRecords.h"

namespace morvane {

class SettingsStore;

inline constexpr int kPenSlotTools = 8;
inline constexpr int kPenSlotsPerTool = 5;

// The tools that keep slots, in slot-table order.
std::span<const PaintKind> PenSlotKinds();
// A slot's first-use values for its tool's stroke method.
PenSettingRecord PenSlotDefaults(StrokeMethod method);

class PenSlots {
public:
    PenSlots(); // every slot at its first-use values

    // tool 0-7 in PenSlotKinds order, slot 1-5; null outside.
    PenSettingRecord* Slot(int tool, int slot);
    const PenSettingRecord* Slot(int tool, int slot) const;

    // Resets every slot to its first-use values, then reads what the store
    // holds. A slot's values come in four groups, each taken only when all
    // its values are there; the first incomplete group ends that slot.
    void Load(const SettingsStore& store);
    // Writes every value of every slot ("useTone" always false).
    void Save(SettingsStore& store) const;

    static std::string Section(int tool, int slot);

private:
    std::array<std::array<PenSettingRecord, kPenSlotsPerTool>, kPenSlotTools> slots_;
};

} // namespace morvane
