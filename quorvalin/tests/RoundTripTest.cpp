// Data logs of a simulated instrument, downloaded through the link and decoded by the
// conversion library, then named and stored as the terminal and the transfer program do.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include <testing/BenchFixture.h>
#include <link/DataLogNames.h>
#include <link/FileMoves.h>
#include <quorvalin/Quorvalin.h>
#include <ostrel/Ostrel.h>

namespace {

struct Listed {
    uint32_t start, length, startTime, stopTime;
    std::string text;
};

class RoundTrip : public varno::testing::BenchTest {
protected:
    std::unique_ptr<CQuorvalin> connect(const std::string& connection)
    {
        std::unique_ptr<CQuorvalin> link(CQuorvalin::newObject());
        link->SetReadahead(-1);
        link->ResetLink();
        link->SetPassword("read");
        EXPECT_TRUE(link->Connect(connection, "", "0", 1)) << link->GetLastErrorText();
        return link;
    }

    std::vector<Listed> list(CQuorvalin& link)
    {
        std::vector<Listed> out;
        link.SetFileListRange(0, 2147483647);
        EXPECT_TRUE(link.ReadFileList());
        while (link.NextFile())
            out.push_back({link.GetFileStart(), link.GetFileLength(), link.GetFileStartTime(), link.GetFileStopTime(),
                           link.GetFileText()});
        return out;
    }

    bool download(CQuorvalin& link, const std::string& path, uint32_t start, uint32_t length)
    {
        if (!link.StartDownload(path, 1, start, length))
            return false;
        while (link.IsDownloading())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return link.GetDownloadProgress() >= 1.0;
    }

    static int countFlag(COstrel& data, int flag)
    {
        int n = 0;
        for (int i = 0; i < data.GetEntryCount(); ++i)
            if (data.GetEntryFlags(i) & flag)
                ++n;
        return n;
    }
};

} // namespace

TEST_F(RoundTrip, DownloadedDataLogsDecodeToTheirTitleSerialTimesAndValues)
{
    addInstrument("tower", "COM3", "", 6, 3);
    auto link = connect("COM3");
    const std::vector<Listed> logs = list(*link);
    ASSERT_EQ(logs.size(), 3u);
    for (size_t i = 0; i < logs.size(); ++i) {
        const Listed& log = logs[i];
        const std::string path = bench + "/log" + std::to_string(i) + ".vrn";
        ASSERT_TRUE(download(*link, path, log.start, log.length));

        std::unique_ptr<COstrel> data(COstrel::newObject());
        ASSERT_TRUE(data->Load(path));
        EXPECT_EQ(data->GetTitle(), log.text);
        EXPECT_EQ(uint32_t(data->GetSerialNumber()), link->GetSerialNumber());
        EXPECT_STREQ(data->GetInstrumentName(), "varno310");
        EXPECT_NEAR(data->GetVersion(), 3.2, 1e-9);
        EXPECT_EQ(uint32_t(data->GetAddressOffset()), log.start);
        EXPECT_EQ(uint32_t(data->GetBytesDecoded()), log.length);
        EXPECT_EQ(countFlag(*data, LOGF_WARNING), 0);

        // Times: the statistics cover the data log from its start to its stop (or now).
        const int64_t stop = log.stopTime ? log.stopTime : kStart;
        EXPECT_EQ(int64_t(data->GetStartTime().GetSeconds()), int64_t(log.startTime));
        EXPECT_EQ(int64_t(data->GetMinTime().GetSeconds()), int64_t(log.startTime));
        EXPECT_LE(int64_t(data->GetMaxTime().GetSeconds()), stop);
        EXPECT_GE(int64_t(data->GetMaxTime().GetSeconds()), stop - 600);

        // One value row per ten minutes, ten minutes apart, with wind values in range.
        int rows = 0;
        CUtcTime previous;
        for (int e = 0; e < data->GetEntryCount(); ++e) {
            if (!(data->GetEntryFlags(e) & LOGF_DATA))
                continue;
            ++rows;
            const CUtcTime t = data->GetEntryTime(e);
            if (previous.bValid()) {
                ASSERT_EQ((t - previous).GetTotalSeconds(), 600) << "entry " << e;
            }
            previous = t;
            ASSERT_EQ(data->GetValueCount(e), 13);
            const double mean = data->GetValueByName(e, "v1_mean");
            const double max = data->GetValueByName(e, "v1_max");
            const double min = data->GetValueByName(e, "v1_min");
            const double direction = data->GetValueByName(e, "direction_mean360");
            ASSERT_GE(mean, 0.1);
            ASSERT_LE(mean, 25.5);
            ASSERT_GE(max, mean);
            ASSERT_LE(min, mean);
            ASSERT_GT(data->GetValueByName(e, "v3_sigma"), 0.0);
            ASSERT_GE(direction, 0.0);
            ASSERT_LT(direction, 360.0);
        }
        EXPECT_EQ(rows, int((stop - log.startTime) / 600)) << log.text;
    }
}

TEST_F(RoundTrip, TerminalAndTransferNamesOfDownloadedLogs)
{
    addInstrument("tower", "COM3", "", 2, 2, [](varno::sim::Instrument& in) { in.title = "M\xFCnster/Nord"; });
    auto link = connect("COM3");
    const std::vector<Listed> logs = list(*link);
    ASSERT_EQ(logs.size(), 2u);
    const std::string vrn = bench + "/vrn";
    ASSERT_EQ(::mkdir(vrn.c_str(), 0755), 0);

    // Transfer program: name from the listing, download to a temporary, install with backup.
    varno::link::Record r;
    r.serial = link->GetSerialNumber();
    r.start = logs[0].start;
    r.length = logs[0].length;
    r.startTime = logs[0].startTime;
    r.stopTime = logs[0].stopTime;
    r.text = logs[0].text;
    const std::string transferName = varno::link::TransferFileName(r);
    EXPECT_NE(transferName.find("] Munster_Nord #1.vrn"), std::string::npos);
    const std::string temporary = vrn + "/temporary-download-" + varno::link::FileKey(r.serial, r.start, r.length);
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(download(*link, temporary, r.start, r.length));
        ASSERT_EQ(varno::link::MoveWithBackup(temporary, vrn + "/" + transferName), varno::link::MoveResult::Moved);
    }
    EXPECT_EQ(varno::link::ListFolder(vrn, "*.vrn"), std::vector<std::string>{transferName});
    EXPECT_EQ(varno::link::ListFolder(vrn, "*.bak??").size(), 1u);

    // Terminal: identify the download from its contents, then name it.
    const std::string tmp = vrn + "/tmp";
    ASSERT_TRUE(download(*link, tmp, logs[1].start, logs[1].length));
    std::unique_ptr<COstrel> data(COstrel::newObject());
    ASSERT_TRUE(data->Load(tmp));
    varno::link::Record t;
    t.serial = uint32_t(data->GetSerialNumber());
    t.start = uint32_t(data->GetAddressOffset());
    t.length = uint32_t(data->GetBytesDecoded());
    t.magic = uint32_t(data->GetFileIdentity());
    t.startTime = uint32_t(data->GetStartTime().GetSeconds());
    t.stopTime = uint32_t(data->GetMaxTime().GetSeconds());
    t.text = data->GetTitle();
    const std::string terminalName = varno::link::TerminalFileName(t, "", data->GetInstrumentName());
    ASSERT_EQ(varno::link::MoveWithBackup(tmp, vrn + "/" + terminalName), varno::link::MoveResult::Moved);
    const varno::link::NameRecord back = varno::link::ReadName(vrn + "/" + terminalName);
    EXPECT_EQ(back.serial, link->GetSerialNumber());
    EXPECT_EQ(back.start, logs[1].start);
    EXPECT_EQ(back.length, logs[1].length);
    EXPECT_EQ(back.text, "Munster_Nord");
    EXPECT_EQ(back.extension, "vrn");
    EXPECT_GT(back.magic, 1000u);
}

TEST_F(RoundTrip, ErasedAndDamagedMemoryDecodeWithWarnings)
{
    addInstrument("tower", "COM3", "", 2, 1);
    uint32_t start = 0;
    modify("tower", [&](varno::sim::Instrument& in) {
        start = in.logStart;
        for (uint32_t i = 2000; i < 2100; ++i)
            in.memory[i] = 0xFF; // erased stretch
        for (uint32_t i = 3000; i < 3400; i += 7)
            in.memory[i] ^= 0x5A; // damaged bytes
    });
    auto link = connect("COM3");
    const std::vector<Listed> logs = list(*link);
    ASSERT_EQ(logs.size(), 1u);
    const std::string path = bench + "/damaged.vrn";
    ASSERT_TRUE(download(*link, path, logs[0].start, logs[0].length));
    std::unique_ptr<COstrel> data(COstrel::newObject());
    ASSERT_TRUE(data->Load(path));
    EXPECT_EQ(data->GetTitle(), "Tower A");
    EXPECT_GE(countFlag(*data, LOGF_WARNING), 2);
    EXPECT_GT(countFlag(*data, LOGF_DATA), 200); // most of the data survives
    EXPECT_EQ(start, logs[0].start);
}

TEST_F(RoundTrip, OlderFirmwareListsByTimeAndItsMagicIsTheFileIdentity)
{
    addInstrument("old", "COM3", "", 2, 1, [](varno::sim::Instrument& in) { in.firmware = 2.5; });
    auto link = connect("COM3");
    const std::vector<Listed> logs = list(*link);
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].start, logs[0].startTime);
    EXPECT_EQ(logs[0].length, uint32_t(kStart - 600 - logs[0].startTime)); // up to the last interval recorded
    EXPECT_EQ(link->GetLogStart() + link->GetLogLength(), logs[0].start + logs[0].length);

    // A partial copy is continued in mode 0.
    const std::string path = bench + "/old.vrn";
    ASSERT_TRUE(download(*link, path, logs[0].start, logs[0].length));
    ASSERT_EQ(::truncate(path.c_str(), 700), 0);
    ASSERT_TRUE(link->StartDownload(path, 0, logs[0].start, logs[0].length));
    while (link->IsDownloading())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_GE(link->GetDownloadProgress(), 1.0);

    std::unique_ptr<COstrel> data(COstrel::newObject());
    ASSERT_TRUE(data->Load(path));
    EXPECT_NEAR(data->GetVersion(), 2.5, 1e-9);
    EXPECT_EQ(uint32_t(data->GetStartTime().GetSeconds()), logs[0].start);
    EXPECT_GE(uint32_t((data->GetMaxTime() - data->GetStartTime()).GetTotalSeconds()), logs[0].length);
    EXPECT_EQ(uint32_t(data->GetFileIdentity()), link->GetLogMagic());
    EXPECT_TRUE(MagicEqual(uint32_t(data->GetFileIdentity()), link->GetLogMagic()));

    EXPECT_FALSE(link->StartDownload(path, 1, logs[0].start + 1, 10));
    EXPECT_EQ(link->GetLastErrorText().rfind("no data log starts at", 0), 0u);
}
