#include "paint/CPolygonFiller.h"

#include <algorithm>
#include <cmath>

namespace morvane {

CPolygonFiller::CPolygonFiller(int32_t layerWidth, int32_t layerHeight) : CFillMngr(layerWidth, layerHeight) {}

bool CPolygonFiller::SetPolygon(const PointF* points, int32_t count)
{
    valid_ = false;
    if (count < 3)
        return false;
    for (int32_t i = 0; i < count; ++i)
        if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y))
            return false;
    vertices_.assign(points, points + count);
    double left = std::min(points[0].x, points[1].x), right = std::max(points[0].x, points[1].x);
    double top = std::min(points[0].y, points[1].y), bottom = std::max(points[0].y, points[1].y);
    for (int32_t i = 2; i < count; ++i) {
        const PointF& p = points[i];
        if (p.x < left)
            left = p.x;
        else if (p.x >= right)
            right = p.x + 1;
        if (p.y < top)
            top = p.y;
        else if (p.y >= bottom)
            bottom = p.y + 1;
    }
    return ClipBox(float(left), float(top), float(right), float(bottom));
}

// The edge keyed k joins vertex k and the next one; x is taken at the
// centre of row r.
void CPolygonFiller::AddEdge(int32_t key, int32_t r)
{
    const int32_t n = int32_t(vertices_.size());
    const PointF& a = vertices_[size_t(key)];
    const PointF& b = vertices_[size_t((key + 1) % n)];
    const PointF& p = b.y > a.y ? b : a;
    const PointF& q = b.y > a.y ? a : b;
    const double slope = (p.x - q.x) / (p.y - q.y);
    active_.push_back({float((r + 0.5 - q.y) * slope + q.x), float(slope), key});
}

int32_t CPolygonFiller::Render(TChannel& target, Point origin)
{
    if (!valid_)
        return 0;
    target_ = &target;
    origin_ = origin;
    const int32_t n = int32_t(vertices_.size());
    sorted_.resize(size_t(n));
    for (int32_t i = 0; i < n; ++i)
        sorted_[size_t(i)] = i;
    std::stable_sort(sorted_.begin(), sorted_.end(),
                     [&](int32_t a, int32_t b) { return vertices_[size_t(a)].y < vertices_[size_t(b)].y; });
    const double minY = vertices_[size_t(sorted_.front())].y, maxY = vertices_[size_t(sorted_.back())].y;
    const int32_t r0 = int32_t(std::max(0.0, std::ceil(minY - 0.5)));
    const int32_t r1 = int32_t(std::min(double(layerH_), std::floor(maxY - 0.5)));
    active_.clear();
    int32_t j = 0, rows = 0;
    for (int32_t r = r0; r <= r1; ++r, ++rows) {
        for (; j < n && vertices_[size_t(sorted_[size_t(j)])].y <= r + 0.5; ++j) {
            const int32_t e = sorted_[size_t(j)];
            const int32_t prev = e == 0 ? n - 1 : e - 1, next = e == n - 1 ? 0 : e + 1;
            for (const auto [key, other] : {std::pair{prev, prev}, std::pair{e, next}}) {
                const double y = vertices_[size_t(other)].y;
                if (y <= r - 0.5)
                    std::erase_if(active_, [key](const Edge& edge) { return edge.key == key; });
                else if (y > r + 0.5)
                    AddEdge(key, r);
            }
        }
        if (active_.empty())
            continue;
        std::stable_sort(active_.begin(), active_.end(), [](const Edge& a, const Edge& b) { return a.x < b.x; });
        for (size_t k = 0; k + 1 < active_.size(); k += 2) {
            spanLeft_ = active_[k].x, leftSlope_ = active_[k].slope;
            spanRight_ = active_[k + 1].x, rightSlope_ = active_[k + 1].slope;
            rowCoverage_ = 1.0f;
            row_ = r;
            if (spanLeft_ < spanRight_)
                WriteSpan();
        }
        for (Edge& edge : active_)
            edge.x += edge.slope;
    }
    return rows;
}

} // namespace morvane
