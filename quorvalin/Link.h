#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <quorvalin/DownloadWorker.h>
#include <quorvalin/Quorvalin.h>
#include <quorvalin/Transport.h>

namespace varno::quorvalin {

inline constexpr const char* kNotConnected = "not connected to an instrument";

// The link object: the caller's lock, the state of the connection and the operations of
// the interface. The line and the instrument behind it belong to the transport; downloads
// run on the download worker's thread. Link.cpp holds the lock, the connection and the
// downloads, LinkOperations.cpp what is asked of the connected instrument.
class CLink final : public CQuorvalin {
public:
    explicit CLink(std::unique_ptr<Transport> transport);
    ~CLink() override;

    // 1. lock
    bool Lock(int32_t ms) override;
    void Unlock() override;
    bool TryLock() override;

    // 2. connection
    bool Connect(const std::string& connection, const std::string& modemInit, const std::string& dialMethod,
                 int attempts) override;
    bool Disconnect() override;
    bool IsConnected() override;
    std::string GetConnectionText() override;
    void AbortConnect() override;
    bool Update() override;
    uint32_t GetStatusFlags() override;

    // 3. identity
    std::string GetInstrumentType() override;
    double GetFirmwareVersion() override;
    uint32_t GetSerialNumber() override;
    uint32_t GetLogMagic() override;
    std::string GetMeasurementTitle() override;

    // 4. periods, memory, batteries
    int32_t GetSamplePeriod() override;
    int32_t GetStatisticPeriod() override;
    int32_t GetTimestampPeriod() override;
    double GetFreeMemory() override;
    double GetBatteryVoltage(int which) override;
    double GetBatteryCharge(int which) override;

    // 5. measurement
    bool InsertComment(const std::string& text) override;
    bool StartNewMeasurement(const std::string& title) override;
    bool SetSamplePeriod(int32_t seconds) override;
    bool SetStatisticPeriod(int32_t seconds) override;
    bool SetTimestampPeriod(int32_t seconds) override;
    uint32_t GetMeasurementMode() override;
    bool SetMeasurementMode(uint32_t mode) override;
    int32_t GetPreheat() override;
    bool SetPreheat(int32_t seconds) override;

    // 6. timers and clock
    bool SetModemTimer(int index, int32_t on, int32_t off) override;
    bool GetModemTimer(int index, int32_t& on, int32_t& off) override;
    bool SetClock(int year, int month, int day, int hour, int minute, int second) override;
    double GetClockOffset() override;

    // 7. functions
    std::string GetFunctionName(int index) override;
    std::string GetFunctionDefinition(int index) override;
    int GetFunctionStatistics(int index) override;
    bool SetFunction(const std::string& name, int flags, const std::string& definition) override;
    bool DeleteFunction(const std::string& name) override;

    // 8. user level
    int Login(const std::string& password) override;
    int GetUserLevel() override;
    void SetPassword(const std::string& password) override;

    // 9. live values
    bool ReadValues(int first, int count) override;
    int GetValues(double* values, int max) override;
    bool ReadStatistics(int first, int count) override;
    int GetStatistics(double* values, int max) override;

    // 10. command line
    std::string SendCommand(const std::string& line, int timeoutMs, int flags) override;
    bool ClearDataLog() override;

    // 11. download
    bool StartDownload(const std::string& path, int mode, uint32_t start, uint32_t length) override;
    void CancelDownload() override;
    bool IsDownloading() override;
    double GetDownloadProgress() override;
    std::string GetDownloadFile() override;

    // 12. list of data logs
    void SetReadahead(int32_t blocks) override;
    bool ReadFileList() override;
    bool NextFile() override;
    std::string GetFileText() override;
    uint32_t GetFileSize() override;
    uint32_t GetFileStart() override;
    uint32_t GetFileLength() override;
    uint32_t GetFileStartTime() override;
    uint32_t GetFileStopTime() override;
    void SetFileListRange(uint32_t start, uint32_t length) override;
    uint32_t GetLogStart() override;
    uint32_t GetLogLength() override;

    // 13. housekeeping
    void ResetLink() override;
    std::string GetLastErrorText() override;
    int32_t IdleTime(int peek) override;
    void SetBusy(int on) override;

private:
    // A value of the connected instrument; T() while not connected.
    template <typename T, typename F>
    T read(F f)
    {
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        return m_connected ? T(f()) : T();
    }

    LogInfo listed(); // the current item of the list, or an empty one
    FunctionInfo functionAt(int index);
    // The rest take m_mutex or expect it held, as they say.
    bool fail(const std::string& error);
    void dropConnection(); // m_mutex held
    bool allowed(int level); // m_mutex held
    bool sync(); // m_mutex held
    bool change(int level, const std::function<Change()>& f);
    void downloadEnded(const DownloadWorker::End& end); // m_mutex held

    // the caller's lock
    std::mutex m_lockMutex;
    std::condition_variable m_lockFree;
    std::thread::id m_lockOwner;
    int m_lockCount = 0;

    // connection state
    std::recursive_mutex m_mutex;
    const std::unique_ptr<Transport> m_transport;
    bool m_connected = false;
    std::string m_connection;
    std::string m_password;
    int m_level = 0;
    std::string m_error;
    std::atomic<bool> m_abort{false};

    std::vector<LogInfo> m_list;
    int m_listPos = -1;
    uint32_t m_rangeStart = 0, m_rangeLength = 0;
    int32_t m_readahead = -1;

    std::vector<double> m_values, m_statistics;

    std::string m_downloadFile;
    int64_t m_idleStart = 0; // milliseconds of the span clock
    bool m_busy = false;

    DownloadWorker m_download; // last: its thread may use the members above until stopped
};

} // namespace varno::quorvalin
