// Nib preset files: any bytes give a code, at most one message and only
// whole items (bitmaps within the nib cap).
#include <cstdint>

#include "PresetTarget.h"
#include "files/ByteStream.h"
#include "files/NibPresetFile.h"
#include "paint/CPenShapeMngr.h"

using namespace morvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::QuietNotifier notifier;
    CPenShapeMngr list;
    MemoryReader in({data, size});
    const PresetReadCode code = ReadNibPresets(in, "fuzz.psh", list, false, false);
    notifier.Check(code, list.Count());
    for (int32_t i = 0; i < list.Count(); ++i) {
        const CPenShapeObj* item = list.Item(i);
        if (!item->valid || (item->isBitmap && !item->IsBitmapNib()))
            std::abort();
        fuzz::TouchImage(item->Bitmap(), 4096);
    }
    return 0;
}
