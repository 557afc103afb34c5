#include <fenlux/FenluxGeometry.h>
#include <fenlux/LineFeeder.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <algorithm>
#include <string>

using namespace varno::fenlux;

TEST(FenluxNice, StepsAndLimits)
{
    EXPECT_EQ(nice(86400 * 3 + 1, 3), 86400);
    EXPECT_EQ(nice(100, 3), 30);
    EXPECT_EQ(nice(0.03, 3), 0.0);
    EXPECT_EQ(nice(1e9, 3), 6048000);
}

TEST(FenluxTimeSteps, GrowThroughTheNiceStepsThenInMultiplesOfTheLargest)
{
    EXPECT_EQ(largerTimeStep(0), 0.01);
    EXPECT_EQ(largerTimeStep(0.01), 0.02);
    EXPECT_EQ(largerTimeStep(86400), 172800);
    EXPECT_EQ(largerTimeStep(100), 120); // between two steps: the next above
    EXPECT_EQ(largerTimeStep(3024000), 6048000);
    EXPECT_EQ(largerTimeStep(6048000), 2 * 6048000.0);
    EXPECT_EQ(largerTimeStep(2 * 6048000.0), 5 * 6048000.0);
    EXPECT_EQ(largerTimeStep(5 * 6048000.0), 10 * 6048000.0);
}

TEST(FenluxTimeSteps, MinorStepDividesTheMajorIntoAtMost15Parts)
{
    EXPECT_EQ(minorTimeStep(86400, 0), 7200);    // 12 parts; 3600 would make 24
    EXPECT_EQ(minorTimeStep(86400, 7201), 10800); // not closer than the pixels allow
    EXPECT_EQ(minorTimeStep(3600, 0), 300);
    EXPECT_EQ(minorTimeStep(604800, 0), 43200);
    EXPECT_EQ(minorTimeStep(2, 0), 0.2);
    EXPECT_EQ(minorTimeStep(5 * 6048000.0, 0), 3024000);
    EXPECT_EQ(minorTimeStep(86400, 86400), 0);   // no room for any
    EXPECT_EQ(minorTimeStep(0.01, 0), 0);
}

TEST(FenluxTimeSteps, TicksAtMultiplesOfTheStepWithinTheRange)
{
    // 2026-10-25 00:00 .. 2026-10-27 18:00 UTC in days, minors every 6 hours.
    const double day = 86400, lo = 1792886400, hi = lo + 2.75 * day;
    const TimeTicks ticks = timeTicks(lo, hi, day, day / 4);
    EXPECT_EQ(ticks.major, (std::vector<double>{lo, lo + day, lo + 2 * day}));
    ASSERT_EQ(ticks.minor.size(), 9u); // 12 quarters of a day in range, 3 of them majors
    EXPECT_EQ(ticks.minor.front(), lo + day / 4);
    EXPECT_EQ(ticks.minor.back(), hi);
    for (double m : ticks.minor)
        EXPECT_NE(std::fmod(m - lo, day), 0.0) << m;
    // A bound that is a multiple only up to rounding still carries its tick, inside the range.
    const TimeTicks rounded = timeTicks(0.30000000000000004, 0.7, 0.1, 0);
    ASSERT_EQ(rounded.major.size(), 5u);
    EXPECT_GE(rounded.major.front(), 0.30000000000000004);
    EXPECT_TRUE(rounded.minor.empty());
    EXPECT_TRUE(timeTicks(lo, hi, 0, 0).major.empty());
    EXPECT_TRUE(timeTicks(0, 1e12, 1, 0).major.empty()); // absurdly many: none
}

TEST(FenluxMagnify, VisibleCountAcrossTheSlider)
{
    EXPECT_EQ(visibleCountFor(1000, 0), 1000);
    EXPECT_EQ(visibleCountFor(1000, 1000), 10);
    EXPECT_EQ(visibleCountFor(1000, 500), 100);
    // Fewer than 10 rows: magnify 1000 asks for 10, the window shows all.
    EXPECT_EQ(rowWindow(5, visibleCountFor(5, 1000), 2).count, 5);
    EXPECT_EQ(visibleCountFor(0, 500), 0);
}

TEST(FenluxRowWindowTest, KeepsTheWindowInsideTheData)
{
    RowWindow w = rowWindow(100, 10, 0);
    EXPECT_EQ(w.start, 0);
    EXPECT_EQ(w.count, 10);
    w = rowWindow(100, 10, 99);
    EXPECT_EQ(w.start, 90);
    w = rowWindow(100, 10, 50);
    EXPECT_EQ(w.start, 45);
    w = rowWindow(1, 0, 0);
    EXPECT_EQ(w.count, 1);
    EXPECT_EQ(w.start, 0);
}

TEST(FenluxZoom, NearestRowAndMagnify)
{
    const double x[] = {0, 10, 20, 30, 40};
    EXPECT_EQ(nearestRow(x, 5, 4), 0);
    EXPECT_EQ(nearestRow(x, 5, 6), 1);
    EXPECT_EQ(nearestRow(x, 5, 5), 1); // a tie takes the later row
    EXPECT_EQ(nearestRow(x, 5, -3), 0);
    EXPECT_EQ(nearestRow(x, 5, 99), 4); // beyond the last row: the last row

    int m = -7;
    EXPECT_TRUE(magnifyForRows(0, 100, 1000, &m));
    EXPECT_EQ(m, 500);
    m = -7;
    EXPECT_FALSE(magnifyForRows(0, 5, 10, &m)); // ln(10/10) is 0
    EXPECT_EQ(m, -7);
    EXPECT_FALSE(magnifyForRows(3, 3, 100, &m));
    EXPECT_TRUE(magnifyForRows(0, 5, 11, &m));
}

TEST(FenluxSnapping, StepsAreWholeAndPositive)
{
    EXPECT_EQ(snapStep(false, 2000), 100);
    EXPECT_EQ(snapStep(false, 1000), 50);
    EXPECT_EQ(snapStep(false, 500), 25);
    EXPECT_EQ(snapStep(false, 200), 10);
    EXPECT_EQ(snapStep(false, 199), 1);
    EXPECT_EQ(snapStep(true, 1), 1);    // nice gives 0 or fractions: at least 1
    EXPECT_EQ(snapStep(true, 10), 1);   // nice(nice(10,3),5) = 0.5
    EXPECT_EQ(snapStep(true, 100000), 3600);
    EXPECT_EQ(snapOrigin(137, 0, 25), 125);
    EXPECT_EQ(snapOrigin(137, 5, 25), 120);
    EXPECT_EQ(snapOrigin(137, 0, 0), 137);
    EXPECT_EQ(snapOrigin(3, -10, 25), 3 - 18);
}

namespace {
struct Recorded {
    std::vector<std::vector<PolylinePoint>> lines;
};
} // namespace

TEST(FenluxReduction, FourPointsPerPixelColumnAndGapsAtNaN)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Ten points per pixel column.
    std::vector<double> x, y;
    for (int i = 0; i < 40; ++i) {
        x.push_back(i);
        y.push_back(i == 13 ? 100 : (i == 17 ? -100 : i % 10));
    }
    y[25] = nan;
    auto px = [](double v) { return v / 10.0; };
    for (bool ascending : {false, true}) {
        std::vector<std::vector<PolylinePoint>> lines;
        if (ascending)
            reduceAscending(x.data(), y.data(), x.size(), px, &lines);
        else
            reducePoints(x.data(), y.data(), x.size(), px, &lines);
        ASSERT_EQ(lines.size(), 2u) << ascending;
        // Column 0: first 0, min 0 (same as first), max 9, last 9.
        EXPECT_EQ(lines[0][0].x, 0);
        EXPECT_EQ(lines[0][1].x, 9);
        // Column 1 keeps the spike order: first, max at 13, min at 17, last.
        EXPECT_EQ(lines[0][2].x, 10);
        EXPECT_EQ(lines[0][3].y, 100);
        EXPECT_EQ(lines[0][4].y, -100);
        EXPECT_EQ(lines[0][5].x, 19);
        // The NaN at 25 ends the first line after row 24.
        EXPECT_EQ(lines[0].back().x, 24);
        EXPECT_EQ(lines[1].front().x, 26);
        EXPECT_EQ(lines[1].back().x, 39);
        size_t total = 0;
        for (auto& l : lines)
            total += l.size();
        EXPECT_LE(total, 4u * 5u);
    }
}

TEST(FenluxLineFeederTest, WholeLinesAcrossChunksAndALastLineWithoutEnd)
{
    LineFeeder feeder;
    std::vector<std::string> lines;
    auto on = [&](const char* l) {
        lines.emplace_back(l);
        return true;
    };
    const std::string longLine(10000, 'z');
    const std::string text = "a,b\r\n" + longLine + "\nlast";
    for (size_t i = 0; i < text.size(); i += 7)
        feeder.feed(text.data() + i, std::min<size_t>(7, text.size() - i), on);
    feeder.finish(on);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "a,b\r");
    EXPECT_EQ(lines[1], longLine);
    EXPECT_EQ(lines[2], "last");
}

TEST(FenluxReduction, BlockSummaryGivesTheSameSpansAsEveryRow)
{
    const size_t n = 100000;
    std::vector<double> x(n), y(n);
    unsigned seed = 12345;
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        x[i] = double(i);
        y[i] = double(seed % 10007) / 7.0 - 500;
    }
    y[54321] = std::numeric_limits<double>::quiet_NaN();
    ColumnSummary summary;
    summary.build(y.data(), n);
    auto px = [](double v) { return v / 997.0; };
    // Per pixel column: lowest and highest value drawn, and the number of line breaks.
    auto spans = [&](size_t offset, const ColumnSummary* s) {
        std::vector<std::vector<PolylinePoint>> lines;
        reduceAscending(x.data() + offset, y.data() + offset, n - offset, px, &lines, s, offset);
        std::map<long, std::pair<double, double>> out;
        for (const auto& line : lines)
            for (const PolylinePoint& p : line) {
                const long c = long(std::floor(px(p.x)));
                auto it = out.find(c);
                if (it == out.end())
                    out[c] = {p.y, p.y};
                else
                    it->second = {std::min(it->second.first, p.y), std::max(it->second.second, p.y)};
            }
        return std::make_pair(lines.size(), out);
    };
    for (size_t offset : {size_t(0), size_t(1000), size_t(12345)}) {
        const auto fast = spans(offset, &summary);
        const auto slow = spans(offset, nullptr);
        EXPECT_EQ(fast.first, 2u);
        EXPECT_EQ(fast.first, slow.first);
        EXPECT_EQ(fast.second, slow.second) << offset;
    }
    double lo = 0, hi = 0;
    ASSERT_TRUE(summary.range(y.data(), 100, 60000, &lo, &hi));
    double expected = y[100];
    for (size_t i = 100; i < 60000; ++i)
        if (!std::isnan(y[i]))
            expected = std::min(expected, y[i]);
    EXPECT_EQ(lo, expected);
}
