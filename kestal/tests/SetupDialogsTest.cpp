// The instrument dialogs offscreen against simulated instruments: the setup sheet and its
// pages with and without the optional choices, at user levels 1 and 2, with refusals; the
// function and timer editors; the set-clock, title and comment dialogs; the command
// interface from the keyboard; a line that drops while a dialog is open; the wait window of
// a long call; and what the bench tool shows afterwards.
#include <kestal/dialogs/CommandDlg.h>
#include <kestal/instrument/CommandLine.h>
#include <kestal/instrument/FunctionText.h>
#include <kestal/dialogs/FunctionsPage.h>
#include <kestal/dialogs/InstrumentDialogs.h>
#include <kestal/dialogs/InstrumentPanel.h>
#include <kestal/dialogs/KestalApp.h>
#include <kestal/dialogs/MainFrame.h>
#include <kestal/dialogs/SetClockDlg.h>
#include <kestal/dialogs/SetupSheet.h>
#include <kestal/dialogs/TextEntryDlg.h>
#include <kestal/dialogs/TimerPage.h>
#include <kestal/dialogs/WaitDialogs.h>

#include "InstrumentFixture.h"
#include "TestConfig.h"
#include <testing/QtTestApp.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <QTreeWidget>

#include <array>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace varno::kestal;

namespace {

// Runs act on the next modal dialog of type D once it is up (for at most two seconds).
template <typename D>
void onNextDialog(std::function<void(D&)> act)
{
    auto* poll = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, tries, act] {
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            poll->stop();
            act(*d);
        } else if (++*tries > 1000) {
            poll->deleteLater();
            poll->stop();
            ADD_FAILURE() << "no dialog came up";
        }
    });
    poll->start(2);
}

QStringList items(const QTreeWidget* list, int column)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(column);
    return texts;
}

class KestalSetupWindows : public varno::kestal::testing::InstrumentFixture {
protected:
    static void SetUpTestSuite()
    {
        varno::kestal::testing::isolateSettings();
        varno::testing::qtTestApp();
    }

    void SetUp() override
    {
        InstrumentFixture::SetUp();
        InstallWaitDialogs(*doc);
        // Long calls in these tests are quick: no wait window gets in the way.
        InstallInstrumentDialogs(*commands, 60000);
    }

    // The bench tool's report of the instrument.
    std::string benchShow()
    {
        const std::string tool = std::string(std::getenv("VARNO_BIN_DIR")) + "/quorvalin-bench";
        FILE* p = ::popen(("'" + tool + "' --bench '" + bench + "' show hill 2>&1").c_str(), "r");
        std::string out;
        if (!p)
            return out;
        std::array<char, 4096> buf;
        size_t n;
        while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0)
            out.append(buf.data(), n);
        ::pclose(p);
        return out;
    }

    // Chooses an entry as the user does (which marks the page modified).
    static void choose(QComboBox* box, const QString& text)
    {
        const int index = box->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
};

TEST_F(KestalSetupWindows, SheetWithEveryChoiceAtFullAccess)
{
    connect("varno", [](varno::sim::Instrument& in) { in.timers[1] = {3661, 7200}; });
    CSetupSheet sheet(session(), true);
    EXPECT_EQ(sheet.windowTitle(), "Instrument Setup");
    ASSERT_EQ(sheet.tabs()->count(), 3);
    EXPECT_EQ(sheet.tabs()->tabText(0), "Measurement Setup");
    EXPECT_EQ(sheet.tabs()->tabText(1), "Functions");
    EXPECT_EQ(sheet.tabs()->tabText(2), "Timer");

    CMeasurementSetupPage& page = *sheet.measurementPage();
    const QComboBox* boxes[] = {page.samplePeriodBox(), page.statisticPeriodBox(), page.timestampBox(),
                                page.preheatBox(),      page.sampleLengthBox(),    page.dataFormatBox()};
    for (const QComboBox* box : boxes) {
        EXPECT_TRUE(box->isVisibleTo(&page));
        EXPECT_TRUE(box->isEnabled());
    }
    EXPECT_EQ(page.samplePeriodBox()->currentText(), " 1 s");
    EXPECT_EQ(page.statisticPeriodBox()->currentText(), "10 min");
    EXPECT_EQ(page.timestampBox()->currentText(), " 1 h");
    EXPECT_EQ(page.preheatBox()->currentText(), "OFF");
    EXPECT_EQ(page.sampleLengthBox()->currentText(), "normal");
    EXPECT_EQ(page.dataFormatBox()->currentText(), "long");
    EXPECT_EQ(page.statisticPeriodBox()->count(), 11);

    // Typing does not mark the page modified; a choice does.
    EXPECT_FALSE(sheet.applyButton()->isEnabled());
    QTest::keyClicks(page.samplePeriodBox()->lineEdit(), "x");
    EXPECT_FALSE(sheet.applyButton()->isEnabled());
    page.samplePeriodBox()->setEditText(" 2 s");
    choose(page.statisticPeriodBox(), " 1 min");
    choose(page.dataFormatBox(), "short");
    EXPECT_TRUE(sheet.applyButton()->isEnabled());
    sheet.applyButton()->click();
    EXPECT_TRUE(messages().isEmpty()) << messages().join("|").toStdString();
    EXPECT_FALSE(sheet.applyButton()->isEnabled());
    EXPECT_EQ(page.samplePeriodBox()->currentText(), " 2 s");

    CTimerPage& timers = *sheet.timerPage();
    EXPECT_EQ(items(timers.list(), 0), QStringList{"01:01:01"});
    EXPECT_EQ(items(timers.list(), 1), QStringList{"02:00:00"});
    EXPECT_EQ(timers.list()->headerItem()->text(0), "Modem ON");
    EXPECT_TRUE(timers.addButton()->isVisibleTo(&timers));

    CFunctionsPage& functions = *sheet.functionsPage();
    EXPECT_EQ(functions.list()->headerItem()->text(2), "function");
    EXPECT_TRUE(functions.deleteButton()->isVisibleTo(&functions));
    EXPECT_FALSE(items(functions.list(), 0).isEmpty());

    const std::string shown = benchShow();
    EXPECT_NE(shown.find("periods      sample 2 s, statistic 60 s, timestamp 3600 s, preheat 0 s, mode 0x0e"),
              std::string::npos)
        << shown;
}

TEST_F(KestalSetupWindows, SheetWithoutTheOptionalChoicesAtRestrictedAccess)
{
    connect("read", [](varno::sim::Instrument& in) {
        in.statusFlags = 0x300;
        in.timerSlots = 0;
    });
    bool sheetShown = false;
    commands->SetSetupSheet([&](bool withTimers) {
        sheetShown = true;
        CSetupSheet sheet(session(), withTimers);
        EXPECT_EQ(sheet.tabs()->count(), 2); // no timers, no Timer page
        CMeasurementSetupPage& page = *sheet.measurementPage();
        EXPECT_FALSE(page.preheatBox()->isVisibleTo(&page));
        EXPECT_FALSE(page.sampleLengthBox()->isVisibleTo(&page));
        EXPECT_FALSE(page.dataFormatBox()->isVisibleTo(&page));
        EXPECT_TRUE(page.samplePeriodBox()->isVisibleTo(&page));
        EXPECT_FALSE(page.samplePeriodBox()->isEnabled());
        CFunctionsPage& functions = *sheet.functionsPage();
        EXPECT_FALSE(functions.addButton()->isVisibleTo(&functions));
        EXPECT_FALSE(functions.changeButton()->isVisibleTo(&functions));
        EXPECT_FALSE(items(functions.list(), 0).isEmpty()); // seen, not changed
        sheet.okButton()->click();
        EXPECT_EQ(sheet.result(), QDialog::Accepted);
    });
    commands->OnSetup();
    EXPECT_TRUE(sheetShown);
    EXPECT_TRUE(messages().isEmpty()) << messages().join("|").toStdString();

    // The restricted user's Timer page: listed, no buttons.
    modify("hill", [](varno::sim::Instrument& in) {
        in.timerSlots = 2;
        in.timers[0] = {3600, 7200};
    });
    doc->GetLink()->Update();
    CTimerPage timers(session());
    EXPECT_EQ(items(timers.list(), 0), QStringList{"01:00:00"});
    EXPECT_FALSE(timers.addButton()->isVisibleTo(&timers));
}

TEST_F(KestalSetupWindows, RefusedSettingsAreNamedAndTheSheetShowsTheInstrument)
{
    connect();
    modify("hill", [](varno::sim::Instrument& in) { in.faults.refuseSettings = true; });
    CSetupSheet sheet(session(), true);
    sheet.show();
    CMeasurementSetupPage& page = *sheet.measurementPage();
    choose(page.samplePeriodBox(), "10 s");
    choose(page.timestampBox(), "24 h");
    sheet.okButton()->click();
    EXPECT_EQ(messages(), QStringList{"Failed setting measurement parameters: measure period, timestamp"});
    EXPECT_EQ(page.samplePeriodBox()->currentText(), " 1 s");
    EXPECT_EQ(page.timestampBox()->currentText(), " 1 h");
    // The failure does not by itself keep the sheet open.
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
}

TEST_F(KestalSetupWindows, FunctionEditorKeypadBoxesAndTidying)
{
    CFunctionEditorDlg editor;
    editor.SetValues(FunctionEdit{QString(), QString(), kStatMean});
    EXPECT_EQ(editor.windowTitle(), "Function Editor");
    EXPECT_EQ(editor.nameEdit()->text(), "new");
    EXPECT_TRUE(editor.nameEdit()->isEnabled());
    ASSERT_NE(editor.keypadButton("Uext"), nullptr);

    editor.definitionEdit()->setText("a");
    editor.definitionEdit()->setCursorPosition(1);
    editor.keypadButton("+")->click();
    EXPECT_EQ(editor.definitionEdit()->text(), "a + ");
    EXPECT_EQ(editor.definitionEdit()->cursorPosition(), 4);
    editor.keypadButton("Bat")->click();
    EXPECT_EQ(editor.definitionEdit()->text(), "a + Bat ");
    // The selection is replaced.
    editor.definitionEdit()->setSelection(4, 3);
    editor.keypadButton("F2")->click();
    EXPECT_EQ(editor.definitionEdit()->text(), "a + F2 ");

    editor.statisticBox(kStatMax)->click();
    editor.statisticBox(kStatMean360)->click(); // clears mean and max
    EXPECT_EQ(editor.Values().flags, kStatMean360);
    editor.statisticBox(kStatMin)->click();
    editor.statisticBox(kStatMean)->click(); // clears mean360
    EXPECT_EQ(editor.Values().flags, kStatMean | kStatMin);

    editor.definitionEdit()->setText("2,5e-3*a");
    editor.accept();
    EXPECT_EQ(editor.definitionEdit()->text(), "2.5e-3 * a ");
    EXPECT_EQ(editor.Values().definition, "2.5e-3 * a ");

    // A named function keeps its name.
    CFunctionEditorDlg named;
    named.SetValues(FunctionEdit{"f1", "a ", kStatSigma});
    EXPECT_EQ(named.nameEdit()->text(), "f1");
    EXPECT_FALSE(named.nameEdit()->isEnabled());
    EXPECT_TRUE(named.statisticBox(kStatSigma)->isChecked());
}

TEST_F(KestalSetupWindows, FunctionsPageAddsThroughTheEditorUntilTheInstrumentTakesIt)
{
    connect();
    CFunctionsPage page(session());
    const int before = page.list()->topLevelItemCount();
    int editors = 0;
    // First a definition the instrument refuses, then the same editor again, mended.
    onNextDialog<CFunctionEditorDlg>([&](CFunctionEditorDlg& d) {
        ++editors;
        d.nameEdit()->setText("gust");
        d.definitionEdit()->setText("a*");
        d.accept();
        onNextDialog<CFunctionEditorDlg>([&](CFunctionEditorDlg& again) {
            ++editors;
            EXPECT_EQ(again.nameEdit()->text(), "gust");
            EXPECT_FALSE(again.nameEdit()->isEnabled());
            EXPECT_EQ(again.definitionEdit()->text(), "a *  ");
            again.definitionEdit()->setText("a*1,5");
            again.statisticBox(kStatMax)->click();
            again.accept();
        });
    });
    page.addButton()->click();
    EXPECT_EQ(editors, 2);
    EXPECT_EQ(messages(), QStringList{"invalid function definition"});
    ASSERT_EQ(page.list()->topLevelItemCount(), before + 1);
    const QTreeWidgetItem* row = page.list()->topLevelItem(before);
    EXPECT_EQ(row->text(0), "gust");
    EXPECT_EQ(row->text(1), " mean max");
    EXPECT_EQ(row->text(2), "a * 1.5 ");

    // Delete the selected row after the question.
    page.list()->setCurrentItem(page.list()->topLevelItem(before));
    ui.clear();
    ui.queueAnswer(varno::qtsupport::UserInteraction::Answer::Yes);
    page.deleteButton()->click();
    EXPECT_EQ(messages(), QStringList{"Do you want to delete the function \"gust\" ?"});
    EXPECT_EQ(page.list()->topLevelItemCount(), before);

    const std::string shown = benchShow();
    EXPECT_EQ(shown.find("gust"), std::string::npos) << shown;
}

TEST_F(KestalSetupWindows, TimerPageAddsAndChangesThroughTheEditor)
{
    connect("varno", [](varno::sim::Instrument& in) { in.timerSlots = 4; });
    CTimerPage page(session());
    EXPECT_EQ(page.list()->topLevelItemCount(), 0);
    onNextDialog<CModemTimerDlg>([](CModemTimerDlg& d) {
        EXPECT_EQ(d.windowTitle(), "Modem Timer");
        EXPECT_EQ(d.onEdit()->time(), QTime(0, 0, 0));
        EXPECT_EQ(d.offEdit()->time(), QTime(1, 0, 0));
        EXPECT_EQ(d.onEdit()->displayFormat(), "HH:mm:ss");
        d.onEdit()->setTime(QTime(6, 30, 0));
        d.offEdit()->setTime(QTime(7, 0, 15));
        d.accept();
    });
    page.addButton()->click();
    EXPECT_EQ(items(page.list(), 0), QStringList{"06:30:00"});
    EXPECT_EQ(items(page.list(), 1), QStringList{"07:00:15"});

    // Change without a selection, then with one.
    page.changeButton()->click();
    EXPECT_EQ(messages(), QStringList{"No timer selected"});
    page.list()->setCurrentItem(page.list()->topLevelItem(0));
    onNextDialog<CModemTimerDlg>([](CModemTimerDlg& d) {
        EXPECT_EQ(d.onEdit()->time(), QTime(6, 30, 0));
        d.offEdit()->setTime(QTime(8, 0, 0));
        d.accept();
    });
    page.changeButton()->click();
    EXPECT_EQ(items(page.list(), 1), QStringList{"08:00:00"});

    const std::string shown = benchShow();
    EXPECT_NE(shown.find("timer        0: on 06:30:00 off 08:00:00"), std::string::npos) << shown;
}

TEST_F(KestalSetupWindows, SetClockTitleAndCommentDialogs)
{
    CSetClockDlg clock;
    clock.SetValues(2);
    EXPECT_EQ(clock.windowTitle(), "Set Clock");
    ASSERT_EQ(clock.offsetBox()->count(), 47);
    EXPECT_EQ(clock.offsetBox()->currentText(), " local time + 2h");
    clock.offsetBox()->setCurrentIndex(0);
    EXPECT_EQ(clock.Values(), -23);
    clock.SetValues(30);
    EXPECT_EQ(clock.offsetBox()->currentText(), " local time");
    EXPECT_EQ(clock.Values(), 0);

    // Typing stops at 80 characters; a longer title from the instrument stays whole.
    const QString longTitle(95, 't');
    CMeasurementTitleDlg title;
    title.SetValues(longTitle);
    EXPECT_EQ(title.windowTitle(), "Enter Measurement Title");
    EXPECT_EQ(title.Values(), longTitle);
    QTest::keyClicks(title.edit(), "more");
    EXPECT_EQ(title.Values(), longTitle);
    CCommentDlg comment;
    EXPECT_EQ(comment.windowTitle(), "Insert Comment");
    QTest::keyClicks(comment.edit(), QString(90, 'c'));
    EXPECT_EQ(comment.Values().size(), 80);
}

TEST_F(KestalSetupWindows, CommandInterfaceFromTheKeyboard)
{
    connect();
    CommandLine line([this](const std::string& l) {
        std::string reply;
        session().Change("sending", [&](CQuorvalin& link) { reply = link.SendCommand(l, -1, -1); });
        return reply;
    });
    CCommandDlg dialog(line);
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "Direct Command Interface (press ESCAPE to close)");
    CCommandEdit* edit = dialog.edit();
    EXPECT_EQ(edit->toPlainText(), "[ready] ");

    QTest::keyClick(edit, Qt::Key_Backspace); // the prompt stays
    QTest::keyClicks(edit, "get sample perioX");
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClick(edit, Qt::Key_G, Qt::ControlModifier); // beeps, not taken
    EXPECT_EQ(ui.beeps(), 1);
    QTest::keyClicks(edit, "d");
    // Clicking into earlier text: typing still goes to the end.
    QTextCursor start = edit->textCursor();
    start.setPosition(2);
    edit->setTextCursor(start);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, "save log");
    QTest::keyClick(edit, Qt::Key_Enter);
    EXPECT_EQ(edit->toPlainText(), "[ready] get sample period\n1\n\n[ready] save log\n"
                                   "ERROR command not allowed with kestal.\n\n[ready] ");
    EXPECT_EQ(line.Text(), "[ready] get sample period\r\n1\r\n\r\n[ready] save log\r\n"
                           "ERROR command not allowed with kestal.\r\n\r\n[ready] ");
    EXPECT_EQ(edit->textCursor().position(), edit->toPlainText().size());

    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(KestalSetupWindows, DroppedLineWithTheSheetOpenIsReported)
{
    connect();
    CLeftView left(*doc);
    CSetupSheet sheet(session(), true);
    sheet.show();
    // The panel's tick notices it first: the sheet goes with the connection.
    hangUp();
    left.panel()->tick();
    EXPECT_EQ(messages(), QStringList{"The connection has dropped!"});
    EXPECT_FALSE(doc->IsConnected());
    EXPECT_FALSE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), QDialog::Rejected);

    // Or the user's OK does: the drop is told, not a failed setting.
    ui.clear();
    doc->OnConnect();
    ASSERT_TRUE(doc->IsConnected());
    ui.clear();
    CSetupSheet second(session(), true);
    second.show();
    choose(second.measurementPage()->samplePeriodBox(), " 5 s");
    hangUp();
    second.okButton()->click();
    EXPECT_EQ(messages(), QStringList{"The connection has dropped!"});
    EXPECT_FALSE(second.isVisible());
    EXPECT_EQ(second.result(), QDialog::Rejected);
    EXPECT_FALSE(doc->IsConnected());
    EXPECT_EQ(load("hill").samplePeriod, 1);
}

TEST_F(KestalSetupWindows, DroppedLineWhileAnEditorIsOpenClosesBoth)
{
    connect();
    CLeftView left(*doc);
    CSetupSheet sheet(session(), true);
    sheet.show();
    CFunctionsPage& page = *sheet.functionsPage();
    bool editorClosed = false;
    onNextDialog<CFunctionEditorDlg>([&](CFunctionEditorDlg& d) {
        hangUp();
        left.panel()->tick();
        editorClosed = !d.isVisible();
    });
    page.addButton()->click();
    EXPECT_TRUE(editorClosed);
    EXPECT_EQ(messages(), QStringList{"The connection has dropped!"});
    EXPECT_FALSE(sheet.isVisible());
}

TEST_F(KestalSetupWindows, LongCallShowsTheWaitWindowWhileTheLinkIsHeld)
{
    connect();
    InstallInstrumentDialogs(*commands, 5);
    doc->Timing().waitDialogTickMs = 1;
    CLeftView left(*doc);
    QStringList waitTexts;
    int ticks = 0;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<CWaitDlg*>(w); d && d->isVisible())
                waitTexts << d->text();
        left.panel()->tick(); // finds the link busy
        ++ticks;
    });
    look.start(1);
    session().Change("Writing the measurement setup", [](CQuorvalin& link) {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        link.SetSamplePeriod(2);
    });
    look.stop();
    EXPECT_GT(ticks, 5);
    ASSERT_FALSE(waitTexts.isEmpty());
    EXPECT_TRUE(waitTexts.last().startsWith("Writing the measurement setup.")) << waitTexts.last().toStdString();
    EXPECT_TRUE(messages().isEmpty()) << messages().join("|").toStdString();
    EXPECT_EQ(load("hill").samplePeriod, 2);
}

TEST_F(KestalSetupWindows, MainWindowCommandsReachTheInstrument)
{
    addInstrument("hill", "COM2", "");
    ASSERT_TRUE(WriteStationConfig(QDir(root.path()).filePath("Hill Top"), "Hill Top", "COM2", "varno"));
    QCoreApplication::setOrganizationName("varno");
    QCoreApplication::setApplicationName("kestal-setup-test");
    QSettings().clear();
    QSettings().setValue("folders/root", root.path());
    CKestalApp app(QCoreApplication::applicationDirPath() + "/kestal");
    app.SetConnectDialog([](ConnectRequest&) { return true; });
    ASSERT_TRUE(app.InitInstance({}, false));
    CMainFrame& frame = *app.Frame();
    EXPECT_FALSE(frame.action(ID_SETUP)->isEnabled());
    frame.Execute(ID_CONNECT);
    ASSERT_TRUE(app.Doc()->IsConnected());
    for (int id : {ID_SETUP, ID_NEW_MEASUREMENT, ID_INSERT_COMMENT, ID_SET_CLOCK, ID_COMMAND_INTERFACE})
        EXPECT_TRUE(frame.action(id)->isEnabled()) << id;

    onNextDialog<CSetupSheet>([](CSetupSheet& sheet) {
        EXPECT_EQ(sheet.tabs()->count(), 3);
        sheet.timerPage()->addButton()->click(); // the editor comes up over the sheet
    });
    onNextDialog<CModemTimerDlg>([](CModemTimerDlg& d) {
        d.onEdit()->setTime(QTime(12, 0, 0));
        d.offEdit()->setTime(QTime(12, 15, 0));
        d.accept();
        onNextDialog<CSetupSheet>([](CSetupSheet& sheet) {
            choose(sheet.measurementPage()->statisticPeriodBox(), "30 s");
            sheet.accept();
        });
    });
    frame.Execute(ID_SETUP);

    onNextDialog<CMeasurementTitleDlg>([](CMeasurementTitleDlg& d) {
        EXPECT_EQ(d.Values(), "Tower A");
        d.edit()->setText("Tower A, new mast");
        d.accept();
    });
    frame.Execute(ID_NEW_MEASUREMENT);

    app.Doc()->Timing().now = [] { return QDateTime::currentDateTime(); };
    onNextDialog<CSetClockDlg>([](CSetClockDlg& d) {
        EXPECT_EQ(d.offsetBox()->currentText(), " local time");
        d.offsetBox()->setCurrentIndex(23 + 2);
        d.accept();
    });
    frame.Execute(ID_SET_CLOCK);

    onNextDialog<CCommandDlg>([](CCommandDlg& d) {
        QTest::keyClicks(d.edit(), "comment hello");
        QTest::keyClick(d.edit(), Qt::Key_Return);
        EXPECT_TRUE(d.edit()->toPlainText().endsWith("\nOK\n\n[ready] ")) << d.edit()->toPlainText().toStdString();
        QTest::keyClick(d.edit(), Qt::Key_Escape);
    });
    frame.Execute(ID_COMMAND_INTERFACE);
    EXPECT_TRUE(ui.texts().isEmpty()) << ui.texts().join("|").toStdString();

    const std::string shown = benchShow();
    EXPECT_NE(shown.find("statistic 30 s"), std::string::npos) << shown;
    EXPECT_NE(shown.find("timer        0: on 12:00:00 off 12:15:00"), std::string::npos) << shown;
    EXPECT_NE(shown.find("(running)           Tower A, new mast"), std::string::npos) << shown;
    // The PC's local time is UTC here (and the bench clock is frozen): two hours ahead.
    const varno::sim::Instrument stored = load("hill");
    const int64_t offset = stored.clock(now()) - (int64_t(QDateTime::currentSecsSinceEpoch()));
    EXPECT_NEAR(double(offset), 7200.0, 5.0);
    frame.Execute(ID_DISCONNECT);
}

} // namespace
