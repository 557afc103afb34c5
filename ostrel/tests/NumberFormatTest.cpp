#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>

#include <testing/CommaLocale.h>
#include <ostrel/NumberFormat.h>

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

// Every accepted format writes what printf writes in the C locale, also when the process
// runs in a comma-decimal locale.
TEST(NumberFormat, EveryFormatWritesWhatPrintfWritesInTheCLocale)
{
    std::vector<std::string> formats{"x=%g%%", "%8.3G units", "%%%.1F"};
    for (const char* flags : {"", "-", "+", " ", "#", "0", "-+#", "+0", " #0"})
        for (const char* width : {"", "1", "12"})
            for (const char* precision : {"", ".0", ".3", ".17"})
                for (const char letter : std::string("fFeEgGaA"))
                    formats.push_back(std::string("%") + flags + width + precision + letter);
    const double values[] = {0.0,   -0.0,       1.0,      -1.5,   0.1,    123.456,          1e-5,
                             99999.5, 0.00012345, 1e21,     -2.5e-300, 9.5, double(3.14159f), 1.7976931348623157e308, 5e-324, 2.2e-308};
    std::vector<std::string> expected;
    for (const std::string& f : formats)
        for (double v : values) {
            std::vector<char> text(2000);
            std::snprintf(text.data(), text.size(), f.c_str(), v);
            expected.push_back(text.data());
        }

    const varno::testing::ScopedCommaLocale comma; // where it cannot be made, the C locale is checked
    size_t k = 0;
    for (const std::string& f : formats) {
        const CNumberFormat format(f);
        ASSERT_EQ(format.Get(), f);
        for (double v : values)
            ASSERT_EQ(::format(format, v), expected[k++]) << f << " of " << v;
    }
}

TEST(NumberFormat, LongOutputIsNotCut)
{
    CNumberFormat f("%300.2e");
    EXPECT_EQ(format(f, 1.0).size(), 300u);
}

} // namespace
