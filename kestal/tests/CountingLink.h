#pragma once

#include <quorvalin/Quorvalin.h>

#include <atomic>
#include <functional>
#include <memory>

// A link that hands every operation to a real one and counts who uses it: each Lock (or
// successful TryLock) until its Unlock. When it is deleted it reports how many users it
// still had, so a test sees whether anybody was left waiting for or holding the link.
class CountingLink final : public CQuorvalin {
public:
    using OnDelete = std::function<void(int usersLeft, int locksTaken)>;

    explicit CountingLink(OnDelete onDelete)
        : m_link(CQuorvalin::newObject())
        , m_onDelete(std::move(onDelete))
    {
    }
    ~CountingLink() override { m_onDelete(m_users, m_locks); }

    bool Lock(int32_t ms) override
    {
        ++m_users;
        const bool taken = m_link->Lock(ms);
        if (taken)
            ++m_locks;
        else
            --m_users;
        return taken;
    }
    void Unlock() override
    {
        --m_users; // before the link is free for the next one
        m_link->Unlock();
    }
    bool TryLock() override
    {
        const bool taken = m_link->TryLock();
        if (taken) {
            ++m_users;
            ++m_locks;
        }
        return taken;
    }

    bool Connect(const std::string& c, const std::string& i, const std::string& d, int a) override
    {
        return m_link->Connect(c, i, d, a);
    }
    bool Disconnect() override { return m_link->Disconnect(); }
    bool IsConnected() override { return m_link->IsConnected(); }
    std::string GetConnectionText() override { return m_link->GetConnectionText(); }
    void AbortConnect() override { m_link->AbortConnect(); }
    bool Update() override { return m_link->Update(); }
    uint32_t GetStatusFlags() override { return m_link->GetStatusFlags(); }
    std::string GetInstrumentType() override { return m_link->GetInstrumentType(); }
    double GetFirmwareVersion() override { return m_link->GetFirmwareVersion(); }
    uint32_t GetSerialNumber() override { return m_link->GetSerialNumber(); }
    uint32_t GetLogMagic() override { return m_link->GetLogMagic(); }
    std::string GetMeasurementTitle() override { return m_link->GetMeasurementTitle(); }
    int32_t GetSamplePeriod() override { return m_link->GetSamplePeriod(); }
    int32_t GetStatisticPeriod() override { return m_link->GetStatisticPeriod(); }
    int32_t GetTimestampPeriod() override { return m_link->GetTimestampPeriod(); }
    double GetFreeMemory() override { return m_link->GetFreeMemory(); }
    double GetBatteryVoltage(int w) override { return m_link->GetBatteryVoltage(w); }
    double GetBatteryCharge(int w) override { return m_link->GetBatteryCharge(w); }
    bool InsertComment(const std::string& t) override { return m_link->InsertComment(t); }
    bool StartNewMeasurement(const std::string& t) override { return m_link->StartNewMeasurement(t); }
    bool SetSamplePeriod(int32_t s) override { return m_link->SetSamplePeriod(s); }
    bool SetStatisticPeriod(int32_t s) override { return m_link->SetStatisticPeriod(s); }
    bool SetTimestampPeriod(int32_t s) override { return m_link->SetTimestampPeriod(s); }
    uint32_t GetMeasurementMode() override { return m_link->GetMeasurementMode(); }
    bool SetMeasurementMode(uint32_t m) override { return m_link->SetMeasurementMode(m); }
    int32_t GetPreheat() override { return m_link->GetPreheat(); }
    bool SetPreheat(int32_t s) override { return m_link->SetPreheat(s); }
    bool SetModemTimer(int i, int32_t on, int32_t off) override { return m_link->SetModemTimer(i, on, off); }
    bool GetModemTimer(int i, int32_t& on, int32_t& off) override { return m_link->GetModemTimer(i, on, off); }
    bool SetClock(int y, int mo, int d, int h, int mi, int s) override { return m_link->SetClock(y, mo, d, h, mi, s); }
    double GetClockOffset() override { return m_link->GetClockOffset(); }
    std::string GetFunctionName(int i) override { return m_link->GetFunctionName(i); }
    std::string GetFunctionDefinition(int i) override { return m_link->GetFunctionDefinition(i); }
    int GetFunctionStatistics(int i) override { return m_link->GetFunctionStatistics(i); }
    bool SetFunction(const std::string& n, int f, const std::string& d) override { return m_link->SetFunction(n, f, d); }
    bool DeleteFunction(const std::string& n) override { return m_link->DeleteFunction(n); }
    int Login(const std::string& p) override { return m_link->Login(p); }
    int GetUserLevel() override { return m_link->GetUserLevel(); }
    void SetPassword(const std::string& p) override { m_link->SetPassword(p); }
    bool ReadValues(int f, int c) override { return m_link->ReadValues(f, c); }
    int GetValues(double* v, int m) override { return m_link->GetValues(v, m); }
    bool ReadStatistics(int f, int c) override { return m_link->ReadStatistics(f, c); }
    int GetStatistics(double* v, int m) override { return m_link->GetStatistics(v, m); }
    std::string SendCommand(const std::string& l, int t, int f) override { return m_link->SendCommand(l, t, f); }
    bool ClearDataLog() override { return m_link->ClearDataLog(); }
    bool StartDownload(const std::string& p, int m, uint32_t s, uint32_t l) override
    {
        return m_link->StartDownload(p, m, s, l);
    }
    void CancelDownload() override { m_link->CancelDownload(); }
    bool IsDownloading() override { return m_link->IsDownloading(); }
    double GetDownloadProgress() override { return m_link->GetDownloadProgress(); }
    std::string GetDownloadFile() override { return m_link->GetDownloadFile(); }
    void SetReadahead(int32_t b) override { m_link->SetReadahead(b); }
    bool ReadFileList() override { return m_link->ReadFileList(); }
    bool NextFile() override { return m_link->NextFile(); }
    std::string GetFileText() override { return m_link->GetFileText(); }
    uint32_t GetFileSize() override { return m_link->GetFileSize(); }
    uint32_t GetFileStart() override { return m_link->GetFileStart(); }
    uint32_t GetFileLength() override { return m_link->GetFileLength(); }
    uint32_t GetFileStartTime() override { return m_link->GetFileStartTime(); }
    uint32_t GetFileStopTime() override { return m_link->GetFileStopTime(); }
    void SetFileListRange(uint32_t s, uint32_t l) override { m_link->SetFileListRange(s, l); }
    uint32_t GetLogStart() override { return m_link->GetLogStart(); }
    uint32_t GetLogLength() override { return m_link->GetLogLength(); }
    void ResetLink() override { m_link->ResetLink(); }
    std::string GetLastErrorText() override { return m_link->GetLastErrorText(); }
    int32_t IdleTime(int peek) override { return m_link->IdleTime(peek); }
    void SetBusy(int on) override { m_link->SetBusy(on); }

private:
    std::unique_ptr<CQuorvalin> m_link;
    OnDelete m_onDelete;
    std::atomic<int> m_users{0};
    std::atomic<int> m_locks{0};
};
