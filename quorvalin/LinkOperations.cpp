// What the link object asks of the connected instrument: identity, setup, functions, user
// levels, live values, the command line and the list of data logs.
#include <quorvalin/Link.h>

#include <algorithm>
#include <cstdio>

namespace varno::quorvalin {

namespace {

std::vector<double> slice(const std::vector<double>& all, int first, int count, size_t cap)
{
    std::vector<double> out;
    const size_t from = size_t(std::max(0, first));
    const size_t to = count > 0 ? std::min(all.size(), from + size_t(count)) : all.size();
    for (size_t i = from; i < to && out.size() < cap; ++i)
        out.push_back(all[i]);
    return out;
}

int copyOut(const std::vector<double>& from, double* to, int max)
{
    if (!to || max <= 0)
        return 0;
    const int n = std::min(int(from.size()), max);
    std::copy(from.begin(), from.begin() + n, to);
    return n;
}

} // namespace

uint32_t CLink::GetStatusFlags()
{
    return read<uint32_t>([&] { return m_transport->statusFlags(); });
}

// ------------------------------------------------------------ 3. identity
std::string CLink::GetInstrumentType()
{
    return read<std::string>([&] { return m_transport->type(); });
}

double CLink::GetFirmwareVersion()
{
    return read<double>([&] { return m_transport->firmware(); });
}

uint32_t CLink::GetSerialNumber()
{
    return read<uint32_t>([&] { return m_transport->serial(); });
}

uint32_t CLink::GetLogMagic()
{
    return read<uint32_t>([&] { return m_transport->logMagic(); });
}

std::string CLink::GetMeasurementTitle()
{
    return read<std::string>([&] { return m_transport->title(); });
}

// ------------------------------------------------------------ 4. periods, memory, batteries
int32_t CLink::GetSamplePeriod()
{
    return read<int32_t>([&] { return m_transport->samplePeriod(); });
}

int32_t CLink::GetStatisticPeriod()
{
    return read<int32_t>([&] { return m_transport->statisticPeriod(); });
}

int32_t CLink::GetTimestampPeriod()
{
    return read<int32_t>([&] { return m_transport->timestampPeriod(); });
}

double CLink::GetFreeMemory()
{
    return read<double>([&] { return m_transport->freeMemory(); });
}

double CLink::GetBatteryVoltage(int which)
{
    return read<double>([&] { return which == 0 || which == 1 ? m_transport->batteryVoltage(which) : 0.0; });
}

double CLink::GetBatteryCharge(int which)
{
    return read<double>([&] { return which == 0 || which == 1 ? m_transport->batteryCharge(which) : 0.0; });
}

// ------------------------------------------------------------ 5. measurement
bool CLink::InsertComment(const std::string& text)
{
    return change(1, [&] { return m_transport->insertComment(text); });
}

bool CLink::StartNewMeasurement(const std::string& title)
{
    return change(2, [&] { return m_transport->startMeasurement(title); });
}

bool CLink::SetSamplePeriod(int32_t seconds)
{
    return change(2, [&] { return m_transport->setSamplePeriod(seconds); });
}

bool CLink::SetStatisticPeriod(int32_t seconds)
{
    return change(2, [&] { return m_transport->setStatisticPeriod(seconds); });
}

bool CLink::SetTimestampPeriod(int32_t seconds)
{
    return change(2, [&] { return m_transport->setTimestampPeriod(seconds); });
}

uint32_t CLink::GetMeasurementMode()
{
    return read<uint32_t>([&] { return m_transport->measurementMode(); });
}

bool CLink::SetMeasurementMode(uint32_t mode)
{
    return change(2, [&] { return m_transport->setMeasurementMode(mode); });
}

int32_t CLink::GetPreheat()
{
    return read<int32_t>([&] { return m_transport->preheat(); });
}

bool CLink::SetPreheat(int32_t seconds)
{
    return change(2, [&] { return m_transport->setPreheat(seconds); });
}

// ------------------------------------------------------------ 6. timers and clock
bool CLink::SetModemTimer(int index, int32_t on, int32_t off)
{
    return change(2, [&] { return m_transport->setTimer(index, on, off); });
}

bool CLink::GetModemTimer(int index, int32_t& on, int32_t& off)
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    return m_connected && m_transport->timer(index, on, off);
}

bool CLink::SetClock(int year, int month, int day, int hour, int minute, int second)
{
    if (!m_transport->clockTimeValid(year, month, day, hour, minute, second)) {
        char text[96];
        std::snprintf(text, sizeof text, "invalid date or time: %04d-%02d-%02d %02d:%02d:%02d", year, month, day,
                      hour, minute, second);
        std::lock_guard<std::recursive_mutex> g(m_mutex);
        m_error = text;
        return false;
    }
    return change(2, [&] { return m_transport->setClock(year, month, day, hour, minute, second); });
}

double CLink::GetClockOffset()
{
    return read<double>([&] { return m_transport->clockOffset(); });
}

// ------------------------------------------------------------ 7. functions
FunctionInfo CLink::functionAt(int index)
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    FunctionInfo f;
    if (m_connected)
        m_transport->function(index, f);
    return f;
}

std::string CLink::GetFunctionName(int index)
{
    return functionAt(index).name;
}

std::string CLink::GetFunctionDefinition(int index)
{
    return functionAt(index).definition;
}

int CLink::GetFunctionStatistics(int index)
{
    return functionAt(index).flags;
}

bool CLink::SetFunction(const std::string& name, int flags, const std::string& definition)
{
    return change(2, [&] { return m_transport->setFunction(name, flags, definition); });
}

bool CLink::DeleteFunction(const std::string& name)
{
    return change(2, [&] { return m_transport->deleteFunction(name); });
}

// ------------------------------------------------------------ 8. user level
int CLink::Login(const std::string& password)
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    if (!m_connected) {
        m_error = kNotConnected;
        return 0;
    }
    const int level = m_transport->levelFor(password);
    if (level < 1) {
        m_error = "password rejected";
        return level;
    }
    m_level = level;
    return level;
}

int CLink::GetUserLevel()
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    return m_connected ? m_level : 0;
}

void CLink::SetPassword(const std::string& password)
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    m_password = password;
}

// ------------------------------------------------------------ 9. live values
bool CLink::ReadValues(int first, int count)
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    if (!allowed(1) || !sync())
        return false;
    m_values = slice(m_transport->values(), first, count, 64);
    return true;
}

int CLink::GetValues(double* values, int max)
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    return copyOut(m_values, values, max);
}

bool CLink::ReadStatistics(int first, int count)
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    if (!allowed(1) || !sync())
        return false;
    m_statistics = slice(m_transport->statistics(), first, count, 256);
    return true;
}

int CLink::GetStatistics(double* values, int max)
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    return copyOut(m_statistics, values, max);
}

// ------------------------------------------------------------ 10. command line
std::string CLink::SendCommand(const std::string& line, int, int)
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    if (!m_connected || !sync()) {
        m_error = kNotConnected;
        return {};
    }
    return m_transport->command(line, m_level);
}

bool CLink::ClearDataLog()
{
    return change(2, [&] { return m_transport->clearLog(); });
}

// ------------------------------------------------------------ 12. list of data logs
void CLink::SetReadahead(int32_t blocks)
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    m_readahead = blocks;
}

bool CLink::ReadFileList()
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    m_list.clear();
    m_listPos = -1;
    if (!allowed(1) || !sync())
        return false;
    m_list = m_transport->logs();
    return true;
}

bool CLink::NextFile()
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    if (m_listPos + 1 >= int(m_list.size())) {
        m_listPos = int(m_list.size());
        return false;
    }
    ++m_listPos;
    return true;
}

LogInfo CLink::listed()
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    if (m_listPos < 0 || m_listPos >= int(m_list.size()))
        return {};
    return m_list[size_t(m_listPos)];
}

std::string CLink::GetFileText()
{
    return listed().text;
}

uint32_t CLink::GetFileSize()
{
    return listed().size;
}

uint32_t CLink::GetFileStart()
{
    return listed().start;
}

uint32_t CLink::GetFileLength()
{
    return listed().length;
}

uint32_t CLink::GetFileStartTime()
{
    return listed().startTime;
}

uint32_t CLink::GetFileStopTime()
{
    return listed().stopTime;
}

void CLink::SetFileListRange(uint32_t start, uint32_t length)
{
    // The range the caller already holds; the list holds every data log anyway, so it
    // stays complete.
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    m_rangeStart = start;
    m_rangeLength = length;
}

uint32_t CLink::GetLogStart()
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    return m_connected && sync() ? m_transport->logStart() : 0;
}

uint32_t CLink::GetLogLength()
{
    std::lock_guard<std::recursive_mutex> g(m_mutex);
    return m_connected && sync() ? m_transport->logLength() : 0;
}

} // namespace varno::quorvalin
