#include "document/PictureExport.h"

#include <cstdio>
#include <filesystem>
#include <new>

#include "document/CLayerData.h"
#include "document/TPaper.h"
#include "storage/CBlockVMTC.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {

constexpr uint32_t kOpaqueWhite = 0xFFFFFFFFu;

bool SizedLike(TMTC& out, int32_t width, int32_t height)
{
    try {
        return out.Resize(width, height);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace

bool FlattenForExport(const TPaper& paper, bool keepAlpha, TMTC& out)
{
    const TTC& composite = paper.Composite();
    if (!composite.IsValid() || !SizedLike(out, composite.Width, composite.Height))
        return false;
    const ExtentRect all{0, 0, composite.Width, composite.Height};
    if (!out.CopyFrom(composite, {0, 0}, all))
        return false;
    // An opaque paper's composite leaves its alpha bytes unwritten.
    if (paper.OpaquePaper)
        out.SetAlphaAll(255);
    else if (!keepAlpha)
        return out.OverColour(all, kOpaqueWhite);
    return true;
}

WriteCode ExportPicture(const TPaper& paper, const std::string& path, const JpegOptions& jpeg)
{
    const ExportFormat format = ExportFormatOf(path);
    if (format == ExportFormat::None)
        return WriteCode::Format;
    TMTC image;
    if (!FlattenForExport(paper, format == ExportFormat::Png, image))
        return WriteCode::NoMemory;
    return ExportImage(image, path, paper.Resolution, format == ExportFormat::Png && !paper.OpaquePaper, jpeg);
}

WriteCode ExportLayer(TPaper& paper, int32_t index, const std::string& path)
{
    const CLayerData* layer = paper.LayerAt(index);
    const ExportFormat format = ExportFormatOf(path);
    if (!layer || !layer->HasStore() || format == ExportFormat::None || format == ExportFormat::Jpeg)
        return WriteCode::Format;
    TMTC image;
    if (!SizedLike(image, paper.Width, paper.Height))
        return WriteCode::NoMemory;
    const CBlockVMTC& store = *layer->Store;
    for (int32_t y = 0; y < paper.Height; ++y) {
        uint32_t* row = image.Row(y);
        const int32_t sy = y + layer->OriginY;
        for (int32_t x = 0; x < paper.Width; ++x) {
            const int32_t sx = x + layer->OriginX;
            const bool inside = sx >= 0 && sy >= 0 && sx < store.Width && sy < store.Height;
            row[x] = inside ? store.GetPixel(sx, sy) : 0;
        }
    }
    const bool png = format == ExportFormat::Png;
    if (!png && !image.OverColour({0, 0, image.Width, image.Height}, kOpaqueWhite))
        return WriteCode::NoMemory;
    return ExportImage(image, path, paper.Resolution, png);
}

std::string DatedBmpPath(const std::string& folder, const std::tm& date)
{
    char stem[16];
    std::snprintf(stem, sizeof stem, "%04d%02d%02d_", date.tm_year + 1900, date.tm_mon + 1, date.tm_mday);
    for (int n = 1; n <= 999; ++n) {
        char number[8];
        std::snprintf(number, sizeof number, "%03d", n);
        const std::string path = folder + stem + number + ".bmp";
        std::error_code error;
        if (!std::filesystem::exists(path, error) && !error)
            return path;
    }
    return std::string();
}

} // namespace morvane
