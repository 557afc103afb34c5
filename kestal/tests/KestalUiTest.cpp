// The terminal's windows offscreen: start-up, main window, station list, file list, dialogs.
#include <kestal/files/FinalName.h>
#include <kestal/dialogs/ImportDlg.h>
#include <kestal/dialogs/InstrumentPanel.h>
#include <kestal/dialogs/KestalApp.h>
#include <kestal/stations/KestalDoc.h>
#include <kestal/dialogs/KestalView.h>
#include <kestal/dialogs/MainFrame.h>
#include <kestal/dialogs/PreferencesDlg.h>
#include <kestal/dialogs/StationPropertiesDlg.h>

#include <testing/CommaLocale.h>
#include <lunebrig/Lunebrig.h>
#include "TestConfig.h"
#include <testing/QtTestApp.h>
#include <testing/SampleLog.h>
#include <qtsupport/UserInteraction.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QUrl>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QMouseEvent>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace varno::kestal;

namespace {

struct Start {
    std::string program;
    std::vector<std::string> arguments;
    std::string folder;
};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString dayName(int day, uint32_t start, const char* month = "08")
{
    return QString::asprintf("[0007-%08u-00100-0000] [2006-%s-%02d] [2006-%s-%02d]  Wind.vrn", start,
                             month, day, month, day + 1);
}

// Receives the desktop's "open" requests.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

class KestalUi : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        varno::kestal::testing::isolateSettings();
        varno::testing::qtTestApp();
        QCoreApplication::setOrganizationName("varno");
        QCoreApplication::setApplicationName("kestal-test");
    }

    void SetUp() override
    {
        varno::qtsupport::setUserInteraction(&ui);
        QSettings().clear();
        QSettings().setValue("folders/root", root.path());
        // Programs of the suite beside the terminal.
        for (const char* name : {"trelis", "fenlux", "brodmir"}) {
            writeFile(bin.filePath(name), "#!/bin/sh\n");
            QFile::setPermissions(bin.filePath(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        lunebrig_setstarter([this](const std::string& p, const std::vector<std::string>& a, const std::string& d) {
            starts.push_back({p, a, d});
            return startsWork;
        });
        Launcher::SetEditorStarter([this](const QString& p, const QStringList& a) {
            starts.push_back({p.toStdString(), {a.value(0).toStdString()}, ""});
            return startsWork;
        });
        QDesktopServices::setUrlHandler("file", &urls, "open");
    }

    void TearDown() override
    {
        QDesktopServices::unsetUrlHandler("file");
        lunebrig_setstarter(nullptr);
        Launcher::SetEditorStarter(nullptr);
        varno::qtsupport::setUserInteraction(nullptr);
    }

    // A station folder with a station.cfg and data logs.
    void station(const QString& folder, const QByteArray& name, const QStringList& logs = {})
    {
        writeFile(root.filePath(folder + "/station.cfg"), "station " + name + "\r\nconnection COM2\r\n");
        for (const QString& log : logs)
            writeFile(root.filePath(folder + "/vrn/" + log), QByteArray(50, 'x'));
    }

    std::unique_ptr<CKestalApp> start(const QStringList& args = {})
    {
        auto app = std::make_unique<CKestalApp>(bin.filePath("kestal"));
        app->SetPreferencesRunner([this](ProgramSettings&) { ++preferencesRuns; return false; });
        app->SetStationEditor([this](StationEdit& v) { edits.push_back(v); return false; });
        started = app->InitInstance(args, false);
        return app;
    }

    QTemporaryDir root, bin;
    varno::qtsupport::ScriptedUserInteraction ui;
    UrlRecorder urls;
    std::vector<Start> starts;
    std::vector<StationEdit> edits;
    bool startsWork = true;
    bool started = false;
    int preferencesRuns = 0;
};

TEST_F(KestalUi, DataFileOnCommandLineGoesToItsProgram)
{
    auto app = start({"/data/LOG.VRN"});
    EXPECT_FALSE(started);
    EXPECT_EQ(app->Frame(), nullptr);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].program, bin.filePath("trelis").toStdString());
    EXPECT_EQ(starts[0].arguments, std::vector<std::string>{"/data/LOG.VRN"});

    starts.clear();
    start({"/data/wind.sta"});
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].program, bin.filePath("brodmir").toStdString());

    starts.clear();
    startsWork = false;
    start({"/data/series.dat"});
    EXPECT_FALSE(started);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].arguments, std::vector<std::string>{"/data/series.dat"});
    EXPECT_EQ(ui.texts(), QStringList{"Unable to open viewer application."});
}

TEST_F(KestalUi, StationListFileStartsNormally)
{
    station("s1", "One");
    auto app = start({"/data/list.vsl"});
    EXPECT_TRUE(started);
    ASSERT_NE(app->Frame(), nullptr);
    EXPECT_EQ(app->Doc()->GetStationCount(), 1);
    EXPECT_TRUE(ui.texts().isEmpty());
}

TEST_F(KestalUi, FirstRunWelcomesAndAsksForAStation)
{
    QSettings().setValue("folders/root", root.filePath("missing"));
    auto app = start();
    EXPECT_TRUE(started);
    ASSERT_EQ(ui.events().size(), 1u);
    EXPECT_EQ(ui.events()[0].text,
              "Welcome to  kestal 3.0!\r\n\r\nThe following dialogs will lead you through the program configuration");
    EXPECT_EQ(ui.events()[0].icon, varno::qtsupport::UserInteraction::Icon::Information);
    EXPECT_EQ(preferencesRuns, 1);
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(edits[0].name, "new station");
    EXPECT_EQ(edits[0].connection, "COM1");
}

TEST_F(KestalUi, PreferencesConfirmedRebuildFromNewFolder)
{
    station("s1", "One");
    QTemporaryDir other;
    writeFile(other.filePath("x/station.cfg"), "station X\r\n");
    writeFile(other.filePath("y/station.cfg"), "station Y\r\n");
    auto app = start();
    EXPECT_EQ(app->Doc()->GetStationCount(), 1);
    app->SetPreferencesRunner([&](ProgramSettings& s) { s.mainDataFolder = other.path() + "//"; return true; });
    EXPECT_TRUE(app->OnPreferences());
    EXPECT_EQ(app->Settings().mainDataFolder, other.path());
    EXPECT_EQ(QSettings().value("folders/root").toString(), other.path());
    EXPECT_EQ(app->Doc()->GetStationCount(), 2);
    app->SetPreferencesRunner([](ProgramSettings& s) { s.mainDataFolder = "/nowhere"; return false; });
    EXPECT_FALSE(app->OnPreferences());
    EXPECT_EQ(app->Settings().mainDataFolder, other.path());
}

TEST_F(KestalUi, PreferencesNeverLeaveAStaleStation)
{
    station("a", "Alpha");
    station("b", "Beta");
    station("c", "Gamma");
    QTemporaryDir one, none, working;
    writeFile(one.filePath("x/station.cfg"), "station X\r\n");
    const std::vector<uint8_t> bytes = varno::testing::SampleLog("Hill", 3, 144);
    writeFile(working.filePath("in.vrn"), QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())));
    // A path built from no station folder would land in the working folder.
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(working.path()));
    auto app = start();
    CMainFrame* frame = app->Frame();
    frame->fileList()->SetImportConfirm([](const QString&) { return true; });
    app->Doc()->SelectStation(2);
    EXPECT_EQ(frame->windowTitle(), "Gamma - kestal");

    app->SetPreferencesRunner([&](ProgramSettings& s) { s.mainDataFolder = one.path(); return true; });
    EXPECT_TRUE(app->OnPreferences());
    EXPECT_EQ(app->Doc()->GetSelectedStation(), 0);
    EXPECT_EQ(frame->windowTitle(), "X - kestal");
    EXPECT_EQ(frame->leftView()->panel()->stationEdit()->text(), "X");
    ui.queueFileNames({working.filePath("in.vrn")});
    frame->Execute(ID_IMPORT);
    EXPECT_EQ(QDir(one.filePath("x/vrn")).entryList(QDir::Files).size(), 1);

    // No station at all (Add Station cancelled): no title and no station commands.
    app->SetPreferencesRunner([&](ProgramSettings& s) { s.mainDataFolder = none.path(); return true; });
    EXPECT_TRUE(app->OnPreferences());
    EXPECT_EQ(app->Doc()->GetSelectedStation(), -1);
    EXPECT_EQ(frame->windowTitle(), "kestal");
    for (int id : {ID_CONNECT, ID_EDIT_STATION, ID_IMPORT})
        EXPECT_FALSE(frame->action(id)->isEnabled()) << id;
    ui.queueFileNames({working.filePath("in.vrn")});
    frame->fileList()->OnImport();
    EXPECT_TRUE(ui.answersLeft()); // no file was even asked for

    const QStringList inWorking = QDir(working.path()).entryList(QDir::Files);
    QDir::setCurrent(before);
    EXPECT_EQ(inWorking, QStringList{"in.vrn"});
}

TEST_F(KestalUi, MenusAndEnablingBeforeAnyConnection)
{
    station("s1", "One");
    auto app = start();
    CMainFrame* frame = app->Frame();
    QStringList titles;
    for (QAction* a : frame->menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, QStringList({"&File", "&Edit", "&View", "&Instrument", "&Data", "F&olders", "&Help"}));
    QStringList data;
    for (QAction* a : frame->menuBar()->actions()[4]->menu()->actions())
        data << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(data, QStringList({"Transfer &new Files", "-", "&View", "Con&vert ...", "-",
                                 "&Copy to Clipboard", "-", "&Import Files ..."}));
    EXPECT_EQ(frame->action(ID_VIEW_GRAPHICS)->shortcut(), QKeySequence("Ctrl+G"));
    EXPECT_EQ(frame->action(ID_CONNECT)->statusTip(), "Connects to the selected instrument");
    for (int id : {ID_CONNECT, ID_ADD_STATION, ID_EDIT_STATION, ID_PREFERENCES, ID_CONVERT, ID_IMPORT})
        EXPECT_TRUE(frame->action(id)->isEnabled()) << id;
    for (int id : {ID_DISCONNECT, ID_LOGIN, ID_SETUP, ID_SET_CLOCK, ID_TRANSFER_NEW, ID_DELETE_STATION})
        EXPECT_FALSE(frame->action(id)->isEnabled()) << id;
}

TEST_F(KestalUi, PanelListsStationsAndSelects)
{
    station("a", "Alpha");
    station("b", "Beta");
    auto app = start();
    QTreeWidget* list = app->Frame()->leftView()->panel()->stationList();
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(0), "Beta");
    EXPECT_EQ(list->topLevelItem(1)->text(1), "COM2");
    QTreeWidgetItem* first = list->topLevelItem(0);
    list->setCurrentItem(list->topLevelItem(1));
    EXPECT_EQ(app->Doc()->GetSelectedStation(), 1);
    EXPECT_EQ(app->Frame()->leftView()->panel()->stationEdit()->text(), "Beta");
    EXPECT_TRUE(app->Frame()->windowTitle().startsWith("Beta"));
    // A refresh with the same stations keeps the rows.
    app->Doc()->UpdateAllViews();
    EXPECT_EQ(list->topLevelItem(0), first);
    // A new station rebuilds it.
    station("c", "Gamma");
    app->Doc()->RebuildStationList();
    app->Doc()->UpdateAllViews();
    EXPECT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(app->Frame()->leftView()->panel()->contextMenu()->actions().size(), 2);
}

TEST_F(KestalUi, FileListMonthlyAndDaily)
{
    station("a", "Alpha", {dayName(1, 0), dayName(2, 100), dayName(3, 200), dayName(1, 300, "09")});
    auto app = start();
    CKestalView* view = app->Frame()->fileList();
    ASSERT_EQ(view->topLevelItemCount(), 2);
    EXPECT_EQ(view->topLevelItem(0)->text(CKestalView::ColPcFile).split('\n').size(), 3);
    EXPECT_EQ(view->topLevelItem(0)->text(CKestalView::ColSpan), "300");
    EXPECT_EQ(view->topLevelItem(0)->text(CKestalView::ColSize), "150");
    EXPECT_EQ(view->topLevelItem(0)->text(CKestalView::ColStatus), "ok");
    EXPECT_EQ(view->topLevelItem(0)->text(CKestalView::ColStop), "2006-08-04");
    EXPECT_EQ(view->header()->sectionSize(CKestalView::ColPcFile), 0);
    EXPECT_GT(view->header()->sectionSize(CKestalView::ColName), 0);
    app->Frame()->Execute(ID_DAILY_REPORTS);
    EXPECT_EQ(view->topLevelItemCount(), 4);
    app->Frame()->Execute(ID_MONTHLY_REPORTS);
    EXPECT_EQ(view->topLevelItemCount(), 2);
}

// Drags the right edge of column's header section by dx pixels, as the user does.
void dragColumnEdge(QTreeWidget& list, int column, int dx)
{
    QWidget* header = list.header()->viewport();
    const QPoint edge(list.header()->sectionViewportPosition(column) + list.header()->sectionSize(column) - 1,
                      header->height() / 2);
    auto send = [header](QEvent::Type type, const QPoint& at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, at, header->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(header, &event);
    };
    send(QEvent::MouseButtonPress, edge, Qt::LeftButton);
    send(QEvent::MouseMove, edge + QPoint(dx / 2, 0), Qt::LeftButton);
    send(QEvent::MouseMove, edge + QPoint(dx, 0), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, edge + QPoint(dx, 0), Qt::NoButton);
}

TEST_F(KestalUi, FirstStartShowsTheLeftPaneAndFiveColumnsButNeverExceedsTheScreen)
{
    QStringList logs;
    for (int day = 1; day <= 28; ++day)
        logs << QString::asprintf("[1001-%08u-04300-%04d] [2006-08-%02d] [2006-08-%02d 23_50_00]  Hill Top tower 2.vrn",
                                  4300u * unsigned(day), 1000 + day, day, day);
    station("a", "Hill Top", logs);
    auto app = start();
    app->Frame()->Execute(ID_DAILY_REPORTS);
    CMainFrame* frame = app->Frame();
    // The test screen is smaller than the first size.
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    EXPECT_EQ(frame->size(), CMainFrame::FirstSize().boundedTo(screen));

    frame->resize(CMainFrame::FirstSize());
    frame->show();
    QCoreApplication::processEvents();
    CKestalView* list = frame->fileList();
    EXPECT_EQ(frame->splitter()->sizes().value(0), 350);
    for (int c = CKestalView::ColIcon; c <= CKestalView::ColName; ++c)
        EXPECT_GT(list->header()->sectionSize(c), 0) << c;
    EXPECT_LE(list->header()->length(), list->viewport()->width());
    EXPECT_FALSE(list->horizontalScrollBar()->isVisible());
}

TEST_F(KestalUi, WindowSplitterAndHandSizedColumnsComeBackAsTheyWereLeft)
{
    station("a", "Alpha", {dayName(1, 0), dayName(2, 100)});
    int autoNameWidth = 0;
    {
        auto app = start();
        CMainFrame* frame = app->Frame();
        frame->show();
        frame->setGeometry(30, 40, 720, 500);
        frame->splitter()->setSizes({300, 400});
        QCoreApplication::processEvents();
        CKestalView* list = frame->fileList();
        autoNameWidth = list->header()->sectionSize(CKestalView::ColName);
        // The hidden PC file column dragged open, the Size column widened.
        dragColumnEdge(*list, CKestalView::ColSize, 40);
        const int sizeWidth = list->header()->sectionSize(CKestalView::ColSize);
        list->header()->resizeSection(CKestalView::ColPcFile, 150);
        dragColumnEdge(*list, CKestalView::ColPcFile, 30);
        EXPECT_EQ(list->header()->sectionSize(CKestalView::ColPcFile), 180);
        // The program's own sizing is no choice of the user's.
        list->header()->resizeSection(CKestalView::ColStatus, 120);
        // A new listing keeps what the user chose.
        app->Frame()->Execute(ID_DAILY_REPORTS);
        EXPECT_EQ(list->header()->sectionSize(CKestalView::ColSize), sizeWidth);
        EXPECT_EQ(list->header()->sectionSize(CKestalView::ColPcFile), 180);
        EXPECT_EQ(list->header()->sectionSize(CKestalView::ColStatus), 0);
        frame->close();
    }
    QSettings settings;
    EXPECT_EQ(settings.value("window/geometry").toRect(), QRect(30, 40, 720, 500));
    settings.beginGroup("fileListColumns");
    EXPECT_EQ(settings.childKeys(), QStringList({"3", "5"}));
    settings.endGroup();

    station("a", "Alpha", {dayName(1, 0), dayName(2, 100), dayName(3, 200, "09")});
    auto app = start();
    CMainFrame* frame = app->Frame();
    EXPECT_EQ(frame->geometry(), QRect(30, 40, 720, 500));
    frame->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(frame->splitter()->sizes().value(0), 300);
    QHeaderView* header = frame->fileList()->header();
    EXPECT_EQ(header->sectionSize(CKestalView::ColSize), settings.value("fileListColumns/3").toInt());
    EXPECT_EQ(header->sectionSize(CKestalView::ColPcFile), 180);
    // Columns left to the program still fit their contents.
    EXPECT_EQ(header->sectionSize(CKestalView::ColName), autoNameWidth);
    EXPECT_EQ(header->sectionSize(CKestalView::ColStatus), 0);
}

TEST_F(KestalUi, FileCommandsHandOverPaths)
{
    station("a", "Alpha", {dayName(1, 0), dayName(2, 100)});
    auto app = start();
    CKestalView* view = app->Frame()->fileList();
    const QString vrn = root.filePath("a/vrn");

    app->Frame()->Execute(ID_VIEW);
    EXPECT_EQ(ui.texts(), QStringList{"No items were selected"});
    EXPECT_TRUE(starts.empty());

    view->topLevelItem(0)->setSelected(true);
    app->Frame()->Execute(ID_VIEW);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].program, bin.filePath("trelis").toStdString());
    EXPECT_EQ(starts[0].arguments, (std::vector<std::string>{("search=" + vrn + "/*Wind.vrn").toStdString(),
                                                            "[0007-00000000-00100-0000]",
                                                            "[0007-00000100-00100-0000]"}));
    app->Frame()->Execute(ID_VIEW_GRAPHICS);
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[1].program, bin.filePath("fenlux").toStdString());
    EXPECT_EQ(starts[1].arguments, (std::vector<std::string>{(vrn + "/" + dayName(1, 0)).toStdString(),
                                                            (vrn + "/" + dayName(2, 100)).toStdString()}));
    app->Frame()->Execute(ID_COPY_CLIPBOARD);
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    ASSERT_NE(clip, nullptr);
    ASSERT_EQ(clip->urls().size(), 2);
    EXPECT_EQ(clip->urls()[1].toLocalFile(), vrn + "/" + dayName(2, 100));

    // No converter beside the terminal: another "convert" on the search path is not used.
    ui.clear();
    starts.clear();
    app->Frame()->Execute(ID_CONVERT);
    EXPECT_TRUE(starts.empty());
    EXPECT_EQ(ui.texts(), QStringList{"Unable to call Data Converter"});
    writeFile(bin.filePath("convert"), "#!/bin/sh\n");
    QFile::setPermissions(bin.filePath("convert"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    app->Frame()->Execute(ID_CONVERT);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].program, bin.filePath("convert").toStdString());
    EXPECT_EQ(starts[0].folder, root.filePath("a/export").toStdString());
    EXPECT_EQ(starts[0].arguments.size(), 3u);

    startsWork = false;
    ui.clear();
    view->ViewRow(0);
    EXPECT_EQ(ui.texts(), QStringList{"Unable to open Data Viewer"});

    app->Frame()->Execute(ID_FOLDER_EXPORT);
    app->Frame()->Execute(ID_FOLDER_DOCUMENTS);
    ASSERT_EQ(urls.urls.size(), 2);
    EXPECT_EQ(urls.urls[0].toLocalFile(), root.filePath("a/export"));
    EXPECT_EQ(urls.urls[1].toLocalFile(), root.filePath("a/documents"));
}

TEST_F(KestalUi, ImportConfirmedCancelledAndFailed)
{
    station("a", "Alpha");
    auto app = start();
    QTemporaryDir src;
    const std::vector<uint8_t> bytes = varno::testing::SampleLog("Hill", 3, 144);
    writeFile(src.filePath("one.vrn"), QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())));
    writeFile(src.filePath("two.vrn"), QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())));
    CKestalView* view = app->Frame()->fileList();
    QStringList confirmed;
    view->SetImportConfirm([&](const QString& p) { confirmed << p; return p.endsWith("one.vrn"); });
    ui.queueFileNames({src.filePath("one.vrn"), src.filePath("two.vrn")});
    app->Frame()->Execute(ID_IMPORT);
    EXPECT_EQ(confirmed.size(), 2);
    EXPECT_EQ(ui.texts(), QStringList{"File Import Canceled"});
    ASSERT_EQ(view->topLevelItemCount(), 1);
    EXPECT_EQ(view->topLevelItem(0)->text(CKestalView::ColName), "Hill");
    EXPECT_EQ(view->topLevelItem(0)->text(CKestalView::ColSerial), "4711");
}

TEST_F(KestalUi, ContextMenuAndStationListDocument)
{
    station("a", "Alpha", {dayName(1, 0)});
    auto app = start();
    QStringList items;
    for (QAction* a : app->Frame()->fileList()->contextMenu()->actions())
        items << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(items, QStringList({"&View", "&View (Graphics)", "&Convert ...", "-", "&Copy"}));

    // Saving the station list is not supported; opening one rebuilds from the folders.
    ui.queueFileName(root.filePath("list.vsl"));
    app->Frame()->Execute(ID_FILE_SAVE);
    EXPECT_EQ(ui.texts(), QStringList{"Not implemented: CKestalDoc::Serialize"});
    EXPECT_FALSE(QFile::exists(root.filePath("list.vsl")));
    station("b", "Beta");
    ui.queueFileName(root.filePath("other.vsl"));
    app->Frame()->Execute(ID_FILE_OPEN);
    EXPECT_EQ(app->Doc()->GetStationCount(), 2);
}

TEST_F(KestalUi, ListingGivesTemporaryNamesTheirFinalName)
{
    station("a", "Alpha");
    const std::vector<uint8_t> bytes = varno::testing::SampleLog("Hill", 3, 144);
    const QString probe = root.filePath("probe.vrn");
    writeFile(probe, QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())));
    const IdentifiedLog log = IdentifyDataLog(probe);
    const QString finalName = QString::fromStdString(FinalFileName(log));
    varno::link::Record left = log.record;
    left.text = "Hill~";
    const QString tilde = QString::fromStdString(varno::link::TerminalFileName(left, "vrn", ""));
    QDir().mkpath(root.filePath("a/vrn"));
    ASSERT_TRUE(QFile::rename(probe, root.filePath("a/vrn/" + tilde)));

    auto app = start();
    EXPECT_TRUE(QFile::exists(root.filePath("a/vrn/" + finalName)));
    EXPECT_FALSE(QFile::exists(root.filePath("a/vrn/" + tilde)));
    CKestalView* view = app->Frame()->fileList();
    ASSERT_EQ(view->topLevelItemCount(), 1);
    EXPECT_EQ(view->topLevelItem(0)->text(CKestalView::ColPcFile), finalName);
    EXPECT_EQ(view->topLevelItem(0)->text(CKestalView::ColName), "Hill");
}

TEST_F(KestalUi, NoStationMeansNoFolderCommands)
{
    auto app = start();
    EXPECT_EQ(app->Doc()->GetStationCount(), 0);
    for (int id : {ID_IMPORT, ID_CONVERT, ID_FOLDER_EXPORT, ID_FOLDER_DOCUMENTS, ID_EDIT_STATION, ID_CONNECT})
        EXPECT_FALSE(app->Frame()->action(id)->isEnabled()) << id;
    app->Frame()->Execute(ID_FOLDER_EXPORT);
    EXPECT_TRUE(urls.urls.isEmpty());
    EXPECT_TRUE(QDir(root.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(KestalUi, AboutNamesBothLibraries)
{
    auto app = start();
    QString shown;
    app->SetAboutRunner([&](const QString& text) { shown = text; });
    app->Frame()->Execute(ID_APP_ABOUT);
    const QStringList lines = shown.split("\r\n");
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "Kestal 3.0.4, \tAug 17 2006");
    EXPECT_FALSE(lines[1].isEmpty());
    EXPECT_FALSE(lines[2].isEmpty());
}

TEST_F(KestalUi, StationPropertiesProposesAndGuardsFolder)
{
    CStationPropertiesDlg dialog(root.path(), nullptr, [](const QString& p) { return p == "COM4"; });
    EXPECT_EQ(dialog.GetDataPath(), root.path() + "/new station");
    QStringList entries;
    for (int i = 0; i < dialog.connectUsingBox()->count(); ++i)
        entries << dialog.connectUsingBox()->itemText(i);
    EXPECT_EQ(entries, QStringList({"Modem", "COM1", "COM4"}));
    EXPECT_FALSE(dialog.phoneEdit()->isEnabled());
    dialog.nameEdit()->setText("Fjell: Nord/2");
    EXPECT_EQ(dialog.GetDataPath(), root.path() + "/Fjell_ Nord_2");
    dialog.connectUsingBox()->setCurrentText("Modem");
    EXPECT_TRUE(dialog.phoneEdit()->isEnabled());
    dialog.phoneEdit()->setText("0123");
    EXPECT_EQ(dialog.GetConnection(), "0123");

    dialog.nameEdit()->clear();
    dialog.accept();
    EXPECT_EQ(ui.texts(), QStringList{"Please enter the Station Name"});
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    // Another station's folder is never taken over.
    station("Taken", "Other");
    ui.clear();
    dialog.nameEdit()->setText("Taken");
    dialog.accept();
    ASSERT_EQ(ui.texts().size(), 1);
    EXPECT_TRUE(ui.texts()[0].contains("already holds a station"));
    dialog.nameEdit()->setText("Free");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(KestalUi, EditStationWritesBackWhatWasStored)
{
    ProgramSettings settings;
    settings.mainDataFolder = root.path();
    CKestalDoc doc(settings);
    // The dialog as it comes up, confirmed at once; COM1 to COM3 are free.
    std::vector<QString> shown;
    doc.SetStationEditor([&](StationEdit& v) {
        CStationPropertiesDlg dialog(root.path(), nullptr, [](const QString& p) { return QStringList({"COM1", "COM2", "COM3"}).contains(p); });
        dialog.SetValues(v.name, v.connection, v.password, v.dataPath);
        shown.push_back(dialog.connectUsingBox()->currentText());
        EXPECT_EQ(dialog.phoneEdit()->isEnabled(), dialog.connectUsingBox()->currentText() == "Modem");
        dialog.accept();
        v = {dialog.GetName(), dialog.GetConnection(), dialog.GetPassword(), dialog.GetDataPath()};
        return dialog.result() == QDialog::Accepted;
    });
    const QString cfg = root.filePath("s/station.cfg");
    for (const char* connection : {"COM9", "/dev/ttyUSB0", "COM2", "+44 161 555 0199", ""}) {
        const QByteArray stored = QByteArray("creator kestal 3.0\r\nstation M\xfchle\r\nconnection ") +
            connection + "\r\npassword p\xe4ss\r\n";
        writeFile(cfg, stored);
        doc.RebuildStationList();
        doc.OnEditStation();
        EXPECT_EQ(readFile(cfg), stored) << connection;
    }
    EXPECT_EQ(shown, (std::vector<QString>{"COM9", "/dev/ttyUSB0", "COM2", "Modem", "Modem"}));
}

TEST_F(KestalUi, StationPropertiesEditKeepsFolderAndLongValues)
{
    CStationPropertiesDlg dialog(root.path(), nullptr, [](const QString&) { return false; });
    const QString longName(40, 'n');
    dialog.SetValues(" " + longName + " ", " 0123 ", QString(20, 'p'), root.filePath("old"));
    EXPECT_EQ(dialog.GetName(), longName);
    EXPECT_EQ(dialog.GetPassword(), QString(20, 'p'));
    EXPECT_EQ(dialog.connectUsingBox()->currentText(), "Modem");
    EXPECT_EQ(dialog.phoneEdit()->text(), "0123");
    dialog.nameEdit()->setText("renamed");
    EXPECT_EQ(dialog.GetDataPath(), root.filePath("old"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(KestalUi, PreferencesDialogValuesAndBrowse)
{
    ProgramSettings s;
    s.mainDataFolder = "/data";
    s.modemPort = "COM3";
    s.modemInit = "X3";
    s.dialMethod = "tone";
    CPreferencesDlg dialog(s, nullptr, [](const QString& p) { return p == "COM1"; });
    QStringList ports;
    for (int i = 0; i < dialog.portBox()->count(); ++i)
        ports << dialog.portBox()->itemText(i);
    EXPECT_EQ(ports, QStringList({"COM1", "COM3"}));
    QStringList methods;
    for (int i = 0; i < dialog.dialMethodBox()->count(); ++i)
        methods << dialog.dialMethodBox()->itemText(i);
    EXPECT_EQ(methods, QStringList({"default", "pulse", "tone"}));
    EXPECT_EQ(dialog.values().dialMethod, "tone");
    ui.queueFileName("/chosen");
    dialog.browse();
    EXPECT_EQ(ui.events().back().caption, "Choose the Main Data Folder");
    EXPECT_EQ(dialog.values().mainDataFolder, "/chosen");
    dialog.portBox()->setCurrentText("/dev/ttyUSB0");
    EXPECT_EQ(dialog.values().modemPort, "/dev/ttyUSB0");
}

TEST_F(KestalUi, ImportDialogShowsIdentity)
{
    const std::vector<uint8_t> bytes = varno::testing::SampleLog("Hill", 3, 144);
    writeFile(root.filePath("x.vrn"), QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())));
    Launcher launcher(bin.path());
    CImportDlg dialog(root.filePath("x.vrn"), launcher);
    EXPECT_EQ(dialog.title(), "Hill");
    EXPECT_EQ(dialog.serialNumber(), "4711");
    EXPECT_TRUE(dialog.serialShown());
    EXPECT_EQ(dialog.version(), "2.5");
    EXPECT_EQ(dialog.startTime(), "2006-08-03 00:00:00");
    dialog.view();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].arguments, std::vector<std::string>{root.filePath("x.vrn").toStdString()});

    // Not a data log: defaults, "unknown" instrument and no serial field.
    writeFile(root.filePath("junk.vrn"), "hello");
    CImportDlg junk(root.filePath("junk.vrn"), launcher);
    EXPECT_EQ(junk.instrument(), "unknown");
    EXPECT_FALSE(junk.serialShown());
}

// The terminal runs in the numeric locale of its environment; an import shows the same
// numbers there as in the C locale.
TEST_F(KestalUi, ImportDialogShowsTheSameNumbersInACommaDecimalLocale)
{
    const std::vector<uint8_t> bytes = varno::testing::SampleLog("Hill", 3, 144);
    writeFile(root.filePath("x.vrn"), QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())));
    Launcher launcher(bin.path());
    const varno::testing::ScopedCommaLocale comma;
    if (!comma.active())
        GTEST_SKIP() << varno::testing::CommaLocale::missingReason();
    CImportDlg dialog(root.filePath("x.vrn"), launcher);
    EXPECT_EQ(dialog.version(), "2.5");
    EXPECT_EQ(dialog.serialNumber(), "4711");
    EXPECT_EQ(dialog.startTime(), "2006-08-03 00:00:00");
}

} // namespace

#include "KestalUiTest.moc"
