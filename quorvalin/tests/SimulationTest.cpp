#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include <testing/TestSupport.h>
#include <quorvalin/sim/Expression.h>
#include <quorvalin/sim/Instrument.h>
#include <quorvalin/sim/WindModel.h>

using namespace varno::sim;

namespace {

constexpr int64_t kT0 = 1773576000; // 2026-03-15 12:00:00

Instrument recording(int64_t t = kT0)
{
    Instrument in;
    in.serial = 99;
    in.title = "Mast";
    in.setDefaultFunctions();
    in.buildHistory(t, 0, 1);
    return in;
}

} // namespace

TEST(Expressions, EvaluateWithInputs)
{
    Inputs in;
    for (int i = 0; i < 6; ++i)
        in.channel[i] = i + 1; // a=1 .. f=6
    in.uext = 13;
    in.bat = 7;
    in.counter[1] = 4;
    in.function = [](int i) { return 100.0 * (i + 1); };
    EXPECT_DOUBLE_EQ(evaluateDefinition("a + b * c ", in), 7);
    EXPECT_DOUBLE_EQ(evaluateDefinition("( a + b ) * c", in), 9);
    EXPECT_DOUBLE_EQ(evaluateDefinition("2 ^ 3 ^ 2", in), 512); // right-associative
    EXPECT_DOUBLE_EQ(evaluateDefinition("- b ^ 2", in), -4);
    EXPECT_DOUBLE_EQ(evaluateDefinition("f > e", in), 1);
    EXPECT_DOUBLE_EQ(evaluateDefinition("e > f + 1", in), 0);
    EXPECT_DOUBLE_EQ(evaluateDefinition("Uext - Bat + C2 + F2", in), 210);
    EXPECT_DOUBLE_EQ(evaluateDefinition("1.5e2/ 3", in), 50);
    EXPECT_NEAR(evaluateDefinition("ln ( e / b )", in), std::log(2.5), 1e-12);
    EXPECT_TRUE(std::isnan(evaluateDefinition("a / 0", in)));
    EXPECT_TRUE(std::isnan(evaluateDefinition("ln 0", in)));
    std::string error;
    EXPECT_TRUE(checkDefinition("ln a + - 3", error));
    EXPECT_FALSE(checkDefinition("a * * b", error));
    EXPECT_FALSE(checkDefinition("F4", error));
    EXPECT_EQ(error, "unknown input 'F4'");
    EXPECT_FALSE(checkDefinition("a,5", error));
    EXPECT_EQ(error, "unexpected character ','");
    EXPECT_FALSE(checkDefinition("1e999 * a", error)); // no double holds it
    EXPECT_EQ(error, "unreadable number");
}

TEST(Expressions, DeepNestingIsRefusedWithoutExhaustingTheStack)
{
    std::string error;
    const std::string nested = std::string(150, '(') + "a" + std::string(150, ')');
    EXPECT_TRUE(checkDefinition(nested, error)) << error;
    for (const std::string& deep : {std::string(100000, '(') + "a" + std::string(100000, ')'),
                                    std::string(100000, '-') + "a", "a" + std::string(100000, '^') + "b",
                                    std::string(30000, 'l') + " a"}) {
        EXPECT_FALSE(checkDefinition(deep, error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(std::isnan(evaluateDefinition(deep, Inputs())));
    }
}

// F1 .. F3 name the first three functions, down to a depth of 4: a function that uses
// itself has no value at depth 5 and builds its value up from there.
TEST(Simulation, FunctionsUsingEachOtherOftenStayCheap)
{
    Instrument in;
    in.functions.clear();
    std::string self = "1";
    for (int i = 0; i < 40; ++i)
        self += " + ( F1 > 0 )";
    std::string error;
    ASSERT_TRUE(in.setFunction("one", 0x01, self, error)) << error;
    ASSERT_TRUE(in.setFunction("two", 0x01, "F3 * 0 + 2", error)) << error;
    ASSERT_TRUE(in.setFunction("three", 0x01, "2 + F1 * 0", error)) << error;
    ASSERT_TRUE(in.setFunction("speed", 0x01, "a + F2", error)) << error;
    // Worked out afresh for every use, "one" alone would take 40^5 evaluations.
    const std::vector<double> v = in.functionValues(kT0);
    ASSERT_EQ(v.size(), 4u);
    EXPECT_DOUBLE_EQ(v[0], 41); // 1 at depth 4, 1 + 40 above it
    EXPECT_DOUBLE_EQ(v[1], 2);
    EXPECT_DOUBLE_EQ(v[2], 2);
    double wind[6];
    windSample(in.serial, kT0, wind);
    EXPECT_DOUBLE_EQ(v[3], wind[0] + 2);
    EXPECT_EQ(in.functionStatistics(kT0).size(), 4u);
}

TEST(Simulation, CatchingUpLateGivesTheSameMemoryAsRunningLive)
{
    Instrument live = recording();
    Instrument late = recording();
    for (int64_t t = kT0; t <= kT0 + 3 * 86400; t += 337)
        live.catchUp(t);
    live.catchUp(kT0 + 3 * 86400);
    late.catchUp(kT0 + 3 * 86400);
    EXPECT_EQ(live.memory, late.memory);
    // 3 days of 10-minute statistics, a signature an hour, a marker a day.
    EXPECT_GT(late.memory.size(), size_t(3 * 144 * 17 + 72 * 12));
}

TEST(Simulation, FullMemoryGivesUpTheOldestDataLogs)
{
    Instrument in = recording();
    in.capacity = 20000;
    for (int day = 1; day <= 6; ++day) {
        in.advanceTo(kT0 + day * 86400);
        in.startMeasurement(kT0 + day * 86400, "day " + std::to_string(day));
    }
    in.advanceTo(kT0 + 7 * 86400);
    EXPECT_LE(in.memory.size(), in.capacity);
    ASSERT_GE(in.logs.size(), 2u);
    EXPECT_EQ(in.logs.front().start, in.logStart);
    EXPECT_EQ(in.logs.back().text, "day 6");
    EXPECT_EQ(in.logs.back().stopTime, 0u);
    EXPECT_LT(in.logs.size(), 7u);

    // A single data log that fills the memory stops the recording.
    Instrument one = recording();
    one.capacity = 5000;
    one.advanceTo(kT0 + 30 * 86400);
    EXPECT_TRUE(one.memoryFull);
    EXPECT_LE(one.memory.size(), 5000u);
    EXPECT_EQ(one.freeMemory() < 0.01, true);
}

TEST(Simulation, SpeedFactorAndStorage)
{
    Instrument in = recording();
    in.setSpeed(kT0, 60); // an hour per minute
    EXPECT_EQ(in.clock(kT0 + 60), kT0 + 3600);
    in.catchUp(kT0 + 60);
    EXPECT_EQ(in.nextEnd, kT0 + 3600 + 600);

    char tmpl[] = "/tmp/quorvalin-sim-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    in.timers[2] = {3600, 7200};
    in.faults.connect = "error:ERROR no carrier";
    ASSERT_TRUE(in.save(dir, true));
    Instrument back;
    ASSERT_TRUE(back.load(dir, true));
    EXPECT_EQ(back.memory, in.memory);
    EXPECT_EQ(back.clock(kT0 + 120), in.clock(kT0 + 120));
    EXPECT_EQ(back.timers[2].off, 7200);
    EXPECT_EQ(back.functions.size(), in.functions.size());
    EXPECT_EQ(back.functions[0].definition, "a ");
    EXPECT_EQ(back.faults.connect, "error:ERROR no carrier");
    EXPECT_EQ(back.logs.size(), 1u);
    EXPECT_EQ(back.logs[0].text, "Mast");

    // A number that is not one whole leaves the setting as it was.
    std::string text = varno::testing::readFile(dir + "/instrument.txt");
    text.replace(text.find("\nspeed=60\n"), 10, "\nspeed=6,5\n");
    text.replace(text.find("\nbattery=7.00 "), 14, "\nbattery=7.5x ");
    std::ofstream(dir + "/instrument.txt", std::ios::trunc) << text;
    ASSERT_TRUE(back.load(dir, true));
    EXPECT_DOUBLE_EQ(back.speed, 1.0);
    EXPECT_DOUBLE_EQ(back.batteryInternal, 7.0);
    EXPECT_DOUBLE_EQ(back.batteryExternal, 13.4);
    varno::testing::removeFolder(dir);
}

// A stored state is read back as written; clock times beyond what a clock holds are not
// taken, and no speed makes the clock overflow.
TEST(Simulation, StoredStateReadsBackAndKeepsTheClockInRange)
{
    Instrument in = recording();
    in.setSpeed(kT0, 60);
    const std::string stored = in.settingsText();
    std::istringstream text(stored);
    size_t memorySize = 0;
    Instrument back = Instrument::fromSettingsText(text, &memorySize);
    EXPECT_EQ(memorySize, in.memory.size());
    back.memory = in.memory; // the memory image is a file of its own
    EXPECT_EQ(back.settingsText(), stored);

    std::istringstream absurd("anchorpc=-9223372036854775808\nanchorinstrument=17735760051773576005\n"
                              "nextend=4503599627370497\nspeed=1e300\nfunction=v1|15|a \n");
    const Instrument far = Instrument::fromSettingsText(absurd);
    EXPECT_EQ(far.anchorPc, 0);
    EXPECT_EQ(far.anchorInstrument, 0);
    EXPECT_EQ(far.nextEnd, 0);
    const int64_t t = far.clock(kT0);
    EXPECT_EQ(t, int64_t(1) << 52);
    EXPECT_EQ(far.clock(-kT0), -(int64_t(1) << 52));
    EXPECT_EQ(far.functionValues(t).size(), 1u);
    EXPECT_EQ(far.functionStatistics(t).size(), 4u); // mean, sigma, min, max
}

TEST(Simulation, WindIsPlausible)
{
    double lo = 1e9, hi = -1e9, sum = 0;
    int n = 0;
    for (int64_t t = kT0; t < kT0 + 30 * 86400; t += 600) {
        const WindStatistics s = windStatistics(7, t, 600);
        for (int ch = 0; ch < 3; ++ch) {
            ASSERT_LE(s.min[ch], s.mean[ch]);
            ASSERT_GE(s.max[ch], s.mean[ch]);
            ASSERT_GT(s.sigma[ch], 0);
        }
        ASSERT_GE(s.direction, 0);
        ASSERT_LT(s.direction, 360);
        lo = std::min(lo, s.mean[0]);
        hi = std::max(hi, s.mean[0]);
        sum += s.mean[0];
        ++n;
    }
    EXPECT_GT(sum / n, 4.0);
    EXPECT_LT(sum / n, 10.0);
    EXPECT_LT(lo, 3.0);
    EXPECT_GT(hi, 10.0);
    EXPECT_LT(hi, 25.5); // fits the one-byte tenths of the log
}
