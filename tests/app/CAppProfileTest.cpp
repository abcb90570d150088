// The settings object: defaults on a first start, clamps on load, the
// generation step, a full round trip and the instances that never save.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "SampleProfile.h"
#include "app/CAppProfile.h"
#include "platform/SettingsStore.h"

using namespace morvane;

namespace {

AppEnvironment TestEnvironment()
{
    AppEnvironment env;
    env.localeId = 1041;
    env.codePage = 932;
    env.appFolder = "/opt/morvane";
    env.screenWidth = 1920;
    env.screenHeight = 1080;
    return env;
}

SettingData Value(CAppProfile& p, const char* section, const char* name)
{
    std::vector<SettingEntry> table = p.Table();
    const SettingEntry* e = FindSetting(table, section, name);
    EXPECT_NE(e, nullptr) << section << "/" << name;
    return e ? CurrentValue(*e) : SettingData();
}

} // namespace

TEST(AppProfile, FirstStartGivesEveryDefault)
{
    MemorySettingsStore empty;
    CAppProfile p(TestEnvironment());
    p.config.undoMax = 3;
    p.Load(empty);
    std::vector<SettingEntry> table = p.Table();
    std::set<std::pair<std::string, std::string>> names;
    std::set<const void*> slots;
    for (const SettingEntry& e : table) {
        EXPECT_TRUE(names.insert({e.section, e.name}).second) << "twice: " << e.name;
        EXPECT_TRUE(slots.insert(std::visit([](auto* s) -> const void* { return s; }, e.slot)).second)
            << "shares a field: " << e.name;
        if (e.name != "appVerID") {
            EXPECT_EQ(CurrentValue(e), e.fallback) << e.name;
        }
    }
    EXPECT_EQ(p.config.appVerID, CAppProfile::kSettingsGeneration);
    EXPECT_EQ(p.fileIO.loadPath, "/opt/morvane");
    EXPECT_EQ(p.fileIO.gradPath2, "/opt/morvane/preset");
    EXPECT_EQ(p.config.undoMax, 8);
    EXPECT_EQ(uint32_t(p.config.GridColor), 0x80000000u);
    EXPECT_EQ(p.GridOpacity(), 50);
    EXPECT_EQ(p.paper[5].dpi, 72);
    EXPECT_EQ(p.paper[5].w, 640.0f);
    EXPECT_EQ(p.window.views[7].Visible, true);
    EXPECT_EQ(p.window.PopToneListType, -1);
    EXPECT_TRUE(p.config.EnbLabelDrag && p.config.EnbLabelDblClk);

    // The first exit writes the generation, the current code page and locale.
    MemorySettingsStore saved;
    ASSERT_TRUE(p.SaveAtExit(saved));
    EXPECT_EQ(saved.Size(), table.size());
    EXPECT_EQ(saved.ReadInt("config", "appVerID"), 20);
    EXPECT_EQ(saved.ReadInt("config", "lastCP"), 932);
    EXPECT_EQ(saved.ReadString("fileIO", "appPath"), "/opt/morvane");
    EXPECT_EQ(saved.ReadReal("paper", "w3"), 640.0);
}

TEST(AppProfile, StoredIntegersAreClampedOnLoad)
{
    struct Case {
        const char* section;
        const char* name;
        int32_t stored;
        int32_t loaded;
    };
    const Case cases[] = {
        {"window", "mainWinW", 50, 200},       {"window", "mainWinW", -1, -1},
        {"window", "mainWinW", 5000, 1920},    {"window", "mainWinH", 199, 200},
        {"config", "mouseMBtnFunc", 15, 10},   {"fileIO", "jpegQType", 9, 4},
        {"config", "undoMax", 0, 1},           {"config", "undoMax", 1000000, 50},
        {"config", "gridW", 1, 2},             {"config", "gridH", INT32_MAX, 500},
        {"config", "gradRepCnt", -7, 1},       {"window", "FloatFormCount", 1 << 30, 8},
        {"window", "FloatFormCount", -3, 0},   {"paper", "dpi2", 0, 72},
        {"config", "fillLimit", 0, 1},         {"font", "point", 100000, 999},
        {"config", "ToolFindNext", 7, 1},      {"config", "gridW", 17, 17},
    };
    for (const Case& c : cases) {
        MemorySettingsStore store;
        store.Write(c.section, c.name, c.stored);
        CAppProfile p(TestEnvironment());
        p.Load(store);
        SettingData v = Value(p, c.section, c.name);
        int32_t got = std::holds_alternative<bool>(v) ? std::get<bool>(v) : std::get<int32_t>(v);
        EXPECT_EQ(got, c.loaded) << c.name << " stored " << c.stored;
    }
}

TEST(AppProfile, HostileValuesLoadAsDefaultsOrClamped)
{
    MemorySettingsStore store;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    store.Write("config", "opaquePaint", nan);
    store.Write("config", "opaqueLine", std::numeric_limits<double>::infinity());
    store.Write("config", "opaqueDraw", -2.0);
    store.Write("paper", "w0", 1e300);
    store.Write("paper", "h0", 0.5);
    store.Write("config", "undoMax", std::string("12"));                  // wrong kind
    store.Write("config", "opaqueFont", int32_t(0));                      // wrong kind
    store.Write("fileIO", "loadPath", int32_t(4));                        // wrong kind
    store.Write("font", "face", std::vector<uint8_t>{0xFF, 0x00, 0xFE}); // wrong kind
    store.Write("fileIO", "appPath", std::string("/elsewhere"));          // never read
    CAppProfile p(TestEnvironment());
    p.Load(store);
    EXPECT_EQ(p.config.opaquePaint, 1.0f);
    EXPECT_EQ(p.config.opaqueLine, 1.0f);
    EXPECT_EQ(p.config.opaqueDraw, 0.0f);
    EXPECT_EQ(p.paper[0].w, 10000.0f);
    EXPECT_EQ(p.paper[0].h, 0.5f);
    EXPECT_EQ(p.config.undoMax, 8);
    EXPECT_EQ(p.config.opaqueFont, 1.0f);
    EXPECT_EQ(p.fileIO.loadPath, "/opt/morvane");
    EXPECT_EQ(p.font.face, "");
    EXPECT_EQ(p.fileIO.appPath, "/opt/morvane");
}

TEST(AppProfile, FloatFormDetailsNeedTheirPaneCount)
{
    MemorySettingsStore store;
    store.Write("window", "FloatFormCount", int32_t(2));
    store.Write("window", "FloatForm0X", int32_t(40));  // no pane count: ignored
    store.Write("window", "FloatForm1PaneCount", int32_t(99));
    store.Write("window", "FloatForm1X", int32_t(50));
    store.Write("window", "FloatPane7ViewCount", int32_t(3));
    store.Write("window", "FloatPane8ViewCount", int32_t(3)); // beyond the panes
    CAppProfile p(TestEnvironment());
    p.Load(store);
    ASSERT_EQ(p.window.forms.size(), 2u);
    EXPECT_EQ(p.window.forms[0].X, -1);
    EXPECT_EQ(p.window.forms[1].PaneCount, kMaxPanesPerForm);
    EXPECT_EQ(p.window.forms[1].X, 50);
    ASSERT_EQ(p.window.panes.size(), size_t(kMaxPanesPerForm));
    EXPECT_EQ(p.window.panes[7].ViewCount, 3);
}

TEST(AppProfile, GenerationStepClearsOldGradationFile)
{
    for (int32_t generation : {0, 10, 11, 20}) {
        MemorySettingsStore store;
        store.Write("config", "appVerID", generation);
        store.Write("fileIO", "gradFile2", std::string("/p/old.mgs"));
        CAppProfile p(TestEnvironment());
        p.Load(store);
        EXPECT_EQ(p.fileIO.gradFile2.empty(), generation <= 10) << generation;
        EXPECT_EQ(p.config.appVerID, 20);
    }
}

TEST(AppProfile, EveryValueSurvivesARoundTrip)
{
    CAppProfile a(TestEnvironment());
    FillSample(a);
    MemorySettingsStore store;
    ASSERT_TRUE(a.SaveAtExit(store));
    CAppProfile b(TestEnvironment());
    b.Load(store);
    std::vector<SettingEntry> ta = a.Table();
    std::vector<SettingEntry> tb = b.Table();
    ASSERT_EQ(ta.size(), tb.size());
    for (size_t i = 0; i < ta.size(); ++i) {
        ASSERT_EQ(ta[i].name, tb[i].name);
        if (!SampleLeaves(ta[i])) {
            EXPECT_NE(CurrentValue(ta[i]), ta[i].fallback) << "sample kept the default: " << ta[i].name;
        }
        EXPECT_EQ(CurrentValue(tb[i]), CurrentValue(ta[i])) << ta[i].name;
    }
}

TEST(AppProfile, RenderAndViewerInstancesNeverSave)
{
    CAppProfile p(TestEnvironment());
    p.SetSavesAtExit(false);
    MemorySettingsStore store;
    EXPECT_FALSE(p.SaveAtExit(store));
    EXPECT_EQ(store.Size(), 0u);
}

size_t ControlIndex(const char* caption)
{
    const std::vector<PreferenceControl>& controls = PreferenceControls();
    for (size_t i = 0; i < controls.size(); ++i)
        if (std::string(controls[i].caption) == caption)
            return i;
    ADD_FAILURE() << caption;
    return 0;
}

TEST(PreferencesModel, EveryControlShowsItsValue)
{
    CAppProfile p(TestEnvironment());
    // Every control names a value of the table.
    std::vector<SettingEntry> table = p.Table();
    for (const PreferenceControl& c : PreferenceControls())
        EXPECT_NE(FindSetting(table, c.section, c.setting), nullptr) << c.caption;

    // Storing what the controls show changes nothing, even with odd bits set.
    FillSample(p);
    p.config.AutoSizeAdjust = 5;
    p.fileIO.FileIODir = 2;
    MemorySettingsStore before, after;
    p.SaveAtExit(before);
    StoreControls(p, ReadControls(p));
    p.SaveAtExit(after);
    for (const SettingEntry& e : p.Table()) {
        std::optional<SettingValue> a = before.Read(e.section, e.name);
        EXPECT_TRUE(a && a == after.Read(e.section, e.name)) << e.name;
    }

    std::vector<SettingData> states = ReadControls(p);
    EXPECT_EQ(states[ControlIndex("画像サイズの変更後に表示をウィンドウに合わせる")], SettingData(true));
    EXPECT_EQ(states[ControlIndex("イベント再生時のみ")], SettingData(false));
    EXPECT_EQ(states[ControlIndex("縮小方向のみ")], SettingData(true));
    EXPECT_EQ(states[ControlIndex("「名前を付けて保存」ではファイルのパスを優先する")], SettingData(false));
}

TEST(PreferencesModel, InvertedBoxesOpacityAndRanges)
{
    CAppProfile p(TestEnvironment());
    p.config.GridColor = 0x00123456;
    std::vector<SettingData> states = ReadControls(p);
    // Shift switching is checked exactly when ToolFindNext is off.
    EXPECT_EQ(states[ControlIndex("グループ内のツールは Shift + ショートカットで切り替える")], SettingData(false));
    EXPECT_EQ(states[ControlIndex("ファイル保存時に確認ダイアログを表示する")], SettingData(true));
    states[ControlIndex("グループ内のツールは Shift + ショートカットで切り替える")] = true;
    states[ControlIndex("ファイル保存時に確認ダイアログを表示する")] = false;
    // 50 % keeps the colour and gives alpha Trunc(127.5 + 0.5) = 128.
    states[ControlIndex("グリッド 不透明度")] = int32_t(50);
    states[ControlIndex("アンドゥ回数")] = int32_t(99);
    states[ControlIndex("縮小方向のみ")] = false;
    StoreControls(p, states);
    EXPECT_FALSE(p.config.ToolFindNext);
    EXPECT_TRUE(p.fileIO.silentFileIO);
    EXPECT_EQ(uint32_t(p.config.GridColor), 0x80123456u);
    EXPECT_EQ(p.GridOpacity(), 50);
    EXPECT_EQ(p.config.undoMax, 50);
    EXPECT_EQ(p.config.AutoSizeAdjust, 3);
    EXPECT_EQ(GridAlphaFromOpacity(100), 255);
    EXPECT_EQ(GridAlphaFromOpacity(1), 3);
    EXPECT_EQ(GridAlphaFromOpacity(-20), 0);
}

TEST(PreferencesModel, InitialiseResetsTheListedControlsOnly)
{
    CAppProfile p(TestEnvironment());
    FillSample(p);
    std::vector<SettingData> states = ReadControls(p);
    const std::vector<SettingData> sample = states;
    ResetControls(states, TestEnvironment());
    // The controls change, the profile does not (until 閉じる).
    EXPECT_EQ(ReadControls(p), sample);
    struct Expect {
        const char* caption;
        SettingData state;
    };
    const Expect resets[] = {
        {"アンドゥ回数", int32_t(8)},         {"グリッド 幅", int32_t(32)},
        {"中ボタンの機能", int32_t(0)},       {"グループ内のツールは Shift + ショートカットで切り替える", false},
        {"ファイル保存時に確認ダイアログを表示する", true},
        {"「名前を付けて保存」ではファイルのパスを優先する", true},
        {"「開く」「名前を付けて保存」で別々のパスを使用する", false},
        {"縮小方向のみ", true},               {"ペン先設定", std::string()},
        {"終了時に使用しているファイルを起動ファイルにする", true},
    };
    for (const Expect& e : resets)
        EXPECT_EQ(states[ControlIndex(e.caption)], e.state) << e.caption;
    for (const char* kept : {"グリッド 色", "グリッド 不透明度", "描画ツールの設定を自動的に保存する",
                             "描画ツールを変更したとき、フリーハンドに切り替える"})
        EXPECT_EQ(states[ControlIndex(kept)], sample[ControlIndex(kept)]) << kept;
}

TEST(AppProfile, EnvironmentOfThisProcess)
{
    AppEnvironment env = DetectEnvironment();
    EXPECT_EQ(env.appFileName, "test_app");
    EXPECT_FALSE(env.appFolder.empty());
    EXPECT_EQ(env.languageGroup, 0); // names are CP932 text here
    EXPECT_GE(env.monitorCount, 1);
}

TEST(AppProfile, LanguageGroupRule)
{
    EXPECT_EQ(LanguageGroup(932, 1033), 0);
    EXPECT_EQ(LanguageGroup(1252, 1041), 0);
    EXPECT_EQ(LanguageGroup(949, 1041), 0);
    EXPECT_EQ(LanguageGroup(1252, 1042), 1);
    EXPECT_EQ(LanguageGroup(1252, 1033), 2);
}

namespace morvane {
namespace {

TEST(AppProfile, PaperPresetsBecomeSoundUserPresets)
{
    struct Case {
        PaperPreset stored;
        SUserPaperPreset expected;
    };
    const Case cases[] = {
        {{3, 150, 297.0f, 210.0f, true}, {SizeUnit::Mm, 150, 297.0f, 210.0f, true}},
        // Each value passed the settings' own range, but 9000 inches is no picture.
        {{1, 600, 9000.0f, 2.0f, false}, {SizeUnit::Inch, 600, 10000.0f / 600, 2.0f, false}},
        {{7, 72, 640.0f, 4.0f, false}, {SizeUnit::Pixel, 72, 640.0f, 8.0f, false}},
    };
    for (const Case& c : cases) {
        const SUserPaperPreset user = ToUserPaperPreset(c.stored);
        EXPECT_EQ(user.unit, c.expected.unit);
        EXPECT_EQ(user.resolution, c.expected.resolution);
        EXPECT_FLOAT_EQ(user.width, c.expected.width);
        EXPECT_FLOAT_EQ(user.height, c.expected.height);
        EXPECT_EQ(user.transparent, c.expected.transparent);
        EXPECT_EQ(ToUserPaperPreset(FromUserPaperPreset(user)), user);
    }
}

} // namespace
} // namespace morvane
