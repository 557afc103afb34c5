// The document against simulated instruments, without windows: connecting over a port
// and a modem, the firmware gate, refusals, login, the station change, the windows it asks
// for, the background jobs, the idle hang-up of a modem line and the shutdown.
#include <kestal/stations/WorkerCall.h>

#include "ConnectionFixture.h"
#include "CountingLink.h"
#include "TestConfig.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace varno::kestal;
using varno::kestal::testing::g_pcClock;

namespace {

class KestalDocConnection : public varno::kestal::testing::ConnectionFixture {
protected:
    static void SetUpTestSuite() { varno::kestal::testing::coreTestApp(); }
};

TEST_F(KestalDocConnection, ConnectsOverAPortAndDisconnects)
{
    addInstrument("hill", "COM2", "");
    station("Hill Top", "COM2", "varno");
    doc->OnConnect();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].stationName, "Hill Top");
    EXPECT_EQ(requests[0].connection, "COM2");
    EXPECT_EQ(requests[0].password, "varno");
    EXPECT_TRUE(ui.texts().isEmpty()) << ui.texts().join("|").toStdString();
    EXPECT_TRUE(doc->IsConnected());
    EXPECT_FALSE(doc->IsViaModem());
    EXPECT_EQ(doc->GetStatusFlags(), 0x3E0u);
    EXPECT_EQ(loginDialogs, 0); // full access with the station's password
    EXPECT_EQ(doc->GetLink()->GetConnectionText(), "COM2");
    EXPECT_EQ(doc->GetLink()->GetUserLevel(), 2);
    EXPECT_GT(ui.waitCursorCount(), 0);
    EXPECT_EQ(ui.waitDepth(), 0);

    doc->Disconnect();
    EXPECT_FALSE(doc->IsConnected());
    EXPECT_EQ(doc->GetStatusFlags(), 0u);
    EXPECT_FALSE(doc->GetLink()->IsConnected());
    EXPECT_EQ(ui.waitDepth(), 0);
    // The lock is free again.
    EXPECT_TRUE(doc->GetLink()->TryLock());
    doc->GetLink()->Unlock();
}

TEST_F(KestalDocConnection, ConnectsOverAModemNumber)
{
    addInstrument("moor", "", "0161 555 0199");
    station("Oldham Moor", "0161 555 0199");
    doc->OnConnect();
    EXPECT_TRUE(ui.texts().isEmpty()) << ui.texts().join("|").toStdString();
    ASSERT_TRUE(doc->IsConnected());
    EXPECT_TRUE(doc->IsViaModem());
    // Dialled as the modem port, one blank and the number.
    EXPECT_EQ(doc->GetLink()->GetConnectionText(), "COM1 0161 555 0199");
    doc->Disconnect();
    EXPECT_TRUE(doc->IsViaModem()); // not cleared by a disconnect
}

TEST_F(KestalDocConnection, CancelledConnectDialogDoesNothing)
{
    addInstrument("hill", "COM2", "");
    station("Hill Top", "COM2");
    connectAnswer = false;
    doc->OnConnect();
    EXPECT_FALSE(doc->IsConnected());
    EXPECT_FALSE(doc->GetLink()->IsConnected());
    EXPECT_TRUE(ui.texts().isEmpty());
}

TEST_F(KestalDocConnection, FirmwareBeforeTwoIsRefusedZeroIsAccepted)
{
    addInstrument("old", "COM2", "", 3, 3, [](varno::sim::Instrument& in) { in.firmware = 1.5; });
    addInstrument("unknown", "COM3", "", 3, 3, [](varno::sim::Instrument& in) { in.firmware = 0.0; });
    station("Old", "COM2");
    doc->OnConnect();
    EXPECT_EQ(ui.texts(), QStringList{"Varno versions prior to 2.0 are not supported by this version of Kestal."});
    EXPECT_FALSE(doc->IsConnected());
    EXPECT_FALSE(doc->GetLink()->IsConnected());
    EXPECT_EQ(doc->GetStatusFlags(), 0u);

    ui.clear();
    station("Unknown", "COM3");
    doc->SelectStation(1);
    doc->OnConnect();
    EXPECT_TRUE(ui.texts().isEmpty()) << ui.texts().join("|").toStdString();
    EXPECT_TRUE(doc->IsConnected());
}

TEST_F(KestalDocConnection, RefusedConnectionShowsTheLinkTextOrTheDefault)
{
    addInstrument("refusing", "COM2", "", 3, 3, [](varno::sim::Instrument& in) { in.faults.connect = "error:Instrument busy"; });
    addInstrument("silent", "COM3", "", 3, 3, [](varno::sim::Instrument& in) { in.faults.connect = "error:"; });
    station("A", "COM2");
    station("B", "COM3");
    doc->SelectStation(0);
    doc->OnConnect();
    EXPECT_EQ(ui.texts(), QStringList{"Instrument busy"});
    EXPECT_FALSE(doc->IsConnected());

    ui.clear();
    doc->SelectStation(1);
    doc->OnConnect();
    EXPECT_EQ(ui.texts(), QStringList{"No connection to instrument"});
    EXPECT_FALSE(doc->IsConnected());
    // The error text was handed over and not left for the next caller.
    EXPECT_EQ(doc->GetLink()->GetLastErrorText(), "");
}

TEST_F(KestalDocConnection, LoginWhenTheLevelIsBelowOne)
{
    addInstrument("hill", "COM2", "");
    station("Hill Top", "COM2", "wrong");
    logins = {"varno"};
    doc->OnConnect();
    EXPECT_EQ(loginDialogs, 1);
    EXPECT_TRUE(ui.texts().isEmpty()) << ui.texts().join("|").toStdString();
    EXPECT_EQ(doc->GetLink()->GetUserLevel(), 2);

    // A refused password keeps the connection and its level.
    logins = {"nonsense"};
    doc->OnLogin();
    EXPECT_EQ(ui.texts(), QStringList{"Password rejected by Instrument"});
    EXPECT_TRUE(doc->IsConnected());
    EXPECT_EQ(doc->GetLink()->GetUserLevel(), 2);

    // Cancelled login: nothing happens.
    ui.clear();
    doc->OnLogin();
    EXPECT_TRUE(ui.texts().isEmpty());
}

TEST_F(KestalDocConnection, RefusedLoginAfterConnect)
{
    addInstrument("hill", "COM2", "");
    station("Hill Top", "COM2", "");
    typedPassword = "guess";
    logins = {"still wrong"};
    doc->OnConnect();
    EXPECT_EQ(loginDialogs, 1);
    EXPECT_EQ(ui.texts(), QStringList{"Password rejected by Instrument"});
    EXPECT_TRUE(doc->IsConnected());
    EXPECT_EQ(doc->GetLink()->GetUserLevel(), 0);
}

TEST_F(KestalDocConnection, StationChangeDisconnectsFirst)
{
    addInstrument("hill", "COM2", "");
    station("Hill Top", "COM2");
    station("Kap Sud", "COM3");
    doc->SelectStation(0);
    doc->OnConnect();
    ASSERT_TRUE(doc->IsConnected());
    doc->SelectStation(1);
    EXPECT_FALSE(doc->IsConnected());
    EXPECT_FALSE(doc->GetLink()->IsConnected());
}

TEST_F(KestalDocConnection, ConnectingAndDisconnectingShowTheirWindows)
{
    addInstrument("moor", "", "0161 555 0199");
    station("Oldham Moor", "0161 555 0199");
    settings.modemInit = "X3";
    settings.dialMethod = "pulse";
    std::vector<std::string> calls;
    bool linkHeldDuringCall = false;
    doc->SetConnectingProgress([&](const ConnectCall& call) {
        calls.push_back(call.connection + "|" + call.modemInit + "|" + call.dialMethod);
        linkHeldDuringCall = !call.link.TryLock();
        RunOffThread([&call] { call.Run(); });
    });
    QStringList waitTexts;
    bool connectedBefore = false;
    bool connectedAfter = true;
    doc->SetWaitMessage([&](const QString& text, const std::function<void()>& whileShown) {
        waitTexts << text;
        connectedBefore = doc->GetLink()->IsConnected();
        whileShown();
        connectedAfter = doc->IsConnected();
    });

    doc->OnConnect();
    ASSERT_TRUE(doc->IsConnected()) << ui.texts().join("|").toStdString();
    EXPECT_EQ(calls, std::vector<std::string>{"COM1 0161 555 0199|X3|pulse"});
    EXPECT_TRUE(linkHeldDuringCall);
    EXPECT_TRUE(waitTexts.isEmpty());

    // The line goes while "Disconnecting..." is shown, and the views hear of it before the
    // message goes away.
    int updates = 0;
    QObject::connect(doc.get(), &CKestalDoc::changed, [&] { updates += waitTexts.size(); });
    doc->Disconnect();
    EXPECT_EQ(waitTexts, QStringList{"Disconnecting..."});
    EXPECT_TRUE(connectedBefore);
    EXPECT_FALSE(connectedAfter);
    EXPECT_EQ(updates, 1);
    doc->Disconnect(); // nothing to end: no message
    EXPECT_EQ(waitTexts.size(), 1);
}

TEST_F(KestalDocConnection, ConnectingCancelledBeforeTheCallStarts)
{
    addInstrument("hill", "COM2", "");
    station("Hill Top", "COM2");
    // As "Cancel" in the window before its first tick: the call never runs.
    doc->SetConnectingProgress([](const ConnectCall& call) { call.link.AbortConnect(); });
    doc->OnConnect();
    EXPECT_FALSE(doc->IsConnected());
    EXPECT_FALSE(doc->GetLink()->IsConnected());
    EXPECT_EQ(ui.texts(), QStringList{"No connection to instrument"});
    EXPECT_TRUE(doc->GetLink()->TryLock());
    doc->GetLink()->Unlock();
}

TEST_F(KestalDocConnection, JobsRunOneAtATimeByTheirMutexes)
{
    addInstrument("hill", "COM2", "");
    station("Hill Top", "COM2");
    doc->OnConnect();
    doc->ValuesMutex().lock(); // a values job still running
    doc->StartValuesJob();
    doc->StartStatusJob();
    doc->WaitForJobs();
    EXPECT_EQ(doc->ValuesJobRuns(), 0);
    EXPECT_EQ(doc->StatusJobRuns(), 1);
    doc->ValuesMutex().unlock();
    doc->StartValuesJob();
    doc->WaitForJobs();
    EXPECT_EQ(doc->ValuesJobRuns(), 1);
    double values[64];
    EXPECT_GT(doc->GetLink()->GetValues(values, 64), 0);
    // Many at once: each does its work or ends at once, none runs twice at the same time.
    for (int i = 0; i < 20; ++i) {
        doc->StartValuesJob();
        doc->StartStatusJob();
    }
    doc->WaitForJobs();
    EXPECT_GE(doc->ValuesJobRuns(), 2);
    EXPECT_TRUE(doc->ValuesMutex().try_lock());
    doc->ValuesMutex().unlock();
}

TEST_F(KestalDocConnection, ShutdownWaitsForRunningJobs)
{
    int usersLeft = -1;
    int locksTaken = 0;
    doc = std::make_unique<CKestalDoc>(settings, new CountingLink([&](int users, int locks) {
                                           usersLeft = users;
                                           locksTaken = locks;
                                       }));
    // Jobs that wait for a link held by another thread while the document goes away.
    CQuorvalin* link = doc->GetLink();
    std::atomic<bool> held{false};
    std::atomic<bool> closing{false};
    QObject::connect(doc.get(), &CKestalDoc::closing, [&] { closing = true; });
    std::thread holder([&] {
        link->Lock(-1);
        held = true;
        // Give the closing document time to get it wrong.
        while (!closing)
            std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        link->Unlock();
    });
    while (!held)
        std::this_thread::yield();
    doc->StartStatusJob();
    doc->StartValuesJob();
    doc.reset(); // joins both jobs, then deletes the link
    holder.join();
    // The link went only when nobody held or waited for it, after both jobs had it.
    EXPECT_EQ(usersLeft, 0);
    EXPECT_EQ(locksTaken, 4); // the holder, two jobs, the document's last look
}

TEST_F(KestalDocConnection, IdleModemLineIsHungUpAfterTheCountdown)
{
    addInstrument("moor", "", "0161 555 0199");
    station("Oldham Moor", "0161 555 0199");
    doc->OnConnect();
    ASSERT_TRUE(doc->IsConnected());
    int asked = 0;
    bool answer = false;
    doc->SetHangUpDialog([&] { ++asked; return answer; });

    g_pcClock += 60;
    doc->CheckIdle();
    EXPECT_EQ(asked, 0); // 60 s is not above the limit
    g_pcClock += 1;
    // A busy link (a transfer, a dialog of the window thread): the check waits.
    doc->GetLink()->Lock(-1);
    doc->CheckIdle();
    doc->GetLink()->Unlock();
    EXPECT_EQ(asked, 0);
    doc->CheckIdle();
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(doc->IsConnected()); // "Continue"
    // The idle clock started again.
    g_pcClock += 30;
    doc->CheckIdle();
    EXPECT_EQ(asked, 1);

    // Without a countdown nobody keeps the line.
    doc->SetHangUpDialog(nullptr);
    g_pcClock += 31;
    doc->CheckIdle();
    EXPECT_FALSE(doc->IsConnected());
    EXPECT_FALSE(doc->GetLink()->IsConnected());
}

TEST_F(KestalDocConnection, DirectLineNeverTimesOut)
{
    addInstrument("hill", "COM3", "");
    station("Hill Top", "COM3");
    doc->OnConnect();
    ASSERT_TRUE(doc->IsConnected());
    int asked = 0;
    doc->SetHangUpDialog([&] { ++asked; return true; });
    g_pcClock += 3600;
    doc->CheckIdle();
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(doc->IsConnected());
    EXPECT_FALSE(doc->AskHangUp());
}

} // namespace
