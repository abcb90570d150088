#pragma once
// Shows a bottom-up 32-bit screen buffer through Qt without copying it.
#include <QImage>
#include <QPoint>

class QPainter;

namespace morvane {

class TTC;

// A QImage over the buffer's pixel block. Its rows are in memory order, so
// the picture is upside down; DrawTtc flips it while drawing.
QImage WrapTtc(const TTC& buffer);
// Draws the buffer 1:1 with its top-left corner at `at`.
void DrawTtc(QPainter& painter, QPoint at, const TTC& buffer);

} // namespace morvane
