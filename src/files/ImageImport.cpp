#include "files/ImageImport.h"

#include "files/FileTypes.h"
#include "storage/TMTC.h"

namespace morvane {

DecodeResult LoadImageFile(const std::string& path, TMTC& out, int* dpiOut, const DecodeLimits& limits)
{
    const FileType type = FileTypeOf(path);
    if (!IsImageType(type) && type != FileType::Psd) {
        out.Release();
        return DecodeResult::UnknownFormat;
    }
    int dpi = 0;
    const DecodeResult result = DecodeImageFile(path, out, &dpi, limits);
    if (dpiOut)
        *dpiOut = dpi >= 1 && dpi <= 10000 ? dpi : kDefaultImageDpi;
    return result;
}

std::string ImageLoadFailedMessage(const std::string& path)
{
    return "画像ファイルを開くことができませんでした！\r    path = " + path;
}

} // namespace morvane
