#include <lunebrig/Lunebrig.h>

#include <mutex>

#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

namespace {

const char* const kGroup = "applications";

std::mutex g_starterMutex;
LunebrigStarter g_starter;

QString qs(const std::string& s) { return QString::fromStdString(s); }

bool nameUsable(const std::string& name)
{
    // The name is a settings key: a separator would turn it into a sub-group.
    return !name.empty() && name.find('/') == std::string::npos
        && name.find('\\') == std::string::npos;
}

bool isExecutableFile(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

bool startDetached(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& workingDirectory)
{
    QStringList args;
    for (const std::string& a : arguments)
        args << qs(a);
    return QProcess::startDetached(qs(program), args, qs(workingDirectory));
}

bool isFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool launch(const std::string& name, const std::vector<std::string>& arguments,
            const std::string& defaultPath, const std::string& workingDirectory)
{
    // A detached start that cannot enter its folder would run in ours instead: start nothing.
    if (!workingDirectory.empty() && !isFolder(workingDirectory))
        return false;
    const std::string program = lunebrig_resolve(name, defaultPath);
    if (program.empty())
        return false;
    LunebrigStarter starter;
    {
        std::lock_guard<std::mutex> lock(g_starterMutex);
        starter = g_starter;
    }
    if (starter)
        return starter(program, arguments, workingDirectory);
    return startDetached(program, arguments, workingDirectory);
}

} // namespace

bool SetApplicationExePath(const std::string& name, const std::string& path)
{
    if (!nameUsable(name) || path.empty())
        return false;
    QSettings settings("varno", "lunebrig");
    settings.beginGroup(kGroup);
    // Stored absolute: the program may be started from any folder.
    settings.setValue(qs(name), QFileInfo(qs(path)).absoluteFilePath());
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

std::string GetApplicationExePath(const std::string& name)
{
    if (!nameUsable(name))
        return std::string();
    QSettings settings("varno", "lunebrig");
    settings.beginGroup(kGroup);
    return settings.value(qs(name)).toString().toStdString();
}

std::string lunebrig_resolve(const std::string& name, const std::string& defaultPath)
{
    const QString registered = qs(GetApplicationExePath(name));
    if (isExecutableFile(registered))
        return registered.toStdString();
    const QString fallback = qs(defaultPath);
    if (isExecutableFile(fallback))
        return fallback.toStdString();
    // Last resort: the program's file name on the search path.
    QString base = QFileInfo(fallback).fileName();
    if (base.isEmpty())
        base = QFileInfo(registered).fileName();
    if (base.isEmpty())
        return std::string();
    return QStandardPaths::findExecutable(base).toStdString();
}

std::string lunebrig_besideprogram(const std::string& fileName)
{
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0 || size_t(n) >= sizeof buf - 1)
        return std::string();
    std::string self(buf, size_t(n));
    const size_t slash = self.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    return self.substr(0, slash + 1) + fileName;
}

bool LaunchApplication(const std::string& name, const std::string& argument,
                       const std::string& defaultPath, const std::string& workingDirectory)
{
    std::vector<std::string> arguments;
    if (!argument.empty())
        arguments.push_back(argument);
    return launch(name, arguments, defaultPath, workingDirectory);
}

bool LaunchApplicationArgv(const std::string& name, const char* const* argv,
                           const std::string& defaultPath, const std::string& workingDirectory)
{
    std::vector<std::string> arguments;
    if (argv && argv[0]) {
        for (const char* const* p = argv + 1; *p; ++p)
            arguments.emplace_back(*p);
    }
    return launch(name, arguments, defaultPath, workingDirectory);
}

void lunebrig_setstarter(LunebrigStarter starter)
{
    std::lock_guard<std::mutex> lock(g_starterMutex);
    g_starter = std::move(starter);
}
