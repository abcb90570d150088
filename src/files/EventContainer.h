#pragma once
// Event containers: a document's recorded stream as a file or as a chunk of
// one. "MEVP" carries the stream in compressed blocks, one per store
// segment; "MEVS" carries it raw. Either may follow a thumbnail image block.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "files/ResultCodes.h"

namespace morvane {

class ByteReader;
class ByteWriter;
class CSegmentedStore;
class TMTC;
enum class StreamLoad : uint8_t;

inline constexpr uint16_t kEventGeneration = 41;
// Container flags: protected (refused by the reader), written interactively,
// and the optional mark the settings can add.
inline constexpr uint16_t kEventFlagProtected = 0x8000;
inline constexpr uint16_t kEventFlagInteractive = 0x4000;
inline constexpr uint16_t kEventFlagOption = 0x1000;

// What a container's header says about its stream.
struct EventContainerInfo {
    int32_t width = 0, height = 0; // the canvas
    uint16_t generation = kEventGeneration;
    uint16_t flags = 0;
    uint32_t steps = 0;  // committed steps
    uint32_t length = 0; // stream bytes
};

// Where a container's stream goes while it is read.
class EventStreamSink {
public:
    virtual ~EventStreamSink() = default;
    // The segment size of the sink's store; 0 when it cannot take a stream.
    virtual int32_t SegmentSize() const = 0;
    // Empties the sink before the first byte arrives.
    virtual bool Clear() = 0;
    virtual bool Append(std::span<const uint8_t> bytes) = 0;
    // Appends the length bytes that packed unpacks to; false when it does not
    // unpack to exactly that many. Sinks that can unpack in place do so.
    virtual bool AppendPacked(std::span<const uint8_t> packed, size_t length);

private:
    std::vector<uint8_t> unpacked_;
};

// A sink that is a bare store; emptying it keeps its segments.
class StoreSink final : public EventStreamSink {
public:
    explicit StoreSink(CSegmentedStore& store) : store_(store) {}
    int32_t SegmentSize() const override;
    bool Clear() override;
    bool Append(std::span<const uint8_t> bytes) override;
    bool AppendPacked(std::span<const uint8_t> packed, size_t length) override;

private:
    CSegmentedStore& store_;
};

// A loader's code as the player sorts it: loaded, a newer generation, a
// protected header, or any other failure.
StreamLoad StreamLoadOf(EventFileCode code);

// The generation and flags a save writes: a requested generation outside
// 0 .. 41 (-1 for none) gives 41; requested flags of -1 give the interactive
// mark, plus the optional one when the setting asks for it.
uint16_t ContainerGeneration(int requested);
uint16_t ContainerFlags(int requested, bool optionFlag);

// Writes the first info.length bytes of the stream with the header of info
// (its width, height, generation, flags and steps): Ok; ShortWrite; NoMemory;
// EmptyStream; ShortCopy for fewer bytes in the stream; InvalidPacket.
EventFileCode WriteContainer(ByteWriter& out, const CSegmentedStore& stream, const EventContainerInfo& info);
// The same as one plain run of bytes (flags 0).
EventFileCode WritePlain(ByteWriter& out, const CSegmentedStore& stream, const EventContainerInfo& info);

// Reads one container, skipping a thumbnail block before it, into the sink
// (emptied first) and its header into info. On failure the reader stands
// where the container began and the sink, once emptied, holds nothing. A
// packed stream that claims far more than its file and canvas can hold is
// refused with NoMemory before anything is unpacked.
EventFileCode ReadContainer(ByteReader& in, EventStreamSink& sink, EventContainerInfo& info);

// The thumbnail chunk of a picture: fitted into 256 x 256 keeping its
// aspect ratio, opaque, scrambled above generation 15. NoMemory also for a
// picture without pixels.
EventFileCode WriteThumbnailChunk(ByteWriter& out, const TMTC& picture, uint16_t generation);
// The picture of a file's thumbnail chunk and the canvas size of the
// container after it: Ok, the file's open codes, Tag without a thumbnail or
// container, or the image block's code.
BlockReadCode ReadThumbnail(const std::string& path, TMTC& image, int32_t& canvasWidth, int32_t& canvasHeight);

} // namespace morvane
