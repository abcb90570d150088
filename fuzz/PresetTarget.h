#pragma once
// What the preset readers' fuzz targets share: messages recorded instead of
// shown, and checks that whatever a read accepted is whole.
#include <cstdlib>

#include "files/ResultCodes.h"
#include "platform/UserNotifier.h"
#include "storage/CDibCore.h"

namespace morvane::fuzz {

// Every read shows at most one message; a read that reports success has read something.
class QuietNotifier {
public:
    QuietNotifier() : previous_(SetNotifier(&notifier_)) {}
    ~QuietNotifier() { SetNotifier(previous_); }
    void Check(PresetReadCode code, int count) const
    {
        if (notifier_.messages.size() > 1 || (code == PresetReadCode::Ok && count == 0))
            std::abort();
    }

private:
    RecordingNotifier notifier_;
    UserNotifier* previous_;
};

// Reads the first and last byte of every row, so a wrong layout shows under the sanitizers.
inline void TouchImage(const CDibCore* image, int32_t maxSide)
{
    if (!image)
        return;
    if (!image->IsValid() || image->Width < 1 || image->Height < 1 || image->Width > maxSide ||
        image->Height > maxSide)
        std::abort();
    unsigned sum = 0;
    const int32_t lastByte = image->Width * image->BytesPerPixel() - 1;
    for (int32_t y = 0; y < image->Height; ++y)
        sum += image->RowPtr(y)[0] + image->RowPtr(y)[lastByte];
    volatile unsigned sink = sum;
    (void)sink;
}

} // namespace morvane::fuzz
