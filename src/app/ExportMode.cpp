#include "app/ExportMode.h"

#include <cstdio>
#include <memory>
#include <new>
#include <optional>

#include "document/DocumentHost.h"
#include "document/PaperFile.h"
#include "document/PictureExport.h"
#include "document/TPaper.h"
#include "events/EventRecorder.h"
#include "files/FileTypes.h"
#include "files/ImageImport.h"
#include "platform/DiagnosticSink.h"
#include "platform/UserNotifier.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {

struct ExportRequest {
    std::string in, out;
    JpegOptions jpeg;
};

// The switches, or none for a usage error.
std::optional<ExportRequest> ParseExport(const std::vector<std::string>& args)
{
    if (args.size() < 3 || args.size() > 4)
        return std::nullopt;
    ExportRequest r{args[1], args[2], {}};
    if (args.size() == 4) {
        const std::string& q = args[3];
        if (q.size() < 3 || q.size() > 5 || q.compare(0, 2, "-Q") != 0)
            return std::nullopt;
        int value = 0;
        for (size_t i = 2; i < q.size(); ++i) {
            if (q[i] < '0' || q[i] > '9')
                return std::nullopt;
            value = value * 10 + (q[i] - '0');
        }
        if (value < JpegOptions::kMinQuality || value > JpegOptions::kMaxQuality)
            return std::nullopt;
        r.jpeg.quality = value;
    }
    const FileType outType = FileTypeOf(r.out);
    if (!IsImageType(outType) && outType != FileType::Document)
        return std::nullopt;
    return r;
}

// The input as a picture in paper; the reader's own code in detail.
bool LoadInput(const std::string& path, TPaper& paper, std::string& detail)
{
    const FileType type = FileTypeOf(path);
    if (type == FileType::Document) {
        const DocFileCode code = LoadDocumentFile(path, paper);
        detail = "document reader code " + std::to_string(int(code));
        return code == DocFileCode::Ok && paper.Ready;
    }
    if (IsImageType(type)) {
        TMTC image;
        int dpi = 0;
        const DecodeResult code = LoadImageFile(path, image, &dpi);
        detail = "image reader code " + std::to_string(int(code));
        if (code != DecodeResult::Ok)
            return false;
        const std::string file = path.substr(path.find_last_of('/') + 1);
        if (paper.NewPictureFromImage(file, image, dpi, file, false))
            return true;
        detail = "no memory for the picture";
        return false;
    }
    detail = type >= FileType::Events2 && type <= FileType::Events4 ? "an event file (use -render)"
                                                                     : "not a picture";
    return false;
}

bool WriteOutput(const ExportRequest& r, TPaper& paper, std::string& detail)
{
    if (FileTypeOf(r.out) == FileType::Document) {
        const DocFileCode code = SaveDocumentFile(r.out, paper);
        detail = "document writer code " + std::to_string(int(code));
        return code == DocFileCode::Ok;
    }
    const WriteCode code = ExportPicture(paper, r.out, r.jpeg);
    detail = "image writer code " + std::to_string(int(code));
    return code == WriteCode::Ok;
}

int Export(const ExportRequest& r, std::string& detail)
{
    SilentDocumentHost host;
    TPaper paper(host, {}, std::make_unique<NullEventRecorder>());
    if (!LoadInput(r.in, paper, detail))
        return kExportCannotRead;
    return WriteOutput(r, paper, detail) ? kExportWritten : kExportCannotWrite;
}

} // namespace

bool IsExportCommand(const std::vector<std::string>& args) { return !args.empty() && args[0] == "-export"; }

int RunExportMode(const std::vector<std::string>& args)
{
    const std::optional<ExportRequest> request = ParseExport(args);
    if (!request) {
        std::fputs("export: usage: morvane -export IN OUT [-Q<10-100>] (OUT: .png, .bmp, .jpg, .mci)\n", stderr);
        return kExportUsage;
    }
    // The readers' messages and diagnostics stay quiet: the one line below
    // says what happened.
    RecordingNotifier quiet;
    CapturingDiagnosticSink sink;
    UserNotifier* previous = SetNotifier(&quiet);
    DiagnosticSink* previousSink = SetDiagnostics(&sink);
    std::string detail;
    int code = kExportCannotRead;
    try {
        code = Export(*request, detail);
    } catch (const std::bad_alloc&) {
        detail = "out of memory";
    }
    SetNotifier(previous);
    SetDiagnostics(previousSink);
    std::fprintf(stderr, "export: %s -> %s: %d (%s)\n", request->in.c_str(), request->out.c_str(), code,
                 detail.c_str());
    return code;
}

} // namespace morvane
