#include <gtest/gtest.h>

#include <quorvalin/Quorvalin.h>

TEST(PeriodTexts, EveryChoiceOfTheSetupPageRoundTrips)
{
    const struct {
        const char* text;
        int32_t seconds;
    } choices[] = {{" 1 s", 1}, {" 2 s", 2}, {" 5 s", 5}, {"10 s", 10}, {"30 s", 30}, {" 1 min", 60},
                   {" 5 min", 300}, {"10 min", 600}, {" 1 h", 3600}, {"12 h", 43200}, {"24 h", 86400},
                   {"OFF", 0}};
    for (const auto& c : choices) {
        EXPECT_EQ(quorvalin_seconds2string(c.seconds), c.text);
        EXPECT_EQ(quorvalin_string2seconds(c.text), c.seconds) << c.text;
    }
}

TEST(PeriodTexts, TypedTextAndOddValues)
{
    EXPECT_EQ(quorvalin_string2seconds("10min"), 600);
    EXPECT_EQ(quorvalin_string2seconds("  2 h "), 7200);
    EXPECT_EQ(quorvalin_string2seconds("90"), 90);
    EXPECT_EQ(quorvalin_string2seconds("1.5 min"), 90);
    EXPECT_EQ(quorvalin_string2seconds("1 d"), 86400);
    EXPECT_EQ(quorvalin_string2seconds("off"), 0);
    EXPECT_EQ(quorvalin_string2seconds(""), 0);
    EXPECT_EQ(quorvalin_string2seconds("fast"), 0);
    EXPECT_EQ(quorvalin_string2seconds("10 parsecs"), 0);
    EXPECT_EQ(quorvalin_string2seconds("-5 s"), 0);
    EXPECT_EQ(quorvalin_string2seconds("99999999 h"), 0);
    EXPECT_EQ(quorvalin_seconds2string(90), "90 s");
    EXPECT_EQ(quorvalin_seconds2string(5400), "90 min");
    EXPECT_EQ(quorvalin_seconds2string(7), " 7 s");
    for (int32_t s : {1, 7, 59, 60, 61, 90, 3599, 3600, 5400, 86400, 172800})
        EXPECT_EQ(quorvalin_string2seconds(quorvalin_seconds2string(s)), s) << s;
}

TEST(TimeTexts, FullTimeAlways)
{
    EXPECT_EQ(quorvalin_time2string(0), "1970-01-01 00:00:00");
    EXPECT_EQ(quorvalin_time2string(1155772800u), "2006-08-17 00:00:00");
    EXPECT_EQ(quorvalin_time2string(1154433600u + 3661), "2006-08-01 13:01:01");
    EXPECT_EQ(quorvalin_time2string(4294967295u), "2106-02-07 06:28:15");
}

TEST(Magics, PlainEquality)
{
    EXPECT_TRUE(MagicEqual(0, 0));
    EXPECT_TRUE(MagicEqual(123456, 123456));
    EXPECT_FALSE(MagicEqual(123456, 123457));
    EXPECT_FALSE(quorvalin_getversionstring().empty());
}
