#include <fenlux/FenluxReader.h>

#include <fenlux/FenluxDoc.h>
#include <fenlux/LineFeeder.h>

#include <qtsupport/UserInteraction.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <cstdio>

namespace varno::fenlux {

namespace {

const char kReaderGroup[] = "fenlux/reader";
const char kDefaultCommand[] = "ostrel";

} // namespace

FenluxReader::FenluxReader(const QString& command, const QString& options, QObject* parent)
    : QObject(parent), m_command(command), m_options(options)
{
}

FenluxReader::~FenluxReader()
{
    stopChild();
}

std::unique_ptr<FenluxReader> FenluxReader::forPath(const QString& path)
{
    QSettings settings(QStringLiteral("varno"), QStringLiteral("fenlux"));
    settings.beginGroup(QLatin1String(kReaderGroup));
    for (const QString& ending : settings.childGroups()) {
        if (!path.endsWith(ending, Qt::CaseInsensitive))
            continue;
        const QString command = settings.value(ending + QStringLiteral("/command"),
                                               QLatin1String(kDefaultCommand)).toString();
        const QString options = settings.value(ending + QStringLiteral("/options")).toString();
        return std::make_unique<FenluxReader>(command, options);
    }
    return nullptr;
}

void FenluxReader::writeDefaults()
{
    QSettings settings(QStringLiteral("varno"), QStringLiteral("fenlux"));
    const QString base = QStringLiteral("%1/.vrn/").arg(QLatin1String(kReaderGroup));
    const QString command =
        settings.value(base + QStringLiteral("command"), QLatin1String(kDefaultCommand)).toString();
    const QString options = settings.value(base + QStringLiteral("options"), QString()).toString();
    const QString description =
        settings.value(base + QStringLiteral("description"), QStringLiteral("varno data files"))
            .toString();
    settings.setValue(base + QStringLiteral("command"), command);
    settings.setValue(base + QStringLiteral("options"), options);
    settings.setValue(base + QStringLiteral("description"), description);
}

QString FenluxReader::resolveCommand(const QString& command)
{
    if (command.isEmpty() || command.contains(QLatin1Char('/')))
        return command;
    const QFileInfo beside(QDir(QCoreApplication::applicationDirPath()), command);
    if (beside.isFile() && beside.isExecutable())
        return beside.absoluteFilePath();
    const QString found = QStandardPaths::findExecutable(command);
    return found.isEmpty() ? command : found;
}

void FenluxReader::abort()
{
    m_abort = true;
}

void FenluxReader::stopChild()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

bool FenluxReader::read(const QString& path, FenluxDoc* doc)
{
    QStringList arguments;
    if (!m_options.isEmpty())
        arguments << m_options;
    arguments << path;
    m_process.setProgram(resolveCommand(m_command));
    m_process.setArguments(arguments);
    // The reader's own messages go where ours go; nothing here reads them.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QIODevice::ReadOnly);
    if (!m_process.waitForStarted(-1)) {
        std::fputs("Unable to start reader process.\n", stderr);
        qtsupport::userInteraction().message(QStringLiteral("Unable to start reader process: ") + m_command,
                                         QStringLiteral("Read Error"),
                                         qtsupport::UserInteraction::Icon::Critical);
        return false;
    }

    LineFeeder feeder;
    auto onLine = [doc](const char* line) {
        doc->appendLine(line);
        return true;
    };
    auto drain = [&] {
        const QByteArray bytes = m_process.readAllStandardOutput();
        if (!bytes.isEmpty())
            feeder.feed(bytes.constData(), size_t(bytes.size()), onLine);
    };
    while (m_process.state() != QProcess::NotRunning && !m_abort) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        if (m_abort)
            break;
        if (m_process.bytesAvailable() == 0)
            m_process.waitForReadyRead(100);
        drain();
    }
    if (m_abort) {
        m_abort = false;
        stopChild();
        return false;
    }
    drain();
    feeder.finish(onLine);
    return true;
}

} // namespace varno::fenlux
