// The line to a simulated instrument of the bench. The instrument's state lives in its
// folder; the transport works on a copy that it reads again whenever the stored state
// changed, and every change it makes is stored under the folder's lock, so that the bench
// tool and other programs see the same instrument.
#include <quorvalin/BenchTransport.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <utility>

#include <quorvalin/BenchDownload.h>
#include <quorvalin/Quorvalin.h>
#include <quorvalin/sim/Bench.h>
#include <quorvalin/sim/Commands.h>
#include <quorvalin/sim/Instrument.h>

namespace varno::quorvalin {

namespace {

using sim::Instrument;

class BenchTransport;

// A call to the instrument found behind a port or a modem number.
class BenchCall final : public Call {
public:
    BenchCall(BenchTransport& transport, std::string port, std::string number, std::string dir, int portFd)
        : m_transport(transport), m_port(std::move(port)), m_number(std::move(number)), m_dir(std::move(dir)),
          m_portFd(portFd) {}

    ~BenchCall() override { sim::releasePort(m_portFd); }

    Dial ring(const std::atomic<bool>& abort, std::string& error) override
    {
        if (!m_number.empty()) {
            int32_t delay = 0;
            if (!m_dir.empty()) {
                Instrument probe;
                if (probe.load(m_dir, false))
                    delay = probe.faults.dialDelayMs;
            }
            // A modem call takes its time; an abort ends it.
            for (int32_t waited = 0; waited < delay && !abort; waited += 10)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (abort)
            return Dial::Aborted;
        if (m_dir.empty()) {
            error = m_number.empty() ? "No answer from instrument on " + m_port : std::string("NO CARRIER");
            return Dial::Failed;
        }
        return Dial::Answered;
    }

    Dial answer(std::string& error) override;

private:
    BenchTransport& m_transport;
    const std::string m_port, m_number, m_dir;
    int m_portFd; // handed to the transport once the line is up
};

class BenchTransport final : public Transport {
public:
    BenchTransport() : m_bench(sim::benchFolder()) {}
    ~BenchTransport() override { close(); }

    // ------------------------------------------------------------ the line
    bool hasPort(const std::string& port) override { return sim::portExists(m_bench, port); }

    std::unique_ptr<Call> call(const std::string& port, const std::string& number, std::string& error) override
    {
        std::string dir = number.empty() ? sim::findInstrumentByPort(m_bench, port)
                                         : sim::findInstrumentByPhone(m_bench, number);
        // The port stays ours while the connection lasts.
        const int portFd = sim::claimPort(m_bench, port);
        if (portFd == -1) {
            error = "Port " + port + " is in use";
            return nullptr;
        }
        return std::make_unique<BenchCall>(*this, port, number, std::move(dir), portFd);
    }

    // The greeting of the instrument in dir, with its connect faults; takes portFd over once
    // the line is up.
    Dial answer(const std::string& dir, int& portFd, std::string& error)
    {
        sim::FolderLock folderLock(dir);
        if (!m_inst.load(dir, true, &error))
            return Dial::Failed;
        const std::string& fault = m_inst.faults.connect;
        if (fault == "refuse") {
            error = "No answer from instrument";
            return Dial::Failed;
        }
        if (fault.compare(0, 6, "error:") == 0) {
            error = fault.substr(6);
            return Dial::Failed;
        }
        if (fault.compare(0, 5, "busy:") == 0) {
            const int busy = std::atoi(fault.c_str() + 5);
            if (busy > 0) {
                m_inst.faults.connect = busy > 1 ? "busy:" + std::to_string(busy - 1) : std::string();
                ++m_inst.generation;
                m_inst.save(dir, false);
                error = "BUSY";
                return Dial::Busy;
            }
        }
        m_dir = dir;
        m_portFd = std::exchange(portFd, -1);
        m_hangupsAtConnect = m_inst.hangups;
        m_downloadsThisConnection = 0;
        m_bytesThisConnection = 0;
        if (m_inst.catchUp(sim::benchClock(m_bench))) {
            ++m_inst.generation;
            m_inst.save(dir, true);
        }
        return Dial::Answered;
    }

    void close() override
    {
        sim::releasePort(m_portFd);
        m_portFd = -1;
    }

    bool changed() override { return Instrument::storedGeneration(m_dir) != m_inst.generation; }
    bool refresh(std::string& error) override { return sync(false, error); }

    // ------------------------------------------------------------ what the instrument is and holds
    int levelFor(const std::string& password) override { return m_inst.levelFor(password); }
    uint32_t statusFlags() override { return m_inst.statusFlags; }
    std::string type() override { return m_inst.type; }
    double firmware() override { return m_inst.firmware; }
    uint32_t serial() override { return m_inst.serial; }
    uint32_t logMagic() override
    {
        // Older firmware keeps one data log that is cleared after each transfer: its
        // contents tell one filling of the memory from the next. Newer firmware lists its
        // data logs by address, which needs no magic.
        return m_inst.firmware < 3.0 ? m_inst.memoryIdentity() : 0u;
    }
    std::string title() override { return m_inst.title; }
    int32_t samplePeriod() override { return m_inst.samplePeriod; }
    int32_t statisticPeriod() override { return m_inst.statPeriod; }
    int32_t timestampPeriod() override { return m_inst.timestampPeriod; }
    double freeMemory() override { return m_inst.freeMemory(); }
    double batteryVoltage(int which) override { return m_inst.batteryVoltage(which, instrumentNow()); }
    double batteryCharge(int which) override { return m_inst.batteryCharge(which, instrumentNow()); }
    uint32_t measurementMode() override { return m_inst.mode; }
    int32_t preheat() override { return m_inst.preheat; }

    bool timer(int index, int32_t& on, int32_t& off) override
    {
        if (index < 0 || index >= m_inst.timerSlots || index >= sim::kMaxTimerSlots)
            return false;
        on = m_inst.timers[index].on;
        off = m_inst.timers[index].off;
        return true;
    }

    bool clockTimeValid(int year, int month, int day, int hour, int minute, int second) override
    {
        return sim::validClockTime(year, month, day, hour, minute, second);
    }

    double clockOffset() override
    {
        // The instrument keeps whatever time it was set to; the terminal shows its own local
        // time plus this offset.
        const int64_t pc = sim::benchClock(m_bench);
        return double(m_inst.clock(pc) - (pc + sim::localOffset(pc)));
    }

    bool function(int index, FunctionInfo& out) override
    {
        if (index < 0 || index >= int(m_inst.functions.size()))
            return false;
        const sim::Function& f = m_inst.functions[size_t(index)];
        out = {f.name, f.flags, f.definition};
        return true;
    }

    std::vector<double> values() override { return m_inst.functionValues(instrumentNow()); }
    std::vector<double> statistics() override { return m_inst.functionStatistics(instrumentNow()); }

    std::vector<LogInfo> logs() override
    {
        std::vector<LogInfo> list;
        for (size_t i = 0; i < m_inst.logs.size(); ++i) {
            const sim::DataLog& log = m_inst.logs[i];
            LogInfo item;
            item.size = m_inst.logLength(i);
            if (m_inst.listsByTime()) {
                item.start = log.startTime;
                item.length = log.lastRecord > log.startTime ? log.lastRecord - log.startTime : 0;
            } else {
                item.start = log.start;
                item.length = item.size;
            }
            item.startTime = log.startTime;
            item.stopTime = log.stopTime;
            item.text = log.text;
            list.push_back(item);
        }
        return list;
    }

    uint32_t logStart() override
    {
        if (m_inst.listsByTime())
            return m_inst.logs.empty() ? 0 : m_inst.logs.front().startTime;
        return m_inst.logStart;
    }

    uint32_t logLength() override
    {
        if (m_inst.listsByTime()) {
            if (m_inst.logs.empty())
                return 0;
            const uint32_t first = m_inst.logs.front().startTime, last = m_inst.logs.back().lastRecord;
            return last > first ? last - first : 0;
        }
        return uint32_t(m_inst.memory.size());
    }

    // ------------------------------------------------------------ changes
    Change insertComment(const std::string& text) override
    {
        return apply([&](Instrument& in) {
            in.insertComment(text);
            return true;
        });
    }

    Change startMeasurement(const std::string& title) override
    {
        return apply([&](Instrument& in) {
            in.startMeasurement(instrumentNow(), title);
            return true;
        });
    }

    Change setSamplePeriod(int32_t s) override { return apply([&](Instrument& in) { return in.setSamplePeriod(s); }); }
    Change setStatisticPeriod(int32_t s) override
    {
        return apply([&](Instrument& in) { return in.setStatisticPeriod(s); });
    }
    Change setTimestampPeriod(int32_t s) override
    {
        return apply([&](Instrument& in) { return in.setTimestampPeriod(s); });
    }
    Change setMeasurementMode(uint32_t mode) override
    {
        return apply([&](Instrument& in) { return in.setMode(mode); });
    }
    Change setPreheat(int32_t s) override { return apply([&](Instrument& in) { return in.setPreheat(s); }); }
    Change setTimer(int index, int32_t on, int32_t off) override
    {
        return apply([&](Instrument& in) { return in.setTimer(index, on, off); });
    }

    Change setClock(int year, int month, int day, int hour, int minute, int second) override
    {
        return apply([&](Instrument& in) {
            if (in.faults.refuseSettings)
                return false;
            in.setClock(sim::benchClock(m_bench), sim::fromCivil(year, month, day, hour, minute, second));
            return true;
        });
    }

    Change setFunction(const std::string& name, int flags, const std::string& definition) override
    {
        std::string error;
        Change change = apply([&](Instrument& in) { return in.setFunction(name, flags, definition, error); });
        if (change.result == Change::Refused && !error.empty())
            change.error = "invalid function definition: " + error;
        return change;
    }

    Change deleteFunction(const std::string& name) override
    {
        return apply([&](Instrument& in) { return in.deleteFunction(name); });
    }

    Change clearLog() override
    {
        return apply([&](Instrument& in) {
            in.clearLog(instrumentNow());
            return true;
        });
    }

    // ------------------------------------------------------------ command line and downloads
    std::string command(const std::string& line, int level) override
    {
        sim::CommandContext context{m_inst, level, sim::benchClock(m_bench)};
        const sim::CommandResult result = sim::runCommand(context, line);
        if (result.changed) {
            sim::FolderLock folderLock(m_dir);
            ++m_inst.generation;
            m_inst.save(m_dir, true);
        }
        return result.reply;
    }

    std::unique_ptr<DownloadSource> download(uint32_t start, uint32_t length, std::string& error) override
    {
        if (m_inst.listsByTime()) {
            // A time range names the data log that starts then; it comes as it is now.
            const auto it = std::find_if(m_inst.logs.begin(), m_inst.logs.end(),
                                         [&](const sim::DataLog& l) { return l.startTime == start; });
            if (it == m_inst.logs.end()) {
                error = "no data log starts at " + quorvalin_time2string(start);
                return nullptr;
            }
            start = it->start;
            length = m_inst.logLength(size_t(it - m_inst.logs.begin()));
        }
        std::vector<uint8_t> bytes;
        if (!m_inst.readRange(start, length, bytes)) {
            char buf[120];
            std::snprintf(buf, sizeof buf, "range %" PRIu32 "+%" PRIu32 " is not in the instrument's memory", start,
                          length);
            error = buf;
            return nullptr;
        }
        return std::make_unique<BenchDownload>(std::move(bytes), [this] { return countAttempt(); });
    }

    // Counts a download attempt in the instrument, whose download faults act on the first
    // attempts, and tells the download about the line.
    BenchAttempt countAttempt()
    {
        sim::FolderLock folderLock(m_dir);
        ++m_inst.downloadAttempts;
        ++m_inst.generation;
        m_inst.save(m_dir, false);
        return {m_inst.faults, m_inst.downloadAttempts, m_bytesThisConnection, m_dir, m_inst.generation,
                m_hangupsAtConnect};
    }

    bool downloadEnded(uint64_t written, bool done) override
    {
        m_bytesThisConnection += int64_t(written);
        if (!done)
            return true;
        ++m_downloadsThisConnection;
        const int dropAfter = m_inst.faults.dropAfterDownloads;
        return dropAfter < 0 || m_downloadsThisConnection < dropAfter;
    }

private:
    int64_t instrumentNow() const { return m_inst.clock(sim::benchClock(m_bench)); }

    // Brings the copy of the instrument up to date with the bench and its clock.
    bool sync(bool folderLocked, std::string& error)
    {
        std::unique_ptr<sim::FolderLock> folderLock;
        if (!folderLocked)
            folderLock = std::make_unique<sim::FolderLock>(m_dir);
        if (Instrument::storedGeneration(m_dir) != m_inst.generation && !m_inst.load(m_dir, true, &error))
            return false;
        if (m_inst.hangups != m_hangupsAtConnect) {
            error = kLineDropped;
            return false;
        }
        if (m_inst.catchUp(sim::benchClock(m_bench))) {
            ++m_inst.generation;
            m_inst.save(m_dir, true);
        }
        return true;
    }

    // Runs a change on the instrument and stores it; a refused change is undone.
    Change apply(const std::function<bool(Instrument&)>& f)
    {
        sim::FolderLock folderLock(m_dir);
        std::string error;
        if (!sync(true, error))
            return {Change::LineLost, error};
        const size_t sizeBefore = m_inst.memory.size();
        const uint32_t startBefore = m_inst.logStart;
        if (!f(m_inst)) {
            // Undo whatever the refused change touched by reading the stored state again.
            m_inst.load(m_dir, true);
            return {Change::Refused, {}};
        }
        ++m_inst.generation;
        m_inst.save(m_dir, m_inst.memory.size() != sizeBefore || m_inst.logStart != startBefore);
        return {};
    }

    const std::string m_bench;
    std::string m_dir;
    Instrument m_inst;
    int m_portFd = -1;
    uint32_t m_hangupsAtConnect = 0;
    int m_downloadsThisConnection = 0;
    int64_t m_bytesThisConnection = 0;
};

Dial BenchCall::answer(std::string& error)
{
    return m_transport.answer(m_dir, m_portFd, error);
}

} // namespace

std::unique_ptr<Transport> benchTransport()
{
    return std::make_unique<BenchTransport>();
}

} // namespace varno::quorvalin
