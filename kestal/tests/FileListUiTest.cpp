// The right pane connected to simulated instruments, offscreen: its rows, icons and columns,
// the real refresh and transfer windows with their Cancel buttons, the commands of the main
// window and the growth of a running data log between ticks.
#include <kestal/dialogs/KestalApp.h>
#include <kestal/dialogs/KestalView.h>
#include <kestal/files/Launcher.h>
#include <kestal/dialogs/MainFrame.h>
#include <kestal/dialogs/WaitDialogs.h>

#include "WindowFixture.h"
#include <testing/ForwardingLink.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

using namespace varno::kestal;
using varno::qtsupport::UserInteraction;

namespace {

// An instrument on a slow line: every entry of its file list takes a while.
class SlowListingLink : public varno::testing::ForwardingLink {
public:
    bool NextFile() override
    {
        ++entriesAsked;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        return varno::testing::ForwardingLink::NextFile();
    }
    std::atomic<int> entriesAsked{0};
};

// Runs action on the first visible window of type W, as soon as one shows.
template <typename W>
class WhenShown {
public:
    explicit WhenShown(std::function<void(W&)> action) : m_action(std::move(action))
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<W*>(w); d && d->isVisible()) {
                    m_timer.stop();
                    ++seen;
                    m_action(*d);
                    return;
                }
        });
        m_timer.start(1);
    }
    int seen = 0;

private:
    std::function<void(W&)> m_action;
    QTimer m_timer;
};

class KestalFileListUi : public varno::kestal::testing::WindowConnectionFixture {
protected:
    void SetUp() override
    {
        WindowConnectionFixture::SetUp();
        doc->Timing().downloadPollMs = 0;
    }

    void TearDown() override
    {
        view.reset();
        ConnectionFixture::TearDown();
    }

    CKestalView& makeView()
    {
        view = std::make_unique<CKestalView>(*doc, launcher);
        view->resize(700, 300);
        return *view;
    }

    QString text(int row, int column) const { return view->topLevelItem(row)->text(column); }
    QString vrn() const { return QDir(root.path()).filePath("Hill Top/vrn"); }

    Launcher launcher{QCoreApplication::applicationDirPath()};
    std::unique_ptr<CKestalView> view;
};

TEST_F(KestalFileListUi, ConnectedPaneShowsTheInstrumentAndTransfersThroughTheWindows)
{
    addInstrument("hill", "COM2", "", 3, 3);
    const varno::sim::Instrument in = last;
    station("Hill Top", "COM2");
    CKestalView& pane = makeView();
    doc->OnConnect();
    ASSERT_EQ(pane.topLevelItemCount(), 3);
    EXPECT_EQ(text(0, CKestalView::ColName), "Tower A #1");
    EXPECT_EQ(text(2, CKestalView::ColStop), "(running)");
    EXPECT_EQ(text(0, CKestalView::ColStatus), "warning empty");
    EXPECT_EQ(pane.topLevelItem(1)->data(CKestalView::ColIcon, Qt::UserRole).toUInt(), in.logs[1].start);
    EXPECT_FALSE(pane.topLevelItem(0)->icon(CKestalView::ColIcon).isNull());
    // Columns fit their texts; the ones kept for the commands are closed.
    QHeaderView* head = pane.header();
    EXPECT_GE(head->sectionSize(CKestalView::ColStart), pane.fontMetrics().horizontalAdvance(text(0, CKestalView::ColStart)));
    EXPECT_GT(head->sectionSize(CKestalView::ColName), 0);
    for (int c : {CKestalView::ColPcFile, CKestalView::ColStatus, CKestalView::ColSerial, CKestalView::ColSpan})
        EXPECT_EQ(head->sectionSize(c), 0) << c;

    // The transfer window shows each download with its caption and closes by itself.
    QStringList seen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<CTransferProgressDlg*>(w); d && d->isVisible() && !seen.contains(d->text()))
                seen << d->text();
    });
    watch.start(0);
    pane.OnTransferNew();
    watch.stop();
    EXPECT_EQ(seen.size(), 3) << seen.join("|").toStdString();
    EXPECT_TRUE(seen.value(0).contains(" ... ")) << seen.value(0).toStdString();
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(text(row, CKestalView::ColStatus), "ok exact");
        EXPECT_FALSE(text(row, CKestalView::ColPcFile).isEmpty());
    }
    EXPECT_EQ(QDir(vrn()).entryList({"*.vrn"}, QDir::Files).size(), 3);
    EXPECT_TRUE(ui.texts().isEmpty()) << ui.texts().join("|").toStdString();

    // A running measurement grows between ticks: the row shows it and is partial again.
    const QString span = text(2, CKestalView::ColSpan);
    advance(1800);
    pane.tick();
    EXPECT_NE(text(2, CKestalView::ColSpan), span);
    EXPECT_EQ(text(2, CKestalView::ColStatus), "warning partially");
    EXPECT_EQ(text(1, CKestalView::ColStatus), "ok exact");
}

TEST_F(KestalFileListUi, CancelInTheRefreshWindowStopsTheListing)
{
    auto* slow = new SlowListingLink;
    makeDoc(slow);
    InstallWaitDialogs(*doc);
    addInstrument("hill", "COM2", "", 10, 10);
    station("Hill Top", "COM2");
    CKestalView& pane = makeView();
    WhenShown<CRefreshDlg> press([](CRefreshDlg& d) {
        EXPECT_TRUE(d.text().startsWith("refreshing file view"));
        d.cancelButton()->click();
        EXPECT_FALSE(d.cancelButton()->isEnabled());
    });
    doc->OnConnect();
    EXPECT_EQ(press.seen, 1);
    EXPECT_LT(slow->entriesAsked, 10); // stopped part-way
    EXPECT_EQ(pane.topLevelItemCount(), 0);
    EXPECT_EQ(pane.list().Note(), "Reading the instrument's file list was cancelled.");
    // Still connected, the link free, and a later listing reads everything.
    EXPECT_TRUE(doc->IsConnected());
    EXPECT_TRUE(doc->GetLink()->TryLock());
    doc->GetLink()->Unlock();
    pane.OnUpdate();
    EXPECT_EQ(pane.topLevelItemCount(), 10);
    EXPECT_TRUE(pane.list().Note().isEmpty());
}

TEST_F(KestalFileListUi, CancelInTheTransferWindowAndTheMenusOfTheMainWindow)
{
    addInstrument("hill", "COM2", "", 3, 3, [](varno::sim::Instrument& in) {
        in.faults.pollPaced = true;
        in.faults.chunk = 256;
    });
    QCoreApplication::setOrganizationName("varno");
    QCoreApplication::setApplicationName("kestal-file-list-test");
    QSettings().clear();
    QSettings().setValue("folders/root", root.path());
    station("Hill Top", "COM2");
    CKestalApp app(QCoreApplication::applicationDirPath() + "/kestal");
    app.SetConnectDialog([](ConnectRequest&) { return true; });
    ASSERT_TRUE(app.InitInstance({}, false));
    InstallWaitDialogs(*app.Doc());
    app.Doc()->Timing().downloadPollMs = 0;
    app.Doc()->Timing().connectStartMs = 0;
    CMainFrame& frame = *app.Frame();
    EXPECT_FALSE(frame.action(ID_TRANSFER_NEW)->isEnabled());
    frame.Execute(ID_CONNECT);
    ASSERT_TRUE(app.Doc()->IsConnected());
    EXPECT_TRUE(frame.action(ID_TRANSFER_NEW)->isEnabled());
    CKestalView& pane = *frame.fileList();
    ASSERT_EQ(pane.topLevelItemCount(), 3);

    QStringList items;
    for (QAction* a : pane.contextMenu()->actions())
        items << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(items, QStringList({"&Transfer marked file(s)", "-", "&View", "&View (Graphics)", "-", "&Copy"}));

    // Nothing marked.
    frame.Execute(ID_TRANSFER);
    EXPECT_EQ(ui.texts(), QStringList{"No files are selected for transfer"});

    // Rows 0 and 1 marked; Cancel in the first window, then "go on".
    ui.clear();
    pane.topLevelItem(0)->setSelected(true);
    pane.topLevelItem(1)->setSelected(true);
    WhenShown<CTransferProgressDlg> press([](CTransferProgressDlg& d) { d.cancelButton()->click(); });
    ui.queueAnswer(UserInteraction::Answer::Ok);
    pane.contextMenu()->actions().first()->trigger();
    EXPECT_EQ(press.seen, 1);
    EXPECT_EQ(ui.texts(), QStringList{"The transfer was canceled. Do you want to continue transferring the other files?"});
    const QStringList stored = QDir(QDir(root.path()).filePath("Hill Top/vrn")).entryList(QDir::Files);
    ASSERT_EQ(stored.size(), 1) << stored.join("|").toStdString();
    EXPECT_EQ(pane.topLevelItem(1)->text(CKestalView::ColPcFile), stored[0]);
    EXPECT_EQ(pane.topLevelItem(0)->text(CKestalView::ColStatus), "warning empty");
    EXPECT_EQ(pane.topLevelItem(1)->text(CKestalView::ColStatus), "ok exact");
    app.Doc()->Disconnect();
}

} // namespace
