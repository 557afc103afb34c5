#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <link/FileMoves.h>
#include <testing/TestSupport.h>

using namespace varno::link;

namespace {

class TempFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/link-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { varno::testing::removeFolder(dir); }

    std::string path(const std::string& name) const { return dir + "/" + name; }

    void write(const std::string& name, const std::string& content) const
    {
        std::ofstream(path(name), std::ios::binary) << content;
    }

    std::string read(const std::string& name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        if (!in)
            return "<missing>";
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string dir;
};

const std::string kName = "[0012-00004096-02048-0000] [2006-08-01 12_00_00] [(running)] Tower A.vrn";

} // namespace

using FileMoves = TempFolder;

TEST_F(FileMoves, RenameNeverReplaces)
{
    write("a", "new");
    write("b", "old");
    EXPECT_FALSE(RenameNoReplace(path("a"), path("b")));
    EXPECT_EQ(read("a"), "new");
    EXPECT_EQ(read("b"), "old");
    EXPECT_TRUE(RenameNoReplace(path("a"), path("c")));
    EXPECT_EQ(read("a"), "<missing>");
    EXPECT_EQ(read("c"), "new");
}

TEST_F(FileMoves, BackupTakesTheFirstFreeNumber)
{
    write(kName, "v1");
    std::string backup;
    ASSERT_TRUE(BackupFile(path(kName), &backup));
    EXPECT_EQ(backup, path(kName + ".bak00"));
    write(kName, "v2");
    write(kName + ".bak02", "other");
    ASSERT_TRUE(BackupFile(path(kName), &backup));
    EXPECT_EQ(backup, path(kName + ".bak01"));
    EXPECT_EQ(read(kName + ".bak00"), "v1");
    EXPECT_EQ(read(kName + ".bak01"), "v2");
    EXPECT_EQ(read(kName + ".bak02"), "other");
}

TEST_F(FileMoves, MoveWithBackupKeepsTheEarlierFile)
{
    write("temporary-download", "fresh");
    EXPECT_EQ(MoveWithBackup(path("temporary-download"), path(kName)), MoveResult::Moved);
    EXPECT_EQ(read(kName), "fresh");
    write("temporary-download", "fresher");
    EXPECT_EQ(MoveWithBackup(path("temporary-download"), path(kName)), MoveResult::Moved);
    EXPECT_EQ(read(kName), "fresher");
    EXPECT_EQ(read(kName + ".bak00"), "fresh");
    EXPECT_EQ(read("temporary-download"), "<missing>");
    // The same name: nothing happens.
    EXPECT_EQ(MoveWithBackup(path(kName), path(kName)), MoveResult::SameName);
    EXPECT_EQ(read(kName), "fresher");
}

// The same file under two path texts (relative and absolute, or a hard link) stays where
// it is: no backup of it, and no failed rename.
TEST_F(FileMoves, TheSameFileUnderAnotherPathTextDoesNotMove)
{
    write(kName, "data");
    char* previous = ::getcwd(nullptr, 0);
    ASSERT_EQ(::chdir(dir.c_str()), 0);
    const MoveResult relative = MoveWithBackup(kName, path(kName));
    const MoveResult dotted = MoveWithBackup(path(kName), dir + "/./" + kName);
    ASSERT_EQ(::chdir(previous), 0);
    std::free(previous);
    EXPECT_EQ(relative, MoveResult::SameName);
    EXPECT_EQ(dotted, MoveResult::SameName);
    ASSERT_EQ(::link(path(kName).c_str(), path("linked.vrn").c_str()), 0);
    EXPECT_EQ(MoveWithBackup(path("linked.vrn"), path(kName)), MoveResult::SameName);
    EXPECT_EQ(read(kName), "data");
    EXPECT_EQ(read(kName + ".bak00"), "<missing>");
}

TEST_F(FileMoves, HundredBackupsStopTheMove)
{
    write(kName, "current");
    for (int i = 0; i < 100; ++i) {
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, ".bak%02d", i);
        write(kName + suffix, "backup " + std::to_string(i));
    }
    write("temporary-download", "download");
    EXPECT_FALSE(BackupFile(path(kName)));
    const MoveResult r = MoveWithBackup(path("temporary-download"), path(kName));
    EXPECT_EQ(r, MoveResult::TooManyBackups);
    EXPECT_EQ(MoveResultMessage(r, path("temporary-download"), path(kName)),
              "Too many Backup files exist for this file: " + path(kName));
    EXPECT_EQ(read(kName), "current");
    EXPECT_EQ(read(kName + ".bak00"), "backup 0");
    EXPECT_EQ(read(kName + ".bak99"), "backup 99");
    EXPECT_EQ(read("temporary-download"), "download");
}

TEST_F(FileMoves, FailedRenameIsReported)
{
    const MoveResult r = MoveWithBackup(path("missing"), path("target"));
    EXPECT_EQ(r, MoveResult::RenameFailed);
    EXPECT_EQ(MoveResultMessage(r, path("missing"), path("target")),
              "Unable to rename " + path("missing") + " to " + path("target"));
    EXPECT_EQ(MoveResultMessage(MoveResult::Moved, "a", "b"), "");
}

TEST(Wildcards, StarAndQuestionMarkOnlyWithoutCase)
{
    EXPECT_TRUE(WildcardMatch("*.vrn", kName));
    EXPECT_TRUE(WildcardMatch("*.VRN", "x.vrn"));
    EXPECT_TRUE(WildcardMatch("*.vrn", ".vrn"));
    EXPECT_FALSE(WildcardMatch("*.vrn", "x.vrn.bak00"));
    EXPECT_FALSE(WildcardMatch("*.vrn", "temporary-download"));
    EXPECT_TRUE(WildcardMatch("[0012-00004096*", kName)); // brackets stand for themselves
    EXPECT_FALSE(WildcardMatch("[0012-00004096*", "0012-00004096.vrn"));
    EXPECT_FALSE(WildcardMatch("[01]*", "0.vrn"));
    EXPECT_TRUE(WildcardMatch("a?c", "abc"));
    EXPECT_FALSE(WildcardMatch("a?c", "ac"));
    EXPECT_TRUE(WildcardMatch("*", ""));
    EXPECT_TRUE(WildcardMatch("a**b*c", "axxbyyc"));
    EXPECT_FALSE(WildcardMatch("a*b", "a"));
}

TEST_F(FileMoves, ListFolderMatchesAndSorts)
{
    write("b.vrn", "");
    write("A.VRN", "");
    write("c.csv", "");
    write("[1-2-3-4] x.vrn", "");
    write("d.vrn.bak00", "");
    ::mkdir(path("sub.vrn").c_str(), 0755);
    const std::vector<std::string> expected = {"A.VRN", "[1-2-3-4] x.vrn", "b.vrn", "sub.vrn"};
    EXPECT_EQ(ListFolder(dir, "*.vrn"), expected);
    EXPECT_TRUE(ListFolder(dir + "/none", "*").empty());
}
