#include "FenluxApp.h"

#include <QtUserInteraction.h>

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QLocale>
#include <QTranslator>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("helvetica"), 10));

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
    window.show();
    QStringList files = QCoreApplication::arguments();
    files.removeFirst();
    window.openStartupFiles(files);
    const int status = app.exec();
    varno::setUserInteraction(nullptr);
    return status;
}
