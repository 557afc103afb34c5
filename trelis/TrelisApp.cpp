#include "TrelisApp.h"

#include <QApplication>
#include <QFile>
#include <QSettings>

#include <memory>

#include <Lunebrig.h>
#include <Ostrel.h>
#include <OstrelQtUi.h>
#include <OstrelView.h>
#include <Text.h>
#include <WindowPlacement.h>

#include "TrelisDlg.h"
#include "TrelisIcon.h"

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
        files.push_back(varno::pathBytes(arg));
    }
    return files;
}

void RegisterViewer(const QString& executablePath)
{
    if (!executablePath.isEmpty())
        SetApplicationExePath("varno-viewer", varno::pathBytes(executablePath));
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
    varno::installOstrelQtUi();
    ostrelview_register();

    const std::vector<std::string> files = ViewerFileArguments(arguments);
    RegisterViewer(QCoreApplication::applicationFilePath());

    std::unique_ptr<COstrel> data(COstrel::newObject());
    LoadViewerFiles(*data, files);
    {
        CTrelisDlg dialog(data.get());
        QSettings settings;
        varno::restoreWindowPlacement(dialog, settings, dialog.size());
        dialog.exec();
        varno::saveWindowPlacement(dialog, settings);
    }
    return 0;
}
