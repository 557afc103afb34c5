#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>

#include "NumberFormat.h"

namespace {

std::string format(const CNumberFormat& f, double v)
{
    std::string out;
    f.Append(out, v);
    return out;
}

TEST(NumberFormat, AcceptsOnlyOneFloatingConversion)
{
    for (const char* good : {"%f", "%7.2f", "%-+ #010.3e", "x=%g%%", "%%%.1F", "%a", "%.f", "%8.3G units"})
        EXPECT_TRUE(CNumberFormat::IsValid(good)) << good;
    for (const char* bad : {"", "abc", "%s", "%n", "%d", "%f%f", "%*f", "%.*f", "%lf", "%Lf", "%7.2", "%%", "%f%",
                            "%5$f", "%'f", "%99999f"})
        EXPECT_FALSE(CNumberFormat::IsValid(bad)) << bad;
    CNumberFormat f("%7.2f");
    EXPECT_FALSE(f.Set("%s"));
    EXPECT_EQ(f.Get(), "%7.2f");
}

TEST(NumberFormat, NonFiniteValues)
{
    CNumberFormat f("%7.2f");
    EXPECT_EQ(format(f, INFINITY), " +INF");
    EXPECT_EQ(format(f, -INFINITY), " -INF");
    EXPECT_EQ(format(f, NAN), " NaN");
    EXPECT_EQ(format(f, 1.5), "   1.50");
}

// The fast route must give exactly the text of printf.
TEST(NumberFormat, FastRouteMatchesPrintf)
{
    std::mt19937 random(42);
    std::uniform_real_distribution<float> wide(-1e7f, 1e7f);
    std::uniform_int_distribution<int> tenths(-100000, 100000);
    const char* formats[] = {"%7.2f", "%8.3f", "%f", "%.0f", "%12.6f", "%3.1f", "%.2f"};
    for (const char* text : formats) {
        CNumberFormat f(text);
        for (int k = 0; k < 20000; ++k) {
            const double v = k % 2 ? double(wide(random)) : double(float(tenths(random) * 0.1));
            char expected[400];
            std::snprintf(expected, sizeof expected, text, v);
            ASSERT_EQ(format(f, v), expected) << text << " " << v;
        }
        for (double v : {0.0, -0.0, 0.125, 0.375, 2.5, -2.5, 1e300, -1e-300, 0.005, 1e15}) {
            char expected[400];
            std::snprintf(expected, sizeof expected, text, v);
            ASSERT_EQ(format(f, v), expected) << text << " " << v;
        }
    }
}

TEST(NumberFormat, LongOutputIsNotCut)
{
    CNumberFormat f("%300.2e");
    EXPECT_EQ(format(f, 1.0).size(), 300u);
}

} // namespace
