#include <quorvalin/sim/WindModel.h>

#include <algorithm>
#include <cmath>

namespace varno::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kHeightFactor[3] = {1.0, 0.94, 0.78}; // 40 m, 30 m, 10 m

double phase(uint32_t seed, int k)
{
    return (noise(seed, 0, 100 + k) + 1.0) * kPi;
}

// Smooth weather: daily cycle plus slower weather systems.
double baseSpeed(uint32_t seed, double t)
{
    const double day = 86400.0;
    double v = 6.5 + 1.8 * std::sin(2 * kPi * t / day + phase(seed, 0))
        + 2.6 * std::sin(2 * kPi * t / (5.3 * day) + phase(seed, 1))
        + 1.4 * std::sin(2 * kPi * t / (1.7 * day) + phase(seed, 2))
        + 0.6 * std::sin(2 * kPi * t / (0.37 * day) + phase(seed, 3));
    return std::max(0.4, v);
}

double baseDirection(uint32_t seed, double t)
{
    const double day = 86400.0;
    double d = 240.0 + 50.0 * std::sin(2 * kPi * t / (4.1 * day) + phase(seed, 4))
        + 25.0 * std::sin(2 * kPi * t / (0.9 * day) + phase(seed, 5));
    d = std::fmod(d, 360.0);
    return d < 0 ? d + 360.0 : d;
}

} // namespace

double noise(uint32_t seed, int64_t t, int channel)
{
    uint64_t x = (uint64_t(seed) << 32) ^ uint64_t(t) * 0x9E3779B97F4A7C15ull ^ uint64_t(channel + 1) * 0xBF58476D1CE4E5B9ull;
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 31;
    return double(x >> 11) / double(1ull << 52) - 1.0;
}

WindStatistics windStatistics(uint32_t seed, int64_t start, int32_t period)
{
    WindStatistics s{};
    const double mid = double(start) + period / 2.0;
    const double base = baseSpeed(seed, mid);
    // Longer intervals see more of the weather's variation.
    const double spread = std::min(1.0, std::sqrt(std::max(1, period) / 600.0));
    for (int ch = 0; ch < 3; ++ch) {
        const double mean = std::max(0.1, base * kHeightFactor[ch] * (1.0 + 0.06 * noise(seed, start, ch)));
        const double sigma = (0.10 + 0.03 * noise(seed, start, 10 + ch)) * mean + 0.15;
        const double gust = std::max(0.0, 2.4 + 0.5 * noise(seed, start, 20 + ch)) * sigma * (0.5 + 0.5 * spread);
        s.mean[ch] = mean;
        s.sigma[ch] = sigma;
        s.max[ch] = mean + gust + 0.2;
        s.min[ch] = std::max(0.0, mean - 0.8 * gust - 0.1);
    }
    double d = baseDirection(seed, mid) + 8.0 * noise(seed, start, 30);
    d = std::fmod(d + 360.0, 360.0);
    s.direction = d;
    return s;
}

void windSample(uint32_t seed, int64_t t, double out[6])
{
    const double base = baseSpeed(seed, double(t));
    for (int ch = 0; ch < 3; ++ch) {
        const double mean = base * kHeightFactor[ch];
        out[ch] = std::max(0.0, mean + (0.12 * mean + 0.15) * 1.6 * noise(seed, t, 40 + ch));
    }
    out[3] = std::fmod(baseDirection(seed, double(t)) + 15.0 * noise(seed, t, 43) + 360.0, 360.0);
    const double day = 86400.0;
    out[4] = 9.0 + 6.0 * std::sin(2 * kPi * (double(t) / day - 0.375)) + 0.3 * noise(seed, t, 44);
    out[5] = std::clamp(72.0 - 15.0 * std::sin(2 * kPi * (double(t) / day - 0.375)) + 2.0 * noise(seed, t, 45), 5.0, 100.0);
}

} // namespace varno::sim
