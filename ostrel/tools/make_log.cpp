// Writes a data log like an instrument's: identification and header lines, a statistics
// record of three wind channels and a direction every period, a time line and a battery
// marker every day, a signature every week. Used for demos and benchmarks.
//
//   ostrel-make-log [--days N | --megabytes M] [--period S] [--start YYYY-MM-DD] out.vrn

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include <ostrel/RecordWriter.h>
#include <ostrel/UtcTime.h>

namespace {

using varno::ostrel::records::Writer;

void usage()
{
    std::fprintf(stderr, "usage: ostrel-make-log [--days N | --megabytes M] [--period S] [--start YYYY-MM-DD] out.vrn\n");
    std::exit(2);
}

uint8_t clampByte(double v)
{
    return uint8_t(std::lround(std::fmin(255.0, std::fmax(0.0, v))));
}

} // namespace

int main(int argc, char** argv)
{
    double days = 30, megabytes = 0;
    int period = 600, year = 2006, month = 8, day = 1;
    std::string out;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        const bool hasValue = k + 1 < argc;
        if (arg == "--days" && hasValue)
            days = std::atof(argv[++k]);
        else if (arg == "--megabytes" && hasValue)
            megabytes = std::atof(argv[++k]);
        else if (arg == "--period" && hasValue)
            period = std::atoi(argv[++k]);
        else if (arg == "--start" && hasValue && std::sscanf(argv[++k], "%d-%d-%d", &year, &month, &day) == 3)
            ;
        else if (arg[0] != '-' && out.empty())
            out = arg;
        else
            usage();
    }
    if (out.empty() || period < 1)
        usage();

    Writer w;
    const CUtcTime start(year, month, day, 0, 0, 0);
    char line[200];
    w.text("# varno 305 version 3.20 tarnvik orbelmetrik nr 1234");
    w.text("# \"Demo Station North\"");
    std::snprintf(line, sizeof line, "# %02d.%02d.%04d 00:00:00", day, month, year);
    w.text(line);
    std::snprintf(line, sizeof line, "# set stat period %d", period);
    w.text(line);
    w.text("# stat format = mean sigma max min");

    std::mt19937 random(20060801);
    std::normal_distribution<double> noise(0, 1);
    const size_t limitBytes = size_t(megabytes * 1e6);
    const int perDay = 86400 / period;
    double wind = 6, direction = 180;
    for (long n = 1;; ++n) {
        if (limitBytes ? w.bytes().size() >= limitBytes : n > long(days * perDay))
            break;
        wind = std::fmax(0.3, wind + 0.4 * noise(random) + 0.02 * (6 - wind));
        direction = std::fmod(direction + 8 * noise(random) + 360, 360);
        Writer::Channel channels[3];
        for (int c = 0; c < 3; ++c) {
            const double mean = wind * (0.8 + 0.1 * c); // higher sensors see more wind
            const double sigma = 0.15 * mean;
            channels[c].a = clampByte(mean * 10);
            channels[c].b = clampByte(sigma * 10);
            channels[c].c = uint16_t(std::lround((mean + 2.5 * sigma) * 10));
            channels[c].d = clampByte((mean - 2 * sigma) * 10);
        }
        w.statistics(0xFF, channels, uint8_t(std::lround(direction / 1.5)) % 240);
        if (n % perDay == 0) {
            const CUtcTime t = start + CUtcTimeSpan(int32_t(n * period));
            std::snprintf(line, sizeof line, "# %02d.%02d.%04d %02d:%02d:%02d", t.GetDay(), t.GetMonth(), t.GetYear(),
                          t.GetHour(), t.GetMinute(), t.GetSecond());
            w.text(line);
            std::snprintf(line, sizeof line, "# bat %.1f V ext %.1f V", 12.4 + 0.2 * noise(random), 13.1 + 0.3 * noise(random));
            w.text(line);
            if ((n / perDay) % 7 == 0)
                w.signature(uint8_t(n / perDay / 7), t.GetYear(), t.GetMonth(), t.GetDay(), t.GetHour(), t.GetMinute(),
                            t.GetSecond(), uint32_t(0x10000 + w.bytes().size()));
        }
    }

    FILE* file = std::fopen(out.c_str(), "wb");
    if (!file || std::fwrite(w.bytes().data(), 1, w.bytes().size(), file) != w.bytes().size() || std::fclose(file) != 0) {
        std::fprintf(stderr, "ostrel-make-log: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
