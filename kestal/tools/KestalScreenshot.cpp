// Renders the terminal's main window over a few stations with monthly data logs into a PNG
// (docs/kestal-main.png):   kestal-screenshot <file.png>
#include <kestal/dialogs/KestalApp.h>
#include <kestal/stations/KestalDoc.h>
#include <kestal/dialogs/KestalView.h>
#include <kestal/dialogs/MainFrame.h>

#include <qtsupport/QtUserInteraction.h>

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>

using namespace varno::kestal;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
}

// Daily data logs (midnight to 23:50), each starting where the previous one ended.
void dailyLogs(const QString& vrn, uint32_t serial, int year, int month, int firstDay, int days,
               uint32_t start, const char* title)
{
    QDate date(year, month, firstDay);
    for (int i = 0; i < days; ++i) {
        const QDate next = date.addDays(1);
        const uint32_t length = 4300 + uint32_t((i * 37) % 200);
        const QString name = QString::asprintf("[%04u-%08u-%05u-%04u] [%s] [%s]  %s.vrn", serial, start,
                                               length, 1000 + i, qPrintable(date.toString("yyyy-MM-dd")),
                                               qPrintable(date.toString("yyyy-MM-dd 23_50_00")), title);
        writeFile(QDir(vrn).filePath(name), QByteArray(int(length) * 2, 'x'));
        start += length;
        date = next;
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config, root;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    varno::qtsupport::DefaultQtDialogs dialogs;
    if (argc < 2) {
        std::fprintf(stderr, "usage: kestal-screenshot <file.png>\n");
        return 2;
    }
    QCoreApplication::setOrganizationName("varno");
    QCoreApplication::setApplicationName("kestal");
    QSettings().setValue("folders/root", root.path());

    writeFile(root.filePath("Fjell_ Nord/station.cfg"), "station Fjell: Nord\r\nconnection 0047 7712 3456\r\n");
    writeFile(root.filePath("Hill Top/station.cfg"), "station Hill Top\r\nconnection COM3\r\n");
    writeFile(root.filePath("Kap Sud/station.cfg"), "station Kap Sud\r\nconnection COM2\r\n");
    writeFile(root.filePath("Oldham Moor/station.cfg"), "station Oldham Moor\r\nconnection 0161 555 0199\r\n");
    const QString vrn = root.filePath("Hill Top/vrn");
    dailyLogs(vrn, 1001, 2006, 6, 12, 19, 0, "Hill Top");
    dailyLogs(vrn, 1001, 2006, 7, 1, 31, 200000, "Hill Top");
    dailyLogs(vrn, 1001, 2006, 8, 1, 31, 400000, "Hill Top");
    dailyLogs(vrn, 1001, 2006, 9, 1, 14, 600000, "Hill Top tower 2");

    CKestalApp kestal(QCoreApplication::applicationDirPath() + "/kestal");
    if (!kestal.InitInstance({}, false))
        return 1;
    kestal.Doc()->SelectStation(1);
    CMainFrame* frame = kestal.Frame();
    frame->resize(1100, 560);
    frame->show();
    CKestalView* list = frame->fileList();
    if (list->topLevelItemCount() > 1)
        list->topLevelItem(list->topLevelItemCount() - 2)->setSelected(true);
    app.processEvents();
    if (!frame->grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "kestal-screenshot: unable to write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
