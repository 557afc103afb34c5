// The bench tool, run as a program on a temporary bench.
#include <gtest/gtest.h>

#include <array>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/wait.h>

#include <testing/CommaLocale.h>
#include <quorvalin/Quorvalin.h>
#include <quorvalin/sim/Bench.h>
#include <quorvalin/sim/Instrument.h>

namespace {

struct ToolRun {
    int status;
    std::string out;
};

class BenchTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/quorvalin-tool-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        bench = tmpl;
        const char* bin = std::getenv("VARNO_BIN_DIR");
        tool = std::string(bin ? bin : ".") + "/quorvalin-bench";
        ASSERT_EQ(run("clock 2026-03-15 12:00:00").status, 0);
    }
    void TearDown() override
    {
        if (!HasFailure())
            varno::testing::removeFolder(bench);
    }

    // Runs the tool; environment is put before the command ("TZ=JST-9").
    ToolRun run(const std::string& args, const std::string& environment = "")
    {
        const std::string command = environment + " '" + tool + "' --bench '" + bench + "' " + args + " 2>&1";
        FILE* p = ::popen(command.c_str(), "r");
        ToolRun r{-1, {}};
        if (!p)
            return r;
        std::array<char, 4096> buf;
        size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
            r.out.append(buf.data(), n);
        const int status = ::pclose(p);
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return r;
    }

    varno::sim::Instrument load(const std::string& name)
    {
        varno::sim::Instrument in;
        EXPECT_TRUE(in.load(bench + "/" + name, true));
        return in;
    }

    std::string bench, tool;
};

} // namespace

TEST_F(BenchTool, CreateListShowAndAdvance)
{
    ToolRun r = run("create tower --port COM3 --days 20 --measurements 4 --title 'Tower A' --serial 42");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("created tower: varno310 nr 0042 on COM3, 4 data logs"), std::string::npos) << r.out;
    ASSERT_EQ(run("create hill --phone 0123456 --days 2").status, 0);
    EXPECT_NE(run("create tower --port COM4").status, 0); // the name is taken
    EXPECT_NE(run("create nowhere").status, 0);           // no way to reach it

    r = run("list");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("hill"), std::string::npos);
    EXPECT_NE(r.out.find("modem 0123456"), std::string::npos);
    EXPECT_NE(r.out.find("1001"), std::string::npos); // a free serial number

    r = run("show tower");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Tower A #3"), std::string::npos);
    EXPECT_NE(r.out.find("(running)           Tower A"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("clock        2026-03-15 12:00:00"), std::string::npos) << r.out;

    const uint32_t before = load("tower").dataEnd();
    r = run("advance 1d");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("bench clock 2026-03-16 12:00:00"), std::string::npos) << r.out;
    EXPECT_GT(load("tower").dataEnd(), before + 144 * 17);
    EXPECT_NE(run("advance soon").status, 0);
    EXPECT_NE(run("show nothing").status, 0);
}

TEST_F(BenchTool, FaultsSettingsAndMemoryDamage)
{
    ASSERT_EQ(run("create tower --port COM3 --days 1").status, 0);
    ASSERT_EQ(run("fault tower connect=refuse fail-at=0.5 fail-attempts=2 short-by=3 line-speed=960 "
                  "drop-after-downloads=2 drop-after-bytes=5000 refuse-settings=1 dial-delay-ms=20 chunk=250 poll-paced=1 "
                  "hangup").status, 0);
    varno::sim::Instrument in = load("tower");
    EXPECT_EQ(in.faults.connect, "refuse");
    EXPECT_DOUBLE_EQ(in.faults.failAt, 0.5);
    EXPECT_EQ(in.faults.failAttempts, 2);
    EXPECT_EQ(in.faults.shortBy, 3);
    EXPECT_EQ(in.faults.lineSpeed, 960);
    EXPECT_EQ(in.faults.dropAfterDownloads, 2);
    EXPECT_EQ(in.faults.dropAfterBytes, 5000);
    EXPECT_TRUE(in.faults.refuseSettings);
    EXPECT_EQ(in.faults.dialDelayMs, 20);
    EXPECT_EQ(in.faults.chunk, 250);
    EXPECT_TRUE(in.faults.pollPaced);
    EXPECT_EQ(in.hangups, 1u);
    EXPECT_NE(run("fault tower nonsense=1").status, 0);
    ASSERT_EQ(run("fault tower clear").status, 0);
    EXPECT_EQ(load("tower").faults.connect, "");
    EXPECT_FALSE(load("tower").faults.refuseSettings);

    ASSERT_EQ(run("set tower clock-offset=-90 password2=secret title=Ridge").status, 0);
    in = load("tower");
    EXPECT_EQ(in.clock(varno::sim::frozenClock(bench)) - varno::sim::frozenClock(bench), -90);
    EXPECT_EQ(in.passwords[2], "secret");

    const uint32_t start = in.logStart;
    ASSERT_EQ(run("erase tower " + std::to_string(start + 100) + " 50").status, 0);
    in = load("tower");
    for (uint32_t i = 100; i < 150; ++i)
        ASSERT_EQ(in.memory[i], 0xFF);
    const std::vector<uint8_t> before = in.memory;
    ASSERT_EQ(run("damage tower " + std::to_string(start + 1000) + " 200 7").status, 0);
    in = load("tower");
    int changed = 0;
    for (size_t i = 0; i < before.size(); ++i)
        changed += before[i] != in.memory[i];
    EXPECT_GT(changed, 10);
    EXPECT_LT(changed, 200);
    EXPECT_NE(run("erase tower 999999999 10").status, 0);

    ASSERT_EQ(run("new-measurement tower Ridge 2").status, 0);
    EXPECT_EQ(load("tower").logs.back().text, "Ridge 2");
    ASSERT_EQ(run("ports add COM7").status, 0);
    EXPECT_TRUE(varno::sim::portExists(bench, "COM7"));
    ASSERT_EQ(run("ports remove COM1").status, 0);
    EXPECT_FALSE(varno::sim::portExists(bench, "COM1"));
    ASSERT_EQ(run("remove tower").status, 0);
    EXPECT_TRUE(varno::sim::instrumentNames(bench).empty());
}

TEST_F(BenchTool, DemoBench)
{
    const ToolRun r = run("demo");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(varno::sim::instrumentNames(bench), (std::vector<std::string>{"coast", "ridge", "tower"}));
    EXPECT_EQ(load("tower").logs.size(), 4u);
    EXPECT_DOUBLE_EQ(load("ridge").firmware, 2.5);
    EXPECT_EQ(load("coast").faults.lineSpeed, 960);
    EXPECT_NE(run("demo").status, 0); // the names are taken
}

TEST_F(BenchTool, KeepsUtcWhateverTheZone)
{
    ASSERT_EQ(run("clock real").status, 0);
    ASSERT_EQ(run("create tower --port COM3 --days 1", "TZ=JST-9").status, 0);
    const varno::sim::Instrument created = load("tower");
    EXPECT_NEAR(double(created.anchorPc), double(std::time(nullptr)), 5.0);
    EXPECT_NEAR(double(created.clock(std::time(nullptr))), double(std::time(nullptr)), 5.0);

    for (const char* zone : {"UTC0", "JST-9", "NST3:30NDT,M3.2.0,M11.1.0"}) {
        const ToolRun r = run("show tower", std::string("TZ='") + zone + "'");
        ASSERT_EQ(r.status, 0) << r.out;
        const size_t at = r.out.find("clock        ");
        ASSERT_NE(at, std::string::npos) << r.out;
        int y, mo, d, h, mi, s;
        ASSERT_EQ(std::sscanf(r.out.c_str() + at, "clock %d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s), 6);
        EXPECT_NEAR(double(varno::sim::fromCivil(y, mo, d, h, mi, s)), double(std::time(nullptr)), 5.0) << zone;
    }
    // No hours of records written ahead: at most the record of one statistic period.
    EXPECT_LT(load("tower").dataEnd(), created.dataEnd() + 200);
}

TEST_F(BenchTool, NumbersIgnoreACommaDecimalLocale)
{
    const varno::testing::CommaLocale comma; // LOCPATH reaches the tool through the environment
    if (!comma.available())
        GTEST_SKIP() << varno::testing::CommaLocale::missingReason();
    const std::string environment = std::string("LC_ALL=") + varno::testing::CommaLocale::name();
    ASSERT_EQ(run("create ridge --phone 0123456 --days 1.5 --firmware 2.5", environment).status, 0);
    ASSERT_EQ(run("fault ridge fail-at=0.25", environment).status, 0);
    const ToolRun r = run("show ridge", environment);
    EXPECT_NE(r.out.find("version 2.5 nr"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("fail-at=0.25"), std::string::npos) << r.out;
    const varno::sim::Instrument in = load("ridge");
    EXPECT_DOUBLE_EQ(in.firmware, 2.5);
    EXPECT_DOUBLE_EQ(in.faults.failAt, 0.25);
    EXPECT_EQ(in.logs.front().startTime, uint32_t(varno::sim::frozenClock(bench) - 36 * 3600));
}
