#pragma once
// Shared by the render tests: event files made by recording a document
// or from hand-edited streams.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "document/DocumentHost.h"
#include "document/EventFile.h"
#include "document/TPaper.h"
#include "events/CEventMngr.h"
#include "events/CMemSeg.h"
#include "events/EventPacketTable.h"
#include "files/ByteStream.h"
#include "files/EventContainer.h"
#include "support/FileBytes.h"
#include "support/TempFolder.h"

namespace morvane::testing_render {

namespace fs = std::filesystem;
using support::Bytes;
using support::ReadBytes;
using support::TempFolder;
using support::WriteBytes;

// The stream a document recorded so far, with the end mark a save adds.
inline Bytes StreamOf(TPaper& document)
{
    CEventMngr& events = *document.EventManager();
    Bytes stream(size_t(events.WritePosition()));
    EXPECT_EQ(events.Read(0, stream.data(), int64_t(stream.size())), int64_t(stream.size()));
    stream.insert(stream.end(), {2, 255});
    return stream;
}

// A blank picture's recording: new canvas, state and start marks.
inline Bytes BlankStream(int32_t width, int32_t height)
{
    RecordingDocumentHost host;
    TPaper document(host);
    EXPECT_TRUE(document.NewPicture("blank", false, false, 72, width, height, width, height));
    return StreamOf(document);
}

// The offsets of the packets of a stream, in order.
inline std::vector<size_t> PacketOffsets(const Bytes& stream)
{
    std::vector<size_t> offsets;
    for (size_t at = 0; at < stream.size();) {
        const int64_t n = PayloadLength(std::span(stream).subspan(at));
        if (n < 0)
            return {};
        offsets.push_back(at);
        at += 2 + size_t(n);
    }
    return offsets;
}

// The stream as an event file of the given generation and container flags.
inline void WriteEventFile(const std::string& path, const Bytes& stream, int32_t width, int32_t height,
                           uint16_t generation = kEventGeneration, uint16_t flags = kEventFlagInteractive)
{
    CSegmentedStore store;
    ASSERT_TRUE(store.Append(stream.data(), int64_t(stream.size())));
    EventContainerInfo info;
    info.width = width;
    info.height = height;
    info.generation = generation;
    info.flags = flags;
    info.steps = 1;
    info.length = uint32_t(stream.size());
    MemoryWriter out;
    ASSERT_EQ(WriteContainer(out, store, info), EventFileCode::Ok);
    WriteBytes(path, out.Bytes());
}

// The stream and header of an event file; empty when it does not read.
inline Bytes StreamOfFile(const std::string& path, EventContainerInfo& info)
{
    FileReader in;
    CSegmentedStore store;
    StoreSink sink(store);
    if (in.Open(path) != OpenCode::Ok || ReadContainer(in, sink, info) != EventFileCode::Ok)
        return {};
    Bytes stream(size_t(store.Position()));
    store.Read(0, stream.data(), int64_t(stream.size()));
    return stream;
}

// The flags of every {0,12} record of a stream.
inline std::vector<uint16_t> FileFlagsOf(const Bytes& stream)
{
    std::vector<uint16_t> flags;
    for (size_t at : PacketOffsets(stream))
        if (stream[at] == 0 && stream[at + 1] == 12)
            flags.push_back(uint16_t(stream[at + 2] | stream[at + 3] << 8));
    return flags;
}

} // namespace morvane::testing_render
