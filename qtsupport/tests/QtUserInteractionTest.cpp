#include <qtsupport/QtUserInteraction.h>

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>

#include <functional>

#include <testing/QtTestApp.h>

using namespace varno::qtsupport;
using Answer = UserInteraction::Answer;
using Buttons = UserInteraction::Buttons;

TEST(ScriptedUserInteraction, AboutIsShownTextAndPrinterSetUpIsAcceptedOnlyByQueuedOk)
{
    varno::testing::qtTestApp(); // a printer needs the application
    ScriptedUserInteraction ui;
    ui.about("Fenlux 0.9", "About...");
    QPrinter printer;
    EXPECT_FALSE(ui.setUpPrinter(printer));
    ui.queueAnswer(Answer::Ok);
    ui.queueAnswer(Answer::Yes);
    EXPECT_TRUE(ui.setUpPrinter(printer));
    EXPECT_FALSE(ui.setUpPrinter(printer));
    EXPECT_FALSE(ui.answersLeft());
    EXPECT_EQ(ui.texts(), QStringList{"Fenlux 0.9"});
    ASSERT_EQ(ui.events().size(), 4u);
    EXPECT_EQ(ui.events()[0].kind, ScriptedUserInteraction::Kind::About);
    EXPECT_EQ(ui.events()[0].caption, "About...");
    EXPECT_EQ(ui.events()[1].kind, ScriptedUserInteraction::Kind::PrinterSetup);
}

TEST(UserInteraction, InstalledInstanceIsUsedAndWaitCursorGuardsNest)
{
    varno::testing::qtTestApp();
    DefaultQtDialogs dialogs;
    ScriptedUserInteraction ui;
    setUserInteraction(&ui);
    {
        WaitCursor outer;
        {
            WaitCursor inner;
            EXPECT_EQ(ui.waitDepth(), 2);
        }
        EXPECT_EQ(ui.waitDepth(), 1);
        userInteraction().message("hello", "caption");
    }
    EXPECT_EQ(ui.waitDepth(), 0);
    EXPECT_EQ(ui.waitCursorCount(), 2);
    EXPECT_EQ(ui.texts(), QStringList{"hello"});
    setUserInteraction(nullptr);
    EXPECT_NE(dynamic_cast<QtUserInteraction*>(&userInteraction()), nullptr);
}

TEST(DefaultQtDialogs, AreTheDefaultOnlyWhereAProgramInstallsThem)
{
    varno::testing::qtTestApp();
    // Linking the Qt dialogs does not make them the default: the program says so.
    UserInteraction& fallback = userInteraction();
    EXPECT_EQ(dynamic_cast<QtUserInteraction*>(&fallback), nullptr);
    {
        DefaultQtDialogs dialogs;
        EXPECT_NE(dynamic_cast<QtUserInteraction*>(&userInteraction()), nullptr);
        ScriptedUserInteraction scripted;
        setUserInteraction(&scripted);
        EXPECT_EQ(&userInteraction(), &scripted);
        setUserInteraction(nullptr);
    }
    EXPECT_EQ(&userInteraction(), &fallback);
}

TEST(QtUserInteraction, OverrideCursorIsHeldForTheGuardOnly)
{
    varno::testing::qtTestApp();
    QtUserInteraction ui;
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    {
        WaitCursor guard(ui);
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            WaitCursor nested(ui);
        }
        EXPECT_NE(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

namespace {
// Runs answer on the next modal dialog once it shows, as the user would.
template <typename Dialog>
void onNextModal(std::function<void(Dialog&)> answer)
{
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        answer(*dialog);
    });
}

// Presses the button with the given role in the next modal message box, and keeps its text.
void answerNextBox(QMessageBox::StandardButton button, QString* shownText)
{
    onNextModal<QMessageBox>([=](QMessageBox& box) {
        *shownText = box.text();
        box.button(button)->click();
    });
}
} // namespace

TEST(QtUserInteraction, MessageBoxesShowTheTextAndMapTheAnswers)
{
    varno::testing::qtTestApp();
    QtUserInteraction ui;
    QString shown;
    answerNextBox(QMessageBox::Yes, &shown);
    EXPECT_EQ(ui.question("Delete?\r\nReally", "kestal", Buttons::YesNo,
                          UserInteraction::Icon::Question),
              Answer::Yes);
    EXPECT_EQ(shown, "Delete?\nReally");
    answerNextBox(QMessageBox::Cancel, &shown);
    EXPECT_EQ(ui.question("Go on?", "kestal", Buttons::OkCancel, UserInteraction::Icon::Warning),
              Answer::Cancel);
    answerNextBox(QMessageBox::Ok, &shown);
    ui.message("Varno Viewer Version 1.0", "About Varno Viewer", UserInteraction::Icon::Information);
    EXPECT_EQ(shown, "Varno Viewer Version 1.0");
}

TEST(QtUserInteraction, AboutBoxAndPrinterSetUp)
{
    varno::testing::qtTestApp();
    QtUserInteraction ui;
    QString shown;
    onNextModal<QMessageBox>([&](QMessageBox& box) {
        shown = box.windowTitle() + "|" + box.text();
        box.accept();
    });
    ui.about("Fenlux 0.9\r\nbuilt today", "About...");
    EXPECT_EQ(shown, "About...|Fenlux 0.9\nbuilt today");

    QPrinter printer;
    onNextModal<QPrintDialog>([](QPrintDialog& dialog) { dialog.reject(); });
    EXPECT_FALSE(ui.setUpPrinter(printer));
    onNextModal<QPrintDialog>([](QPrintDialog& dialog) { dialog.accept(); });
    EXPECT_TRUE(ui.setUpPrinter(printer));
}
