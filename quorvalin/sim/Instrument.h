#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

// The simulated instrument: its settings, clock, log memory and the records it writes into
// that memory as its clock runs. Times are seconds since 1970-01-01 00:00:00; "pc" times
// are the PC's clock in UTC, "instrument" times the instrument's own clock.
namespace varno::sim {

struct Function {
    std::string name;
    int flags = 0x01; // 0x01 mean, 0x02 sigma, 0x04 max, 0x08 min, 0x10 mean360
    std::string definition;
};

struct TimerSlot {
    int32_t on = 0;
    int32_t off = 0;
};

// One data log in the log memory; the last one may still be recording (stopTime 0).
struct DataLog {
    uint32_t start = 0;
    uint32_t length = 0; // of a closed log; a running log reaches to the end of the data
    uint32_t startTime = 0;
    uint32_t stopTime = 0;
    uint32_t lastRecord = 0; // start time of the last statistics interval recorded (0: none)
    std::string text;
};

// Faults that tests and demos switch on per instrument.
struct Faults {
    std::string connect;          // "" | "refuse" | "error:<text>" | "busy:<n calls>"
    int dropAfterDownloads = -1;  // line drops after that many finished downloads
    int64_t dropAfterBytes = -1;  // line drops after that many bytes of one connection
    double failAt = -1;           // downloads fail at this fraction ...
    int failAttempts = 0;         // ... for this many attempts
    double stallAt = -1;          // downloads stop sending at this fraction, the line kept open ...
    int stallAttempts = 0;        // ... for this many attempts
    int64_t shortBy = 0;          // downloads deliver this many bytes less than asked
    bool refuseSettings = false;  // every change of a setting is refused
    int64_t lineSpeed = 0;        // bytes per second; 0: as fast as possible
    int32_t dialDelayMs = 0;      // time a modem call takes
    int64_t chunk = 0;            // bytes per block of a download; 0: the link's choice
    bool pollPaced = false;       // each block waits for one GetDownloadProgress call
};

constexpr int kMaxFunctions = 16;
constexpr int kMaxTimerSlots = 16;

class Instrument {
public:
    // Identity and access.
    std::string type = "varno310";
    double firmware = 3.2;
    uint32_t serial = 1;
    std::string port;  // direct line, e.g. "COM3"
    std::string phone; // modem number
    std::string passwords[4]; // [1] restricted, [2] full access, [3] system; [0] unused
    uint32_t statusFlags = 0x3E0;

    // Measurement setup.
    int32_t samplePeriod = 1;
    int32_t statPeriod = 600;
    int32_t timestampPeriod = 3600;
    int32_t preheat = 0;
    uint32_t mode = 0x0C;
    std::string title = "Measurement";
    std::vector<Function> functions;
    int timerSlots = 8;
    TimerSlot timers[kMaxTimerSlots];

    // Clock: instrument time = anchorInstrument + (pc - anchorPc) * speed.
    int64_t anchorPc = 0;
    int64_t anchorInstrument = 0;
    double speed = 1.0;

    // Log memory: bytes from logStart; capacity is the memory size.
    uint32_t capacity = 1u << 20;
    uint32_t logStart = 0;
    std::vector<uint8_t> memory;
    std::vector<DataLog> logs;
    bool recording = true;
    bool memoryFull = false;
    int64_t nextEnd = 0;      // instrument time at which the gathered interval ends
    bool firstRecord = true;  // no statistics record yet in the running data log
    uint8_t signatureNumber = 0;

    // Batteries (volts at full charge) and counters kept across programs.
    double batteryInternal = 7.0;
    double batteryExternal = 13.4;
    uint32_t hangups = 0;         // raised by the bench to drop every open line
    uint32_t downloadAttempts = 0;

    Faults faults;
    uint64_t generation = 0; // raised by every saved change

    // --- clock ---
    int64_t clock(int64_t pcNow) const;
    void setClock(int64_t pcNow, int64_t instrumentTime); // writes "set time" and a time line
    void setSpeed(int64_t pcNow, double factor);

    // Firmware before 3.0 lists and downloads its data logs by time: a data log is named by
    // its start time and the seconds up to its last statistics record.
    bool listsByTime() const { return firmware > 0 && firmware < 3.0; }

    // --- memory ---
    uint32_t dataEnd() const { return logStart + uint32_t(memory.size()); }
    double freeMemory() const;
    uint32_t logLength(size_t index) const;
    // Identity of the memory from its start, as the conversion library computes it for a file.
    uint32_t memoryIdentity() const;
    bool readRange(uint32_t start, uint32_t length, std::vector<uint8_t>& out) const;

    // --- running ---
    // Writes every record due up to the instrument's clock at pcNow; false when nothing changed.
    bool catchUp(int64_t pcNow);
    void advanceTo(int64_t instrumentTime);
    // Closes the running data log (if any) at the instrument time t and opens the next.
    void startMeasurement(int64_t t, const std::string& newTitle);
    void insertComment(const std::string& text);
    void clearLog(int64_t t);
    // A settings line in the running log ("# set stat period 300").
    void logSetting(const std::string& line);

    // --- settings (false: refused; rounded values are taken silently) ---
    bool setSamplePeriod(int32_t seconds);
    bool setStatisticPeriod(int32_t seconds);
    bool setTimestampPeriod(int32_t seconds);
    bool setPreheat(int32_t seconds);
    bool setMode(uint32_t newMode);
    bool setTimer(int index, int32_t on, int32_t off);
    // Checks the definition; "" in error when accepted.
    bool setFunction(const std::string& name, int flags, const std::string& definition,
                     std::string& error);
    bool deleteFunction(const std::string& name);
    int levelFor(const std::string& password) const;

    // --- live values at an instrument time ---
    std::vector<double> functionValues(int64_t t) const;
    // Per function, in the order mean, sigma, min, max of its flags, over the statistic
    // period that is running at t.
    std::vector<double> functionStatistics(int64_t t) const;
    double batteryVoltage(int which, int64_t t) const;
    double batteryCharge(int which, int64_t t) const;

    // --- storage ---
    // Folder layout: instrument.txt (settings and state), memory.bin (log memory image).
    bool load(const std::string& dir, bool withMemory, std::string* error = nullptr);
    bool save(const std::string& dir, bool withMemory, std::string* error = nullptr) const;
    // The text of instrument.txt: one "key=value" a line.
    std::string settingsText() const;
    // An instrument read from such a text, with an empty log memory; recordedMemorySize
    // gets the size its memory image should have.
    static Instrument fromSettingsText(std::istream& in, size_t* recordedMemorySize = nullptr);
    // Reads just the generation number of the stored state (0 when unreadable).
    static uint64_t storedGeneration(const std::string& dir);

    void setDefaultFunctions();
    // Starts the clock at pcNow and records the given days of history up to it, as
    // measurements one after the other ("<title> #1", ...; the last one keeps the title and
    // runs on), with a service visit noted between them.
    void buildHistory(int64_t pcNow, double days, int measurements);

private:
    void append(const std::vector<uint8_t>& bytes);
    void writeHeader(int64_t t);
    void writeTimeLine(int64_t t);
    void writeStatistics(int64_t end);
    void writeSignature(int64_t t);
    void writeMarker(int64_t t);
    void writeText(const std::string& line);
};

// Calendar fields of a time (proleptic Gregorian, no time zone).
void civil(int64_t t, int& year, int& month, int& day, int& hour, int& minute, int& second);
int64_t fromCivil(int year, int month, int day, int hour, int minute, int second);
// Whether the fields name a date and time that exists (no 30 February, no 24:00:00) and
// that an instrument clock holds (years 1971 to 2105).
bool validClockTime(int year, int month, int day, int hour, int minute, int second);

} // namespace varno::sim
