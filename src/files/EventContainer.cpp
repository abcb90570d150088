#include "files/EventContainer.h"

#include <algorithm>
#include <new>
#include <vector>

#include "events/CMemSeg.h"
#include "events/EventWalk.h"
#include "events/PlaybackTarget.h"
#include "files/ByteStream.h"
#include "files/ImageBlock.h"
#include "files/ResultCodes.h"
#include "platform/MemoryBudget.h"
#include "storage/Compression.h"
#include "storage/SizeLimits.h"
#include "storage/TMTC.h"

namespace morvane {

namespace {

constexpr uint32_t kTagThumbnail = le::Tag("MTNL");
constexpr uint32_t kTagPacked = le::Tag("MEVP");
constexpr uint32_t kTagPlain = le::Tag("MEVS");
constexpr uint32_t kTagBlock = le::Tag("MBEV");
constexpr size_t kCommonHead = 40; // what both containers begin with
constexpr size_t kPackedHead = 56;
constexpr size_t kBlockHead = 28;
constexpr uint32_t kPackedHeadLength = 48;
constexpr uint16_t kMajorVersion = 4, kMinorVersion = 50;
constexpr int32_t kThumbnailSide = 256;
constexpr uint16_t kLastScrambleFreeGeneration = 15;

uint32_t Padded(uint64_t n)
{
    return uint32_t((n + 3) & ~uint64_t(3));
}

// The 40 bytes both containers begin with.
void EncodeCommon(uint8_t* p, uint32_t tag, uint32_t headLength, const EventContainerInfo& info, uint16_t flags)
{
    std::fill(p, p + kCommonHead, uint8_t(0));
    le::Put32(p, tag);
    le::Put32(p + 4, headLength);
    le::Put32(p + 8, uint32_t(info.width));
    le::Put32(p + 12, uint32_t(info.height));
    le::Put16(p + 16, info.generation);
    le::Put16(p + 18, flags);
    le::Put16(p + 20, kMajorVersion);
    le::Put16(p + 22, kMinorVersion);
    le::Put32(p + 24, info.steps);
    le::Put32(p + 28, info.length);
}

EventContainerInfo DecodeCommon(const uint8_t* p)
{
    EventContainerInfo info;
    info.width = le::I32(p + 8);
    info.height = le::I32(p + 12);
    info.generation = le::U16(p + 16);
    info.flags = le::U16(p + 18);
    info.steps = le::U32(p + 24);
    info.length = le::U32(p + 28);
    return info;
}

// What every writer checks first: bytes to write, all of them in the
// stream, and a stream a player can walk.
EventFileCode CheckStream(const CSegmentedStore& stream, const EventContainerInfo& info)
{
    if (info.length == 0)
        return EventFileCode::EmptyStream;
    if (info.length > stream.Position())
        return EventFileCode::ShortCopy;
    return WalkStorePackets(stream, 0, info.length).ok ? EventFileCode::Ok : EventFileCode::InvalidPacket;
}

EventFileCode WriteBlock(ByteWriter& out, std::span<const uint8_t> data, uint32_t offset, MemoryCompressSink& packed)
{
    if (!Compress(data, packed, kCompressLevelEvents))
        return EventFileCode::NoMemory;
    const std::span<const uint8_t> bytes = packed.Data();
    const uint32_t padded = Padded(bytes.size());
    uint8_t head[kBlockHead] = {};
    le::Put32(head, kTagBlock);
    le::Put32(head + 4, 20 + padded);
    le::Put32(head + 8, offset);
    le::Put32(head + 12, uint32_t(data.size()));
    le::Put32(head + 16, uint32_t(bytes.size()));
    const bool ok = out.Write(head, sizeof head) && out.Write(bytes.data(), bytes.size()) &&
                    out.WriteZeros(padded - bytes.size());
    return ok ? EventFileCode::Ok : EventFileCode::ShortWrite;
}

// ---- reading ---------------------------------------------------------------

// Block by block until the header's length has arrived.
EventFileCode ReadBlocks(ByteReader& in, EventStreamSink& sink, uint32_t length, uint32_t blockSize)
{
    std::vector<uint8_t> packed;
    uint32_t appended = 0;
    while (appended < length) {
        uint8_t head[kBlockHead];
        if (!in.Read(head, sizeof head))
            return EventFileCode::ShortRead;
        if (le::U32(head) != kTagBlock)
            return EventFileCode::Tag;
        const uint32_t field = le::U32(head + 4), offset = le::U32(head + 8);
        const uint32_t unpacked = le::U32(head + 12), size = le::U32(head + 16);
        if (field < 20 || size > field - 20 || unpacked == 0 || unpacked > blockSize || offset != appended ||
            unpacked > length - appended)
            return EventFileCode::BadBlock;
        if (field - 20 > in.Remaining())
            return EventFileCode::ShortRead;
        packed.resize(size);
        if (!in.Read(packed.data(), size) || !in.Skip(field - 20 - size))
            return EventFileCode::ShortRead;
        if (!sink.AppendPacked(packed, unpacked))
            return EventFileCode::ShortAppend;
        appended += unpacked;
    }
    return EventFileCode::Ok;
}

// How long a packed stream may unpack to. Recorded events pack a few times
// over, never by much more than kPackedRatio; what packs far better are
// raw pictures, which a stream holds in canvas-sized pieces (filter images,
// pasted pictures). A few megabytes of zeros that claim gigabytes end here,
// before anything is unpacked.
constexpr uint64_t kPackedRatio = 64;
constexpr uint64_t kCanvasPictures = 8;
constexpr uint64_t kUnpackedFloor = uint64_t(16) << 20;

uint64_t UnpackedLimit(uint64_t packedBytes, const EventContainerInfo& info)
{
    const uint64_t width = uint64_t(std::clamp<int64_t>(info.width, 1, kMaxPictureSide));
    const uint64_t height = uint64_t(std::clamp<int64_t>(info.height, 1, kMaxPictureSide));
    return kUnpackedFloor + kPackedRatio * packedBytes + kCanvasPictures * 4 * width * height;
}

// The checks of a header before the sink is touched.
EventFileCode CheckHeader(const EventContainerInfo& info, const EventStreamSink& sink)
{
    if (info.generation > kEventGeneration)
        return EventFileCode::Version;
    if (info.flags & kEventFlagProtected)
        return EventFileCode::Protected;
    return sink.SegmentSize() > 0 ? EventFileCode::Ok : EventFileCode::NoManager;
}

// What the readers share: the sink and whether they have emptied it yet.
struct Target {
    EventStreamSink& sink;
    bool cleared = false;

    bool Clear()
    {
        cleared = true;
        return sink.Clear();
    }
};

EventFileCode ReadPacked(ByteReader& in, const uint8_t* common, Target& target, EventContainerInfo& info)
{
    EventStreamSink& sink = target.sink;
    uint8_t rest[kPackedHead - kCommonHead];
    if (!in.Read(rest, sizeof rest))
        return EventFileCode::ShortRead;
    if (le::U32(common + 4) != kPackedHeadLength)
        return EventFileCode::Tag;
    info = DecodeCommon(common);
    const uint32_t blockCount = le::U32(rest), blockSize = le::U32(rest + 4);
    if (const EventFileCode code = CheckHeader(info, sink); code != EventFileCode::Ok)
        return code;
    if (blockCount == 0)
        return EventFileCode::EmptyStream;
    // The recorder's offsets and step counts are 31-bit.
    if (blockSize != uint32_t(sink.SegmentSize()) || info.length > uint32_t(INT32_MAX) ||
        info.steps > uint32_t(INT32_MAX))
        return EventFileCode::BadBlock;
    if (info.length > UnpackedLimit(in.Remaining(), info)) {
        MemoryBudget::NoteRefusal();
        return EventFileCode::NoMemory;
    }
    if (!target.Clear())
        return EventFileCode::NoManager;
    return ReadBlocks(in, sink, info.length, blockSize);
}

EventFileCode ReadPlain(ByteReader& in, const uint8_t* common, Target& target, EventContainerInfo& info)
{
    EventStreamSink& sink = target.sink;
    info = DecodeCommon(common);
    const int64_t padding = int64_t(le::U32(common + 4)) - int64_t(info.length) - 32;
    if (info.generation > kEventGeneration)
        return EventFileCode::Version;
    if (info.flags != 0)
        return EventFileCode::PlainFlags;
    if (padding < 0 || info.length > uint32_t(INT32_MAX) || info.steps > uint32_t(INT32_MAX))
        return EventFileCode::PlainLength;
    if (sink.SegmentSize() <= 0 || !target.Clear())
        return EventFileCode::NoManager;
    if (info.length > in.Remaining())
        return EventFileCode::ShortPlain;
    std::vector<uint8_t> piece(std::min<size_t>(info.length, size_t(sink.SegmentSize())));
    for (uint32_t left = info.length; left > 0;) {
        const size_t n = std::min<size_t>(left, piece.size());
        if (!in.Read(piece.data(), n))
            return EventFileCode::ShortPlain;
        if (!sink.Append({piece.data(), n}))
            return EventFileCode::ShortAppend;
        left -= uint32_t(n);
    }
    return in.Skip(uint64_t(padding)) ? EventFileCode::Ok : EventFileCode::ShortRead;
}

// Reads the 40 bytes a container begins with, past a thumbnail block.
EventFileCode ReadCommonHead(ByteReader& in, uint8_t* common)
{
    if (!in.Read(common, kCommonHead))
        return EventFileCode::ShortRead;
    if (le::U32(common) == kTagThumbnail) {
        // The block's length counts from after its length field.
        const uint32_t length = le::U32(common + 4);
        if (length < ImageBlockHead::kBytes)
            return EventFileCode::Tag;
        if (!in.Skip(length - (kCommonHead - 8)) || !in.Read(common, kCommonHead))
            return EventFileCode::ShortRead;
    }
    const uint32_t tag = le::U32(common);
    return tag == kTagPacked || tag == kTagPlain ? EventFileCode::Ok : EventFileCode::Tag;
}

EventFileCode ReadAny(ByteReader& in, Target& target, EventContainerInfo& info)
{
    uint8_t common[kCommonHead];
    if (const EventFileCode code = ReadCommonHead(in, common); code != EventFileCode::Ok)
        return code;
    return le::U32(common) == kTagPacked ? ReadPacked(in, common, target, info)
                                         : ReadPlain(in, common, target, info);
}

// A thumbnail block's write as the event file's writer reports it. The
// thumbnail is made here with pixels of the block's kind and size, so only
// a short write or a lack of memory can come back.
EventFileCode ThumbnailWritten(WriteCode code)
{
    switch (code) {
    case WriteCode::Ok: return EventFileCode::Ok;
    case WriteCode::ShortWrite: return EventFileCode::ShortWrite;
    case WriteCode::NoMemory: return EventFileCode::NoMemory;
    default: return EventFileCode::Exception;
    }
}

void FitInto(int32_t width, int32_t height, int32_t side, int32_t& fitW, int32_t& fitH)
{
    fitW = width;
    fitH = height;
    if (width <= side && height <= side)
        return;
    const int64_t longer = std::max(width, height);
    fitW = std::max<int32_t>(1, int32_t((int64_t(width) * side + longer / 2) / longer));
    fitH = std::max<int32_t>(1, int32_t((int64_t(height) * side + longer / 2) / longer));
}

} // namespace

bool EventStreamSink::AppendPacked(std::span<const uint8_t> packed, size_t length)
{
    unpacked_.resize(length);
    return Decompress(packed, unpacked_) && Append(unpacked_);
}

int32_t StoreSink::SegmentSize() const
{
    return store_.Ready() ? store_.SegmentSize() : 0;
}

bool StoreSink::Clear()
{
    // The segments stay for the next stream, as a reloaded document's would.
    return store_.SetPosition(0);
}

bool StoreSink::Append(std::span<const uint8_t> bytes)
{
    return store_.Append(bytes.data(), int64_t(bytes.size()));
}

bool StoreSink::AppendPacked(std::span<const uint8_t> packed, size_t length)
{
    // Blocks of a segment's size land within one segment: unpacked there, they
    // are never copied.
    const int64_t at = store_.Position() % store_.SegmentSize();
    if (at + int64_t(length) > store_.SegmentSize())
        return EventStreamSink::AppendPacked(packed, length);
    auto unpack = [](void* from, std::span<uint8_t> bytes) {
        return Decompress(*static_cast<std::span<const uint8_t>*>(from), bytes);
    };
    return store_.AppendInPlace(int64_t(length), unpack, &packed);
}

StreamLoad StreamLoadOf(EventFileCode code)
{
    switch (code) {
    case EventFileCode::Ok: return StreamLoad::Loaded;
    case EventFileCode::Version: return StreamLoad::Version;
    case EventFileCode::Protected: return StreamLoad::ProtectedHeader;
    default: return StreamLoad::FileError;
    }
}

uint16_t ContainerGeneration(int requested)
{
    return requested >= 0 && requested <= kEventGeneration ? uint16_t(requested) : kEventGeneration;
}

uint16_t ContainerFlags(int requested, bool optionFlag)
{
    if (requested >= 0)
        return uint16_t(requested);
    return optionFlag ? kEventFlagInteractive | kEventFlagOption : kEventFlagInteractive;
}

EventFileCode WriteContainer(ByteWriter& out, const CSegmentedStore& stream, const EventContainerInfo& info)
{
    return Guarded<EventFileCode>([&] {
        if (const EventFileCode code = CheckStream(stream, info); code != EventFileCode::Ok)
            return code;
        const uint32_t blockSize = uint32_t(stream.SegmentSize());
        uint8_t head[kPackedHead] = {};
        EncodeCommon(head, kTagPacked, kPackedHeadLength, info, info.flags);
        le::Put32(head + 40, (info.length + blockSize - 1) / blockSize);
        le::Put32(head + 44, blockSize);
        if (!out.Write(head, sizeof head))
            return EventFileCode::ShortWrite;
        MemoryCompressSink packed;
        for (uint32_t offset = 0; offset < info.length; offset += blockSize) {
            const size_t n = std::min(blockSize, info.length - offset);
            const std::span<const uint8_t> piece = stream.PieceAt(offset);
            if (piece.size() < n)
                return EventFileCode::ShortCopy;
            if (const EventFileCode code = WriteBlock(out, piece.first(n), offset, packed); code != EventFileCode::Ok)
                return code;
        }
        return EventFileCode::Ok;
    });
}

EventFileCode WritePlain(ByteWriter& out, const CSegmentedStore& stream, const EventContainerInfo& info)
{
    return Guarded<EventFileCode>([&] {
        if (const EventFileCode code = CheckStream(stream, info); code != EventFileCode::Ok)
            return code;
        const uint32_t padded = Padded(info.length);
        uint8_t head[kCommonHead];
        EncodeCommon(head, kTagPlain, 32 + padded, info, 0);
        if (!out.Write(head, sizeof head))
            return EventFileCode::ShortWrite;
        for (uint32_t offset = 0; offset < info.length;) {
            std::span<const uint8_t> piece = stream.PieceAt(offset);
            piece = piece.first(std::min<size_t>(piece.size(), info.length - offset));
            if (piece.empty())
                return EventFileCode::ShortCopy;
            if (!out.Write(piece.data(), piece.size()))
                return EventFileCode::ShortWrite;
            offset += uint32_t(piece.size());
        }
        return out.WriteZeros(padded - info.length) ? EventFileCode::Ok : EventFileCode::ShortWrite;
    });
}

EventFileCode ReadContainer(ByteReader& in, EventStreamSink& sink, EventContainerInfo& info)
{
    const uint64_t start = in.Position();
    Target target{sink};
    const EventFileCode code = Guarded<EventFileCode>([&] { return ReadAny(in, target, info); });
    if (code != EventFileCode::Ok) {
        in.Seek(start);
        // A partial stream would stand with a step count it does not hold.
        if (target.cleared)
            sink.Clear();
    }
    return code;
}

EventFileCode WriteThumbnailChunk(ByteWriter& out, const TMTC& picture, uint16_t generation)
{
    return Guarded<EventFileCode>([&] {
        // A picture without pixels is one whose memory could not be had.
        if (!picture.IsValid())
            return EventFileCode::NoMemory;
        int32_t width = 0, height = 0;
        FitInto(picture.Width, picture.Height, kThumbnailSide, width, height);
        TMTC thumbnail(width, height);
        if (!thumbnail.IsValid() || !thumbnail.ShrinkBox4(picture))
            return EventFileCode::NoMemory;
        thumbnail.SetAlphaAll(255);
        return ThumbnailWritten(WriteThumbnailBlock(out, picture.Width, picture.Height, thumbnail,
                                                    generation > kLastScrambleFreeGeneration));
    });
}

BlockReadCode ReadThumbnail(const std::string& path, TMTC& image, int32_t& canvasWidth, int32_t& canvasHeight)
{
    return Guarded<BlockReadCode>([&] {
        FileReader in;
        if (const OpenCode opened = in.Open(path); opened != OpenCode::Ok)
            return Relay<BlockReadCode>(opened);
        ImageBlockHead head;
        uint64_t length = 0;
        const ImageBlockRules rules{ThumbnailBytesPerPixel, kThumbnailSide};
        if (const BlockReadCode code = ReadImageBlockInto(in, rules, head, image, length); code != BlockReadCode::Ok)
            return code;
        uint8_t common[kCommonHead];
        if (!in.Read(common, sizeof common))
            return BlockReadCode::ShortRead;
        const uint32_t tag = le::U32(common);
        if (tag != kTagPacked && tag != kTagPlain)
            return BlockReadCode::Tag;
        const EventContainerInfo info = DecodeCommon(common);
        canvasWidth = info.width;
        canvasHeight = info.height;
        return BlockReadCode::Ok;
    });
}

} // namespace morvane
