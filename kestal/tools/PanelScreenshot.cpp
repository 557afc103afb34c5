// Renders a window of the terminal connected to a simulated instrument into a PNG:
//   kestal-panel-screenshot <file.png> [panel|files|setup|function]
// panel: the instrument panel (docs/kestal-panel.png); files: the data-file list after some
// of the instrument's data logs were transferred and the running one has grown since
// (docs/kestal-files.png); setup: the Instrument Setup sheet's first page
// (docs/kestal-setup.png); function: the function editor on the instrument's last function
// (docs/kestal-function.png). Without a display it draws offscreen in the font an X11
// session gives by default.
#include <kestal/dialogs/FunctionsPage.h>
#include <kestal/instrument/InstrumentCommands.h>
#include <kestal/dialogs/InstrumentPanel.h>
#include <kestal/dialogs/KestalApp.h>
#include <kestal/stations/KestalDoc.h>
#include <kestal/dialogs/KestalView.h>
#include <kestal/dialogs/MainFrame.h>
#include <kestal/dialogs/SetupSheet.h>
#include <kestal/stations/StationConfig.h>

#include <quorvalin/Quorvalin.h>
#include <qtsupport/QtUserInteraction.h>
#include <qtsupport/Text.h>

#include <quorvalin/sim/Bench.h>
#include <quorvalin/sim/Instrument.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFont>
#include <QHeaderView>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <fstream>

using namespace varno::kestal;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config, root, bench;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    qputenv("QUORVALIN_BENCH", bench.path().toLocal8Bit());
    QApplication app(argc, argv);
    varno::qtsupport::DefaultQtDialogs dialogs;
    const QString what = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("panel");
    if (argc < 2 || !QStringList{"panel", "files", "setup", "function"}.contains(what)) {
        std::fprintf(stderr, "usage: kestal-panel-screenshot <file.png> [panel|files|setup|function]\n");
        return 2;
    }
    // The offscreen platform has no desktop theme, and its default font is larger.
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
    QCoreApplication::setOrganizationName("varno");
    QCoreApplication::setApplicationName("kestal");
    QSettings().setValue("folders/root", root.path());

    // A simulated instrument on COM3 with a week of history, at a fixed time.
    const std::string benchPath = bench.path().toStdString();
    std::ofstream(benchPath + "/ports.txt") << "COM1\nCOM2\nCOM3\n";
    const int64_t now = varno::sim::fromCivil(2026, 3, 15, 12, 0, 0);
    varno::sim::setFrozenClock(benchPath, now);
    varno::sim::Instrument in;
    in.serial = 4711;
    in.port = "COM3";
    in.title = "Hill Top";
    in.passwords[1] = "read";
    in.passwords[2] = "varno";
    in.setDefaultFunctions();
    if (what == "function")
        in.functions.push_back({"speed", 0x07, "( a ^ 2 + b ^ 2 ) ^ 0.5 "});
    in.buildHistory(now, 7, 5);
    in.generation = 1;
    QDir().mkpath(bench.filePath("hilltop"));
    if (!in.save(bench.filePath("hilltop").toStdString(), true)) {
        std::fprintf(stderr, "kestal-panel-screenshot: unable to create the instrument\n");
        return 1;
    }
    varno::kestal::WriteStationConfig(QDir(root.path()).filePath("Hill Top"), "Hill Top", "COM3", "varno");
    varno::kestal::WriteStationConfig(QDir(root.path()).filePath("Kap Sud"), "Kap Sud", "COM2", "");

    CKestalApp kestal(QCoreApplication::applicationDirPath() + "/kestal");
    kestal.SetConnectDialog([](ConnectRequest&) { return true; });
    if (!kestal.InitInstance({}, false))
        return 1;
    CKestalDoc* doc = kestal.Doc();
    doc->Timing().now = [] { return QDateTime(QDate(2026, 3, 15), QTime(12, 0, 0)); };
    doc->SelectStation(0);
    CMainFrame* frame = kestal.Frame();
    frame->resize(1100, 760);
    frame->show();
    frame->Execute(varno::kestal::ID_CONNECT);
    if (!doc->IsConnected()) {
        std::fprintf(stderr, "kestal-panel-screenshot: not connected\n");
        return 1;
    }
    doc->StartValuesJob();
    doc->WaitForJobs();
    frame->leftView()->panel()->Refresh();
    app.processEvents();

    varno::kestal::InstrumentSession& session = kestal.Instrument()->Session();
    CSetupSheet sheet(session, true, frame);
    CFunctionEditorDlg editor(frame);
    QWidget* shown = frame->leftView();
    if (what == "setup") {
        shown = &sheet;
    } else if (what == "function") {
        // The instrument's last function, as Change opens it.
        session.Read([&](CQuorvalin& link) {
            int last = 0;
            while (!link.GetFunctionName(last + 1).empty())
                ++last;
            editor.SetValues({varno::qtsupport::textFromBytes(link.GetFunctionName(last)),
                              varno::qtsupport::textFromBytes(link.GetFunctionDefinition(last)), link.GetFunctionStatistics(last)});
        });
        shown = &editor;
    }
    if (what == "files") {
        // Some data logs transferred, one left out, and the running one grown by two hours.
        CKestalView& files = *frame->fileList();
        for (int row : {0, 1, 3, 4})
            files.topLevelItem(row)->setSelected(true);
        frame->Execute(varno::kestal::ID_TRANSFER);
        files.clearSelection();
        varno::sim::setFrozenClock(benchPath, now + 7200);
        files.tick();
        // The states, which the list keeps in closed columns, dragged open in a wide window.
        frame->resize(1500, 760);
        files.header()->resizeSection(CKestalView::ColPcFile, 470);
        files.header()->resizeSection(CKestalView::ColStatus, 130);
        app.processEvents();
        const QRect rows = files.visualItemRect(files.topLevelItem(files.topLevelItemCount() - 1));
        const QRect area(0, 0, files.width(), files.header()->height() + rows.bottom() + 8);
        if (!files.grab(area).save(QString::fromLocal8Bit(argv[1]))) {
            std::fprintf(stderr, "kestal-panel-screenshot: unable to write %s\n", argv[1]);
            return 1;
        }
        doc->Disconnect();
        return 0;
    }
    if (shown != frame->leftView()) {
        shown->show();
        app.processEvents();
    }
    if (!shown->grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "kestal-panel-screenshot: unable to write %s\n", argv[1]);
        return 1;
    }
    doc->Disconnect();
    return 0;
}
