#pragma once

#include <cstdint>

// The weather the simulated instruments measure: a deterministic function of the
// instrument's serial number and the time, so that data caught up later equals data that
// would have been recorded live. Speeds in m/s at three heights, direction in degrees.
namespace varno::sim {

struct WindStatistics {
    double mean[3], sigma[3], max[3], min[3];
    double direction; // mean direction, degrees 0 .. 360
};

// Statistics of the interval start .. start + period.
WindStatistics windStatistics(uint32_t seed, int64_t start, int32_t period);

// Readings at one instant: [0..2] wind speed at the three heights, [3] direction,
// [4] air temperature (deg C), [5] relative humidity (%).
void windSample(uint32_t seed, int64_t t, double out[6]);

// A uniform number in [-1, 1] from the seed, a time and a channel.
double noise(uint32_t seed, int64_t t, int channel);

} // namespace varno::sim
