#pragma once
// Records of the neighbourhood filters for tests, and one run of every
// routine and mode.
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "FilterFixture.h"
#include "filters/RecordBytes.h"

namespace morvane::testing_filters {

// Motion blur: distance, mode, angle (int16, or the float of mode 0).
inline std::vector<uint8_t> Motion(uint8_t distance, uint8_t mode, int16_t angle)
{
    std::vector<uint8_t> r(8, 0);
    r[0] = distance, r[1] = mode;
    if (mode == 0)
        PutRecordF32(r, 4, float(angle));
    else
        r[2] = uint8_t(angle), r[3] = uint8_t(uint16_t(angle) >> 8);
    return r;
}

inline std::vector<uint8_t> Zoom(uint8_t amount, int16_t x, int16_t y)
{
    std::vector<uint8_t> r = RecordOf(66, {{0, amount}, {1, x}, {2, y}});
    return r;
}

inline std::vector<uint8_t> Custom55(std::initializer_list<int32_t> weights, int32_t divisor, int32_t offset)
{
    std::vector<uint8_t> r(108, 0);
    size_t i = 0;
    for (int32_t w : weights)
        PutRecordU32(r, 4 * i++, uint32_t(w));
    PutRecordU32(r, 100, uint32_t(divisor));
    PutRecordU32(r, 104, uint32_t(offset));
    return r;
}

inline std::vector<uint8_t> Diffuse(int32_t range, int32_t mode, bool radial, uint32_t seed)
{
    std::vector<uint8_t> r = RecordOf(59, {{0, range}, {1, mode}, {2, radial ? 1 : 0}});
    PutRecordU32(r, 8, seed);
    return r;
}

inline std::vector<uint8_t> Noise(int32_t amount, bool grey, uint32_t seed)
{
    std::vector<uint8_t> r = RecordOf(25, {{0, amount}, {1, grey ? 1 : 0}});
    PutRecordU32(r, 8, seed);
    return r;
}

struct NamedRun {
    const char* what;
    uint8_t code;
    std::vector<uint8_t> record;
};

// One record of every code and mode, with parameters that reach past the
// small layer's blocks.
inline std::vector<NamedRun> EveryRoutine()
{
    return {
        {"earlier blur", 0, {}},
        {"earlier strong blur", 1, {}},
        {"motion mode 0", 4, Motion(9, 0, 30)},
        {"motion mode 1", 4, Motion(9, 1, 30)},
        {"motion mode 2", 4, Motion(9, 2, -120)},
        {"sharpen", 12, {}},
        {"strong sharpen", 13, {}},
        {"custom sharpen", 14, RecordOf(14, {{0, 0.5}})},
        {"noise colour", 25, Noise(40, false, 1234)},
        {"noise grey", 25, Noise(40, true, 99)},
        {"mosaic", 26, RecordOf(26, {{0, 5}})},
        {"emboss", 50, RecordOf(50, {{0, 45}, {1, 3.5}, {2, 150}})},
        {"custom 5x5", 51, Custom55({1, 0, 2, 0, 1, 0, -1, 0, -1, 0, 2, 0, 4, 0, 2, 0, -1, 0, -1, 0, 1, 0, 2, 0, 1}, 8, 3)},
        {"find edges", 53, {}},
        {"diffuse plain", 59, Diffuse(4, 1, false, 77)},
        {"diffuse radial", 59, Diffuse(6, 0, true, 78)},
        {"blur", 64, {}},
        {"strong blur", 65, {}},
        {"zoom", 66, Zoom(20, 5, -3)},
        {"gaussian", 67, RecordOf(67, {{0, 2.0}})},
    };
}

} // namespace morvane::testing_filters
