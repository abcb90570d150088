#pragma once
// The image block ("MTNL"): one compressed picture with its description,
// shared by document thumbnails, event-file thumbnails and preset files.
// Kind 2 scrambles the compressed bytes with the parameters it carries.
#include <cstdint>
#include <span>
#include <vector>

#include "files/ResultCodes.h"

namespace morvane {

class ByteReader;
class ByteWriter;
class CDibCore;
class TMTC;

// The 40-byte description that follows the block's tag and size.
struct ImageBlockHead {
    static constexpr int kBytes = 40;

    uint16_t kind = 1; // 1 compressed, 2 compressed and scrambled
    uint16_t format = 0;
    uint8_t groupLength = 0;
    uint8_t key = 0;
    uint8_t stride = 0;
    uint8_t tailCount = 0;
    int32_t sourceWidth = 0;
    int32_t sourceHeight = 0;
    int32_t width = 0;
    int32_t height = 0;
    uint32_t storedLength = 0;
    uint32_t unpackedLength = 0;
};

// What a caller accepts: the bytes per pixel of each format code it knows
// (0 for the others) and the largest side, checked before any allocation.
struct ImageBlockRules {
    int (*bytesPerPixel)(uint16_t format);
    int32_t maxSide;
};

// Thumbnails: format 0, 32-bit pixels.
int ThumbnailBytesPerPixel(uint16_t format);

// The kind-2 steps over compressed bytes, piece by piece (16384 bytes each).
// Scramble is the writer's order (group then key), Descramble the reader's.
void Scramble(std::span<uint8_t> bytes, const ImageBlockHead& head);
void Descramble(std::span<uint8_t> bytes, const ImageBlockHead& head);

// Reads one block: Ok; ShortHead; Tag; ShortRead for a block or data beyond
// the stream, inconsistent lengths or data that do not unpack to exactly the
// unpacked length; Kind; Format for a format the rules refuse, a side
// outside 1 .. maxSide or an unpacked length other than width x height x
// bytes per pixel; NoMemory. `blockLength` is the 8 + block size bytes
// passed over when the reader stands after the block (also after Kind,
// Format and bad data), else 0.
BlockReadCode ReadImageBlock(ByteReader& in, const ImageBlockRules& rules, ImageBlockHead& head,
                   std::vector<uint8_t>& pixels, uint64_t& blockLength);
// The same into a buffer of the block's size, whose bytes per pixel must be
// the format's (else Format).
BlockReadCode ReadImageBlockInto(ByteReader& in, const ImageBlockRules& rules, ImageBlockHead& head, CDibCore& image,
                       uint64_t& blockLength);

// Writes one block of `pixels` with the head's kind, format, sizes and kind-2
// parameters (zeroed for kind 1): Ok; ShortWrite; NoMemory; Kind.
WriteCode WriteImageBlock(ByteWriter& out, const ImageBlockHead& head, std::span<const uint8_t> pixels);
// The same from a buffer's rows, top row first (Format for one without pixels).
WriteCode WriteImageBlockFrom(ByteWriter& out, const ImageBlockHead& head, const CDibCore& image);
// A thumbnail of a picture of the source size (kind 2 when scrambled).
WriteCode WriteThumbnailBlock(ByteWriter& out, int32_t sourceWidth, int32_t sourceHeight, const TMTC& image,
                        bool scrambled);

} // namespace morvane
