#include "FenluxApp.h"
#include "FenluxCommandLine.h"
#include "FenluxExport.h"

#include <QtUserInteraction.h>
#include <WindowPlacement.h>

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

#include <cstring>

namespace {

QStringList argumentList(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

bool platformChosen(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strncmp(argv[i], "-platform=", 10) == 0)
            return true;
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

int main(int argc, char** argv)
{
    // An export needs no display: a scheduled job runs without one.
    const bool exporting = fenlux::isExportCommand(argumentList(argc, argv));
    if (exporting && !platformChosen(argc, argv))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("helvetica"), 10));
    QStringList files = QCoreApplication::arguments();
    files.removeFirst();
    if (exporting)
        return fenlux::runExport(files);

    // Translations live beside the program or in the shared data folder.
    QTranslator translator;
    const QString programDir = QCoreApplication::applicationDirPath();
    for (const QString& dir : {programDir, programDir + QStringLiteral("/../share/fenlux")}) {
        if (translator.load(QLocale(), QStringLiteral("fenlux"), QStringLiteral("."), dir)) {
            QCoreApplication::installTranslator(&translator);
            break;
        }
    }

    FenluxApp window;
    // Message boxes and dialogs belong to the main window.
    varno::QtUserInteraction dialogs(&window);
    varno::setUserInteraction(&dialogs);
    {
        QSettings settings(QStringLiteral("varno"), QStringLiteral("fenlux"));
        varno::restoreWindowPlacement(window, settings, window.size());
    }
    window.show();
    window.openStartupFiles(files);
    const int status = app.exec();
    varno::setUserInteraction(nullptr);
    return status;
}
