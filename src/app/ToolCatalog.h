#pragma once
// The tools the tool window offers: the painting menus with their kinds in
// the order the menus give them, one entry per operation of the other
// classes, the key of each group, and the last tool used in each group.
// Pressing a group's key picks its last tool, again steps through it.
#include <cstdint>
#include <span>

#include "input/ToolState.h"

namespace morvane {

struct ToolItem {
    const char* caption;
    Operation operation; // freehand for a painting kind
    int8_t kind;         // the painting kind, -1 for other operations
    const char* icon;    // the theme's icon name, or ours ("morvane-...")
};

struct ToolGroup {
    char key;      // the letter that picks the group, 0 for none
    bool menu;     // one button with a drop-down of the items (the painting menus)
    std::span<const ToolItem> items;
};

std::span<const ToolGroup> ToolGroups();
// An item whose class the document window does not handle yet is shown
// disabled.
bool ItemAvailable(const ToolItem& item);
// The item the tool state stands on, nullptr when none matches.
const ToolItem* ItemOf(const ToolState& tools);
// The tool state takes the item (its kind, or its operation).
void ChooseItem(ToolState& tools, const ToolItem& item);

class ToolPicker {
public:
    // The group of every item that the tool state names becomes its last used.
    void Follow(const ToolState& tools);
    const ToolItem& LastUsed(size_t group) const;
    // The item a group key picks, nullptr for a key of no group. The first
    // press picks the group's last tool; pressing it while a tool of the
    // group is current steps to the next available one, with stepNext (the
    // "ToolFindNext" setting) on a plain press, else on Shift and the key.
    const ToolItem* Key(char key, bool shift, bool stepNext, const ToolState& tools) const;

private:
    size_t last_[16] = {};
};

} // namespace morvane
