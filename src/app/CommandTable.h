#pragma once
// The main window's commands as plain data: names, captions, shortcuts,
// menu placement and the rules the desktop program uses to enable and
// check them. The desktop program maps each name to its handlers.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace morvane {

// A shortcut in its 16-bit stored form: the low byte is the virtual-key
// code, the high bits add Shift, Ctrl and Alt.
struct Shortcut {
    static constexpr uint16_t kShift = 0x2000, kCtrl = 0x4000, kAlt = 0x8000;
    // Virtual-key codes with names of their own (letters and digits are
    // their ASCII codes).
    static constexpr uint8_t kBackspace = 0x08, kEnter = 0x0D, kInsert = 0x2D, kDelete = 0x2E,
                             kNumPlus = 0x6B, kNumMinus = 0x6D, kF1 = 0x70, kF24 = 0x87;

    uint16_t code = 0;

    bool Empty() const { return code == 0; }
    uint8_t Key() const { return uint8_t(code & 0xFF); }
    bool Shift() const { return code & kShift; }
    bool Ctrl() const { return code & kCtrl; }
    bool Alt() const { return code & kAlt; }

    // "Ctrl+Shift+V", "Ctrl+Num +", "F7"; empty for no shortcut.
    std::string Text() const;
    // The inverse of Text(); nullopt for an unknown key or modifier.
    static std::optional<Shortcut> Parse(std::string_view text);
    bool operator==(const Shortcut&) const = default;
};

enum class CommandCategory : uint8_t { File, Edit, Image, Layer, Select, Filter, View, Event, Window, Help };

// When a command is enabled.
enum class EnableRule : uint8_t {
    Always,        // needs no document
    Document,      // an active document window
    Editable,      // an active document window that permits editing
    Undo,          // the active document has a step to undo
    Redo,          // ... a step to redo
    Playback,      // the active document window is playing a recording
    FilterRepeat,  // editable and a last filter exists
};

// What its check mark shows.
enum class CheckRule : uint8_t {
    None,
    State,      // the state the command toggles
    EventWait,  // the playback wait falls into this item's range
};

// Indices of the top-level menus, in menu-bar order.
enum class TopMenu : uint8_t { File, Edit, Image, Layer, Select, Filter, View, Window, Help };

struct Command {
    std::string_view name = {};
    CommandCategory category = CommandCategory::File;
    TopMenu menu = TopMenu::File;
    std::string_view submenu = {};  // caption of the submenu, empty when directly in the menu
    std::string_view caption = {};  // with its "&" key
    Shortcut shortcut;
    EnableRule enable = EnableRule::Editable;
    CheckRule check = CheckRule::None;
    int value = 0;                  // the playback wait an EventWait item sets
    std::string_view keyHint = {};  // a key the document window handles, shown after a tab
    bool visible = true;
};

// Every command, in menu order.
std::span<const Command> Commands();
const Command* FindCommand(std::string_view name);

// The nine top-level menu captions in menu-bar order.
std::span<const std::string_view> TopMenuCaptions();
std::string_view TopMenuCaption(TopMenu menu);

// The caption the repeat-filter command takes once a filter has run.
std::string FilterRepeatCaption(std::string_view filterName);

// Which playback-speed item carries the check mark for a wait (0..5).
int EventWaitItem(int wait);

// Pop-up menus of the status bar.
enum class StatusPopup : uint8_t { Zoom, Rotation, TabletType, TabletMode, StatusDisplay };
std::span<const std::string_view> StatusPopupItems(StatusPopup popup);

}  // namespace morvane
