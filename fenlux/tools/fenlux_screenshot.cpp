// Renders the plotter's window with one or more data files open to a PNG picture, for the
// documentation. Run it with QT_QPA_PLATFORM=offscreen (see screenshot.sh).
//
//   fenlux_screenshot [--reader=program-for-.vrn] [--view=plot|rose|distribution]
//                     [--size=WIDTHxHEIGHT] [--plot-width=PIXELS] out.png file...
// --plot-width widens or narrows the window until the plot of the view has that width.
#include <fenlux/FenluxApp.h>
#include <fenlux/FenluxDoc.h>
#include <fenlux/FenluxPlot.h>
#include <fenlux/FenluxView.h>

#include <qtsupport/QtUserInteraction.h>

#include <QAction>
#include <QApplication>
#include <QFont>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace varno::fenlux;

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    varno::qtsupport::DefaultQtDialogs dialogs;
    QStringList arguments = QCoreApplication::arguments().mid(1);
    QString reader, view = QStringLiteral("plot");
    QSize size(1100, 720);
    int plotWidth = 0;
    while (!arguments.isEmpty() && arguments.front().startsWith(QLatin1String("--"))) {
        const QString option = arguments.takeFirst();
        const QString value = option.mid(option.indexOf(QLatin1Char('=')) + 1);
        if (option.startsWith(QLatin1String("--reader=")))
            reader = value;
        else if (option.startsWith(QLatin1String("--view=")))
            view = value;
        else if (option.startsWith(QLatin1String("--size=")))
            size = QSize(value.section(QLatin1Char('x'), 0, 0).toInt(), value.section(QLatin1Char('x'), 1, 1).toInt());
        else if (option.startsWith(QLatin1String("--plot-width=")))
            plotWidth = value.toInt();
    }
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: fenlux_screenshot [--reader=program] [--view=plot|rose|distribution] "
                             "out.png file...\n");
        return 2;
    }
    const QString out = arguments.takeFirst();
    QApplication::setFont(QFont(QStringLiteral("helvetica"), 10));
    // Keep the user's own plotter settings out of it.
    QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    if (!reader.isEmpty()) {
        QSettings settings(QStringLiteral("varno"), QStringLiteral("fenlux"));
        settings.setValue(QStringLiteral("fenlux/reader/.vrn/command"), reader);
    }

    FenluxApp window;
    window.resize(size);
    window.show();
    window.openStartupFiles(arguments);
    FenluxView* plot = window.activeView();
    if (!plot) {
        std::fprintf(stderr, "fenlux_screenshot: %s did not open\n", qPrintable(arguments.join(' ')));
        return 1;
    }
    if (view == QLatin1String("rose")) {
        window.action(QStringLiteral("Wind Rose"))->trigger();
    } else if (view == QLatin1String("distribution")) {
        window.action(QStringLiteral("Speed Distribution"))->trigger();
    } else {
        // The first function with all its statistics, the mean of the second, a day and a half.
        plot->headerClicked(1);
        plot->tableClicked(2, 0);
        plot->magnifySlider()->setValue(500);
        plot->originSlider()->setValue(plot->originSlider()->maximum() / 2);
    }
    QCoreApplication::processEvents();
    if (plotWidth > 0 && view == QLatin1String("plot")) {
        // Measured where the whole view fits: the plot takes every pixel the window gains.
        window.resize(std::max(window.width(), 2000), window.height());
        QCoreApplication::processEvents();
        window.resize(window.width() + plotWidth - plot->plot()->width(), window.height());
        QCoreApplication::processEvents();
    }
    if (!window.grab().save(out)) {
        std::fprintf(stderr, "fenlux_screenshot: cannot write %s\n", qPrintable(out));
        return 1;
    }
    return 0;
}
