#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

#include <ostrel/DataStore.h>
#include <testing/TestSupport.h>
#include <ostrel/TextReaders.h>

using namespace varno::ostrel;

namespace {

std::string print(CUtcTime t)
{
    char buf[CUtcTime::PrintBufferSize];
    return t.Print(buf, false);
}

struct Read {
    CDataStore store;
    explicit Read(const std::string& text, bool numbers = false)
    {
        if (numbers)
            CNumberLogReader(store.Table()).Read(text.data(), text.size());
        else
            CTextLogReader(store.Table()).Read(text.data(), text.size());
    }
};

TEST(TextLogReader, ValueLinesInBothDateForms)
{
    for (const char* line : {"2004-03-04 05:06:07 1.5 2.5\r\n", "04.03.2004 05:06:07 1.5 2.5", "  04.03.04 05:06:07.250,1.5;2.5"}) {
        Read r(line);
        ASSERT_EQ(r.store.GetEntryCount(), 1) << line;
        EXPECT_EQ(r.store.GetEntryFlags(0), LOGF_DATA | LOGF_TIME);
        EXPECT_EQ(print(r.store.GetEntryTime(0)), "2004-03-04 05:06:07");
        ASSERT_EQ(r.store.GetValueCount(0), 2) << line;
        EXPECT_EQ(r.store.GetValue(0, 0), 1.5);
        EXPECT_EQ(r.store.GetValue(0, 1), 2.5);
        EXPECT_EQ(r.store.GetAddressOffset(), r.store.GetEntryTime(0).GetSeconds());
    }
    Read seconds("86400 7 x 9");
    EXPECT_EQ(print(seconds.store.GetEntryTime(0)), "1970-01-02 00:00:00");
    EXPECT_EQ(seconds.store.GetValueCount(0), 3);
    EXPECT_EQ(seconds.store.GetValue(0, 1), 0); // not a number
}

TEST(TextLogReader, AValueLineWithoutValuesIsAnEntryWithNone)
{
    Read r("\"date\" \"time\" \"period\"\n2004-03-04 05:06:07\n");
    ASSERT_EQ(r.store.GetEntryCount(), 2);
    EXPECT_EQ(r.store.GetEntryFlags(1), LOGF_DATA | LOGF_TIME);
    EXPECT_EQ(r.store.GetValueCount(1), 0);
}

TEST(TextLogReader, ColumnLinesAndHeaderTexts)
{
    Read r("\"date\" \"time\" \"v1_mean\" \"v2_mean\"\n"
           "# instrument qrx731-1234\n"
           "# measurement 7\n"
           "# title Other\n"
           "plain text\n");
    ASSERT_EQ(r.store.GetEntryCount(), 5);
    EXPECT_EQ(r.store.GetEntryFlags(0), LOGF_TEXT | LOGF_COLUMNS);
    EXPECT_EQ(r.store.GetEntryText(0), "v1_mean,v2_mean");
    EXPECT_FALSE(r.store.GetEntryTime(0).bValid());
    EXPECT_EQ(r.store.GetSerialNumber(), 1234);
    EXPECT_STREQ(r.store.GetInstrumentName(), "QRX731");
    EXPECT_EQ(r.store.GetTitle(), "QRX731-1234 measurement 0007");
    EXPECT_EQ(r.store.GetEntryFlags(3), LOGF_TEXT | LOGF_HEADER);
    EXPECT_EQ(r.store.GetEntryText(4), "plain text");

    Read titled("# Title  Tower-A north\n");
    EXPECT_EQ(titled.store.GetTitle(), "Tower-A");
}

TEST(TextLogReader, ReadsTheConvertersOwnTableBack)
{
    Read r("# instrument varno305-1234\n# header \"Tower A\"\n\n"
           "\"date\" \"time\" \"period\" \"v1_mean\"\n"
           "2004-03-04 05:10:00 0    1.50\n");
    ASSERT_EQ(r.store.GetEntryCount(), 5);
    EXPECT_EQ(r.store.GetValueByName(4, "v1"), 1.5);
    EXPECT_EQ(r.store.GetValueByName(4, "period"), 0);
}

// Every column line and row the converter writes, with each separator it accepts: values
// left-justified or padded, a verbose prefix before the row.
TEST(TextLogReader, ReadsTablesWithEverySeparatorOfTheConverter)
{
    for (const std::string sep : {" ", ";", "\t", ", ", " ; ", "\t\t"}) {
        Read r("\"date\"" + sep + "\"time\"" + sep + "\"period\"" + sep + "\"v1_mean\"" + sep + "\"direction_mean360\"\n"
               + "2004-03-04 05:10:00" + sep + "0" + sep + "1.50   " + sep + "  NaN\n"
               + "7" + sep + "0x2008" + sep + "{v1_mean,direction_mean360}" + sep + "2004-03-04 05:20:00" + sep + "0"
               + sep + "2.50" + sep + "-INF   \n");
        ASSERT_EQ(r.store.GetEntryCount(), 3) << "[" << sep << "]";
        EXPECT_EQ(r.store.GetColumnNames(1), "period,v1_mean,direction_mean360") << "[" << sep << "]";
        for (int i : {1, 2}) {
            EXPECT_EQ(r.store.GetValueCount(i), 3) << "[" << sep << "]";
            EXPECT_EQ(r.store.GetValueByName(i, "period"), 0);
        }
        EXPECT_EQ(r.store.GetValueByName(1, "v1"), 1.5) << "[" << sep << "]";
        EXPECT_TRUE(std::isnan(r.store.GetValueByName(1, "direction"))) << "[" << sep << "]";
        EXPECT_EQ(print(r.store.GetEntryTime(2)), "2004-03-04 05:20:00") << "[" << sep << "]";
        EXPECT_EQ(r.store.GetValueByName(2, "v1"), 2.5) << "[" << sep << "]";
        EXPECT_EQ(r.store.GetValueByName(2, "direction"), -INFINITY) << "[" << sep << "]";
    }
    // An empty field between two separators still counts.
    Read empty("2004-03-04 05:10:00,1,,2\n");
    ASSERT_EQ(empty.store.GetValueCount(0), 3);
    EXPECT_EQ(empty.store.GetValue(0, 1), 0);
    EXPECT_EQ(empty.store.GetValue(0, 2), 2);
    // A row the converter printed without a time loads back as a row without one.
    Read untimed("1970-01-01 00:00:00 0    3.00\n");
    EXPECT_EQ(untimed.store.GetEntryFlags(0), LOGF_DATA | LOGF_TIME);
    EXPECT_FALSE(untimed.store.GetEntryTime(0).bValid());
    EXPECT_EQ(untimed.store.GetValue(0, 1), 3);
}

// Numbers are what printf writes: decimal fractions with an optional exponent, and inf and
// nan with a sign. Hexadecimal is none.
TEST(TextLogReader, NumbersAreWhatPrintfWrites)
{
    Read r("2004-03-04 05:06:07 0x2088 +1.5 -nan inf -INF 1e3 2.5e-1 1.5e x 1e999\n");
    ASSERT_EQ(r.store.GetValueCount(0), 10);
    EXPECT_EQ(r.store.GetValue(0, 0), 0);
    EXPECT_EQ(r.store.GetValue(0, 1), 1.5);
    EXPECT_TRUE(std::isnan(r.store.GetValue(0, 2)));
    EXPECT_EQ(r.store.GetValue(0, 3), INFINITY);
    EXPECT_EQ(r.store.GetValue(0, 4), -INFINITY);
    EXPECT_EQ(r.store.GetValue(0, 5), 1000);
    EXPECT_EQ(r.store.GetValue(0, 6), 0.25);
    EXPECT_EQ(r.store.GetValue(0, 7), 1.5);
    EXPECT_EQ(r.store.GetValue(0, 8), 0);
    EXPECT_EQ(r.store.GetValue(0, 9), INFINITY);

    const std::string hex = "0x10 0x20 0x30\n";
    EXPECT_FALSE(CNumberLogReader::FirstLineMatches(hex.data(), hex.size()));
}

// A date-time the time type cannot hold is no date: the line is text, never a date wrapped
// round into another year.
TEST(TextLogReader, DatesBeyondTheTimeTypeMakeTextLines)
{
    const char* beyond[] = {"2040-01-01 00:00:00 1", "9999-99-99 99:99:99 1", "2300-01-01 00:00:00 1",
                            "01.01.2106 00:00:00 1", "2004-03-04 4294967300:00:00 1", "99999999999 1", "-5 1"};
    for (const char* line : beyond) {
        Read r(line);
        EXPECT_EQ(r.store.GetEntryFlags(0), LOGF_TEXT) << line;
        EXPECT_EQ(r.store.Table().StoredTime(0).GetSeconds(), -1) << line;
    }
    Read last("2038-01-19 03:14:07 1");
    EXPECT_EQ(last.store.GetEntryFlags(0), LOGF_DATA | LOGF_TIME);
    EXPECT_EQ(print(last.store.GetEntryTime(0)), "2038-01-19 03:14:07");

    // A number-file row of December 2038 lies beyond the time type as well.
    Read row("2086912 45056 1\n", true);
    EXPECT_EQ(row.store.Table().StoredTime(0).GetSeconds(), -1);
}

TEST(NumberLogReader, FirstLineTestAndTimeEncoding)
{
    const std::string line = "2052097 12352 5 2064454\n";
    EXPECT_TRUE(CNumberLogReader::FirstLineMatches(line.data(), line.size()));
    for (const char* other : {"", "   \n", "1 2 4", "0 0 0 0", "2004-03-04 05:06:07 1 2", "1 2"})
        EXPECT_FALSE(CNumberLogReader::FirstLineMatches(other, std::strlen(other))) << other;

    Read r(line + "1 2\nx\n", true);
    ASSERT_EQ(r.store.GetEntryCount(), 3);
    EXPECT_EQ(print(r.store.GetEntryTime(0)), "2004-04-01 01:01:00");
    EXPECT_EQ(r.store.GetValueCount(0), 4);
    EXPECT_EQ(r.store.GetValue(0, 3), 2064454);
    EXPECT_EQ(r.store.GetEntryFlags(0), LOGF_DATA | LOGF_TIME);
    EXPECT_EQ(r.store.GetTitle(), "MAS File");
    EXPECT_STREQ(r.store.GetInstrumentName(), "MAS");
    // Year 0 becomes 1970, and a row without two numbers has no time.
    EXPECT_EQ(print(r.store.Table().StoredTime(1)), "1970-01-01 01:00:02");
    EXPECT_EQ(r.store.Table().StoredTime(2).GetSeconds(), -1);
}

TEST(Load, ChoosesTheReaderByContent)
{
    varno::testing::TempDir dir;
    varno::testing::writeFile(dir.file("n.dat"), std::string("2052097 12352 5 2064454\n"));
    varno::testing::writeFile(dir.file("t.txt"), std::string("2004-03-04 05:06:07 1.5\n"));
    CDataStore numbers, text;
    ASSERT_TRUE(numbers.Load(dir.file("n.dat")));
    ASSERT_TRUE(text.Load(dir.file("t.txt")));
    EXPECT_EQ(numbers.GetTitle(), "MAS File");
    EXPECT_EQ(text.GetValueCount(0), 1);
}

} // namespace
