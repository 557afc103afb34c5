// The data-file list against simulated instruments, without windows: the instrument listing
// and its match with the data folder, the running data log that grows between ticks, row
// transfers by firmware, the transfer commands with their questions, and every fault the
// bench injects (a cancelled, failed or dropped download, a full set of backups), checked
// against what the unattended transfer program fetches.
#include <kestal/files/DataFileList.h>
#include <kestal/files/Launcher.h>

#include <transfer/StationCall.h>

#include "ConnectionFixture.h"
#include "TestConfig.h"
#include <testing/ForwardingLink.h>

#include <lunebrig/Lunebrig.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <set>
#include <thread>

using namespace varno::transfer;

using namespace varno::kestal;
using varno::qtsupport::UserInteraction;

namespace {

// Records what the list asks of the link.
class RecordingLink : public varno::testing::ForwardingLink {
public:
    struct Download {
        int mode;
        uint32_t start, length;
    };
    bool StartDownload(const std::string& path, int mode, uint32_t start, uint32_t length) override
    {
        downloads.push_back({mode, start, length});
        return varno::testing::ForwardingLink::StartDownload(path, mode, start, length);
    }
    void SetFileListRange(uint32_t start, uint32_t length) override
    {
        ranges.push_back({start, length});
        varno::testing::ForwardingLink::SetFileListRange(start, length);
    }
    std::vector<Download> downloads;
    std::vector<std::pair<uint32_t, uint32_t>> ranges;
};

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class KestalFileTransfer : public varno::kestal::testing::ConnectionFixture {
protected:
    static void SetUpTestSuite() { varno::kestal::testing::coreTestApp(); }

    void SetUp() override
    {
        ConnectionFixture::SetUp();
        link = new RecordingLink;
        makeDoc(link);
        doc->Timing().downloadPollMs = 1;
        doc->SetHangUpDialog([this] {
            ++hangUpOffers;
            return false;
        });
    }

    void TearDown() override
    {
        list.reset();
        ConnectionFixture::TearDown();
    }

    // The station of the instrument, connected, and its listing.
    DataFileList& connect(const QString& connection = "COM2")
    {
        station("Hill Top", connection);
        doc->OnConnect();
        EXPECT_TRUE(doc->IsConnected()) << ui.texts().join("|").toStdString();
        list = std::make_unique<DataFileList>(*doc, launcher);
        list->SetDownloadRunner([this](CQuorvalin& l, const DownloadRequest& r) {
            requests.push_back(r);
            DownloadSteps steps(l, r);
            const bool cancel = cancelDownload && cancelDownload(int(requests.size()));
            if (steps.Next() && cancel)
                steps.Cancel();
            while (steps.Next())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return steps.file();
        });
        list->Update();
        return *list;
    }

    QString vrn() const { return QDir(root.path()).filePath("Hill Top/vrn"); }
    // Data logs of the folder, and whatever else lies there (temporary downloads).
    QStringList dataLogs() const { return QDir(vrn()).entryList({"*.vrn"}, QDir::Files, QDir::Name); }
    QStringList others() const
    {
        QStringList all = QDir(vrn()).entryList(QDir::Files, QDir::Name);
        for (const QString& name : dataLogs())
            all.removeOne(name);
        return all;
    }
    QStringList statuses() const
    {
        QStringList out;
        for (const FileRow& r : list->Rows())
            out << r.status;
        return out;
    }
    int questions() const
    {
        int n = 0;
        for (const auto& e : ui.events())
            n += e.kind == varno::qtsupport::ScriptedUserInteraction::Kind::Question;
        return n;
    }

    // What the unattended transfer program stores for the same instrument.
    std::set<QByteArray> fetchedByTransfer()
    {
        const QString folder = QDir(root.path()).filePath("by-transfer");
        QDir().mkpath(folder);
        TransferOptions options;
        CallEnvironment env;
        std::FILE* out = std::fopen("/dev/null", "w");
        env.out = out;
        env.pollPause = [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); };
        StationCall call(options, env);
        EXPECT_EQ(call.Run("COM2", std::string("varno"), folder.toStdString()), 0);
        std::fclose(out);
        std::set<QByteArray> files;
        for (const QString& name : QDir(folder).entryList({"*.vrn"}, QDir::Files))
            files.insert(contents(QDir(folder).filePath(name)));
        return files;
    }
    std::set<QByteArray> stored() const
    {
        std::set<QByteArray> files;
        for (const QString& name : dataLogs())
            files.insert(contents(QDir(vrn()).filePath(name)));
        return files;
    }

    RecordingLink* link = nullptr;
    Launcher launcher{QCoreApplication::applicationDirPath()};
    std::unique_ptr<DataFileList> list;
    std::vector<DownloadRequest> requests;
    std::function<bool(int download)> cancelDownload;
    int hangUpOffers = 0;
};

TEST_F(KestalFileTransfer, ListsTheInstrumentAndTransfersEveryNewLogAsTransferDoes)
{
    addInstrument("hill", "COM2", "", 3, 3);
    const varno::sim::Instrument in = last;
    DataFileList& files = connect();
    ASSERT_TRUE(files.IsInstrumentListing());
    ASSERT_EQ(files.RowCount(), 3);
    const FileRow& first = files.Rows()[0];
    EXPECT_EQ(first.start, in.logs[0].start);
    EXPECT_EQ(first.startText, QString::fromStdString(quorvalin_time2string(in.logs[0].startTime)));
    EXPECT_EQ(first.name, "Tower A #1");
    EXPECT_EQ(first.spanText, QString::asprintf("%4u", in.logLength(0)));
    EXPECT_EQ(first.sizeText, first.spanText);
    EXPECT_EQ(files.Rows()[2].stopText, "(running)");
    // Nothing local: the first row is warned, the others are plainly new.
    EXPECT_EQ(statuses(), QStringList({"warning empty", "", ""}));
    EXPECT_EQ(first.icon, 0);
    // Without local files the instrument lists from 0 with length 0.
    ASSERT_EQ(link->ranges.size(), 1u);
    EXPECT_EQ(link->ranges[0], std::make_pair(0u, 0u));

    files.TransferNew();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].mode, 1);
    EXPECT_EQ(requests[0].caption, QString::fromStdString(TemporaryTimeText(quorvalin_time2string(in.logs[0].startTime)) +
                                                          " ... " +
                                                          TemporaryTimeText(quorvalin_time2string(in.logs[0].stopTime))));
    EXPECT_TRUE(requests[0].target.contains("(tmp) Tower A #1")) << requests[0].target.toStdString();
    EXPECT_EQ(statuses(), QStringList({"ok exact", "ok exact", "ok exact"}));
    EXPECT_EQ(files.Rows()[1].icon, 4);
    EXPECT_EQ(dataLogs().size(), 3);
    EXPECT_TRUE(others().isEmpty()) << others().join("|").toStdString();
    EXPECT_TRUE(dataLogs()[0].startsWith(QString::asprintf("[4711-%08u-%05u-", in.logs[0].start, in.logLength(0))));
    EXPECT_TRUE(dataLogs()[0].contains("]  Tower A #1.vrn")) << dataLogs()[0].toStdString();
    EXPECT_EQ(questions(), 0); // firmware 3.2: no clear question
    EXPECT_EQ(hangUpOffers, 0); // a direct line is never hung up

    // A listing afresh knows what the folder holds and asks for that range.
    files.Update();
    EXPECT_EQ(statuses(), QStringList({"ok exact", "ok exact", "ok exact"}));
    EXPECT_EQ(link->ranges.back().first, in.logs[0].start);

    // Byte for byte what the transfer program fetches.
    doc->Disconnect();
    EXPECT_EQ(stored(), fetchedByTransfer());
}

TEST_F(KestalFileTransfer, TheRunningLogGrowsBetweenTicksOnlyWhenTheLinkIsFree)
{
    addInstrument("hill", "COM2", "", 3, 3);
    DataFileList& files = connect();
    files.TransferNew();
    ASSERT_EQ(statuses(), QStringList({"ok exact", "ok exact", "ok exact"}));
    const FileRow before = files.Rows()[2];
    const uint32_t closedSpan = files.Rows()[1].span;

    advance(3600);
    // Somebody holds the link: the tick skips its work.
    doc->GetLink()->Lock(-1);
    files.Tick();
    doc->GetLink()->Unlock();
    EXPECT_EQ(files.Rows()[2].span, before.span);

    files.Tick();
    const FileRow& grown = files.Rows()[2];
    EXPECT_GT(grown.span, before.span);
    EXPECT_EQ(grown.spanText, QString::asprintf("%4u", grown.span));
    EXPECT_EQ(grown.status, "warning partially");
    EXPECT_EQ(grown.icon, 3);
    EXPECT_EQ(grown.pcFile, dataLogs().last());
    EXPECT_EQ(files.Rows()[1].span, closedSpan); // a closed log stays

    // Transfer new fetches only the grown log; the shorter copy stays beside it.
    requests.clear();
    files.TransferNew();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].start, before.start);
    EXPECT_EQ(requests[0].length, grown.span);
    EXPECT_EQ(statuses(), QStringList({"ok exact", "ok exact", "ok exact"}));
    EXPECT_EQ(dataLogs().size(), 4);
}

TEST_F(KestalFileTransfer, FirmwareDecidesTheModeAndTheClearQuestion)
{
    // Older firmware keeps one data log, listed by time, and offers to clear it.
    addInstrument("hill", "COM2", "", 2, 1, [](varno::sim::Instrument& in) { in.firmware = 2.5; });
    DataFileList& files = connect();
    ASSERT_EQ(files.RowCount(), 1);
    files.TransferNew(); // "No" to clearing: the data log stays
    ASSERT_EQ(link->downloads.size(), 1u);
    EXPECT_EQ(link->downloads[0].mode, 1);
    EXPECT_EQ(ui.texts(), QStringList{"Do you want to clear the data log?"});
    // Stored ("ok exact", or "ok merged" where the file's own last time lies beyond the
    // start of its last interval, which the listing names).
    EXPECT_TRUE(files.Rows()[0].status.startsWith("ok ")) << files.Rows()[0].status.toStdString();
    const QString firstCopy = dataLogs().value(0);
    const QByteArray firstBytes = contents(QDir(vrn()).filePath(firstCopy));

    // Grown since: the partial copy is continued (mode 0) and stays as it was.
    advance(3600);
    files.Tick();
    ASSERT_EQ(statuses(), QStringList{"warning partially"});
    ui.clear();
    ui.queueAnswer(UserInteraction::Answer::Yes);
    ui.queueAnswer(UserInteraction::Answer::Ok);
    files.TransferNew();
    ASSERT_EQ(link->downloads.size(), 2u);
    EXPECT_EQ(link->downloads[1].mode, 0);
    EXPECT_EQ(ui.texts(), QStringList({"Do you want to clear the data log?",
                                       "All measurement data will be cleared in the instrument"}));
    ASSERT_EQ(dataLogs().size(), 2);
    EXPECT_EQ(contents(QDir(vrn()).filePath(firstCopy)), firstBytes);
    QStringList grownCopy = dataLogs();
    grownCopy.removeOne(firstCopy);
    const QByteArray grown = contents(QDir(vrn()).filePath(grownCopy.value(0)));
    EXPECT_TRUE(grown.startsWith(firstBytes));
    EXPECT_GT(grown.size(), firstBytes.size());
    EXPECT_TRUE(others().isEmpty());
    // Cleared: listed afresh, the instrument holds only its new data log.
    EXPECT_EQ(load("hill").logs.size(), 1u);
    EXPECT_EQ(files.RowCount(), 1);
    EXPECT_NE(files.Rows()[0].start, link->downloads[0].start);
}

TEST_F(KestalFileTransfer, FromFirmware3NoClearQuestionAndFrom31NewFilesOnly)
{
    for (double firmware : {3.0, 3.1}) {
        SCOPED_TRACE(firmware);
        addInstrument("hill", "COM2", "", 3, 2, [firmware](varno::sim::Instrument& in) { in.firmware = firmware; });
        DataFileList& files = connect();
        files.TransferNew();
        advance(3600);
        files.Tick();
        ASSERT_EQ(files.Rows()[1].status, "warning partially");
        files.TransferNew();
        files.Update();
        ASSERT_EQ(link->downloads.size(), 3u);
        EXPECT_EQ(link->downloads[0].mode, 1);
        // The grown log: continued below 3.1, a new file from 3.1 on.
        EXPECT_EQ(link->downloads[2].mode, firmware < 3.1 ? 0 : 1);
        EXPECT_EQ(statuses(), QStringList({"ok exact", "ok exact"}));
        EXPECT_EQ(questions(), 0);
        EXPECT_TRUE(others().isEmpty());
        // Below 3.1 only the last file's range is asked for.
        EXPECT_EQ(link->ranges.back().first, firmware < 3.1 ? files.Rows()[1].start : files.Rows()[0].start);

        doc->Disconnect();
        list.reset();
        QDir(QDir(root.path()).filePath("Hill Top")).removeRecursively();
        link->downloads.clear();
        requests.clear();
    }
}

TEST_F(KestalFileTransfer, CancellingTheSecondOfThreeAsksWhetherToGoOn)
{
    addInstrument("hill", "COM2", "", 3, 3, [](varno::sim::Instrument& in) {
        in.faults.pollPaced = true; // every block waits for a look at the progress
        in.faults.chunk = 512;
    });
    cancelDownload = [](int n) { return n == 2; };
    DataFileList& files = connect();

    ui.queueAnswer(UserInteraction::Answer::Ok); // go on
    files.TransferNew();
    EXPECT_EQ(ui.texts(), QStringList{"The transfer was canceled. Do you want to continue transferring the other files?"});
    EXPECT_EQ(requests.size(), 3u);
    EXPECT_EQ(dataLogs().size(), 2);
    EXPECT_TRUE(others().isEmpty()) << others().join("|").toStdString();
    // Matched afresh: the cancelled log shows as a gap.
    EXPECT_EQ(statuses(), QStringList({"ok exact", "warning empty", "ok exact"}));

    // The same with Cancel: the loop stops, and the list is still matched.
    QDir(vrn()).removeRecursively();
    files.ReMatch();
    requests.clear();
    ui.clear();
    ui.queueAnswer(UserInteraction::Answer::Cancel);
    files.TransferNew();
    EXPECT_EQ(requests.size(), 2u);
    EXPECT_EQ(dataLogs().size(), 1);
    EXPECT_TRUE(others().isEmpty());
    EXPECT_EQ(statuses(), QStringList({"ok exact", "", ""}));
}

TEST_F(KestalFileTransfer, FailedDownloadThenTheUserTriesAgain)
{
    addInstrument("hill", "COM2", "", 3, 3, [](varno::sim::Instrument& in) {
        in.faults.failAt = 0.5;
        in.faults.failAttempts = 1;
    });
    DataFileList& files = connect();
    files.TransferNew(); // the question goes unanswered: Cancel
    EXPECT_EQ(requests.size(), 1u);
    EXPECT_EQ(ui.texts(), QStringList{"The transfer was canceled. Do you want to continue transferring the other files?"});
    EXPECT_TRUE(QDir(vrn()).entryList(QDir::Files).isEmpty()); // nothing partial stays
    EXPECT_EQ(statuses(), QStringList({"warning empty", "", ""}));

    // Transfer marked on the failed row, then every other new one.
    ui.clear();
    files.TransferMarked({0});
    EXPECT_EQ(dataLogs().size(), 1);
    EXPECT_EQ(statuses(), QStringList({"ok exact", "", ""}));
    files.TransferNew();
    EXPECT_EQ(statuses(), QStringList({"ok exact", "ok exact", "ok exact"}));
    EXPECT_TRUE(ui.texts().isEmpty());
    files.TransferMarked({});
    EXPECT_EQ(ui.texts(), QStringList{"No files are selected for transfer"});
}

TEST_F(KestalFileTransfer, ADroppedLineEndsTheTransfersWithoutLeavingPartialFiles)
{
    addInstrument("hill", "", "0161 555 0199", 3, 3);
    const varno::sim::Instrument in = last;
    modify("hill", [&](varno::sim::Instrument& i) { i.faults.dropAfterBytes = in.logLength(0) + in.logLength(1) / 2; });
    DataFileList& files = connect("0161 555 0199"); // through the modem
    files.TransferNew();
    EXPECT_EQ(requests.size(), 2u);
    EXPECT_EQ(dataLogs().size(), 1);
    EXPECT_TRUE(others().isEmpty()) << others().join("|").toStdString();
    // Nothing to ask: without a line no further row can come, and there is none to hang up.
    EXPECT_EQ(questions(), 0);
    EXPECT_EQ(hangUpOffers, 0);
    // The rows keep what the transfers said: no match is made without a line.
    EXPECT_EQ(statuses(), QStringList({"ok transferred", "error transfer failed", ""}));
}

TEST_F(KestalFileTransfer, ModemLineIsOfferedToHangUpOnlyAfterTransfers)
{
    addInstrument("moor", "", "0161 555 0199", 3, 2);
    DataFileList& files = connect("0161 555 0199");
    files.TransferNew();
    EXPECT_EQ(requests.size(), 2u);
    EXPECT_EQ(hangUpOffers, 1);
    // Nothing new: nothing fetched, nothing offered.
    files.TransferNew();
    EXPECT_EQ(requests.size(), 2u);
    EXPECT_EQ(hangUpOffers, 1);
    // Transfer marked always offers.
    files.TransferMarked({0});
    EXPECT_EQ(hangUpOffers, 2);
}

TEST_F(KestalFileTransfer, AFullSetOfBackupsKeepsTheDownloadUnderItsTemporaryName)
{
    addInstrument("hill", "COM2", "", 3, 2);
    DataFileList& files = connect();
    files.TransferNew();
    const QString final = QDir(vrn()).filePath(dataLogs()[0]);
    const QByteArray data = contents(final);
    for (int i = 0; i < 100; ++i)
        QFile(final + QString::asprintf(".bak%02d", i)).open(QIODevice::WriteOnly);

    ui.clear();
    const QString kept = files.TransferRow(0);
    EXPECT_EQ(files.Rows()[0].status, "error transfer failed");
    EXPECT_EQ(files.Rows()[0].icon, 0);
    ASSERT_TRUE(kept.contains("(tmp)")) << kept.toStdString();
    EXPECT_EQ(contents(kept), data);
    EXPECT_EQ(ui.texts(), QStringList{"Too many Backup files exist for this file: " + final +
                                      "\r\nThe transferred data log is kept as: " + kept});
    // The stored file and its backups are as they were.
    EXPECT_EQ(contents(final), data);
    EXPECT_EQ(QDir(vrn()).entryList({"*.bak*"}, QDir::Files).size(), 100);
    EXPECT_TRUE(contents(final + ".bak00").isEmpty());

    // A second try never writes over the kept download.
    const QString again = files.TransferRow(0);
    EXPECT_EQ(again, kept + " (2)");
    EXPECT_EQ(contents(kept), data);
}

TEST_F(KestalFileTransfer, ListingThatIsCancelledOrRefusedShowsNoRows)
{
    addInstrument("hill", "COM2", "", 3, 3);
    DataFileList& files = connect();
    ASSERT_EQ(files.RowCount(), 3);
    // Cancelled before the reading began.
    files.SetRefreshRunner([](const ListingRead&) {});
    files.Update();
    EXPECT_EQ(files.RowCount(), 0);
    EXPECT_EQ(files.Note(), "Reading the instrument's file list was cancelled.");
    EXPECT_TRUE(doc->GetLink()->TryLock());
    doc->GetLink()->Unlock();
    EXPECT_TRUE(doc->IsConnected());

    // A user level that may not list: said in the empty list.
    files.SetRefreshRunner(nullptr);
    doc->Disconnect();
    typedPassword = "wrong";
    doc->OnConnect();
    ASSERT_TRUE(doc->IsConnected());
    files.Update();
    EXPECT_EQ(files.RowCount(), 0);
    EXPECT_TRUE(files.Note().startsWith("The instrument's file list could not be read: access denied"))
        << files.Note().toStdString();
}

TEST_F(KestalFileTransfer, FileCommandsTransferRowsThatAreMissing)
{
    addInstrument("hill", "COM2", "", 3, 2);
    QTemporaryDir bin;
    QFile script(bin.filePath("trelis"));
    script.open(QIODevice::WriteOnly);
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    script.close();
    std::vector<std::vector<std::string>> starts;
    lunebrig_setstarter([&](const std::string&, const std::vector<std::string>& args, const std::string&) {
        starts.push_back(args);
        return true;
    });
    Launcher here(bin.path());
    station("Hill Top", "COM2");
    doc->OnConnect();
    DataFileList files(*doc, here);
    files.Update();
    files.View({1});
    lunebrig_setstarter(nullptr);
    ASSERT_EQ(starts.size(), 1u);
    ASSERT_EQ(dataLogs().size(), 1);
    EXPECT_EQ(starts[0], std::vector<std::string>{QDir(vrn()).filePath(dataLogs()[0]).toStdString()});
    EXPECT_EQ(files.Rows()[1].status, "ok exact");

    // Copy: the row that is there now and the one that is fetched for it.
    const std::unique_ptr<QMimeData> data = files.Copy({0, 1});
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(data->urls().size(), 2);
    EXPECT_EQ(dataLogs().size(), 2);
    EXPECT_EQ(data->urls()[1].toLocalFile(), QDir(vrn()).filePath(dataLogs()[1]));
    EXPECT_EQ(data->text().split('\n').size(), 2);
    EXPECT_EQ(files.Copy({}), nullptr);
    EXPECT_EQ(ui.texts(), QStringList{"No items were selected"});
}

} // namespace
