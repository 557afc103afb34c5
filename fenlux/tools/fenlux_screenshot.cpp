// Renders the plotter's window with one data file open to a PNG picture, for the
// documentation. Run it with QT_QPA_PLATFORM=offscreen (see screenshot.sh).
//
//   fenlux_screenshot out.png file [reader-program-for-.vrn]
#include "FenluxApp.h"
#include "FenluxDoc.h"
#include "FenluxView.h"

#include <QApplication>
#include <QFont>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: fenlux_screenshot out.png file [reader]\n");
        return 2;
    }
    QApplication::setFont(QFont(QStringLiteral("helvetica"), 10));
    // Keep the user's own plotter settings out of it.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    if (argc > 3) {
        QSettings settings(QStringLiteral("varno"), QStringLiteral("fenlux"));
        settings.setValue(QStringLiteral("fenlux/reader/.vrn/command"), QString::fromLocal8Bit(argv[3]));
    }

    FenluxApp window;
    window.resize(1100, 720);
    window.show();
    window.openStartupFiles({QString::fromLocal8Bit(argv[2])});
    FenluxView* view = window.activeView();
    if (!view) {
        std::fprintf(stderr, "fenlux_screenshot: %s did not open\n", argv[2]);
        return 1;
    }
    // The first function with all its statistics, the mean of the second, a closer look.
    view->headerClicked(1);
    view->tableClicked(2, 0);
    view->magnifySlider()->setValue(250);
    view->originSlider()->setValue(view->originSlider()->maximum() / 2);
    QCoreApplication::processEvents();
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "fenlux_screenshot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
