#pragma once
// A document that records through its own manager, painted with a pen of
// its own, and what its recording replays to: saved as an event file and
// played into a fresh document as the render mode plays one. Tests compare
// the two to show that the stream equals the picture's history.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "PaperFixture.h"
#include "document/EventFile.h"
#include "document/TPaper.h"
#include "document/TPaperPlayback.h"
#include "events/CEventMngr.h"
#include "events/CEventPlayer.h"
#include "events/CMemSeg.h"
#include "files/ByteStream.h"
#include "files/EventContainer.h"
#include "paint/CPenRender.h"
#include "paint/TFlowImage.h"
#include "paint/TStroke.h"

namespace morvane::testing_layers {

// A document recording through its own manager, with content on three
// layers (the middle one multiplied, the top one larger than the picture and
// offset), and the pen a user would paint with.
struct Live {
    RecordingDocumentHost host;
    std::unique_ptr<TPaper> paper = std::make_unique<TPaper>(host);
    TStroke pen{4};
    CPenRender render{pen};
    TFlowImage flow;

    explicit Live(bool blank = false)
    {
        pen.color = 0xFF2050C0;
        pen.SetRadius(3.5f);
        NibRecord nib;
        nib.radius = 350;
        nib.minRadius = 300;
        render.SetNib(nib);
        paper->SetPenRenderer(&render);
        if (blank)
            return;
        EXPECT_TRUE(paper->NewPicture("live", false, false, 72, 48, 36, 48, 36));
        EXPECT_TRUE(Draw({{4, 6, 0.4f}, {40, 30, 1.0f}, {10, 28, 0.7f}}));
        EXPECT_TRUE(paper->AddLayerNamed(1, 48, 36, true, 200, kModeMultiply, "中", 0x80C04020u));
        EXPECT_TRUE(Draw({{44, 4, 1.0f}, {6, 20, 0.6f}}));
        EXPECT_TRUE(paper->AddLayer(2, 60, 44, true, 180, kModeNormal));
        EXPECT_TRUE(paper->ShiftLayer(2, -5, -3));
        pen.color = 0xFF10A040;
        EXPECT_TRUE(Draw({{2, 34, 0.9f}, {30, 2, 0.5f}, {46, 20, 1.0f}}));
    }
    ~Live() { paper->SetPenRenderer(nullptr); }
    TPaper& operator*() { return *paper; }
    TPaper* operator->() { return paper.get(); }

    bool Draw(const std::vector<std::array<float, 3>>& path)
    {
        TPaper& p = *paper;
        if (!p.StrokeBegin(flow, pen, true, path[0][2], path[0][1], path[0][0]))
            return false;
        for (size_t i = 1; i < path.size(); ++i)
            if (!p.StrokePoint(flow, pen, true, path[i][2], path[i][1], path[i][0]))
                return false;
        EdgeRect out;
        return p.StrokeEnd(flow, pen, true, out);
    }
};

// An event file replayed into a fresh document the way the render mode
// replays one.
inline PaperState PlayedFile(const std::string& path, PlaybackMode mode = PlaybackMode::Render)
{
    RecordingDocumentHost host;
    host.PlayingBack = true;
    TPaper paper(host);
    PaperPlaybackTarget target(paper);
    CEventPlayer player(*paper.EventManager(), target);
    EXPECT_EQ(player.Open(path, mode), CEventPlayer::kOpenOk);
    int ticks = 0;
    while (player.Tick() == PlayerTick::Continue && ++ticks < 100000) {
    }
    player.Close();
    EXPECT_TRUE(player.EndMarkSeen());
    EXPECT_FALSE(player.Failed());
    return WithoutIds(StateOf(paper));
}

// The live document's recording saved as an event file and played again.
// Recordings with images play only where a person sees them (Interactive).
inline PaperState SavedAndReplayed(TPaper& live, const std::string& path, PlaybackMode mode = PlaybackMode::Render)
{
    EXPECT_EQ(SaveEventFile(path, live, EventSaveRequest{}), EventFileCode::Ok);
    return PlayedFile(path, mode);
}

// What the live document recorded so far, with the end mark a save adds,
// written as an event file and played: unlike a save, this leaves the live
// document's redo steps as they are.
inline PaperState Replayed(TPaper& live, const std::string& path)
{
    CEventMngr& events = *live.EventManager();
    std::vector<uint8_t> stream(size_t(events.WritePosition()));
    EXPECT_EQ(events.Read(0, stream.data(), int64_t(stream.size())), int64_t(stream.size()));
    stream.insert(stream.end(), {CategoryOf(PacketId::EndMark), CodeOf(PacketId::EndMark)});
    CSegmentedStore store;
    EXPECT_TRUE(store.Append(stream.data(), int64_t(stream.size())));
    EventContainerInfo info;
    info.width = live.Width;
    info.height = live.Height;
    info.steps = 1;
    info.length = uint32_t(stream.size());
    MemoryWriter out;
    EXPECT_EQ(WriteContainer(out, store, info), EventFileCode::Ok);
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(out.Bytes().data()), std::streamsize(out.Bytes().size()));
    return PlayedFile(path);
}

// The first thing two documents differ in, for the failure message.
inline std::string Difference(const PaperState& a, const PaperState& b)
{
    if (a.width != b.width || a.height != b.height)
        return "size";
    if (a.paperColour != b.paperColour)
        return "paper colour";
    if (a.layers.size() != b.layers.size())
        return "layer count " + std::to_string(a.layers.size()) + " vs " + std::to_string(b.layers.size());
    for (size_t i = 0; i < a.layers.size(); ++i) {
        const PaperState::Layer &x = a.layers[i], &y = b.layers[i];
        if (!(x == y))
            return "layer " + std::to_string(i) + ": store " + std::to_string(x.storeW) + "x" +
                   std::to_string(x.storeH) + " vs " + std::to_string(y.storeW) + "x" + std::to_string(y.storeH) +
                   ", origin " + std::to_string(x.originX) + "," + std::to_string(x.originY) + " vs " +
                   std::to_string(y.originX) + "," + std::to_string(y.originY) + ", pixels " +
                   (x.pixels == y.pixels ? "same" : "differ") + ", name " + x.name + "/" + y.name + ", visible " +
                   std::to_string(x.visible) + "/" + std::to_string(y.visible);
    }
    if (a.masks.size() != b.masks.size())
        return "mask count " + std::to_string(a.masks.size()) + " vs " + std::to_string(b.masks.size());
    for (size_t i = 0; i < a.masks.size(); ++i) {
        const PaperState::Mask &x = a.masks[i], &y = b.masks[i];
        if (!(x == y))
            return "mask " + std::to_string(i) + ": rect " + std::to_string(x.rect.left) + "," +
                   std::to_string(x.rect.top) + "," + std::to_string(x.rect.right) + "," +
                   std::to_string(x.rect.bottom) + " vs " + std::to_string(y.rect.left) + "," +
                   std::to_string(y.rect.top) + "," + std::to_string(y.rect.right) + "," +
                   std::to_string(y.rect.bottom) + ", bytes " + (x.bytes == y.bytes ? "same" : "differ") +
                   ", name " + x.name + "/" + y.name;
    }
    if (a.currentMask != b.currentMask)
        return "current mask";
    if (a.borderShown != b.borderShown || a.selectionUsed != b.selectionUsed)
        return "selection flags";
    return a.composite == b.composite ? "nothing" : "composite";
}

inline std::string ScratchFile(const char* name)
{
    return (std::filesystem::temp_directory_path() /
            (std::string("morvane-registry-") + std::to_string(::getpid()) + "-" + name + ".vd4"))
        .string();
}

// The stream equals the history of the picture on screen.
inline void ExpectStreamIsThePicture(TPaper& live, const char* when)
{
    const std::string path = ScratchFile(when);
    const PaperState replayed = Replayed(live, path);
    std::filesystem::remove(path);
    const PaperState shown = WithoutIds(StateOf(live));
    EXPECT_TRUE(replayed == shown) << when << ": the stream replays to another picture: "
                                   << Difference(replayed, shown);
}

} // namespace morvane::testing_layers
