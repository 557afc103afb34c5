#include <fenlux/FenluxParse.h>

#include <testing/CommaLocale.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include <string>
#include <vector>

using namespace varno::fenlux;

namespace {

std::vector<std::string> fields(const char* text, bool strip = false)
{
    std::vector<std::string> out;
    const char* p = text;
    while (*p) {
        Field f;
        p = csv_readfield(p, &f, strip);
        out.push_back(f.text());
    }
    return out;
}

std::string normalised(const char* line)
{
    std::string out;
    normaliseLine(line, &out);
    return out;
}

} // namespace

TEST(FenluxFieldSplitter, SeparatorsBlanksAndEmptyFields)
{
    EXPECT_EQ(fields("a , b"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(fields("a,,b"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(fields("a;;b"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_EQ(fields("a\tb c\r\n"), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(fields("  lead,trail,  \n"), (std::vector<std::string>{"lead", "trail"}));
}

TEST(FenluxFieldSplitter, QuotesAndBracesKeepSeparators)
{
    EXPECT_EQ(fields("\"a b,c\",d"), (std::vector<std::string>{"\"a b,c\"", "d"}));
    EXPECT_EQ(fields("\"a b,c\",d", true), (std::vector<std::string>{"a b,c", "d"}));
    EXPECT_EQ(fields("{x, {y z}} w", true), (std::vector<std::string>{"x, {y z}", "w"}));
    // A quote inside braces does not open a quoted part.
    EXPECT_EQ(fields("{a\"b} c"), (std::vector<std::string>{"{a\"b}", "c"}));
    // A lone quote is not stripped.
    EXPECT_EQ(fields("\"", true), (std::vector<std::string>{"\""}));
}

TEST(FenluxCsvGetTime, BothCalendarFormsReadTheSameUtcTime)
{
    const char* next = nullptr;
    EXPECT_DOUBLE_EQ(csv_gettime("17.08.2006 12:00:00.250", &next), 1155816000.25);
    EXPECT_DOUBLE_EQ(csv_gettime("2006-08-17 12:00:00.250", &next), 1155816000.25);
    EXPECT_DOUBLE_EQ(csv_gettime("1970-01-01 00:00:00", &next), 0.0);
    EXPECT_DOUBLE_EQ(csv_gettime("2000-03-01T00:00:01", &next), 951868801.0);
    // Milliseconds are the number written after the point.
    EXPECT_DOUBLE_EQ(csv_gettime("2006-08-17 12:00:00.5", &next), 1155816000.005);
}

TEST(FenluxCsvGetTime, PositionAfterTheTime)
{
    const char* line = "2006-08-17,12:00:00,1.5";
    const char* next = nullptr;
    csv_gettime(line, &next);
    EXPECT_STREQ(next, "1.5");
    const char* number = " 42.5 , 7";
    EXPECT_DOUBLE_EQ(csv_gettime(number, &next), 42.5);
    EXPECT_STREQ(next, "7");
}

TEST(FenluxCsvGetTime, UnreadableAndOutOfRange)
{
    const char* next = nullptr;
    EXPECT_EQ(csv_gettime("\"date\" \"time\"", &next), -1);
    EXPECT_EQ(csv_gettime("", &next), -1);
    EXPECT_EQ(csv_gettime("1899-12-31 00:00:00", &next), -1);
    EXPECT_EQ(csv_gettime("2006-00-17 00:00:00", &next), -1);
    // Only one date-separator kind per time: falls back to the number 2006.
    EXPECT_DOUBLE_EQ(csv_gettime("2006-08.17 00:00:00", &next), 2006);
}

TEST(FenluxTimeText, NumberAndCalendarModes)
{
    EXPECT_EQ(timeText(1155816000, false), "1155816000");
    EXPECT_EQ(timeText(1155816000.0004, false), "1155816000");
    EXPECT_EQ(timeText(1155816000.25, false), "1155816000.250");
    EXPECT_EQ(timeText(1155816000.25, true), "2006-08-17 12:00:00.250");
    EXPECT_EQ(timeText(1155816000, true, 'T'), "2006-08-17T12:00:00");
    EXPECT_EQ(timeText(0, true), "0000-00-00 00:00:00");
    EXPECT_EQ(timeText(-5, true), "0000-00-00 00:00:00");
    EXPECT_EQ(timeText(86399.9999, true), "1970-01-02 00:00:00");
}

TEST(FenluxCalendarConversion, RoundTripsOverLeapYears)
{
    for (long long t : {0LL, 951782400LL, 951868800LL, 4102444800LL, 1155816000LL}) {
        const CalendarTime c = utcCalendar(t);
        EXPECT_EQ(utcSeconds(c.year, c.month, c.day, c.hour, c.minute, c.second), t);
    }
    const CalendarTime leap = utcCalendar(951782400); // 2000-02-29
    EXPECT_EQ(leap.month, 2);
    EXPECT_EQ(leap.day, 29);
}

TEST(FenluxNormaliseLine, ExamplesOfTheLineForms)
{
    EXPECT_EQ(normalised("2006-08-17,12:00:00,1.5,2.25"), "1155816000,1.5,2.25");
    EXPECT_EQ(normalised("# instrument T1 nr 7"), "#,instrument,T1,nr,7");
    EXPECT_EQ(normalised("\"date\" \"time\" \"period\" \"v1_mean\"\n"),
              "\"time\",\"period\",\"v1_mean\"");
    EXPECT_EQ(normalised("2004-03-04 05:06:07 0    1.50   20.00\n"), "1078376767,0,1.50,20.00");
    EXPECT_EQ(normalised("12.5;;3\r\n"), "12.500,,3");
    EXPECT_EQ(normalised("\r\n"), "");
    // A "date" without "time" one character later stays a field.
    EXPECT_EQ(normalised("\"date\",\"x\""), "\"date\",\"x\"");
}

TEST(FenluxNormaliseLine, OverlongFieldDropsTheRestOfTheLine)
{
    std::string line = "1,2,";
    line += std::string(kLineBufferSize, 'x');
    line += ",3";
    testing::internal::CaptureStderr();
    std::string out;
    EXPECT_FALSE(normaliseLine(line.c_str(), &out));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "line buffer overflow\n");
    EXPECT_EQ(out, "1,2");
}

// Numbers are what printf writes in the C locale, whatever the process locale says.
TEST(FenluxReadNumber, DecimalNumbersInAnyLocaleAndThePositionOfTheSplitter)
{
    const struct {
        const char* text;
        double value;
    } cases[] = {{"1.5,2", 1.5},
                 {" -12.25 ; x", -12.25},
                 {"0.1,", 0.1},
                 {"12.", 12},
                 {".5", 0.5},
                 {"+7", 7},
                 {"-0", -0.0},
                 {"1e3,4", 1000},
                 {"2.5e-1 x", 0.25},
                 {"0x1A,2", 0}, // hexadecimal is no number: the 0 before the x
                 {"NaN,1", NAN},
                 {"+INF", INFINITY},
                 {"-inf x", -INFINITY},
                 {"1.5abc,9", 1.5},
                 {"\"2\",3", 0},
                 {"", 0},
                 {"123456789012345678,1", 123456789012345678.0},
                 {"0.30000000000000004,2", 0.30000000000000004},
                 {"999999999999999.9,1", 999999999999999.9},
                 {"7.0e-1;2", 0.7},
                 {"1e999", INFINITY},
                 {"3 4", 3}};
    const varno::testing::ScopedCommaLocale comma;
    if (!comma.active())
        GTEST_SKIP() << varno::testing::CommaLocale::missingReason();
    for (const auto& c : cases) {
        double value = -12345;
        const char* next = csv_readnumber(c.text, &value);
        if (std::isnan(c.value))
            EXPECT_TRUE(std::isnan(value)) << c.text;
        else
            EXPECT_EQ(value, c.value) << c.text;
        EXPECT_EQ(std::signbit(value), std::signbit(c.value)) << c.text;
        EXPECT_EQ(next, csv_skipfield(c.text)) << c.text;
    }
    const char* next = nullptr;
    EXPECT_DOUBLE_EQ(csv_gettime("1155816000.25e0,1", &next), 1155816000.25);
    EXPECT_EQ(timeText(1155816000.25, false), "1155816000.250");
    std::string out;
    ASSERT_TRUE(normaliseLine("2006-08-17 12:00:00.250 1.5e0 2.75", &out));
    EXPECT_EQ(out, "1155816000.250,1.5e0,2.75");
}
