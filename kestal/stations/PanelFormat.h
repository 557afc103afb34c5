#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

namespace varno::kestal {

// The instrument panel's texts and numbers as pure functions, and the two program-wide
// refresh countdowns.

constexpr int kMaxPanelValues = 64;      // function values asked of the link
constexpr int kMaxPanelStatistics = 256; // statistics values asked of the link

// 0 "no access", 1 "restricted", 2 "full access", 3 "system", else "unknown".
QString UserLevelWord(int level);
// Free memory fraction as a percentage: truncated; 1 % or less shows 0, at most 100.
int MemoryPercent(double freeFraction);
// Battery charge fraction as a bar position: fraction x 100 + 0.5, truncated.
int BatteryBar(double charge);
// "%0.1fV".
QString VoltageText(double volts);
// "%0.1f".
QString VersionText(double version);
// "%04u".
QString SerialText(uint32_t serial);
// The instrument clock: "dd.MM.yy HH:mm:ss" when status flag 0x100 is set, else without seconds.
QString ClockText(const QDateTime& clock, uint32_t statusFlags);
// Whole seconds of a clock offset, truncated toward zero.
int64_t ClockOffsetSeconds(double offset);

// One row of the function table; empty cells stay empty.
struct FunctionRow {
    QString name;
    QString value;
    QString mean, sigma, min, max;
};
// Builds the table: n values and m statistics (both clamped to their arrays), the statistics
// taken function after function in the order mean, sigma, min, max of each function's flags
// (0x01 or 0x10 mean, 0x02 sigma, 0x08 min, 0x04 max).
std::vector<FunctionRow> FunctionTable(const std::vector<std::string>& names, const double* values, int n,
                                       const std::vector<int>& flags, const double* stats, int m);
// "%.5g".
QString NumberText(double value);

// Widths of table columns in room pixels (need and want of the same size). Each column
// wants a width and needs at least a smaller one (below it a text would be cut). All wants
// when they fit; else the needs plus what is left, shared in proportion to what each wants
// beyond its need; when not even the needs fit, the needs (the table then scrolls).
std::vector<int> FitColumnWidths(const std::vector<int>& need, const std::vector<int>& want, int room);

// The status and values countdowns: both count down once per tick and start their job when
// they were negative before the step.
struct RefreshCountdowns {
    int status = 60;
    int values = 20;

    // One step of the values countdown; true: start the values job and RestartValues.
    bool StepValues();
    // After a values job started: half the sample period, but at most 10.
    void RestartValues(int32_t samplePeriod);
    // One step of the status countdown; true: start the status job (the countdown is 60 again).
    bool StepStatus();
};
// The program's one pair of countdowns.
RefreshCountdowns& ProgramCountdowns();

} // namespace varno::kestal
