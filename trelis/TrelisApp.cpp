#include <trelis/TrelisApp.h>

#include <QApplication>
#include <QFile>
#include <QSettings>

#include <memory>

#include <lunebrig/Lunebrig.h>
#include <ostrel/Ostrel.h>
#include <qtsupport/OstrelQtUi.h>
#include <ostrel/view/OstrelView.h>
#include <qtsupport/Text.h>
#include <qtsupport/WindowPlacement.h>

#include <trelis/TrelisDlg.h>
#include <trelis/TrelisIcon.h>

namespace varno::trelis {

std::vector<std::string> ViewerFileArguments(const QStringList& arguments)
{
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && arg.startsWith('-'))
            continue; // an option of the platform, nothing for the viewer
        files.push_back(qtsupport::pathBytes(arg));
    }
    return files;
}

void RegisterViewer(const QString& executablePath)
{
    if (!executablePath.isEmpty())
        SetApplicationExePath("varno-viewer", qtsupport::pathBytes(executablePath));
}

void LoadViewerFiles(COstrel& data, const std::vector<std::string>& files)
{
    if (files.empty()) {
        data.Load(std::string());
        return;
    }
    for (const std::string& file : files)
        data.Load(file);
}

int RunViewer(const QStringList& arguments)
{
    QCoreApplication::setOrganizationName("varno");
    QCoreApplication::setApplicationName("trelis");
    QApplication::setWindowIcon(TrelisIcon());
    qtsupport::installOstrelQtUi();
    ostrelview_register();

    const std::vector<std::string> files = ViewerFileArguments(arguments);
    RegisterViewer(QCoreApplication::applicationFilePath());

    std::unique_ptr<COstrel> data(COstrel::newObject());
    LoadViewerFiles(*data, files);
    {
        CTrelisDlg dialog(data.get());
        QSettings settings;
        qtsupport::restoreWindowPlacement(dialog, settings, dialog.size());
        dialog.exec();
        qtsupport::saveWindowPlacement(dialog, settings);
    }
    return 0;
}

} // namespace varno::trelis
