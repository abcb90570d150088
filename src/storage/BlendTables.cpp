#include "storage/BlendTables.h"

namespace morvane {

namespace {
constexpr ByteTable BuildMul()
{
    ByteTable t{};
    for (int i = 0; i < 256; ++i)
        for (int j = 0; j < 256; ++j)
            t.v[i][j] = static_cast<uint8_t>(i * j / 255);
    return t;
}

constexpr ByteTable BuildTint()
{
    ByteTable t{};
    for (int a = 0; a < 256; ++a)
        for (int c = 0; c < 256; ++c)
            t.v[a][c] = static_cast<uint8_t>(255 - a * (255 - c) / 255);
    return t;
}

constexpr ByteTable BuildDelta()
{
    // Values reach +-254, beyond a signed byte: kept modulo 256 and added modulo 256.
    ByteTable t{};
    for (int a = 0; a < 256; ++a)
        for (int k = 0; k < 256; ++k) {
            int signedK = k < 128 ? k : k - 256;
            t.v[a][k] = static_cast<uint8_t>(a * signedK * 2 / 255);
        }
    return t;
}
} // namespace

constinit const ByteTable MulTable = BuildMul();
constinit const ByteTable TintTable = BuildTint();
constinit const ByteTable DeltaTable = BuildDelta();

} // namespace morvane
