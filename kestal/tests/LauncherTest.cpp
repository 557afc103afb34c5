// The launch table: which program gets which arguments, folder chains, the text editor.
#include <kestal/files/Launcher.h>

#include <lunebrig/Lunebrig.h>
#include "TestConfig.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace varno::kestal;

using varno::kestal::Launcher;

namespace {

struct Started {
    std::string program;
    std::vector<std::string> arguments;
    std::string folder;
};

class KestalLauncherTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        varno::kestal::testing::coreTestApp();
        QCoreApplication::setOrganizationName("varno");
        QCoreApplication::setApplicationName("kestal-launch-test");
    }
    void SetUp() override
    {
        QSettings().clear();
        for (const char* name : {"trelis", "fenlux"}) {
            QFile f(bin.filePath(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("#!/bin/sh\n");
            f.close();
            f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        lunebrig_setstarter([this](const std::string& p, const std::vector<std::string>& a, const std::string& d) {
            started.push_back({p, a, d});
            return true;
        });
        Launcher::SetEditorStarter([this](const QString& p, const QStringList& a) {
            editor.append(p);
            editor.append(a);
            return !p.isEmpty();
        });
    }
    void TearDown() override
    {
        lunebrig_setstarter(nullptr);
        Launcher::SetEditorStarter(nullptr);
    }

    QTemporaryDir bin;
    std::vector<Started> started;
    QStringList editor;
};

TEST_F(KestalLauncherTest, ListsPassEveryPathAsOneArgument)
{
    Launcher launcher(bin.path());
    EXPECT_FALSE(launcher.ViewFiles({}));
    EXPECT_FALSE(launcher.PlotFiles({}));
    EXPECT_TRUE(started.empty());

    const QString blanks = "/my data/x.vrn";
    const QString longPath = "/" + QString(1500, 'a') + ".vrn";
    EXPECT_TRUE(launcher.ViewFiles({blanks, longPath}));
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].program, bin.filePath("trelis").toStdString());
    EXPECT_EQ(started[0].arguments, (std::vector<std::string>{blanks.toStdString(), longPath.toStdString()}));

    EXPECT_TRUE(launcher.PlotFiles({blanks}));
    EXPECT_EQ(started.back().program, bin.filePath("fenlux").toStdString());
    EXPECT_TRUE(launcher.OpenInViewer(blanks));
    EXPECT_EQ(started.back().arguments, std::vector<std::string>{blanks.toStdString()});
}

TEST_F(KestalLauncherTest, OutsideProgramsOnlyBesideTheTerminal)
{
    Launcher launcher(bin.path());
    EXPECT_FALSE(launcher.ConvertFiles({"/x.vrn"}));
    EXPECT_FALSE(launcher.OpenStationStatistics("/x.sta"));
    EXPECT_TRUE(started.empty());
}

TEST_F(KestalLauncherTest, TextEditorFromSettingOrDesktop)
{
    Launcher launcher(bin.path());
    QSettings().setValue("programs/texteditor", "myedit");
    EXPECT_TRUE(launcher.OpenInTextEditor("/d/series 1.dat"));
    EXPECT_EQ(editor, QStringList({"myedit", "/d/series 1.dat"}));
    QSettings().remove("programs/texteditor");
    editor.clear();
    EXPECT_TRUE(launcher.OpenInTextEditor("/d/s.dat"));
    ASSERT_GE(editor.size(), 2);
    EXPECT_EQ(editor.last(), "/d/s.dat");
}

TEST(KestalFolderChain, MakesMissingParentsAndAcceptsExisting)
{
    QTemporaryDir dir;
    const QString deep = dir.filePath("a/b/c");
    EXPECT_TRUE(Launcher::MakeFolderChain(deep));
    EXPECT_TRUE(QFileInfo(deep).isDir());
    EXPECT_TRUE(Launcher::MakeFolderChain(deep));
    EXPECT_FALSE(Launcher::MakeFolderChain(QString()));
    // A file in the way cannot become a folder.
    QFile f(dir.filePath("file"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_FALSE(Launcher::MakeFolderChain(dir.filePath("file/sub")));
}

} // namespace
