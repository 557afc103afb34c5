// The link, the simulated instruments and their files behave the same whatever time zone
// and number locale the calling program runs in.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <regex>
#include <string>

#include <testing/BenchFixture.h>
#include <testing/CommaLocale.h>
#include <quorvalin/Quorvalin.h>
#include <testing/TimeZone.h>

namespace {

// POSIX zone texts need no zone database: nine hours east, and a zone with summer time.
const char* const kZones[] = {"UTC0", "JST-9", "NST3:30NDT,M3.2.0,M11.1.0", "LINT-14", "Asia/Tokyo",
                              "Europe/Berlin"};

std::string instrumentFile(const std::string& dir)
{
    return varno::testing::readFile(dir + "/instrument.txt");
}

} // namespace

TEST(TimeZones, ThePcClockOfTheInstrumentsIsUtc)
{
    for (const char* zone : kZones) {
        varno::testing::ScopedTimeZone tz(zone);
        EXPECT_NEAR(double(varno::sim::processClock()), double(std::time(nullptr)), 2.0) << zone;
    }
}

TEST(TimeZones, IdleTimeIgnoresAChangeOfZone)
{
    // A change of zone stands for a daylight-saving switch: the idle count runs on.
    std::unique_ptr<CQuorvalin> link(CQuorvalin::newObject());
    varno::testing::ScopedTimeZone tz("UTC0");
    link->IdleTime(0);
    tz.set("JST-9");
    EXPECT_LE(link->IdleTime(1), 1);
    tz.set("NST3:30NDT,M3.2.0,M11.1.0");
    EXPECT_LE(link->IdleTime(1), 1);
    EXPECT_GE(link->IdleTime(1), 0);
}

class LinkEnvironment : public varno::testing::BenchTest {
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
        varno::testing::ScopedTimeZone tz(zone);
        auto link = connect();
        EXPECT_EQ(link->SendCommand("get time", -1, -1), "2026-03-15 12:00:00") << zone;
        // The terminal shows its local time plus this offset.
        struct tm local;
        const time_t pc = time_t(kStart);
        localtime_r(&pc, &local);
        EXPECT_DOUBLE_EQ(link->GetClockOffset(), -double(local.tm_gmtoff)) << zone;
    }

    // Set to the local time of Tokyo, the instrument runs nine hours ahead of UTC.
    varno::testing::ScopedTimeZone tz("JST-9");
    auto link = connect();
    ASSERT_TRUE(link->SetClock(2026, 3, 15, 21, 0, 0));
    EXPECT_DOUBLE_EQ(link->GetClockOffset(), 0.0);
    tz.set("UTC0");
    EXPECT_DOUBLE_EQ(link->GetClockOffset(), 9 * 3600.0);
    EXPECT_EQ(link->SendCommand("get time", -1, -1), "2026-03-15 21:00:00");
}

TEST_F(LinkEnvironment, NumbersIgnoreACommaDecimalLocale)
{
    addInstrument("direct", "COM3", "");
    varno::testing::ScopedCommaLocale comma;
    if (!comma.active())
        GTEST_SKIP() << varno::testing::CommaLocale::missingReason();

    EXPECT_EQ(quorvalin_string2seconds("1.5 min"), 90);
    EXPECT_EQ(quorvalin_string2seconds("2.5h"), 9000);
    EXPECT_EQ(quorvalin_string2seconds("1,5 min"), 0);

    auto link = connect();
    EXPECT_DOUBLE_EQ(link->GetFirmwareVersion(), 3.2);
    EXPECT_EQ(link->SendCommand("get info", -1, -1), "varno310 version 3.2 nr 4711");
    EXPECT_TRUE(std::regex_search(link->SendCommand("get status", -1, -1),
                                  std::regex("^battery \\d+\\.\\d\\d V \\(\\d+ %\\)\r\nexternal \\d+\\.\\d\\d V")));
    EXPECT_TRUE(link->SetFunction("power", 0x01, "0.5 * 1.225 * a ^ 3 ")) << link->GetLastErrorText();
    EXPECT_TRUE(link->SetFunction("small", 0x01, "1.5e-3 * b "));
    EXPECT_TRUE(std::regex_search(link->SendCommand("get values", -1, -1),
                                  std::regex("\r\npower = \\d+(\\.\\d+)?(e[-+]\\d+)?(\r\n|$)")));

    // A day of records brings the daily battery line and a new data log its header.
    modify("direct", [](varno::sim::Instrument& in) { in.speed = 1.5; });
    advance(86400);
    ASSERT_TRUE(link->StartNewMeasurement("Tower B"));
    const varno::sim::Instrument stored = load("direct");
    const std::string log(stored.memory.begin(), stored.memory.end());
    EXPECT_TRUE(std::regex_search(log, std::regex("# bat \\d+\\.\\dV ext \\d+\\.\\dV")));
    EXPECT_FALSE(std::regex_search(log, std::regex("# bat \\d+,")));
    EXPECT_NE(log.find("data logger, tarnvik orbelmetrik, version 3.2 nr 4711"), std::string::npos);

    // The stored state reads back the same in the C locale.
    ASSERT_TRUE(link->SetSamplePeriod(2));
    const std::string text = instrumentFile(bench + "/direct");
    EXPECT_NE(text.find("\nfirmware=3.20\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nspeed=1.5\n"), std::string::npos);
    EXPECT_NE(text.find("\nbattery=7.00 13.40\n"), std::string::npos);
    EXPECT_NE(text.find("\nfault.failat=-1\n"), std::string::npos);
    modify("direct", [](varno::sim::Instrument& in) {
        in.faults.failAt = 0.25;
        in.faults.stallAt = 0.75;
    });
    EXPECT_NE(instrumentFile(bench + "/direct").find("\nfault.failat=0.25\n"), std::string::npos);
    EXPECT_NE(instrumentFile(bench + "/direct").find("\nfault.stallat=0.75\n"), std::string::npos);
    const varno::sim::Instrument again = load("direct");
    EXPECT_DOUBLE_EQ(again.firmware, 3.2);
    EXPECT_DOUBLE_EQ(again.speed, 1.5);
    EXPECT_DOUBLE_EQ(again.batteryExternal, 13.4);
    EXPECT_DOUBLE_EQ(again.faults.failAt, 0.25);
    EXPECT_DOUBLE_EQ(again.faults.stallAt, 0.75);
}
