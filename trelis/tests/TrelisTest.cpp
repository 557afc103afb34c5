#include <trelis/TrelisApp.h>
#include <trelis/TrelisDlg.h>

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <memory>

#include <lunebrig/Lunebrig.h>
#include <ostrel/Ostrel.h>
#include <qtsupport/OstrelQtUi.h>
#include <ostrel/view/OstrelView.h>
#include <qtsupport/UserInteraction.h>

#include <testing/CommaLocale.h>
#include <testing/QtTestApp.h>
#include <testing/SampleLog.h>

using namespace varno::trelis;

namespace {

using varno::qtsupport::ScriptedUserInteraction;

class TrelisTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        varno::testing::qtTestApp();
        ASSERT_TRUE(m_folder.isValid());
        varno::qtsupport::setUserInteraction(&m_ui);
        varno::qtsupport::installOstrelQtUi();
        ostrelview_register();
    }
    void TearDown() override
    {
        ostrel_setui(nullptr);
        varno::qtsupport::setUserInteraction(nullptr);
    }

    std::string writeLog(const QString& name, const std::vector<uint8_t>& bytes)
    {
        const QString path = QDir(m_folder.path()).filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        return QFile::encodeName(path).toStdString();
    }

    QTemporaryDir m_folder;
    ScriptedUserInteraction m_ui;
};

TEST(TrelisTitle, SpansTheTimeRangeAndQuotesTheTitle)
{
    EXPECT_EQ(BuildViewerTitle(CUtcTime(), CUtcTime(), ""), "0000-00-00 - 0000-00-00 : \"\"");
    EXPECT_EQ(BuildViewerTitle(CUtcTime(2006, 8, 17, 0, 0, 0), CUtcTime(2006, 8, 18, 23, 50, 0),
                               "Station Hochmoor"),
              "2006-08-17 - 2006-08-18 23:50:00 : \"Station Hochmoor\"");
    // Titles from older instruments are Latin-1.
    EXPECT_EQ(BuildViewerTitle(CUtcTime(1), CUtcTime(1), "M\xFChle"),
              QString::fromUtf8("1970-01-01 00:00:01 - 1970-01-01 00:00:01 : \"M\xC3\xBChle\""));
}

TEST(TrelisArguments, EveryArgumentButOptionsIsAFileInOrder)
{
    const QStringList args{"trelis",   "/data/a b/x [1].vrn", "-x",           "relative.vrn",
                           "search=/data/*.vrn", "[0001-00000017-00144]", "--", "-dash.vrn",
                           "/slash"};
    EXPECT_EQ(ViewerFileArguments(args),
              (std::vector<std::string>{"/data/a b/x [1].vrn", "relative.vrn",
                                        "search=/data/*.vrn", "[0001-00000017-00144]",
                                        "-dash.vrn", "/slash"}));
    EXPECT_TRUE(ViewerFileArguments(QStringList{"trelis"}).empty());
    EXPECT_TRUE(ViewerFileArguments(QStringList{"trelis", "-", "--"}).empty());
}

TEST_F(TrelisTest, TwoLogsShowInOrderInOneViewUnderTheSpanningTitle)
{
    using varno::testing::SampleLog;
    const std::string first = writeLog("first.vrn", SampleLog("Station Hochmoor", 17, 30));
    const std::string second = writeLog("second.vrn", SampleLog("Station Kamm", 19, 30, 10, 1));
    std::unique_ptr<COstrel> data(COstrel::newObject());
    LoadViewerFiles(*data, {first, second});
    EXPECT_TRUE(m_ui.events().empty());

    std::unique_ptr<COstrel> alone(COstrel::newObject());
    alone->Load(first);
    const int firstCount = alone->GetEntryCount();
    ASSERT_GT(firstCount, 30);
    ASSERT_GT(data->GetEntryCount(), firstCount + 30);
    EXPECT_EQ(data->GetEntryText(firstCount - 1), alone->GetEntryText(firstCount - 1));

    CTrelisDlg dialog(data.get());
    dialog.show();
    // The title of the data is the first header's; the times span both days.
    const QString title = dialog.windowTitle();
    EXPECT_TRUE(title.startsWith("2006-08-1")) << title.toStdString();
    EXPECT_TRUE(title.contains(" - 2006-08-19 ")) << title.toStdString();
    EXPECT_TRUE(title.endsWith(" : \"Station Hochmoor\"")) << title.toStdString();
    EXPECT_EQ(title, BuildViewerTitle(data->GetMinTime(), data->GetMaxTime(), data->GetTitle()));

    COstrelView* view = dialog.GetView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->GetData(), data.get());
    EXPECT_TRUE(view->hasFocus() || !dialog.isActiveWindow());
    // The filler line of the first log is never shown; its identification line comes first.
    const std::vector<int> shown = view->GetShownEntries();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(data->GetEntryFlags(0) & LOGF_STAR, LOGF_STAR);
    EXPECT_EQ(shown[0], 1);
    EXPECT_NE(data->GetEntryFlags(shown[0]) & LOGF_IDENT, 0);

    // End goes to the first log's identification line, then to the second one's.
    QTest::keyClick(view, Qt::Key_End);
    EXPECT_EQ(view->GetFirstIndex(), 1);
    QTest::keyClick(view, Qt::Key_End);
    EXPECT_EQ(view->GetFirstIndex(), firstCount + 1);
    EXPECT_NE(data->GetEntryText(view->GetFirstIndex()).find("Varno 301"), std::string::npos);
    // T goes on to its first battery marker.
    QTest::keyClick(view, Qt::Key_T);
    EXPECT_NE(data->GetEntryFlags(view->GetFirstIndex()) & LOGF_MARK, 0);
    EXPECT_GT(view->GetFirstIndex(), firstCount + 1);
    EXPECT_GT(m_ui.waitCursorCount(), 0);
    EXPECT_EQ(m_ui.waitDepth(), 0);
}

// The viewer runs in the numeric locale of its environment (Qt takes it at start): a data
// log and a converted table show the same numbers there as in the C locale.
TEST_F(TrelisTest, ShowsTheSameNumbersInACommaDecimalLocale)
{
    const std::string log = writeLog("log.vrn", varno::testing::SampleLog("Hill", 3, 20));
    const std::string table = "\"date\" \"time\" \"period\" \"v1_mean\"\n2006-08-03 00:10:00 0 1.5 -0.25 2.75e1\n";
    const std::string converted = writeLog("table.txt", std::vector<uint8_t>(table.begin(), table.end()));
    const auto shown = [&] {
        std::unique_ptr<COstrel> data(COstrel::newObject());
        LoadViewerFiles(*data, {log, converted});
        CTrelisDlg dialog(data.get());
        std::vector<std::string> texts{dialog.windowTitle().toStdString()};
        for (int i = 0; i < data->GetEntryCount(); ++i) {
            texts.push_back(data->GetEntryText(i));
            for (int j = 0; j < data->GetValueCount(i); ++j) {
                const double value = data->GetValue(i, j);
                uint64_t bits;
                std::memcpy(&bits, &value, sizeof bits);
                texts.push_back(std::to_string(bits));
            }
        }
        return texts;
    };
    const std::vector<std::string> inC = shown();
    ASSERT_NE(std::find(inC.begin(), inC.end(), "   0.000    1.500   -0.250   27.500"), inC.end());
    const varno::testing::ScopedCommaLocale comma;
    if (!comma.active())
        GTEST_SKIP() << varno::testing::CommaLocale::missingReason();
    EXPECT_EQ(shown(), inC);
}

TEST_F(TrelisTest, TheViewFillsTheWindowBelowTheMenuAndFollowsResizing)
{
    std::unique_ptr<COstrel> data(COstrel::newObject());
    data->FillTestData();
    CTrelisDlg dialog(data.get());
    dialog.resize(640, 400);
    dialog.show();
    COstrelView* view = dialog.GetView();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->parentWidget(), &dialog);
    EXPECT_EQ(view->geometry().bottom(), dialog.rect().bottom());
    EXPECT_EQ(view->width(), 640);
    EXPECT_GT(view->y(), 0); // the menu bar sits above it
    dialog.resize(900, 700);
    EXPECT_EQ(view->width(), 900);
    EXPECT_EQ(view->geometry().bottom(), dialog.rect().bottom());
    EXPECT_EQ(dialog.windowTitle(), "2004-03-04 05:06:07 - 2004-03-04 05:07:46 : \"\"");
}

TEST_F(TrelisTest, AboutBoxFromTheMenu)
{
    std::unique_ptr<COstrel> data(COstrel::newObject());
    CTrelisDlg dialog(data.get());
    dialog.show();
    ASSERT_NE(dialog.GetAboutAction(), nullptr);
    EXPECT_EQ(dialog.GetAboutAction()->text(), "&About trelis...");
    EXPECT_EQ(dialog.GetAboutAction()->shortcut(), QKeySequence(QKeySequence::HelpContents));
    EXPECT_TRUE(dialog.GetView()->actions().contains(dialog.GetAboutAction()));
    EXPECT_EQ(dialog.GetView()->contextMenuPolicy(), Qt::ActionsContextMenu);
    dialog.GetAboutAction()->trigger();
    ASSERT_EQ(m_ui.events().size(), 1u);
    EXPECT_EQ(m_ui.events()[0].caption, "About Varno Viewer");
    EXPECT_EQ(m_ui.events()[0].text, "Varno Viewer Version 1.0");
}

TEST_F(TrelisTest, WithoutFilesTheOpenDialogIsAskedAndCancelGivesAnEmptyView)
{
    std::unique_ptr<COstrel> data(COstrel::newObject());
    LoadViewerFiles(*data, {});
    ASSERT_EQ(m_ui.events().size(), 1u);
    EXPECT_EQ(m_ui.events()[0].kind, ScriptedUserInteraction::Kind::OpenFile);
    EXPECT_EQ(m_ui.events()[0].filter, "Varno Data Files (*.vrn);;All Files (*)");
    EXPECT_EQ(data->GetEntryCount(), 0);

    CTrelisDlg dialog(data.get());
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), "0000-00-00 - 0000-00-00 : \"\"");
    EXPECT_EQ(dialog.GetView()->GetShownEntries().front(), -1);
    QTest::keyClick(dialog.GetView(), Qt::Key_End);
    EXPECT_EQ(dialog.GetView()->GetFirstIndex(), 0);

    // Without any data object the window is the same empty view.
    CTrelisDlg bare(nullptr);
    ASSERT_NE(bare.GetView(), nullptr);
    EXPECT_EQ(bare.GetView()->GetData(), nullptr);
    EXPECT_EQ(bare.windowTitle(), "0000-00-00 - 0000-00-00 : \"\"");

    // A chosen file is loaded.
    const std::string path = writeLog("chosen.vrn", varno::testing::SampleLog("Chosen", 17, 3));
    m_ui.queueFileName(QFile::decodeName(path.c_str()));
    std::unique_ptr<COstrel> chosen(COstrel::newObject());
    LoadViewerFiles(*chosen, {});
    EXPECT_EQ(chosen->GetTitle(), "Chosen");
}

TEST_F(TrelisTest, AMissingFileIsReportedAndTheOthersStillLoad)
{
    const std::string good = writeLog("good.vrn", varno::testing::SampleLog("Good", 17, 5));
    std::unique_ptr<COstrel> data(COstrel::newObject());
    LoadViewerFiles(*data, {m_folder.path().toStdString() + "/missing.vrn", good});
    ASSERT_EQ(m_ui.texts(), QStringList{"unable to open file"});
    EXPECT_EQ(m_ui.events()[0].caption, "Error");
    EXPECT_EQ(data->GetTitle(), "Good");
}

TEST_F(TrelisTest, RegistersItsPathUnderVarnoViewer)
{
    QTemporaryDir config;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config.path());
    RegisterViewer("/opt/varno/bin/trelis");
    EXPECT_EQ(GetApplicationExePath("varno-viewer"), "/opt/varno/bin/trelis");
    RegisterViewer(""); // unknown path: nothing stored
    EXPECT_EQ(GetApplicationExePath("varno-viewer"), "/opt/varno/bin/trelis");
}

} // namespace
