#include "files/FileTypes.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace morvane {

namespace {

struct TypeRow {
    const char* extension;
    FileType type;
};

constexpr std::array kTypes{
    TypeRow{".ktb", FileType::OldDocument}, TypeRow{".kte", FileType::OldEvents}, TypeRow{".mci", FileType::Document},
    TypeRow{".mes", FileType::Events2},     TypeRow{".me3", FileType::Events3},   TypeRow{".vd3", FileType::Events3},
    TypeRow{".me4", FileType::Events4},     TypeRow{".vd4", FileType::Events4},   TypeRow{".bmp", FileType::Bmp},
    TypeRow{".jpg", FileType::Jpeg},        TypeRow{".jpeg", FileType::Jpeg},     TypeRow{".jpe", FileType::Jpeg},
    TypeRow{".jif", FileType::Jpeg},        TypeRow{".jfif", FileType::Jpeg},     TypeRow{".jfi", FileType::Jpeg},
    TypeRow{".png", FileType::Png},         TypeRow{".psd", FileType::Psd},
};

// The filters by their short names.
const std::string kProgram = "Morvane";
const std::string kEvents = "イベント";
const std::string fDocument = kProgram + " (*.mci)|*.mci";
const std::string fOldDocument = "Morvane1.1 (*.ktb)|*.KTB";
const std::string fBmp = "BMP (*.bmp)|*.BMP";
const std::string fJpeg = "JPEG (*.jpg;*.jpeg;*.jpe;*.jif;*.jfif;*.jfi)|*.JPG;*.JPEG;*.JPE;*.JIF;*.JFIF;*.JFI";
const std::string fPng = "PNG (*.png)|*.PNG";
const std::string fPictures = "すべての画像|*.mci;*.ktb;*.bmp;*.jpg;*.jpeg;*.jpe;*.jif;*.jfif;*.jfi;*.png";
const std::string fAll = "すべてのファイル|*.*";
const std::string fEvents4 = kProgram + "4 " + kEvents + " (*.vd4/*.me4)|*.vd4;*.me4";
const std::string fEvents3 = kProgram + "3 " + kEvents + " (*.vd3/*.me3)|*.vd3;*.me3";
const std::string fEvents2 = kProgram + "2.2 " + kEvents + " (*.mes)|*.mes";
const std::string fEvents1 = "Morvane1.1 " + kEvents + " (*.kte)|*.kte";
const std::string fAllEvents = "すべてのイベント|*.kte;*.mes;*.vd3;*.me3;*.vd4;*.me4";
const std::string fEvents4Only = kProgram + "4 " + kEvents + " (*.vd4)|*.vd4";
std::string PresetFilter(const std::string& word, const std::string& ext)
{
    return kProgram + " " + word + " (*" + ext + ")|*" + ext;
}
const std::string fBrushes = PresetFilter("ブラシ集", ".pmt");
const std::string fNibs = PresetFilter("ペン先集", ".psh");
const std::string fGradations = PresetFilter("グラデーション集", ".mgs");
const std::string fTones = PresetFilter("トーン集", ".mts");
const std::string fPalette = PresetFilter("パレット", ".mpl");
const std::string fAco = "Adobe 色見本 (*.aco)|*.aco";
const std::string fPainter = "Painter カラーセット (*.pcs/*.txt)|*.pcs;*.txt";
const std::string fAllPalettes = "すべてのパレット|*.mpl;*.aco;*.pcs;*.txt";
const std::string fCursor = "カーソル (*.cur)|*.CUR";

using Names = std::vector<std::string>;
const Names kPictureExts{".mci", ".ktb", ".bmp", ".jpg", ".jpeg", ".jpe", ".jif", ".jfif", ".jfi", ".png"};
const Names kImageExts{".bmp", ".jpg", ".jpeg", ".jpe", ".jif", ".jfif", ".jfi", ".png"};
const Names kPaletteExts{".mpl", ".aco", ".pcs", ".txt"};

FileDialogKind Open(int kind, bool preview, Names filters, std::string ext, Names accepted)
{
    return {kind, false, preview, std::move(filters), std::move(ext), std::move(accepted), {}};
}

FileDialogKind Save(int kind, bool preview, Names filters, Names accepted, Names filterExts)
{
    const std::string ext = filterExts.front();
    return {kind, true, preview, std::move(filters), ext, std::move(accepted), std::move(filterExts)};
}

const std::vector<FileDialogKind>& Kinds()
{
    static const std::vector<FileDialogKind> kinds{
        Open(0, true, {fDocument, fOldDocument, fBmp, fJpeg, fPng, fPictures, fAll}, ".mci", kPictureExts),
        Open(1, true, {fBmp, fJpeg, fPng}, ".bmp", kImageExts),
        Open(2, true, {fEvents4, fEvents3, fEvents2, fEvents1, fAllEvents}, ".vd4",
             {".kte", ".mes", ".vd3", ".me3", ".vd4", ".me4"}),
        Open(3, false, {fBrushes}, ".pmt", {".pmt"}),
        Open(4, false, {fNibs}, ".psh", {".psh"}),
        Open(5, false, {fPalette, fAco, fPainter, fAllPalettes}, ".mpl", kPaletteExts),
        Open(6, false, {fGradations}, ".mgs", {".mgs"}),
        Open(7, false, {fTones}, ".mts", {".mts"}),
        Save(8, true, {fDocument, fBmp, fJpeg, fPng}, kPictureExts, {".mci", ".bmp", ".jpg", ".png"}),
        Save(9, true, {fBmp, fJpeg, fPng}, kImageExts, {".bmp", ".jpg", ".png"}),
        Save(10, true, {fEvents4Only}, {".vd4"}, {".vd4"}),
        Save(11, false, {fBrushes}, {".pmt"}, {".pmt"}),
        Save(12, false, {fNibs}, {".psh"}, {".psh"}),
        Save(13, false, {fPalette, fAco, fPainter}, kPaletteExts, {".mpl", ".aco", ".pcs"}),
        Save(14, false, {fGradations}, {".mgs"}, {".mgs"}),
        Save(15, false, {fTones}, {".mts"}, {".mts"}),
        Open(16, false, {fPalette}, ".mpl", {".mpl"}),
        Save(17, true, {fBmp, fPng}, {".bmp", ".png"}, {".bmp", ".png"}),
        Open(18, false, {fCursor}, ".cur", {".cur", ".ani"}),
    };
    return kinds;
}

std::string Lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

std::string Upper(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return out;
}

// The position of the extension's dot in the last path element; npos without one.
size_t ExtensionDot(std::string_view path)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return std::string_view::npos;
    return dot;
}

} // namespace

std::string LowerExtension(std::string_view path)
{
    const size_t dot = ExtensionDot(path);
    return dot == std::string_view::npos ? std::string() : Lower(path.substr(dot));
}

FileType FileTypeOf(std::string_view path)
{
    const std::string ext = LowerExtension(path);
    for (const TypeRow& row : kTypes)
        if (ext == row.extension)
            return row.type;
    return FileType::Unsupported;
}

bool IsImageType(FileType type) { return type == FileType::Bmp || type == FileType::Jpeg || type == FileType::Png; }

const FileDialogKind* DialogKindOf(int kind)
{
    const auto& kinds = Kinds();
    const auto it = std::find_if(kinds.begin(), kinds.end(), [kind](const FileDialogKind& k) { return k.kind == kind; });
    return it == kinds.end() ? nullptr : &*it;
}

bool AcceptsExtension(std::string_view path, int kind)
{
    const FileDialogKind* k = DialogKindOf(kind);
    if (!k)
        return false;
    const std::string ext = LowerExtension(path);
    return !ext.empty() && std::find(k->accepted.begin(), k->accepted.end(), ext) != k->accepted.end();
}

std::string QtFilterOf(const std::string& filter)
{
    const size_t bar = filter.find('|');
    std::string description = filter.substr(0, bar);
    const std::string patterns = bar == std::string::npos ? std::string("*") : filter.substr(bar + 1);
    // The description's own "(...)" would show twice.
    if (!description.empty() && description.back() == ')') {
        const size_t open = description.rfind('(');
        if (open != std::string::npos)
            description.erase(open);
        while (!description.empty() && description.back() == ' ')
            description.pop_back();
    }
    std::vector<std::string> list;
    auto add = [&list](std::string p) {
        if (std::find(list.begin(), list.end(), p) == list.end())
            list.push_back(std::move(p));
    };
    for (size_t at = 0; at <= patterns.size();) {
        size_t end = patterns.find(';', at);
        if (end == std::string::npos)
            end = patterns.size();
        const std::string one = patterns.substr(at, end - at);
        if (!one.empty()) {
            add(Lower(one));
            add(Upper(one));
        }
        at = end + 1;
    }
    std::string out = description + " (";
    for (size_t i = 0; i < list.size(); ++i)
        out += (i ? " " : "") + list[i];
    return out + ")";
}

std::string SwapSaveExtension(const std::string& name, int kind, int filterIndex)
{
    const FileDialogKind* k = DialogKindOf(kind);
    if (!k || !k->save || filterIndex < 0 || size_t(filterIndex) >= k->filterExtensions.size())
        return name;
    const size_t dot = ExtensionDot(name);
    return (dot == std::string::npos ? name : name.substr(0, dot)) + k->filterExtensions[size_t(filterIndex)];
}

} // namespace morvane
