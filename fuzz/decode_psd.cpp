// PSD import and the open dialog's preview: any bytes decode within the
// limits or fail cleanly; the preview never exceeds the size wanted.
#include "DecoderTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace morvane;
    fuzz::RunDecoder(DecodePsd, data, size);
    const int32_t sizeWanted = size > 0 ? 1 + data[size - 1] % 64 : 1;
    TMTC preview;
    fuzz::CheckDecoded(DecodePsdPreview(data, size, sizeWanted, preview, fuzz::kFuzzLimits), preview, sizeWanted,
                       sizeWanted);
    return 0;
}
