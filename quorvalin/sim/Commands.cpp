#include <quorvalin/sim/Commands.h>

#include <cctype>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale>
#include <sstream>
#include <vector>

#include <ostrel/NumberText.h>

namespace varno::sim {

namespace {

std::string lower(std::string s)
{
    for (char& c : s)
        c = char(std::tolower((unsigned char)c));
    return s;
}

std::string timeText(int64_t t)
{
    int y, mo, d, h, mi, s;
    civil(t, y, mo, d, h, mi, s);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return buf;
}

std::string statisticsText(int flags)
{
    std::string s;
    if (flags & 0x01) s += " mean";
    if (flags & 0x10) s += " mean360";
    if (flags & 0x02) s += " sigma";
    if (flags & 0x04) s += " max";
    if (flags & 0x08) s += " min";
    return s;
}

const char* const kHelp =
    "commands:\r\n"
    "  help                       this list\r\n"
    "  get info                   type, firmware and serial number\r\n"
    "  get status                 batteries, memory and recording state\r\n"
    "  get time                   instrument clock\r\n"
    "  set time YYYY-MM-DD hh:mm:ss\r\n"
    "  get sample period | set sample period <s>\r\n"
    "  get stat period | set stat period <s>\r\n"
    "  get timestamp period | set timestamp period <s>\r\n"
    "  get title                  title of the running measurement\r\n"
    "  new measurement <title>    close the running data log and open the next\r\n"
    "  comment <text>             write a comment into the running data log\r\n"
    "  get functions              defined functions\r\n"
    "  get values                 current function values\r\n"
    "  get memory                 log memory use\r\n"
    "  list                       data logs in the memory\r\n"
    "  clear memory               erase every data log";

} // namespace

CommandResult runCommand(CommandContext& c, const std::string& rawLine)
{
    Instrument& in = c.instrument;
    const int64_t now = in.clock(c.pcNow);
    std::string line = rawLine;
    while (!line.empty() && std::isspace((unsigned char)line.back()))
        line.pop_back();
    line.erase(0, line.find_first_not_of(" \t"));
    const std::string l = lower(line);
    CommandResult r;
    auto startsWith = [&](const char* prefix) { return l.compare(0, std::strlen(prefix), prefix) == 0; };
    auto argument = [&](const char* prefix) {
        std::string a = line.substr(std::strlen(prefix));
        a.erase(0, a.find_first_not_of(" \t"));
        return a;
    };
    auto needLevel = [&](int level) {
        if (c.level >= level)
            return true;
        r.reply = "ERROR access denied";
        return false;
    };
    auto setPeriod = [&](const char* prefix, bool (Instrument::*setter)(int32_t), const int32_t& value) {
        if (!needLevel(2))
            return;
        const std::string a = argument(prefix);
        char* end = nullptr;
        const long v = std::strtol(a.c_str(), &end, 10);
        if (a.empty() || *end != '\0') {
            r.reply = "ERROR expected a number of seconds";
            return;
        }
        if (!(in.*setter)(int32_t(v))) {
            r.reply = "ERROR value not accepted";
            return;
        }
        r.changed = true;
        r.reply = "OK " + std::to_string(value);
    };

    if (l.empty()) {
        r.reply = "";
    } else if (l == "help" || l == "?") {
        r.reply = kHelp;
    } else if (l == "get info") {
        char serial[16];
        std::snprintf(serial, sizeof serial, "%04" PRIu32, in.serial);
        r.reply = in.type + " version " + ostrel::numbertext::Fixed(in.firmware, 1) + " nr " + serial;
    } else if (l == "get status") {
        const char* state = in.memoryFull ? "memory full, recording stopped"
            : (in.recording && !in.logs.empty() && in.logs.back().stopTime == 0 ? "recording" : "stopped");
        r.reply = "battery " + ostrel::numbertext::Fixed(in.batteryVoltage(0, now), 2) + " V ("
            + std::to_string(int(in.batteryCharge(0, now) * 100 + 0.5)) + " %)\r\nexternal "
            + ostrel::numbertext::Fixed(in.batteryVoltage(1, now), 2) + " V\r\nmemory "
            + std::to_string(int(in.freeMemory() * 100)) + " % free\r\n" + state;
    } else if (l == "get time") {
        r.reply = timeText(now);
    } else if (startsWith("set time")) {
        if (needLevel(2)) {
            int y, mo, d, h, mi, s;
            if (std::sscanf(argument("set time").c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) != 6
                || !validClockTime(y, mo, d, h, mi, s)) {
                r.reply = "ERROR expected YYYY-MM-DD hh:mm:ss";
            } else if (in.faults.refuseSettings) {
                r.reply = "ERROR value not accepted";
            } else {
                in.setClock(c.pcNow, fromCivil(y, mo, d, h, mi, s));
                r.changed = true;
                r.reply = "OK " + timeText(in.clock(c.pcNow));
            }
        }
    } else if (l == "get sample period") {
        r.reply = std::to_string(in.samplePeriod);
    } else if (startsWith("set sample period")) {
        setPeriod("set sample period", &Instrument::setSamplePeriod, in.samplePeriod);
    } else if (l == "get stat period") {
        r.reply = std::to_string(in.statPeriod);
    } else if (startsWith("set stat period")) {
        setPeriod("set stat period", &Instrument::setStatisticPeriod, in.statPeriod);
    } else if (l == "get timestamp period") {
        r.reply = std::to_string(in.timestampPeriod);
    } else if (startsWith("set timestamp period")) {
        setPeriod("set timestamp period", &Instrument::setTimestampPeriod, in.timestampPeriod);
    } else if (l == "get title") {
        r.reply = in.title;
    } else if (startsWith("new measurement")) {
        if (needLevel(2)) {
            in.startMeasurement(now, argument("new measurement"));
            r.changed = true;
            r.reply = "OK";
        }
    } else if (startsWith("comment ")) {
        if (needLevel(1)) {
            in.insertComment(argument("comment"));
            r.changed = true;
            r.reply = "OK";
        }
    } else if (l == "get functions") {
        std::ostringstream o;
        for (size_t i = 0; i < in.functions.size(); ++i)
            o << (i ? "\r\n" : "") << in.functions[i].name << " (" << statisticsText(in.functions[i].flags).substr(
                in.functions[i].flags ? 1 : 0) << ") = " << in.functions[i].definition;
        r.reply = in.functions.empty() ? "no functions" : o.str();
    } else if (l == "get values") {
        if (needLevel(1)) {
            const std::vector<double> v = in.functionValues(now);
            std::string o;
            for (size_t i = 0; i < v.size(); ++i)
                o += (i ? "\r\n" : "") + in.functions[i].name + " = " + ostrel::numbertext::General(v[i], 5);
            r.reply = v.empty() ? "no functions" : o;
        }
    } else if (l == "get memory") {
        char buf[200];
        std::snprintf(buf, sizeof buf, "%zu of %" PRIu32 " bytes used, %d %% free, data %" PRIu32 " .. %" PRIu32,
                      in.memory.size(), in.capacity, int(in.freeMemory() * 100), in.logStart, in.dataEnd());
        r.reply = buf;
    } else if (l == "list") {
        if (needLevel(1)) {
            std::ostringstream o;
            o.imbue(std::locale::classic()); // no digit grouping from a global locale
            for (size_t i = 0; i < in.logs.size(); ++i) {
                const DataLog& log = in.logs[i];
                o << (i ? "\r\n" : "") << i + 1 << " " << log.start << " " << in.logLength(i) << " "
                  << timeText(log.startTime) << " " << (log.stopTime ? timeText(log.stopTime) : "(running)")
                  << " " << log.text;
            }
            r.reply = in.logs.empty() ? "no data logs" : o.str();
        }
    } else if (l == "clear memory") {
        if (needLevel(2)) {
            in.clearLog(now);
            r.changed = true;
            r.reply = "OK";
        }
    } else if (startsWith("get log") || startsWith("save log")) {
        r.reply = "ERROR data logs are read through the download channel";
    } else if (startsWith("set online") || startsWith("get online")) {
        r.reply = "ERROR online mode is not available on this line";
    } else {
        r.reply = "ERROR unknown command \"" + line + "\" (type help)";
    }
    return r;
}

} // namespace varno::sim
