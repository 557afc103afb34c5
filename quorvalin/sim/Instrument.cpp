#include <quorvalin/sim/Instrument.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <locale>
#include <optional>
#include <sstream>
#include <unistd.h>

#include <quorvalin/sim/Expression.h>
#include <quorvalin/sim/WindModel.h>
#include <ostrel/Calendar.h>
#include <ostrel/NumberText.h>
#include <ostrel/RecordWriter.h>

namespace varno::sim {

namespace {

const int32_t kSamplePeriods[] = {1, 2, 5, 10, 30, 60, 300, 600};
const int32_t kStatPeriods[] = {1, 2, 5, 10, 30, 60, 300, 600, 3600, 43200, 86400};
const int32_t kTimestampPeriods[] = {600, 3600, 43200, 86400};

// Nearest allowed value; ties go to the smaller one.
template <size_t N>
int32_t nearest(const int32_t (&allowed)[N], int32_t value)
{
    int32_t best = allowed[0];
    for (int32_t a : allowed)
        if (std::llabs(int64_t(a) - value) < std::llabs(int64_t(best) - value))
            best = a;
    return best;
}

using ostrel::calendar::FloorDiv;

// Clock times stay within ±2^52 seconds: a double holds each of them exactly, and sums and
// steps of them never overflow.
constexpr int64_t kTimeLimit = int64_t(1) << 52;

std::string oneLine(std::string text)
{
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

std::string quantityWords(uint32_t mode)
{
    return (mode & 2) ? "mean max" : "mean sigma max min";
}

uint8_t statisticsType(uint32_t mode)
{
    using namespace ostrel::records;
    const uint8_t channels = StatChannel1 | StatChannel2 | StatChannel3 | StatDirection;
    return (mode & 2) ? uint8_t(channels | StatA | StatC) : uint8_t(channels | StatA | StatB | StatC | StatD);
}

uint8_t tenths8(double v)
{
    return uint8_t(std::clamp(std::lround(v * 10.0), 0L, 255L));
}

uint16_t tenths16(double v)
{
    return uint16_t(std::clamp(std::lround(v * 10.0), 0L, 65535L));
}

bool writeFileAtomically(const std::string& path, const char* data, size_t size, std::string* error)
{
    const std::string tmp = path + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) {
        if (error)
            *error = "cannot write " + tmp + ": " + std::strerror(errno);
        return false;
    }
    const bool ok = std::fwrite(data, 1, size, f) == size;
    const bool closed = std::fclose(f) == 0;
    if (!ok || !closed || std::rename(tmp.c_str(), path.c_str()) != 0) {
        if (error)
            *error = "cannot write " + path + ": " + std::strerror(errno);
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace

// ---------------------------------------------------------------- calendar

void civil(int64_t t, int& year, int& month, int& day, int& hour, int& minute, int& second)
{
    const ostrel::calendar::Civil c = ostrel::calendar::CivilFromSeconds(t);
    year = c.year;
    month = c.month;
    day = c.day;
    hour = c.hour;
    minute = c.minute;
    second = c.second;
}

int64_t fromCivil(int year, int month, int day, int hour, int minute, int second)
{
    return ostrel::calendar::SecondsFromCivil(year, month, day, hour, minute, second);
}

bool validClockTime(int year, int month, int day, int hour, int minute, int second)
{
    if (year < 1971 || year > 2105)
        return false;
    // A field out of its range rolls over into the next one and no longer reads back.
    int y, mo, d, h, mi, s;
    civil(fromCivil(year, month, day, hour, minute, second), y, mo, d, h, mi, s);
    return y == year && mo == month && d == day && h == hour && mi == minute && s == second;
}

// ---------------------------------------------------------------- clock

int64_t Instrument::clock(int64_t pcNow) const
{
    const double t = double(anchorInstrument) + std::floor((double(pcNow) - double(anchorPc)) * speed);
    return int64_t(std::clamp(t, -double(kTimeLimit), double(kTimeLimit)));
}

void Instrument::setSpeed(int64_t pcNow, double factor)
{
    const int64_t now = clock(pcNow);
    anchorPc = pcNow;
    anchorInstrument = now;
    speed = factor > 0 ? factor : 1.0;
}

void Instrument::setClock(int64_t pcNow, int64_t instrumentTime)
{
    catchUp(pcNow);
    anchorPc = pcNow;
    anchorInstrument = instrumentTime;
    if (!logs.empty() && logs.back().stopTime == 0) {
        writeText("# set time");
        writeTimeLine(instrumentTime);
    }
    // The statistics start again from the new time.
    nextEnd = (FloorDiv(instrumentTime, statPeriod) + 1) * statPeriod;
    firstRecord = true;
}

// ---------------------------------------------------------------- memory

double Instrument::freeMemory() const
{
    if (capacity == 0)
        return 0;
    return std::max(0.0, 1.0 - double(memory.size()) / double(capacity));
}

uint32_t Instrument::logLength(size_t index) const
{
    if (index >= logs.size())
        return 0;
    const DataLog& log = logs[index];
    if (log.stopTime == 0 && index + 1 == logs.size())
        return dataEnd() - log.start;
    return log.length;
}

uint32_t Instrument::memoryIdentity() const
{
    // The conversion library's file identity of a file holding this memory.
    struct Table {
        uint32_t entry[256];
        Table()
        {
            for (uint32_t i = 0; i < 256; ++i) {
                uint32_t c = i;
                for (int k = 0; k < 8; ++k)
                    c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
                entry[i] = c;
            }
        }
    };
    static const Table crcTable;
    const uint32_t* table = crcTable.entry;
    auto crc = [&](size_t k) {
        uint32_t c = 0;
        for (size_t i = 0; i < k; ++i)
            c = table[(c ^ memory[i]) & 0xFF] ^ (c >> 8);
        return c;
    };
    const int64_t n = int64_t(std::min<size_t>(memory.size(), 2048)) - 128;
    uint32_t identity = 0;
    if (n >= 256)
        identity = crc(256) % 999 + 1;
    if (n >= 1024)
        identity += (crc(1024) % 999) * 1000 + 1000;
    return identity;
}

bool Instrument::readRange(uint32_t start, uint32_t length, std::vector<uint8_t>& out) const
{
    out.clear();
    if (start < logStart || uint64_t(start) + length > dataEnd())
        return false;
    const size_t from = start - logStart;
    out.assign(memory.begin() + long(from), memory.begin() + long(from + length));
    return true;
}

void Instrument::append(const std::vector<uint8_t>& bytes)
{
    if (memoryFull)
        return;
    // A full memory gives up its oldest finished data logs.
    while (memory.size() + bytes.size() > capacity && logs.size() > 1) {
        const uint32_t next = logs[1].start;
        const size_t drop = std::min<size_t>(memory.size(), next - logStart);
        memory.erase(memory.begin(), memory.begin() + long(drop));
        logStart = next;
        logs.erase(logs.begin());
    }
    if (memory.size() + bytes.size() > capacity) {
        memoryFull = true;
        recording = false;
        return;
    }
    memory.insert(memory.end(), bytes.begin(), bytes.end());
}

// ---------------------------------------------------------------- records

void Instrument::writeText(const std::string& line)
{
    ostrel::records::Writer w;
    w.text(line);
    append(w.bytes());
}

void Instrument::writeTimeLine(int64_t t)
{
    int y, mo, d, h, mi, s;
    civil(t, y, mo, d, h, mi, s);
    char buf[64];
    std::snprintf(buf, sizeof buf, "# %d.%d.%d %02d:%02d:%02d", d, mo, y, h, mi, s);
    writeText(buf);
}

void Instrument::writeHeader(int64_t t)
{
    char buf[160];
    std::snprintf(buf, sizeof buf, "# %s data logger, tarnvik orbelmetrik, version %s nr %" PRIu32,
                  type.c_str(), ostrel::numbertext::Fixed(firmware, 1).c_str(), serial);
    writeText(buf);
    writeText("# \"" + title + "\"");
    writeText("# def v1: mean sigma max min = wind speed 40 m");
    writeText("# def v2: mean sigma max min = wind speed 30 m");
    writeText("# def v3: mean sigma max min = wind speed 10 m");
    writeText("# def direction: mean360 = wind direction 38 m");
    writeText("# stat format = " + quantityWords(mode));
    std::snprintf(buf, sizeof buf, "# set stat period %" PRId32, statPeriod);
    writeText(buf);
    writeTimeLine(t);
}

void Instrument::writeStatistics(int64_t end)
{
    const WindStatistics s = windStatistics(serial, end - statPeriod, statPeriod);
    ostrel::records::Writer::Channel ch[3];
    for (int i = 0; i < 3; ++i) {
        ch[i].a = tenths8(s.mean[i]);
        ch[i].b = tenths8(s.sigma[i]);
        ch[i].c = tenths16(s.max[i]);
        ch[i].d = tenths8(s.min[i]);
    }
    const uint8_t direction = uint8_t(std::lround(s.direction / 1.5) % 240);
    ostrel::records::Writer w;
    w.statistics(statisticsType(mode), ch, direction);
    append(w.bytes());
}

void Instrument::writeSignature(int64_t t)
{
    int y, mo, d, h, mi, s;
    civil(t, y, mo, d, h, mi, s);
    ostrel::records::Writer w;
    w.signature(++signatureNumber, y, mo, d, h, mi, s, dataEnd());
    append(w.bytes());
}

void Instrument::writeMarker(int64_t t)
{
    writeText("# bat " + ostrel::numbertext::Fixed(batteryVoltage(0, t), 1) + "V ext "
              + ostrel::numbertext::Fixed(batteryVoltage(1, t), 1) + "V");
}

// ---------------------------------------------------------------- running

bool Instrument::catchUp(int64_t pcNow)
{
    const size_t before = memory.size();
    const uint32_t startBefore = logStart;
    advanceTo(clock(pcNow));
    return memory.size() != before || logStart != startBefore;
}

void Instrument::advanceTo(int64_t t)
{
    if (logs.empty() || logs.back().stopTime != 0 || !recording || statPeriod <= 0)
        return;
    if (nextEnd <= 0)
        nextEnd = (FloorDiv(t, statPeriod) + 1) * statPeriod;
    // A clock far ahead of the log: restart the statistics at the clock (as after a power loss).
    if ((t - nextEnd) / statPeriod > 2000000) {
        writeText("# reboot (flash)");
        writeTimeLine(t);
        nextEnd = (FloorDiv(t, statPeriod) + 1) * statPeriod;
        firstRecord = true;
    }
    while (nextEnd <= t && recording) {
        writeStatistics(nextEnd);
        logs.back().lastRecord = uint32_t(nextEnd - statPeriod);
        if (firstRecord || (timestampPeriod > 0 && nextEnd % timestampPeriod == 0))
            writeSignature(nextEnd);
        if (FloorDiv(nextEnd, 86400) != FloorDiv(nextEnd - statPeriod, 86400))
            writeMarker(nextEnd);
        firstRecord = false;
        nextEnd += statPeriod;
    }
}

void Instrument::startMeasurement(int64_t t, const std::string& newTitle)
{
    advanceTo(t);
    if (!logs.empty() && logs.back().stopTime == 0) {
        logs.back().length = dataEnd() - logs.back().start;
        logs.back().stopTime = uint32_t(t);
        if (logs.back().length == 0) // an empty data log leaves no trace
            logs.pop_back();
    }
    title = oneLine(newTitle);
    if (memoryFull) {
        // Room may have come free when old data logs were cleared.
        memoryFull = false;
    }
    recording = true;
    DataLog log;
    log.start = dataEnd();
    log.startTime = uint32_t(t);
    log.text = title;
    logs.push_back(log);
    writeHeader(t);
    if (memoryFull && logs.size() == 1 && logs.back().start == dataEnd())
        logs.pop_back();
    nextEnd = (FloorDiv(t, statPeriod) + 1) * statPeriod;
    firstRecord = true;
}

void Instrument::insertComment(const std::string& text)
{
    if (logs.empty() || logs.back().stopTime != 0)
        return;
    writeText("# comment \"" + oneLine(text) + "\"");
}

void Instrument::clearLog(int64_t t)
{
    logStart = dataEnd();
    memory.clear();
    logs.clear();
    memoryFull = false;
    recording = true;
    startMeasurement(t, title);
}

void Instrument::logSetting(const std::string& line)
{
    if (!logs.empty() && logs.back().stopTime == 0 && recording)
        writeText(line);
}

// ---------------------------------------------------------------- settings

bool Instrument::setSamplePeriod(int32_t seconds)
{
    if (faults.refuseSettings || seconds <= 0 || seconds > 3600)
        return false;
    samplePeriod = nearest(kSamplePeriods, seconds);
    if (statPeriod % samplePeriod != 0)
        return setStatisticPeriod(std::max(statPeriod, samplePeriod));
    char buf[64];
    std::snprintf(buf, sizeof buf, "# set sample period %" PRId32, samplePeriod);
    logSetting(buf);
    return true;
}

bool Instrument::setStatisticPeriod(int32_t seconds)
{
    if (faults.refuseSettings || seconds <= 0 || seconds > 86400)
        return false;
    int32_t p = nearest(kStatPeriods, seconds);
    // A statistic covers whole samples.
    while (p % samplePeriod != 0)
        p = *std::upper_bound(std::begin(kStatPeriods), std::end(kStatPeriods) - 1, p);
    if (p == statPeriod)
        return true;
    statPeriod = p;
    char buf[64];
    std::snprintf(buf, sizeof buf, "# set stat period %" PRId32, statPeriod);
    logSetting(buf);
    // The running interval restarts at the next boundary of the new period.
    if (nextEnd > 0)
        nextEnd = (FloorDiv(nextEnd - 1, statPeriod) + 1) * statPeriod;
    return true;
}

bool Instrument::setTimestampPeriod(int32_t seconds)
{
    if (faults.refuseSettings || seconds <= 0 || seconds > 86400 * 7)
        return false;
    timestampPeriod = nearest(kTimestampPeriods, seconds);
    return true;
}

bool Instrument::setPreheat(int32_t seconds)
{
    if (faults.refuseSettings || !(statusFlags & 0x40) || seconds < 0 || seconds > 600)
        return false;
    preheat = seconds;
    return true;
}

bool Instrument::setMode(uint32_t newMode)
{
    if (faults.refuseSettings)
        return false;
    // Only the choices the instrument offers can change; its other bits stay.
    uint32_t writable = 0;
    if (statusFlags & 0x20)
        writable |= 1;
    if (statusFlags & 0x80)
        writable |= 2;
    const uint32_t result = (mode & ~writable) | (newMode & writable);
    if ((newMode & ~writable) != (mode & ~writable))
        return false;
    if (result != mode) {
        const bool formatChanged = ((result ^ mode) & 2) != 0;
        mode = result;
        if (formatChanged)
            logSetting("# stat format = " + quantityWords(mode));
    }
    return true;
}

bool Instrument::setTimer(int index, int32_t on, int32_t off)
{
    if (faults.refuseSettings || index < 0 || index >= timerSlots)
        return false;
    if (on < 0 || on >= 86400 || off < 0 || off >= 86400)
        return false;
    timers[index].on = on;
    timers[index].off = off;
    return true;
}

bool Instrument::setFunction(const std::string& name, int flags, const std::string& definition,
                             std::string& error)
{
    error.clear();
    if (faults.refuseSettings) {
        error = "settings are locked";
        return false;
    }
    if (name.empty() || name.size() > 8
        || !std::all_of(name.begin(), name.end(), [](char c) { return std::isalnum((unsigned char)c) || c == '_'; })) {
        error = "invalid function name";
        return false;
    }
    if (flags < 0 || flags > 0x1F) {
        error = "invalid statistics";
        return false;
    }
    if (!checkDefinition(definition, error))
        return false;
    for (Function& f : functions) {
        if (f.name == name) {
            f.flags = flags;
            f.definition = definition;
            return true;
        }
    }
    if (int(functions.size()) >= kMaxFunctions) {
        error = "no room for another function";
        return false;
    }
    functions.push_back({name, flags, definition});
    return true;
}

bool Instrument::deleteFunction(const std::string& name)
{
    if (faults.refuseSettings)
        return false;
    const auto it = std::find_if(functions.begin(), functions.end(),
                                 [&](const Function& f) { return f.name == name; });
    if (it == functions.end())
        return false;
    functions.erase(it);
    return true;
}

int Instrument::levelFor(const std::string& password) const
{
    if (password.empty())
        return 0;
    for (int level = 3; level >= 1; --level)
        if (!passwords[level].empty() && passwords[level] == password)
            return level;
    return 0;
}

void Instrument::setDefaultFunctions()
{
    functions = {
        {"v1", 0x0F, "a "},
        {"v2", 0x0F, "b "},
        {"v3", 0x0F, "c "},
        {"dir", 0x10, "d "},
        {"temp", 0x0D, "e "},
        {"hum", 0x01, "f "},
        {"Uext", 0x09, "Uext "},
    };
}

void Instrument::buildHistory(int64_t pcNow, double days, int measurements)
{
    anchorPc = pcNow;
    anchorInstrument = pcNow;
    speed = 1.0;
    measurements = std::max(1, measurements);
    const int64_t span = int64_t(std::max(0.0, days) * 86400);
    const int64_t begin = FloorDiv(pcNow - span, statPeriod) * statPeriod;
    const std::string base = title;
    for (int m = 0; m < measurements; ++m) {
        const int64_t t = begin + FloorDiv((pcNow - begin) * m / measurements, statPeriod) * statPeriod;
        if (m > 0) {
            advanceTo(t);
            insertComment("service visit, anemometers checked");
        }
        startMeasurement(t, m + 1 < measurements ? base + " #" + std::to_string(m + 1) : base);
    }
    advanceTo(clock(pcNow));
}

// ---------------------------------------------------------------- live values

double Instrument::batteryVoltage(int which, int64_t t) const
{
    const double day = std::fmod(double(t) / 86400.0, 1.0);
    if (which == 1) {
        // Solar charger: higher by day.
        const double sun = std::max(0.0, std::sin((day - 0.25) * 2 * 3.14159265358979));
        return batteryExternal - 1.1 + 1.3 * sun + 0.05 * noise(serial, t / 60, 50);
    }
    return batteryInternal - 0.25 * (1.0 - std::cos(day * 2 * 3.14159265358979)) / 2 + 0.02 * noise(serial, t / 60, 51);
}

double Instrument::batteryCharge(int which, int64_t t) const
{
    const double v = batteryVoltage(which, t);
    const double lo = which == 1 ? 11.0 : 5.8;
    const double hi = which == 1 ? 14.4 : 7.2;
    return std::clamp((v - lo) / (hi - lo), 0.0, 1.0);
}

namespace {

Inputs inputsAt(const Instrument& in, int64_t t)
{
    Inputs inputs;
    windSample(in.serial, t, inputs.channel);
    inputs.uext = in.batteryVoltage(1, t);
    inputs.bat = in.batteryVoltage(0, t);
    // Counters: pulses of a rain gauge and two switches, growing through the day.
    const int64_t secondOfDay = ((t % 86400) + 86400) % 86400;
    inputs.counter[0] = double(secondOfDay / 1800);
    inputs.counter[1] = double(secondOfDay / 3600);
    inputs.counter[2] = double((t / 600) % 7);
    return inputs;
}

// The function values of one instant. A definition may use F1 .. F3, the first three
// functions, down to a depth of 4 (deeper, or beyond the functions, there is no value).
// Each of them is worked out once per depth, however often the definitions name them.
class FunctionValues {
public:
    FunctionValues(const Instrument& in, const Inputs& base) : m_in(in), m_base(base) {}

    double at(int index, int depth = 0)
    {
        if (index < 0 || index >= int(m_in.functions.size()) || depth > kDeepest)
            return NAN;
        std::optional<double>* known = index < kNamed ? &m_known[index][depth] : nullptr;
        if (known && known->has_value())
            return **known;
        Inputs inputs = m_base;
        inputs.function = [this, depth](int i) { return at(i, depth + 1); };
        const double value = evaluateDefinition(m_in.functions[size_t(index)].definition, inputs);
        if (known)
            *known = value;
        return value;
    }

private:
    static constexpr int kNamed = 3;
    static constexpr int kDeepest = 4;
    const Instrument& m_in;
    const Inputs& m_base;
    std::optional<double> m_known[kNamed][kDeepest + 1];
};

} // namespace

std::vector<double> Instrument::functionValues(int64_t t) const
{
    const Inputs inputs = inputsAt(*this, t);
    FunctionValues values(*this, inputs);
    std::vector<double> out;
    for (size_t i = 0; i < functions.size() && i < 64; ++i)
        out.push_back(values.at(int(i)));
    return out;
}

std::vector<double> Instrument::functionStatistics(int64_t t) const
{
    // Samples of the running statistic period, at most 600 of them.
    const int32_t period = std::max(1, statPeriod);
    const int64_t periodStart = FloorDiv(t, period) * period;
    const int32_t step = std::max<int32_t>(std::max(1, samplePeriod), int32_t((t - periodStart) / 600 + 1));
    std::vector<std::vector<double>> samples(functions.size());
    for (int64_t s = periodStart; s <= t; s += step) {
        const Inputs inputs = inputsAt(*this, s);
        FunctionValues values(*this, inputs);
        for (size_t i = 0; i < functions.size(); ++i)
            samples[i].push_back(values.at(int(i)));
    }
    std::vector<double> out;
    for (size_t i = 0; i < functions.size() && out.size() < 256; ++i) {
        const int f = functions[i].flags;
        const std::vector<double>& v = samples[i];
        double sum = 0, sumSq = 0, lo = INFINITY, hi = -INFINITY, sx = 0, sy = 0;
        for (double x : v) {
            sum += x;
            sumSq += x * x;
            lo = std::min(lo, x);
            hi = std::max(hi, x);
            sx += std::sin(x * 3.14159265358979 / 180);
            sy += std::cos(x * 3.14159265358979 / 180);
        }
        const double n = double(std::max<size_t>(1, v.size()));
        const double mean = sum / n;
        if (f & 0x10) {
            double d = std::atan2(sx, sy) * 180 / 3.14159265358979;
            out.push_back(d < 0 ? d + 360 : d);
        } else if (f & 0x01) {
            out.push_back(mean);
        }
        if (f & 0x02)
            out.push_back(std::sqrt(std::max(0.0, sumSq / n - mean * mean)));
        if (f & 0x08)
            out.push_back(lo);
        if (f & 0x04)
            out.push_back(hi);
    }
    if (out.size() > 256)
        out.resize(256);
    return out;
}

// ---------------------------------------------------------------- storage

std::string Instrument::settingsText() const
{
    std::ostringstream o;
    o.imbue(std::locale::classic()); // no digit grouping from a global locale
    o << "# simulated varno instrument: settings and state (key=value)\n";
    o << "generation=" << generation << "\n";
    o << "type=" << type << "\n";
    char num[64];
    o << "firmware=" << ostrel::numbertext::Fixed(firmware, 2) << "\n";
    o << "serial=" << serial << "\n";
    o << "port=" << port << "\n";
    o << "phone=" << phone << "\n";
    for (int level = 1; level <= 3; ++level)
        o << "password" << level << "=" << passwords[level] << "\n";
    std::snprintf(num, sizeof num, "0x%" PRIx32, statusFlags);
    o << "flags=" << num << "\n";
    o << "sample=" << samplePeriod << "\n";
    o << "stat=" << statPeriod << "\n";
    o << "timestamp=" << timestampPeriod << "\n";
    o << "preheat=" << preheat << "\n";
    std::snprintf(num, sizeof num, "0x%" PRIx32, mode);
    o << "mode=" << num << "\n";
    o << "title=" << title << "\n";
    for (const Function& f : functions)
        o << "function=" << f.name << "|" << f.flags << "|" << f.definition << "\n";
    o << "timerslots=" << timerSlots << "\n";
    for (int i = 0; i < timerSlots && i < kMaxTimerSlots; ++i)
        if (timers[i].on || timers[i].off)
            o << "timer=" << i << " " << timers[i].on << " " << timers[i].off << "\n";
    o << "anchorpc=" << anchorPc << "\n";
    o << "anchorinstrument=" << anchorInstrument << "\n";
    o << "speed=" << ostrel::numbertext::General(speed, 6) << "\n";
    o << "capacity=" << capacity << "\n";
    o << "logstart=" << logStart << "\n";
    o << "memorysize=" << memory.size() << "\n";
    o << "recording=" << (recording ? 1 : 0) << "\n";
    o << "memoryfull=" << (memoryFull ? 1 : 0) << "\n";
    o << "nextend=" << nextEnd << "\n";
    o << "firstrecord=" << (firstRecord ? 1 : 0) << "\n";
    o << "signature=" << int(signatureNumber) << "\n";
    o << "battery=" << ostrel::numbertext::Fixed(batteryInternal, 2) << " " << ostrel::numbertext::Fixed(batteryExternal, 2) << "\n";
    o << "hangups=" << hangups << "\n";
    o << "downloadattempts=" << downloadAttempts << "\n";
    for (const DataLog& l : logs)
        o << "log=" << l.start << " " << l.length << " " << l.startTime << " " << l.stopTime << " " << l.lastRecord
          << "|" << l.text << "\n";
    o << "fault.connect=" << faults.connect << "\n";
    o << "fault.dropafterdownloads=" << faults.dropAfterDownloads << "\n";
    o << "fault.dropafterbytes=" << faults.dropAfterBytes << "\n";
    o << "fault.failat=" << ostrel::numbertext::General(faults.failAt, 4) << "\n";
    o << "fault.failattempts=" << faults.failAttempts << "\n";
    o << "fault.stallat=" << ostrel::numbertext::General(faults.stallAt, 4) << "\n";
    o << "fault.stallattempts=" << faults.stallAttempts << "\n";
    o << "fault.shortby=" << faults.shortBy << "\n";
    o << "fault.refusesettings=" << (faults.refuseSettings ? 1 : 0) << "\n";
    o << "fault.linespeed=" << faults.lineSpeed << "\n";
    o << "fault.dialdelayms=" << faults.dialDelayMs << "\n";
    o << "fault.chunk=" << faults.chunk << "\n";
    o << "fault.pollpaced=" << (faults.pollPaced ? 1 : 0) << "\n";
    return o.str();
}

bool Instrument::save(const std::string& dir, bool withMemory, std::string* error) const
{
    if (withMemory
        && !writeFileAtomically(dir + "/memory.bin", reinterpret_cast<const char*>(memory.data()),
                                memory.size(), error))
        return false;
    const std::string text = settingsText();
    return writeFileAtomically(dir + "/instrument.txt", text.data(), text.size(), error);
}

namespace {

bool splitLine(const std::string& line, std::string& key, std::string& value)
{
    if (line.empty() || line[0] == '#')
        return false;
    const size_t eq = line.find('=');
    if (eq == std::string::npos)
        return false;
    key = line.substr(0, eq);
    value = line.substr(eq + 1);
    while (!value.empty() && (value.back() == '\r' || value.back() == '\n'))
        value.pop_back();
    return true;
}

// A number of instrument.txt; anything else leaves the setting as it was.
void readNumber(const std::string& text, double& setting)
{
    double value = 0;
    const char* end = text.data() + text.size();
    if (ostrel::numbertext::Read(text.data(), end, value) == end && std::isfinite(value))
        setting = value;
}

// A clock time of instrument.txt; one beyond the times a clock holds leaves the setting as
// it was.
void readTime(const std::string& text, int64_t& setting)
{
    const long long value = std::strtoll(text.c_str(), nullptr, 0);
    if (value >= -kTimeLimit && value <= kTimeLimit)
        setting = value;
}

} // namespace

uint64_t Instrument::storedGeneration(const std::string& dir)
{
    std::ifstream in(dir + "/instrument.txt");
    std::string line, key, value;
    while (std::getline(in, line))
        if (splitLine(line, key, value) && key == "generation")
            return std::strtoull(value.c_str(), nullptr, 10);
    return 0;
}

bool Instrument::load(const std::string& dir, bool withMemory, std::string* error)
{
    std::ifstream in(dir + "/instrument.txt");
    if (!in) {
        if (error)
            *error = "no instrument in " + dir;
        return false;
    }
    size_t memorySize = 0;
    Instrument fresh = fromSettingsText(in, &memorySize);
    if (withMemory) {
        std::ifstream mem(dir + "/memory.bin", std::ios::binary);
        fresh.memory.assign(std::istreambuf_iterator<char>(mem), std::istreambuf_iterator<char>());
        if (fresh.memory.size() != memorySize && error)
            *error = "log memory of " + dir + " has another size than recorded";
    } else {
        fresh.memory = std::move(memory);
    }
    *this = std::move(fresh);
    return true;
}

Instrument Instrument::fromSettingsText(std::istream& in, size_t* recordedMemorySize)
{
    Instrument fresh;
    fresh.functions.clear();
    size_t memorySize = 0;
    std::string line, key, value;
    while (std::getline(in, line)) {
        if (!splitLine(line, key, value))
            continue;
        const char* v = value.c_str();
        auto i64 = [&] { return std::strtoll(v, nullptr, 0); };
        if (key == "generation") fresh.generation = std::strtoull(v, nullptr, 10);
        else if (key == "type") fresh.type = value;
        else if (key == "firmware") readNumber(value, fresh.firmware);
        else if (key == "serial") fresh.serial = uint32_t(std::strtoul(v, nullptr, 10));
        else if (key == "port") fresh.port = value;
        else if (key == "phone") fresh.phone = value;
        else if (key == "password1") fresh.passwords[1] = value;
        else if (key == "password2") fresh.passwords[2] = value;
        else if (key == "password3") fresh.passwords[3] = value;
        else if (key == "flags") fresh.statusFlags = uint32_t(std::strtoul(v, nullptr, 0));
        else if (key == "sample") fresh.samplePeriod = int32_t(i64());
        else if (key == "stat") fresh.statPeriod = int32_t(i64());
        else if (key == "timestamp") fresh.timestampPeriod = int32_t(i64());
        else if (key == "preheat") fresh.preheat = int32_t(i64());
        else if (key == "mode") fresh.mode = uint32_t(std::strtoul(v, nullptr, 0));
        else if (key == "title") fresh.title = value;
        else if (key == "function") {
            const size_t a = value.find('|');
            const size_t b = a == std::string::npos ? a : value.find('|', a + 1);
            if (b != std::string::npos)
                fresh.functions.push_back({value.substr(0, a), std::atoi(value.substr(a + 1, b - a - 1).c_str()),
                                           value.substr(b + 1)});
        } else if (key == "timerslots") fresh.timerSlots = std::clamp(int(i64()), 0, kMaxTimerSlots);
        else if (key == "timer") {
            int index = -1;
            long on = 0, off = 0;
            if (std::sscanf(v, "%d %ld %ld", &index, &on, &off) == 3 && index >= 0 && index < kMaxTimerSlots)
                fresh.timers[index] = {int32_t(on), int32_t(off)};
        } else if (key == "anchorpc") readTime(value, fresh.anchorPc);
        else if (key == "anchorinstrument") readTime(value, fresh.anchorInstrument);
        else if (key == "speed") readNumber(value, fresh.speed);
        else if (key == "capacity") fresh.capacity = uint32_t(std::strtoul(v, nullptr, 10));
        else if (key == "logstart") fresh.logStart = uint32_t(std::strtoul(v, nullptr, 10));
        else if (key == "memorysize") memorySize = size_t(std::strtoull(v, nullptr, 10));
        else if (key == "recording") fresh.recording = i64() != 0;
        else if (key == "memoryfull") fresh.memoryFull = i64() != 0;
        else if (key == "nextend") readTime(value, fresh.nextEnd);
        else if (key == "firstrecord") fresh.firstRecord = i64() != 0;
        else if (key == "signature") fresh.signatureNumber = uint8_t(i64());
        else if (key == "battery") {
            const size_t blank = value.find(' ');
            if (blank != std::string::npos) {
                readNumber(value.substr(0, blank), fresh.batteryInternal);
                readNumber(value.substr(blank + 1), fresh.batteryExternal);
            }
        } else if (key == "hangups") fresh.hangups = uint32_t(std::strtoul(v, nullptr, 10));
        else if (key == "downloadattempts") fresh.downloadAttempts = uint32_t(std::strtoul(v, nullptr, 10));
        else if (key == "log") {
            DataLog l;
            unsigned long s = 0, len = 0, st = 0, sp = 0, last = 0;
            const size_t bar = value.find('|');
            if (std::sscanf(v, "%lu %lu %lu %lu %lu", &s, &len, &st, &sp, &last) >= 4) {
                l.lastRecord = uint32_t(last);
                l.start = uint32_t(s);
                l.length = uint32_t(len);
                l.startTime = uint32_t(st);
                l.stopTime = uint32_t(sp);
                l.text = bar == std::string::npos ? std::string() : value.substr(bar + 1);
                fresh.logs.push_back(l);
            }
        } else if (key == "fault.connect") fresh.faults.connect = value;
        else if (key == "fault.dropafterdownloads") fresh.faults.dropAfterDownloads = int(i64());
        else if (key == "fault.dropafterbytes") fresh.faults.dropAfterBytes = i64();
        else if (key == "fault.failat") readNumber(value, fresh.faults.failAt);
        else if (key == "fault.failattempts") fresh.faults.failAttempts = int(i64());
        else if (key == "fault.stallat") readNumber(value, fresh.faults.stallAt);
        else if (key == "fault.stallattempts") fresh.faults.stallAttempts = int(i64());
        else if (key == "fault.shortby") fresh.faults.shortBy = i64();
        else if (key == "fault.refusesettings") fresh.faults.refuseSettings = i64() != 0;
        else if (key == "fault.linespeed") fresh.faults.lineSpeed = i64();
        else if (key == "fault.dialdelayms") fresh.faults.dialDelayMs = int32_t(i64());
        else if (key == "fault.chunk") fresh.faults.chunk = i64();
        else if (key == "fault.pollpaced") fresh.faults.pollPaced = i64() != 0;
    }
    if (fresh.statPeriod <= 0)
        fresh.statPeriod = 600;
    if (fresh.samplePeriod <= 0)
        fresh.samplePeriod = 1;
    if (fresh.speed <= 0)
        fresh.speed = 1;
    if (recordedMemorySize)
        *recordedMemorySize = memorySize;
    return fresh;
}

} // namespace varno::sim
