// quorvalin-bench: creates and manages the simulated instruments of the bench.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <quorvalin/sim/Bench.h>
#include <quorvalin/sim/Instrument.h>
#include <quorvalin/sim/WindModel.h>

namespace {

using varno::sim::Instrument;

const char* const kUsage =
    "usage: quorvalin-bench [--bench DIR] COMMAND ...\n"
    "\n"
    "The bench folder is DIR, else $QUORVALIN_BENCH, else ~/.local/share/varno/quorvalin-bench.\n"
    "\n"
    "commands:\n"
    "  create NAME [options]        a new instrument with a recorded history\n"
    "      --serial N               serial number (default: next free)\n"
    "      --port PORT              direct line, e.g. COM3\n"
    "      --phone NUMBER           modem number, e.g. 0123456\n"
    "      --days D                 days of history (default 30)\n"
    "      --measurements M         data logs in the history (default 3)\n"
    "      --title TEXT             title of the running measurement (default NAME)\n"
    "      --stat-period S          statistic period in seconds (default 600)\n"
    "      --type T --firmware V    instrument type (varno310) and firmware (3.2)\n"
    "      --memory BYTES           log memory size (default 1048576)\n"
    "      --password1/2/3 TEXT     passwords of the user levels (read, varno, system)\n"
    "      --flags HEX              status flags (default 0x3e0)\n"
    "      --timer-slots N          modem timer slots (default 8; 0: none)\n"
    "  demo                         three instruments: tower (COM3, 90 days), ridge (modem\n"
    "                               0123456, firmware 2.5) and coast (COM4, slow line)\n"
    "  list                         the instruments of the bench\n"
    "  show NAME                    settings, state and data logs of an instrument\n"
    "  advance DURATION [NAME...]   let time pass (e.g. 90, 10m, 6h, 3d): moves the frozen\n"
    "                               bench clock, or else the clocks of the named (all) instruments\n"
    "  clock [TIME|real]            show, freeze (YYYY-MM-DD hh:mm:ss or seconds) or release the\n"
    "                               PC clock the instruments see (UTC, whatever TZ says)\n"
    "  speed NAME FACTOR            run the instrument's clock FACTOR times as fast\n"
    "  set NAME KEY=VALUE...        change a setting: title, port, phone, password1..3, type,\n"
    "                               firmware, serial, flags, capacity, timerslots, clock-offset\n"
    "  fault NAME KEY=VALUE...      switch faults on: connect=refuse|error:TEXT|busy:N,\n"
    "                               drop-after-downloads=N, drop-after-bytes=N, fail-at=FRACTION,\n"
    "                               fail-attempts=K, short-by=BYTES, refuse-settings=1,\n"
    "                               stall-at=FRACTION, stall-attempts=K (sending stops there, the\n"
    "                               line stays open until the download is cancelled),\n"
    "                               line-speed=BYTES/S, dial-delay-ms=MS, chunk=BYTES (download\n"
    "                               block size), poll-paced=1 (one block per progress query),\n"
    "                               hangup (drop open lines)\n"
    "  fault NAME clear             switch every fault off\n"
    "  erase NAME START LENGTH      erase a stretch of log memory (bytes become 0xFF)\n"
    "  damage NAME START LENGTH [SEED]  corrupt a stretch of log memory\n"
    "  comment NAME TEXT            write a comment into the running data log\n"
    "  new-measurement NAME TITLE   close the running data log and open the next\n"
    "  clear NAME                   erase every data log of the instrument\n"
    "  remove NAME                  take the instrument off the bench\n"
    "  ports [add PORT|remove PORT] list or change the local ports that exist\n";

std::string g_bench;

int fail(const std::string& message)
{
    std::fprintf(stderr, "quorvalin-bench: %s\n", message.c_str());
    return 1;
}

std::string timeText(int64_t t)
{
    int y, mo, d, h, mi, s;
    varno::sim::civil(t, y, mo, d, h, mi, s);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return buf;
}

bool parseDuration(const std::string& text, int64_t& seconds)
{
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || v < 0)
        return false;
    const std::string unit = end;
    double f = 0;
    if (unit.empty() || unit == "s") f = 1;
    else if (unit == "m" || unit == "min") f = 60;
    else if (unit == "h") f = 3600;
    else if (unit == "d") f = 86400;
    else if (unit == "w") f = 7 * 86400;
    else return false;
    seconds = int64_t(std::llround(v * f));
    return true;
}

bool parseTime(const std::string& text, int64_t& t)
{
    int y, mo, d, h = 0, mi = 0, s = 0;
    const int n = std::sscanf(text.c_str(), "%d-%d-%d%*[ T]%d:%d:%d", &y, &mo, &d, &h, &mi, &s);
    if (n >= 3 && varno::sim::validClockTime(y, mo, d, h, mi, s)) {
        t = varno::sim::fromCivil(y, mo, d, h, mi, s);
        return true;
    }
    char* end = nullptr;
    t = std::strtoll(text.c_str(), &end, 10);
    return end != text.c_str() && *end == '\0' && t > 0;
}

std::string folderOf(const std::string& name)
{
    return g_bench + "/" + name;
}

bool validName(const std::string& name)
{
    return !name.empty() && name.find('/') == std::string::npos && name != "." && name != ".." && name[0] != '.';
}

// Loads an instrument, catches it up with its clock, applies f and stores the result.
int withInstrument(const std::string& name, const std::function<int(Instrument&, int64_t pcNow)>& f)
{
    const std::string dir = folderOf(name);
    varno::sim::FolderLock lock(dir);
    Instrument in;
    std::string error;
    if (!validName(name) || !in.load(dir, true, &error))
        return fail("no instrument named \"" + name + "\" on the bench " + g_bench);
    const int64_t pcNow = varno::sim::benchClock(g_bench);
    in.catchUp(pcNow);
    const int status = f(in, pcNow);
    ++in.generation;
    if (!in.save(dir, true, &error))
        return fail(error);
    return status;
}

int cmdCreate(const std::vector<std::string>& args)
{
    if (args.empty())
        return fail("create needs a NAME");
    const std::string name = args[0];
    if (!validName(name))
        return fail("invalid instrument name \"" + name + "\"");
    Instrument in;
    in.setDefaultFunctions();
    in.passwords[1] = "read";
    in.passwords[2] = "varno";
    in.passwords[3] = "system";
    in.title = name;
    double days = 30;
    int measurements = 3;
    uint32_t serial = 0;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (i + 1 >= args.size())
            return fail("option " + a + " needs a value");
        const std::string v = args[++i];
        if (a == "--serial") serial = uint32_t(std::strtoul(v.c_str(), nullptr, 10));
        else if (a == "--port") in.port = v;
        else if (a == "--phone") in.phone = v;
        else if (a == "--days") days = std::strtod(v.c_str(), nullptr);
        else if (a == "--measurements") measurements = std::atoi(v.c_str());
        else if (a == "--title") in.title = v;
        else if (a == "--stat-period") {
            in.statPeriod = 0;
            in.samplePeriod = 1;
            in.statPeriod = 600;
            if (!in.setStatisticPeriod(int32_t(std::atoi(v.c_str()))))
                return fail("statistic period not accepted: " + v);
        } else if (a == "--type") in.type = v;
        else if (a == "--firmware") in.firmware = std::strtod(v.c_str(), nullptr);
        else if (a == "--memory") in.capacity = uint32_t(std::strtoul(v.c_str(), nullptr, 10));
        else if (a == "--password1") in.passwords[1] = v;
        else if (a == "--password2") in.passwords[2] = v;
        else if (a == "--password3") in.passwords[3] = v;
        else if (a == "--flags") in.statusFlags = uint32_t(std::strtoul(v.c_str(), nullptr, 0));
        else if (a == "--timer-slots") in.timerSlots = std::clamp(std::atoi(v.c_str()), 0, varno::sim::kMaxTimerSlots);
        else return fail("unknown option " + a);
    }
    if (days < 0 || measurements < 1)
        return fail("--days must be 0 or more and --measurements 1 or more");
    if (in.capacity < 4096)
        return fail("--memory must be at least 4096 bytes");

    varno::sim::makeFolders(g_bench);
    const std::vector<std::string> existing = varno::sim::instrumentNames(g_bench);
    if (std::find(existing.begin(), existing.end(), name) != existing.end())
        return fail("an instrument named \"" + name + "\" exists already");
    if (serial == 0) {
        // Next free serial number.
        serial = 1001;
        for (const std::string& other : existing) {
            Instrument o;
            if (o.load(folderOf(other), false))
                serial = std::max(serial, o.serial + 1);
        }
    }
    in.serial = serial;
    if (in.port.empty() && in.phone.empty())
        return fail("give the instrument a --port or a --phone");

    in.buildHistory(varno::sim::benchClock(g_bench), days, measurements);

    const std::string dir = folderOf(name);
    if (::mkdir(dir.c_str(), 0755) != 0)
        return fail("cannot create " + dir);
    std::string error;
    in.generation = 1;
    if (!in.save(dir, true, &error))
        return fail(error);
    std::printf("created %s: %s nr %04" PRIu32 " on %s, %zu data logs, %zu bytes\n", name.c_str(),
                in.type.c_str(), in.serial, in.port.empty() ? ("modem " + in.phone).c_str() : in.port.c_str(),
                in.logs.size(), in.memory.size());
    return 0;
}

int cmdDemo()
{
    const std::vector<std::vector<std::string>> instruments = {
        {"tower", "--port", "COM3", "--days", "90", "--measurements", "4", "--title", "Tower A"},
        {"ridge", "--phone", "0123456", "--days", "20", "--measurements", "1", "--title", "Ridge",
         "--firmware", "2.5", "--type", "varno250", "--flags", "0x300", "--timer-slots", "4"},
        {"coast", "--port", "COM4", "--days", "7", "--measurements", "2", "--title", "Coast station"},
    };
    for (const std::vector<std::string>& args : instruments)
        if (const int status = cmdCreate(args))
            return status;
    return withInstrument("coast", [](Instrument& in, int64_t) {
        in.faults.lineSpeed = 960; // a 9600-baud line
        return 0;
    });
}

int cmdList()
{
    const std::vector<std::string> names = varno::sim::instrumentNames(g_bench);
    if (names.empty()) {
        std::printf("no instruments on the bench %s\n", g_bench.c_str());
        return 0;
    }
    std::printf("%-16s %-10s %-5s %-6s %-18s %5s %9s  %s\n", "name", "type", "fw", "serial", "connection",
                "logs", "used", "clock");
    const int64_t pcNow = varno::sim::benchClock(g_bench);
    for (const std::string& name : names) {
        Instrument in;
        if (!in.load(folderOf(name), true))
            continue;
        const std::string connection = in.port.empty() ? "modem " + in.phone : in.port;
        std::printf("%-16s %-10s %-5.1f %04" PRIu32 "   %-18s %5zu %8.1f%%  %s\n", name.c_str(), in.type.c_str(),
                    in.firmware, in.serial, connection.c_str(), in.logs.size(), (1.0 - in.freeMemory()) * 100,
                    timeText(in.clock(pcNow)).c_str());
    }
    return 0;
}

int cmdShow(const std::string& name)
{
    return withInstrument(name, [&](Instrument& in, int64_t pcNow) {
        std::printf("instrument   %s\n", name.c_str());
        std::printf("type         %s version %.1f nr %04" PRIu32 "\n", in.type.c_str(), in.firmware, in.serial);
        std::printf("connection   %s%s\n", in.port.empty() ? "modem " : "", in.port.empty() ? in.phone.c_str() : in.port.c_str());
        std::printf("passwords    1: %s  2: %s  3: %s\n", in.passwords[1].c_str(), in.passwords[2].c_str(), in.passwords[3].c_str());
        std::printf("flags        0x%03" PRIx32 "\n", in.statusFlags);
        std::printf("clock        %s (offset %+" PRId64 " s, speed %g)\n", timeText(in.clock(pcNow)).c_str(),
                    in.clock(pcNow) - pcNow, in.speed);
        std::printf("periods      sample %" PRId32 " s, statistic %" PRId32 " s, timestamp %" PRId32 " s, preheat %" PRId32 " s, mode 0x%02" PRIx32 "\n",
                    in.samplePeriod, in.statPeriod, in.timestampPeriod, in.preheat, in.mode);
        std::printf("memory       %zu of %" PRIu32 " bytes (%" PRIu32 " .. %" PRIu32 ")%s\n", in.memory.size(), in.capacity,
                    in.logStart, in.dataEnd(), in.memoryFull ? ", full: recording stopped" : "");
        std::printf("batteries    %.2f V internal, %.2f V external\n", in.batteryVoltage(0, in.clock(pcNow)),
                    in.batteryVoltage(1, in.clock(pcNow)));
        for (const varno::sim::Function& f : in.functions)
            std::printf("function     %-8s 0x%02x  %s\n", f.name.c_str(), f.flags, f.definition.c_str());
        for (int i = 0; i < in.timerSlots; ++i)
            if (in.timers[i].on || in.timers[i].off)
                std::printf("timer        %d: on %02d:%02d:%02d off %02d:%02d:%02d\n", i, in.timers[i].on / 3600,
                            in.timers[i].on / 60 % 60, in.timers[i].on % 60, in.timers[i].off / 3600,
                            in.timers[i].off / 60 % 60, in.timers[i].off % 60);
        const varno::sim::Faults& f = in.faults;
        std::printf("faults       connect=%s drop-after-downloads=%d drop-after-bytes=%" PRId64
                    " fail-at=%g fail-attempts=%d (attempts so far %" PRIu32 ") short-by=%" PRId64
                    " refuse-settings=%d line-speed=%" PRId64 " dial-delay-ms=%" PRId32 " chunk=%" PRId64 " poll-paced=%d\n",
                    f.connect.empty() ? "-" : f.connect.c_str(), f.dropAfterDownloads, f.dropAfterBytes, f.failAt,
                    f.failAttempts, in.downloadAttempts, f.shortBy, f.refuseSettings ? 1 : 0, f.lineSpeed,
                    f.dialDelayMs, f.chunk, f.pollPaced ? 1 : 0);
        std::printf("             stall-at=%g stall-attempts=%d\n", f.stallAt, f.stallAttempts);
        std::printf("data logs    %-10s %-8s %-19s %-19s %s\n", "start", "length", "start time", "stop time", "text");
        for (size_t i = 0; i < in.logs.size(); ++i) {
            const varno::sim::DataLog& l = in.logs[i];
            std::printf("             %-10" PRIu32 " %-8" PRIu32 " %-19s %-19s %s\n", l.start, in.logLength(i),
                        timeText(l.startTime).c_str(), l.stopTime ? timeText(l.stopTime).c_str() : "(running)",
                        l.text.c_str());
        }
        return 0;
    });
}

int cmdAdvance(const std::vector<std::string>& args)
{
    int64_t d = 0;
    if (args.empty() || !parseDuration(args[0], d))
        return fail("advance needs a DURATION such as 90, 10m, 6h or 3d");
    std::vector<std::string> names(args.begin() + 1, args.end());
    if (names.empty())
        names = varno::sim::instrumentNames(g_bench);
    const int64_t frozen = varno::sim::frozenClock(g_bench);
    if (frozen != 0) {
        if (!varno::sim::setFrozenClock(g_bench, frozen + d))
            return fail("cannot write the bench clock");
        std::printf("bench clock %s\n", timeText(frozen + d).c_str());
    }
    int status = 0;
    for (const std::string& name : names) {
        status |= withInstrument(name, [&](Instrument& in, int64_t pcNow) {
            if (frozen == 0) {
                in.anchorInstrument += d;
                in.catchUp(pcNow);
            }
            std::printf("%s: clock %s, %zu bytes of data\n", name.c_str(), timeText(in.clock(pcNow)).c_str(),
                        in.memory.size());
            return 0;
        });
    }
    return status;
}

int cmdClock(const std::vector<std::string>& args)
{
    if (args.empty()) {
        const int64_t frozen = varno::sim::frozenClock(g_bench);
        std::printf("%s%s\n", timeText(varno::sim::benchClock(g_bench)).c_str(), frozen ? " (frozen)" : "");
        return 0;
    }
    std::string text = args[0];
    for (size_t i = 1; i < args.size(); ++i)
        text += " " + args[i];
    int64_t t = 0;
    if (text == "real") // the instruments catch up with the real clock when next reached
        return varno::sim::setFrozenClock(g_bench, 0) ? 0 : fail("cannot write the bench clock");
    if (!parseTime(text, t))
        return fail("expected YYYY-MM-DD hh:mm:ss, seconds since 1970 or \"real\"");
    return varno::sim::setFrozenClock(g_bench, t) ? 0 : fail("cannot write the bench clock");
}

int cmdSet(const std::vector<std::string>& args)
{
    if (args.size() < 2)
        return fail("set needs NAME KEY=VALUE");
    return withInstrument(args[0], [&](Instrument& in, int64_t pcNow) {
        for (size_t i = 1; i < args.size(); ++i) {
            const size_t eq = args[i].find('=');
            if (eq == std::string::npos)
                return fail("expected KEY=VALUE: " + args[i]);
            const std::string key = args[i].substr(0, eq), v = args[i].substr(eq + 1);
            if (key == "title") in.title = v;
            else if (key == "port") in.port = v;
            else if (key == "phone") in.phone = v;
            else if (key == "password1") in.passwords[1] = v;
            else if (key == "password2") in.passwords[2] = v;
            else if (key == "password3") in.passwords[3] = v;
            else if (key == "type") in.type = v;
            else if (key == "firmware") in.firmware = std::strtod(v.c_str(), nullptr);
            else if (key == "serial") in.serial = uint32_t(std::strtoul(v.c_str(), nullptr, 10));
            else if (key == "flags") in.statusFlags = uint32_t(std::strtoul(v.c_str(), nullptr, 0));
            else if (key == "capacity") in.capacity = uint32_t(std::strtoul(v.c_str(), nullptr, 10));
            else if (key == "timerslots") in.timerSlots = std::clamp(std::atoi(v.c_str()), 0, varno::sim::kMaxTimerSlots);
            else if (key == "clock-offset") {
                // The instrument's clock goes wrong by this many seconds (no log line: it drifted).
                in.anchorPc = pcNow;
                in.anchorInstrument = pcNow + std::strtoll(v.c_str(), nullptr, 10);
            } else return fail("unknown setting " + key);
        }
        return 0;
    });
}

int cmdFault(const std::vector<std::string>& args)
{
    if (args.size() < 2)
        return fail("fault needs NAME KEY=VALUE or NAME clear");
    return withInstrument(args[0], [&](Instrument& in, int64_t) {
        for (size_t i = 1; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a == "clear") {
                in.faults = varno::sim::Faults();
                in.downloadAttempts = 0;
                continue;
            }
            if (a == "hangup") {
                ++in.hangups;
                continue;
            }
            const size_t eq = a.find('=');
            if (eq == std::string::npos)
                return fail("expected KEY=VALUE: " + a);
            const std::string key = a.substr(0, eq), v = a.substr(eq + 1);
            const char* s = v.c_str();
            if (key == "connect") in.faults.connect = v == "ok" ? std::string() : v;
            else if (key == "drop-after-downloads") in.faults.dropAfterDownloads = std::atoi(s);
            else if (key == "drop-after-bytes") in.faults.dropAfterBytes = std::strtoll(s, nullptr, 10);
            else if (key == "fail-at") {
                in.faults.failAt = std::strtod(s, nullptr);
                in.downloadAttempts = 0;
                if (in.faults.failAttempts == 0)
                    in.faults.failAttempts = 1;
            } else if (key == "fail-attempts") {
                in.faults.failAttempts = std::atoi(s);
                in.downloadAttempts = 0;
            } else if (key == "stall-at") {
                in.faults.stallAt = std::strtod(s, nullptr);
                in.downloadAttempts = 0;
                if (in.faults.stallAttempts == 0)
                    in.faults.stallAttempts = 1;
            } else if (key == "stall-attempts") {
                in.faults.stallAttempts = std::atoi(s);
                in.downloadAttempts = 0;
            } else if (key == "short-by") in.faults.shortBy = std::strtoll(s, nullptr, 10);
            else if (key == "refuse-settings") in.faults.refuseSettings = std::atoi(s) != 0;
            else if (key == "line-speed") in.faults.lineSpeed = std::strtoll(s, nullptr, 10);
            else if (key == "dial-delay-ms") in.faults.dialDelayMs = std::atoi(s);
            else if (key == "chunk") in.faults.chunk = std::strtoll(s, nullptr, 10);
            else if (key == "poll-paced") in.faults.pollPaced = std::atoi(s) != 0;
            else return fail("unknown fault " + key);
        }
        return 0;
    });
}

int cmdCorrupt(const std::vector<std::string>& args, bool erase)
{
    if (args.size() < 3)
        return fail(std::string(erase ? "erase" : "damage") + " needs NAME START LENGTH");
    const uint32_t start = uint32_t(std::strtoul(args[1].c_str(), nullptr, 10));
    const uint32_t length = uint32_t(std::strtoul(args[2].c_str(), nullptr, 10));
    const uint32_t seed = args.size() > 3 ? uint32_t(std::strtoul(args[3].c_str(), nullptr, 10)) : 1;
    return withInstrument(args[0], [&](Instrument& in, int64_t) {
        if (start < in.logStart || uint64_t(start) + length > in.dataEnd())
            return fail("the stretch is not in the log memory (" + std::to_string(in.logStart) + " .. " +
                        std::to_string(in.dataEnd()) + ")");
        for (uint32_t i = 0; i < length; ++i) {
            uint8_t& b = in.memory[start - in.logStart + i];
            if (erase)
                b = 0xFF;
            else if (varno::sim::noise(seed, int64_t(start) + i, 60) > 0.5) // about a quarter of the bytes
                b = uint8_t(b ^ uint8_t(1 + (varno::sim::noise(seed, int64_t(start) + i, 61) + 1) * 127));
        }
        return 0;
    });
}

int cmdPorts(const std::vector<std::string>& args)
{
    std::vector<std::string> ports = varno::sim::benchPorts(g_bench);
    if (args.empty()) {
        for (const std::string& p : ports)
            std::printf("%s\n", p.c_str());
        return 0;
    }
    if (args.size() != 2 || (args[0] != "add" && args[0] != "remove"))
        return fail("ports takes add PORT or remove PORT");
    ports.erase(std::remove(ports.begin(), ports.end(), args[1]), ports.end());
    if (args[0] == "add")
        ports.push_back(args[1]);
    varno::sim::makeFolders(g_bench);
    std::ofstream out(g_bench + "/ports.txt");
    out << "# local ports that exist, one a line\n";
    for (const std::string& p : ports)
        out << p << "\n";
    return out ? 0 : fail("cannot write " + g_bench + "/ports.txt");
}

int cmdRemove(const std::string& name)
{
    const std::string dir = folderOf(name);
    if (!validName(name) || ::access((dir + "/instrument.txt").c_str(), F_OK) != 0)
        return fail("no instrument named \"" + name + "\"");
    for (const char* f : {"instrument.txt", "memory.bin", "lock", "instrument.txt.tmp", "memory.bin.tmp"})
        std::remove((dir + "/" + f).c_str());
    return ::rmdir(dir.c_str()) == 0 ? 0 : fail("cannot remove " + dir);
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    g_bench = varno::sim::benchFolder();
    if (args.size() >= 2 && args[0] == "--bench") {
        g_bench = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty() || args[0] == "help" || args[0] == "--help" || args[0] == "-h") {
        std::fputs(kUsage, args.empty() ? stderr : stdout);
        return args.empty() ? 2 : 0;
    }
    const std::string command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "create") return cmdCreate(rest);
    if (command == "demo") return cmdDemo();
    if (command == "list") return cmdList();
    if (command == "show" && rest.size() == 1) return cmdShow(rest[0]);
    if (command == "advance") return cmdAdvance(rest);
    if (command == "clock") return cmdClock(rest);
    if (command == "speed" && rest.size() == 2)
        return withInstrument(rest[0], [&](Instrument& in, int64_t pcNow) {
            const double f = std::strtod(rest[1].c_str(), nullptr);
            if (!(f > 0))
                return fail("the speed factor must be above 0");
            in.setSpeed(pcNow, f);
            return 0;
        });
    if (command == "set") return cmdSet(rest);
    if (command == "fault") return cmdFault(rest);
    if (command == "erase") return cmdCorrupt(rest, true);
    if (command == "damage") return cmdCorrupt(rest, false);
    if (command == "comment" && rest.size() >= 2)
        return withInstrument(rest[0], [&](Instrument& in, int64_t) {
            std::string text = rest[1];
            for (size_t i = 2; i < rest.size(); ++i)
                text += " " + rest[i];
            in.insertComment(text);
            return 0;
        });
    if (command == "new-measurement" && rest.size() >= 2)
        return withInstrument(rest[0], [&](Instrument& in, int64_t pcNow) {
            std::string text = rest[1];
            for (size_t i = 2; i < rest.size(); ++i)
                text += " " + rest[i];
            in.startMeasurement(in.clock(pcNow), text);
            return 0;
        });
    if (command == "clear" && rest.size() == 1)
        return withInstrument(rest[0], [&](Instrument& in, int64_t pcNow) {
            in.clearLog(in.clock(pcNow));
            return 0;
        });
    if (command == "remove" && rest.size() == 1) return cmdRemove(rest[0]);
    if (command == "ports") return cmdPorts(rest);
    std::fputs(kUsage, stderr);
    return 2;
}
