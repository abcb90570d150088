#include "support/Checksum.h"

#include "storage/CBlockVMTC.h"
#include "storage/CDibCore.h"

namespace morvane::support {

uint64_t Fnv(const void* bytes, size_t n, uint64_t h)
{
    const auto* p = static_cast<const uint8_t*>(bytes);
    for (size_t i = 0; i < n; ++i)
        h = FnvMix(h, p[i]);
    return h;
}

uint64_t Checksum(const CDibCore& image, uint64_t h)
{
    for (int32_t y = 0; y < image.Height; ++y)
        h = Fnv(image.RowPtr(y), size_t(image.Width) * size_t(image.BytesPerPixel()), h);
    return h;
}

uint64_t Checksum(const CBlockVMTC& store, uint64_t h)
{
    for (int32_t y = 0; y < store.Height; ++y)
        for (int32_t x = 0; x < store.Width; ++x)
            h = FnvMix(h, store.GetPixel(x, y));
    return h;
}

} // namespace morvane::support
