#pragma once

#include <cstdint>
#include <string>

#define QUORVALIN_API __attribute__((visibility("default")))

// The instrument link: one object per program, reached through newObject() and a
// connection text. A direct line is named by its port ("COM3"); a modem call by the modem
// port, one blank and the telephone number ("COM1 0123456").
//
// Operations at user level 0 see the instrument's identity and status only; listing,
// downloading, reading values and comments need level 1, every other change level 2.
//
// Every operation may be called from any thread. Callers that share the object between
// threads bracket their work with Lock/Unlock (re-entrant for the owner thread) or with a
// successful TryLock (which only succeeds while nobody, not even the calling thread, holds
// the lock). The object itself never requires the lock to be held.
//
// The order of the virtual operations is a binary interface: never reorder.
class QUORVALIN_API CQuorvalin {
public:
    static CQuorvalin* newObject();

    virtual ~CQuorvalin();

    // 1. lock
    virtual bool Lock(int32_t ms) = 0; // -1: wait without limit; true: taken
    virtual void Unlock() = 0;
    virtual bool TryLock() = 0; // true: taken (only when nobody holds the lock)

    // 2. connection
    // dialMethod: "default", "tone" or "pulse" ("" and "0" mean default); the last
    // argument is the number of dial attempts (at least 1).
    virtual bool Connect(const std::string& connection, const std::string& modemInit,
                         const std::string& dialMethod, int attempts) = 0;
    virtual bool Disconnect() = 0;
    virtual bool IsConnected() = 0;
    virtual std::string GetConnectionText() = 0;
    virtual void AbortConnect() = 0;
    virtual bool Update() = 0;
    virtual uint32_t GetStatusFlags() = 0;

    // 3. identity
    virtual std::string GetInstrumentType() = 0;
    virtual double GetFirmwareVersion() = 0;
    virtual uint32_t GetSerialNumber() = 0;
    virtual uint32_t GetLogMagic() = 0; // firmware before 3.0: identity of the memory's contents; else 0
    virtual std::string GetMeasurementTitle() = 0;

    // 4. periods (seconds), memory and batteries (which: 0 internal, 1 external)
    virtual int32_t GetSamplePeriod() = 0;
    virtual int32_t GetStatisticPeriod() = 0;
    virtual int32_t GetTimestampPeriod() = 0;
    virtual double GetFreeMemory() = 0; // fraction 0..1
    virtual double GetBatteryVoltage(int which) = 0;
    virtual double GetBatteryCharge(int which) = 0; // fraction 0..1

    // 5. measurement
    virtual bool InsertComment(const std::string& text) = 0;
    virtual bool StartNewMeasurement(const std::string& title) = 0;
    virtual bool SetSamplePeriod(int32_t seconds) = 0;
    virtual bool SetStatisticPeriod(int32_t seconds) = 0;
    virtual bool SetTimestampPeriod(int32_t seconds) = 0;
    virtual uint32_t GetMeasurementMode() = 0;
    virtual bool SetMeasurementMode(uint32_t mode) = 0;
    virtual int32_t GetPreheat() = 0;
    virtual bool SetPreheat(int32_t seconds) = 0;

    // 6. modem timers (seconds after midnight; false past the last slot) and clock
    virtual bool SetModemTimer(int index, int32_t on, int32_t off) = 0;
    virtual bool GetModemTimer(int index, int32_t& on, int32_t& off) = 0;
    virtual bool SetClock(int year, int month, int day, int hour, int minute, int second) = 0;
    virtual double GetClockOffset() = 0; // instrument clock minus the PC's local time, seconds

    // 7. functions (statistics flags: 0x01 mean, 0x02 sigma, 0x04 max, 0x08 min, 0x10 mean360)
    virtual std::string GetFunctionName(int index) = 0; // empty past the last function
    virtual std::string GetFunctionDefinition(int index) = 0;
    virtual int GetFunctionStatistics(int index) = 0;
    virtual bool SetFunction(const std::string& name, int flags, const std::string& definition) = 0;
    virtual bool DeleteFunction(const std::string& name) = 0;

    // 8. user level: 0 no access, 1 restricted, 2 full access, 3 system
    virtual int Login(const std::string& password) = 0;
    virtual int GetUserLevel() = 0;
    virtual void SetPassword(const std::string& password) = 0; // used by the next Connect

    // 9. live values: Read fetches, Get copies at most max values and returns the count
    virtual bool ReadValues(int first, int count) = 0;
    virtual int GetValues(double* values, int max) = 0;
    virtual bool ReadStatistics(int first, int count) = 0;
    virtual int GetStatistics(double* values, int max) = 0;

    // 10. command line
    virtual std::string SendCommand(const std::string& line, int timeoutMs, int flags) = 0;
    virtual bool ClearDataLog() = 0;

    // 11. download of the log memory range start .. start + length into path, on a
    // background thread. mode 1: a new file (deleted when the download fails); mode 0:
    // continue an existing file (kept when the download fails).
    virtual bool StartDownload(const std::string& path, int mode, uint32_t start, uint32_t length) = 0;
    virtual void CancelDownload() = 0;
    virtual bool IsDownloading() = 0;
    virtual double GetDownloadProgress() = 0; // 1.0 or more once the download succeeded
    virtual std::string GetDownloadFile() = 0;

    // 12. list of data logs. Positions are memory addresses; firmware before 3.0 gives the
    // start time as the start and the seconds up to its last statistics interval as the
    // length, and its downloads take such a time range (GetFileSize is always in bytes).
    virtual void SetReadahead(int32_t blocks) = 0; // -1: default
    virtual bool ReadFileList() = 0;
    virtual bool NextFile() = 0; // false at the end
    virtual std::string GetFileText() = 0;
    virtual uint32_t GetFileSize() = 0;
    virtual uint32_t GetFileStart() = 0;
    virtual uint32_t GetFileLength() = 0;
    virtual uint32_t GetFileStartTime() = 0;
    virtual uint32_t GetFileStopTime() = 0; // 0: still recording
    virtual void SetFileListRange(uint32_t start, uint32_t length) = 0;
    virtual uint32_t GetLogStart() = 0;  // address of the oldest byte held
    virtual uint32_t GetLogLength() = 0; // bytes held; start + length is the end of the data

    // 13. housekeeping
    virtual void ResetLink() = 0;
    virtual std::string GetLastErrorText() = 0; // hands the text over: the next call gives ""
    virtual int32_t IdleTime(int peek) = 0; // seconds since the last activity (a monotonic count); 0 restarts it
    virtual void SetBusy(int on) = 0;

protected:
    CQuorvalin() = default;
    CQuorvalin(const CQuorvalin&) = delete;
    CQuorvalin& operator=(const CQuorvalin&) = delete;
};

// Whether two log magics denote the same data.
QUORVALIN_API bool MagicEqual(uint32_t a, uint32_t b);
// Whether the port of a connection text (for "PORT NUMBER" the modem port) exists and can be
// used now: a port that another program holds is not available.
QUORVALIN_API bool ConnectionAvailable(const std::string& connection);
// "YYYY-MM-DD hh:mm:ss" of seconds since 1970-01-01 00:00:00 (UTC, no time zone applied).
QUORVALIN_API std::string quorvalin_time2string(uint32_t seconds);
// A period as the setup pages show it: " 1 s", "10 s", " 5 min", "12 h", "OFF" for 0.
QUORVALIN_API std::string quorvalin_seconds2string(int32_t seconds);
// The reverse: " 1 s", "10min", "2 h", "90", "OFF" ...; 0 for a text it cannot read.
QUORVALIN_API int32_t quorvalin_string2seconds(const std::string& text);
QUORVALIN_API std::string quorvalin_getversionstring();
