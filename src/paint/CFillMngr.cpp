#include "paint/CFillMngr.h"

#include <algorithm>
#include <cmath>

#include "storage/BlendTables.h"

namespace morvane {

namespace {
// Share of pixel j under an edge rising by c per pixel, from the edge's own
// end; 1 past the edge and for steep edges.
float EdgeShare(int32_t j, float slope)
{
    const float c = slope == 0.0f ? 1000.0f : 1.0f / std::fabs(slope);
    if (!(c < 1.0f))
        return 1.0f;
    const float f = float(j) * c;
    if (f >= 1.0f)
        return 1.0f;
    const float e = f + c;
    float v = f + e;
    if (e > 1.0f)
        v -= (e - 1.0f) * (e - 1.0f) / c;
    return std::clamp(v / 2.0f, 0.0f, 1.0f);
}

bool Finite(PointF p) { return std::isfinite(p.x) && std::isfinite(p.y); }
} // namespace

CFillMngr::CFillMngr(int32_t layerWidth, int32_t layerHeight) : layerW_(layerWidth), layerH_(layerHeight) {}

CFillMngr::~CFillMngr() = default;

void CFillMngr::UseChannel(uint8_t value, float opacity)
{
    channelValue_ = value;
    opacity_ = opacity;
}

bool CFillMngr::ClipBox(float left, float top, float right, float bottom)
{
    boxLeft_ = std::max(left, 0.0f), boxTop_ = std::max(top, 0.0f);
    boxRight_ = std::min(right, float(layerW_)), boxBottom_ = std::min(bottom, float(layerH_));
    valid_ = boxLeft_ < boxRight_ && boxTop_ < boxBottom_;
    if (!valid_)
        return false;
    const int32_t l = int32_t(std::floor(boxLeft_)), t = int32_t(std::floor(boxTop_));
    dirtyRect_ = {l, t, int32_t(std::ceil(boxRight_)) - l, int32_t(std::ceil(boxBottom_)) - t};
    return true;
}

bool CFillMngr::SetRect(PointF c1, PointF c2)
{
    if (!Finite(c1) || !Finite(c2))
        return valid_ = false;
    return ClipBox(float(std::min(c1.x, c2.x)), float(std::min(c1.y, c2.y)), float(std::max(c1.x, c2.x)),
                   float(std::max(c1.y, c2.y)));
}

int32_t CFillMngr::Render(TChannel& target, Point origin)
{
    if (!valid_)
        return 0;
    target_ = &target;
    origin_ = origin;
    spanLeft_ = boxLeft_, spanRight_ = boxRight_;
    const int32_t rows = dirtyRect_.height;
    for (int32_t i = 0; i < rows; ++i) {
        row_ = dirtyRect_.top + i;
        if (i == 0)
            rowCoverage_ = std::floor(boxTop_) + 1.0f - boxTop_;
        else if (i == rows - 1)
            rowCoverage_ = 1.0f - (std::ceil(boxBottom_) - boxBottom_);
        else
            rowCoverage_ = 1.0f;
        WriteSpan();
    }
    return rows;
}

// The right edge's ramp fills from the last entry down over the left's.
float CFillMngr::Ramp(int32_t j, int32_t n) const
{
    const float right = EdgeShare(n - 1 - j, rightSlope_);
    return right < 1.0f ? right : EdgeShare(j, leftSlope_);
}

void CFillMngr::WriteSpan()
{
    if (rowCoverage_ <= 0.0f || row_ < 0 || row_ >= layerH_)
        return;
    const float fa = std::floor(spanLeft_), fb = std::ceil(spanRight_);
    if (fb < 0.0f || fa >= float(layerW_))
        return;
    const int32_t a = int32_t(std::max(fa, -1.0f)), b = int32_t(std::min(fb, float(layerW_) + 1.0f));
    // Entries count from floor(L) even where the span starts off the layer.
    const int64_t n = int64_t(fb) - int64_t(fa) + 1;
    const int64_t skipped = int64_t(std::max(a, 0)) - int64_t(fa);
    const float o = opacity_ * rowCoverage_;
    const int32_t x0 = std::max(a, 0);
    const int32_t count = std::min(layerW_, b) - x0;
    const uint8_t inner = uint8_t(std::clamp(o * 255.0f, 0.0f, 255.0f));
    const int32_t ty = row_ - origin_.y;
    if (ty < 0 || ty >= target_->Height)
        return;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t x = x0 + i;
        const float ramp = Ramp(int32_t(std::min<int64_t>(skipped + i, INT32_MAX)), int32_t(std::min<int64_t>(n, INT32_MAX)));
        float alpha;
        if (i == 0)
            alpha = o * (a < 0 ? 1.0f : float(a) + 1.0f - spanLeft_) * ramp * 255.0f;
        else if (i == count - 1)
            alpha = ramp * o * (fb > float(layerW_) ? 1.0f : 1.0f - (fb - spanRight_)) * 255.0f;
        else
            alpha = ramp * float(inner);
        const int32_t tx = x - origin_.x;
        if (tx < 0 || tx >= target_->Width)
            continue;
        uint8_t* byte = target_->PixelPtr(tx, ty);
        *byte = std::max(*byte, MulTable[channelValue_][uint8_t(std::clamp(alpha, 0.0f, 255.0f))]);
    }
}

} // namespace morvane
