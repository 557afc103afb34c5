// The worker pattern that keeps the window thread's event loop turning during a blocking
// call.
#include <kestal/stations/WorkerCall.h>

#include "TestConfig.h"

#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace varno::kestal;

namespace {

TEST(KestalWorkerCall, EventLoopTurnsWhileTheWorkerBlocks)
{
    varno::kestal::testing::coreTestApp();
    // The worker waits for something only a timer of the window thread can do.
    std::atomic<bool> ticked{false};
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ticked = true; });
    timer.start(1);
    std::atomic<bool> sawTick{false};
    std::thread::id workerId;
    varno::kestal::RunOffThread([&] {
        workerId = std::this_thread::get_id();
        for (int i = 0; i < 5000 && !ticked; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        sawTick = ticked.load();
    });
    EXPECT_TRUE(sawTick);
    EXPECT_NE(workerId, std::this_thread::get_id());
}

TEST(KestalWorkerCall, FinishedComesOnTheCallingThreadAndDestroyingWaits)
{
    varno::kestal::testing::coreTestApp();
    QEventLoop loop;
    int runs = 0;
    std::thread::id finishedOn;
    {
        varno::kestal::WorkerCall call;
        call.start([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            ++runs;
        }, [&] {
            finishedOn = std::this_thread::get_id();
            loop.quit();
        });
        EXPECT_TRUE(call.running());
        call.start([&] { ++runs; }, {}); // one call at a time: ignored
        loop.exec();
        EXPECT_FALSE(call.running());
    }
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(finishedOn, std::this_thread::get_id());

    // A call still running when the object goes is waited for.
    std::atomic<bool> ended{false};
    {
        varno::kestal::WorkerCall call;
        call.start([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ended = true;
        }, {});
    }
    EXPECT_TRUE(ended);
}

} // namespace
