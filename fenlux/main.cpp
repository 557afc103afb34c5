#include <fenlux/FenluxApp.h>
#include <fenlux/FenluxCommandLine.h>
#include <fenlux/FenluxExport.h>

#include <qtsupport/QtUserInteraction.h>
#include <qtsupport/WindowPlacement.h>

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QLocale>
#include <QSettings>
#include <QTranslator>

#include <cstring>

using namespace varno::fenlux;

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
    const bool exporting = varno::fenlux::isExportCommand(argumentList(argc, argv));
    if (exporting && !platformChosen(argc, argv))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    varno::qtsupport::DefaultQtDialogs dialogs;
    QApplication::setFont(QFont(QStringLiteral("helvetica"), 10));
    QStringList files = QCoreApplication::arguments();
    files.removeFirst();
    if (exporting)
        return varno::fenlux::runExport(files);

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
    dialogs.setParent(&window);
    {
        QSettings settings(QStringLiteral("varno"), QStringLiteral("fenlux"));
        varno::qtsupport::restoreWindowPlacement(window, settings, window.size());
    }
    window.show();
    window.openStartupFiles(files);
    const int status = app.exec();
    dialogs.setParent(nullptr);
    return status;
}
