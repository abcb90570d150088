#include "view/CViewState.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "storage/FixedPoint.h"

namespace morvane {

namespace {
// A window side; larger sizes cannot come from a real screen.
constexpr int32_t kMaxClient = 16384;
constexpr int32_t kMaxDocument = 1 << 20;
// Ratios are kept small enough that the renderer's exact integer mapping
// cannot overflow; finer ratios are approximated in 1/4096 steps.
constexpr int32_t kMaxRatioTerm = 1 << 16;
constexpr int32_t kValueDenominator = 4096;

// Nearest integer with halves upward, for positions of either sign.
int32_t Nearest(double v)
{
    return truncSat(std::floor(v + 0.5));
}

bool Finite(DocPoint p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

double StepValue(ScaleRatio r)
{
    return double(r.num) / r.den;
}
} // namespace

bool CViewState::SetScale(int32_t num, int32_t den)
{
    if (num < 1 || den < 1)
        return false;
    const int32_t g = std::gcd(num, den);
    num /= g;
    den /= g;
    if (int64_t(num) > 16 * int64_t(den))
        scale_ = {16, 1};
    else if (16 * int64_t(num) < den)
        scale_ = {1, 16};
    else if (num > kMaxRatioTerm || den > kMaxRatioTerm)
        return SetScaleValue(double(num) / den);
    else
        scale_ = {num, den};
    KeepAnchorRule();
    return true;
}

bool CViewState::SetScaleValue(double value)
{
    if (!std::isfinite(value) || value <= 0.0)
        return false;
    value = std::clamp(value, 1.0 / 16.0, 16.0);
    return SetScale(std::max(1, Nearest(value * kValueDenominator)), kValueDenominator);
}

ScaleRatio CViewState::StepIn() const
{
    const double current = ScaleValue() * 10000.0;
    for (ScaleRatio step : kScaleSteps)
        if (std::floor(StepValue(step) * 10000.0) > current)
            return step;
    return kScaleSteps.back();
}

ScaleRatio CViewState::StepOut() const
{
    const double current = ScaleValue() * 10000.0;
    for (auto it = kScaleSteps.rbegin(); it != kScaleSteps.rend(); ++it)
        if (std::ceil(StepValue(*it) * 10000.0) < current)
            return *it;
    return kScaleSteps.front();
}

bool CViewState::ZoomAt(ScaleRatio to, DocPoint at)
{
    if (!Finite(at))
        return false;
    const DocPoint doc = WindowToDocument(at);
    if (!SetScale(to.num, to.den))
        return false;
    if (rotated_)
        PlaceRotated(doc, at);
    else
        PlaceUnrotated(doc, at);
    return true;
}

void CViewState::Fit()
{
    // The rotated document's bounding box at scale 1.
    const double c = std::abs(cos_), s = std::abs(sin_);
    const double boxW = c * docW_ + s * docH_, boxH = s * docW_ + c * docH_;
    ScaleRatio chosen = kScaleSteps.front();
    for (auto it = kScaleSteps.rbegin(); it != kScaleSteps.rend(); ++it) {
        const double v = StepValue(*it);
        if (boxW * v <= clientW_ && boxH * v <= clientH_) {
            chosen = *it;
            break;
        }
    }
    scale_ = chosen;
    const DocPoint docCentre{(docW_ - 1) / 2.0, (docH_ - 1) / 2.0};
    const DocPoint winCentre{(clientW_ - 1) / 2.0, (clientH_ - 1) / 2.0};
    if (rotated_)
        PlaceRotated(docCentre, winCentre);
    else
        PlaceUnrotated(docCentre, winCentre);
}

bool CViewState::SetRotation(double degrees)
{
    if (!std::isfinite(degrees))
        return false;
    double a = std::fmod(degrees, 360.0);
    if (a < 0.0)
        a += 360.0;
    const DocPoint winCentre{double(clientW_ / 2), double(clientH_ / 2)};
    if (a == 0.0 || a == 360.0) {
        if (rotated_) {
            const DocPoint centre = centre_;
            rotated_ = false;
            angle_ = 0.0, sin_ = 0.0, cos_ = 1.0;
            PlaceUnrotated(centre, winCentre);
        }
        return true;
    }
    if (!rotated_)
        centre_ = WindowToDocument(winCentre);
    rotated_ = true;
    angle_ = a;
    // Quarter turns exactly, so they map pixels onto pixels.
    if (std::fmod(a, 90.0) == 0.0) {
        const int quarter = int(a / 90.0);
        sin_ = quarter == 1 ? 1.0 : quarter == 3 ? -1.0 : 0.0;
        cos_ = quarter == 2 ? -1.0 : 0.0;
    } else {
        const double r = a * (3.14159265358979323846 / 180.0);
        sin_ = std::sin(r);
        cos_ = std::cos(r);
    }
    return true;
}

bool CViewState::SetRotationCentre(DocPoint centre)
{
    if (!Finite(centre))
        return false;
    centre_ = centre;
    return true;
}

void CViewState::SetClient(int32_t width, int32_t height)
{
    clientW_ = std::clamp(width, 0, kMaxClient);
    clientH_ = std::clamp(height, 0, kMaxClient);
    KeepAnchorRule();
}

void CViewState::SetDocument(int32_t width, int32_t height)
{
    docW_ = std::clamp(width, 0, kMaxDocument);
    docH_ = std::clamp(height, 0, kMaxDocument);
    KeepAnchorRule();
}

void CViewState::SetAnchors(Point window, Point document)
{
    winAnchor_ = window;
    docAnchor_ = document;
    KeepAnchorRule();
}

DocPoint CViewState::WindowToDocument(DocPoint w) const
{
    const double s = ScaleValue();
    if (rotated_) {
        const double d = (w.x - clientW_ / 2) / s, e = (w.y - clientH_ / 2) / s;
        return {centre_.x + cos_ * d - sin_ * e, centre_.y + sin_ * d + cos_ * e};
    }
    return {(w.x - winAnchor_.x + 0.5) / s + docAnchor_.x - 0.5, (w.y - winAnchor_.y + 0.5) / s + docAnchor_.y - 0.5};
}

DocPoint CViewState::DocumentToWindow(DocPoint p) const
{
    const double s = ScaleValue();
    if (rotated_) {
        const double dx = p.x - centre_.x, dy = p.y - centre_.y;
        return {s * (cos_ * dx + sin_ * dy) + clientW_ / 2, s * (cos_ * dy - sin_ * dx) + clientH_ / 2};
    }
    // The exact inverse of WindowToDocument, pixel centres onto pixel centres.
    return {s * (p.x - docAnchor_.x + 0.5) + winAnchor_.x - 0.5, s * (p.y - docAnchor_.y + 0.5) + winAnchor_.y - 0.5};
}

Point CViewState::WindowCentrePoint() const
{
    const DocPoint p = WindowToDocument({double(clientW_ / 2), double(clientH_ / 2)});
    return {Nearest(p.x), Nearest(p.y)};
}

EdgeRect CViewState::DocumentRectToWindow(const EdgeRect& doc) const
{
    if (doc.IsEmpty())
        return {};
    // Pixel edges lie half a pixel off the centres.
    const double xs[2] = {doc.left - 0.5, doc.right - 0.5}, ys[2] = {doc.top - 0.5, doc.bottom - 0.5};
    double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
    for (double x : xs)
        for (double y : ys) {
            const DocPoint w = DocumentToWindow({x, y});
            minX = std::min(minX, w.x), maxX = std::max(maxX, w.x);
            minY = std::min(minY, w.y), maxY = std::max(maxY, w.y);
        }
    // Floor and ceiling, then one pixel more for the rounding of the samplers.
    const EdgeRect grown{truncSat(std::floor(minX + 0.5)) - 1, truncSat(std::floor(minY + 0.5)) - 1,
                         truncSat(std::ceil(maxX + 0.5)) + 1, truncSat(std::ceil(maxY + 0.5)) + 1};
    EdgeRect out;
    if (!Intersect(grown, {0, 0, clientW_, clientH_}, out))
        return {};
    return out;
}

void CViewState::PlaceUnrotated(DocPoint doc, DocPoint win)
{
    if (!Finite(doc) || !Finite(win))
        return;
    const double s = ScaleValue();
    // The document edge coordinate at the window's left and top edges.
    auto place = [s](double d, double w, int32_t& winAnchor, int32_t& docAnchor) {
        const double u = d + 0.5 - (w + 0.5) / s;
        docAnchor = truncSat(std::floor(u));
        winAnchor = Nearest(-(u - docAnchor) * s);
    };
    place(doc.x, win.x, winAnchor_.x, docAnchor_.x);
    place(doc.y, win.y, winAnchor_.y, docAnchor_.y);
    KeepAnchorRule();
}

void CViewState::PlaceRotated(DocPoint doc, DocPoint win)
{
    if (!Finite(doc) || !Finite(win))
        return;
    const double s = ScaleValue();
    const double d = (win.x - clientW_ / 2) / s, e = (win.y - clientH_ / 2) / s;
    centre_ = {doc.x - (cos_ * d - sin_ * e), doc.y - (sin_ * d + cos_ * e)};
}

void CViewState::KeepAnchorRule()
{
    const double s = ScaleValue();
    auto keep = [s](int32_t docSize, int32_t client, int32_t& winAnchor, int32_t& docAnchor) {
        const double shown = docSize * s;
        if (shown < client) {
            docAnchor = 0;
            winAnchor = Nearest((client - shown) / 2);
        } else if (winAnchor > 0) {
            // The same edge point with the window anchor at or below 0.
            const double u = docAnchor - winAnchor / s;
            docAnchor = truncSat(std::floor(u));
            winAnchor = Nearest(-(u - docAnchor) * s);
        }
    };
    keep(docW_, clientW_, winAnchor_.x, docAnchor_.x);
    keep(docH_, clientH_, winAnchor_.y, docAnchor_.y);
}

} // namespace morvane
