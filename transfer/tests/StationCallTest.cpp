// One call run in-process, with injected clocks, stop requests and misbehaving links.
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <link/FileMoves.h>
#include <testing/ForwardingLink.h>
#include <transfer/StationCall.h>
#include "TransferBench.h"

using namespace varno::transfer;

namespace {

class Capture {
public:
    Capture() : m_out(open_memstream(&m_data, &m_size)) {}
    ~Capture()
    {
        if (m_out)
            std::fclose(m_out);
        std::free(m_data);
    }
    std::FILE* out() { return m_out; }
    std::string text()
    {
        std::fflush(m_out);
        return std::string(m_data, m_size);
    }

private:
    char* m_data = nullptr;
    size_t m_size = 0;
    std::FILE* m_out;
};

class TransferInProcessCall : public TransferBench {
protected:
    void SetUp() override
    {
        TransferBench::SetUp();
        ::setenv("QUORVALIN_BENCH", bench.c_str(), 1);
    }
    void TearDown() override { ::unsetenv("QUORVALIN_BENCH"); }
};

} // namespace

TEST_F(TransferInProcessCall, DurationComesFromTheMonotonicClockBetweenConnectAndDisconnect)
{
    addInstrument("tower", "COM3", "", 2);
    Capture capture;
    TransferOptions options;
    options.stall = 0; // the polls take no real time, so nothing may count as a stall
    int64_t monotonic = 5000000;
    int polls = 0;
    CallEnvironment env;
    env.out = capture.out();
    // The wall clock jumps back an hour (a change of daylight-saving time) during the call,
    // while every poll of a download takes 2.5 s of the monotonic clock.
    int64_t wall = 1773576000;
    env.wallSeconds = [&] { return wall -= 3600; };
    env.monotonicMs = [&] { return monotonic; };
    env.pollPause = [&] {
        ++polls;
        monotonic += 2500;
    };
    StationCall call(options, env);
    EXPECT_EQ(call.Run("COM3", std::string("read"), tmp.path()), 0);
    EXPECT_EQ(call.transferred(), 2);
    EXPECT_GE(polls, 2);
    EXPECT_EQ(call.duration(), polls * 5 / 2);
    EXPECT_NE(capture.text().find("READY transferred=2 skipped=0 duration=" + std::to_string(polls * 5 / 2) + "s\n"),
              std::string::npos);
}

TEST_F(TransferInProcessCall, AStopRequestCancelsTheDownloadAndLeavesNothingPartial)
{
    // A slow line: the first file takes seconds, so the stop request meets it running.
    addInstrument("tower", "COM3", "", 3, [](varno::sim::Instrument& in) { in.faults.lineSpeed = 1000; });
    Capture capture;
    TransferOptions options;
    CallEnvironment env;
    env.out = capture.out();
    int polls = 0;
    env.pollPause = [&] { ++polls; };
    env.interrupted = [&] { return polls >= 1; };
    StationCall call(options, env);
    EXPECT_EQ(call.Run("COM3", std::string("read"), tmp.path()), 0);
    const std::vector<std::string> out = lines(capture.text());
    const std::vector<std::string> expected{"STATUS transferring file 1/3", "TRANSFER FAILED", "ERROR interrupted",
                                            "STATUS disconnecting", "STATUS disconnected"};
    ASSERT_GE(out.size(), expected.size() + 2);
    EXPECT_EQ(out[out.size() - 7], expected[0]);
    EXPECT_EQ(std::vector<std::string>(out.end() - 5, out.end() - 1),
              std::vector<std::string>(expected.begin() + 1, expected.end()));
    EXPECT_EQ(out.back(), "READY transferred=0 skipped=0 duration=Ns error=\"interrupted\"");
    EXPECT_EQ(call.skipped(), 0);
    EXPECT_TRUE(varno::link::ListFolder(tmp.path(), "*").size() == 1u); // only the bench folder
}

TEST_F(TransferInProcessCall, ADownloadWithoutProgressIsGivenUpAfterTheStallTime)
{
    // The first attempt stops sending half-way; every poll takes a second of the clock.
    addInstrument("tower", "COM3", "", 1, [](varno::sim::Instrument& in) {
        in.faults.stallAt = 0.5;
        in.faults.stallAttempts = 1;
    });
    const std::string name = names("tower")[0];
    int64_t clock = 0;
    int polls = 0;
    auto call = [&](int32_t stall) {
        Capture capture;
        TransferOptions options;
        if (stall >= 0)
            options.stall = stall;
        CallEnvironment env;
        env.out = capture.out();
        env.monotonicMs = [&] { return clock; };
        polls = 0;
        env.pollPause = [&] {
            ++polls;
            clock += 1000;
            ::usleep(1000); // time for the link to send what it sends
        };
        env.interrupted = [&] { return polls > 400; }; // ends a wait that would never end
        const std::string dest = tmp.file("dest" + std::to_string(stall));
        ::mkdir(dest.c_str(), 0755);
        StationCall(options, env).Run("COM3", std::string("read"), dest);
        return lines(capture.text());
    };

    // By default two minutes without progress end the attempt; the second one stores the file.
    const std::vector<std::string> out = call(-1);
    const std::vector<std::string> attempts{"STATUS transferring file 1/1", "TRANSFER file=\"" + name + "\"",
                                            "ERROR download stalled", "TRANSFER FAILED",
                                            "TRANSFER file=\"" + name + "\"", "TRANSFER OK",
                                            "WARNING download failed at first attempt. file=\"" + name + "\""};
    ASSERT_GE(out.size(), attempts.size() + 3);
    EXPECT_EQ(std::vector<std::string>(out.end() - 3 - long(attempts.size()), out.end() - 3), attempts);
    EXPECT_EQ(out.back(), "READY transferred=1 skipped=0 duration=Ns");
    EXPECT_GE(polls, 120);
    EXPECT_LT(polls, 160);

    // --stall=0 waits without limit (here until the stop request).
    modify("tower", [](varno::sim::Instrument& in) { in.downloadAttempts = 0; });
    const std::vector<std::string> unlimited = call(0);
    EXPECT_EQ(unlimited.back(), "READY transferred=0 skipped=0 duration=Ns error=\"interrupted\"");
    EXPECT_GT(polls, 400);
}

TEST_F(TransferInProcessCall, ASuccessfulDownloadEndsWithItsFullProgress)
{
    // The download finishes between two polls, after the first one saw 0 percent.
    addInstrument("tower", "COM3", "", 1, [](varno::sim::Instrument& in) { in.faults.lineSpeed = 200000; });
    CQuorvalin* link = nullptr;
    Capture capture;
    TransferOptions options;
    CallEnvironment env;
    env.out = capture.out();
    env.newLink = [&] { return link = CQuorvalin::newObject(); };
    env.pollPause = [&] {
        while (link->IsDownloading())
            ::usleep(1000);
    };
    StationCall call(options, env);
    EXPECT_EQ(call.Run("COM3", std::string("read"), tmp.path()), 0);
    const std::vector<std::string> out = lines(capture.text(), true);
    const auto ok = std::find(out.begin(), out.end(), "TRANSFER OK");
    ASSERT_NE(ok, out.end());
    EXPECT_EQ(std::vector<std::string>(ok - 2, ok), (std::vector<std::string>{"PROGRESS 0.0 percent",
                                                                               "PROGRESS 100.0 percent"}));
}

namespace {

// A link whose downloads send more or fewer bytes than asked for and still report success.
class MiscountingLink : public varno::testing::ForwardingLink {
public:
    explicit MiscountingLink(int32_t extra) : m_extra(extra) {}
    bool StartDownload(const std::string& path, int mode, uint32_t start, uint32_t length) override
    {
        return m_inner->StartDownload(path, mode, start, uint32_t(int64_t(length) + m_extra));
    }

private:
    int32_t m_extra;
};

} // namespace

TEST_F(TransferInProcessCall, AFileOfAnotherSizeThanListedNeverGetsItsName)
{
    addInstrument("tower", "COM3", "", 2);
    const std::vector<std::string> n = names("tower");
    const uint32_t length = load("tower").logLength(0);
    for (const int32_t extra : {-10, 10}) {
        SCOPED_TRACE(extra);
        const std::string dest = tmp.file("dest" + std::to_string(extra));
        ::mkdir(dest.c_str(), 0755);
        Capture capture;
        TransferOptions options;
        CallEnvironment env;
        env.out = capture.out();
        env.newLink = [&] { return new MiscountingLink(extra); };
        StationCall call(options, env);
        EXPECT_EQ(call.Run("COM3", std::string("read"), dest), 0);
        const std::string mismatch = "size mismatch: got " + std::to_string(length + extra) + " of "
                                     + std::to_string(length) + " bytes";
        const std::vector<std::string> out = lines(capture.text());
        const auto first = std::find(out.begin(), out.end(), "STATUS transferring file 1/2");
        ASSERT_GE(out.end() - first, 8);
        EXPECT_EQ(std::vector<std::string>(first + 1, first + 8),
                  (std::vector<std::string>{"TRANSFER file=\"" + n[0] + "\"", "ERROR " + mismatch, "TRANSFER FAILED",
                                            "TRANSFER file=\"" + n[0] + "\"", "ERROR " + mismatch, "TRANSFER FAILED",
                                            "SKIPPED download failed permanently. file=\"" + n[0] + "\""}));
        EXPECT_EQ(call.transferred(), 0);
        EXPECT_TRUE(varno::link::ListFolder(dest, "*").empty()); // no final name, no temporary
    }
}

namespace {

// A link whose line drops while the list of data logs is read.
class ListDroppingLink : public varno::testing::ForwardingLink {
public:
    explicit ListDroppingLink(std::function<void()> hangUp) : m_hangUp(std::move(hangUp)) {}
    bool NextFile() override
    {
        if (m_hangUp) {
            m_hangUp();
            m_hangUp = nullptr;
        }
        return m_inner->NextFile();
    }

private:
    std::function<void()> m_hangUp;
};

} // namespace

TEST_F(TransferInProcessCall, ALineDroppedWhileListingIsNoEmptyInstrument)
{
    addInstrument("tower", "COM3");
    Capture capture;
    TransferOptions options;
    CallEnvironment env;
    env.out = capture.out();
    env.newLink = [&] {
        return new ListDroppingLink([&] { modify("tower", [](varno::sim::Instrument& in) { ++in.hangups; }); });
    };
    StationCall call(options, env);
    EXPECT_EQ(call.Run("COM3", std::string("read"), tmp.path()), -1);
    const std::vector<std::string> out = lines(capture.text());
    ASSERT_GE(out.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(out.end() - 4, out.end()),
              (std::vector<std::string>{"ERROR Unable to read the file list: The line has dropped",
                                        "STATUS disconnecting", "STATUS disconnected",
                                        "READY transferred=0 skipped=0 duration=Ns error=\"The line has dropped\""}));
}
