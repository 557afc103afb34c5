#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>

#include <quorvalin/sim/Bench.h>
#include <quorvalin/sim/Instrument.h>
#include <testing/TestSupport.h>
#include <testing/TimeZone.h>

namespace varno::testing {

// A bench in a temporary folder with a frozen PC clock; the link objects of the test
// find it through QUORVALIN_BENCH. The process runs in UTC meanwhile, so that clock
// offsets, which are taken against local time, do not depend on the machine's zone.
class BenchTest : public ::testing::Test {
protected:
    static constexpr int64_t kStart = 1773576000; // 2026-03-15 12:00:00

    void SetUp() override
    {
        char tmpl[] = "/tmp/quorvalin-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        bench = tmpl;
        ::setenv("QUORVALIN_BENCH", bench.c_str(), 1);
        std::ofstream(bench + "/ports.txt") << "COM1\nCOM2\nCOM3\n";
        ASSERT_TRUE(sim::setFrozenClock(bench, kStart));
        zone = std::make_unique<ScopedTimeZone>("UTC0");
    }

    void TearDown() override
    {
        zone.reset();
        ::unsetenv("QUORVALIN_BENCH");
        if (!::testing::Test::HasFailure())
            removeFolder(bench);
    }

    // An instrument with a history of the given days, on a port or a modem number.
    sim::Instrument& addInstrument(const std::string& name, const std::string& port, const std::string& phone,
                                    double days = 3, int measurements = 3,
                                    const std::function<void(sim::Instrument&)>& tweak = {})
    {
        sim::Instrument in;
        in.serial = 4711;
        in.port = port;
        in.phone = phone;
        in.title = "Tower A";
        in.passwords[1] = "read";
        in.passwords[2] = "varno";
        in.passwords[3] = "system";
        in.setDefaultFunctions();
        if (tweak)
            tweak(in);
        in.buildHistory(now(), days, measurements);
        in.generation = 1;
        const std::string dir = bench + "/" + name;
        ::mkdir(dir.c_str(), 0755);
        EXPECT_TRUE(in.save(dir, true));
        last = in;
        return last;
    }

    sim::Instrument load(const std::string& name)
    {
        sim::Instrument in;
        EXPECT_TRUE(in.load(bench + "/" + name, true));
        return in;
    }

    // Changes a stored instrument as the bench tool does.
    void modify(const std::string& name, const std::function<void(sim::Instrument&)>& f)
    {
        sim::Instrument in = load(name);
        f(in);
        ++in.generation;
        ASSERT_TRUE(in.save(bench + "/" + name, true));
    }

    int64_t now() const { return sim::frozenClock(bench); }
    void advance(int64_t seconds) { ASSERT_TRUE(sim::setFrozenClock(bench, now() + seconds)); }

    std::string bench;
    sim::Instrument last;
    std::unique_ptr<ScopedTimeZone> zone;
};

} // namespace varno::testing
