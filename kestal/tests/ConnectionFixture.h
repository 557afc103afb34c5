#pragma once

// The document against simulated instruments: a bench with a frozen PC clock, station
// folders, and a document with short timings whose connect and login dialogs answer as
// the test says. Used by the tests without windows and by the window tests.
#include <kestal/stations/KestalDoc.h>
#include <kestal/stations/PanelFormat.h>
#include <kestal/stations/StationConfig.h>

#include <quorvalin/Quorvalin.h>
#include <quorvalin/QuorvalinTesting.h>
#include <qtsupport/UserInteraction.h>

#include <testing/BenchFixture.h>

#include <QDir>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace varno::kestal::testing {

// The PC's clock as the link sees it.
inline int64_t g_pcClock = 0;
inline int64_t testClock() { return g_pcClock; }

class ConnectionFixture : public varno::testing::BenchTest {
protected:
    void SetUp() override
    {
        varno::testing::BenchTest::SetUp();
        varno::qtsupport::setUserInteraction(&ui);
        g_pcClock = kStart;
        quorvalin_settestclock(&testClock);
        ProgramCountdowns() = RefreshCountdowns();
        settings.mainDataFolder = root.path();
        settings.modemPort = "COM1";
        makeDoc();
    }

    // A new document (on link, when given), with short timings and the scripted dialogs.
    void makeDoc(CQuorvalin* link = nullptr)
    {
        doc.reset();
        doc = std::make_unique<CKestalDoc>(settings, link);
        KestalTiming& t = doc->Timing();
        t.panelTickMs = 0; // ticks by hand
        t.fileListTickMs = 0;
        t.waitDialogTickMs = 1;
        t.connectStartMs = 0;
        t.dotMs = 1;
        t.hangUpCountdownSeconds = 2;
        t.hangUpTickMs = 1;
        t.now = [] { return QDateTime(QDate(2006, 3, 5), QTime(14, 7, 9)); };
        doc->SetConnectDialog([this](ConnectRequest& r) {
            requests.push_back(r);
            if (onConnectDialog)
                onConnectDialog();
            if (!connectAnswer)
                return false;
            if (!typedPassword.isNull())
                r.password = typedPassword;
            return true;
        });
        doc->SetLoginDialog([this](QString& password) {
            ++loginDialogs;
            if (logins.empty())
                return false;
            password = logins.front();
            logins.pop_front();
            return true;
        });
    }

    void TearDown() override
    {
        doc.reset();
        quorvalin_settestclock(nullptr);
        varno::qtsupport::setUserInteraction(nullptr);
        varno::testing::BenchTest::TearDown();
    }

    // A station folder, then the document's list rebuilt with it selected.
    void station(const QString& name, const QString& connection, const QString& password = "varno")
    {
        ASSERT_TRUE(WriteStationConfig(QDir(root.path()).filePath(name), name.toStdString(),
                                       connection.toStdString(), password.toStdString()));
        doc->RebuildStationList();
        doc->SelectStation(0);
    }

    varno::qtsupport::ScriptedUserInteraction ui;
    QTemporaryDir root;
    ProgramSettings settings;
    std::unique_ptr<CKestalDoc> doc;
    std::vector<ConnectRequest> requests;
    std::function<void()> onConnectDialog;
    bool connectAnswer = true;
    QString typedPassword;
    std::deque<QString> logins;
    int loginDialogs = 0;
};

} // namespace varno::kestal::testing
