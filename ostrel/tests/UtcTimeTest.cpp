#include <gtest/gtest.h>

#include <ostrel/UtcTime.h>

namespace {

std::string print(const CUtcTime& t, bool dateOnly)
{
    char buf[CUtcTime::PrintBufferSize];
    return t.Print(buf, dateOnly);
}

TEST(UtcTime, InvalidTimesPrintAsZeros)
{
    for (const CUtcTime t : {CUtcTime(), CUtcTime(0), CUtcTime(-5)}) {
        EXPECT_FALSE(t.bValid());
        EXPECT_EQ(print(t, false), "0000-00-00 00:00:00");
        EXPECT_EQ(print(t, true), "0000-00-00");
    }
    EXPECT_TRUE(CUtcTime(1).bValid());
    EXPECT_EQ(print(CUtcTime(1), true), "1970-01-01 00:00:01");
}

TEST(UtcTime, CalendarFieldsAndMidnight)
{
    const CUtcTime y2k(2000, 1, 1, 0, 0, 0);
    EXPECT_EQ(y2k.GetSeconds(), 946684800);
    EXPECT_EQ(print(y2k, true), "2000-01-01");
    EXPECT_EQ(print(y2k, false), "2000-01-01 00:00:00");
    const CUtcTime t(2006, 8, 17, 13, 4, 59);
    EXPECT_EQ(t.GetYear(), 2006);
    EXPECT_EQ(t.GetMonth(), 8);
    EXPECT_EQ(t.GetDay(), 17);
    EXPECT_EQ(t.GetHour(), 13);
    EXPECT_EQ(t.GetMinute(), 4);
    EXPECT_EQ(t.GetSecond(), 59);
    EXPECT_EQ(print(CUtcTime(2038, 1, 19, 3, 14, 7), false), "2038-01-19 03:14:07");
}

TEST(UtcTime, LeapYearsAndCarries)
{
    EXPECT_EQ(print(CUtcTime(2004, 2, 29, 23, 59, 59) + CUtcTimeSpan(1), false), "2004-03-01 00:00:00");
    EXPECT_EQ(print(CUtcTime(2000, 2, 28, 0, 0, 0) + CUtcTimeSpan(86400), true), "2000-02-29");
    // 2100 lies beyond the 32-bit range, but differences still tell its calendar.
    EXPECT_EQ((CUtcTime(2100, 3, 1, 0, 0, 0) - CUtcTime(2100, 2, 28, 0, 0, 0)).GetTotalSeconds(), 86400);
    EXPECT_EQ((CUtcTime(2000, 3, 1, 0, 0, 0) - CUtcTime(2000, 2, 28, 0, 0, 0)).GetTotalSeconds(), 2 * 86400);
    // Fields beyond their range carry into the next unit, months into the year.
    EXPECT_EQ(CUtcTime(2004, 1, 32, 0, 0, 0), CUtcTime(2004, 2, 1, 0, 0, 0));
    EXPECT_EQ(CUtcTime(2004, 1, 1, 24, 0, 0), CUtcTime(2004, 1, 2, 0, 0, 0));
    EXPECT_EQ(CUtcTime(2004, 13, 1, 0, 0, 0), CUtcTime(2005, 1, 1, 0, 0, 0));
    EXPECT_EQ(CUtcTime(2004, 0, 1, 0, 0, 0), CUtcTime(2003, 12, 1, 0, 0, 0));
}

TEST(UtcTime, EveryDayFrom1970To2038RoundTrips)
{
    for (int32_t secs = 43200; secs > 0 && secs < 2147400000; secs += 86400) {
        const CUtcTime t(secs);
        ASSERT_EQ(CUtcTime(t.GetYear(), t.GetMonth(), t.GetDay(), t.GetHour(), t.GetMinute(), t.GetSecond()), t);
    }
}

TEST(UtcTime, ArithmeticKeepsInvalidTimesInvalid)
{
    CUtcTime invalid;
    EXPECT_FALSE((invalid + CUtcTimeSpan(100)).bValid());
    invalid += CUtcTimeSpan(100);
    EXPECT_EQ(invalid.GetSeconds(), 0);
    CUtcTime negative(-5);
    negative -= CUtcTimeSpan(1);
    EXPECT_EQ(negative.GetSeconds(), -5);
    EXPECT_EQ((CUtcTime(-5) - CUtcTimeSpan(1)).GetSeconds(), 0);

    const CUtcTime t1(2004, 1, 1, 0, 0, 0), t2(2004, 1, 1, 0, 0, 30);
    EXPECT_EQ((t2 - t1).GetTotalSeconds(), 30);
    EXPECT_EQ((t1 - t2).GetTotalSeconds(), -30);
    EXPECT_EQ((CUtcTime(10) + CUtcTime(20)).GetTotalSeconds(), 30);
    EXPECT_EQ(CUtcTimeSpan(1, 2, 3, 4).GetTotalSeconds(), 93784);
    EXPECT_LT(t1, t2);
    EXPECT_GE(t2, t1);
}

} // namespace
