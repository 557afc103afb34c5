#pragma once

#include <ostrel/RecordWriter.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

namespace varno::testing {

// The bytes of a data log as a wind station writes it: identification and header lines,
// the clock, the statistics format, then `intervals` ten-minute statistics rows with a
// battery marker line every `markerEvery` rows. seed varies the readings; corruptAt puts
// three stray bytes before that row, as a damaged transfer leaves them.
inline std::vector<uint8_t> SampleLog(const std::string& title, int day, int intervals,
                                      int markerEvery = 36, int seed = 0,
                                      int corruptAt = -1)
{
    using namespace ostrel::records;
    const uint8_t kStatistics = StatChannel1 | StatChannel2 | StatChannel3 | StatDirection
                              | StatA | StatB | StatD;
    Writer w;
    w.filler(8);
    w.text("# Varno 301 Version 2.5 Tarnvik Orbelmetrik nr 4711");
    w.text("# header \"" + title + "\"");
    char clock[40];
    std::snprintf(clock, sizeof clock, "# %02d.08.2006 00:00:00", day);
    w.text(clock);
    w.text("# meas stat 600");
    w.text("stat format = mean max min");
    for (int i = 0; i < intervals; ++i) {
        if (i == corruptAt)
            w.raw({0xFF, 0xFF, 0xFF});
        // Mean, maximum and minimum of three wind channels in tenths, and the direction.
        const double phase = (i + seed * 7) / 9.0;
        Writer::Channel channels[3];
        for (int ch = 0; ch < 3; ++ch) {
            const double mean = 6.0 + 3.0 * std::sin(phase + ch) + ch;
            channels[ch].a = uint8_t(std::lround(mean * 10));
            channels[ch].b = uint8_t(std::lround((mean + 2.5) * 10));
            channels[ch].d = uint8_t(std::lround(std::max(0.0, mean - 2.0) * 10));
        }
        const uint8_t direction = uint8_t(((200 + i * 3 + seed * 40) % 360) / 1.5);
        w.statistics(kStatistics, channels, direction);
        if (markerEvery > 0 && i % markerEvery == markerEvery - 1) {
            char marker[40];
            std::snprintf(marker, sizeof marker, "# bat %.1f V ext %.1f V", 12.6 - 0.01 * i, 13.8);
            w.text(marker);
        }
    }
    return std::move(w.bytes());
}

} // namespace varno::testing
