// The menus and actions built from the command table: captions, placement
// and keys as a user meets them, and the handlers they reach.
#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QtTest>

#include "gui/ActionBuilder.h"

using morvane::ActionBuilder;
using morvane::ActionHandlers;
using morvane::ActionState;

namespace {

struct Expected {
    const char* name;
    const char* menu;
    const char* submenu;
    const char* caption;
    const char* keys;  // primary shortcut, portable text
};

// Every command in menu order.
const Expected kExpected[] = {
    {"ActFileNew", "ファイル(&F)", "", "新規作成(&N)...", "Ctrl+N"},
    {"ActFileNewFromCB", "ファイル(&F)", "", "クリップボードから新規作成(&B)", "Ctrl+Shift+V"},
    {"ActFileOpen", "ファイル(&F)", "", "開く(&O)...", "Ctrl+O"},
    {"ActEventOpen", "ファイル(&F)", "", "イベントを開く(&E)...", "Ctrl+Alt+O"},
    {"ActFileClose", "ファイル(&F)", "", "閉じる(&C)", "Ctrl+F4"},
    {"ActFileSave", "ファイル(&F)", "", "上書き保存(&S)", "Ctrl+S"},
    {"ActFileSaveAs", "ファイル(&F)", "", "名前をつけて保存(&A)...", "Ctrl+Shift+S"},
    {"ActEventSaveAs", "ファイル(&F)", "", "イベントを保存(&V)...", "Ctrl+Alt+S"},
    {"ActFileRevert", "ファイル(&F)", "", "復帰(&T)", ""},
    {"ActFileNewFromTwain32", "ファイル(&F)", "", "TWAIN32機器から入力(&I)...", ""},
    {"ActLyrSaveAs", "ファイル(&F)", "", "レイヤを保存(&L)...", ""},
    {"ActFileSaveAuto", "ファイル(&F)", "", "年月日番号でBMP保存(&D)", ""},
    {"ActFilePrinterSetup", "ファイル(&F)", "", "用紙設定(&G)...", "Ctrl+Shift+P"},
    {"ActFilePrintPreview", "ファイル(&F)", "", "印刷プレビュー(&W)...", "Ctrl+P"},
    {"ActFilePrint", "ファイル(&F)", "", "印刷(&P)...", "Ctrl+Alt+P"},
    {"ActEventUpload", "ファイル(&F)", "", "イベントをアップロード(&U)...", ""},
    {"ActFileExit", "ファイル(&F)", "", "終了(&X)", "Ctrl+Q"},
    {"ActEditUndo", "編集(&E)", "", "元に戻す(&U)", "Ctrl+Z"},
    {"ActEditRedo", "編集(&E)", "", "やり直し(&R)", "Ctrl+Y"},
    {"ActEditCut", "編集(&E)", "", "切り取り(&T)", "Ctrl+X"},
    {"ActEditCopyLayer", "編集(&E)", "", "コピー(&C)", "Ctrl+C"},
    {"ActEditCopyImage", "編集(&E)", "", "画像全体をコピー(&Y)", "Ctrl+Shift+C"},
    {"ActEditPasteNew", "編集(&E)", "", "貼り付け(&P)", "Ctrl+V"},
    {"ActEditFill", "編集(&E)", "", "塗りつぶし(&F)", ""},
    {"ActEditDelete", "編集(&E)", "", "消去(&D)", ""},
    {"ActEditDens2A", "編集(&E)", "", "輝度->透明度(&L)", ""},
    {"ActEditUndoClear", "編集(&E)", "", "メモリを解放(&M)...", ""},
    {"ActEventRecStop", "編集(&E)", "", "イベント記録の中止(&Q)...", ""},
    {"ActEditPresetFile", "編集(&E)", "", "プリセットファイルの編集(&P)...", ""},
    {"ActEditOpt", "編集(&E)", "", "環境設定(&N)...", "Ctrl+K"},
    {"ActImgSize", "画像(&I)", "", "画像サイズ(&S)...", "Ctrl+Alt+C"},
    {"ActImgTrim", "画像(&I)", "", "切り抜き(&C)", ""},
    {"ActImgReso", "画像(&I)", "", "画像解像度(&I)...", "Ctrl+Alt+I"},
    {"ActImgCanvasCol", "画像(&I)", "", "画像背景色(&B)...", ""},
    {"ActImgFlipH", "画像(&I)", "", "左右反転(&H)", "Ctrl+R"},
    {"ActImgFlipV", "画像(&I)", "", "上下反転(&V)", ""},
    {"ActImgRot90", "画像(&I)", "", "90度回転(時計回り)(&9)", ""},
    {"ActImgRot270", "画像(&I)", "", "90度回転(反時計回り)(&0)", ""},
    {"ActImgRot180", "画像(&I)", "", "180度回転(&1)", ""},
    {"ActImgInvert", "画像(&I)", "", "色調反転(&I)", ""},
    {"ActLyrNew", "レイヤ(&L)", "", "新規レイヤ(&N)...", "Ctrl+Shift+N"},
    {"ActLyrImport", "レイヤ(&L)", "", "画像をレイヤとして開く(&I)...", ""},
    {"ActLyrDup", "レイヤ(&L)", "", "レイヤを複製(&D)", ""},
    {"ActLyrDel", "レイヤ(&L)", "", "レイヤを削除(&E)", ""},
    {"ActLyrSelDup", "レイヤ(&L)", "", "選択部分を複製(&C)", "Ctrl+J"},
    {"ActLyrSelNew", "レイヤ(&L)", "", "選択部分を分離(&W)", "Ctrl+Shift+J"},
    {"ActLyrGroupI", "レイヤ(&L)", "", "下のレイヤとリンク(&L)", "Ctrl+G"},
    {"ActLyrGroupO", "レイヤ(&L)", "", "リンク解除(&U)", "Ctrl+Shift+G"},
    {"ActLyrGroupDel", "レイヤ(&L)", "", "リンクグループの削除(&G)", ""},
    {"ActLyrClearA", "レイヤ(&L)", "透明部分(&A)", "すべて透明化(&H)", ""},
    {"ActLyrFillA", "レイヤ(&L)", "透明部分(&A)", "すべて不透明化(&R)", ""},
    {"ActLyrInvertA", "レイヤ(&L)", "透明部分(&A)", "透明部分を反転(&I)", ""},
    {"ActLyrSel2A", "レイヤ(&L)", "透明部分(&A)", "選択範囲で置き換え(&S)", ""},
    {"ActLyrProtectA", "レイヤ(&L)", "透明部分(&A)", "透明部分を保護(&L)", ""},
    {"ActLyrMergeD", "レイヤ(&L)", "", "下のレイヤと結合(&M)", "Ctrl+E"},
    {"ActLyrMergeG", "レイヤ(&L)", "", "リンクグループの結合(&K)", ""},
    {"ActLyrMergeV2", "レイヤ(&L)", "", "表示レイヤの結合(&S)", "Ctrl+Shift+E"},
    {"ActLyrMergeV", "レイヤ(&L)", "", "表示レイヤと背景を統合(&F)", ""},
    {"actLyrFlipLR", "レイヤ(&L)", "変形(&T)", "左右反転(&H)", ""},
    {"actLyrFlipTB", "レイヤ(&L)", "変形(&T)", "上下反転(&V)", ""},
    {"ActLyrRot90", "レイヤ(&L)", "変形(&T)", "90度回転(時計回り)(&9)", ""},
    {"ActLyrRot270", "レイヤ(&L)", "変形(&T)", "90度回転(反時計回り)(&0)", ""},
    {"actLyrRot180", "レイヤ(&L)", "変形(&T)", "180度回転(&1)", ""},
    {"ActLyrRot", "レイヤ(&L)", "変形(&T)", "回転(&R)...", ""},
    {"ActLyrScale", "レイヤ(&L)", "変形(&T)", "拡大縮小(&S)...", ""},
    {"ActViewCurLyr", "レイヤ(&L)", "表示(&V)", "選択レイヤ以外隠す(&A)", ""},
    {"ActViewAllLyr", "レイヤ(&L)", "表示(&V)", "すべて表示(&S)", ""},
    {"ActViewNoLyr", "レイヤ(&L)", "表示(&V)", "すべて隠す(&H)", ""},
    {"ActViewFlipLyr", "レイヤ(&L)", "表示(&V)", "表示状態を反転(&R)", ""},
    {"ActLyrTrimOut", "レイヤ(&L)", "", "表示範囲外を削除(&R)", ""},
    {"ActLyrOpt", "レイヤ(&L)", "", "レイヤのプロパティ(&P)...", ""},
    {"ActSelAll", "選択範囲(&S)", "", "すべて選択(&A)", "Ctrl+A"},
    {"ActSelCancel", "選択範囲(&S)", "", "選択を解除(&D)", "Ctrl+D"},
    {"ActSelInvert", "選択範囲(&S)", "", "選択範囲を反転(&I)", "Ctrl+Shift+I"},
    {"ActSelColorRange", "選択範囲(&S)", "", "色域指定(&G)...", ""},
    {"ActSelExp1", "選択範囲(&S)", "", "1ピクセル拡張(&X)", ""},
    {"ActSelCol1", "選択範囲(&S)", "", "1ピクセル縮小(&C)", ""},
    {"ActSelExp", "選択範囲(&S)", "", "拡張(&P)...", ""},
    {"ActSelCol2", "選択範囲(&S)", "", "縮小(&O)...", ""},
    {"ActMaskNew", "選択範囲(&S)", "", "新規マスク(&N)", ""},
    {"ActMaskNewFromLyrD", "選択範囲(&S)", "", "レイヤの濃度から新規作成(&E)", ""},
    {"ActMaskNewFromLyrA", "選択範囲(&S)", "", "レイヤの透明部分から新規作成(&W)", ""},
    {"ActMaskDup", "選択範囲(&S)", "", "マスクを複製(&U)", ""},
    {"ActMaskDel", "選択範囲(&S)", "", "マスクを削除(&L)", ""},
    {"ActSelEnable", "選択範囲(&S)", "", "選択範囲を使用(&B)", ""},
    {"ActMaskTrimOut", "選択範囲(&S)", "", "表示範囲外を削除(&T)", ""},
    {"ActMaskOption", "選択範囲(&S)", "", "マスクのプロパティ(&O)...", ""},
    {"ActFilterRepeat", "フィルタ(&T)", "", "フィルタの再実行(&L)", "Ctrl+F"},
    {"actFilterLevels4", "フィルタ(&T)", "色調補正(&A)", "レベル補正(&L)...", "Ctrl+L"},
    {"actFilterGamma4", "フィルタ(&T)", "色調補正(&A)", "カラーバランス(&B)...", "Ctrl+B"},
    {"actFilterContrast4", "フィルタ(&T)", "色調補正(&A)", "明るさ・コントラスト(&C)...", ""},
    {"actFilterHLS4", "フィルタ(&T)", "色調補正(&A)", "色相・彩度(&H)...", "Ctrl+U"},
    {"actFilterMono", "フィルタ(&T)", "色調補正(&A)", "グレースケール(&G)", "Ctrl+Shift+U"},
    {"actFilterNega", "フィルタ(&T)", "色調補正(&A)", "色調反転(&I)", "Ctrl+I"},
    {"actFilterSolarization", "フィルタ(&T)", "色調補正(&A)", "ソラリゼーション(&S)", ""},
    {"actFilterMonotone", "フィルタ(&T)", "色調補正(&A)", "モノクロ2階調(&T)...", ""},
    {"actFilterPoster4", "フィルタ(&T)", "色調補正(&A)", "ポスタリゼーション(&P)...", ""},
    {"actFilterGradateMap", "フィルタ(&T)", "色調補正(&A)", "グラデーションマップ(&M)...", ""},
    {"actFilterBlur", "フィルタ(&T)", "ぼかし・シャープ(&B)", "ぼかし(&B)", ""},
    {"actFilterBlurStrong", "フィルタ(&T)", "ぼかし・シャープ(&B)", "ぼかし(強)(&L)", ""},
    {"actFilterBlurMove4", "フィルタ(&T)", "ぼかし・シャープ(&B)", "ぼかし(移動)(&M)...", ""},
    {"actFilterBlurZoom", "フィルタ(&T)", "ぼかし・シャープ(&B)", "ぼかし(ズーム)(&R)...", ""},
    {"actFilterGauss", "フィルタ(&T)", "ぼかし・シャープ(&B)", "ぼかし(ガウス)(&G)...", ""},
    {"actFilterSharp4", "フィルタ(&T)", "ぼかし・シャープ(&B)", "シャープ(&S)", ""},
    {"actFilterSharpStrong4", "フィルタ(&T)", "ぼかし・シャープ(&B)", "シャープ(強)(&H)", ""},
    {"actFilterSharpCustom4", "フィルタ(&T)", "ぼかし・シャープ(&B)", "シャープ(詳細)(&C)...", ""},
    {"actFilterCloud", "フィルタ(&T)", "描画(&R)", "雲模様(&C)", ""},
    {"actFilterCloud2", "フィルタ(&T)", "描画(&R)", "雲模様2(&2)", ""},
    {"actFilterRock", "フィルタ(&T)", "描画(&R)", "雲模様・岩模様(&R)...", ""},
    {"actFilterPlasma", "フィルタ(&T)", "描画(&R)", "プラズマ(&P)...", ""},
    {"actFilterTile", "フィルタ(&T)", "描画(&R)", "タイル(&T)...", ""},
    {"actFilterFloor", "フィルタ(&T)", "描画(&R)", "床(&F)...", ""},
    {"actFilterLighting", "フィルタ(&T)", "描画(&R)", "照明(&L)...", ""},
    {"actFilterTwist", "フィルタ(&T)", "変形(&T)", "渦巻き(&T)...", ""},
    {"actFilterWave", "フィルタ(&T)", "変形(&T)", "波(&W)...", ""},
    {"actFilterPolar", "フィルタ(&T)", "変形(&T)", "極座標(&P)...", ""},
    {"actFilterFlipLR", "フィルタ(&T)", "変形(&T)", "左右反転(&H)", ""},
    {"actFilterFlipTB", "フィルタ(&T)", "変形(&T)", "上下反転(&V)", ""},
    {"actFilterRot180", "フィルタ(&T)", "変形(&T)", "180°回転(&1)", ""},
    {"actFilterRotate4", "フィルタ(&T)", "変形(&T)", "回転(&R)...", ""},
    {"actFilterZoom4", "フィルタ(&T)", "変形(&T)", "拡大・縮小(&S)...", ""},
    {"actFilterNoise4", "フィルタ(&T)", "", "ノイズ(&N)...", ""},
    {"actFilterDifuse", "フィルタ(&T)", "", "拡散(&D)...", ""},
    {"actFilterMosaic4", "フィルタ(&T)", "", "モザイク(&M)...", ""},
    {"actFilterEmboss4", "フィルタ(&T)", "", "エンボス(&E)...", ""},
    {"actFilterFindEdge", "フィルタ(&T)", "", "輪郭検出(&F)", ""},
    {"actFilterHalftone", "フィルタ(&T)", "", "カラーハーフトーン(&H)...", ""},
    {"actFilterCustom55", "フィルタ(&T)", "", "カスタム(&C)...", ""},
    {"ActViewZoomI", "表示(&V)", "", "拡大表示(&Z)", "Ctrl+Num++"},
    {"ActViewZoomO", "表示(&V)", "", "縮小表示(&M)", "Ctrl+Num+-"},
    {"ActViewZoomCancel", "表示(&V)", "", "等倍表示(&A)", "F7"},
    {"ActViewAtcualPixel", "表示(&V)", "", "ウィンドウサイズに合わせる(&F)", "F8"},
    {"ActViewSizeFit", "表示(&V)", "", "ウインドウサイズの調整(&R)", ""},
    {"ActViewRot0", "表示(&V)", "", "表示角度をリセット(&E)", ""},
    {"ActViewRot90", "表示(&V)", "", "表示角90度(時計回り)(&9)", ""},
    {"ActViewRot270", "表示(&V)", "", "表示角90度(反時計回り)(&0)", ""},
    {"ActViewRot180", "表示(&V)", "", "表示角180度(&1)", ""},
    {"ActViewCanvasCol", "表示(&V)", "", "画像背景色(&B)", ""},
    {"ActViewBGPat", "表示(&V)", "", "画像透明部分(&T)", ""},
    {"ActViewSel", "表示(&V)", "", "選択範囲の境界線(&L)", ""},
    {"ActViewGrid", "表示(&V)", "", "グリッド(&G)", "Ctrl+H"},
    {"ActViewAA", "表示(&V)", "", "アンチエイリアス表示(&N)", "F9"},
    {"ActEventPause", "表示(&V)", "", "イベント再生の一時停止(&P)", ""},
    {"ActEventStep", "表示(&V)", "", "ステップ再生(&S)", "Ctrl+Return"},
    {"ActEventWait0", "表示(&V)", "再生速度(&W)", "ウェイトなし(&N)", ""},
    {"ActEventWait1", "表示(&V)", "再生速度(&W)", "&1", ""},
    {"ActEventWait2", "表示(&V)", "再生速度(&W)", "&2", ""},
    {"ActEventWait3", "表示(&V)", "再生速度(&W)", "&3", ""},
    {"ActEventWait4", "表示(&V)", "再生速度(&W)", "&4", ""},
    {"ActEventWait5", "表示(&V)", "再生速度(&W)", "&5", ""},
    {"ActEventStop", "表示(&V)", "", "イベント再生の中止(&O)...", "Ctrl+Shift+Return"},
    {"ActEventContinue", "表示(&V)", "", "このステップから描き続ける(&C)...", ""},
    {"actWindowCascade", "ウインドウ(&W)", "ドキュメント(&D)", "重ねて表示(&C)", ""},
    {"actWindowTileVertical", "ウインドウ(&W)", "ドキュメント(&D)", "左右に並べて表示(&V)", ""},
    {"actWindowTileHorizontal", "ウインドウ(&W)", "ドキュメント(&D)", "上下に並べて表示(&H)", ""},
    {"actWindowArrange", "ウインドウ(&W)", "ドキュメント(&D)", "アイコンの整列(&A)", ""},
    {"actWindowMinimizeAll", "ウインドウ(&W)", "ドキュメント(&D)", "すべてを最小化(&M)", ""},
    {"actShowToolBox", "ウインドウ(&W)", "", "ツール(&T)", "Ctrl+0"},
    {"actShowCtrlWindow", "ウインドウ(&W)", "", "オプション(&O)", "Ctrl+1"},
    {"actShowPreviewWindow", "ウインドウ(&W)", "", "ナビゲータ(&N)", "Ctrl+2"},
    {"ActShowInfomationView", "ウインドウ(&W)", "", "情報(&I)", "Ctrl+3"},
    {"ActShowEventView", "ウインドウ(&W)", "", "イベントログ(&E)", "Ctrl+4"},
    {"actShowColorWindow", "ウインドウ(&W)", "", "カラー(&C)", "Ctrl+5"},
    {"actShowPalWindow", "ウインドウ(&W)", "", "色見本(&S)", "Ctrl+6"},
    {"actShowPenMtdList", "ウインドウ(&W)", "", "ブラシリスト(&B)", "Ctrl+7"},
    {"actShowLayerWindow", "ウインドウ(&W)", "", "レイヤ(&L)", "Ctrl+8"},
    {"actShowSelectWindow", "ウインドウ(&W)", "", "マスク(&M)", "Ctrl+9"},
    {"ActShowLoupeWindow", "ウインドウ(&W)", "", "ルーペ(&U)", ""},
    {"actWindowInitAllPos", "ウインドウ(&W)", "", "パレット位置を初期化(&P)", ""},
    {"actOpenHtmlHelp", "ヘルプ(&H)", "", "Morvane ヘルプ(&H)...", "F1"},
    {"actWebHomePage", "ヘルプ(&H)", "", "Morvane &Online...", ""},
    {"actAboutBox", "ヘルプ(&H)", "", "Morvane について(&A)...", ""},
};

struct Found {
    QString menu, submenu;
    QAction* action;
};

// Walks the menu bar as a user would see it, in order.
QList<Found> MenuItems(QMainWindow& window)
{
    QList<Found> items;
    for (QAction* top : window.menuBar()->actions()) {
        for (QAction* item : top->menu()->actions()) {
            if (!item->menu()) {
                items.append({top->text(), QString(), item});
                continue;
            }
            for (QAction* subItem : item->menu()->actions()) items.append({top->text(), item->text(), subItem});
        }
    }
    return items;
}

QString CaptionOf(const QAction* action)
{
    return action->text().section(u'\t', 0, 0);
}

}  // namespace

class ActionBuilderTest : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        window_ = new QMainWindow;
        handlers_ = ActionHandlers();
        builder_ = new ActionBuilder(*window_, handlers_);
        window_->resize(400, 300);
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_));
    }

    void cleanup() { delete window_; }

    void menusFollowTheTable()
    {
        const QStringList tops = {"ファイル(&F)", "編集(&E)", "画像(&I)", "レイヤ(&L)", "選択範囲(&S)",
                                  "フィルタ(&T)", "表示(&V)", "ウインドウ(&W)", "ヘルプ(&H)"};
        QStringList builtTops;
        for (QAction* top : window_->menuBar()->actions()) builtTops << top->text();
        QCOMPARE(builtTops, tops);

        const QList<Found> items = MenuItems(*window_);
        QCOMPARE(items.size(), qsizetype(std::size(kExpected)));
        QSet<QString> names;
        for (qsizetype i = 0; i < items.size(); ++i) {
            const Expected& e = kExpected[i];
            const Found& f = items[i];
            QCOMPARE(f.action->objectName(), QString::fromUtf8(e.name));
            QCOMPARE(f.menu, QString::fromUtf8(e.menu));
            QCOMPARE(f.submenu, QString::fromUtf8(e.submenu));
            QCOMPARE(CaptionOf(f.action), QString::fromUtf8(e.caption));
            QCOMPARE(f.action->shortcut(), QKeySequence::fromString(QString::fromUtf8(e.keys)));
            QCOMPARE(builder_->Action(e.name), f.action);
            QCOMPARE(window_->findChild<QAction*>(QString::fromUtf8(e.name)), f.action);
            names.insert(f.action->objectName());
        }
        QCOMPARE(names.size(), items.size());
        QCOMPARE(builder_->Action("NoSuchAction"), nullptr);
    }

    void keyHintsFollowATab()
    {
        QCOMPARE(builder_->Action("ActEditFill")->text(), QString("塗りつぶし(&F)\tInsert"));
        QCOMPARE(builder_->Action("ActEditDelete")->text(), QString("消去(&D)\tBackSpace, Delete"));
        QCOMPARE(builder_->Action("ActEventPause")->text(), QString("イベント再生の一時停止(&P)\tEnter"));
    }

    void actionsWithoutHandlersAreVisibleAndDisabled()
    {
        for (const Found& f : MenuItems(*window_)) QVERIFY2(!f.action->isEnabled(), qPrintable(f.action->objectName()));
        for (const Found& f : MenuItems(*window_)) QVERIFY(f.action->isVisible());
    }

    void registeredHandlerFiresFromItsKey()
    {
        int runs = 0;
        handlers_.Set("ActFileNew", [&] { ++runs; });
        builder_->UpdateAll();
        QVERIFY(builder_->Action("ActFileNew")->isEnabled());
        QTest::keyClick(window_, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(runs, 1);
        QTest::keyClick(window_, Qt::Key_O, Qt::ControlModifier);  // another command's key
        QCOMPARE(runs, 1);
    }

    void disabledByItsRuleTheKeyDoesNothing()
    {
        int runs = 0;
        bool permitted = false;
        handlers_.Set("ActEditUndo", [&] { ++runs; }, [&] { return ActionState{permitted}; });
        builder_->UpdateAll();
        QTest::keyClick(window_, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(runs, 0);
        permitted = true;
        builder_->UpdateAll();
        QTest::keyClick(window_, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(runs, 1);
        // Refused once more when the state changed since the last update.
        permitted = false;
        builder_->Action("ActEditUndo")->trigger();
        QCOMPARE(runs, 1);
    }

    void alternateKeysReachTheSameCommand_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        const int ctrl = Qt::ControlModifier, pad = Qt::KeypadModifier, shift = Qt::ShiftModifier;
        QTest::newRow("Ctrl+Num +") << "ActViewZoomI" << int(Qt::Key_Plus) << (ctrl | pad);
        QTest::newRow("Ctrl++") << "ActViewZoomI" << int(Qt::Key_Plus) << ctrl;
        QTest::newRow("Ctrl+Num -") << "ActViewZoomO" << int(Qt::Key_Minus) << (ctrl | pad);
        QTest::newRow("Ctrl+-") << "ActViewZoomO" << int(Qt::Key_Minus) << ctrl;
        QTest::newRow("Ctrl+Return") << "ActEventStep" << int(Qt::Key_Return) << ctrl;
        QTest::newRow("Ctrl+Enter") << "ActEventStep" << int(Qt::Key_Enter) << (ctrl | pad);
        QTest::newRow("Ctrl+Shift+Return") << "ActEventStop" << int(Qt::Key_Return) << (ctrl | shift);
        QTest::newRow("Ctrl+Shift+Enter") << "ActEventStop" << int(Qt::Key_Enter) << (ctrl | shift | pad);
        QTest::newRow("F7") << "ActViewZoomCancel" << int(Qt::Key_F7) << 0;
        QTest::newRow("Ctrl+Alt+O") << "ActEventOpen" << int(Qt::Key_O) << (ctrl | int(Qt::AltModifier));
        QTest::newRow("Ctrl+8") << "actShowLayerWindow" << int(Qt::Key_8) << ctrl;
    }

    void alternateKeysReachTheSameCommand()
    {
        QFETCH(QString, name);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        // Every command that a key could reach is registered: the key must
        // reach exactly the one named.
        QStringList reached;
        for (const Expected& e : kExpected) {
            const QString n = QString::fromUtf8(e.name);
            handlers_.Set(e.name, [&reached, n] { reached << n; });
        }
        builder_->UpdateAll();
        QTest::keyClick(window_, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(reached, QStringList{name});
    }

    void aboutToShowRecomputesStateAndCaption()
    {
        bool grid = false;
        QString lastFilter;
        handlers_.Set("ActViewGrid", [&] { grid = !grid; }, [&] { return ActionState{true, grid}; });
        handlers_.Set("ActFilterRepeat", [] {}, [&] {
            ActionState state{!lastFilter.isEmpty()};
            if (state.enabled) state.caption = lastFilter + "(&L)";
            return state;
        });
        builder_->UpdateAll();
        QAction* gridAction = builder_->Action("ActViewGrid");
        QAction* repeat = builder_->Action("ActFilterRepeat");
        QVERIFY(gridAction->isCheckable());
        QVERIFY(!gridAction->isChecked());
        QVERIFY(!repeat->isEnabled());

        QTest::keyClick(window_, Qt::Key_H, Qt::ControlModifier);
        QVERIFY(grid);
        QVERIFY(gridAction->isChecked());  // follows the handler after running

        grid = false;
        lastFilter = "レベル補正";
        emit builder_->TopMenu(5)->aboutToShow();
        QVERIFY(!gridAction->isChecked());
        QVERIFY(repeat->isEnabled());
        QCOMPARE(repeat->text(), QString("レベル補正(&L)"));

        lastFilter.clear();
        QMenu* speed = nullptr;  // submenus recompute too
        for (QMenu* menu : window_->findChildren<QMenu*>())
            if (menu->title() == "再生速度(&W)") speed = menu;
        QVERIFY(speed);
        emit speed->aboutToShow();
        QVERIFY(!repeat->isEnabled());
        QCOMPARE(repeat->text(), QString("フィルタの再実行(&L)"));
    }

    void triggerThatClosesTheWindowIsSafe()
    {
        handlers_.Set("ActFileExit", [&] {
            delete window_;
            window_ = nullptr;
        });
        builder_->UpdateAll();
        builder_->Action("ActFileExit")->trigger();
        QVERIFY(window_ == nullptr);
    }

private:
    QMainWindow* window_ = nullptr;
    ActionHandlers handlers_;
    ActionBuilder* builder_ = nullptr;
};

QTEST_MAIN(ActionBuilderTest)
#include "ActionBuilderTest.moc"
