// Recording a stroke: a million points through the event manager (start,
// 16-point packets, end, with the state unchanged) against appending the
// same packet bytes to a vector, the floor of any recorder that keeps them.

#include <cstring>
#include <vector>

#include "BenchSupport.h"
#include "events/CEventMngr.h"

namespace morvane::bench {
namespace {

constexpr int kPoints = 1000000;
constexpr int kPerPacket = 16;
constexpr size_t kPointBytes = 12;

struct Point {
    float x, y, pressure;
};

std::vector<Point> Points()
{
    std::vector<uint32_t> bits(size_t(kPoints) * 3);
    FillRandom(bits.data(), bits.size(), 11);
    std::vector<Point> points(kPoints);
    for (size_t i = 0; i < points.size(); ++i)
        points[i] = {float(bits[3 * i] % 4096), float(bits[3 * i + 1] % 4096), float(bits[3 * i + 2] % 1000) / 1000};
    return points;
}

int64_t StreamBytes() { return 6 + (kPoints / kPerPacket) * 2 + int64_t(kPoints) * int64_t(kPointBytes); }

void RecordPoints(benchmark::State& state)
{
    const std::vector<Point> points = Points();
    CEventMngr events;
    if (!events.Start(16)) {
        state.SkipWithError("no recorder");
        return;
    }
    // The state goes into the stream once, before the timed strokes.
    events.BeginStroke(PacketId::StrokeStartEarlier, 0, 0xFFFF, 0, 0, 1);
    events.EndStroke();
    const int64_t start = events.WritePosition();
    TimeEach(
        state, StreamBytes(),
        [&] {
            bool ok = events.BeginStroke(PacketId::StrokeStartEarlier, 0, 0xFFFF, points[0].x, points[0].y, points[0].pressure);
            for (size_t i = 1; i < points.size(); ++i)
                ok = events.AddPoint(points[i].x, points[i].y, points[i].pressure) && ok;
            ok = events.EndStroke() && ok;
            benchmark::DoNotOptimize(events.WritePosition());
            return ok && events.WritePosition() - start == StreamBytes();
        },
        // Undone strokes keep their segments, as the vector keeps its capacity.
        [&] {
            if (events.WritePosition() > start)
                events.UndoStep();
        });
}

void AppendToVector(benchmark::State& state)
{
    const std::vector<Point> points = Points();
    std::vector<uint8_t> out;
    TimeEach(
        state, StreamBytes(),
        [&] {
            const uint8_t start[6] = {16, 0, 0, 0, 0xFF, 0xFF};
            out.insert(out.end(), start, start + 6);
            for (size_t i = 0; i < points.size(); ++i) {
                if (i % kPerPacket == 0)
                    out.insert(out.end(), {uint8_t(i + kPerPacket < points.size() ? 17 : 18), kPerPacket});
                uint8_t bytes[kPointBytes];
                std::memcpy(bytes, &points[i], kPointBytes);
                out.insert(out.end(), bytes, bytes + kPointBytes);
            }
            benchmark::DoNotOptimize(out.data());
            return int64_t(out.size()) == StreamBytes();
        },
        [&] { out.clear(); });
}

} // namespace
} // namespace morvane::bench

using namespace morvane::bench;
MORVANE_FIGURE(record_points_vs_vector, RecordPoints, AppendToVector);
