// Draws the viewer offscreen on two generated station logs and saves the window as PNG.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

#include <ostrel/Ostrel.h>
#include <qtsupport/OstrelQtUi.h>
#include <qtsupport/QtUserInteraction.h>
#include <ostrel/view/OstrelView.h>

#include <testing/SampleLog.h>
#include <trelis/TrelisApp.h>
#include <trelis/TrelisDlg.h>

using namespace varno::trelis;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    varno::qtsupport::DefaultQtDialogs dialogs;
    if (argc != 2) {
        std::fprintf(stderr, "usage: trelis-screenshot <file.png>\n");
        return 2;
    }
    varno::qtsupport::installOstrelQtUi();
    ostrelview_register();

    QTemporaryDir folder;
    std::vector<std::string> files;
    const struct {
        const char* name;
        int day, seed, corruptAt;
    } logs[] = {{"Hochmoor [0001-00000017-00144].vrn", 17, 0, -1},
                {"Hochmoor [0002-00000018-00144].vrn", 18, 1, 5}};
    for (const auto& log : logs) {
        const auto bytes = varno::testing::SampleLog("Station Hochmoor", log.day, 144, 36,
                                                      log.seed, log.corruptAt);
        const QString path = QDir(folder.path()).filePath(log.name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
        files.push_back(QFile::encodeName(path).toStdString());
    }

    std::unique_ptr<COstrel> data(COstrel::newObject());
    LoadViewerFiles(*data, files);
    CTrelisDlg dialog(data.get());
    dialog.resize(860, 520);
    dialog.show();
    // Show the end of the first day and the start of the second, with its warning.
    int second = data->GetEntryCount() - 1;
    while (second > 0 && !(data->GetEntryFlags(second) & LOGF_IDENT))
        --second;
    dialog.GetView()->SetFirstIndex(second - 9);
    QApplication::processEvents();
    if (!dialog.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
