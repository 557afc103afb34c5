// One call run in-process, with an injected clock and an injected stop request.
#include <cstdio>
#include <cstdlib>

#include "FileMoves.h"
#include "StationCall.h"
#include "TransferBench.h"

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
    int64_t monotonic = 5000;
    int polls = 0;
    CallEnvironment env;
    env.out = capture.out();
    // The wall clock jumps back an hour (a change of daylight-saving time) during the call.
    int64_t wall = 1773576000;
    env.wallSeconds = [&] { return wall -= 3600; };
    env.monotonicSeconds = [&] { return monotonic += 7; };
    env.pollPause = [&] { ++polls; };
    StationCall call(options, env);
    EXPECT_EQ(call.Run("COM3", std::string("read"), tmp.path()), 0);
    EXPECT_EQ(call.transferred(), 2);
    EXPECT_EQ(call.duration(), 7);
    EXPECT_GE(polls, 2);
    EXPECT_NE(capture.text().find("READY transferred=2 skipped=0 duration=7s\n"), std::string::npos);
}

TEST_F(TransferInProcessCall, AStopRequestCancelsTheDownloadAndLeavesNothingPartial)
{
    // A slow line: the first file takes seconds, so the stop request meets it running.
    addInstrument("tower", "COM3", "", 3, [](qsim::Instrument& in) { in.faults.lineSpeed = 1000; });
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
    EXPECT_EQ(out.back(), "READY transferred=0 skipped=0 duration=Ns error=\"download cancelled\"");
    EXPECT_EQ(call.skipped(), 0);
    EXPECT_TRUE(datalog::ListFolder(tmp.path(), "*").size() == 1u); // only the bench folder
}
