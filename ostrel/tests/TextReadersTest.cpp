#include <cstring>
#include <gtest/gtest.h>

#include "DataStore.h"
#include "TestSupport.h"
#include "TextReaders.h"

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
            CNumberLogReader(store).Read(text.data(), text.size());
        else
            CTextLogReader(store).Read(text.data(), text.size());
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
    EXPECT_EQ(print(r.store.GetStoredTime(1)), "1970-01-01 01:00:02");
    EXPECT_EQ(r.store.GetStoredTime(2).GetSeconds(), -1);
}

TEST(Load, ChoosesTheReaderByContent)
{
    testsupport::TempDir dir;
    testsupport::writeFile(dir.file("n.dat"), std::string("2052097 12352 5 2064454\n"));
    testsupport::writeFile(dir.file("t.txt"), std::string("2004-03-04 05:06:07 1.5\n"));
    CDataStore numbers, text;
    ASSERT_TRUE(numbers.Load(dir.file("n.dat")));
    ASSERT_TRUE(text.Load(dir.file("t.txt")));
    EXPECT_EQ(numbers.GetTitle(), "MAS File");
    EXPECT_EQ(text.GetValueCount(0), 1);
}

} // namespace
