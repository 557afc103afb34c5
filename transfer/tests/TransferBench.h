#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "BenchRecords.h"
#include <link/DataLogNames.h>
#include <testing/TestSupport.h>
#include <quorvalin/sim/Bench.h>
#include <quorvalin/sim/Instrument.h>

// A temporary bench with a frozen PC clock, simulated instruments on it and station
// folders beside it; runs the built transfer program against them.
class TransferBench : public ::testing::Test {
protected:
    static constexpr int64_t kStart = 1773576000; // 2026-03-15 12:00:00

    void SetUp() override
    {
        ASSERT_FALSE(tmp.path().empty());
        bench = tmp.file("bench");
        ASSERT_EQ(::mkdir(bench.c_str(), 0755), 0);
        varno::testing::writeFile(bench + "/ports.txt", "COM1\nCOM2\nCOM3\n");
        ASSERT_TRUE(varno::sim::setFrozenClock(bench, kStart));
    }

    // An instrument with serial 123, password "read" for level 1, and the given history.
    void addInstrument(const std::string& name, const std::string& port, const std::string& phone = "",
                       int measurements = 3, const std::function<void(varno::sim::Instrument&)>& tweak = {})
    {
        varno::sim::Instrument in;
        in.serial = 123;
        in.port = port;
        in.phone = phone;
        in.title = "Tower A";
        in.passwords[1] = "read";
        in.passwords[2] = "varno";
        in.passwords[3] = "system";
        in.setDefaultFunctions();
        in.buildHistory(kStart, 3, measurements);
        if (tweak)
            tweak(in);
        in.generation = 1;
        const std::string dir = bench + "/" + name;
        ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
        ASSERT_TRUE(in.save(dir, true));
    }

    varno::sim::Instrument load(const std::string& name)
    {
        varno::sim::Instrument in;
        EXPECT_TRUE(in.load(bench + "/" + name, true));
        return in;
    }

    void modify(const std::string& name, const std::function<void(varno::sim::Instrument&)>& f)
    {
        varno::sim::Instrument in = load(name);
        f(in);
        ++in.generation;
        ASSERT_TRUE(in.save(bench + "/" + name, true));
    }

    void advance(int64_t seconds) { ASSERT_TRUE(varno::sim::setFrozenClock(bench, varno::sim::frozenClock(bench) + seconds)); }

    // The names the program gives the instrument's data logs, in the instrument's order.
    std::vector<std::string> names(const std::string& instrument)
    {
        const varno::sim::Instrument in = load(instrument);
        std::vector<std::string> result;
        for (size_t i = 0; i < in.logs.size(); ++i)
            result.push_back(varno::link::TransferFileName(BenchRecord(in, i)));
        return result;
    }

    // The bytes of the instrument's data log i.
    std::string logBytes(const std::string& instrument, size_t i)
    {
        const varno::sim::Instrument in = load(instrument);
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(in.readRange(in.logs[i].start, in.logLength(i), bytes));
        return std::string(bytes.begin(), bytes.end());
    }

    // A station folder with its station.cfg written as the terminal writes it.
    std::string addStation(const std::string& name, const std::string& connection, const std::string& password)
    {
        const std::string folder = tmp.file(name);
        ::mkdir(folder.c_str(), 0755);
        ::mkdir((folder + "/vrn").c_str(), 0755);
        varno::testing::writeFile(folder + "/station.cfg", "creator kestal 3.0\r\nstation " + name + "\r\nconnection "
                                                            + connection + "\r\npassword " + password + "\r\n");
        return folder;
    }

    varno::testing::ProgramResult run(const std::vector<std::string>& args, const std::string& prefix = "")
    {
        return varno::testing::runProgram(varno::testing::programPath("transfer"), args,
                                       prefix + " QUORVALIN_BENCH=" + varno::testing::shellQuote(bench));
    }

    // The output as lines, with the duration of READY lines replaced by "N".
    static std::vector<std::string> lines(const std::string& out, bool keepProgress = false)
    {
        std::vector<std::string> result;
        size_t from = 0;
        while (from < out.size()) {
            size_t end = out.find('\n', from);
            if (end == std::string::npos)
                end = out.size();
            std::string line = out.substr(from, end - from);
            from = end + 1;
            if (!keepProgress && line.rfind("PROGRESS ", 0) == 0)
                continue;
            result.push_back(std::regex_replace(line, std::regex("duration=[0-9]+s"), "duration=Ns"));
        }
        return result;
    }

    static int count(const std::string& out, const std::string& what)
    {
        int n = 0;
        for (size_t at = out.find(what); at != std::string::npos; at = out.find(what, at + 1))
            ++n;
        return n;
    }

    varno::testing::TempDir tmp;
    std::string bench;
};
