#pragma once

#include <memory>

#include <quorvalin/Quorvalin.h>

namespace varno::testing {

// A link that hands every operation to the real one: tests override the few operations
// through which they make the link misbehave in ways the simulated instrument does not.
class ForwardingLink : public CQuorvalin {
public:
    ForwardingLink() : m_inner(CQuorvalin::newObject()) {}

    bool Lock(int32_t ms) override { return m_inner->Lock(ms); }
    void Unlock() override { m_inner->Unlock(); }
    bool TryLock() override { return m_inner->TryLock(); }
    bool Connect(const std::string& connection, const std::string& modemInit, const std::string& dialMethod,
                 int attempts) override
    {
        return m_inner->Connect(connection, modemInit, dialMethod, attempts);
    }
    bool Disconnect() override { return m_inner->Disconnect(); }
    bool IsConnected() override { return m_inner->IsConnected(); }
    std::string GetConnectionText() override { return m_inner->GetConnectionText(); }
    void AbortConnect() override { m_inner->AbortConnect(); }
    bool Update() override { return m_inner->Update(); }
    uint32_t GetStatusFlags() override { return m_inner->GetStatusFlags(); }
    std::string GetInstrumentType() override { return m_inner->GetInstrumentType(); }
    double GetFirmwareVersion() override { return m_inner->GetFirmwareVersion(); }
    uint32_t GetSerialNumber() override { return m_inner->GetSerialNumber(); }
    uint32_t GetLogMagic() override { return m_inner->GetLogMagic(); }
    std::string GetMeasurementTitle() override { return m_inner->GetMeasurementTitle(); }
    int32_t GetSamplePeriod() override { return m_inner->GetSamplePeriod(); }
    int32_t GetStatisticPeriod() override { return m_inner->GetStatisticPeriod(); }
    int32_t GetTimestampPeriod() override { return m_inner->GetTimestampPeriod(); }
    double GetFreeMemory() override { return m_inner->GetFreeMemory(); }
    double GetBatteryVoltage(int which) override { return m_inner->GetBatteryVoltage(which); }
    double GetBatteryCharge(int which) override { return m_inner->GetBatteryCharge(which); }
    bool InsertComment(const std::string& text) override { return m_inner->InsertComment(text); }
    bool StartNewMeasurement(const std::string& title) override { return m_inner->StartNewMeasurement(title); }
    bool SetSamplePeriod(int32_t seconds) override { return m_inner->SetSamplePeriod(seconds); }
    bool SetStatisticPeriod(int32_t seconds) override { return m_inner->SetStatisticPeriod(seconds); }
    bool SetTimestampPeriod(int32_t seconds) override { return m_inner->SetTimestampPeriod(seconds); }
    uint32_t GetMeasurementMode() override { return m_inner->GetMeasurementMode(); }
    bool SetMeasurementMode(uint32_t mode) override { return m_inner->SetMeasurementMode(mode); }
    int32_t GetPreheat() override { return m_inner->GetPreheat(); }
    bool SetPreheat(int32_t seconds) override { return m_inner->SetPreheat(seconds); }
    bool SetModemTimer(int index, int32_t on, int32_t off) override { return m_inner->SetModemTimer(index, on, off); }
    bool GetModemTimer(int index, int32_t& on, int32_t& off) override
    {
        return m_inner->GetModemTimer(index, on, off);
    }
    bool SetClock(int year, int month, int day, int hour, int minute, int second) override
    {
        return m_inner->SetClock(year, month, day, hour, minute, second);
    }
    double GetClockOffset() override { return m_inner->GetClockOffset(); }
    std::string GetFunctionName(int index) override { return m_inner->GetFunctionName(index); }
    std::string GetFunctionDefinition(int index) override { return m_inner->GetFunctionDefinition(index); }
    int GetFunctionStatistics(int index) override { return m_inner->GetFunctionStatistics(index); }
    bool SetFunction(const std::string& name, int flags, const std::string& definition) override
    {
        return m_inner->SetFunction(name, flags, definition);
    }
    bool DeleteFunction(const std::string& name) override { return m_inner->DeleteFunction(name); }
    int Login(const std::string& password) override { return m_inner->Login(password); }
    int GetUserLevel() override { return m_inner->GetUserLevel(); }
    void SetPassword(const std::string& password) override { m_inner->SetPassword(password); }
    bool ReadValues(int first, int count) override { return m_inner->ReadValues(first, count); }
    int GetValues(double* values, int max) override { return m_inner->GetValues(values, max); }
    bool ReadStatistics(int first, int count) override { return m_inner->ReadStatistics(first, count); }
    int GetStatistics(double* values, int max) override { return m_inner->GetStatistics(values, max); }
    std::string SendCommand(const std::string& line, int timeoutMs, int flags) override
    {
        return m_inner->SendCommand(line, timeoutMs, flags);
    }
    bool ClearDataLog() override { return m_inner->ClearDataLog(); }
    bool StartDownload(const std::string& path, int mode, uint32_t start, uint32_t length) override
    {
        return m_inner->StartDownload(path, mode, start, length);
    }
    void CancelDownload() override { m_inner->CancelDownload(); }
    bool IsDownloading() override { return m_inner->IsDownloading(); }
    double GetDownloadProgress() override { return m_inner->GetDownloadProgress(); }
    std::string GetDownloadFile() override { return m_inner->GetDownloadFile(); }
    void SetReadahead(int32_t blocks) override { m_inner->SetReadahead(blocks); }
    bool ReadFileList() override { return m_inner->ReadFileList(); }
    bool NextFile() override { return m_inner->NextFile(); }
    std::string GetFileText() override { return m_inner->GetFileText(); }
    uint32_t GetFileSize() override { return m_inner->GetFileSize(); }
    uint32_t GetFileStart() override { return m_inner->GetFileStart(); }
    uint32_t GetFileLength() override { return m_inner->GetFileLength(); }
    uint32_t GetFileStartTime() override { return m_inner->GetFileStartTime(); }
    uint32_t GetFileStopTime() override { return m_inner->GetFileStopTime(); }
    void SetFileListRange(uint32_t start, uint32_t length) override { m_inner->SetFileListRange(start, length); }
    uint32_t GetLogStart() override { return m_inner->GetLogStart(); }
    uint32_t GetLogLength() override { return m_inner->GetLogLength(); }
    void ResetLink() override { m_inner->ResetLink(); }
    std::string GetLastErrorText() override { return m_inner->GetLastErrorText(); }
    int32_t IdleTime(int peek) override { return m_inner->IdleTime(peek); }
    void SetBusy(int on) override { m_inner->SetBusy(on); }

protected:
    std::unique_ptr<CQuorvalin> m_inner;
};

} // namespace varno::testing
