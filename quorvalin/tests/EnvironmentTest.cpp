// The link and the simulated instruments behave the same whatever time zone the calling
// program runs in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <regex>
#include <string>

#include "BenchFixture.h"
#include "Quorvalin.h"
#include "TimeZone.h"

namespace {

// POSIX zone texts need no zone database: nine hours east, and a zone with summer time.
const char* const kZones[] = {"UTC0", "JST-9", "NST3:30NDT,M3.2.0,M11.1.0", "LINT-14", "Asia/Tokyo",
                              "Europe/Berlin"};

} // namespace

TEST(TimeZones, ThePcClockOfTheInstrumentsIsUtc)
{
    for (const char* zone : kZones) {
        ScopedTimeZone tz(zone);
        EXPECT_NEAR(double(qsim::processClock()), double(std::time(nullptr)), 2.0) << zone;
    }
}

TEST(TimeZones, IdleTimeIgnoresAChangeOfZone)
{
    // A change of zone stands for a daylight-saving switch: the idle count runs on.
    std::unique_ptr<CQuorvalin> link(CQuorvalin::newObject());
    ScopedTimeZone tz("UTC0");
    link->IdleTime(0);
    tz.set("JST-9");
    EXPECT_LE(link->IdleTime(1), 1);
    tz.set("NST3:30NDT,M3.2.0,M11.1.0");
    EXPECT_LE(link->IdleTime(1), 1);
    EXPECT_GE(link->IdleTime(1), 0);
}

class LinkEnvironment : public BenchTest {
protected:
    std::unique_ptr<CQuorvalin> connect()
    {
        std::unique_ptr<CQuorvalin> link(CQuorvalin::newObject());
        link->SetPassword("varno");
        EXPECT_TRUE(link->Connect("COM3", "", "", 1)) << link->GetLastErrorText();
        return link;
    }
};

TEST_F(LinkEnvironment, InstrumentTimeIsTheSameInEveryZoneAndTheOffsetIsToLocalTime)
{
    addInstrument("direct", "COM3", "");
    for (const char* zone : {"UTC0", "JST-9", "NST3:30NDT,M3.2.0,M11.1.0"}) {
        ScopedTimeZone tz(zone);
        auto link = connect();
        EXPECT_EQ(link->SendCommand("get time", -1, -1), "2026-03-15 12:00:00") << zone;
        // The terminal shows its local time plus this offset.
        struct tm local;
        const time_t pc = time_t(kStart);
        localtime_r(&pc, &local);
        EXPECT_DOUBLE_EQ(link->GetClockOffset(), -double(local.tm_gmtoff)) << zone;
    }

    // Set to the local time of Tokyo, the instrument runs nine hours ahead of UTC.
    ScopedTimeZone tz("JST-9");
    auto link = connect();
    ASSERT_TRUE(link->SetClock(2026, 3, 15, 21, 0, 0));
    EXPECT_DOUBLE_EQ(link->GetClockOffset(), 0.0);
    tz.set("UTC0");
    EXPECT_DOUBLE_EQ(link->GetClockOffset(), 9 * 3600.0);
    EXPECT_EQ(link->SendCommand("get time", -1, -1), "2026-03-15 21:00:00");
}
