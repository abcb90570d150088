// The preferences dialog's controls and the values behind them.
#include <algorithm>
#include <cstring>

#include "app/CAppProfile.h"

namespace morvane {

namespace {

using K = ControlKind;

const char* const kTool = "ツール";
const char* const kCursor = "カーソル・グリッド";
const char* const kDocument = "書類";
const char* const kStartup = "起動ファイル";

const SettingEntry& EntryOf(const std::vector<SettingEntry>& table, const PreferenceControl& c)
{
    // The controls name values of the table, so the lookup cannot fail.
    return *FindSetting(table, c.section, c.setting);
}

bool Inverted(const SettingEntry& e)
{
    return (e.flags & kSettingInverted) != 0;
}

SettingData ReadControl(const SettingEntry& e, const PreferenceControl& c)
{
    SettingData value = CurrentValue(e);
    const auto* number = std::get_if<int32_t>(&value);
    switch (c.kind) {
    case K::Check:
        if (c.bit >= 0)
            return (static_cast<uint32_t>(*number) >> c.bit & 1u) != 0;
        return std::get<bool>(value) != Inverted(e);
    case K::Colour:
        return static_cast<int32_t>(static_cast<uint32_t>(*number) & 0x00FFFFFFu);
    case K::Opacity:
        return int32_t(GridOpacityFromAlpha(static_cast<uint8_t>(static_cast<uint32_t>(*number) >> 24)));
    default:
        return value;
    }
}

void StoreControl(const SettingEntry& e, const PreferenceControl& c, const SettingData& state)
{
    SettingData value = CurrentValue(e);
    auto* number = std::get_if<int32_t>(&value);
    const auto* stateNumber = std::get_if<int32_t>(&state);
    const auto* stateCheck = std::get_if<bool>(&state);
    const uint32_t old = number ? static_cast<uint32_t>(*number) : 0;
    switch (c.kind) {
    case K::Check:
        if (!stateCheck)
            return;
        if (c.bit >= 0)
            *number = static_cast<int32_t>(*stateCheck ? old | (1u << c.bit) : old & ~(1u << c.bit));
        else
            value = *stateCheck != Inverted(e);
        break;
    case K::Colour:
        if (!stateNumber)
            return;
        *number = static_cast<int32_t>((old & 0xFF000000u) | (static_cast<uint32_t>(*stateNumber) & 0x00FFFFFFu));
        break;
    case K::Opacity:
        if (!stateNumber)
            return;
        *number = static_cast<int32_t>((old & 0x00FFFFFFu) | uint32_t(GridAlphaFromOpacity(*stateNumber)) << 24);
        break;
    case K::Choice:
    case K::Number:
        if (!stateNumber)
            return;
        *number = static_cast<int32_t>(std::clamp<double>(*stateNumber, e.lo, e.hi));
        break;
    case K::Text:
        value = state;
        break;
    }
    AssignValue(e, value);
}

} // namespace

const std::vector<PreferenceControl>& PreferenceControls()
{
    static const std::vector<PreferenceControl> kControls = {
        {kTool, "中ボタンの機能", K::Choice, "config", "mouseMBtnFunc", -1},
        {kTool, "アンドゥ回数", K::Number, "config", "undoMax", -1},
        {kTool, "ショートカット", K::Choice, "config", "ShortcutMode", -1},
        {kTool, "右クリックで色を拾う", K::Check, "config", "useRBtnColPicker", -1},
        {kTool, "手のひらコントロールを使用する", K::Check, "config", "UseGrabCtrl", -1},
        {kTool, "グループ内のツールは Shift + ショートカットで切り替える", K::Check, "config", "ToolFindNext", -1},
        {kTool, "描画ツールの設定を自動的に保存する", K::Check, "config", "DrawToolAutoSave", -1},
        {kTool, "手のひらツールのダブルクリックで角度も変更", K::Check, "config", "RotGrabDblClk", -1},
        {kTool, "ズームツールのダブルクリックで角度も変更", K::Check, "config", "RotZoomDblClk", -1},
        {kTool, "背景色を選択したとき、前景色と背景色を切り替える", K::Check, "config", "CellExchange", -1},
        {kTool, "描画ツールを変更したとき、フリーハンドに切り替える", K::Check, "config", "AutoFreeHand", -1},
        {kTool, "ポップアップスライダを縦表示", K::Check, "config", "UseVertSlider", -1},
        {kCursor, "描画カーソル", K::Choice, "config", "DrawToolCursor", -1},
        {kCursor, "描画カーソル (参照)", K::Text, "config", "CursorFile", -1},
        {kCursor, "ブラシサイズ", K::Check, "config", "BrushGhost", -1},
        {kCursor, "中心にカーソルを表示", K::Check, "config", "ShowGhostCenter", -1},
        {kCursor, "その他のカーソル", K::Choice, "config", "OtherToolCursor", -1},
        {kCursor, "グリッド 幅", K::Number, "config", "gridW", -1},
        {kCursor, "グリッド 高さ", K::Number, "config", "gridH", -1},
        {kCursor, "グリッド 色", K::Colour, "config", "GridColor", -1},
        {kCursor, "グリッド 不透明度", K::Opacity, "config", "GridColor", -1},
        {kDocument, "スクロールバーを表示する", K::Check, "config", "showScrollBar", -1},
        {kDocument, "タイトルバーにフルパスを表示する", K::Check, "config", "titleFullpath", -1},
        {kDocument, "オートスクロールを有効にする", K::Check, "config", "useAutoScroll", -1},
        {kDocument, "表示の回転・拡大縮小をアジャストする", K::Check, "config", "ForceDispParam", -1},
        {kDocument, "画像サイズの変更後に表示をウィンドウに合わせる", K::Check, "config", "AutoSizeAdjust", 0},
        {kDocument, "イベント再生時のみ", K::Check, "config", "AutoSizeAdjust", 1},
        {kDocument, "縮小方向のみ", K::Check, "config", "AutoSizeAdjust", 2},
        {kDocument, "ファイル保存時に確認ダイアログを表示する", K::Check, "fileIO", "silentFileIO", -1},
        {kDocument, "「名前を付けて保存」ではファイルのパスを優先する", K::Check, "fileIO", "FileIODir", 0},
        {kDocument, "「開く」「名前を付けて保存」で別々のパスを使用する", K::Check, "fileIO", "FileIODir", 1},
        {kStartup, "終了時に使用しているファイルを起動ファイルにする", K::Check, "config", "UseLastFile", -1},
        {kStartup, "ブラシ設定", K::Text, "fileIO", "brushFile", -1},
        {kStartup, "ペン先設定", K::Text, "fileIO", "nibFile", -1},
        {kStartup, "色見本", K::Text, "fileIO", "palFile", -1},
        {kStartup, "グラデーション", K::Text, "fileIO", "gradFile2", -1},
        {kStartup, "終了時ファイルに変更があった場合", K::Choice, "config", "PresetSaveAsQuit", -1},
    };
    return kControls;
}

std::vector<SettingData> ReadControls(CAppProfile& profile)
{
    const std::vector<SettingEntry> table = profile.Table();
    std::vector<SettingData> states;
    for (const PreferenceControl& c : PreferenceControls())
        states.push_back(ReadControl(EntryOf(table, c), c));
    return states;
}

void StoreControls(CAppProfile& profile, const std::vector<SettingData>& states)
{
    const std::vector<SettingEntry> table = profile.Table();
    const std::vector<PreferenceControl>& controls = PreferenceControls();
    for (size_t i = 0; i < controls.size() && i < states.size(); ++i)
        StoreControl(EntryOf(table, controls[i]), controls[i], states[i]);
}

void ResetControls(std::vector<SettingData>& states, const AppEnvironment& environment)
{
    CAppProfile first(environment);
    const std::vector<SettingEntry> table = first.Table();
    const std::vector<PreferenceControl>& controls = PreferenceControls();
    for (size_t i = 0; i < controls.size() && i < states.size(); ++i) {
        const SettingEntry& e = EntryOf(table, controls[i]);
        if (e.flags & kSettingPreference)
            states[i] = ReadControl(e, controls[i]);
    }
}

} // namespace morvane
