#include "app/CommandTable.h"

#include <algorithm>
#include <array>

namespace morvane {
namespace {

struct KeyName {
    uint8_t key;
    std::string_view name;
};

constexpr KeyName kKeyNames[] = {
    {Shortcut::kBackspace, "BackSpace"}, {Shortcut::kEnter, "Enter"},        {Shortcut::kInsert, "Insert"},
    {Shortcut::kDelete, "Delete"},       {Shortcut::kNumPlus, "Num +"},      {Shortcut::kNumMinus, "Num -"},
};

struct Modifier {
    uint16_t bit;
    std::string_view prefix;
};

// Text() writes them in this order.
constexpr Modifier kModifiers[] = {{Shortcut::kCtrl, "Ctrl+"}, {Shortcut::kShift, "Shift+"}, {Shortcut::kAlt, "Alt+"}};

constexpr std::optional<uint8_t> ParseKey(std::string_view name)
{
    for (const KeyName& k : kKeyNames)
        if (k.name == name) return k.key;
    if (name.size() == 1 && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9')))
        return uint8_t(name[0]);
    if (name.size() >= 2 && name.size() <= 3 && name[0] == 'F') {
        int n = 0;
        for (char c : name.substr(1)) {
            if (c < '0' || c > '9') return std::nullopt;
            n = n * 10 + (c - '0');
        }
        if (n >= 1 && n <= 24 && name[1] != '0') return uint8_t(Shortcut::kF1 + n - 1);
    }
    return std::nullopt;
}

constexpr std::optional<Shortcut> ParseShortcut(std::string_view text)
{
    uint16_t modifiers = 0;
    for (bool stripped = true; stripped;) {
        stripped = false;
        for (const Modifier& m : kModifiers) {
            if (text.starts_with(m.prefix) && !(modifiers & m.bit) && text.size() > m.prefix.size()) {
                modifiers |= m.bit;
                text.remove_prefix(m.prefix.size());
                stripped = true;
            }
        }
    }
    std::optional<uint8_t> key = ParseKey(text);
    if (!key) return std::nullopt;
    return Shortcut{uint16_t(modifiers | *key)};
}

// A shortcut of the table; a misspelt one stops the build.
consteval Shortcut Key(std::string_view text)
{
    std::optional<Shortcut> s = ParseShortcut(text);
    if (!s) throw "unknown shortcut";
    return *s;
}

using Cat = CommandCategory;
using Menu = TopMenu;
using Rule = EnableRule;
using Check = CheckRule;

constexpr Command kCommands[] = {
    {"ActFileNew", Cat::File, Menu::File, "", "新規作成(&N)...", Key("Ctrl+N"), Rule::Always},
    {"ActFileNewFromCB", Cat::File, Menu::File, "", "クリップボードから新規作成(&B)", Key("Ctrl+Shift+V"), Rule::Always},
    {"ActFileOpen", Cat::File, Menu::File, "", "開く(&O)...", Key("Ctrl+O"), Rule::Always},
    {"ActEventOpen", Cat::Event, Menu::File, "", "イベントを開く(&E)...", Key("Ctrl+Alt+O"), Rule::Always},
    {"ActFileClose", Cat::File, Menu::File, "", "閉じる(&C)", Key("Ctrl+F4"), Rule::Document},
    {"ActFileSave", Cat::File, Menu::File, "", "上書き保存(&S)", Key("Ctrl+S"), Rule::Document},
    {"ActFileSaveAs", Cat::File, Menu::File, "", "名前をつけて保存(&A)...", Key("Ctrl+Shift+S"), Rule::Document},
    {"ActEventSaveAs", Cat::Event, Menu::File, "", "イベントを保存(&V)...", Key("Ctrl+Alt+S"), Rule::Document},
    {"ActFileRevert", Cat::File, Menu::File, "", "復帰(&T)", {}, Rule::Editable},
    {"ActFileNewFromTwain32", Cat::File, Menu::File, "", "TWAIN32機器から入力(&I)...", {}, Rule::Always},
    {"ActLyrSaveAs", Cat::File, Menu::File, "", "レイヤを保存(&L)...", {}, Rule::Document},
    {"ActFileSaveAuto", Cat::File, Menu::File, "", "年月日番号でBMP保存(&D)", {}, Rule::Document},
    {"ActFilePrinterSetup", Cat::File, Menu::File, "", "用紙設定(&G)...", Key("Ctrl+Shift+P"), Rule::Always},
    {"ActFilePrintPreview", Cat::File, Menu::File, "", "印刷プレビュー(&W)...", Key("Ctrl+P"), Rule::Document},
    {"ActFilePrint", Cat::File, Menu::File, "", "印刷(&P)...", Key("Ctrl+Alt+P"), Rule::Document},
    {"ActEventUpload", Cat::Event, Menu::File, "", "イベントをアップロード(&U)...", {}, Rule::Always},
    {"ActFileExit", Cat::File, Menu::File, "", "終了(&X)", Key("Ctrl+Q"), Rule::Always},
    {"ActEditUndo", Cat::Edit, Menu::Edit, "", "元に戻す(&U)", Key("Ctrl+Z"), Rule::Undo},
    {"ActEditRedo", Cat::Edit, Menu::Edit, "", "やり直し(&R)", Key("Ctrl+Y"), Rule::Redo},
    {"ActEditCut", Cat::Edit, Menu::Edit, "", "切り取り(&T)", Key("Ctrl+X"), Rule::Editable},
    {"ActEditCopyLayer", Cat::Edit, Menu::Edit, "", "コピー(&C)", Key("Ctrl+C"), Rule::Document},
    {"ActEditCopyImage", Cat::Edit, Menu::Edit, "", "画像全体をコピー(&Y)", Key("Ctrl+Shift+C"), Rule::Document},
    {"ActEditPasteNew", Cat::Edit, Menu::Edit, "", "貼り付け(&P)", Key("Ctrl+V"), Rule::Editable},
    {"ActEditFill", Cat::Edit, Menu::Edit, "", "塗りつぶし(&F)", {}, Rule::Editable, Check::None, 0, "Insert"},
    {"ActEditDelete", Cat::Edit, Menu::Edit, "", "消去(&D)", {}, Rule::Editable, Check::None, 0, "BackSpace, Delete"},
    {"ActEditDens2A", Cat::Edit, Menu::Edit, "", "輝度->透明度(&L)", {}, Rule::Editable},
    {"ActEditUndoClear", Cat::Edit, Menu::Edit, "", "メモリを解放(&M)...", {}, Rule::Editable},
    {"ActEventRecStop", Cat::Event, Menu::Edit, "", "イベント記録の中止(&Q)...", {}, Rule::Editable},
    {"ActEditPresetFile", Cat::Edit, Menu::Edit, "", "プリセットファイルの編集(&P)...", {}, Rule::Always},
    {"ActEditOpt", Cat::Edit, Menu::Edit, "", "環境設定(&N)...", Key("Ctrl+K"), Rule::Always},
    {"ActImgSize", Cat::Image, Menu::Image, "", "画像サイズ(&S)...", Key("Ctrl+Alt+C"), Rule::Editable},
    {"ActImgTrim", Cat::Image, Menu::Image, "", "切り抜き(&C)", {}, Rule::Editable},
    {"ActImgReso", Cat::Image, Menu::Image, "", "画像解像度(&I)...", Key("Ctrl+Alt+I"), Rule::Editable},
    {"ActImgCanvasCol", Cat::Image, Menu::Image, "", "画像背景色(&B)...", {}, Rule::Editable},
    {"ActImgFlipH", Cat::Image, Menu::Image, "", "左右反転(&H)", Key("Ctrl+R"), Rule::Editable},
    {"ActImgFlipV", Cat::Image, Menu::Image, "", "上下反転(&V)", {}, Rule::Editable},
    {"ActImgRot90", Cat::Image, Menu::Image, "", "90度回転(時計回り)(&9)", {}, Rule::Editable},
    {"ActImgRot270", Cat::Image, Menu::Image, "", "90度回転(反時計回り)(&0)", {}, Rule::Editable},
    {"ActImgRot180", Cat::Image, Menu::Image, "", "180度回転(&1)", {}, Rule::Editable},
    {"ActImgInvert", Cat::Image, Menu::Image, "", "色調反転(&I)", {}, Rule::Editable},
    {"ActLyrNew", Cat::Layer, Menu::Layer, "", "新規レイヤ(&N)...", Key("Ctrl+Shift+N"), Rule::Editable},
    {"ActLyrImport", Cat::Layer, Menu::Layer, "", "画像をレイヤとして開く(&I)...", {}, Rule::Editable},
    {"ActLyrDup", Cat::Layer, Menu::Layer, "", "レイヤを複製(&D)", {}, Rule::Editable},
    {"ActLyrDel", Cat::Layer, Menu::Layer, "", "レイヤを削除(&E)", {}, Rule::Editable},
    {"ActLyrSelDup", Cat::Layer, Menu::Layer, "", "選択部分を複製(&C)", Key("Ctrl+J"), Rule::Editable},
    {"ActLyrSelNew", Cat::Layer, Menu::Layer, "", "選択部分を分離(&W)", Key("Ctrl+Shift+J"), Rule::Editable},
    {"ActLyrGroupI", Cat::Layer, Menu::Layer, "", "下のレイヤとリンク(&L)", Key("Ctrl+G"), Rule::Editable},
    {"ActLyrGroupO", Cat::Layer, Menu::Layer, "", "リンク解除(&U)", Key("Ctrl+Shift+G"), Rule::Editable},
    {"ActLyrGroupDel", Cat::Layer, Menu::Layer, "", "リンクグループの削除(&G)", {}, Rule::Editable},
    {"ActLyrClearA", Cat::Layer, Menu::Layer, "透明部分(&A)", "すべて透明化(&H)", {}, Rule::Editable},
    {"ActLyrFillA", Cat::Layer, Menu::Layer, "透明部分(&A)", "すべて不透明化(&R)", {}, Rule::Editable},
    {"ActLyrInvertA", Cat::Layer, Menu::Layer, "透明部分(&A)", "透明部分を反転(&I)", {}, Rule::Editable},
    {"ActLyrSel2A", Cat::Layer, Menu::Layer, "透明部分(&A)", "選択範囲で置き換え(&S)", {}, Rule::Editable},
    {"ActLyrProtectA", Cat::Layer, Menu::Layer, "透明部分(&A)", "透明部分を保護(&L)", {}, Rule::Editable, Check::State},
    {"ActLyrMergeD", Cat::Layer, Menu::Layer, "", "下のレイヤと結合(&M)", Key("Ctrl+E"), Rule::Editable},
    {"ActLyrMergeG", Cat::Layer, Menu::Layer, "", "リンクグループの結合(&K)", {}, Rule::Editable},
    {"ActLyrMergeV2", Cat::Layer, Menu::Layer, "", "表示レイヤの結合(&S)", Key("Ctrl+Shift+E"), Rule::Editable},
    {"ActLyrMergeV", Cat::Layer, Menu::Layer, "", "表示レイヤと背景を統合(&F)", {}, Rule::Editable},
    {"actLyrFlipLR", Cat::Layer, Menu::Layer, "変形(&T)", "左右反転(&H)", {}, Rule::Editable},
    {"actLyrFlipTB", Cat::Layer, Menu::Layer, "変形(&T)", "上下反転(&V)", {}, Rule::Editable},
    {"ActLyrRot90", Cat::Layer, Menu::Layer, "変形(&T)", "90度回転(時計回り)(&9)", {}, Rule::Editable},
    {"ActLyrRot270", Cat::Layer, Menu::Layer, "変形(&T)", "90度回転(反時計回り)(&0)", {}, Rule::Editable},
    {"actLyrRot180", Cat::Layer, Menu::Layer, "変形(&T)", "180度回転(&1)", {}, Rule::Editable},
    {"ActLyrRot", Cat::Layer, Menu::Layer, "変形(&T)", "回転(&R)...", {}, Rule::Editable},
    {"ActLyrScale", Cat::Layer, Menu::Layer, "変形(&T)", "拡大縮小(&S)...", {}, Rule::Editable},
    {"ActViewCurLyr", Cat::Layer, Menu::Layer, "表示(&V)", "選択レイヤ以外隠す(&A)", {}, Rule::Editable},
    {"ActViewAllLyr", Cat::Layer, Menu::Layer, "表示(&V)", "すべて表示(&S)", {}, Rule::Editable},
    {"ActViewNoLyr", Cat::Layer, Menu::Layer, "表示(&V)", "すべて隠す(&H)", {}, Rule::Editable},
    {"ActViewFlipLyr", Cat::Layer, Menu::Layer, "表示(&V)", "表示状態を反転(&R)", {}, Rule::Editable},
    {"ActLyrTrimOut", Cat::Layer, Menu::Layer, "", "表示範囲外を削除(&R)", {}, Rule::Editable},
    {"ActLyrOpt", Cat::Layer, Menu::Layer, "", "レイヤのプロパティ(&P)...", {}, Rule::Editable},
    {"ActSelAll", Cat::Select, Menu::Select, "", "すべて選択(&A)", Key("Ctrl+A"), Rule::Editable},
    {"ActSelCancel", Cat::Select, Menu::Select, "", "選択を解除(&D)", Key("Ctrl+D"), Rule::Editable},
    {"ActSelInvert", Cat::Select, Menu::Select, "", "選択範囲を反転(&I)", Key("Ctrl+Shift+I"), Rule::Editable},
    {"ActSelColorRange", Cat::Select, Menu::Select, "", "色域指定(&G)...", {}, Rule::Editable},
    {"ActSelExp1", Cat::Select, Menu::Select, "", "1ピクセル拡張(&X)", {}, Rule::Editable},
    {"ActSelCol1", Cat::Select, Menu::Select, "", "1ピクセル縮小(&C)", {}, Rule::Editable},
    {"ActSelExp", Cat::Select, Menu::Select, "", "拡張(&P)...", {}, Rule::Editable},
    {"ActSelCol2", Cat::Select, Menu::Select, "", "縮小(&O)...", {}, Rule::Editable},
    {"ActMaskNew", Cat::Select, Menu::Select, "", "新規マスク(&N)", {}, Rule::Editable},
    {"ActMaskNewFromLyrD", Cat::Select, Menu::Select, "", "レイヤの濃度から新規作成(&E)", {}, Rule::Editable},
    {"ActMaskNewFromLyrA", Cat::Select, Menu::Select, "", "レイヤの透明部分から新規作成(&W)", {}, Rule::Editable},
    {"ActMaskDup", Cat::Select, Menu::Select, "", "マスクを複製(&U)", {}, Rule::Editable},
    {"ActMaskDel", Cat::Select, Menu::Select, "", "マスクを削除(&L)", {}, Rule::Editable},
    {"ActSelEnable", Cat::Select, Menu::Select, "", "選択範囲を使用(&B)", {}, Rule::Editable, Check::State},
    {"ActMaskTrimOut", Cat::Select, Menu::Select, "", "表示範囲外を削除(&T)", {}, Rule::Editable},
    {"ActMaskOption", Cat::Select, Menu::Select, "", "マスクのプロパティ(&O)...", {}, Rule::Editable},
    {"ActFilterRepeat", Cat::Filter, Menu::Filter, "", "フィルタの再実行(&L)", Key("Ctrl+F"), Rule::FilterRepeat},
    {"actFilterLevels4", Cat::Filter, Menu::Filter, "色調補正(&A)", "レベル補正(&L)...", Key("Ctrl+L"), Rule::Editable},
    {"actFilterGamma4", Cat::Filter, Menu::Filter, "色調補正(&A)", "カラーバランス(&B)...", Key("Ctrl+B"), Rule::Editable},
    {"actFilterContrast4", Cat::Filter, Menu::Filter, "色調補正(&A)", "明るさ・コントラスト(&C)...", {}, Rule::Editable},
    {"actFilterHLS4", Cat::Filter, Menu::Filter, "色調補正(&A)", "色相・彩度(&H)...", Key("Ctrl+U"), Rule::Editable},
    {"actFilterMono", Cat::Filter, Menu::Filter, "色調補正(&A)", "グレースケール(&G)", Key("Ctrl+Shift+U"), Rule::Editable},
    {"actFilterNega", Cat::Filter, Menu::Filter, "色調補正(&A)", "色調反転(&I)", Key("Ctrl+I"), Rule::Editable},
    {"actFilterSolarization", Cat::Filter, Menu::Filter, "色調補正(&A)", "ソラリゼーション(&S)", {}, Rule::Editable},
    {"actFilterMonotone", Cat::Filter, Menu::Filter, "色調補正(&A)", "モノクロ2階調(&T)...", {}, Rule::Editable},
    {"actFilterPoster4", Cat::Filter, Menu::Filter, "色調補正(&A)", "ポスタリゼーション(&P)...", {}, Rule::Editable},
    {"actFilterGradateMap", Cat::Filter, Menu::Filter, "色調補正(&A)", "グラデーションマップ(&M)...", {}, Rule::Editable},
    {"actFilterBlur", Cat::Filter, Menu::Filter, "ぼかし・シャープ(&B)", "ぼかし(&B)", {}, Rule::Editable},
    {"actFilterBlurStrong", Cat::Filter, Menu::Filter, "ぼかし・シャープ(&B)", "ぼかし(強)(&L)", {}, Rule::Editable},
    {"actFilterBlurMove4", Cat::Filter, Menu::Filter, "ぼかし・シャープ(&B)", "ぼかし(移動)(&M)...", {}, Rule::Editable},
    {"actFilterBlurZoom", Cat::Filter, Menu::Filter, "ぼかし・シャープ(&B)", "ぼかし(ズーム)(&R)...", {}, Rule::Editable},
    {"actFilterGauss", Cat::Filter, Menu::Filter, "ぼかし・シャープ(&B)", "ぼかし(ガウス)(&G)...", {}, Rule::Editable},
    {"actFilterSharp4", Cat::Filter, Menu::Filter, "ぼかし・シャープ(&B)", "シャープ(&S)", {}, Rule::Editable},
    {"actFilterSharpStrong4", Cat::Filter, Menu::Filter, "ぼかし・シャープ(&B)", "シャープ(強)(&H)", {}, Rule::Editable},
    {"actFilterSharpCustom4", Cat::Filter, Menu::Filter, "ぼかし・シャープ(&B)", "シャープ(詳細)(&C)...", {}, Rule::Editable},
    {"actFilterCloud", Cat::Filter, Menu::Filter, "描画(&R)", "雲模様(&C)", {}, Rule::Editable},
    {"actFilterCloud2", Cat::Filter, Menu::Filter, "描画(&R)", "雲模様2(&2)", {}, Rule::Editable},
    {"actFilterRock", Cat::Filter, Menu::Filter, "描画(&R)", "雲模様・岩模様(&R)...", {}, Rule::Editable},
    {"actFilterPlasma", Cat::Filter, Menu::Filter, "描画(&R)", "プラズマ(&P)...", {}, Rule::Editable},
    {"actFilterTile", Cat::Filter, Menu::Filter, "描画(&R)", "タイル(&T)...", {}, Rule::Editable},
    {"actFilterFloor", Cat::Filter, Menu::Filter, "描画(&R)", "床(&F)...", {}, Rule::Editable},
    {"actFilterLighting", Cat::Filter, Menu::Filter, "描画(&R)", "照明(&L)...", {}, Rule::Editable},
    {"actFilterTwist", Cat::Filter, Menu::Filter, "変形(&T)", "渦巻き(&T)...", {}, Rule::Editable},
    {"actFilterWave", Cat::Filter, Menu::Filter, "変形(&T)", "波(&W)...", {}, Rule::Editable},
    {"actFilterPolar", Cat::Filter, Menu::Filter, "変形(&T)", "極座標(&P)...", {}, Rule::Editable},
    {"actFilterFlipLR", Cat::Filter, Menu::Filter, "変形(&T)", "左右反転(&H)", {}, Rule::Editable},
    {"actFilterFlipTB", Cat::Filter, Menu::Filter, "変形(&T)", "上下反転(&V)", {}, Rule::Editable},
    {"actFilterRot180", Cat::Filter, Menu::Filter, "変形(&T)", "180°回転(&1)", {}, Rule::Editable},
    {"actFilterRotate4", Cat::Filter, Menu::Filter, "変形(&T)", "回転(&R)...", {}, Rule::Editable},
    {"actFilterZoom4", Cat::Filter, Menu::Filter, "変形(&T)", "拡大・縮小(&S)...", {}, Rule::Editable},
    {"actFilterNoise4", Cat::Filter, Menu::Filter, "", "ノイズ(&N)...", {}, Rule::Editable},
    {"actFilterDifuse", Cat::Filter, Menu::Filter, "", "拡散(&D)...", {}, Rule::Editable},
    {"actFilterMosaic4", Cat::Filter, Menu::Filter, "", "モザイク(&M)...", {}, Rule::Editable},
    {"actFilterEmboss4", Cat::Filter, Menu::Filter, "", "エンボス(&E)...", {}, Rule::Editable},
    {"actFilterFindEdge", Cat::Filter, Menu::Filter, "", "輪郭検出(&F)", {}, Rule::Editable},
    {"actFilterHalftone", Cat::Filter, Menu::Filter, "", "カラーハーフトーン(&H)...", {}, Rule::Editable},
    {"actFilterCustom55", Cat::Filter, Menu::Filter, "", "カスタム(&C)...", {}, Rule::Editable},
    {"ActViewZoomI", Cat::View, Menu::View, "", "拡大表示(&Z)", Key("Ctrl+Num +"), Rule::Editable},
    {"ActViewZoomO", Cat::View, Menu::View, "", "縮小表示(&M)", Key("Ctrl+Num -"), Rule::Editable},
    {"ActViewZoomCancel", Cat::View, Menu::View, "", "等倍表示(&A)", Key("F7"), Rule::Editable},
    {"ActViewAtcualPixel", Cat::View, Menu::View, "", "ウィンドウサイズに合わせる(&F)", Key("F8"), Rule::Editable},
    {"ActViewSizeFit", Cat::View, Menu::View, "", "ウインドウサイズの調整(&R)", {}, Rule::Editable},
    {"ActViewRot0", Cat::View, Menu::View, "", "表示角度をリセット(&E)", {}, Rule::Editable},
    {"ActViewRot90", Cat::View, Menu::View, "", "表示角90度(時計回り)(&9)", {}, Rule::Editable},
    {"ActViewRot270", Cat::View, Menu::View, "", "表示角90度(反時計回り)(&0)", {}, Rule::Editable},
    {"ActViewRot180", Cat::View, Menu::View, "", "表示角180度(&1)", {}, Rule::Editable},
    {"ActViewCanvasCol", Cat::View, Menu::View, "", "画像背景色(&B)", {}, Rule::Editable, Check::State},
    {"ActViewBGPat", Cat::View, Menu::View, "", "画像透明部分(&T)", {}, Rule::Editable, Check::State},
    {"ActViewSel", Cat::View, Menu::View, "", "選択範囲の境界線(&L)", {}, Rule::Editable, Check::State},
    {"ActViewGrid", Cat::View, Menu::View, "", "グリッド(&G)", Key("Ctrl+H"), Rule::Editable, Check::State},
    {"ActViewAA", Cat::View, Menu::View, "", "アンチエイリアス表示(&N)", Key("F9"), Rule::Editable, Check::State},
    {"ActEventPause", Cat::Event, Menu::View, "", "イベント再生の一時停止(&P)", {}, Rule::Playback, Check::State, 0, "Enter"},
    {"ActEventStep", Cat::Event, Menu::View, "", "ステップ再生(&S)", Key("Ctrl+Enter"), Rule::Playback},
    {"ActEventWait0", Cat::Event, Menu::View, "再生速度(&W)", "ウェイトなし(&N)", {}, Rule::Always, Check::EventWait, 0},
    {"ActEventWait1", Cat::Event, Menu::View, "再生速度(&W)", "&1", {}, Rule::Always, Check::EventWait, 1},
    {"ActEventWait2", Cat::Event, Menu::View, "再生速度(&W)", "&2", {}, Rule::Always, Check::EventWait, 4},
    {"ActEventWait3", Cat::Event, Menu::View, "再生速度(&W)", "&3", {}, Rule::Always, Check::EventWait, 8},
    {"ActEventWait4", Cat::Event, Menu::View, "再生速度(&W)", "&4", {}, Rule::Always, Check::EventWait, 16},
    {"ActEventWait5", Cat::Event, Menu::View, "再生速度(&W)", "&5", {}, Rule::Always, Check::EventWait, 32},
    {"ActEventStop", Cat::Event, Menu::View, "", "イベント再生の中止(&O)...", Key("Ctrl+Shift+Enter"), Rule::Playback},
    {"ActEventContinue", Cat::Event, Menu::View, "", "このステップから描き続ける(&C)...", {}, Rule::Document},
    {"actWindowCascade", Cat::Window, Menu::Window, "ドキュメント(&D)", "重ねて表示(&C)", {}, Rule::Document},
    {"actWindowTileVertical", Cat::Window, Menu::Window, "ドキュメント(&D)", "左右に並べて表示(&V)", {}, Rule::Document},
    {"actWindowTileHorizontal", Cat::Window, Menu::Window, "ドキュメント(&D)", "上下に並べて表示(&H)", {}, Rule::Document},
    {"actWindowArrange", Cat::Window, Menu::Window, "ドキュメント(&D)", "アイコンの整列(&A)", {}, Rule::Document},
    {"actWindowMinimizeAll", Cat::Window, Menu::Window, "ドキュメント(&D)", "すべてを最小化(&M)", {}, Rule::Document},
    {"actShowToolBox", Cat::Window, Menu::Window, "", "ツール(&T)", Key("Ctrl+0"), Rule::Always, Check::State},
    {"actShowCtrlWindow", Cat::Window, Menu::Window, "", "オプション(&O)", Key("Ctrl+1"), Rule::Always, Check::State},
    {"actShowPreviewWindow", Cat::Window, Menu::Window, "", "ナビゲータ(&N)", Key("Ctrl+2"), Rule::Always, Check::State},
    {"ActShowInfomationView", Cat::Window, Menu::Window, "", "情報(&I)", Key("Ctrl+3"), Rule::Always, Check::State},
    {"ActShowEventView", Cat::Window, Menu::Window, "", "イベントログ(&E)", Key("Ctrl+4"), Rule::Always, Check::State},
    {"actShowColorWindow", Cat::Window, Menu::Window, "", "カラー(&C)", Key("Ctrl+5"), Rule::Always, Check::State},
    {"actShowPalWindow", Cat::Window, Menu::Window, "", "色見本(&S)", Key("Ctrl+6"), Rule::Always, Check::State},
    {"actShowPenMtdList", Cat::Window, Menu::Window, "", "ブラシリスト(&B)", Key("Ctrl+7"), Rule::Always, Check::State},
    {"actShowLayerWindow", Cat::Window, Menu::Window, "", "レイヤ(&L)", Key("Ctrl+8"), Rule::Always, Check::State},
    {"actShowSelectWindow", Cat::Window, Menu::Window, "", "マスク(&M)", Key("Ctrl+9"), Rule::Always, Check::State},
    {"ActShowLoupeWindow", Cat::Window, Menu::Window, "", "ルーペ(&U)", {}, Rule::Always, Check::State},
    {"actWindowInitAllPos", Cat::Window, Menu::Window, "", "パレット位置を初期化(&P)", {}, Rule::Always},
    {"actOpenHtmlHelp", Cat::Help, Menu::Help, "", "Morvane ヘルプ(&H)...", Key("F1"), Rule::Always},
    {"actWebHomePage", Cat::Help, Menu::Help, "", "Morvane &Online...", {}, Rule::Always},
    {"actAboutBox", Cat::Help, Menu::Help, "", "Morvane について(&A)...", {}, Rule::Always},
};

constexpr std::string_view kTopMenuCaptions[] = {
    "ファイル(&F)", "編集(&E)", "画像(&I)", "レイヤ(&L)", "選択範囲(&S)", "フィルタ(&T)", "表示(&V)", "ウインドウ(&W)", "ヘルプ(&H)",
};

constexpr std::string_view kZoomItems[] = {
    "6.25%", "8.33%", "12.5%", "16.67%", "25%", "33.33%", "50%", "66.67%", "100%",
    "150%",  "200%",  "300%",  "400%",   "600%", "800%",  "1200%", "1600%",
};
constexpr std::string_view kRotationItems[] = {"0°", "90°", "180°", "270°"};
constexpr std::string_view kTabletTypeItems[] = {"タブレット 1 ( ワコム )", "タブレット 2 ( その他 )"};
constexpr std::string_view kTabletModeItems[] = {"OS 座標モード", "タブレット座標モード( 精細 )"};
constexpr std::string_view kStatusDisplayItems[] = {"画像サイズ", "全使用メモリ", "レイヤ使用メモリ", "アンドゥ使用メモリ"};

}  // namespace

std::string Shortcut::Text() const
{
    if (Empty()) return {};
    std::string text;
    for (const Modifier& m : kModifiers)
        if (code & m.bit) text += m.prefix;
    const uint8_t key = Key();
    auto named = std::find_if(std::begin(kKeyNames), std::end(kKeyNames), [key](const KeyName& k) { return k.key == key; });
    if (named != std::end(kKeyNames))
        text += named->name;
    else if (key >= kF1 && key <= kF24)
        text.append("F").append(std::to_string(key - kF1 + 1));
    else if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))
        text += char(key);
    else
        text.append("#").append(std::to_string(key));
    return text;
}

std::optional<Shortcut> Shortcut::Parse(std::string_view text)
{
    return ParseShortcut(text);
}

std::span<const Command> Commands()
{
    return kCommands;
}

const Command* FindCommand(std::string_view name)
{
    auto it = std::find_if(std::begin(kCommands), std::end(kCommands), [name](const Command& c) { return c.name == name; });
    return it == std::end(kCommands) ? nullptr : &*it;
}

std::span<const std::string_view> TopMenuCaptions()
{
    return kTopMenuCaptions;
}

std::string_view TopMenuCaption(TopMenu menu)
{
    return kTopMenuCaptions[size_t(menu)];
}

std::string FilterRepeatCaption(std::string_view filterName)
{
    return std::string(filterName) + "(&L)";
}

int EventWaitItem(int wait)
{
    constexpr int kUpperBounds[] = {0, 1, 4, 8, 16};
    int item = 0;
    while (item < 5 && wait > kUpperBounds[item]) ++item;
    return item;
}

std::span<const std::string_view> StatusPopupItems(StatusPopup popup)
{
    switch (popup) {
    case StatusPopup::Zoom: return kZoomItems;
    case StatusPopup::Rotation: return kRotationItems;
    case StatusPopup::TabletType: return kTabletTypeItems;
    case StatusPopup::TabletMode: return kTabletModeItems;
    case StatusPopup::StatusDisplay: return kStatusDisplayItems;
    }
    return {};
}

}  // namespace morvane
