// The settings table: every stored value with its section, name, default and
// the range applied on load. Ranges are set wherever a bad value from a
// hand-edited file would divide, loop, allocate or index past a list.
#include <algorithm>
#include <cstdio>
#include <limits>

#include "app/CAppProfile.h"

namespace morvane {

namespace {

constexpr double kIntMin = std::numeric_limits<int32_t>::min();
constexpr double kIntMax = std::numeric_limits<int32_t>::max();

class Rows {
public:
    Rows(std::vector<SettingEntry>& out, const char* section) : out_(out), section_(section) {}

    void Int(std::string name, int32_t& v, int32_t def, double lo = kIntMin, double hi = kIntMax, uint32_t flags = 0)
    {
        out_.push_back({section_, std::move(name), &v, def, lo, hi, flags});
    }
    void Pref(std::string name, int32_t& v, int32_t def, double lo, double hi)
    {
        Int(std::move(name), v, def, lo, hi, kSettingPreference);
    }
    void Bool(std::string name, bool& v, bool def, uint32_t flags = 0)
    {
        out_.push_back({section_, std::move(name), &v, def, 0, 1, flags});
    }
    void Real(std::string name, float& v, float def, double lo, double hi)
    {
        out_.push_back({section_, std::move(name), &v, def, lo, hi, 0});
    }
    void Str(std::string name, std::string& v, std::string def, uint32_t flags = 0)
    {
        out_.push_back({section_, std::move(name), &v, std::move(def), 0, 0, flags});
    }

private:
    std::vector<SettingEntry>& out_;
    const char* section_;
};

std::string Numbered(const char* pattern, int index)
{
    char name[64];
    std::snprintf(name, sizeof name, pattern, index);
    return name;
}

constexpr uint32_t kPref = kSettingPreference;

void FileIORows(Rows r, CAppProfile::FileIO& v, const AppEnvironment& env)
{
    const std::string app = env.appFolder;
    const std::string preset = app + "/preset";
    r.Str("appPath", v.appPath, app, kSettingWriteOnly);
    r.Str("loadPath", v.loadPath, app);
    r.Str("savePath", v.savePath, app);
    r.Str("eventPath", v.eventPath, app);
    r.Str("palPath", v.palPath, preset);
    r.Str("palFile", v.palFile, "", kPref);
    r.Str("gradPath2", v.gradPath2, preset);
    r.Str("gradFile2", v.gradFile2, "", kPref);
    r.Str("penPath", v.penPath, preset);
    r.Str("nibFile", v.nibFile, "", kPref);
    r.Str("brushFile", v.brushFile, "", kPref);
    r.Pref("FileIODir", v.FileIODir, 1, 0, 3);
    r.Int("pictLoadExtIdx", v.pictLoadExtIdx, 1);
    r.Int("eventLoadExtIdx", v.eventLoadExtIdx, 1);
    r.Bool("eventOptionFlag", v.eventOptionFlag, false);
    r.Bool("silentFileIO", v.silentFileIO, false, kPref | kSettingInverted);
    r.Bool("jpegUseProgressive", v.jpegUseProgressive, false);
    r.Bool("jpegUseSmooth", v.jpegUseSmooth, false);
    r.Int("jpegValSmooth", v.jpegValSmooth, 0, 0, 100);
    r.Int("jpegQType", v.jpegQType, 1, 0, 4);
    r.Int("jpegQuality", v.jpegQuality, 90, 0, 100);
    r.Int("jpegQVHigh", v.jpegQVHigh, 100, 0, 100);
    r.Int("jpegQHigh", v.jpegQHigh, 90, 0, 100);
    r.Int("jpegQStd", v.jpegQStd, 75, 0, 100);
    r.Int("jpegQLow", v.jpegQLow, 50, 0, 100);
}

void ConfigRows(Rows r, CAppProfile::Config& v, const AppEnvironment& env)
{
    r.Int("appVerID", v.appVerID, 0);
    r.Int("lastCP", v.lastCP, env.codePage);
    r.Int("lastLCID", v.lastLCID, env.localeId);
    r.Pref("gridW", v.gridW, 32, 2, 500);
    r.Pref("gridH", v.gridH, 32, 2, 500);
    r.Pref("undoMax", v.undoMax, 8, 1, 50);
    r.Int("fillLimit", v.fillLimit, 20, 1, 500);
    r.Int("fillTarget", v.fillTarget, 0);
    r.Int("wandLimit", v.wandLimit, 20, 1, 500);
    r.Int("wandTarget", v.wandTarget, 0);
    r.Bool("fillAntiAlias", v.fillAntiAlias, false);
    r.Bool("wandAntiAlias", v.wandAntiAlias, false);
    r.Int("gradType", v.gradType, 0, 0, 2);
    r.Int("gradMap", v.gradMap, 0, 0, 1);
    r.Int("gradRep", v.gradRep, 0, 0, 1);
    r.Int("gradRepCnt", v.gradRepCnt, 1, 1, 500);
    r.Bool("ignoreTablet", v.ignoreTablet, false);
    r.Int("eventWait", v.eventWait, 0);
    r.Int("tabletType", v.tabletType, 0, 0, 1);
    r.Bool("rgbPalBarFixed", v.rgbPalBarFixed, true);
    r.Bool("useRBtnColPicker", v.useRBtnColPicker, true, kPref);
    r.Bool("useAutoScroll", v.useAutoScroll, false, kPref);
    r.Bool("useFilePreview", v.useFilePreview, true);
    r.Bool("showScrollBar", v.showScrollBar, false, kPref);
    r.Bool("titleFullpath", v.titleFullpath, false, kPref);
    r.Pref("mouseMBtnFunc", v.mouseMBtnFunc, 0, 0, 10);
    r.Real("opaquePaint", v.opaquePaint, 1.0f, 0, 1);
    r.Real("opaqueAreaFill", v.opaqueAreaFill, 1.0f, 0, 1);
    r.Real("opaqueSeedFill", v.opaqueSeedFill, 1.0f, 0, 1);
    r.Real("opaqueGradate", v.opaqueGradate, 1.0f, 0, 1);
    r.Real("opaqueDraw", v.opaqueDraw, 1.0f, 0, 1);
    r.Real("opaqueLine", v.opaqueLine, 1.0f, 0, 1);
    r.Real("opaqueFont", v.opaqueFont, 1.0f, 0, 1);
    r.Bool("DrawToolMode", v.DrawToolMode, false);
    r.Bool("AutoFreeHand", v.AutoFreeHand, false);
    r.Pref("ShortcutMode", v.ShortcutMode, 0, 0, 1);
    r.Bool("UseLastFile", v.UseLastFile, true, kPref);
    r.Pref("PresetSaveAsQuit", v.PresetSaveAsQuit, 0, 0, 2);
    r.Int("GridColor", v.GridColor, static_cast<int32_t>(0x80000000u));
    r.Bool("DrawToolAutoSave", v.DrawToolAutoSave, false);
    r.Pref("DrawToolCursor", v.DrawToolCursor, 0, 0, 1);
    r.Pref("OtherToolCursor", v.OtherToolCursor, 0, 0, 1);
    r.Str("CursorFile", v.CursorFile, "", kPref);
    r.Bool("BrushGhost", v.BrushGhost, false, kPref);
    r.Bool("ShowGhostCenter", v.ShowGhostCenter, true, kPref);
    r.Bool("UseGrabCtrl", v.UseGrabCtrl, true, kPref);
    r.Bool("CellExchange", v.CellExchange, false, kPref);
    r.Pref("AutoSizeAdjust", v.AutoSizeAdjust, 7, 0, 7);
    r.Bool("ForceDispParam", v.ForceDispParam, false, kPref);
    r.Bool("RotZoomDblClk", v.RotZoomDblClk, true, kPref);
    r.Bool("RotGrabDblClk", v.RotGrabDblClk, true, kPref);
    r.Bool("ToolFindNext", v.ToolFindNext, true, kPref | kSettingInverted);
    r.Bool("UseVertSlider", v.UseVertSlider, true, kPref);
    r.Int("ToolSubMode", v.ToolSubMode, 0);
}

void PaperRows(Rows r, PaperPreset (&presets)[kPaperPresetCount])
{
    for (int i = 0; i < kPaperPresetCount; ++i) {
        PaperPreset& p = presets[i];
        // Every unit's largest picture side is at most 10000 of that unit.
        r.Int(Numbered("unit%d", i), p.unit, 0, 0, 3);
        r.Int(Numbered("dpi%d", i), p.dpi, 72, 72, 600);
        r.Real(Numbered("w%d", i), p.w, 640, 0, 10000);
        r.Real(Numbered("h%d", i), p.h, 480, 0, 10000);
        r.Bool(Numbered("transparent%d", i), p.transparent, false);
    }
}

void ViewRows(Rows& r, const char* prefix, ViewPlacement& v)
{
    const std::string p = prefix;
    r.Int(p + "ParentForm", v.ParentForm, -1);
    r.Int(p + "ParentPane", v.ParentPane, -1);
    r.Int(p + "ViewIndex", v.ViewIndex, -1);
    r.Bool(p + "Visible", v.Visible, true);
    r.Int(p + "Width", v.Width, -1);
    r.Int(p + "Height", v.Height, -1);
}

void WindowRows(Rows r, CAppProfile::Window& v, const AppEnvironment& env)
{
    // Up to the screen's side when it is known (and never below the least size).
    auto screenLimit = [](int32_t side) { return side > 0 ? double(std::max(side, 200)) : kIntMax; };
    r.Int("mainWinX", v.mainWinX, -1);
    r.Int("mainWinY", v.mainWinY, -1);
    r.Int("mainWinW", v.mainWinW, -1, 200, screenLimit(env.screenWidth), kSettingUnsetBelowZero);
    r.Int("mainWinH", v.mainWinH, -1, 200, screenLimit(env.screenHeight), kSettingUnsetBelowZero);
    r.Bool("mainWinMax", v.mainWinMax, true);
    r.Bool("childWinMax", v.childWinMax, false);
    r.Int("fontDlgX", v.fontDlgX, -1);
    r.Int("fontDlgY", v.fontDlgY, -1);
    r.Int("fontDlgW", v.fontDlgW, -1);
    r.Int("fontDlgH", v.fontDlgH, -1);
    r.Int("FloatFormCount", v.FloatFormCount, 0, 0, kMaxFloatForms);
    r.Bool("ToolFormVisible", v.ToolFormVisible, true);
    r.Int("ToolFormX", v.ToolFormX, -1);
    r.Int("ToolFormY", v.ToolFormY, -1);
    r.Int("ToolFormWidth", v.ToolFormWidth, -1);
    r.Int("ToolFormHeight", v.ToolFormHeight, -1);
    r.Str("DockLayout", v.DockLayout, "");
    static const char* const kViews[kDockViewCount] = {"OptionView", "NavigatorView", "InfomationView", "ColorView",
                                                       "SwatchView", "BrushListView", "LayerView", "MaskView"};
    for (int i = 0; i < kDockViewCount; ++i)
        ViewRows(r, kViews[i], v.views[i]);
    r.Bool("PreviewCounterRotate", v.PreviewCounterRotate, false);
    r.Bool("OptionListDblClick", v.OptionListDblClick, false);
    r.Int("ColorSampler", v.ColorSampler, 3);
    struct Unset {
        const char* name;
        int32_t CAppProfile::Window::*member;
    };
    using W = CAppProfile::Window;
    static const Unset kUnset[] = {
        {"SwathListType", &W::SwathListType}, {"BrushListType", &W::BrushListType},
        {"EventCapacity", &W::EventCapacity}, {"LayerListType", &W::LayerListType},
        {"MaskListType", &W::MaskListType}, {"PopBrushListWidth", &W::PopBrushListWidth},
        {"PopBrushListHeight", &W::PopBrushListHeight}, {"PopPenNibListWidth", &W::PopPenNibListWidth},
        {"PopPenNibListHeight", &W::PopPenNibListHeight}, {"PopGradListWidth", &W::PopGradListWidth},
        {"PopGradListHeight", &W::PopGradListHeight}, {"PopToneListWidth", &W::PopToneListWidth},
        {"PopToneListHeight", &W::PopToneListHeight}, {"PopBrushListType", &W::PopBrushListType},
        {"PopPenNibListType", &W::PopPenNibListType}, {"PopGradListType", &W::PopGradListType},
        {"PopToneListType", &W::PopToneListType}, {"PopGradPrevType", &W::PopGradPrevType},
        {"PopTonePrevType", &W::PopTonePrevType}, {"EdtBrushListType", &W::EdtBrushListType},
        {"EdtPenNibListType", &W::EdtPenNibListType}, {"EdtGradListType", &W::EdtGradListType},
        {"EdtToneListType", &W::EdtToneListType},
    };
    for (const Unset& u : kUnset)
        r.Int(u.name, v.*u.member, -1);
}

void FontRows(Rows r, CAppProfile::Font& v)
{
    r.Str("face", v.face, "");
    r.Int("point", v.point, 0, 0, 999);
    r.Int("charset", v.charset, -1, -1, 255);
    r.Int("spacing", v.spacing, 0, -999, 999);
    r.Int("leading", v.leading, 0, -999, 999);
    r.Bool("italic", v.italic, false);
    r.Bool("bold", v.bold, false);
    r.Bool("vertical", v.vertical, false);
    r.Bool("underline", v.underline, false);
    r.Bool("strikeout", v.strikeout, false);
    r.Bool("useFont", v.useFont, true);
    r.Bool("usePreview", v.usePreview, true);
}

} // namespace

void CAppProfile::BuildTable(std::vector<SettingEntry>& out)
{
    FileIORows({out, "fileIO"}, fileIO, env_);
    ConfigRows({out, "config"}, config, env_);
    Rows colorRows(out, "color");
    colorRows.Int("fgCol", color.fgCol, 0, 0, 0xFFFFFF);
    colorRows.Int("bgCol", color.bgCol, 0xFFFFFF, 0, 0xFFFFFF);
    PaperRows({out, "paper"}, paper);
    WindowRows({out, "window"}, window, env_);
    for (size_t i = 0; i < window.forms.size(); ++i)
        AddFormEntries(out, window.forms[i], static_cast<int>(i));
    for (size_t i = 0; i < window.panes.size(); ++i)
        AddPaneEntries(out, window.panes[i], static_cast<int>(i));
    FontRows({out, "font"}, font);
}

void CAppProfile::AddFormEntries(std::vector<SettingEntry>& out, FloatForm& form, int index)
{
    Rows r(out, "window");
    r.Int(Numbered("FloatForm%dPaneCount", index), form.PaneCount, -1, -1, kMaxPanesPerForm);
    r.Bool(Numbered("FloatForm%dVisible", index), form.Visible, true, kSettingFormDetail);
    r.Int(Numbered("FloatForm%dX", index), form.X, -1, kIntMin, kIntMax, kSettingFormDetail);
    r.Int(Numbered("FloatForm%dY", index), form.Y, -1, kIntMin, kIntMax, kSettingFormDetail);
    r.Int(Numbered("FloatForm%dWidth", index), form.Width, -1, kIntMin, kIntMax, kSettingFormDetail);
    r.Int(Numbered("FloatForm%dHeight", index), form.Height, -1, kIntMin, kIntMax, kSettingFormDetail);
}

void CAppProfile::AddPaneEntries(std::vector<SettingEntry>& out, FloatPane& pane, int index)
{
    Rows r(out, "window");
    r.Int(Numbered("FloatPane%dParentForm", index), pane.ParentForm, -1);
    r.Int(Numbered("FloatPane%dPaneIndex", index), pane.PaneIndex, -1);
    r.Int(Numbered("FloatPane%dViewCount", index), pane.ViewCount, -1, -1, kDockViewCount);
    r.Int(Numbered("FloatPane%dActiveView", index), pane.ActiveView, -1);
    r.Int(Numbered("FloatPane%dCollapse", index), pane.Collapse, -1);
}

} // namespace morvane
