// The instrument panel's texts, the function table walk and the two refresh countdowns.
#include <kestal/stations/PanelFormat.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace varno::kestal;

TEST(KestalPanelFormat, UserLevelWords)
{
    EXPECT_EQ(UserLevelWord(0), "no access");
    EXPECT_EQ(UserLevelWord(1), "restricted");
    EXPECT_EQ(UserLevelWord(2), "full access");
    EXPECT_EQ(UserLevelWord(3), "system");
    EXPECT_EQ(UserLevelWord(4), "unknown");
    EXPECT_EQ(UserLevelWord(-1), "unknown");
}

TEST(KestalPanelFormat, MemoryPercentRounding)
{
    EXPECT_EQ(MemoryPercent(0.015), 0); // 1 % shows as 0
    EXPECT_EQ(MemoryPercent(0.0199), 0);
    EXPECT_EQ(MemoryPercent(0.02), 2);
    EXPECT_EQ(MemoryPercent(0.5), 50);
    EXPECT_EQ(MemoryPercent(0.999), 99);
    EXPECT_EQ(MemoryPercent(1.0), 100);
    EXPECT_EQ(MemoryPercent(1.5), 100);
    EXPECT_EQ(MemoryPercent(-0.3), 0);
    EXPECT_EQ(MemoryPercent(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(KestalPanelFormat, BatteryBarRounding)
{
    EXPECT_EQ(BatteryBar(0.994), 99);
    EXPECT_EQ(BatteryBar(0.996), 100);
    EXPECT_EQ(BatteryBar(0.5), 50);
    EXPECT_EQ(BatteryBar(0.0), 0);
    EXPECT_EQ(BatteryBar(-1.0), 0);
    EXPECT_EQ(BatteryBar(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(KestalPanelFormat, NumberTexts)
{
    EXPECT_EQ(VoltageText(7.04), "7.0V");
    EXPECT_EQ(VoltageText(13.36), "13.4V");
    EXPECT_EQ(VersionText(3.2), "3.2");
    EXPECT_EQ(VersionText(0.0), "0.0");
    EXPECT_EQ(SerialText(7), "0007");
    EXPECT_EQ(SerialText(123456), "123456");
    EXPECT_EQ(NumberText(3.14159265), "3.1416");
    EXPECT_EQ(NumberText(123456789.0), "1.2346e+08");
    EXPECT_EQ(ClockOffsetSeconds(-2.9), -2);
    EXPECT_EQ(ClockOffsetSeconds(59.99), 59);
    EXPECT_EQ(ClockOffsetSeconds(std::numeric_limits<double>::infinity()), 0);
}

TEST(KestalPanelFormat, ClockSecondsByFlag0x100)
{
    const QDateTime t(QDate(2006, 3, 5), QTime(14, 7, 9));
    EXPECT_EQ(ClockText(t, 0x000), "05.03.06 14:07");
    EXPECT_EQ(ClockText(t, 0x2E0), "05.03.06 14:07");
    EXPECT_EQ(ClockText(t, 0x100), "05.03.06 14:07:09");
    EXPECT_EQ(ClockText(t.addSecs(-3), 0x3E0), "05.03.06 14:07:06");
}

TEST(KestalPanelFormat, StatisticsWalkFunctionAfterFunction)
{
    const std::vector<std::string> names{"v1", "dir", "t", "p"};
    const double values[] = {1.5, 270, -3.25, 1013.2};
    // v1: mean sigma min max; dir: mean360 (one mean); t: mean and mean360 (still one); p: max only
    const std::vector<int> flags{0x0F, 0x10, 0x11, 0x04};
    const double stats[] = {1, 2, 3, 4, 5, 6, 7};
    const auto rows = FunctionTable(names, values, 4, flags, stats, 7);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].name, "v1");
    EXPECT_EQ(rows[0].value, "1.5");
    EXPECT_EQ(rows[0].mean, "1");
    EXPECT_EQ(rows[0].sigma, "2");
    EXPECT_EQ(rows[0].min, "3"); // min (0x08) comes before max (0x04)
    EXPECT_EQ(rows[0].max, "4");
    EXPECT_EQ(rows[1].mean, "5");
    EXPECT_TRUE(rows[1].sigma.isEmpty() && rows[1].min.isEmpty() && rows[1].max.isEmpty());
    EXPECT_EQ(rows[2].mean, "6");
    EXPECT_EQ(rows[2].value, "-3.25");
    EXPECT_EQ(rows[3].mean, "");
    EXPECT_EQ(rows[3].max, "7");
}

TEST(KestalPanelFormat, FewerStatisticsLeaveLaterCellsEmpty)
{
    const std::vector<std::string> names{"a", "b"};
    const double values[] = {1, 2};
    const std::vector<int> flags{0x03, 0x0C};
    const double stats[] = {10, 11, 12};
    const auto rows = FunctionTable(names, values, 2, flags, stats, 3);
    EXPECT_EQ(rows[0].mean, "10");
    EXPECT_EQ(rows[0].sigma, "11");
    EXPECT_EQ(rows[1].min, "12");
    EXPECT_EQ(rows[1].max, ""); // statistic 4 of 3
}

TEST(KestalPanelFormat, CountsAreClampedToTheArrays)
{
    std::vector<double> values(kMaxPanelValues, 1.0);
    std::vector<double> stats(kMaxPanelStatistics, 2.0);
    std::vector<std::string> names(200, "f");
    std::vector<int> flags(200, 0x0F);
    // A link that claims more than it was asked for never makes the table read past the arrays.
    const auto rows = FunctionTable(names, values.data(), 1000, flags, stats.data(), 100000);
    EXPECT_EQ(rows.size(), size_t(kMaxPanelValues));
    EXPECT_EQ(rows.back().max, "2"); // 64 x 4 = 256 statistics: exactly the array
    EXPECT_TRUE(FunctionTable(names, values.data(), -5, flags, stats.data(), -1).empty());
    // Fewer names or flags than values: the missing ones are empty.
    const auto short_ = FunctionTable({"x"}, values.data(), 2, {}, stats.data(), 0);
    ASSERT_EQ(short_.size(), 2u);
    EXPECT_EQ(short_[1].name, "");
    EXPECT_EQ(short_[1].mean, "");
}

TEST(KestalPanelFormat, ValuesCountdownArithmetic)
{
    RefreshCountdowns c;
    // Starts at 20: the first job comes at the 22nd step (after the value was -1).
    int steps = 0;
    while (!c.StepValues())
        ++steps;
    EXPECT_EQ(steps, 21);
    c.RestartValues(1); // 1 s sample period: countdown 0, a job every second step
    EXPECT_EQ(c.values, 0);
    EXPECT_FALSE(c.StepValues());
    EXPECT_TRUE(c.StepValues());
    c.RestartValues(3600);
    EXPECT_EQ(c.values, 10);
    c.RestartValues(10);
    EXPECT_EQ(c.values, 5);
    c.RestartValues(0);
    EXPECT_EQ(c.values, 0);
}

TEST(KestalPanelFormat, StatusCountdownComesEvery62Ticks)
{
    RefreshCountdowns c;
    int first = 0;
    while (!c.StepStatus())
        ++first;
    EXPECT_EQ(first, 61); // 60 .. 0, -1
    EXPECT_EQ(c.status, 60);
    int next = 1;
    while (!c.StepStatus())
        ++next;
    EXPECT_EQ(next, 62);
}

TEST(KestalPanelFormat, ColumnsShareTheRoomAndNeverGoBelowTheirNeeds)
{
    const std::vector<int> need{40, 50, 50};
    const std::vector<int> want{60, 50, 70};
    // Room for all: as wanted.
    EXPECT_EQ(FitColumnWidths(need, want, 200), want);
    EXPECT_EQ(FitColumnWidths(need, want, 180), want);
    // Short of room: the needs plus the rest, shared by what each wants beyond its need.
    const std::vector<int> shared = FitColumnWidths(need, want, 160);
    EXPECT_EQ(shared, (std::vector<int>{50, 50, 60}));
    EXPECT_EQ(FitColumnWidths(need, want, 141), (std::vector<int>{40, 50, 50})); // 1 / 2 is 0
    // Not even the needs fit: the needs.
    EXPECT_EQ(FitColumnWidths(need, want, 100), need);
    EXPECT_EQ(FitColumnWidths({}, {}, 10), std::vector<int>{});
}
