#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>
#include <unistd.h>

#include <testing/BenchFixture.h>
#include <quorvalin/Quorvalin.h>
#include <quorvalin/QuorvalinTesting.h>

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return "<missing>";
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool fileExists(const std::string& path)
{
    return ::access(path.c_str(), F_OK) == 0;
}

// Polls a running download to its end, as the transfer program does.
double finishDownload(CQuorvalin& link)
{
    while (link.IsDownloading())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return link.GetDownloadProgress();
}

struct ListedLog {
    uint32_t start, length, startTime, stopTime, size;
    std::string text;
};

std::vector<ListedLog> listLogs(CQuorvalin& link)
{
    std::vector<ListedLog> logs;
    link.SetFileListRange(0, 2147483647);
    if (!link.ReadFileList())
        return logs;
    while (link.NextFile())
        logs.push_back({link.GetFileStart(), link.GetFileLength(), link.GetFileStartTime(), link.GetFileStopTime(),
                        link.GetFileSize(), link.GetFileText()});
    return logs;
}

int64_t g_testClock = 1000;
int64_t testClock()
{
    return g_testClock;
}

} // namespace

class Link : public varno::testing::BenchTest {
protected:
    std::unique_ptr<CQuorvalin> connect(const std::string& connection, const std::string& password = "varno")
    {
        std::unique_ptr<CQuorvalin> link(CQuorvalin::newObject());
        link->ResetLink();
        link->SetPassword(password);
        EXPECT_TRUE(link->Connect(connection, "", "default", 1)) << link->GetLastErrorText();
        return link;
    }

    // "direct" on COM3, whose downloads send blocks of 500 bytes, each after one progress query.
    void addPacedInstrument()
    {
        addInstrument("direct", "COM3", "", 1, 1, [](varno::sim::Instrument& in) {
            in.faults.chunk = 500;
            in.faults.pollPaced = true;
        });
    }

    std::string memory(const std::string& name, uint32_t start, uint32_t length)
    {
        const varno::sim::Instrument in = load(name);
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(in.readRange(start, length, bytes));
        return std::string(bytes.begin(), bytes.end());
    }
};

TEST_F(Link, ConnectionTextsReachTheRightInstrument)
{
    addInstrument("direct", "COM3", "");
    addInstrument("remote", "", "012 345-67", 3, 2, [](varno::sim::Instrument& in) { in.serial = 815; });
    std::unique_ptr<CQuorvalin> link(CQuorvalin::newObject());

    EXPECT_FALSE(link->Connect("COM9", "", "", 1));
    EXPECT_EQ(link->GetLastErrorText(), "Port COM9 is not available");
    EXPECT_EQ(link->GetLastErrorText(), ""); // handed over once
    EXPECT_FALSE(link->Connect("COM2", "", "", 1));
    EXPECT_EQ(link->GetLastErrorText(), "No answer from instrument on COM2");
    EXPECT_FALSE(link->Connect("COM1 999", "", "", 1));
    EXPECT_EQ(link->GetLastErrorText(), "NO CARRIER");
    EXPECT_FALSE(link->IsConnected());

    ASSERT_TRUE(link->Connect("COM3", "", "default", 1));
    EXPECT_TRUE(link->IsConnected());
    EXPECT_EQ(link->GetConnectionText(), "COM3");
    EXPECT_EQ(link->GetSerialNumber(), 4711u);
    EXPECT_EQ(link->GetInstrumentType(), "varno310");
    EXPECT_DOUBLE_EQ(link->GetFirmwareVersion(), 3.2);

    ASSERT_TRUE(link->Connect("COM1 01234567", "&K0", "0", 1)); // dialled by its digits
    EXPECT_EQ(link->GetSerialNumber(), 815u);
    EXPECT_EQ(link->GetConnectionText(), "COM1 01234567");
    link->Disconnect();
    EXPECT_FALSE(link->IsConnected());
    EXPECT_EQ(link->GetSerialNumber(), 0u);
    EXPECT_EQ(link->GetStatusFlags(), 0u);

    EXPECT_TRUE(ConnectionAvailable("COM1"));
    EXPECT_TRUE(ConnectionAvailable("COM1 0123"));
    EXPECT_FALSE(ConnectionAvailable("COM8"));
    EXPECT_FALSE(ConnectionAvailable(""));
}

TEST_F(Link, APortServesOneConnectionAtATime)
{
    addInstrument("direct", "COM3", "");
    addInstrument("remote", "", "0123456");
    EXPECT_TRUE(ConnectionAvailable("COM3"));
    auto first = connect("COM3");
    EXPECT_FALSE(ConnectionAvailable("COM3"));
    std::unique_ptr<CQuorvalin> second(CQuorvalin::newObject());
    EXPECT_FALSE(second->Connect("COM3", "", "", 1));
    EXPECT_EQ(second->GetLastErrorText(), "Port COM3 is in use");
    EXPECT_TRUE(second->Connect("COM1 0123456", "", "", 1)); // the modem port is another one
    EXPECT_FALSE(ConnectionAvailable("COM1"));
    first.reset(); // a deleted link gives its port back
    EXPECT_TRUE(ConnectionAvailable("COM3"));
    second->Disconnect();
    EXPECT_TRUE(ConnectionAvailable("COM1 0123456"));
}

TEST_F(Link, PasswordsGiveUserLevels)
{
    addInstrument("direct", "COM3", "");
    auto link = connect("COM3", "");
    EXPECT_EQ(link->GetUserLevel(), 0);
    EXPECT_FALSE(link->ReadFileList());
    EXPECT_EQ(link->GetLastErrorText(), "access denied: the user level is too low");
    EXPECT_EQ(link->Login("wrong"), 0);
    EXPECT_EQ(link->GetUserLevel(), 0);
    EXPECT_EQ(link->Login("read"), 1);
    EXPECT_TRUE(link->ReadFileList());
    EXPECT_FALSE(link->SetSamplePeriod(2)); // restricted
    EXPECT_EQ(link->Login("system"), 3);
    EXPECT_EQ(link->GetUserLevel(), 3);
    EXPECT_EQ(link->Login("nonsense"), 0); // rejected: the level stays
    EXPECT_EQ(link->GetUserLevel(), 3);
    link->Disconnect();
    EXPECT_EQ(connect("COM3", "varno")->GetUserLevel(), 2);
}

TEST_F(Link, ListsDataLogsOfTheMemoryAndTheRunningOneGrows)
{
    addInstrument("direct", "COM3", "", 3, 3);
    auto link = connect("COM3");
    std::vector<ListedLog> logs = listLogs(*link);
    ASSERT_EQ(logs.size(), 3u);
    EXPECT_EQ(logs[0].start, link->GetLogStart());
    EXPECT_EQ(logs[0].text, "Tower A #1");
    EXPECT_EQ(logs[2].text, "Tower A");
    EXPECT_EQ(logs[2].stopTime, 0u);
    EXPECT_EQ(logs[0].stopTime, logs[1].startTime);
    EXPECT_EQ(logs[0].startTime, uint32_t(kStart - 3 * 86400));
    for (size_t i = 0; i + 1 < logs.size(); ++i)
        EXPECT_EQ(logs[i].start + logs[i].length, logs[i + 1].start);
    EXPECT_EQ(logs[2].start + logs[2].length, link->GetLogStart() + link->GetLogLength());
    EXPECT_EQ(logs[1].size, logs[1].length);
    EXPECT_EQ(link->GetMeasurementTitle(), "Tower A");
    EXPECT_FALSE(link->NextFile());
    EXPECT_EQ(link->GetFileStart(), 0u); // past the end

    // One hour later: six more statistics records (and a signature each hour).
    const uint32_t end = link->GetLogStart() + link->GetLogLength();
    advance(3600);
    const uint32_t grown = link->GetLogStart() + link->GetLogLength();
    EXPECT_GT(grown, end + 6 * 17);
    EXPECT_LT(grown, end + 6 * 17 + 40);
    logs = listLogs(*link);
    EXPECT_EQ(logs[2].length, grown - logs[2].start);
    // The bench keeps what the link caught up.
    EXPECT_EQ(load("direct").dataEnd(), grown);
    EXPECT_DOUBLE_EQ(link->GetClockOffset(), 0.0);
    EXPECT_GT(link->GetFreeMemory(), 0.9);
    EXPECT_LE(link->GetFreeMemory(), 1.0);
}

TEST_F(Link, MeasurementCommentsAndClearPersist)
{
    addInstrument("direct", "COM3", "", 1, 1);
    {
        auto link = connect("COM3");
        ASSERT_TRUE(link->InsertComment("anemometer 2 replaced"));
        advance(1800);
        ASSERT_TRUE(link->StartNewMeasurement("Tower A, 80 m mast"));
        EXPECT_EQ(link->GetMeasurementTitle(), "Tower A, 80 m mast");
    }
    auto link = connect("COM3");
    std::vector<ListedLog> logs = listLogs(*link);
    ASSERT_EQ(logs.size(), 2u);
    EXPECT_EQ(logs[0].stopTime, uint32_t(kStart + 1800));
    EXPECT_EQ(logs[1].text, "Tower A, 80 m mast");
    EXPECT_EQ(logs[1].startTime, uint32_t(kStart + 1800));
    const std::string first = memory("direct", logs[0].start, logs[0].length);
    EXPECT_NE(first.find("# comment \"anemometer 2 replaced\""), std::string::npos);
    const std::string second = memory("direct", logs[1].start, logs[1].length);
    EXPECT_NE(second.find("# \"Tower A, 80 m mast\""), std::string::npos);

    const uint32_t end = link->GetLogStart() + link->GetLogLength();
    ASSERT_TRUE(link->ClearDataLog());
    logs = listLogs(*link);
    ASSERT_EQ(logs.size(), 1u); // the measurement goes on in an emptied memory
    EXPECT_EQ(logs[0].start, end);
    EXPECT_EQ(link->GetLogStart(), end);
    EXPECT_LT(link->GetLogLength(), 400u);
    EXPECT_EQ(logs[0].text, "Tower A, 80 m mast");
}

TEST_F(Link, SettingsAreCheckedRoundedAndStored)
{
    addInstrument("direct", "COM3", "");
    auto link = connect("COM3");
    EXPECT_EQ(link->GetStatusFlags(), 0x3E0u);
    EXPECT_TRUE(link->SetSamplePeriod(7));
    EXPECT_EQ(link->GetSamplePeriod(), 5);
    EXPECT_FALSE(link->SetSamplePeriod(0));
    EXPECT_EQ(link->GetLastErrorText(), "setting refused by the instrument");
    EXPECT_TRUE(link->SetStatisticPeriod(300));
    EXPECT_EQ(link->GetStatisticPeriod(), 300);
    EXPECT_FALSE(link->SetStatisticPeriod(-1));
    EXPECT_TRUE(link->SetTimestampPeriod(43000));
    EXPECT_EQ(link->GetTimestampPeriod(), 43200);
    EXPECT_TRUE(link->SetPreheat(2));
    EXPECT_EQ(link->GetPreheat(), 2);
    EXPECT_EQ(link->GetMeasurementMode(), 0x0Cu);
    EXPECT_TRUE(link->SetMeasurementMode(0x0F));
    EXPECT_EQ(link->GetMeasurementMode(), 0x0Fu);
    EXPECT_FALSE(link->SetMeasurementMode(0x03)); // the instrument's own bits cannot change
    EXPECT_EQ(link->GetMeasurementMode(), 0x0Fu);

    // Modem timers: eight slots, then false.
    int32_t on = -1, off = -1;
    EXPECT_TRUE(link->SetModemTimer(3, 6 * 3600, 6 * 3600 + 1800));
    EXPECT_TRUE(link->GetModemTimer(3, on, off));
    EXPECT_EQ(on, 21600);
    EXPECT_EQ(off, 23400);
    EXPECT_TRUE(link->GetModemTimer(7, on, off));
    EXPECT_FALSE(link->GetModemTimer(8, on, off));
    EXPECT_FALSE(link->SetModemTimer(8, 0, 0));
    EXPECT_FALSE(link->SetModemTimer(1, 86400, 0));

    // The next program sees the changes.
    link->Disconnect();
    auto other = connect("COM3");
    EXPECT_EQ(other->GetSamplePeriod(), 5);
    EXPECT_EQ(other->GetStatisticPeriod(), 300);
    EXPECT_TRUE(other->GetModemTimer(3, on, off));
    EXPECT_EQ(on, 21600);
    // The short data format shows in the log as a new column line.
    EXPECT_NE(memory("direct", load("direct").logStart, uint32_t(load("direct").memory.size())).find("# stat format = mean max"),
              std::string::npos);

    modify("direct", [](varno::sim::Instrument& in) { in.faults.refuseSettings = true; });
    EXPECT_FALSE(other->SetSamplePeriod(10));
    EXPECT_EQ(other->GetSamplePeriod(), 5);
}

TEST_F(Link, ClockIsSetAndReported)
{
    addInstrument("direct", "COM3", "");
    auto link = connect("COM3");
    EXPECT_TRUE(link->SetClock(2026, 3, 15, 13, 0, 30)); // an hour ahead
    EXPECT_DOUBLE_EQ(link->GetClockOffset(), 3630.0);
    EXPECT_FALSE(link->SetClock(2026, 13, 1, 0, 0, 0));
    EXPECT_EQ(link->GetLastErrorText(), "invalid date or time: 2026-13-01 00:00:00");

    // Impossible dates are refused, not rolled into the next month.
    const int impossible[][6] = {{2026, 2, 29, 12, 0, 0}, {2026, 2, 30, 12, 0, 0}, {2026, 4, 31, 12, 0, 0},
                                 {2100, 2, 29, 12, 0, 0}, {2026, 1, 0, 12, 0, 0},  {2026, 1, 1, 24, 0, 0},
                                 {2026, 1, 1, 12, 60, 0}, {2026, 1, 1, 12, 0, 60}, {1969, 12, 31, 0, 0, 0}};
    for (const auto& t : impossible) {
        EXPECT_FALSE(link->SetClock(t[0], t[1], t[2], t[3], t[4], t[5])) << t[0] << "-" << t[1] << "-" << t[2];
        EXPECT_EQ(link->GetLastErrorText().rfind("invalid date or time: ", 0), 0u);
    }
    EXPECT_DOUBLE_EQ(link->GetClockOffset(), 3630.0);
    EXPECT_EQ(link->SendCommand("set time 2026-02-30 12:00:00", -1, -1), "ERROR expected YYYY-MM-DD hh:mm:ss");
    EXPECT_DOUBLE_EQ(link->GetClockOffset(), 3630.0);
    EXPECT_TRUE(link->SetClock(2028, 2, 29, 12, 0, 0)); // leap years have it
    EXPECT_TRUE(link->SetClock(2000, 2, 29, 12, 0, 0));
    EXPECT_TRUE(link->SetClock(2026, 3, 15, 13, 0, 30));

    const varno::sim::Instrument in = load("direct");
    const std::string log(in.memory.begin(), in.memory.end());
    EXPECT_NE(log.find("# set time"), std::string::npos);
    EXPECT_NE(log.find("# 15.3.2026 13:00:30"), std::string::npos);
}

TEST_F(Link, FunctionsAreCheckedByTheirGrammar)
{
    addInstrument("direct", "COM3", "");
    auto link = connect("COM3");
    EXPECT_EQ(link->GetFunctionName(0), "v1");
    EXPECT_EQ(link->GetFunctionStatistics(3), 0x10);
    EXPECT_EQ(link->GetFunctionName(7), "");
    EXPECT_EQ(link->GetFunctionDefinition(-1), "");

    EXPECT_TRUE(link->SetFunction("power", 0x0F, "0.5 * 1.225 * a ^ 3 "));
    EXPECT_TRUE(link->SetFunction("shear", 0x01, "ln ( a / c ) / ln ( 40 / 10 ) "));
    EXPECT_TRUE(link->SetFunction("gust", 0x01, "a > 15 "));
    EXPECT_TRUE(link->SetFunction("x", 0x01, "-1.5e-3 * ( F1 + C1 ) - Uext + Bat "));
    for (const char* bad : {"a + ", "( a ", "a b", "q * 2", "a $ 2", "", ") a ("})
        EXPECT_FALSE(link->SetFunction("bad", 0x01, bad)) << bad;
    EXPECT_EQ(link->GetLastErrorText().rfind("invalid function definition", 0), 0u);
    EXPECT_FALSE(link->SetFunction("no name", 0x01, "a "));
    EXPECT_FALSE(link->SetFunction("big", 0x20, "a "));
    EXPECT_EQ(link->GetFunctionName(7), "power");
    EXPECT_EQ(link->GetFunctionDefinition(7), "0.5 * 1.225 * a ^ 3 ");
    EXPECT_TRUE(link->SetFunction("power", 0x04, "a ^ 3 ")); // changing keeps the place
    EXPECT_EQ(link->GetFunctionStatistics(7), 0x04);
    EXPECT_TRUE(link->DeleteFunction("gust"));
    EXPECT_FALSE(link->DeleteFunction("gust"));
    EXPECT_EQ(link->GetFunctionName(9), "x");
    EXPECT_EQ(link->GetFunctionName(10), "");
}

TEST_F(Link, LiveValuesAndStatisticsAreCountedAndPlausible)
{
    addInstrument("direct", "COM3", "");
    auto link = connect("COM3");
    ASSERT_TRUE(link->ReadValues(0, 0));
    double v[64];
    ASSERT_EQ(link->GetValues(v, 64), 7);
    EXPECT_EQ(link->GetValues(v, 3), 3);
    EXPECT_EQ(link->GetValues(nullptr, 64), 0);
    EXPECT_GE(v[0], 0.0);
    EXPECT_LT(v[0], 40.0);
    ASSERT_TRUE(link->ReadStatistics(0, 0));
    double s[256];
    // v1..v3: 4 each; dir: 1; temp: mean, max, min; hum: 1; Uext: mean, min.
    ASSERT_EQ(link->GetStatistics(s, 256), 4 * 3 + 1 + 3 + 1 + 2);
    EXPECT_LE(s[2], s[0]); // min <= mean
    EXPECT_GE(s[3], s[0]); // max >= mean
    EXPECT_GE(s[12], 0.0);
    EXPECT_LT(s[12], 360.0);
    const double before = v[0];
    advance(3600);
    ASSERT_TRUE(link->ReadValues(0, 0));
    link->GetValues(v, 64);
    EXPECT_NE(v[0], before); // the wind changes
    EXPECT_GT(link->GetBatteryVoltage(0), 5.5);
    EXPECT_GT(link->GetBatteryVoltage(1), 10.0);
    EXPECT_GE(link->GetBatteryCharge(0), 0.0);
    EXPECT_LE(link->GetBatteryCharge(1), 1.0);
    EXPECT_EQ(link->GetBatteryVoltage(2), 0.0);
}

TEST_F(Link, CommandLine)
{
    addInstrument("direct", "COM3", "");
    auto link = connect("COM3");
    EXPECT_EQ(link->SendCommand("get info", -1, -1), "varno310 version 3.2 nr 4711");
    EXPECT_EQ(link->SendCommand("GET TIME", -1, -1), "2026-03-15 12:00:00");
    EXPECT_EQ(link->SendCommand("frobnicate", -1, -1), "ERROR unknown command \"frobnicate\" (type help)");
    EXPECT_EQ(link->SendCommand("set stat period x", -1, -1), "ERROR expected a number of seconds");
    EXPECT_EQ(link->SendCommand("set stat period 3600", -1, -1), "OK 3600");
    EXPECT_EQ(link->GetStatisticPeriod(), 3600);
    EXPECT_EQ(link->SendCommand("get log", -1, -1), "ERROR data logs are read through the download channel");
    EXPECT_NE(link->SendCommand("help", -1, -1).find("new measurement"), std::string::npos);
    EXPECT_EQ(link->SendCommand("new measurement Tower B", -1, -1), "OK");
    EXPECT_EQ(link->GetMeasurementTitle(), "Tower B");
    EXPECT_NE(link->SendCommand("list", -1, -1).find("(running) Tower B"), std::string::npos);
    link->Disconnect();
    EXPECT_EQ(link->SendCommand("get info", -1, -1), "");
    auto restricted = connect("COM3", "read");
    EXPECT_EQ(restricted->SendCommand("clear memory", -1, -1), "ERROR access denied");
}

TEST_F(Link, DownloadsWriteExactlyTheRange)
{
    addInstrument("direct", "COM3", "");
    auto link = connect("COM3");
    const std::vector<ListedLog> logs = listLogs(*link);
    ASSERT_EQ(logs.size(), 3u);
    const std::string target = bench + "/download.vrn";
    ASSERT_TRUE(link->StartDownload(target, 1, logs[1].start, logs[1].length));
    EXPECT_EQ(link->GetDownloadFile(), target);
    EXPECT_GE(finishDownload(*link), 1.0);
    EXPECT_EQ(readFile(target), memory("direct", logs[1].start, logs[1].length));

    // Mode 0 continues a partial file.
    const std::string whole = memory("direct", logs[0].start, logs[0].length);
    std::ofstream(target, std::ios::binary | std::ios::trunc) << whole.substr(0, 1000);
    ASSERT_TRUE(link->StartDownload(target, 0, logs[0].start, logs[0].length));
    EXPECT_GE(finishDownload(*link), 1.0);
    EXPECT_EQ(readFile(target), whole);

    // Ranges outside the memory are refused; an empty range is done at once.
    EXPECT_FALSE(link->StartDownload(target, 1, logs[2].start, logs[2].length + 100000));
    EXPECT_NE(link->GetLastErrorText().find("not in the instrument's memory"), std::string::npos);
    ASSERT_TRUE(link->StartDownload(bench + "/empty.vrn", 1, logs[0].start, 0));
    EXPECT_GE(finishDownload(*link), 1.0);
    EXPECT_EQ(readFile(bench + "/empty.vrn"), "");
    EXPECT_FALSE(link->StartDownload(bench + "/no/such/folder.vrn", 1, logs[0].start, 10));
}

TEST_F(Link, CancelledDownloadOfANewFileLeavesNothing)
{
    addInstrument("direct", "COM3", "", 3, 1, [](varno::sim::Instrument& in) { in.faults.lineSpeed = 2000; });
    auto link = connect("COM3");
    const std::vector<ListedLog> logs = listLogs(*link);
    const std::string target = bench + "/cancelled.vrn";
    ASSERT_TRUE(link->StartDownload(target, 1, logs[0].start, logs[0].length));
    EXPECT_TRUE(link->IsDownloading());
    EXPECT_FALSE(link->StartDownload(bench + "/other.vrn", 1, logs[0].start, 10));
    EXPECT_EQ(link->GetLastErrorText(), "a download is running");
    link->CancelDownload();
    EXPECT_LT(finishDownload(*link), 1.0);
    EXPECT_FALSE(fileExists(target));
    EXPECT_EQ(link->GetLastErrorText(), "download cancelled");
    EXPECT_TRUE(link->IsConnected());
}

TEST_F(Link, AFullDiskIsReportedWithItsReason)
{
    if (!fileExists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    addInstrument("direct", "COM3", "");
    auto link = connect("COM3");
    const std::vector<ListedLog> logs = listLogs(*link);
    // Every write to /dev/full fails as on a full disk; the link removes the new "file",
    // which here is only the link to it.
    const std::string target = bench + "/full.vrn";
    ASSERT_EQ(::symlink("/dev/full", target.c_str()), 0);
    ASSERT_TRUE(link->StartDownload(target, 1, logs[0].start, logs[0].length));
    EXPECT_LT(finishDownload(*link), 1.0);
    EXPECT_EQ(link->GetLastErrorText(), "cannot write " + target + ": " + std::strerror(ENOSPC));
    EXPECT_FALSE(fileExists(target));
    EXPECT_TRUE(link->IsConnected());
}

TEST_F(Link, DownloadFaults)
{
    addInstrument("direct", "COM3", "", 2, 2, [](varno::sim::Instrument& in) {
        in.faults.failAt = 0.5;
        in.faults.failAttempts = 2;
    });
    auto link = connect("COM3");
    const std::vector<ListedLog> logs = listLogs(*link);
    const std::string target = bench + "/t.vrn";
    for (int attempt = 1; attempt <= 2; ++attempt) {
        ASSERT_TRUE(link->StartDownload(target, 1, logs[0].start, logs[0].length));
        const double p = finishDownload(*link);
        EXPECT_GE(p, 0.45) << attempt;
        EXPECT_LT(p, 0.55);
        EXPECT_FALSE(fileExists(target));
        EXPECT_EQ(link->GetLastErrorText(), "download failed: transmission error");
    }
    ASSERT_TRUE(link->StartDownload(target, 1, logs[0].start, logs[0].length));
    EXPECT_GE(finishDownload(*link), 1.0); // the third attempt goes through

    // Fewer bytes than promised: the progress stays short of 1.
    modify("direct", [](varno::sim::Instrument& in) { in.faults.shortBy = 10; });
    ASSERT_TRUE(link->StartDownload(target, 1, logs[1].start, logs[1].length));
    EXPECT_LT(finishDownload(*link), 1.0);
    EXPECT_FALSE(fileExists(target));
    EXPECT_NE(link->GetLastErrorText().find("the instrument sent"), std::string::npos);

    // Mode 0 keeps what arrived.
    ASSERT_TRUE(link->StartDownload(target, 0, logs[1].start, logs[1].length));
    EXPECT_LT(finishDownload(*link), 1.0);
    EXPECT_EQ(readFile(target).size(), logs[1].length - 10);
}

TEST_F(Link, LineDropsAfterDownloadsOrBytes)
{
    addInstrument("direct", "COM3", "", 2, 3, [](varno::sim::Instrument& in) { in.faults.dropAfterDownloads = 1; });
    auto link = connect("COM3");
    std::vector<ListedLog> logs = listLogs(*link);
    ASSERT_TRUE(link->StartDownload(bench + "/a.vrn", 1, logs[0].start, logs[0].length));
    EXPECT_GE(finishDownload(*link), 1.0);
    EXPECT_FALSE(link->IsConnected());
    EXPECT_EQ(link->GetLastErrorText(), "The line has dropped");
    EXPECT_FALSE(link->StartDownload(bench + "/b.vrn", 1, logs[1].start, logs[1].length));

    modify("direct", [](varno::sim::Instrument& in) {
        in.faults.dropAfterDownloads = -1;
        in.faults.dropAfterBytes = 1000;
    });
    link = connect("COM3");
    ASSERT_TRUE(link->StartDownload(bench + "/b.vrn", 1, logs[1].start, logs[1].length));
    const double p = finishDownload(*link);
    ASSERT_GT(logs[1].length, 1000u);
    EXPECT_NEAR(p, 1000.0 / logs[1].length, 1e-9);
    EXPECT_FALSE(link->IsConnected());
    EXPECT_FALSE(fileExists(bench + "/b.vrn"));
}

TEST_F(Link, HangupDuringADownloadBreaksItAsADroppedLine)
{
    addPacedInstrument();
    auto link = connect("COM3");
    const std::vector<ListedLog> logs = listLogs(*link);
    ASSERT_GT(logs[0].length, 2000u);
    const std::string target = bench + "/hungup.vrn";
    ASSERT_TRUE(link->StartDownload(target, 1, logs[0].start, logs[0].length));
    while (link->GetDownloadProgress() == 0.0)
        std::this_thread::yield();
    modify("direct", [](varno::sim::Instrument& in) { ++in.hangups; });
    double progress = 0;
    while (link->IsDownloading())
        progress = link->GetDownloadProgress();
    progress = link->GetDownloadProgress();
    EXPECT_GT(progress, 0.0);
    EXPECT_LT(progress, 1.0);
    EXPECT_EQ(link->GetLastErrorText(), "The line has dropped");
    EXPECT_FALSE(link->IsConnected());
    EXPECT_FALSE(fileExists(target));
}

TEST_F(Link, BenchHangupAndConnectFaults)
{
    addInstrument("direct", "COM3", "");
    auto link = connect("COM3");
    modify("direct", [](varno::sim::Instrument& in) { ++in.hangups; });
    EXPECT_FALSE(link->IsConnected());
    EXPECT_EQ(link->GetLastErrorText(), "The line has dropped");

    modify("direct", [](varno::sim::Instrument& in) { in.faults.connect = "refuse"; });
    EXPECT_FALSE(link->Connect("COM3", "", "", 1));
    EXPECT_EQ(link->GetLastErrorText(), "No answer from instrument");
    modify("direct", [](varno::sim::Instrument& in) { in.faults.connect = "error:ERROR modem not responding"; });
    EXPECT_FALSE(link->Connect("COM3", "", "", 1));
    EXPECT_EQ(link->GetLastErrorText(), "ERROR modem not responding");
    modify("direct", [](varno::sim::Instrument& in) { in.faults.connect = "busy:2"; });
    EXPECT_FALSE(link->Connect("COM3", "", "", 1));
    EXPECT_EQ(link->GetLastErrorText(), "BUSY");
    EXPECT_TRUE(link->Connect("COM3", "", "", 2)); // one busy, then through on the redial
}

TEST_F(Link, AbortEndsAModemCall)
{
    addInstrument("remote", "", "0123456", 1, 1, [](varno::sim::Instrument& in) { in.faults.dialDelayMs = 60000; });
    std::unique_ptr<CQuorvalin> link(CQuorvalin::newObject());
    std::atomic<bool> connected{true}, done{false};
    std::thread caller([&] {
        connected = link->Connect("COM1 0123456", "", "tone", 1);
        done = true;
    });
    // Connect clears an earlier abort as it starts: keep asking until the call ends.
    while (!done) {
        link->AbortConnect();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    caller.join();
    EXPECT_FALSE(connected);
    EXPECT_EQ(link->GetLastErrorText(), "Connection aborted");
}

TEST_F(Link, IdleTimeFollowsTheClockAndBusy)
{
    quorvalin_settestclock(&testClock);
    EXPECT_EQ(varno::sim::processClock(), g_testClock); // one simulation in the process, one clock hook
    std::unique_ptr<CQuorvalin> link(CQuorvalin::newObject());
    EXPECT_EQ(link->IdleTime(0), 0);
    g_testClock += 61;
    EXPECT_EQ(link->IdleTime(1), 61);
    link->SetBusy(1);
    g_testClock += 30;
    EXPECT_EQ(link->IdleTime(1), 0);
    link->SetBusy(0);
    g_testClock += 5;
    EXPECT_EQ(link->IdleTime(1), 5);
    EXPECT_EQ(link->IdleTime(0), 0);
    EXPECT_EQ(link->IdleTime(1), 0);
    quorvalin_settestclock(nullptr);
}

TEST_F(Link, OlderFirmwareHasALogMagic)
{
    addInstrument("old", "COM3", "", 2, 1, [](varno::sim::Instrument& in) { in.firmware = 2.5; });
    auto link = connect("COM3");
    const uint32_t magic = link->GetLogMagic();
    EXPECT_GT(magic, 1000u);
    EXPECT_EQ(magic, load("old").memoryIdentity());
    addInstrument("new", "COM2", "");
    EXPECT_EQ(connect("COM2")->GetLogMagic(), 0u);
}

TEST_F(Link, PollPacedDownloadsShowEveryBlock)
{
    addPacedInstrument();
    auto link = connect("COM3");
    const std::vector<ListedLog> logs = listLogs(*link);
    const uint32_t length = logs[0].length;
    ASSERT_GT(length, 1500u);
    ASSERT_TRUE(link->StartDownload(bench + "/paced.vrn", 1, logs[0].start, length));
    std::vector<double> seen;
    while (link->IsDownloading()) {
        const double p = link->GetDownloadProgress();
        if (seen.empty() || p != seen.back())
            seen.push_back(p);
    }
    const double final = link->GetDownloadProgress();
    if (final != seen.back())
        seen.push_back(final);
    std::vector<double> expected;
    for (uint32_t sent = 0; sent < length; sent += 500)
        expected.push_back(double(sent) / length);
    expected.push_back(1.0);
    EXPECT_EQ(seen, expected);
}

TEST(LinkWithoutBench, AFreshBenchHasFourEmptyPorts)
{
    char tmpl[] = "/tmp/quorvalin-fresh-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::string bench = std::string(tmpl) + "/not/yet/there";
    ::setenv("QUORVALIN_BENCH", bench.c_str(), 1);
    EXPECT_TRUE(ConnectionAvailable("COM1"));
    EXPECT_TRUE(ConnectionAvailable("COM4 0123"));
    EXPECT_FALSE(ConnectionAvailable("COM5"));
    std::unique_ptr<CQuorvalin> link(CQuorvalin::newObject());
    EXPECT_FALSE(link->Connect("COM3", "", "", 1));
    EXPECT_EQ(link->GetLastErrorText(), "No answer from instrument on COM3");
    ::unsetenv("QUORVALIN_BENCH");
    varno::testing::removeFolder(tmpl);
}

TEST_F(Link, SharedBetweenThreadsAsTheTerminalUsesIt)
{
    addInstrument("direct", "COM3", "", 2, 2);
    auto link = connect("COM3");
    std::atomic<bool> stop{false};
    std::atomic<int> ticks{0}, skipped{0};
    // The panel's jobs: status and values refreshes under Lock(-1).
    auto job = [&](bool values) {
        for (int i = 0; i < 60; ++i) {
            ASSERT_TRUE(link->Lock(-1));
            if (link->IsConnected()) {
                if (values) {
                    link->ReadValues(0, 0);
                    link->ReadStatistics(0, 0);
                } else {
                    link->Update();
                }
            }
            link->Unlock();
        }
    };
    // The one-second timers: only TryLock, and skip the tick when busy.
    std::thread timer([&] {
        while (!stop) {
            if (link->TryLock()) {
                double v[64];
                link->GetValues(v, 64);
                link->GetLogStart();
                link->GetLogLength();
                link->IdleTime(1);
                link->Unlock();
                ++ticks;
            } else {
                ++skipped;
            }
            std::this_thread::yield();
        }
    });
    std::thread status(job, false), values(job, true);
    // The window thread: listing and a download, with nested locking.
    for (int i = 0; i < 20; ++i) {
        ASSERT_TRUE(link->Lock(-1));
        ASSERT_TRUE(link->Lock(-1));
        listLogs(*link);
        link->GetFunctionName(i % 8);
        link->Unlock();
        link->Unlock();
    }
    ASSERT_TRUE(link->Lock(-1));
    const std::vector<ListedLog> logs = listLogs(*link);
    ASSERT_TRUE(link->StartDownload(bench + "/shared.vrn", 1, logs[0].start, logs[0].length));
    EXPECT_GE(finishDownload(*link), 1.0);
    link->IdleTime(0);
    link->Unlock();
    status.join();
    values.join();
    stop = true;
    timer.join();
    EXPECT_TRUE(link->IsConnected());
    EXPECT_GT(ticks + skipped, 0);
}

TEST_F(Link, DownloadsStartAndStopSafelyFromUnlockedThreads)
{
    addPacedInstrument(); // a started download runs until it is stopped
    auto link = connect("COM3");
    const std::vector<ListedLog> logs = listLogs(*link);
    const auto target = [&](int who) { return bench + "/t" + std::to_string(who) + ".vrn"; };
    // Runs both actions at the same moment on two threads.
    const auto together = [](const std::function<void()>& a, const std::function<void()>& b) {
        std::atomic<int> ready{0};
        const auto go = [&](const std::function<void()>& f) {
            ++ready;
            while (ready < 2)
                std::this_thread::yield();
            f();
        };
        std::thread first(go, a), second(go, b);
        first.join();
        second.join();
    };
    for (int round = 0; round < 20; ++round) {
        std::atomic<int> started{0};
        const auto start = [&](int who) {
            return [&, who] { started += link->StartDownload(target(who), 1, logs[0].start, logs[0].length); };
        };
        together(start(0), start(1));
        EXPECT_EQ(started, 1) << round;
        EXPECT_TRUE(link->IsDownloading());

        together([&] { link->ResetLink(); }, start(1));
        together([&] { link->CancelDownload(); }, [&] { link->GetDownloadProgress(); });
        link->ResetLink();
        EXPECT_FALSE(link->IsDownloading());
        EXPECT_FALSE(fileExists(target(0)) || fileExists(target(1))) << round; // cancelled: nothing left
    }
    EXPECT_TRUE(link->IsConnected());
}
