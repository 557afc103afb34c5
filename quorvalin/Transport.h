#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// The instrument's side of the link: what the connection asks of the line and of the
// instrument behind it, whatever carries the bytes (a serial port, a modem, the simulated
// instruments of the bench). The connection keeps the lock, the connection state, user
// levels, error texts and the download worker; a transport keeps only the line and what it
// knows of the instrument.
//
// The connection holds its state lock around every call that uses what the transport
// knows of the line and the instrument. hasPort, call, clockTimeValid and Call::ring run
// without it (a modem call takes its time and must not hold up the other operations), so
// they must not touch that state; DownloadSource::next runs on the download worker's
// thread. The instrument is read only while the line is up.
namespace varno::quorvalin {

// The text of a line that ended unasked.
inline constexpr const char* kLineDropped = "The line has dropped";

// One attempt to reach the instrument.
enum class Dial { Answered, Busy, Failed, Aborted };

// A call in progress: the port is taken, the line not yet up.
class Call {
public:
    virtual ~Call() = default; // gives the port back unless the line came up

    // Waits for the other end (a modem call takes its time); abort ends the wait. Answered:
    // something answers, go on with answer(); Failed: error says why.
    virtual Dial ring(const std::atomic<bool>& abort, std::string& error) = 0;
    // The instrument's greeting. Answered: the line is up and the transport keeps the port
    // until close(); Busy: dial again; Failed: error says why.
    virtual Dial answer(std::string& error) = 0;
};

// What came of a change of the instrument's setup.
struct Change {
    enum Result { Done, Refused, LineLost } result = Done;
    std::string error; // why it was refused (may be empty) or why the line was lost
};

struct FunctionInfo {
    std::string name;
    int flags = 0;
    std::string definition;
};

// One data log of the listing, placed as the instrument names it.
struct LogInfo {
    uint32_t start = 0, length = 0, size = 0, startTime = 0, stopTime = 0;
    std::string text;
};

// What a download source may wait for on the worker's thread: the caller cancelling and
// the caller looking at the progress.
class DownloadWatch {
public:
    DownloadWatch(const std::atomic<bool>& cancel, const std::atomic<uint64_t>& looks)
        : m_cancel(cancel), m_looks(looks) {}

    bool cancelled() const { return m_cancel; }

    // Sleeps for the given time in short steps; false as soon as the download is cancelled.
    bool pause(int64_t ms) const
    {
        for (; ms > 0 && !m_cancel; ms -= 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min<int64_t>(ms, 10)));
        return !m_cancel;
    }

    // Waits until the caller has looked at the progress since the last block was written;
    // false when the download is cancelled meanwhile.
    bool awaitLook() const
    {
        while (m_looks <= m_looksSeen && !m_cancel)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        return !m_cancel;
    }

    // The worker has shown the progress of the block just written.
    void blockShown() { m_looksSeen = m_looks; }

private:
    const std::atomic<bool>& m_cancel;
    const std::atomic<uint64_t>& m_looks;
    uint64_t m_looksSeen = 0;
};

// The bytes of one download, block by block.
class DownloadSource {
public:
    enum class Step { Block, End, Short, Failed, Cancelled, Dropped };

    virtual ~DownloadSource() = default;

    // Bytes of the whole range asked for.
    virtual uint64_t length() const = 0;
    // Starts sending after the first bytes that a continued file already holds; readahead is
    // the caller's block count (-1: the default). Called once, with the connection's lock held.
    virtual void begin(uint64_t already, int32_t readahead) = 0;
    // Waits for the next block. Block: data and size are set; End: everything was sent;
    // Short: the instrument stopped sending before the end; Failed: a transmission error.
    virtual Step next(const uint8_t*& data, size_t& size, DownloadWatch& watch) = 0;
};

class Transport {
public:
    virtual ~Transport() = default;

    // --- the line
    virtual bool hasPort(const std::string& port) = 0;
    // Takes the port and starts a call to the instrument on it (number empty) or to the
    // modem number; nullptr with error when the port cannot be taken.
    virtual std::unique_ptr<Call> call(const std::string& port, const std::string& number, std::string& error) = 0;
    // Gives the port of the line back.
    virtual void close() = 0;
    // Whether the instrument may have changed since the last refresh (cheap to ask).
    virtual bool changed() = 0;
    // Brings what is known of the instrument up to date; false with error when the line is lost.
    virtual bool refresh(std::string& error) = 0;

    // --- what the instrument is and holds
    virtual int levelFor(const std::string& password) = 0;
    virtual uint32_t statusFlags() = 0;
    virtual std::string type() = 0;
    virtual double firmware() = 0;
    virtual uint32_t serial() = 0;
    virtual uint32_t logMagic() = 0;
    virtual std::string title() = 0;
    virtual int32_t samplePeriod() = 0;
    virtual int32_t statisticPeriod() = 0;
    virtual int32_t timestampPeriod() = 0;
    virtual double freeMemory() = 0;
    virtual double batteryVoltage(int which) = 0; // which: 0 internal, 1 external
    virtual double batteryCharge(int which) = 0;
    virtual uint32_t measurementMode() = 0;
    virtual int32_t preheat() = 0;
    virtual bool timer(int index, int32_t& on, int32_t& off) = 0; // false past the last slot
    virtual bool clockTimeValid(int year, int month, int day, int hour, int minute, int second) = 0;
    virtual double clockOffset() = 0; // instrument clock minus the PC's local time
    virtual bool function(int index, FunctionInfo& out) = 0; // false past the last function
    virtual std::vector<double> values() = 0;
    virtual std::vector<double> statistics() = 0;
    virtual std::vector<LogInfo> logs() = 0;
    virtual uint32_t logStart() = 0;
    virtual uint32_t logLength() = 0;

    // --- changes, each checked against the instrument's current state and kept by it
    virtual Change insertComment(const std::string& text) = 0;
    virtual Change startMeasurement(const std::string& title) = 0;
    virtual Change setSamplePeriod(int32_t seconds) = 0;
    virtual Change setStatisticPeriod(int32_t seconds) = 0;
    virtual Change setTimestampPeriod(int32_t seconds) = 0;
    virtual Change setMeasurementMode(uint32_t mode) = 0;
    virtual Change setPreheat(int32_t seconds) = 0;
    virtual Change setTimer(int index, int32_t on, int32_t off) = 0;
    virtual Change setClock(int year, int month, int day, int hour, int minute, int second) = 0;
    virtual Change setFunction(const std::string& name, int flags, const std::string& definition) = 0;
    virtual Change deleteFunction(const std::string& name) = 0;
    virtual Change clearLog() = 0;

    // --- the command line and downloads
    virtual std::string command(const std::string& line, int level) = 0;
    // The bytes of a range of the log memory (on firmware that lists by time, the data log
    // that starts at start); nullptr with error when the instrument does not hold it.
    virtual std::unique_ptr<DownloadSource> download(uint32_t start, uint32_t length, std::string& error) = 0;
    // A download ended after writing the given bytes (done: all of them); false when the
    // instrument drops the line now.
    virtual bool downloadEnded(uint64_t written, bool done) = 0;
};

} // namespace varno::quorvalin
