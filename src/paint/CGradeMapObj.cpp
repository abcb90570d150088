#include "paint/CGradeMapObj.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "storage/FixedPoint.h"
#include "storage/PortableMath.h"

namespace morvane {

namespace {
uint64_t g_generation = 0; // process-wide, so two tables never share a stamp
} // namespace

float AirMapProfile(int curve, float x)
{
    switch (curve) {
    case 0:
        return std::sqrt(std::max(1.0f - x * x, 0.0f));
    case 1:
        return 1.0f - x * x;
    case 2:
        return 2.0f * x * x * x - 3.0f * x * x + 1.0f;
    case 4: {
        // k = ln 0.3 / ln 0.5 in float, so p(0.5) = 0.3.
        constexpr float k = 0x1.bca9c8p+0f;
        return PowUnit(std::max(1.0f - x, 0.0f), k);
    }
    case 5: {
        const float y = 1.0f - x;
        return 1.0f - std::sqrt(std::max(1.0f - y * y, 0.0f));
    }
    default:
        return 1.0f - x;
    }
}

CGradeMapObj::CGradeMapObj(int32_t n)
{
    n = std::clamp(n, 2, 65536);
    try {
        lut.resize(size_t(n));
        lutRoot.resize(size_t(n));
    } catch (const std::bad_alloc&) {
        lut.clear();
        lutRoot.clear();
        return;
    }
    lastIndex = n - 1;
    Build();
}

bool CGradeMapObj::SetAirMap(const AirMapRecord& airMap)
{
    if (airMap.curve == airMap_.curve && airMap.flat == airMap_.flat && airMap.add == airMap_.add)
        return false;
    airMap_ = airMap;
    Build();
    return true;
}

void CGradeMapObj::Build()
{
    generation_ = ++g_generation;
    if (!IsValid())
        return;
    const int curve = airMap_.curve;
    const float d = float(std::clamp(airMap_.flat, 0, 1000)) / 1000.0f;
    const float h = float(std::clamp(airMap_.add, 0, 1000)) / 1000.0f;
    for (int32_t i = 0; i <= lastIndex; ++i) {
        float e = float(i) / float(lastIndex) - d;
        float g = 1.0f, f = 1.0f;
        if (e > 0.0f) { // d < 1 here, so the division is sound
            e = e / (1.0f - d);
            g = AirMapProfile(curve, e);
            f = AirMapProfile(curve, std::sqrt(e));
        }
        lut[size_t(i)] = truncSat((h + g * (1.0f - h)) * 65536.0f * 255.0f);
        lutRoot[size_t(i)] = truncSat((h + f * (1.0f - h)) * 65536.0f * 255.0f);
    }
}

} // namespace morvane
