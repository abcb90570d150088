#include "storage/PortableMath.h"

#include <array>
#include <cmath>
#include <limits>

namespace morvane {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// ln 2 in two parts: the high part has its low 32 bits clear, so k x high is
// exact for every exponent k a double has.
constexpr double kLn2High = 6.93147180369123816490e-01;
constexpr double kLn2Low = 1.90821492927058770002e-10;
constexpr double kInvLn2 = 1.44269504088896338700e+00;
constexpr double kSqrtHalf = 0.70710678118654752440;
constexpr double kRadiansPerDegree = 0.017453292519943295769; // pi / 180

// Series coefficients, built by the compiler (its arithmetic is IEEE
// double rounded to nearest, whatever machine runs the program).
template <int N, typename Term> constexpr std::array<double, N> Coefficients(Term term)
{
    std::array<double, N> c{};
    for (int i = 0; i < N; ++i)
        c[size_t(i)] = term(i);
    return c;
}

constexpr double InverseFactorial(int n)
{
    double f = 1;
    for (int i = 2; i <= n; ++i)
        f *= i;
    return 1 / f;
}

// c[0] + z (c[1] + z (c[2] + ...)).
template <size_t N> double Horner(const std::array<double, N>& c, double z)
{
    double sum = c[N - 1];
    for (size_t i = N - 1; i-- > 0;)
        sum = sum * z + c[i];
    return sum;
}

// 1 / (2k + 1): ln m = 2 s sum z^k / (2k + 1) with z = s^2 <= 0.0295.
constexpr auto kLogSeries = Coefficients<12>([](int k) { return 1.0 / (2 * k + 1); });
// r^n / n! to r^17, for |r| <= ln 2 / 2.
constexpr auto kExpSeries = Coefficients<18>([](int n) { return InverseFactorial(n); });
// (-1)^k / (2k + 1)! and (-1)^k / (2k)! in z = r^2, to r^21 and r^22, for |r| <= pi / 4.
constexpr auto kSinSeries = Coefficients<11>([](int k) { return (k & 1 ? -1 : 1) * InverseFactorial(2 * k + 1); });
constexpr auto kCosSeries = Coefficients<12>([](int k) { return (k & 1 ? -1 : 1) * InverseFactorial(2 * k); });

double SinNear0(double r)
{
    return r * Horner(kSinSeries, r * r);
}

double CosNear0(double r)
{
    return Horner(kCosSeries, r * r);
}

} // namespace

double PortableLog(double x)
{
    if (std::isnan(x) || x < 0)
        return kNaN;
    if (x == 0)
        return -kInfinity;
    if (std::isinf(x))
        return x;
    // x = m 2^e with m in [sqrt 1/2, sqrt 2); ln m = 2 atanh s, s = (m - 1) / (m + 1).
    int e = 0;
    double m = std::frexp(x, &e);
    if (m < kSqrtHalf) {
        m *= 2;
        --e;
    }
    const double s = (m - 1) / (m + 1);
    const double lnM = 2 * s * Horner(kLogSeries, s * s);
    return double(e) * kLn2High + (double(e) * kLn2Low + lnM);
}

double PortableExp(double x)
{
    if (std::isnan(x))
        return x;
    if (x > 709.782712893384)
        return kInfinity;
    if (x < -745.1332191019412)
        return 0;
    // x = k ln 2 + r, |r| <= ln 2 / 2.
    const double k = std::floor(x * kInvLn2 + 0.5);
    const double r = (x - k * kLn2High) - k * kLn2Low;
    return std::ldexp(Horner(kExpSeries, r), int(k));
}

double PowUnit(double x, double y)
{
    if (!(x > 0))
        return 0;
    if (x >= 1 || !(y > 0))
        return 1;
    if (y == 1)
        return x;
    if (y == 2) // one rounding, so a square is the product it should be
        return x * x;
    return PortableExp(y * PortableLog(x));
}

float PowUnit(float x, float y)
{
    return float(PowUnit(double(x), double(y)));
}

SinCos SinCosDegrees(double degrees)
{
    if (!std::isfinite(degrees))
        return {kNaN, kNaN};
    double d = std::fmod(degrees, 360.0);
    if (d < 0)
        d += 360;
    // The nearest quadrant; the rest lies within 45 degrees of it and is
    // exact, since d and 90 n lie within a factor of two of each other.
    const int n = int(std::floor(d / 90 + 0.5));
    const double r = (d - 90.0 * n) * kRadiansPerDegree;
    const double s = SinNear0(r), c = CosNear0(r);
    // + 0.0 turns a negated zero into zero.
    switch (n & 3) {
    case 0:
        return {s + 0.0, c + 0.0};
    case 1:
        return {c + 0.0, -s + 0.0};
    case 2:
        return {-s + 0.0, -c + 0.0};
    default:
        return {-c + 0.0, s + 0.0};
    }
}

} // namespace morvane
