#include "app/CommandTable.h"
#include "document/PaperOperations.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace morvane {
namespace {

TEST(CommandTableTest, NamesAreUniqueAndEveryRowIsComplete)
{
    std::set<std::string_view> names;
    for (const Command& c : Commands()) {
        EXPECT_TRUE(names.insert(c.name).second) << c.name;
        EXPECT_FALSE(c.caption.empty()) << c.name;
        EXPECT_NE(c.caption.find('&'), std::string_view::npos) << c.name;
        EXPECT_TRUE(c.visible) << c.name;
        EXPECT_EQ(FindCommand(c.name), &c);
    }
    EXPECT_EQ(names.size(), 172u);
    EXPECT_EQ(FindCommand("ActNoSuchThing"), nullptr);
}

TEST(CommandTableTest, SampleRowsHaveTheirCaptionsKeysAndPlaces)
{
    struct Row {
        const char* name;
        TopMenu menu;
        const char* submenu;
        const char* caption;
        const char* keys;
    };
    const Row rows[] = {
        {"ActFileNew", TopMenu::File, "", "新規作成(&N)...", "Ctrl+N"},
        {"ActEventOpen", TopMenu::File, "", "イベントを開く(&E)...", "Ctrl+Alt+O"},
        {"ActFileClose", TopMenu::File, "", "閉じる(&C)", "Ctrl+F4"},
        {"ActFileRevert", TopMenu::File, "", "復帰(&T)", ""},
        {"ActEditRedo", TopMenu::Edit, "", "やり直し(&R)", "Ctrl+Y"},
        {"ActImgRot270", TopMenu::Image, "", "90度回転(反時計回り)(&0)", ""},
        {"ActLyrProtectA", TopMenu::Layer, "透明部分(&A)", "透明部分を保護(&L)", ""},
        {"ActViewFlipLyr", TopMenu::Layer, "表示(&V)", "表示状態を反転(&R)", ""},
        {"ActSelInvert", TopMenu::Select, "", "選択範囲を反転(&I)", "Ctrl+Shift+I"},
        {"actFilterMono", TopMenu::Filter, "色調補正(&A)", "グレースケール(&G)", "Ctrl+Shift+U"},
        {"actFilterRot180", TopMenu::Filter, "変形(&T)", "180°回転(&1)", ""},
        {"actFilterCustom55", TopMenu::Filter, "", "カスタム(&C)...", ""},
        {"ActViewZoomO", TopMenu::View, "", "縮小表示(&M)", "Ctrl+Num -"},
        {"ActViewAA", TopMenu::View, "", "アンチエイリアス表示(&N)", "F9"},
        {"ActEventStop", TopMenu::View, "", "イベント再生の中止(&O)...", "Ctrl+Shift+Enter"},
        {"ActEventContinue", TopMenu::View, "", "このステップから描き続ける(&C)...", ""},
        {"ActEventWait3", TopMenu::View, "再生速度(&W)", "&3", ""},
        {"actWindowMinimizeAll", TopMenu::Window, "ドキュメント(&D)", "すべてを最小化(&M)", ""},
        {"actShowToolBox", TopMenu::Window, "", "ツール(&T)", "Ctrl+0"},
        {"actShowSelectWindow", TopMenu::Window, "", "マスク(&M)", "Ctrl+9"},
        {"actOpenHtmlHelp", TopMenu::Help, "", "Morvane ヘルプ(&H)...", "F1"},
    };
    for (const Row& r : rows) {
        const Command* c = FindCommand(r.name);
        ASSERT_NE(c, nullptr) << r.name;
        EXPECT_EQ(c->menu, r.menu) << r.name;
        EXPECT_EQ(c->submenu, r.submenu) << r.name;
        EXPECT_EQ(c->caption, r.caption) << r.name;
        EXPECT_EQ(c->shortcut.Text(), r.keys) << r.name;
    }
}

TEST(CommandTableTest, MenusComeInBarOrderAndRowsStayGrouped)
{
    const std::string_view tops[] = {"ファイル(&F)", "編集(&E)", "画像(&I)", "レイヤ(&L)", "選択範囲(&S)",
                                     "フィルタ(&T)", "表示(&V)", "ウインドウ(&W)", "ヘルプ(&H)"};
    ASSERT_EQ(TopMenuCaptions().size(), std::size(tops));
    for (size_t i = 0; i < std::size(tops); ++i) {
        EXPECT_EQ(TopMenuCaptions()[i], tops[i]);
        EXPECT_EQ(TopMenuCaption(TopMenu(i)), tops[i]);
    }
    // The menus are built in table order, so a menu's rows must not be split.
    for (size_t i = 1; i < Commands().size(); ++i)
        EXPECT_LE(Commands()[i - 1].menu, Commands()[i].menu) << Commands()[i].name;
    EXPECT_EQ(Commands().front().name, "ActFileNew");
    EXPECT_EQ(Commands().back().name, "actAboutBox");
}

TEST(CommandTableTest, NoTwoCommandsShareAKey)
{
    std::set<uint16_t> codes;
    for (const Command& c : Commands()) {
        if (!c.shortcut.Empty()) {
            EXPECT_TRUE(codes.insert(c.shortcut.code).second) << c.name;
        }
    }
    EXPECT_EQ(codes.size(), 57u);
}

TEST(CommandTableTest, ShortcutsEncodeAndDecode)
{
    struct Case {
        const char* text;
        uint16_t code;
    };
    const Case cases[] = {
        {"Ctrl+N", 0x4000 | 'N'},         {"Ctrl+Shift+V", 0x6000 | 'V'}, {"Ctrl+Alt+O", 0xC000 | 'O'},
        {"Ctrl+F4", 0x4000 | 0x73},       {"F1", 0x70},                   {"F9", 0x78},
        {"Ctrl+Num +", 0x4000 | 0x6B},    {"Ctrl+Num -", 0x4000 | 0x6D}, {"Ctrl+Shift+Enter", 0x6000 | 0x0D},
        {"Ctrl+0", 0x4000 | '0'},         {"Shift+Alt+Insert", 0xA000 | 0x2D},
    };
    for (const Case& c : cases) {
        std::optional<Shortcut> parsed = Shortcut::Parse(c.text);
        ASSERT_TRUE(parsed) << c.text;
        EXPECT_EQ(parsed->code, c.code) << c.text;
        EXPECT_EQ(Shortcut{c.code}.Text(), c.text);
    }
    EXPECT_EQ(Shortcut::Parse("Alt+Ctrl+O")->Text(), "Ctrl+Alt+O");  // any order in, one order out
    for (const char* bad : {"", "Ctrl+", "Ctrl+Ctrl+N", "Ctrl+n", "F0", "F25", "F07", "Hyper+N", "Num +x", "NN"})
        EXPECT_FALSE(Shortcut::Parse(bad)) << bad;
    EXPECT_EQ(Shortcut{}.Text(), "");
}

TEST(CommandTableTest, RulesOfTheCommandsThatNeedNoEditing)
{
    struct Case {
        const char* name;
        EnableRule enable;
        CheckRule check;
    };
    const Case cases[] = {
        {"ActFileNew", EnableRule::Always, CheckRule::None},
        {"ActFileExit", EnableRule::Always, CheckRule::None},
        {"ActFileClose", EnableRule::Document, CheckRule::None},
        {"ActEventSaveAs", EnableRule::Document, CheckRule::None},
        {"ActEditUndo", EnableRule::Undo, CheckRule::None},
        {"ActEditRedo", EnableRule::Redo, CheckRule::None},
        {"ActFilterRepeat", EnableRule::FilterRepeat, CheckRule::None},
        {"ActEventPause", EnableRule::Playback, CheckRule::State},
        {"ActEventStep", EnableRule::Playback, CheckRule::None},
        {"ActEventStop", EnableRule::Playback, CheckRule::None},
        {"ActEventContinue", EnableRule::Document, CheckRule::None},
        {"ActEventWait5", EnableRule::Always, CheckRule::EventWait},
        {"ActViewGrid", EnableRule::Editable, CheckRule::State},
        {"ActLyrProtectA", EnableRule::Editable, CheckRule::State},
        {"actShowLayerWindow", EnableRule::Always, CheckRule::State},
        {"actFilterGauss", EnableRule::Editable, CheckRule::None},
    };
    for (const Case& c : cases) {
        const Command* command = FindCommand(c.name);
        ASSERT_NE(command, nullptr) << c.name;
        EXPECT_EQ(command->enable, c.enable) << c.name;
        EXPECT_EQ(command->check, c.check) << c.name;
    }
}

TEST(CommandTableTest, PlaybackSpeedItemsSetAndCheckTheirWaits)
{
    const int sets[] = {0, 1, 4, 8, 16, 32};
    for (int i = 0; i < 6; ++i) {
        const Command* c = FindCommand("ActEventWait" + std::to_string(i));
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->value, sets[i]);
        EXPECT_EQ(EventWaitItem(c->value), i);  // an item checks itself once chosen
    }
    struct Case {
        int wait, item;
    };
    const Case waits[] = {{-5, 0}, {0, 0}, {1, 1}, {2, 2}, {4, 2}, {5, 3}, {8, 3}, {9, 4}, {16, 4}, {17, 5}, {1 << 30, 5}};
    for (Case c : waits)
        EXPECT_EQ(EventWaitItem(c.wait), c.item) << c.wait;
}

TEST(CommandTableTest, KeyHintsAndTheRepeatCaption)
{
    EXPECT_EQ(FindCommand("ActEditFill")->keyHint, "Insert");
    EXPECT_EQ(FindCommand("ActEditDelete")->keyHint, "BackSpace, Delete");
    EXPECT_EQ(FindCommand("ActEventPause")->keyHint, "Enter");
    EXPECT_EQ(FilterRepeatCaption("レベル補正"), "レベル補正(&L)");
}

TEST(CommandTableTest, StatusPopupLists)
{
    auto items = StatusPopupItems(StatusPopup::Zoom);
    ASSERT_EQ(items.size(), 17u);
    EXPECT_EQ(items.front(), "6.25%");
    EXPECT_EQ(items[8], "100%");
    EXPECT_EQ(items.back(), "1600%");
    EXPECT_EQ(StatusPopupItems(StatusPopup::Rotation).size(), 4u);
    EXPECT_EQ(StatusPopupItems(StatusPopup::Rotation)[3], "270°");
    EXPECT_EQ(StatusPopupItems(StatusPopup::TabletType)[1], "タブレット 2 ( その他 )");
    EXPECT_EQ(StatusPopupItems(StatusPopup::TabletMode)[1], "タブレット座標モード( 精細 )");
    ASSERT_EQ(StatusPopupItems(StatusPopup::StatusDisplay).size(), 4u);
    EXPECT_EQ(StatusPopupItems(StatusPopup::StatusDisplay)[3], "アンドゥ使用メモリ");
}

// The commands the registry says run each document operation are commands
// of the table that record (they need an editable document).
TEST(CommandTableTest, TheOperationsCommandsAreInTheTable)
{
    int named = 0;
    for (const OperationEntry& op : PaperOperations())
        for (const char* name : op.commands) {
            const Command* command = FindCommand(name);
            ASSERT_NE(command, nullptr) << op.name << ": " << name;
            EXPECT_EQ(command->enable, EnableRule::Editable) << name;
            ++named;
        }
    EXPECT_GT(named, 20);
}

}  // namespace
}  // namespace morvane
