#include <fenlux/FenluxCommandLine.h>

#include <fenlux/FenluxDoc.h>
#include <fenlux/FenluxPicture.h>
#include <fenlux/FenluxReader.h>
#include <fenlux/FenluxView.h>
#include <fenlux/FenluxWindView.h>

#include <qtsupport/UserInteraction.h>

#include <QFile>

#include <cstdio>
#include <memory>

namespace varno::fenlux {

namespace {

// Size of the pictures a run draws.
const QSize kPictureSize(1200, 800);

void fail(const QString& text)
{
    std::fprintf(stderr, "fenlux: %s\n", text.toLocal8Bit().constData());
}

// Nobody to ask: messages go to the error stream, questions get their safe answer and
// choosers are cancelled.
class ConsoleInteraction : public qtsupport::UserInteraction {
public:
    void message(const QString& text, const QString&, Icon = Icon::Information) override { fail(text); }
    Answer question(const QString& text, const QString&, Buttons buttons, Icon = Icon::Question) override
    {
        fail(text);
        return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
    void about(const QString&, const QString&) override {}
    QString openFileName(const QString&, const QString&, const QString&) override { return QString(); }
    QStringList openFileNames(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return QString(); }
    QString existingFolder(const QString&, const QString&) override { return QString(); }
    bool setUpPrinter(QPrinter&) override { return false; }
    void beginWaitCursor() override {}
    void endWaitCursor() override {}
    void beep() override {}
};

// Installs the console interaction for the run.
struct ConsoleScope {
    ConsoleInteraction console;
    ConsoleScope() { qtsupport::setUserInteraction(&console); }
    ~ConsoleScope() { qtsupport::setUserInteraction(nullptr); }
};

// The files read into one document, each appended to the first.
std::unique_ptr<FenluxDoc> readMeasurement(const QStringList& files)
{
    std::unique_ptr<FenluxDoc> first;
    for (const QString& file : files) {
        QFile probe(file);
        if (file != QLatin1String("-") && !probe.open(QIODevice::ReadOnly)) {
            fail(QStringLiteral("cannot read %1: %2").arg(file, probe.errorString()));
            return nullptr;
        }
        auto doc = std::make_unique<FenluxDoc>(nullptr);
        if (!doc->openFile(file)) {
            fail(QStringLiteral("cannot read %1: it holds no table of times and values").arg(file));
            return nullptr;
        }
        if (!first) {
            first = std::move(doc);
        } else if (!first->appendDocument(doc.get())) {
            fail(QStringLiteral("%1 does not continue %2: its columns differ").arg(file, files.front()));
            return nullptr;
        }
    }
    return first;
}

// The column named by an option, else the default; false (with a message) when none.
bool pickColumn(const FenluxData& data, const QString& option, const QString& name, bool direction,
                int fallback, int* column)
{
    *column = name.isEmpty() ? fallback : findColumn(data, name, direction);
    if (*column >= 0)
        return true;
    if (name.isEmpty())
        fail(QStringLiteral("no %1 column found: name one with --%1=<column>").arg(option));
    else
        fail(QStringLiteral("no column named %1").arg(name));
    return false;
}

} // namespace

int runExport(const QStringList& arguments)
{
    ExportRequest request;
    QString error;
    if (!parseExportArguments(arguments, &request, &error)) {
        fail(error);
        return 1;
    }
    ConsoleScope console;
    // As the main window does at start: the store names the reader of data logs.
    FenluxReader::writeDefaults();
    const std::unique_ptr<FenluxDoc> doc = readMeasurement(request.files);
    if (!doc)
        return 1;
    const FenluxData& data = doc->data();
    const bool rose = request.view == ExportRequest::View::Rose;
    const bool wind = request.view != ExportRequest::View::Plot;
    // A wind view needs its columns; a plot shows the columns named, else every curve.
    int direction = -1, speed = -1;
    if ((rose || !request.direction.isEmpty())
        && !pickColumn(data, QStringLiteral("direction"), request.direction, true, defaultDirectionColumn(data),
                       &direction))
        return 1;
    const int speedFallback = defaultSpeedColumn(data, direction >= 0 ? direction : defaultDirectionColumn(data));
    if ((wind || !request.speed.isEmpty())
        && !pickColumn(data, QStringLiteral("speed"), request.speed, false, speedFallback, &speed))
        return 1;

    ExportSource source;
    std::unique_ptr<QWidget> view;
    QString summary;
    if (rose) {
        auto* roseView = new FenluxRoseView(doc.get(), nullptr);
        view.reset(roseView);
        roseView->setSpeedColumn(speed);
        roseView->setDirectionColumn(direction);
        roseView->setSectors(request.sectors);
        source = exportSourceOf(*roseView);
    } else if (wind) {
        auto* distribution = new FenluxDistributionView(doc.get(), nullptr);
        view.reset(distribution);
        distribution->setSpeedColumn(speed);
        distribution->setBinWidth(request.binWidth);
        source = exportSourceOf(*distribution);
        summary = distribution->summaryLine();
        if (!distribution->distribution().fit.ok)
            fail(QStringLiteral("no Weibull fit: ") + QString::fromStdString(distribution->distribution().fit.reason));
    } else {
        auto* plotView = new FenluxView(doc.get());
        view.reset(plotView);
        if (speed < 0 && direction < 0)
            plotView->showAllFunctions();
        for (int column : {speed, direction})
            if (column >= 0 && !plotView->isShown(column))
                plotView->tableClicked(data.column(column)->group - 1, data.column(column)->kind);
        source = exportSourceOf(*plotView);
    }
    if (!exportTo(source, request.path, kPictureSize, &error)) {
        fail(QStringLiteral("cannot write %1: %2").arg(request.path, error));
        return 1;
    }
    if (!summary.isEmpty())
        std::printf("%s\n", summary.toLatin1().constData());
    return 0;
}

} // namespace varno::fenlux
