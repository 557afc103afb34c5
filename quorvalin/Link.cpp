// The link object: talks to a simulated instrument of the bench exactly as a program
// talks to a real one.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "Quorvalin.h"
#include "sim/Bench.h"
#include "sim/Commands.h"
#include "sim/Instrument.h"

namespace {

using qsim::Instrument;

std::string trim(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

bool modemInitAcceptable(const std::string& init)
{
    for (unsigned char c : init)
        if (!(std::isalnum(c) || std::strchr(" &%=+,.;-?!*#/\\^$@:", c)))
            return false;
    return init.size() <= 60;
}

const char* const kNotConnected = "not connected to an instrument";
const char* const kAccessDenied = "access denied: the user level is too low";
const char* const kRefused = "setting refused by the instrument";
const char* const kDropped = "The line has dropped";

class CLink final : public CQuorvalin {
public:
    CLink() : m_bench(qsim::benchFolder()) { m_idleStart = qsim::spanClockMs(); }

    ~CLink() override
    {
        stopDownload();
        qsim::releasePort(m_portFd);
    }

    // ------------------------------------------------------------ 1. lock
    bool Lock(int32_t ms) override
    {
        std::unique_lock<std::mutex> guard(m_lockMutex);
        const auto self = std::this_thread::get_id();
        if (m_lockCount > 0 && m_lockOwner == self) {
            ++m_lockCount;
            return true;
        }
        if (ms < 0)
            m_lockFree.wait(guard, [&] { return m_lockCount == 0; });
        else if (!m_lockFree.wait_for(guard, std::chrono::milliseconds(ms), [&] { return m_lockCount == 0; }))
            return false;
        m_lockOwner = self;
        m_lockCount = 1;
        return true;
    }

    void Unlock() override
    {
        std::lock_guard<std::mutex> guard(m_lockMutex);
        if (m_lockCount == 0 || m_lockOwner != std::this_thread::get_id())
            return; // not held by this thread: nothing to release
        if (--m_lockCount == 0) {
            m_lockOwner = std::thread::id();
            m_lockFree.notify_one();
        }
    }

    bool TryLock() override
    {
        std::lock_guard<std::mutex> guard(m_lockMutex);
        if (m_lockCount != 0)
            return false; // held, even by the calling thread
        m_lockOwner = std::this_thread::get_id();
        m_lockCount = 1;
        return true;
    }

    // ------------------------------------------------------------ 2. connection
    bool Connect(const std::string& connection, const std::string& modemInit,
                 const std::string& dialMethod, int attempts) override
    {
        stopDownload();
        {
            std::lock_guard<std::recursive_mutex> g(m_mutex);
            dropConnection();
            m_abort = false;
            m_error.clear();
        }
        const std::string text = trim(connection);
        const size_t blank = text.find(' ');
        const std::string port = text.substr(0, blank);
        const std::string number = blank == std::string::npos ? std::string() : trim(text.substr(blank + 1));
        if (text.empty())
            return fail("no connection given");
        if (!qsim::portExists(m_bench, port))
            return fail("Port " + port + " is not available");
        if (!number.empty() && !modemInitAcceptable(modemInit))
            return fail("Modem rejected the initialisation AT" + modemInit);
        if (!dialMethod.empty() && dialMethod != "0" && dialMethod != "default" && dialMethod != "tone"
            && dialMethod != "pulse")
            return fail("Unknown dialling method " + dialMethod);

        const std::string dir = number.empty() ? qsim::findInstrumentByPort(m_bench, port)
                                               : qsim::findInstrumentByPhone(m_bench, number);
        // The port stays ours while the connection lasts.
        const int portFd = qsim::claimPort(m_bench, port);
        if (portFd == -1)
            return fail("Port " + port + " is in use");
        struct PortGuard {
            int fd;
            ~PortGuard() { qsim::releasePort(fd); }
        } guard{portFd};
        for (int attempt = 0; attempt < std::max(1, attempts); ++attempt) {
            if (!number.empty()) {
                int32_t delay = 0;
                if (!dir.empty()) {
                    Instrument probe;
                    if (probe.load(dir, false))
                        delay = probe.faults.dialDelayMs;
                }
                // A modem call takes its time; AbortConnect ends it.
                for (int32_t waited = 0; waited < delay && !m_abort; waited += 10)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            if (m_abort)
                return fail("Connection aborted");
            if (dir.empty())
                return fail(number.empty() ? "No answer from instrument on " + port : std::string("NO CARRIER"));

            std::lock_guard<std::recursive_mutex> g(m_mutex);
            qsim::FolderLock folderLock(dir);
            std::string error;
            if (!m_inst.load(dir, true, &error))
                return fail(error);
            const std::string& fault = m_inst.faults.connect;
            if (fault == "refuse")
                return fail("No answer from instrument");
            if (fault.compare(0, 6, "error:") == 0)
                return fail(fault.substr(6));
            if (fault.compare(0, 5, "busy:") == 0) {
                const int busy = std::atoi(fault.c_str() + 5);
                if (busy > 0) {
                    m_inst.faults.connect = busy > 1 ? "busy:" + std::to_string(busy - 1) : std::string();
                    ++m_inst.generation;
                    m_inst.save(dir, false);
                    m_error = "BUSY";
                    continue; // dial again
                }
            }
            m_dir = dir;
            m_connected = true;
            m_portFd = guard.fd;
            guard.fd = -1;
            m_connection = text;
            m_level = m_inst.levelFor(m_password);
            m_hangupsAtConnect = m_inst.hangups;
            m_downloadsThisConnection = 0;
            m_bytesThisConnection = 0;
            m_error.clear();
            if (m_inst.catchUp(qsim::benchClock(m_bench))) {
                ++m_inst.generation;
                m_inst.save(dir, true);
            }
            return true;
        }
        return false;
    }

    bool Disconnect() override
    {
        stopDownload();
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        dropConnection();
        return true;
    }

    bool IsConnected() override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        if (m_connected && qsim::Instrument::storedGeneration(m_dir) != m_inst.generation)
            sync();
        return m_connected;
    }

    std::string GetConnectionText() override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        return m_connected ? m_connection : std::string();
    }

    void AbortConnect() override { m_abort = true; }

    bool Update() override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        return sync();
    }

    uint32_t GetStatusFlags() override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        return m_connected ? m_inst.statusFlags : 0;
    }

    // ------------------------------------------------------------ 3. identity
    std::string GetInstrumentType() override { return read<std::string>([&] { return m_inst.type; }); }
    double GetFirmwareVersion() override { return read<double>([&] { return m_inst.firmware; }); }
    uint32_t GetSerialNumber() override { return read<uint32_t>([&] { return m_inst.serial; }); }
    uint32_t GetLogMagic() override
    {
        // Older firmware keeps one data log that is cleared after each transfer: its
        // contents tell one filling of the memory from the next. Newer firmware lists its
        // data logs by address, which needs no magic.
        return read<uint32_t>([&] { return m_inst.firmware < 3.0 ? m_inst.memoryIdentity() : 0u; });
    }
    std::string GetMeasurementTitle() override { return read<std::string>([&] { return m_inst.title; }); }

    // ------------------------------------------------------------ 4. periods, memory, batteries
    int32_t GetSamplePeriod() override { return read<int32_t>([&] { return m_inst.samplePeriod; }); }
    int32_t GetStatisticPeriod() override { return read<int32_t>([&] { return m_inst.statPeriod; }); }
    int32_t GetTimestampPeriod() override { return read<int32_t>([&] { return m_inst.timestampPeriod; }); }
    double GetFreeMemory() override { return read<double>([&] { return m_inst.freeMemory(); }); }
    double GetBatteryVoltage(int which) override
    {
        return read<double>([&] { return which == 0 || which == 1 ? m_inst.batteryVoltage(which, instrumentNow()) : 0.0; });
    }
    double GetBatteryCharge(int which) override
    {
        return read<double>([&] { return which == 0 || which == 1 ? m_inst.batteryCharge(which, instrumentNow()) : 0.0; });
    }

    // ------------------------------------------------------------ 5. measurement
    bool InsertComment(const std::string& text) override
    {
        return change(1, [&](Instrument& in) {
            in.insertComment(text);
            return true;
        });
    }

    bool StartNewMeasurement(const std::string& title) override
    {
        return change(2, [&](Instrument& in) {
            in.startMeasurement(instrumentNow(), title);
            return true;
        });
    }

    bool SetSamplePeriod(int32_t s) override { return change(2, [&](Instrument& in) { return in.setSamplePeriod(s); }); }
    bool SetStatisticPeriod(int32_t s) override { return change(2, [&](Instrument& in) { return in.setStatisticPeriod(s); }); }
    bool SetTimestampPeriod(int32_t s) override { return change(2, [&](Instrument& in) { return in.setTimestampPeriod(s); }); }
    uint32_t GetMeasurementMode() override { return read<uint32_t>([&] { return m_inst.mode; }); }
    bool SetMeasurementMode(uint32_t mode) override { return change(2, [&](Instrument& in) { return in.setMode(mode); }); }
    int32_t GetPreheat() override { return read<int32_t>([&] { return m_inst.preheat; }); }
    bool SetPreheat(int32_t s) override { return change(2, [&](Instrument& in) { return in.setPreheat(s); }); }

    // ------------------------------------------------------------ 6. timers and clock
    bool SetModemTimer(int index, int32_t on, int32_t off) override
    {
        return change(2, [&](Instrument& in) { return in.setTimer(index, on, off); });
    }

    bool GetModemTimer(int index, int32_t& on, int32_t& off) override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        if (!m_connected || index < 0 || index >= m_inst.timerSlots || index >= qsim::kMaxTimerSlots)
            return false;
        on = m_inst.timers[index].on;
        off = m_inst.timers[index].off;
        return true;
    }

    bool SetClock(int year, int month, int day, int hour, int minute, int second) override
    {
        if (!qsim::validClockTime(year, month, day, hour, minute, second)) {
            char text[96];
            std::snprintf(text, sizeof text, "invalid date or time: %04d-%02d-%02d %02d:%02d:%02d", year, month, day,
                          hour, minute, second);
            std::lock_guard<std::recursive_mutex> g(m_mutex);
            m_error = text;
            return false;
        }
        return change(2, [&](Instrument& in) {
            if (in.faults.refuseSettings)
                return false;
            in.setClock(qsim::benchClock(m_bench), qsim::fromCivil(year, month, day, hour, minute, second));
            return true;
        });
    }

    double GetClockOffset() override
    {
        // The instrument keeps whatever time it was set to; the terminal shows its own local
        // time plus this offset.
        return read<double>([&] {
            const int64_t pc = qsim::benchClock(m_bench);
            return double(m_inst.clock(pc) - (pc + qsim::localOffset(pc)));
        });
    }

    // ------------------------------------------------------------ 7. functions
    std::string GetFunctionName(int i) override { return function(i, [](const qsim::Function& f) { return f.name; }); }
    std::string GetFunctionDefinition(int i) override
    {
        return function(i, [](const qsim::Function& f) { return f.definition; });
    }
    int GetFunctionStatistics(int i) override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        if (!m_connected || i < 0 || i >= int(m_inst.functions.size()))
            return 0;
        return m_inst.functions[size_t(i)].flags;
    }

    bool SetFunction(const std::string& name, int flags, const std::string& definition) override
    {
        std::string error;
        const bool ok = change(2, [&](Instrument& in) { return in.setFunction(name, flags, definition, error); });
        if (!ok && !error.empty()) {
            std::lock_guard<std::recursive_mutex> g(m_mutex);
            m_error = "invalid function definition: " + error;
        }
        return ok;
    }

    bool DeleteFunction(const std::string& name) override
    {
        return change(2, [&](Instrument& in) { return in.deleteFunction(name); });
    }

    // ------------------------------------------------------------ 8. user level
    int Login(const std::string& password) override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        if (!m_connected) {
            m_error = kNotConnected;
            return 0;
        }
        const int level = m_inst.levelFor(password);
        if (level < 1) {
            m_error = "password rejected";
            return level;
        }
        m_level = level;
        return level;
    }

    int GetUserLevel() override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        return m_connected ? m_level : 0;
    }

    void SetPassword(const std::string& password) override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        m_password = password;
    }

    // ------------------------------------------------------------ 9. live values
    bool ReadValues(int first, int count) override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        if (!allowed(1) || !sync())
            return false;
        m_values = slice(m_inst.functionValues(instrumentNow()), first, count, 64);
        return true;
    }

    int GetValues(double* values, int max) override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        return copyOut(m_values, values, max);
    }

    bool ReadStatistics(int first, int count) override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        if (!allowed(1) || !sync())
            return false;
        m_statistics = slice(m_inst.functionStatistics(instrumentNow()), first, count, 256);
        return true;
    }

    int GetStatistics(double* values, int max) override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        return copyOut(m_statistics, values, max);
    }

    // ------------------------------------------------------------ 10. command line
    std::string SendCommand(const std::string& line, int, int) override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        if (!m_connected || !sync()) {
            m_error = kNotConnected;
            return {};
        }
        qsim::CommandContext context{m_inst, m_level, qsim::benchClock(m_bench)};
        const qsim::CommandResult result = qsim::runCommand(context, line);
        if (result.changed) {
            qsim::FolderLock folderLock(m_dir);
            ++m_inst.generation;
            m_inst.save(m_dir, true);
        }
        return result.reply;
    }

    bool ClearDataLog() override
    {
        return change(2, [&](Instrument& in) {
            in.clearLog(instrumentNow());
            return true;
        });
    }

    // ------------------------------------------------------------ 11. download
    bool StartDownload(const std::string& path, int mode, uint32_t start, uint32_t length) override
    {
        std::lock_guard<std::mutex> control(m_downloadControl);
        if (m_downloading) {
            std::lock_guard<std::recursive_mutex> g(m_mutex);
            m_error = "a download is running";
            return false;
        }
        joinWorker(); // collects the finished thread
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        m_downloadFile = path;
        m_progress = 0.0;
        if (!allowed(1) || !sync())
            return false;
        if (mode != 0 && mode != 1) {
            m_error = "unknown download mode";
            return false;
        }
        if (m_inst.listsByTime()) {
            // A time range names the data log that starts then; it comes as it is now.
            const auto it = std::find_if(m_inst.logs.begin(), m_inst.logs.end(),
                                         [&](const qsim::DataLog& l) { return l.startTime == start; });
            if (it == m_inst.logs.end()) {
                m_error = "no data log starts at " + quorvalin_time2string(start);
                return false;
            }
            start = it->start;
            length = m_inst.logLength(size_t(it - m_inst.logs.begin()));
        }
        std::vector<uint8_t> bytes;
        if (!m_inst.readRange(start, length, bytes)) {
            char buf[120];
            std::snprintf(buf, sizeof buf, "range %" PRIu32 "+%" PRIu32 " is not in the instrument's memory", start, length);
            m_error = buf;
            return false;
        }
        int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
        flags |= mode == 1 ? O_TRUNC : O_APPEND;
        const int fd = ::open(path.c_str(), flags, 0644);
        if (fd < 0) {
            m_error = "cannot write " + path + ": " + std::strerror(errno);
            return false;
        }
        uint64_t already = 0;
        if (mode == 0) {
            struct stat st;
            if (::fstat(fd, &st) == 0)
                already = uint64_t(st.st_size);
            if (already > length) {
                ::close(fd);
                m_error = "the file to continue is longer than the data log";
                return false;
            }
        }
        // Count the attempt in the instrument (faults act on the first attempts).
        {
            qsim::FolderLock folderLock(m_dir);
            ++m_inst.downloadAttempts;
            ++m_inst.generation;
            m_inst.save(m_dir, false);
        }
        Job job;
        job.fd = fd;
        job.mode = mode;
        job.path = path;
        job.bytes.assign(bytes.begin() + long(already), bytes.end());
        job.already = already;
        job.total = length;
        const qsim::Faults& f = m_inst.faults;
        job.failAt = (f.failAt >= 0 && int(m_inst.downloadAttempts) <= f.failAttempts) ? f.failAt : -1;
        job.stallAt = (f.stallAt >= 0 && int(m_inst.downloadAttempts) <= f.stallAttempts) ? f.stallAt : -1;
        job.deliver = f.shortBy > 0 ? uint64_t(std::max<int64_t>(0, int64_t(job.bytes.size()) - f.shortBy)) : job.bytes.size();
        job.lineSpeed = f.lineSpeed;
        job.dropAfterBytes = f.dropAfterBytes >= 0 ? f.dropAfterBytes - m_bytesThisConnection : -1;
        job.chunk = f.chunk > 0 ? size_t(f.chunk) : (m_readahead > 0 ? size_t(m_readahead) * 256 : 1024);
        job.pollPaced = f.pollPaced;
        job.dir = m_dir;
        job.generation = m_inst.generation;
        job.hangups = m_hangupsAtConnect;
        m_polls = 0;
        m_cancel = false;
        m_progress = length == 0 ? 1.0 : double(already) / double(length);
        m_downloading = true;
        m_thread = std::thread([this, job = std::move(job)]() mutable { runDownload(job); });
        return true;
    }

    void CancelDownload() override { m_cancel = true; }
    bool IsDownloading() override { return m_downloading; }
    double GetDownloadProgress() override
    {
        ++m_polls; // counted before the look, so a poll-paced block is always seen
        return m_progress;
    }
    std::string GetDownloadFile() override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        return m_downloadFile;
    }

    // ------------------------------------------------------------ 12. list of data logs
    void SetReadahead(int32_t blocks) override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        m_readahead = blocks;
    }

    bool ReadFileList() override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        m_list.clear();
        m_listPos = -1;
        if (!allowed(1) || !sync())
            return false;
        for (size_t i = 0; i < m_inst.logs.size(); ++i) {
            const qsim::DataLog& log = m_inst.logs[i];
            ListItem item;
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
            m_list.push_back(item);
        }
        return true;
    }

    bool NextFile() override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        if (m_listPos + 1 >= int(m_list.size())) {
            m_listPos = int(m_list.size());
            return false;
        }
        ++m_listPos;
        return true;
    }

    std::string GetFileText() override { return listItem<std::string>([](const ListItem& l) { return l.text; }); }
    uint32_t GetFileSize() override { return listItem<uint32_t>([](const ListItem& l) { return l.size; }); }
    uint32_t GetFileStart() override { return listItem<uint32_t>([](const ListItem& l) { return l.start; }); }
    uint32_t GetFileLength() override { return listItem<uint32_t>([](const ListItem& l) { return l.length; }); }
    uint32_t GetFileStartTime() override { return listItem<uint32_t>([](const ListItem& l) { return l.startTime; }); }
    uint32_t GetFileStopTime() override { return listItem<uint32_t>([](const ListItem& l) { return l.stopTime; }); }

    void SetFileListRange(uint32_t start, uint32_t length) override
    {
        // The range the caller already holds; the simulated memory is read in full anyway,
        // so the listing stays complete.
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        m_rangeStart = start;
        m_rangeLength = length;
    }

    uint32_t GetLogStart() override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        if (!m_connected || !sync())
            return 0;
        if (m_inst.listsByTime())
            return m_inst.logs.empty() ? 0 : m_inst.logs.front().startTime;
        return m_inst.logStart;
    }

    uint32_t GetLogLength() override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        if (!m_connected || !sync())
            return 0;
        if (m_inst.listsByTime()) {
            if (m_inst.logs.empty())
                return 0;
            const uint32_t first = m_inst.logs.front().startTime, last = m_inst.logs.back().lastRecord;
            return last > first ? last - first : 0;
        }
        return uint32_t(m_inst.memory.size());
    }

    // ------------------------------------------------------------ 13. housekeeping
    void ResetLink() override
    {
        stopDownload();
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        m_error.clear();
        m_abort = false;
        m_list.clear();
        m_listPos = -1;
    }

    std::string GetLastErrorText() override
    {
        // Reading the text hands it over: the next call reports only newer errors.
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        std::string text;
        text.swap(m_error);
        return text;
    }

    int32_t IdleTime(int peek) override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        const int64_t now = qsim::spanClockMs();
        if (peek == 0) {
            m_idleStart = now;
            return 0;
        }
        if (m_busy)
            return 0;
        return int32_t(std::clamp<int64_t>((now - m_idleStart) / 1000, 0, INT32_MAX));
    }

    void SetBusy(int on) override
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        m_busy = on != 0;
        if (!m_busy)
            m_idleStart = qsim::spanClockMs();
    }

private:
    struct Job {
        int fd = -1;
        int mode = 1;
        std::string path;
        std::vector<uint8_t> bytes; // what remains to be sent
        uint64_t already = 0;       // bytes the continued file held
        uint64_t total = 0;         // length asked for
        uint64_t deliver = 0;       // bytes the instrument will actually send
        double failAt = -1;
        double stallAt = -1;
        int64_t lineSpeed = 0;
        int64_t dropAfterBytes = -1;
        size_t chunk = 1024;
        bool pollPaced = false;
        std::string dir;         // of the instrument, to notice a hang-up of the bench
        uint64_t generation = 0; // of the stored state last looked at
        uint32_t hangups = 0;    // at connect
    };

    template <typename T, typename F>
    T read(F f)
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        return m_connected ? T(f()) : T();
    }

    template <typename T, typename F>
    T listItem(F f)
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        if (m_listPos < 0 || m_listPos >= int(m_list.size()))
            return T();
        return f(m_list[size_t(m_listPos)]);
    }

    template <typename F>
    std::string function(int i, F f)
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        if (!m_connected || i < 0 || i >= int(m_inst.functions.size()))
            return {};
        return f(m_inst.functions[size_t(i)]);
    }

    static std::vector<double> slice(const std::vector<double>& all, int first, int count, size_t cap)
    {
        std::vector<double> out;
        const size_t from = size_t(std::max(0, first));
        const size_t to = count > 0 ? std::min(all.size(), from + size_t(count)) : all.size();
        for (size_t i = from; i < to && out.size() < cap; ++i)
            out.push_back(all[i]);
        return out;
    }

    static int copyOut(const std::vector<double>& from, double* to, int max)
    {
        if (!to || max <= 0)
            return 0;
        const int n = std::min(int(from.size()), max);
        std::copy(from.begin(), from.begin() + n, to);
        return n;
    }

    int64_t instrumentNow() const { return m_inst.clock(qsim::benchClock(m_bench)); }

    bool fail(const std::string& error)
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        m_error = error;
        m_connected = false;
        return false;
    }

    void dropConnection()
    {
        qsim::releasePort(m_portFd);
        m_portFd = -1;
        m_connected = false;
        m_connection.clear();
        m_level = 0;
        m_list.clear();
        m_listPos = -1;
        m_values.clear();
        m_statistics.clear();
    }

    bool allowed(int level)
    {
        if (!m_connected) {
            m_error = kNotConnected;
            return false;
        }
        if (m_level < level) {
            m_error = kAccessDenied;
            return false;
        }
        return true;
    }

    // Brings the cached instrument up to date with the bench and its clock. Caller holds m_mutex.
    bool sync(bool folderLocked = false)
    {
        if (!m_connected)
            return false;
        std::unique_ptr<qsim::FolderLock> folderLock;
        if (!folderLocked)
            folderLock = std::make_unique<qsim::FolderLock>(m_dir);
        if (Instrument::storedGeneration(m_dir) != m_inst.generation) {
            std::string error;
            if (!m_inst.load(m_dir, true, &error)) {
                m_error = error;
                dropConnection();
                return false;
            }
        }
        if (m_inst.hangups != m_hangupsAtConnect) {
            m_error = kDropped;
            dropConnection();
            return false;
        }
        if (m_inst.catchUp(qsim::benchClock(m_bench))) {
            ++m_inst.generation;
            m_inst.save(m_dir, true);
        }
        return true;
    }

    // Runs a change on the instrument at the given user level and stores it.
    bool change(int level, const std::function<bool(Instrument&)>& f)
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        if (!allowed(level))
            return false;
        qsim::FolderLock folderLock(m_dir);
        if (!sync(true))
            return false;
        const size_t sizeBefore = m_inst.memory.size();
        const uint32_t startBefore = m_inst.logStart;
        if (!f(m_inst)) {
            if (m_error.empty())
                m_error = kRefused;
            // Undo whatever the refused change touched by reading the stored state again.
            m_inst.load(m_dir, true);
            return false;
        }
        ++m_inst.generation;
        m_inst.save(m_dir, m_inst.memory.size() != sizeBefore || m_inst.logStart != startBefore);
        return true;
    }

    void stopDownload()
    {
        std::lock_guard<std::mutex> control(m_downloadControl);
        m_cancel = true;
        joinWorker();
    }

    // Caller holds m_downloadControl and not m_mutex, which the ending worker takes.
    void joinWorker()
    {
        if (m_thread.joinable())
            m_thread.join();
        m_downloading = false;
    }

    // Whether the bench hung up the line since the download started; the stored state is
    // read again only when it changed.
    static bool hungUp(Job& job)
    {
        const uint64_t generation = Instrument::storedGeneration(job.dir);
        if (generation == job.generation)
            return false;
        job.generation = generation;
        Instrument stored;
        return stored.load(job.dir, false) && stored.hangups != job.hangups;
    }

    void runDownload(Job& job)
    {
        uint64_t sent = 0;
        uint64_t pollsSeen = 0;
        enum { Running, Done, Short, Failed, Cancelled, Dropped, WriteError } outcome = Running;
        while (outcome == Running) {
            if (m_cancel) {
                outcome = Cancelled;
                break;
            }
            if (sent >= job.deliver) {
                outcome = job.deliver < job.bytes.size() ? Short : Done;
                break;
            }
            size_t n = size_t(std::min<uint64_t>(job.chunk, job.deliver - sent));
            const double before = double(job.already + sent) / double(job.total);
            if (job.failAt >= 0) {
                const uint64_t failByte = uint64_t(job.failAt * double(job.total));
                if (job.already + sent >= failByte) {
                    outcome = Failed;
                    break;
                }
                n = size_t(std::min<uint64_t>(n, failByte - job.already - sent));
            }
            if (job.stallAt >= 0) {
                // The instrument stops sending but keeps the line: only a cancel ends the wait.
                const uint64_t stallByte = uint64_t(job.stallAt * double(job.total));
                if (job.already + sent >= stallByte) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                    continue;
                }
                n = size_t(std::min<uint64_t>(n, stallByte - job.already - sent));
            }
            if (job.dropAfterBytes >= 0) {
                if (int64_t(sent) >= job.dropAfterBytes) {
                    outcome = Dropped;
                    break;
                }
                n = size_t(std::min<int64_t>(int64_t(n), job.dropAfterBytes - int64_t(sent)));
            }
            (void)before;
            if (job.pollPaced) {
                // The next block goes out once the caller has looked at the progress.
                while (m_polls <= pollsSeen && !m_cancel)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                if (m_cancel)
                    continue;
            }
            if (job.lineSpeed > 0) {
                // The line needs its time for these bytes; a cancel ends the wait.
                int64_t waitMs = int64_t(n) * 1000 / job.lineSpeed;
                while (waitMs > 0 && !m_cancel) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int64_t>(waitMs, 10)));
                    waitMs -= 10;
                }
                if (m_cancel)
                    continue;
            }
            if (hungUp(job)) {
                outcome = Dropped;
                break;
            }
            const uint8_t* p = job.bytes.data() + sent;
            size_t left = n;
            while (left > 0) {
                const ssize_t w = ::write(job.fd, p, left);
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0)
                    break;
                p += w;
                left -= size_t(w);
            }
            if (left != 0) {
                outcome = WriteError;
                break;
            }
            sent += n;
            m_progress = job.total == 0 ? 1.0 : double(job.already + sent) / double(job.total);
            pollsSeen = m_polls;
        }
        const bool closed = ::close(job.fd) == 0;
        if (outcome == Done && !closed)
            outcome = WriteError;

        std::lock_guard<std::recursive_mutex> g(m_mutex);
        m_bytesThisConnection += int64_t(sent);
        switch (outcome) {
        case Done:
            m_progress = job.total == 0 ? 1.0 : double(job.already + sent) / double(job.total);
            ++m_downloadsThisConnection;
            if (m_inst.faults.dropAfterDownloads >= 0 && m_downloadsThisConnection >= m_inst.faults.dropAfterDownloads) {
                m_error = kDropped;
                dropConnection();
            }
            break;
        case Short: {
            char buf[120];
            std::snprintf(buf, sizeof buf, "the instrument sent %" PRIu64 " of %" PRIu64 " bytes",
                          job.already + sent, job.total);
            m_error = buf;
            break;
        }
        case Failed:
            m_error = "download failed: transmission error";
            break;
        case Cancelled:
            m_error = "download cancelled";
            break;
        case Dropped:
            m_error = kDropped;
            dropConnection();
            break;
        case WriteError:
            m_error = "cannot write " + job.path;
            break;
        case Running:
            break;
        }
        if (outcome != Done && job.mode == 1)
            ::unlink(job.path.c_str());
        if (outcome != Done && m_progress >= 1.0)
            m_progress = 0.999;
        m_downloading = false;
    }

    // user lock
    std::mutex m_lockMutex;
    std::condition_variable m_lockFree;
    std::thread::id m_lockOwner;
    int m_lockCount = 0;

    // link state
    std::recursive_mutex m_mutex;
    const std::string m_bench;
    std::string m_dir;
    Instrument m_inst;
    bool m_connected = false;
    std::string m_connection;
    std::string m_password;
    int m_level = 0;
    std::string m_error;
    std::atomic<bool> m_abort{false};
    uint32_t m_hangupsAtConnect = 0;
    int m_portFd = -1;
    int m_downloadsThisConnection = 0;
    int64_t m_bytesThisConnection = 0;

    struct ListItem {
        uint32_t start = 0, length = 0, size = 0, startTime = 0, stopTime = 0;
        std::string text;
    };
    std::vector<ListItem> m_list;
    int m_listPos = -1;
    uint32_t m_rangeStart = 0, m_rangeLength = 0;
    int32_t m_readahead = -1;

    std::vector<double> m_values, m_statistics;

    // Starting, stopping and joining the download worker; taken before m_mutex, never after.
    std::mutex m_downloadControl;
    std::thread m_thread;
    std::atomic<bool> m_downloading{false};
    std::atomic<bool> m_cancel{false};
    std::atomic<double> m_progress{0.0};
    std::atomic<uint64_t> m_polls{0};
    std::string m_downloadFile;

    int64_t m_idleStart = 0; // milliseconds of the span clock
    bool m_busy = false;
};

} // namespace

CQuorvalin* CQuorvalin::newObject()
{
    return new CLink();
}

CQuorvalin::~CQuorvalin() = default;
