// Brush preset files: any bytes give a code, at most one message and only
// whole presets of a current kind, with 128 x 128 icons.
#include <cstdint>

#include "PresetTarget.h"
#include "files/BrushPresetFile.h"
#include "files/ByteStream.h"
#include "paint/CPenMethodMngr.h"

using namespace morvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::QuietNotifier notifier;
    CPenMethodMngr list;
    MemoryReader in({data, size});
    const PresetReadCode code = ReadBrushPresets(in, "fuzz.pmt", list, false, false);
    notifier.Check(code, list.Count());
    for (int32_t i = 0; i < list.Count(); ++i) {
        const CPenMethodObj* preset = list.Item(i);
        if (!preset->valid || !preset->Kind() || (preset->Icon() && preset->Icon()->Width != 128))
            std::abort();
        fuzz::TouchImage(preset->Icon(), 128);
        fuzz::TouchImage(preset->SmallIcon(), 32);
        if (preset->Nib())
            fuzz::TouchImage(preset->Nib()->Bitmap(), 4096);
    }
    return 0;
}
