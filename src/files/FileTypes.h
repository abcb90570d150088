#pragma once
// What the program makes of a file by its name: the file types it opens,
// and the table of every open and save dialog (filters, default extension,
// the extensions a dialog lets through, the extension a save filter gives
// the name). The Qt dialogs are built from this table.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace morvane {

// File types by extension; the numbers are the ones messages and callers use.
enum class FileType : int {
    Unsupported = 0,
    OldDocument = 1, // .ktb
    OldEvents = 2,   // .kte
    Document = 3,    // .mci
    Events2 = 4,     // .mes
    Events3 = 5,     // .me3, .vd3
    Events4 = 6,     // .me4, .vd4
    Bmp = 7,
    Jpeg = 8,
    Png = 9,
    Psd = 10, // recognised, never opened as a picture
};

FileType FileTypeOf(std::string_view path);
bool IsImageType(FileType type);
// The extension of path with its dot, lower-cased; empty without one.
std::string LowerExtension(std::string_view path);

struct FileDialogKind {
    int kind = 0;
    bool save = false;
    bool preview = false; // the program's own dialog with a picture pane
    // "description|*.a;*.b", in order.
    std::vector<std::string> filters;
    std::string defaultExtension;
    std::vector<std::string> accepted;
    // Save kinds: the extension each filter gives the name (by filter index
    // from 0); empty for open kinds.
    std::vector<std::string> filterExtensions;
};

// The dialog of a kind (0-18); nullptr for a kind that has no dialog.
const FileDialogKind* DialogKindOf(int kind);
// Whether a dialog of this kind lets path through (its extension, any case).
bool AcceptsExtension(std::string_view path, int kind);
// A filter as Qt writes it: "BMP (*.bmp)|*.BMP" gives "BMP (*.bmp *.BMP)"
// (the description's own pattern list is replaced; both cases are listed
// because name filters on this platform match case-sensitively).
std::string QtFilterOf(const std::string& filter);
// The name with its extension replaced by the one the save filter gives;
// unchanged for an open kind or a filter index out of range.
std::string SwapSaveExtension(const std::string& name, int kind, int filterIndex);

} // namespace morvane
