// Image blocks: the first byte picks the caller's rules (nib bitmaps or
// icons), the rest is the block. Whatever is accepted has exactly the
// described size and survives being written and read again.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "files/ByteStream.h"
#include "files/ImageBlock.h"

using namespace morvane;

namespace {

int NibFormats(uint16_t format)
{
    return format == 2 || format == 4 ? 1 : 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const ImageBlockRules rules =
        data[0] & 1 ? ImageBlockRules{ThumbnailBytesPerPixel, 1024} : ImageBlockRules{NibFormats, 4096};
    MemoryReader in({data + 1, size - 1});
    ImageBlockHead head;
    std::vector<uint8_t> pixels;
    uint64_t length = 0;
    const BlockReadCode code = ReadImageBlock(in, rules, head, pixels, length);
    if (length > size - 1 || (length != 0 && in.Position() != length))
        std::abort();
    if (code != BlockReadCode::Ok) {
        if (!pixels.empty())
            std::abort();
        return 0;
    }
    const uint64_t expected =
        uint64_t(head.width) * uint64_t(head.height) * uint64_t(rules.bytesPerPixel(head.format));
    if (pixels.size() != expected || head.width > rules.maxSide || head.height > rules.maxSide)
        std::abort();

    MemoryWriter out;
    if (WriteImageBlock(out, head, pixels) != WriteCode::Ok)
        std::abort();
    MemoryReader again(out.Bytes());
    std::vector<uint8_t> back;
    ImageBlockHead backHead;
    if (ReadImageBlock(again, rules, backHead, back, length) != BlockReadCode::Ok || back != pixels)
        std::abort();
    return 0;
}
