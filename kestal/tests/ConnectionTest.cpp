// The terminal's windows on simulated instruments: the real connect dialog, cancelling the
// connecting window, the panel's connected state, the one-second ticks with their dropped
// line and jobs, the idle countdown, the refresh and transfer windows and the main window's
// commands.
#include <kestal/dialogs/ConnectDlg.h>
#include <kestal/dialogs/InstrumentPanel.h>
#include <kestal/dialogs/KestalApp.h>
#include <kestal/dialogs/KestalView.h>
#include <kestal/files/Launcher.h>
#include <kestal/dialogs/MainFrame.h>
#include <kestal/dialogs/WaitDialogs.h>

#include "WindowFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSettings>
#include <QAction>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <chrono>
#include <fstream>
#include <thread>

using namespace varno::kestal;
using varno::kestal::testing::g_pcClock;

namespace {

class KestalConnection : public varno::kestal::testing::WindowConnectionFixture {
protected:
    void TearDown() override
    {
        panel.reset();
        ConnectionFixture::TearDown();
    }

    // Connects through the real connect dialog, confirmed as it comes up.
    void confirmConnectDialog()
    {
        doc->SetConnectDialog([this](ConnectRequest& r) {
            requests.push_back(r);
            CConnectDlg dialog;
            dialog.SetValues(r.stationName, r.connection, r.password);
            dialog.accept();
            if (dialog.result() != QDialog::Accepted)
                return false;
            r.connection = dialog.GetConnection();
            r.password = dialog.GetPassword();
            return true;
        });
    }

    CInstrumentPanel& makePanel()
    {
        panel = std::make_unique<CLeftView>(*doc);
        panel->resize(350, 600);
        return *panel->panel();
    }

    // Shown as far as the panel decides (the panel itself is never put on screen here).
    bool shown(QWidget* w) const { return w->isVisibleTo(panel->panel()); }
    // The status job fetches what the instrument reports now; the panel shows it.
    void refreshStatus(CInstrumentPanel& p)
    {
        doc->StartStatusJob();
        doc->WaitForJobs();
        p.Refresh();
    }

    std::unique_ptr<CLeftView> panel;
};

TEST_F(KestalConnection, StationsOwnPortIsUsedEvenOutsideTheList)
{
    std::ofstream(bench + "/ports.txt") << "COM1\nCOM2\nCOM3\nCOM9\n/dev/ttyUSB0\n";
    addInstrument("one", "COM1", "", 3, 3, [](varno::sim::Instrument& in) { in.serial = 1; });
    addInstrument("nine", "COM9", "", 3, 3, [](varno::sim::Instrument& in) { in.serial = 9; });
    addInstrument("usb", "/dev/ttyUSB0", "", 3, 3, [](varno::sim::Instrument& in) { in.serial = 10; });
    station("Nine", "COM9");
    station("Usb", "/dev/ttyUSB0");
    confirmConnectDialog();
    const struct {
        int station;
        std::string port;
        uint32_t serial;
    } cases[] = {{0, "COM9", 9}, {1, "/dev/ttyUSB0", 10}};
    for (const auto& c : cases) {
        doc->SelectStation(c.station);
        doc->OnConnect();
        ASSERT_TRUE(doc->IsConnected()) << ui.texts().join("|").toStdString();
        EXPECT_EQ(doc->GetLink()->GetConnectionText(), c.port);
        EXPECT_EQ(doc->GetLink()->GetSerialNumber(), c.serial); // not the instrument on COM1
        EXPECT_FALSE(doc->IsViaModem());
    }
    EXPECT_TRUE(ui.texts().isEmpty()) << ui.texts().join("|").toStdString();
}

TEST_F(KestalConnection, EmptyConnectionIsNeverDialled)
{
    // A station without a connection, and no port of the list on this PC.
    std::ofstream(bench + "/ports.txt") << "COM9\n";
    addInstrument("nine", "COM9", "");
    station("Bare", "");
    confirmConnectDialog();
    doc->OnConnect();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_FALSE(doc->IsConnected());
    EXPECT_TRUE(ui.texts().isEmpty()) << ui.texts().join("|").toStdString();

    // Nor when another dialog gives it back empty.
    doc->SetConnectDialog([](ConnectRequest& r) {
        r.connection = " ";
        return true;
    });
    doc->OnConnect();
    EXPECT_FALSE(doc->IsConnected());
    EXPECT_EQ(ui.texts(), QStringList{kNothingToConnectText});
    EXPECT_EQ(doc->GetLink()->GetLastErrorText(), ""); // no call was tried
}

TEST_F(KestalConnection, LatinPasswordReachesTheInstrumentAsStored)
{
    addInstrument("hill", "COM2", "", 3, 3, [](varno::sim::Instrument& in) { in.passwords[2] = "p\xe4ss"; });
    ASSERT_TRUE(WriteStationConfig(QDir(root.path()).filePath("Hill"), "Hill", "COM2", "p\xe4ss"));
    doc->RebuildStationList();
    confirmConnectDialog();
    doc->OnConnect();
    ASSERT_TRUE(doc->IsConnected()) << ui.texts().join("|").toStdString();
    EXPECT_EQ(doc->GetLink()->GetUserLevel(), 2);
    EXPECT_EQ(loginDialogs, 0);
}

TEST_F(KestalConnection, CancelWhileConnecting)
{
    // A modem call that would take a minute.
    addInstrument("far", "", "0047 7712 3456", 3, 3, [](varno::sim::Instrument& in) { in.faults.dialDelayMs = 60000; });
    station("Fjell", "0047 7712 3456");
    bool cancelled = false;
    QString textAtCancel;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<CConnectingDlg*>(w); d && d->isVisible() && d->running() && !cancelled) {
                textAtCancel = d->text();
                d->cancelButton()->click();
                cancelled = !d->cancelButton()->isEnabled();
            }
    });
    poll.start(1);
    const auto started = std::chrono::steady_clock::now();
    doc->OnConnect();
    poll.stop();
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(textAtCancel.startsWith("Connecting..")) << textAtCancel.toStdString();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
    EXPECT_FALSE(doc->IsConnected());
    EXPECT_EQ(ui.texts(), QStringList{"Connection aborted"});
}

TEST_F(KestalConnection, TicksInsideTheConnectingDialogSkipTheLink)
{
    addInstrument("far", "", "0047 7712 3456", 3, 3, [](varno::sim::Instrument& in) { in.faults.dialDelayMs = 60000; });
    station("Fjell", "0047 7712 3456");
    CInstrumentPanel& p = makePanel();
    ProgramCountdowns().values = 100;
    ProgramCountdowns().status = 100;
    bool ticked = false;
    bool tryLockDuring = true;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<CConnectingDlg*>(w); d && d->isVisible() && d->running() && !ticked) {
                ticked = true;
                // The window thread holds the link for the whole connect: the panel's tick
                // and the idle check, fired from this dialog's event loop, leave it alone.
                tryLockDuring = doc->GetLink()->TryLock();
                if (tryLockDuring)
                    doc->GetLink()->Unlock();
                p.tick();
                doc->CheckIdle();
                d->cancelButton()->click();
            }
    });
    poll.start(1);
    doc->OnConnect();
    poll.stop();
    ASSERT_TRUE(ticked);
    EXPECT_FALSE(tryLockDuring);
    EXPECT_EQ(ProgramCountdowns().values, 100); // counted only when the tick gets the link
    EXPECT_EQ(ProgramCountdowns().status, 99);  // counted on every tick
    EXPECT_EQ(ui.texts(), QStringList{"Connection aborted"});
}

TEST_F(KestalConnection, PanelShowsTheConnectedInstrument)
{
    addInstrument("hill", "COM2", "");
    station("Hill Top", "COM2");
    CInstrumentPanel& p = makePanel();
    EXPECT_TRUE(shown(p.stationList()));
    EXPECT_FALSE(shown(p.functionList()));
    EXPECT_FALSE(shown(p.instrumentEdit()));
    EXPECT_FALSE(shown(p.numberEdit()));

    doc->OnConnect();
    ASSERT_TRUE(doc->IsConnected());
    EXPECT_FALSE(shown(p.stationList()));
    EXPECT_TRUE(shown(p.functionList()));
    EXPECT_TRUE(shown(p.instrumentEdit()));
    EXPECT_EQ(p.stationEdit()->text(), "Hill Top");
    EXPECT_EQ(p.connectionEdit()->text(), "COM2");
    EXPECT_EQ(p.instrumentEdit()->text(), "varno310");
    EXPECT_EQ(p.versionEdit()->text(), "3.2");
    EXPECT_EQ(p.numberEdit()->text(), "4711");
    EXPECT_TRUE(shown(p.numberEdit()) && shown(p.numberLabel()));
    EXPECT_EQ(p.userLevelEdit()->text(), "full access");
    // Flag 0x100 is set: the clock shows seconds (the instrument clock has no offset here).
    EXPECT_EQ(p.clockEdit()->text(), "05.03.06 14:07:09");
    EXPECT_TRUE(QRegularExpression("^\\d+\\.\\dV$").match(p.internalVoltageEdit()->text()).hasMatch());
    EXPECT_TRUE(QRegularExpression("^\\d+\\.\\dV$").match(p.externalVoltageEdit()->text()).hasMatch());
    const QString memory = p.memoryEdit()->text();
    ASSERT_TRUE(memory.endsWith('%'));
    EXPECT_EQ(p.memoryBar()->value(), memory.chopped(1).toInt());
    EXPECT_TRUE(shown(p.memoryBar()));
    const double charge = doc->GetLink()->GetBatteryCharge(0);
    EXPECT_EQ(p.internalBar()->value(), BatteryBar(charge));

    // No values fetched yet: an empty table; the values job fills it.
    EXPECT_EQ(p.functionList()->rowCount(), 0);
    doc->StartValuesJob();
    doc->WaitForJobs();
    p.Refresh();
    const int functions = int(last.functions.size());
    ASSERT_GT(functions, 0);
    ASSERT_EQ(p.functionList()->rowCount(), functions);
    EXPECT_EQ(p.functionList()->item(0, 0)->text().toStdString(), last.functions[0].name);
    EXPECT_FALSE(p.functionList()->item(0, 1)->text().isEmpty());
    EXPECT_FALSE(p.functionList()->item(0, 2)->text().isEmpty()); // every default function has a mean
    EXPECT_EQ(p.functionList()->horizontalHeaderItem(1)->text(), "value ");

    // Without seconds, without memory, without a serial number.
    modify("hill", [](varno::sim::Instrument& in) {
        in.statusFlags = (in.statusFlags & ~0x100u) | 0x400u;
        in.serial = 0;
    });
    refreshStatus(p);
    EXPECT_EQ(p.clockEdit()->text(), "05.03.06 14:07");
    EXPECT_FALSE(shown(p.memoryBar()));
    EXPECT_FALSE(shown(p.memoryLabel()));
    EXPECT_FALSE(shown(p.numberEdit()));
    EXPECT_FALSE(shown(p.numberLabel()));

    doc->Disconnect();
    EXPECT_TRUE(shown(p.stationList()));
    EXPECT_FALSE(shown(p.functionList()));
    EXPECT_FALSE(shown(p.instrumentEdit()));
    EXPECT_EQ(p.connectionEdit()->text(), "COM2");
}

TEST_F(KestalConnection, FunctionTableFitsThePaneWithoutCuttingValues)
{
    addInstrument("hill", "COM2", "");
    station("Hill Top", "COM2");
    // The default pane width and the font an X11 session gives.
    struct FontGuard {
        QFont saved = QApplication::font();
        ~FontGuard() { QApplication::setFont(saved); }
    } restoreFont;
    QApplication::setFont(QFont("Sans Serif", 9));
    CInstrumentPanel& p = makePanel();
    panel->show();
    doc->OnConnect();
    ASSERT_TRUE(doc->IsConnected());
    QTableWidget* table = p.functionList();
    const auto expectFits = [&](bool headersWhole) {
        doc->StartValuesJob();
        doc->WaitForJobs();
        p.Refresh();
        table->doItemsLayout(); // at once, not when its timer fires
        QApplication::processEvents(); // and its scroll bars
        ASSERT_GT(table->rowCount(), 0);
        int sum = 0;
        for (int c = 0; c < table->columnCount(); ++c) {
            sum += table->columnWidth(c);
            EXPECT_GE(table->columnWidth(c), static_cast<QAbstractItemView*>(table)->sizeHintForColumn(c)) << c;
            if (headersWhole) {
                EXPECT_GE(table->columnWidth(c), table->horizontalHeader()->sectionSizeHint(c)) << c;
            }
        }
        EXPECT_LE(sum, table->viewport()->width());
        EXPECT_EQ(table->horizontalScrollBar()->maximum(), 0);
    };
    expectFits(true);

    // So many functions that the table scrolls down: its scroll bar takes room.
    modify("hill", [](varno::sim::Instrument& in) {
        for (int i = 0; i < 30; ++i)
            in.functions.push_back({"t" + std::to_string(i), 0x0F, "e "});
    });
    refreshStatus(p);
    expectFits(false);
    EXPECT_TRUE(table->verticalScrollBar()->isVisible());
}

TEST_F(KestalConnection, F6MovesBetweenTheShownPanes)
{
    addInstrument("hill", "COM2", "");
    station("Hill Top", "COM2");
    Launcher launcher(QCoreApplication::applicationDirPath());
    CMainFrame frame(*doc, new CKestalView(*doc, launcher));
    frame.show();
    // The connecting and disconnecting windows take the activation with them.
    const auto activate = [&] {
        QApplication::setActiveWindow(&frame);
        return QTest::qWaitForWindowActive(&frame);
    };
    CInstrumentPanel* p = frame.leftView()->panel();
    doc->OnConnect();
    ASSERT_TRUE(doc->IsConnected());
    ASSERT_TRUE(activate());
    frame.fileList()->setFocus();
    QTest::keyClick(&frame, Qt::Key_F6);
    EXPECT_EQ(QApplication::focusWidget(), p->functionList());
    QTest::keyClick(&frame, Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), frame.fileList());
    doc->Disconnect();
    ASSERT_TRUE(activate());
    QTest::keyClick(&frame, Qt::Key_F6);
    EXPECT_EQ(QApplication::focusWidget(), p->stationList());
}

TEST_F(KestalConnection, PanelClockFollowsTheInstrumentOffset)
{
    addInstrument("hill", "COM2", "", 3, 3, [](varno::sim::Instrument& in) { in.speed = 1.0; });
    station("Hill Top", "COM2");
    CInstrumentPanel& p = makePanel();
    doc->OnConnect();
    ASSERT_TRUE(doc->IsConnected());
    // The instrument runs 90 s ahead of the PC.
    modify("hill", [](varno::sim::Instrument& in) { in.anchorInstrument += 90; });
    refreshStatus(p);
    EXPECT_EQ(p.clockEdit()->text(), "05.03.06 14:08:39");
    // The tick moves the clock from the PC's clock without asking the instrument.
    doc->Timing().now = [] { return QDateTime(QDate(2006, 3, 5), QTime(14, 7, 10)); };
    doc->GetLink()->Lock(-1); // busy link: only the clock moves
    p.tick();
    doc->GetLink()->Unlock();
    EXPECT_EQ(p.clockEdit()->text(), "05.03.06 14:08:40");
}

TEST_F(KestalConnection, TickNoticesADroppedLine)
{
    addInstrument("hill", "COM2", "");
    station("Hill Top", "COM2");
    CInstrumentPanel& p = makePanel();
    doc->OnConnect();
    ASSERT_TRUE(doc->IsConnected());
    p.tick();
    EXPECT_TRUE(ui.texts().isEmpty());
    modify("hill", [](varno::sim::Instrument& in) { ++in.hangups; });
    // Not while someone holds the link.
    doc->GetLink()->Lock(-1);
    p.tick();
    doc->GetLink()->Unlock();
    EXPECT_TRUE(ui.texts().isEmpty());
    EXPECT_TRUE(doc->IsConnected());
    p.tick();
    EXPECT_EQ(ui.texts(), QStringList{"The connection has dropped!"});
    EXPECT_FALSE(doc->IsConnected());
    EXPECT_TRUE(shown(p.stationList()));
    // The line comes back: connect again.
    ui.clear();
    doc->OnConnect();
    EXPECT_TRUE(doc->IsConnected());
    p.tick();
    EXPECT_TRUE(ui.texts().isEmpty());
}

TEST_F(KestalConnection, TickStartsTheJobsByTheirCountdowns)
{
    addInstrument("hill", "COM2", "");
    station("Hill Top", "COM2");
    CInstrumentPanel& p = makePanel();
    doc->OnConnect();
    ProgramCountdowns().values = 0;
    ProgramCountdowns().status = 1;
    p.tick(); // values 0 -> -1, status 1 -> 0
    doc->WaitForJobs();
    EXPECT_EQ(doc->ValuesJobRuns(), 0);
    EXPECT_EQ(doc->StatusJobRuns(), 0);
    p.tick(); // values -1: job, countdown = sample period 1 / 2 = 0
    doc->WaitForJobs();
    EXPECT_EQ(doc->ValuesJobRuns(), 1);
    EXPECT_EQ(ProgramCountdowns().values, 0);
    EXPECT_EQ(doc->StatusJobRuns(), 0);
    p.tick(); // status -1: job, countdown 60
    doc->WaitForJobs();
    EXPECT_EQ(doc->StatusJobRuns(), 1);
    EXPECT_EQ(ProgramCountdowns().status, 60);
    EXPECT_EQ(doc->ValuesJobRuns(), 1);
    // The table shows what the job fetched.
    EXPECT_GT(p.functionList()->rowCount(), 0);

    // A busy link: the values countdown stands still, the status countdown goes on.
    ProgramCountdowns().values = 5;
    doc->GetLink()->Lock(-1);
    p.tick();
    doc->GetLink()->Unlock();
    EXPECT_EQ(ProgramCountdowns().values, 5);
    EXPECT_EQ(ProgramCountdowns().status, 59);

    // A long sample period: at most ten ticks apart.
    modify("hill", [](varno::sim::Instrument& in) { in.samplePeriod = 3600; });
    ProgramCountdowns().values = -1;
    p.tick();
    doc->WaitForJobs();
    EXPECT_EQ(ProgramCountdowns().values, 10);
}

TEST_F(KestalConnection, FileListTickRunsTheIdleCheck)
{
    addInstrument("moor", "", "0161 555 0199");
    station("Oldham Moor", "0161 555 0199");
    Launcher launcher(QCoreApplication::applicationDirPath());
    CKestalView view(*doc, launcher);
    doc->OnConnect();
    ASSERT_TRUE(doc->IsConnected());
    // The real countdown dialog, left alone, ends as "Disconnect".
    g_pcClock += 61;
    view.tick();
    EXPECT_FALSE(doc->IsConnected());
    EXPECT_FALSE(doc->GetLink()->IsConnected());
}

TEST_F(KestalConnection, RefreshAndTransferDialogsRunAgainstTheLink)
{
    addInstrument("hill", "COM2", "");
    station("Hill Top", "COM2");
    doc->OnConnect();
    ASSERT_TRUE(doc->IsConnected());
    CQuorvalin& link = *doc->GetLink();
    doc->Timing().downloadPollMs = 0;
    link.Lock(-1);
    InstrumentListing listing;
    {
        CRefreshDlg refresh([&](const std::atomic<bool>& cancel) { listing = ReadInstrumentListing(link, cancel); },
                            doc->Timing());
        EXPECT_EQ(refresh.windowTitle(), "Please Wait");
        EXPECT_TRUE(refresh.text().startsWith("refreshing file view"));
        EXPECT_EQ(refresh.exec(), QDialog::Accepted);
    }
    ASSERT_TRUE(listing.read);
    ASSERT_EQ(listing.logs.size(), 3u);
    const uint32_t start = listing.logs[0].start;
    const uint32_t length = listing.logs[0].size;
    ASSERT_GT(length, 0u);

    // A complete download keeps its file.
    const QString path = QDir(root.path()).filePath("download-1");
    {
        CTransferProgressDlg transfer(link, doc->Timing());
        transfer.SetDownload({path, start, length, 1, "2026-03-12 ... 2026-03-13"});
        EXPECT_EQ(transfer.windowTitle(), "File Transfer");
        EXPECT_EQ(transfer.text(), "2026-03-12 ... 2026-03-13");
        EXPECT_EQ(transfer.exec(), QDialog::Accepted);
        EXPECT_EQ(transfer.GetFile(), path);
        EXPECT_EQ(transfer.progressBar()->value(), 100);
        EXPECT_EQ(QFileInfo(path).size(), qint64(length));
    }

    // Cancelled: the partly written new file goes, the caller sees no file.
    modify("hill", [](varno::sim::Instrument& in) {
        in.faults.pollPaced = true;
        in.faults.chunk = 16;
    });
    link.IsConnected(); // takes the changed instrument
    const QString cancelled = QDir(root.path()).filePath("download-2");
    {
        CTransferProgressDlg transfer(link, doc->Timing());
        transfer.SetDownload({cancelled, start, length, 1, QString()});
        EXPECT_TRUE(transfer.step()); // started
        EXPECT_EQ(transfer.state(), CTransferProgressDlg::Step::Downloading);
        EXPECT_TRUE(transfer.step());
        transfer.cancelButton()->click();
        transfer.cancelButton()->click(); // disabled: the same as once
        EXPECT_FALSE(transfer.cancelButton()->isEnabled());
        EXPECT_EQ(transfer.state(), CTransferProgressDlg::Step::CancelRequested);
        while (transfer.step()) // until the link has stopped
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_FALSE(link.IsDownloading());
        EXPECT_EQ(transfer.result(), QDialog::Rejected);
        EXPECT_EQ(transfer.GetFile(), "");
    }
    EXPECT_FALSE(QFileInfo::exists(cancelled));
    link.Unlock();
}

TEST_F(KestalConnection, MainWindowCommandsConnectLoginAndDisconnect)
{
    addInstrument("hill", "COM2", "");
    ASSERT_TRUE(WriteStationConfig(QDir(root.path()).filePath("Hill Top"), "Hill Top", "COM2", "read"));
    QCoreApplication::setOrganizationName("varno");
    QCoreApplication::setApplicationName("kestal-connection-test");
    QSettings().clear();
    QSettings().setValue("folders/root", root.path());
    CKestalApp app(QCoreApplication::applicationDirPath() + "/kestal");
    int connectDialogs = 0;
    app.SetConnectDialog([&](ConnectRequest& r) {
        ++connectDialogs;
        EXPECT_EQ(r.connection, "COM2");
        return true;
    });
    app.SetLoginDialog([](QString& password) {
        password = "varno";
        return true;
    });
    ASSERT_TRUE(app.InitInstance({}, false));
    CMainFrame& frame = *app.Frame();
    EXPECT_TRUE(frame.action(ID_CONNECT)->isEnabled());
    EXPECT_FALSE(frame.action(ID_DISCONNECT)->isEnabled());
    frame.Execute(ID_CONNECT);
    EXPECT_EQ(connectDialogs, 1);
    ASSERT_TRUE(app.Doc()->IsConnected());
    EXPECT_FALSE(frame.action(ID_CONNECT)->isEnabled());
    EXPECT_TRUE(frame.action(ID_DISCONNECT)->isEnabled());
    EXPECT_TRUE(frame.action(ID_LOGIN)->isEnabled()); // flag 0x200
    EXPECT_EQ(frame.leftView()->panel()->userLevelEdit()->text(), "restricted");
    frame.Execute(ID_LOGIN);
    EXPECT_EQ(frame.leftView()->panel()->userLevelEdit()->text(), "full access");
    // The line goes while the program's wait window says so.
    QStringList waitTexts;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<CWaitDlg*>(w); d && d->isVisible())
                waitTexts << d->text();
    });
    look.start(0);
    frame.Execute(ID_DISCONNECT);
    look.stop();
    ASSERT_FALSE(waitTexts.isEmpty());
    EXPECT_TRUE(waitTexts.first().startsWith("Disconnecting...")) << waitTexts.first().toStdString();
    EXPECT_FALSE(app.Doc()->IsConnected());
    EXPECT_TRUE(frame.action(ID_CONNECT)->isEnabled());
    EXPECT_TRUE(ui.texts().isEmpty()) << ui.texts().join("|").toStdString();
}

TEST_F(KestalConnection, ConnectDialogFields)
{
    const auto probe = [](const QString& port) { return port == "COM1" || port == "COM4"; };
    CConnectDlg modem(nullptr, probe);
    modem.SetValues(" Oldham Moor ", " 0161 555 0199", "secret");
    EXPECT_EQ(modem.windowTitle(), "Connect to remote instrument");
    EXPECT_EQ(modem.nameEdit()->text(), "Oldham Moor");
    EXPECT_EQ(modem.phoneEdit()->text(), "0161 555 0199");
    EXPECT_FALSE(modem.phoneEdit()->isHidden());
    EXPECT_FALSE(modem.phoneLabel()->isHidden());
    ASSERT_EQ(modem.connectUsingBox()->count(), 3);
    EXPECT_EQ(modem.connectUsingBox()->itemText(0), "Modem");
    EXPECT_EQ(modem.connectUsingBox()->currentText(), "Modem");
    EXPECT_EQ(modem.GetConnection(), "0161 555 0199");
    EXPECT_EQ(modem.passwordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(modem.GetPassword(), "secret");
    // A modem station can go through a local port for this one connection.
    modem.connectUsingBox()->setCurrentText("COM4");
    EXPECT_EQ(modem.GetConnection(), "COM4");

    CConnectDlg port(nullptr, probe);
    const QString longPassword(40, 'p');
    port.SetValues("Hill Top", "COM3", longPassword);
    EXPECT_TRUE(port.phoneEdit()->isHidden());
    EXPECT_EQ(port.connectUsingBox()->findText("Modem"), -1);
    EXPECT_EQ(port.connectUsingBox()->currentText(), "COM3"); // busy but configured: offered
    EXPECT_EQ(port.GetConnection(), "COM3");
    EXPECT_EQ(port.GetPassword(), longPassword); // never cut

    // Nothing to connect with: said in the dialog, and OK refused.
    CConnectDlg bare(nullptr, [](const QString&) { return false; });
    bare.SetValues("Bare", "", "");
    EXPECT_EQ(bare.connectUsingBox()->count(), 0);
    EXPECT_FALSE(bare.okButton()->isEnabled());
    EXPECT_FALSE(bare.reasonLabel()->isHidden());
    EXPECT_EQ(bare.reasonLabel()->text(), kNothingToConnectText);
    bare.accept();
    EXPECT_NE(bare.result(), QDialog::Accepted);
    // A station without a connection may still take a free port.
    CConnectDlg free(nullptr, probe);
    free.SetValues("Bare", "", "");
    EXPECT_EQ(free.GetConnection(), "COM1");
    EXPECT_TRUE(free.okButton()->isEnabled());
    EXPECT_TRUE(free.reasonLabel()->isHidden());

    CLoginDlg login;
    EXPECT_EQ(login.windowTitle(), "Change Userlevel");
    EXPECT_EQ(login.passwordEdit()->echoMode(), QLineEdit::Password);
    login.passwordEdit()->setText("varno");
    EXPECT_EQ(login.GetPassword(), "varno");
}

} // namespace
