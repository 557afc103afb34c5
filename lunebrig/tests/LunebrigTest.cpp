#include <lunebrig/Lunebrig.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>

#include <cstdlib>

namespace {

struct Start {
    std::string program;
    std::vector<std::string> arguments;
    std::string folder;
};

class LunebrigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_config.isValid());
        ASSERT_TRUE(m_folder.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_config.path());
        QSettings("varno", "lunebrig").clear();
        lunebrig_setstarter([this](const std::string& program,
                                   const std::vector<std::string>& arguments,
                                   const std::string& folder) {
            m_starts.push_back({program, arguments, folder});
            return m_startResult;
        });
        m_savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    }
    void TearDown() override
    {
        lunebrig_setstarter(nullptr);
        setenv("PATH", m_savedPath.c_str(), 1);
    }

    // An executable shell script in the temporary folder.
    std::string makeProgram(const QString& name, const QByteArray& body = "exit 0\n")
    {
        const QString path = QDir(m_folder.path()).filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path.toStdString();
    }

    QTemporaryDir m_config;
    QTemporaryDir m_folder;
    std::vector<Start> m_starts;
    bool m_startResult = true;
    std::string m_savedPath;
};

TEST_F(LunebrigTest, RegistrationIsKeptPerUserUnderTheApplicationsGroup)
{
    EXPECT_EQ(GetApplicationExePath("varno-viewer"), "");
    EXPECT_TRUE(SetApplicationExePath("varno-viewer", "/opt/varno/bin/trelis"));
    EXPECT_EQ(GetApplicationExePath("varno-viewer"), "/opt/varno/bin/trelis");
    EXPECT_TRUE(SetApplicationExePath("varno-viewer", "/usr/bin/trelis"));
    EXPECT_EQ(GetApplicationExePath("varno-viewer"), "/usr/bin/trelis");

    QSettings settings("varno", "lunebrig");
    EXPECT_EQ(settings.value("applications/varno-viewer").toString(), "/usr/bin/trelis");
    // A relative path is kept as the absolute path it names now.
    EXPECT_TRUE(SetApplicationExePath("varno-terminal", "bin/kestal"));
    EXPECT_EQ(GetApplicationExePath("varno-terminal"),
              QDir::current().absoluteFilePath("bin/kestal").toStdString());

    // Names that are not plain keys, and empty paths, are refused.
    EXPECT_FALSE(SetApplicationExePath("", "/x"));
    EXPECT_FALSE(SetApplicationExePath("a/b", "/x"));
    EXPECT_FALSE(SetApplicationExePath("a\\b", "/x"));
    EXPECT_FALSE(SetApplicationExePath("varno-plotter", ""));
    EXPECT_EQ(GetApplicationExePath("a/b"), "");
}

TEST_F(LunebrigTest, ProgramChoiceFallsBackFromRegisteredToDefaultToSearchPath)
{
    const std::string registered = makeProgram("registered");
    const std::string fallback = makeProgram("trelis");
    SetApplicationExePath("varno-viewer", registered);
    EXPECT_EQ(lunebrig_resolve("varno-viewer", fallback), registered);

    // A registered path that no longer exists, or is not executable, is passed over.
    SetApplicationExePath("varno-viewer", m_folder.path().toStdString() + "/gone");
    EXPECT_EQ(lunebrig_resolve("varno-viewer", fallback), fallback);
    QFile(QString::fromStdString(registered)).setPermissions(QFile::ReadOwner);
    SetApplicationExePath("varno-viewer", registered);
    EXPECT_EQ(lunebrig_resolve("varno-viewer", fallback), fallback);

    // Neither usable: the default's file name on the search path.
    QDir(m_folder.path()).mkdir("onpath");
    const QString onPath = QDir(m_folder.path()).filePath("onpath");
    const std::string found = makeProgram("onpath/fenlux");
    setenv("PATH", onPath.toLocal8Bit().constData(), 1);
    EXPECT_EQ(lunebrig_resolve("varno-plotter", "/nowhere/fenlux"), found);
    EXPECT_EQ(lunebrig_resolve("varno-plotter", "/nowhere/convert"), "");
    EXPECT_EQ(lunebrig_resolve("varno-plotter", ""), "");
}

TEST_F(LunebrigTest, ArgumentsPassVerbatimWithoutQuotesOrCuts)
{
    const std::string program = makeProgram("fenlux");
    const std::string longName = "/data/" + std::string(2000, 'x') + ".vrn";
    const char* argv[] = {"varno-plotter", "/my data/a [1].vrn", longName.c_str(), "\"q\"",
                          nullptr};
    ASSERT_TRUE(LaunchApplicationArgv("varno-plotter", argv, program, "/tmp"));
    ASSERT_EQ(m_starts.size(), 1u);
    EXPECT_EQ(m_starts[0].program, program);
    EXPECT_EQ(m_starts[0].arguments,
              (std::vector<std::string>{"/my data/a [1].vrn", longName, "\"q\""}));
    EXPECT_EQ(m_starts[0].folder, "/tmp");

    ASSERT_TRUE(LaunchApplication("varno-viewer", "/my data/x.vrn", program));
    EXPECT_EQ(m_starts[1].arguments, (std::vector<std::string>{"/my data/x.vrn"}));
    EXPECT_EQ(m_starts[1].folder, "");

    // An empty argument and a vector of the name alone start without arguments.
    ASSERT_TRUE(LaunchApplication("varno-viewer", "", program));
    EXPECT_TRUE(m_starts[2].arguments.empty());
    const char* nameOnly[] = {"varno-viewer", nullptr};
    ASSERT_TRUE(LaunchApplicationArgv("varno-viewer", nameOnly, program));
    EXPECT_TRUE(m_starts[3].arguments.empty());
    ASSERT_TRUE(LaunchApplicationArgv("varno-viewer", nullptr, program));
    EXPECT_TRUE(m_starts[4].arguments.empty());
}

TEST_F(LunebrigTest, DefaultPathsLieBesideTheRunningProgram)
{
    const std::string path = lunebrig_besideprogram("trelis");
    EXPECT_EQ(QFileInfo(QString::fromStdString(path)).absolutePath(),
              QFileInfo(QFile::symLinkTarget("/proc/self/exe")).absolutePath());
    EXPECT_EQ(QFileInfo(QString::fromStdString(path)).fileName(), "trelis");
}

TEST_F(LunebrigTest, FalseWhenNothingCanBeStarted)
{
    setenv("PATH", m_folder.path().toLocal8Bit().constData(), 1);
    EXPECT_FALSE(LaunchApplication("varno-brodmir", "/x.sta", "/nowhere/brodmir"));
    const char* argv[] = {"varno-convert", "/x.vrn", nullptr};
    EXPECT_FALSE(LaunchApplicationArgv("varno-convert", argv, "/nowhere/convert"));
    EXPECT_TRUE(m_starts.empty());

    // A start that fails is reported as such.
    m_startResult = false;
    EXPECT_FALSE(LaunchApplication("varno-viewer", "/x.vrn", makeProgram("trelis")));
    EXPECT_EQ(m_starts.size(), 1u);
}

TEST_F(LunebrigTest, AWorkingFolderThatDoesNotExistStartsNothing)
{
    const std::string program = makeProgram("convert");
    const std::string missing = m_folder.path().toStdString() + "/export";
    const char* argv[] = {"varno-convert", "/x.vrn", nullptr};
    EXPECT_FALSE(LaunchApplication("varno-convert", "/x.vrn", program, missing));
    EXPECT_FALSE(LaunchApplicationArgv("varno-convert", argv, program, missing));
    EXPECT_FALSE(LaunchApplicationArgv("varno-convert", argv, program, program)); // a file, not a folder
    EXPECT_TRUE(m_starts.empty());

    // The same through the real start, which would otherwise run the program in our folder.
    lunebrig_setstarter(nullptr);
    EXPECT_FALSE(LaunchApplicationArgv("varno-convert", argv, program, missing));
}

TEST_F(LunebrigTest, StartsARealProcessWithoutWaitingForIt)
{
    lunebrig_setstarter(nullptr);
    const QString out = QDir(m_folder.path()).filePath("out.txt");
    // The program writes its folder and its arguments, one per line, then a done mark.
    const std::string program = makeProgram(
        "viewer", "{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"" +
                      out.toLocal8Bit() + ".part\"; mv \"" + out.toLocal8Bit() + ".part\" \"" +
                      out.toLocal8Bit() + "\"\n");
    SetApplicationExePath("varno-viewer", program);
    const char* argv[] = {"varno-viewer", "/a b/c.vrn", "$HOME;|*", nullptr};
    ASSERT_TRUE(LaunchApplicationArgv("varno-viewer", argv, "", m_folder.path().toStdString()));

    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(out) && timer.elapsed() < 20000)
        QThread::msleep(5);
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLocal8Bit(file.readAll()).split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(QDir(lines[0]).canonicalPath(), QDir(m_folder.path()).canonicalPath());
    EXPECT_EQ(lines[1], "/a b/c.vrn");
    EXPECT_EQ(lines[2], "$HOME;|*"); // no shell saw it
}

} // namespace
