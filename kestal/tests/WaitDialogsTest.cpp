// The wait window and the hang-up countdown.
#include <kestal/dialogs/WaitDialogs.h>
#include <kestal/stations/WorkerCall.h>

#include "TestConfig.h"
#include <testing/QtTestApp.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace varno::kestal;

namespace {

class KestalWaitDialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        varno::kestal::testing::isolateSettings();
        varno::testing::qtTestApp();
    }
};

TEST_F(KestalWaitDialogs, WaitWindowTakesMessagesAndMovesItsDots)
{
    CWaitThread wait(100000); // ticks by hand
    CWaitDlg* dialog = wait.dialog();
    wait.SetMessage("first");
    wait.SetMessage("Disconnecting..."); // only the latest is shown
    dialog->tick();
    EXPECT_EQ(dialog->text(), "Disconnecting...");
    EXPECT_TRUE(dialog->isVisible());
    // A dot at the first tick after the message, then every fifth tick.
    for (int i = 0; i < 6; ++i)
        dialog->tick();
    EXPECT_EQ(dialog->text(), "Disconnecting.....");
    // An empty message hides the window; a new one shows it again with fresh dots.
    wait.SetMessage("");
    dialog->tick();
    EXPECT_FALSE(dialog->isVisible());
    wait.SetMessage("again");
    dialog->tick();
    EXPECT_TRUE(dialog->isVisible());
    dialog->tick();
    EXPECT_EQ(dialog->text(), "again.");
}

TEST_F(KestalWaitDialogs, EachWaitWindowKeepsItsOwnPace)
{
    CWaitThread first(100000);
    CWaitThread second(100000);
    first.SetMessage("first");
    first.dialog()->tick();
    second.SetMessage("second");
    second.dialog()->tick();
    // The first tick after each window's own message adds its first dot.
    first.dialog()->tick();
    second.dialog()->tick();
    EXPECT_EQ(first.dialog()->text(), "first.");
    EXPECT_EQ(second.dialog()->text(), "second.");
}

TEST_F(KestalWaitDialogs, MessagesFromAnotherThread)
{
    CWaitThread wait(100000);
    std::thread other([&] { wait.SetMessage("from a worker"); });
    other.join();
    QString text;
    EXPECT_TRUE(wait.TakeMessage(text));
    EXPECT_EQ(text, "from a worker");
    EXPECT_FALSE(wait.TakeMessage(text)); // the flag was taken
}

TEST_F(KestalWaitDialogs, WaitWindowShownDuringBlockingWork)
{
    // A timer of the window thread looks at the wait window while the worker blocks.
    std::atomic<bool> seen{false};
    QString textSeen;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<CWaitDlg*>(w); d && d->isVisible()) {
                textSeen = d->text();
                seen = true;
            }
    });
    look.start(1);
    varno::kestal::ShowWaitWindow("Disconnecting...", 1, [&] {
        varno::kestal::RunOffThread([&] {
            for (int i = 0; i < 5000 && !seen; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
    });
    look.stop();
    EXPECT_TRUE(seen);
    EXPECT_TRUE(textSeen.startsWith("Disconnecting...")) << textSeen.toStdString();
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<CWaitDlg*>(w), nullptr); // gone afterwards
}

TEST_F(KestalWaitDialogs, HangUpCountdownEndsAsDisconnect)
{
    CDisconnectDlg dialog(3, 100000);
    EXPECT_EQ(dialog.windowTitle(), "Disconnect");
    EXPECT_EQ(dialog.text(), "The Instrument will be disconnected automatically in   3   seconds.");
    dialog.tick();
    EXPECT_EQ(dialog.text(), "The Instrument will be disconnected automatically in   2   seconds.");
    dialog.tick();
    EXPECT_EQ(dialog.secondsLeft(), 1);
    dialog.tick();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);

    // Left alone, the dialog ends by itself with the "Disconnect" result.
    CDisconnectDlg alone(2, 1);
    EXPECT_EQ(alone.exec(), QDialog::Rejected);

    CDisconnectDlg keep(30, 100000);
    QTimer::singleShot(0, keep.continueButton(), &QPushButton::click);
    EXPECT_EQ(keep.exec(), QDialog::Accepted);
    EXPECT_TRUE(keep.continueButton()->isDefault());
}

} // namespace
