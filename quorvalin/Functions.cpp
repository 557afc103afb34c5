// The free functions of the link: magics, ports, and the texts of times and periods.
#include <cctype>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include <quorvalin/Quorvalin.h>
#include <quorvalin/QuorvalinTesting.h>
#include <ostrel/NumberText.h>
#include <quorvalin/sim/Bench.h>
#include <quorvalin/sim/Instrument.h>

bool MagicEqual(uint32_t a, uint32_t b)
{
    return a == b;
}

bool ConnectionAvailable(const std::string& connection)
{
    // The port is the first word: "COM3", or the modem port of "COM1 0123456".
    const size_t begin = connection.find_first_not_of(' ');
    if (begin == std::string::npos)
        return false;
    const size_t end = connection.find(' ', begin);
    const std::string port = connection.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    return varno::sim::portFree(varno::sim::benchFolder(), port);
}

std::string quorvalin_time2string(uint32_t seconds)
{
    int y, mo, d, h, mi, s;
    varno::sim::civil(int64_t(seconds), y, mo, d, h, mi, s);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return buf;
}

std::string quorvalin_seconds2string(int32_t seconds)
{
    char buf[32];
    if (seconds == 0)
        return "OFF";
    if (seconds > 0 && seconds % 3600 == 0)
        std::snprintf(buf, sizeof buf, "%2" PRId32 " h", seconds / 3600);
    else if (seconds >= 60 && seconds % 60 == 0)
        std::snprintf(buf, sizeof buf, "%2" PRId32 " min", seconds / 60);
    else
        std::snprintf(buf, sizeof buf, "%2" PRId32 " s", seconds);
    return buf;
}

int32_t quorvalin_string2seconds(const std::string& text)
{
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < text.size() && std::isspace((unsigned char)text[i]))
            ++i;
    };
    skipBlanks();
    std::string rest = text.substr(i);
    while (!rest.empty() && std::isspace((unsigned char)rest.back()))
        rest.pop_back();
    std::string lower;
    for (char c : rest)
        lower += char(std::tolower((unsigned char)c));
    if (lower == "off")
        return 0;
    if (i >= text.size() || !(std::isdigit((unsigned char)text[i]) || text[i] == '.'))
        return 0;
    double number = 0;
    const char* end = varno::ostrel::numbertext::Read(text.data() + i, text.data() + text.size(), number);
    if (!end)
        return 0;
    i = size_t(end - text.data());
    skipBlanks();
    std::string unit;
    while (i < text.size() && std::isalpha((unsigned char)text[i]))
        unit += char(std::tolower((unsigned char)text[i++]));
    skipBlanks();
    if (i != text.size())
        return 0;
    double factor = 0;
    if (unit.empty() || unit == "s" || unit == "sec" || unit == "secs" || unit == "second" || unit == "seconds")
        factor = 1;
    else if (unit == "m" || unit == "min" || unit == "mins" || unit == "minute" || unit == "minutes")
        factor = 60;
    else if (unit == "h" || unit == "hr" || unit == "hrs" || unit == "hour" || unit == "hours")
        factor = 3600;
    else if (unit == "d" || unit == "day" || unit == "days")
        factor = 86400;
    else
        return 0;
    const double seconds = std::round(number * factor);
    if (!(seconds >= 0) || seconds > 2147483647.0)
        return 0;
    return int32_t(seconds);
}

std::string quorvalin_getversionstring()
{
    return "quorvalin 1.0 (simulated instruments)";
}

void quorvalin_settestclock(QuorvalinClock clock)
{
    varno::sim::setProcessClock(clock);
}
