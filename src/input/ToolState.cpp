#include "input/ToolState.h"

#include <algorithm>
#include <cmath>

namespace morvane {

ToolState::ToolState()
{
    tools_[int(PenEnd::Eraser)].radius = 8.0f;
    ApplyToPen();
}

void ToolState::SetEnd(PenEnd end)
{
    end_ = end;
}

void ToolState::SetRadius(float radius)
{
    if (!std::isnan(radius))
        tools_[int(end_)].radius = std::clamp(radius, kMinRadius, kMaxRadius);
}

void ToolState::ApplyToPen()
{
    pen_.SetRadius(Radius());
    pen_.color = colour;
}

} // namespace morvane
