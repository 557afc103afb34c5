#include <kestal/stations/PanelFormat.h>

#include <qtsupport/Text.h>

#include <algorithm>
#include <cmath>

namespace varno::kestal {

QString UserLevelWord(int level)
{
    switch (level) {
    case 0: return QStringLiteral("no access");
    case 1: return QStringLiteral("restricted");
    case 2: return QStringLiteral("full access");
    case 3: return QStringLiteral("system");
    default: return QStringLiteral("unknown");
    }
}

int MemoryPercent(double freeFraction)
{
    const double scaled = freeFraction * 100;
    if (!(scaled >= 2)) // 1 % or less, and NaN
        return 0;
    if (scaled > 100)
        return 100;
    return int(scaled);
}

int BatteryBar(double charge)
{
    const double position = charge * 100 + 0.5;
    if (!(position > 0))
        return 0;
    return int(std::min(position, 1e6));
}

std::vector<int> FitColumnWidths(const std::vector<int>& need, const std::vector<int>& want, int room)
{
    std::vector<int> widths = need;
    std::vector<int> beyond(need.size()); // what each column wants beyond its need
    int needed = 0;
    int wantedBeyond = 0;
    for (size_t c = 0; c < need.size(); ++c) {
        beyond[c] = std::max(0, want[c] - need[c]);
        needed += need[c];
        wantedBeyond += beyond[c];
    }
    const int spare = std::min(room - needed, wantedBeyond);
    if (spare <= 0)
        return widths;
    for (size_t c = 0; c < need.size(); ++c)
        widths[c] += int(int64_t(beyond[c]) * spare / wantedBeyond);
    return widths;
}

QString VoltageText(double volts) { return QString::asprintf("%0.1fV", volts); }
QString VersionText(double version) { return QString::asprintf("%0.1f", version); }
QString SerialText(uint32_t serial) { return QString::asprintf("%04u", serial); }
QString NumberText(double value) { return QString::asprintf("%.5g", value); }

QString ClockText(const QDateTime& clock, uint32_t statusFlags)
{
    return clock.toString((statusFlags & 0x100) ? QStringLiteral("dd.MM.yy HH:mm:ss")
                                                : QStringLiteral("dd.MM.yy HH:mm"));
}

int64_t ClockOffsetSeconds(double offset)
{
    if (!std::isfinite(offset))
        return 0;
    return int64_t(std::trunc(std::clamp(offset, -1e15, 1e15)));
}

std::vector<FunctionRow> FunctionTable(const std::vector<std::string>& names, const double* values, int n,
                                       const std::vector<int>& flags, const double* stats, int m)
{
    n = std::clamp(n, 0, kMaxPanelValues);
    m = std::clamp(m, 0, kMaxPanelStatistics);
    std::vector<FunctionRow> rows;
    int j = 0;
    const auto take = [&](QString& cell) {
        if (j < m)
            cell = NumberText(stats[j]);
        ++j;
    };
    for (int i = 0; i < n; ++i) {
        FunctionRow row;
        row.name = size_t(i) < names.size() ? qtsupport::textFromBytes(names[size_t(i)]) : QString();
        row.value = NumberText(values[i]);
        const int f = size_t(i) < flags.size() ? flags[size_t(i)] : 0;
        if (f & (0x01 | 0x10))
            take(row.mean);
        if (f & 0x02)
            take(row.sigma);
        if (f & 0x08)
            take(row.min);
        if (f & 0x04)
            take(row.max);
        rows.push_back(std::move(row));
    }
    return rows;
}

bool RefreshCountdowns::StepValues()
{
    const int v = values--;
    return v < 0;
}

void RefreshCountdowns::RestartValues(int32_t samplePeriod)
{
    values = std::min<int32_t>(samplePeriod / 2, 10);
}

bool RefreshCountdowns::StepStatus()
{
    const int v = status--;
    if (v >= 0)
        return false;
    status = 60;
    return true;
}

RefreshCountdowns& ProgramCountdowns()
{
    static RefreshCountdowns countdowns;
    return countdowns;
}

} // namespace varno::kestal
