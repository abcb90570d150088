#pragma once
// A playback target that records every call the player makes as one line,
// answers from a table, and loads "files" held in memory: event containers
// through the container reader, or raw streams the writers would refuse.
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "events/CEventMngr.h"
#include "events/EventPayloads.h"
#include "events/PlaybackTarget.h"
#include "files/ByteStream.h"
#include "files/EventContainer.h"
#include "files/ResultCodes.h"

namespace morvane::playtest {

using Bytes = std::vector<uint8_t>;

struct FakeFile {
    Bytes bytes;
    bool raw = false; // a bare stream, loaded as generation 41 without flags
};

class FakePlaybackTarget final : public PlaybackTarget {
public:
    explicit FakePlaybackTarget(CEventMngr& events) : events_(events) {}

    std::map<std::string, FakeFile> files;
    std::vector<std::string> calls;
    // The answer of a record or command by its header; Executed otherwise.
    std::map<std::pair<int, int>, HandlerResult> answers;
    std::pair<int, int> throwsAt{-1, -1};
    uint8_t implicitKind = 2;

    StreamLoad LoadStream(const std::string& path) override
    {
        calls.push_back("load");
        return StreamLoadOf(LoadFile(path));
    }
    EventFileCode LoadFile(const std::string& path)
    {
        const auto it = files.find(path);
        if (it == files.end())
            return EventFileCode::NotFound;
        if (it->second.raw)
            return LoadRaw(it->second.bytes);
        MemoryReader in(it->second.bytes);
        Sink sink(events_);
        EventContainerInfo info;
        if (const EventFileCode code = ReadContainer(in, sink, info); code != EventFileCode::Ok)
            return code;
        events_.EndLoad(int32_t(info.steps), uint8_t(info.generation), info.flags);
        return EventFileCode::Ok;
    }
    void BeginPlayback(bool isProtected, bool strokeManager) override
    {
        calls.push_back(Line("begin protected=%d strokes=%d", isProtected, strokeManager));
    }
    HandlerResult ApplyRecord(std::span<const uint8_t> packet) override { return Answer("record", packet); }
    HandlerResult ApplyCommand(std::span<const uint8_t> packet, int appVersion) override
    {
        return Answer(Line("command v%d", appVersion), packet);
    }
    void ClearMaps() override { calls.push_back("maps"); }
    uint8_t ImplicitStrokeKind() override { return implicitKind; }
    HandlerResult StartStroke(const PlaybackStroke& s) override
    {
        calls.push_back(s.implicit ? Line("start kind=%d implicit", s.kind)
                                   : Line("start kind=%d line=%d layer=%d mask=%d", s.kind, s.lineMode, s.layer, s.mask));
        return HandlerResult::Executed;
    }
    HandlerResult DrawPoint(const PlaybackPoint& p, PointRoutine routine) override
    {
        static const char* const names[] = {"open-earlier", "open-standard", "open-wet", "continue", "continue-wet"};
        calls.push_back(Line("point %g %g %g ", p.x, p.y, p.pressure) + names[int(routine)]);
        hints_ |= changehint::kLayerPixels;
        return HandlerResult::Executed;
    }
    HandlerResult EndStroke() override
    {
        calls.push_back("end-stroke");
        return HandlerResult::Executed;
    }
    uint8_t TakeChangeHints() override { return std::exchange(hints_, uint8_t(0)); }
    void EndPlayback() override { calls.push_back("end-playback"); }

    int Count(const std::string& prefix) const
    {
        int n = 0;
        for (const std::string& c : calls)
            n += c.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }

private:
    class Sink final : public EventStreamSink {
    public:
        explicit Sink(CEventMngr& events) : events_(events) {}
        int32_t SegmentSize() const override { return events_.Store().SegmentSize(); }
        bool Clear() override { return events_.BeginLoad(); }
        bool Append(std::span<const uint8_t> bytes) override
        {
            return events_.AppendRaw(bytes.data(), int64_t(bytes.size()));
        }

    private:
        CEventMngr& events_;
    };

    EventFileCode LoadRaw(const Bytes& stream)
    {
        if (!events_.BeginLoad() || !events_.AppendRaw(stream.data(), int64_t(stream.size())))
            return EventFileCode::NoMemory;
        events_.EndLoad(int32_t(WalkPackets(stream).steps), CEventMngr::kCurrentGeneration, 0);
        return EventFileCode::Ok;
    }

    template <class... Args> static std::string Line(const char* format, Args... args)
    {
        char text[128];
        std::snprintf(text, sizeof text, format, args...);
        return text;
    }

    HandlerResult Answer(const std::string& what, std::span<const uint8_t> packet)
    {
        const std::pair<int, int> header{packet[0], packet[1]};
        calls.push_back(what + Line(" %d,%d", header.first, header.second));
        if (header == throwsAt)
            throw std::runtime_error("handler failed");
        if (header.first >= 2)
            hints_ |= changehint::kLayerStructure;
        const auto it = answers.find(header);
        return it == answers.end() ? HandlerResult::Executed : it->second;
    }

    CEventMngr& events_;
    uint8_t hints_ = 0;
};

// ---- stream fixtures, built with the payload encoders ----

inline Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes Version(uint16_t major = 4, uint16_t minor = 50)
{
    AppVersionPayload p;
    p.major = major, p.minor = minor;
    return p.Encode();
}

inline Bytes Flags(uint16_t flags)
{
    DocumentFlagsPayload p;
    p.flags = flags;
    return p.Encode();
}

inline Bytes NewCanvas(int32_t width = 64, int32_t height = 48)
{
    NewCanvasPayload p;
    p.width = width, p.height = height;
    return p.Encode();
}

// A document command without payload: 4 and 5 turn the picture, 254 clears
// the maps, 255 is the end mark.
inline Bytes Action(uint8_t code)
{
    return Bytes{2, code};
}

inline Bytes EndMark() { return Action(255); }

inline Bytes Image()
{
    ImageBlockPayload p;
    p.SetKind(PacketId::PasteAsLayer);
    p.width = 2, p.height = 2, p.pixels = Bytes(16, 0x80), p.name = "a.png";
    SealImageBlock(p);
    return p.Encode();
}

inline Bytes Start(uint8_t category, uint16_t layer = 1, uint16_t mask = 0)
{
    StrokeStartPayload p;
    p.category = category, p.code = 0, p.layer = layer, p.mask = mask;
    return p.Encode();
}

// Raw point packet, so that hostile values can be written too.
inline Bytes Points(uint8_t category, const std::vector<PlaybackPoint>& points)
{
    Bytes out{category, uint8_t(points.size())};
    PayloadWriter w(out);
    for (const PlaybackPoint& p : points)
        w.F32(p.x), w.F32(p.y), w.F32(p.pressure);
    return out;
}

// A stroke of n points in packets of 16, the last one {18,k}.
inline Bytes Stroke(uint8_t startCategory, int n, float x0 = 0)
{
    Bytes out = Start(startCategory);
    for (int first = 0; first < n; first += 16) {
        std::vector<PlaybackPoint> points;
        for (int i = first; i < std::min(n, first + 16); ++i)
            points.push_back({x0 + float(i), float(i % 7), 0.5f});
        const Bytes packet = Points(first + 16 >= n ? 18 : 17, points);
        out.insert(out.end(), packet.begin(), packet.end());
    }
    return out;
}

// An event container of the stream: compressed (MEVP) or plain (MEVS, no flags).
inline Bytes Container(const Bytes& stream, bool compressed = true, uint16_t flags = kEventFlagInteractive)
{
    CSegmentedStore store;
    store.Append(stream.data(), int64_t(stream.size()));
    EventContainerInfo info;
    info.width = 64, info.height = 48, info.flags = compressed ? flags : 0;
    info.steps = uint32_t(WalkPackets(stream).steps);
    info.length = uint32_t(stream.size());
    MemoryWriter out;
    const EventFileCode code = compressed ? WriteContainer(out, store, info) : WritePlain(out, store, info);
    return code == EventFileCode::Ok ? out.Bytes() : Bytes{};
}

} // namespace morvane::playtest
