#pragma once
// The program-wide settings object: facts about the system, then the user's
// settings loaded from a SettingsStore at start and written back at exit.
// Every value is described once in the settings table (section, name, kind,
// default, range, flags); load, save and reset all walk that table.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "document/NewPictureModel.h"

namespace morvane {

class SettingsStore;
struct InputSettings;

// Facts about the running system, filled in before the settings are loaded
// and never stored.
struct AppEnvironment {
    int32_t localeId = 1033;
    int32_t codePage = 932;         // names in files and events are CP932 text
    int32_t languageGroup = 0;
    bool ntFamily = true;
    int32_t systemVersion = 0;      // major * 100 + minor
    int64_t counterFrequency = 1000000000;
    int32_t monitorCount = 1;
    int32_t screenWidth = 0;        // 0: not known, window sizes get no upper clamp
    int32_t screenHeight = 0;
    std::string systemFolder;
    std::string appFolder;
    std::string appFileName;
    std::string tempFolder;
};

// 0 Japanese, 1 Korean, 2 any other language.
int32_t LanguageGroup(int32_t codePage, int32_t localeId);
// The facts of this process and machine.
AppEnvironment DetectEnvironment();

// Grid opacity in percent <-> the alpha byte of "GridColor".
uint8_t GridAlphaFromOpacity(int percent);
int GridOpacityFromAlpha(uint8_t alpha);

// The defaults of these records come from the settings table, not from here.
struct PaperPreset {
    int32_t unit, dpi;
    float w, h;
    bool transparent;
};

// The new-document dialog's user presets 1-5 are the paper presets 1-5 of
// the settings (0 keeps the last size typed for "カスタム").
SUserPaperPreset ToUserPaperPreset(const PaperPreset& preset);
PaperPreset FromUserPaperPreset(const SUserPaperPreset& preset);

// Where a docking view sits; -1 means not set.
struct ViewPlacement {
    int32_t ParentForm, ParentPane, ViewIndex;
    bool Visible;
    int32_t Width, Height;
};

struct FloatForm {
    int32_t PaneCount;
    bool Visible;
    int32_t X, Y, Width, Height;
};

struct FloatPane {
    int32_t ParentForm, PaneIndex, ViewCount, ActiveView, Collapse;
};

// Docking views in the order of their value-name prefixes.
inline constexpr int kDockViewCount = 8;
inline constexpr int kPaperPresetCount = 6;
// A floating form holds panes, a pane holds views: with eight views neither
// can sensibly exceed eight, and the limit keeps a hand-edited file from
// making the loader read or allocate without end.
inline constexpr int32_t kMaxFloatForms = 8;
inline constexpr int32_t kMaxPanesPerForm = kDockViewCount;

using SettingSlot = std::variant<int32_t*, bool*, float*, std::string*>;
using SettingData = std::variant<int32_t, bool, float, std::string>;

enum SettingFlag : uint32_t {
    kSettingWriteOnly = 1,      // written at exit, never read
    kSettingUnsetBelowZero = 2, // a negative value means "not set" and is not clamped
    kSettingPreference = 4,     // reset by the preferences dialog's 初期化
    kSettingInverted = 8,       // the dialog's check box shows the inverse
    kSettingFormDetail = 16,    // a floating form's value, read only when its pane count exists
};

struct SettingEntry {
    const char* section;
    std::string name;
    SettingSlot slot;
    SettingData fallback;       // the default
    double lo;                  // range of ints and reals, applied on load
    double hi;
    uint32_t flags;
};

SettingData CurrentValue(const SettingEntry& entry);
const SettingEntry* FindSetting(const std::vector<SettingEntry>& table, const std::string& section,
                                const std::string& name);
void AssignValue(const SettingEntry& entry, const SettingData& value);

class CAppProfile {
public:
    struct FileIO {
        std::string appPath, loadPath, savePath, eventPath, palPath, palFile, gradPath2, gradFile2;
        std::string penPath, nibFile, brushFile;
        int32_t FileIODir, pictLoadExtIdx, eventLoadExtIdx;
        bool silentFileIO, jpegUseProgressive, jpegUseSmooth;
        // Adds the optional mark to the flags of the event files saved.
        bool eventOptionFlag;
        int32_t jpegValSmooth, jpegQType, jpegQuality, jpegQVHigh, jpegQHigh, jpegQStd, jpegQLow;
    };
    struct Config {
        int32_t appVerID, lastCP, lastLCID, gridW, gridH, undoMax;
        int32_t fillLimit, fillTarget, wandLimit, wandTarget;
        bool fillAntiAlias, wandAntiAlias;
        int32_t gradType, gradMap, gradRep, gradRepCnt;
        bool ignoreTablet;
        int32_t eventWait, tabletType;
        bool rgbPalBarFixed, useRBtnColPicker, useAutoScroll, useFilePreview, showScrollBar, titleFullpath;
        int32_t mouseMBtnFunc;
        float opaquePaint, opaqueAreaFill, opaqueSeedFill, opaqueGradate, opaqueDraw, opaqueLine, opaqueFont;
        bool DrawToolMode, AutoFreeHand;
        int32_t ShortcutMode;
        bool UseLastFile;
        int32_t PresetSaveAsQuit, GridColor;
        bool DrawToolAutoSave;
        int32_t DrawToolCursor, OtherToolCursor;
        std::string CursorFile;
        bool BrushGhost, ShowGhostCenter, UseGrabCtrl, CellExchange;
        int32_t AutoSizeAdjust;
        bool ForceDispParam, RotZoomDblClk, RotGrabDblClk, ToolFindNext, UseVertSlider;
        int32_t ToolSubMode;
        // Not stored: always on.
        bool EnbLabelDrag = true, EnbLabelDblClk = true;
    };
    struct Color {
        int32_t fgCol, bgCol;
    };
    struct Window {
        int32_t mainWinX, mainWinY, mainWinW, mainWinH;
        bool mainWinMax, childWinMax;
        int32_t fontDlgX, fontDlgY, fontDlgW, fontDlgH;
        int32_t FloatFormCount;
        std::vector<FloatForm> forms;   // FloatFormCount of them
        std::vector<FloatPane> panes;   // as many as the forms' panes together
        bool ToolFormVisible;
        int32_t ToolFormX, ToolFormY, ToolFormWidth, ToolFormHeight;
        // The docking layout of the panels as the toolkit saves it (base64);
        // a value of this program's own beside the placements above.
        std::string DockLayout;
        ViewPlacement views[kDockViewCount];
        bool PreviewCounterRotate, OptionListDblClick;
        int32_t ColorSampler;
        int32_t SwathListType, BrushListType, EventCapacity, LayerListType, MaskListType;
        int32_t PopBrushListWidth, PopBrushListHeight, PopPenNibListWidth, PopPenNibListHeight;
        int32_t PopGradListWidth, PopGradListHeight, PopToneListWidth, PopToneListHeight;
        int32_t PopBrushListType, PopPenNibListType, PopGradListType, PopToneListType;
        int32_t PopGradPrevType, PopTonePrevType;
        int32_t EdtBrushListType, EdtPenNibListType, EdtGradListType, EdtToneListType;
    };
    struct Font {
        std::string face;
        int32_t point, charset, spacing, leading;
        bool italic, bold, vertical, underline, strikeout, useFont, usePreview;
    };

    // The generation this program writes; settings of generation 10 or older
    // name a gradation file of an older format.
    static constexpr int32_t kSettingsGeneration = 20;

    explicit CAppProfile(AppEnvironment environment);

    const AppEnvironment& Environment() const { return env_; }

    // Every value to its default.
    void Reset();
    // Reads the sections in load order; values the store lacks keep their
    // defaults, the rest are clamped. Then the settings-generation step.
    void Load(const SettingsStore& store);
    // Writes every value in save order when this instance saves at exit.
    // Returns false when it did not save or the store could not flush.
    bool SaveAtExit(SettingsStore& store);
    // Render and viewer instances run many at once and never write settings.
    void SetSavesAtExit(bool saves) { savesAtExit_ = saves; }
    bool SavesAtExit() const { return savesAtExit_; }

    // The table over this object's values, in load order. The floating forms
    // and panes appear as many times as there are of them.
    std::vector<SettingEntry> Table();

    int GridOpacity() const;
    void SetGridOpacity(int percent);

    FileIO fileIO{};
    Config config{};
    Color color{};
    PaperPreset paper[kPaperPresetCount]{};
    Window window{};
    Font font{};

private:
    // The table's rows (ProfileTable.cpp).
    void BuildTable(std::vector<SettingEntry>& out);
    static void AddFormEntries(std::vector<SettingEntry>& out, FloatForm& form, int index);
    static void AddPaneEntries(std::vector<SettingEntry>& out, FloatPane& pane, int index);

    void LoadSection(const SettingsStore& store, const char* section);
    void LoadDocking(const SettingsStore& store);
    void FitDocking();

    AppEnvironment env_;
    bool savesAtExit_ = true;
};

// The preferences dialog (環境設定) as data: which control shows which value.
// Its controls hold states apart from the profile: 閉じる stores them, 初期化
// resets the states only.
enum class ControlKind {
    Check,   // bool state: a flag (inverted where the table says so) or one bit of an int
    Choice,  // int state: a list or radio index
    Number,  // int state
    Text,    // string state: a file path
    Colour,  // int state: the colour without its alpha byte
    Opacity, // int state: percent, kept as the colour's alpha byte
};

struct PreferenceControl {
    const char* page;
    const char* caption;
    ControlKind kind;
    const char* section;
    const char* setting;
    int bit;                // for a Check over an int: the bit it stands for, else -1
};

const std::vector<PreferenceControl>& PreferenceControls();
// The states of all controls for the profile's values, in PreferenceControls() order.
std::vector<SettingData> ReadControls(CAppProfile& profile);
// 閉じる: the states into the profile, within each value's range.
void StoreControls(CAppProfile& profile, const std::vector<SettingData>& states);
// 初期化: the controls of the values it resets to their first-start states;
// the others (grid colour and opacity, two tool options) stay as they are.
void ResetControls(std::vector<SettingData>& states, const AppEnvironment& environment);

// The document windows' input preferences.
InputSettings InputSettingsFrom(const CAppProfile& profile);

} // namespace morvane
