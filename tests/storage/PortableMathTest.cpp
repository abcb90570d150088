// The project's own powers, logarithms and angles: exact results pinned, so
// a change to them (which would change replayed pixels) cannot pass
// unnoticed, and their accuracy against the C library over a grid.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "storage/PortableMath.h"

namespace morvane {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Distance in units in the last place between two finite doubles of one sign.
int64_t UlpsApart(double a, double b)
{
    int64_t x, y;
    std::memcpy(&x, &a, 8);
    std::memcpy(&y, &b, 8);
    return x > y ? x - y : y - x;
}

TEST(PortableMath, FloatPowersArePinned)
{
    struct Case {
        float x, y, expected;
    };
    const Case cases[] = {
        {0x1p-1f, 0x1p+1f, 0x1p-2f},                             // gamma 2: 0.5 counts as 0.25
        {0x1p-1f, 0x1p-1f, 0x1.6a09e6p-1f},                      // square root of a half
        {0x1.333334p-2f, 0x1.bca9c8p+0f, 0x1.f9fc22p-4f},        // the air map curve at 0.3
        {0x1.8p-1f, 0x1.47ae14p-7f, 0x1.fe8778p-1f},             // gamma 0.01
        {0x1.0624dep-10f, 0x1.8p+2f, 0x1.2725e2p-60f},           // gamma 6 of a faint touch
        {0x1.ccccccp-1f, 0x1.19999ap+1f, 0x1.961288p-1f},
        {0x1.99999ap-3f, 0x1.ccccccp-2f, 0x1.f0526ap-2f},
        {0x1.0cp-6f, 0x1p+2f, 0x1.337b52p-24f},                  // an exact tie; the C library gives ...50
        {0x1.cp-8f, 0x1.828f5cp+1f, 0x1.3672eap-22f},            // where the C library is one off
        {0x1.7p-3f, 0x1p+1f, 0x1.088p-5f},                       // a square is the product
        {0.37f, 1.0f, 0.37f},                                    // gamma 1 leaves the pressure
        {0.0f, 2.5f, 0.0f},
        {-0.5f, 2.0f, 0.0f},
        {std::nanf(""), 2.0f, 0.0f},
        {1.0f, 3.0f, 1.0f},
        {1.5f, 3.0f, 1.0f},
        {0.25f, 0.0f, 1.0f},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PowUnit(c.x, c.y), c.expected) << std::hexfloat << c.x << " ^ " << c.y;
}

TEST(PortableMath, DoublePowersLogarithmsAndExponentialsArePinned)
{
    // The burn curve i / 2047 ^ 1.2 and the dodge curve ^ 1 / 1.2.
    EXPECT_EQ(PowUnit(0x1.00200400801p-11, 0x1.3333333333333p+0), 0x1.bdfbb298d50bap-14);
    EXPECT_EQ(PowUnit(0x1.f43e87d0fa1f4p-2, 0x1.3333333333333p+0), 0x1.b17831310c7d7p-2);
    EXPECT_EQ(PowUnit(0x1.ffbff7feffep-1, 0x1.aaaaaaaaaaaabp-1), 0x1.ffcaa370c72aap-1);
    EXPECT_EQ(PowUnit(0x1p-1, 0x1.aaaaaaaaaaaabp-1), 0x1.1f59ac3c7d6cp-1);

    const std::pair<double, double> logs[] = {
        {0x1.3333333333333p-2, -0x1.34378fcbda721p+0}, {0x1p-1, -0x1.62e42fefa39efp-1},
        {0x1p+1, 0x1.62e42fefa39efp-1},                 {0x1.4p+3, 0x1.26bb1bbb55516p+1},
        {0x1.56e1fc2f8f359p-997, -0x1.5963447f87fb5p+9}, {1.0, 0.0},
        {0.0, -kInf},                                   {kInf, kInf},
    };
    for (const auto& [x, expected] : logs)
        EXPECT_EQ(PortableLog(x), expected) << std::hexfloat << x;
    EXPECT_TRUE(std::isnan(PortableLog(-1.0)));
    EXPECT_TRUE(std::isnan(PortableLog(kNaN)));

    const std::pair<double, double> exps[] = {
        {-0x1p+0, 0x1.78b56362cef38p-2}, {0x1p-1, 0x1.a61298e1e069cp+0}, {-0x1.4p+4, 0x1.1b48655f37267p-29},
        {0x1.9p+6, 0x1.3494a9b171bf5p+144}, {0.0, 1.0}, {-800.0, 0.0}, {800.0, kInf},
    };
    for (const auto& [x, expected] : exps)
        EXPECT_EQ(PortableExp(x), expected) << std::hexfloat << x;
}

TEST(PortableMath, AnglesArePinnedAndQuadrantsExact)
{
    struct Case {
        double degrees, sine, cosine;
    };
    const Case cases[] = {
        {0, 0, 1},
        {1, 0x1.1df0b2b89dd1ep-6, 0x1.ffec097f5af8ap-1},
        {12.5, 0x1.bb44b13b62571p-3, 0x1.f3dd11fb974b6p-1},
        {30, 0x1.fffffffffffffp-2, 0x1.bb67ae8584cabp-1},
        {45, 0x1.6a09e667f3bcdp-1, 0x1.6a09e667f3bccp-1},
        {60, 0x1.bb67ae8584cabp-1, 0x1.fffffffffffffp-2},
        {89, 0x1.ffec097f5af8ap-1, 0x1.1df0b2b89dd1ep-6},
        {90, 1, 0},
        {135, 0x1.6a09e667f3bccp-1, -0x1.6a09e667f3bcdp-1},
        {180, 0, -1},
        {181, -0x1.1df0b2b89dd1ep-6, -0x1.ffec097f5af8ap-1},
        {270, -1, 0},
        {300, -0x1.bb67ae8584cabp-1, 0x1.fffffffffffffp-2},
        {359, -0x1.1df0b2b89dd1ep-6, 0x1.ffec097f5af8ap-1},
        {-30, -0x1.fffffffffffffp-2, 0x1.bb67ae8584cabp-1},
        {-90, -1, 0},
        {720, 0, 1},
        {1000, -0x1.f838b8c811c17p-1, 0x1.63a1a7e0b738ap-3},
    };
    for (const Case& c : cases) {
        const SinCos got = SinCosDegrees(c.degrees);
        EXPECT_EQ(got.sine, c.sine) << c.degrees;
        EXPECT_EQ(got.cosine, c.cosine) << c.degrees;
        // No negative zeros: a sign of an exact zero must not reach a rounding.
        EXPECT_FALSE(got.sine == 0 && std::signbit(got.sine)) << c.degrees;
        EXPECT_FALSE(got.cosine == 0 && std::signbit(got.cosine)) << c.degrees;
    }
    EXPECT_TRUE(std::isnan(SinCosDegrees(kInf).sine));
    EXPECT_TRUE(std::isnan(SinCosDegrees(kNaN).cosine));
}

// Not bit for bit (the library's variants differ among themselves), but as
// near as a double allows: within 1 unit of a float and a few of a double.
TEST(PortableMath, AgreesWithTheCLibraryToItsLastBits)
{
    for (int i = 0; i <= 1024; ++i)
        for (int g = 1; g <= 600; g += 13) {
            const float x = float(i) / 1024.0f, y = float(g) / 100.0f;
            const float ours = PowUnit(x, y), theirs = std::pow(x, y);
            ASSERT_LE(std::fabs(ours - theirs), std::nextafter(theirs, 2.0f) - theirs) << x << " ^ " << y;
        }
    for (int i = 1; i <= 4000; ++i) {
        const double x = i / 397.0;
        ASSERT_LE(UlpsApart(PortableLog(x), std::log(x)), 4) << x;
        ASSERT_LE(UlpsApart(PortableExp(-x), std::exp(-x)), 2) << x;
    }
    // Away from the zeros, where an angle's rounding to radians dominates the
    // library's result; degrees with a fraction too.
    for (int i = -3600; i <= 3600; ++i) {
        const double degrees = i * 0.1, radians = degrees * (M_PI / 180);
        const SinCos ours = SinCosDegrees(degrees);
        if (std::fabs(std::sin(radians)) > 0.1) {
            ASSERT_NEAR(ours.sine, std::sin(radians), 1e-15) << degrees;
        }
        if (std::fabs(std::cos(radians)) > 0.1) {
            ASSERT_NEAR(ours.cosine, std::cos(radians), 1e-15) << degrees;
        }
    }
}

} // namespace
} // namespace morvane
