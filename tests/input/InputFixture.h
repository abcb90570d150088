#pragma once
// A document window's input without a window: a painted document recording
// into a KeepingRecorder, a view that scales by a plain factor, the tool
// state and a router over them, painting with a small round nib.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "document/PaperFixture.h"
#include "input/InputRouter.h"
#include "input/ToolState.h"
#include "input/ViewPort.h"
#include "paint/CPenRender.h"

namespace morvane::testing_input {

class FakeView final : public ViewPort {
public:
    double Scale() const override { return scale; }
    bool ZoomStep(bool in, PointD anchor) override
    {
        if (!canZoom)
            return false;
        ++(in ? zoomIns : zoomOuts);
        lastAnchor = anchor;
        return true;
    }
    bool ZoomByPoints(int points, PointD anchor) override
    {
        if (!canZoom)
            return false;
        zoomPoints += points;
        lastAnchor = anchor;
        return true;
    }
    void ScrollBy(int dx, int dy) override { scrollX += dx, scrollY += dy; }
    double Rotation() const override { return rotation; }
    void SetRotation(double degrees) override { rotation = degrees; }
    PointD WindowToDocument(PointD w) const override { return {w.x / scale, w.y / scale}; }
    int ClientWidth() const override { return width; }
    int ClientHeight() const override { return height; }

    double scale = 1, rotation = 0;
    int width = 200, height = 150;
    bool canZoom = true;
    int zoomIns = 0, zoomOuts = 0, zoomPoints = 0, scrollX = 0, scrollY = 0;
    PointD lastAnchor;
};

struct Desk {
    testing_layers::PaintedPaper paper;
    FakeView view;
    ToolState tools;
    InputRouter router{*paper, view, tools};
    CPenRender render{router.Pen()};
    int beeps = 0;

    explicit Desk(InputSettings settings = {})
    {
        tools.SetSize(3);
        paper->SetPenRenderer(&render);
        router.SetSettings(settings);
        router.beep = [this] { ++beeps; };
    }
    TPaper& Paper() { return *paper; }
    const std::vector<std::vector<uint8_t>>& Packets() const { return paper.recorder->packets; }

    // Window points for document points at the view's scale.
    PointerEvent At(double x, double y, uint32_t modifiers = 0) const
    {
        return {{x * view.scale, y * view.scale}, modifiers};
    }
    void Press(double x, double y, uint32_t modifiers = 0, MouseButton b = MouseButton::Left)
    {
        router.Press(b, At(x, y, modifiers));
    }
    void Drag(double x, double y, uint32_t modifiers = 0) { router.Move(At(x, y, modifiers)); }
    void Release(double x, double y, MouseButton b = MouseButton::Left) { router.Release(b, At(x, y)); }
};

// Kinds of the packets a KeepingRecorder kept: 48 stroke start, 17 point,
// 18 end.
inline std::vector<int> Kinds(const std::vector<std::vector<uint8_t>>& packets)
{
    std::vector<int> kinds;
    for (const auto& p : packets)
        kinds.push_back(p[0]);
    return kinds;
}

struct RecordedPoint {
    float x, y, p;
};

inline RecordedPoint PointOf(const std::vector<uint8_t>& packet)
{
    RecordedPoint r{};
    std::memcpy(&r.x, &packet[2], 4);
    std::memcpy(&r.y, &packet[6], 4);
    std::memcpy(&r.p, &packet[10], 4);
    return r;
}

inline int CountOf(const std::vector<std::vector<uint8_t>>& packets, int kind)
{
    int n = 0;
    for (const auto& p : packets)
        n += p[0] == kind;
    return n;
}

} // namespace morvane::testing_input
