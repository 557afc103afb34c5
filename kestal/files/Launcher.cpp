#include <kestal/files/Launcher.h>

#include <lunebrig/Lunebrig.h>
#include <qtsupport/Text.h>
#include <qtsupport/UserInteraction.h>

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>

#include <string>
#include <vector>

namespace varno::kestal {

namespace {

Launcher::Starter& editorStarter()
{
    static Launcher::Starter starter;
    return starter;
}

bool startDetached(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

// The desktop entry of the text/plain handler, "" when there is none.
QString textHandler()
{
    if (QStandardPaths::findExecutable(QStringLiteral("xdg-mime")).isEmpty())
        return QString();
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"),
                                             QStringLiteral("text/plain")});
    if (!query.waitForFinished(3000))
        return QString();
    return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
}

} // namespace

Launcher::Launcher(QString programFolder) : m_programFolder(std::move(programFolder)) {}

QString Launcher::defaultPath(const char* file) const
{
    return QDir(m_programFolder).filePath(QString::fromLatin1(file));
}

bool Launcher::installed(const char* name, const char* file) const
{
    // The converter and the statistics viewer come from outside the suite, and their file
    // names are common: another "convert" on the search path would take the data logs as
    // its input and output files. Only a registered program or one beside ours is used.
    const std::string resolved = lunebrig_resolve(name, qtsupport::pathBytes(defaultPath(file)));
    return !resolved.empty() &&
        (resolved == GetApplicationExePath(name) || resolved == qtsupport::pathBytes(defaultPath(file)));
}

bool Launcher::OpenStationStatistics(const QString& path) const
{
    if (!installed("varno-brodmir", "brodmir"))
        return false;
    return LaunchApplication("varno-brodmir", qtsupport::pathBytes(path),
                             qtsupport::pathBytes(defaultPath("brodmir")));
}

bool Launcher::OpenInViewer(const QString& path) const
{
    return LaunchApplication("varno-viewer", qtsupport::pathBytes(path),
                             qtsupport::pathBytes(defaultPath("trelis")));
}

bool Launcher::launchList(const char* name, const char* file, const QStringList& paths,
                          const QString& workingFolder) const
{
    if (paths.isEmpty())
        return false;
    // Each path is one argument, as it is.
    std::vector<std::string> args;
    args.reserve(size_t(paths.size()));
    for (const QString& p : paths)
        args.push_back(qtsupport::pathBytes(p));
    std::vector<const char*> argv;
    argv.push_back(name);
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);
    return LaunchApplicationArgv(name, argv.data(), qtsupport::pathBytes(defaultPath(file)),
                                 qtsupport::pathBytes(workingFolder));
}

bool Launcher::ViewFiles(const QStringList& paths) const
{
    return launchList("varno-viewer", "trelis", paths, QString());
}

bool Launcher::ConvertFiles(const QStringList& paths, const QString& workingFolder) const
{
    if (!installed("varno-convert", "convert"))
        return false;
    return launchList("varno-convert", "convert", paths, workingFolder);
}

bool Launcher::PlotFiles(const QStringList& paths) const
{
    return launchList("varno-plotter", "fenlux", paths, QString());
}

void Launcher::SetEditorStarter(Starter starter) { editorStarter() = std::move(starter); }

bool Launcher::OpenInTextEditor(const QString& path) const
{
    const Starter start = editorStarter() ? editorStarter() : Starter(startDetached);
    const QString configured =
        QSettings().value(QStringLiteral("programs/texteditor")).toString().trimmed();
    if (!configured.isEmpty())
        return start(configured, {path});
    const QString handler = textHandler();
    if (!handler.isEmpty() && !QStandardPaths::findExecutable(QStringLiteral("gtk-launch")).isEmpty()) {
        QString entry = handler;
        if (entry.endsWith(QLatin1String(".desktop")))
            entry.chop(8);
        if (start(QStringLiteral("gtk-launch"), {entry, path}))
            return true;
    }
    return start(QStringLiteral("xdg-open"), {path});
}

bool Launcher::MakeFolderChain(const QString& folder)
{
    return !folder.isEmpty() && QDir().mkpath(folder);
}

bool Launcher::BrowseForFolder(const QString& title, QString& folder)
{
    const QString chosen = qtsupport::userInteraction().existingFolder(title, folder);
    if (chosen.isEmpty())
        return false;
    folder = chosen;
    return true;
}

} // namespace varno::kestal
