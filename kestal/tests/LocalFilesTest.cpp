// Local data-log listing: order, reduction, rename pass, monthly merge, paths and import.
#include <kestal/files/FinalName.h>
#include <kestal/files/Import.h>
#include <kestal/files/LocalFiles.h>

#include <link/DataLogNames.h>
#include <ostrel/UtcTime.h>
#include "TestConfig.h"
#include <testing/SampleLog.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace varno::kestal;

namespace {

LocalFile rec(uint32_t serial, uint32_t start, uint32_t length, const std::string& name = "",
              uint32_t magic = 0)
{
    LocalFile f;
    f.serial = serial;
    f.start = start;
    f.length = length;
    f.magic = magic;
    f.fileName = name.empty() ? "f" + std::to_string(start) + "-" + std::to_string(length) : name;
    f.names = QStringList{QString::fromStdString(f.fileName)};
    return f;
}

std::string dayName(uint32_t serial, uint32_t start, uint32_t length, const std::string& from,
                    const std::string& to, const std::string& text = "Wind")
{
    char key[64];
    std::snprintf(key, sizeof key, "[%04u-%08u-%05u-0000] ", serial, start, length);
    return std::string(key) + "[" + from + "] [" + to + "]  " + text + ".vrn";
}

void touch(const QString& path, int bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(bytes, 'x'));
}

std::vector<std::string> names(const std::vector<LocalFile>& files)
{
    std::vector<std::string> out;
    for (const LocalFile& f : files)
        out.push_back(f.fileName);
    return out;
}

} // namespace

TEST(KestalLocalOrder, SerialStartLengthThenNameWithoutCase)
{
    std::vector<LocalFile> files = {rec(2, 0, 5), rec(1, 100, 5), rec(1, 100, 3, "b"),
                                    rec(1, 100, 3, "A"), rec(0xFFFFFFF0u, 1, 1), rec(1, 50, 9)};
    SortLocalFiles(files);
    EXPECT_EQ(names(files), (std::vector<std::string>{"f50-9", "A", "b", "f100-5", "f0-5", "f1-1"}));
}

TEST(KestalLocalOrder, MixedMagicsStayInRange)
{
    // Magic 0 (transfer names) and real magics in one folder: the order may be cyclic.
    std::vector<LocalFile> files;
    for (uint32_t i = 0; i < 300; ++i)
        files.push_back(rec(7, i % 5, i % 7, "n" + std::to_string(i), (i % 3) ? i * 2654435761u : 0));
    std::mt19937 rng(3);
    for (int round = 0; round < 20; ++round) {
        std::shuffle(files.begin(), files.end(), rng);
        SortLocalFiles(files);
        ReduceLocalFiles(files);
        EXPECT_LE(files.size(), 300u);
    }
}

TEST(KestalLocalReduce, KeepsLongerOfSameStartAndLeadingZeros)
{
    std::vector<LocalFile> files = {rec(0, 0, 0, "z1"), rec(0, 0, 0, "z2"), rec(5, 0, 100),
                                    rec(5, 0, 300), rec(5, 300, 10, "x"), rec(5, 300, 10, "y"),
                                    rec(5, 400, 10)};
    ReduceLocalFiles(files);
    EXPECT_EQ(names(files), (std::vector<std::string>{"z1", "z2", "f0-300", "x", "f400-10"}));

    // A second record without serial but with an equal magic counts as the same log.
    std::vector<LocalFile> magic = {rec(5, 10, 100, "a", 77), rec(0, 10, 50, "b", 77), rec(0, 10, 500, "c", 78)};
    ReduceLocalFiles(magic);
    EXPECT_EQ(names(magic), (std::vector<std::string>{"a", "c"}));
}

TEST(KestalLocalScanTest, ListsVrnAndCsvWithSizesAnyCase)
{
    QTemporaryDir dir;
    touch(dir.filePath(QString::fromStdString(dayName(7, 0, 100, "2006-08-01", "2006-08-02"))), 10);
    touch(dir.filePath("[0007-00000100-00050-0000] [2006-08-02] [2006-08-03]  Wind.VRN"), 20);
    touch(dir.filePath("[0007-00000000-00010-0000] [2006-08-01] [2006-08-01 10:00:00]  x.csv"), 5);
    touch(dir.filePath("notes.txt"), 5);
    QDir(dir.path()).mkdir("sub.vrn");
    const std::vector<LocalFile> files = LocalScan(dir.path());
    ASSERT_EQ(files.size(), 2u); // the short csv of start 0 is reduced away
    EXPECT_EQ(files[0].length, 100u);
    EXPECT_EQ(files[0].size, 10u);
    EXPECT_EQ(files[1].size, 20u);
    EXPECT_EQ(files[1].extension, "vrn");
    EXPECT_TRUE(LocalScan(QString()).empty());
}

TEST(KestalMonthlyMerge, DaysOfOneMonthBecomeOneRow)
{
    std::vector<LocalFile> files;
    const char* days[][2] = {{"2006-08-29", "2006-08-30"}, {"2006-08-30", "2006-08-31"},
                             {"2006-08-31", "2006-08-31 23:50:00"}, {"2006-09-01", "2006-09-02"}};
    uint32_t start = 1000;
    for (auto& d : days) {
        LocalFile f = LocalFileFromName(dayName(7, start, 100, d[0], d[1]));
        f.size = 10;
        files.push_back(f);
        start += 100;
    }
    std::vector<LocalFile> monthly = files;
    MergeMonths(monthly);
    ASSERT_EQ(monthly.size(), 2u);
    EXPECT_EQ(monthly[0].names.size(), 3);
    EXPECT_EQ(monthly[0].length, 300u);
    EXPECT_EQ(monthly[0].size, 30u);
    EXPECT_EQ(monthly[0].stopText, "2006-08-31 23:50:00");
    EXPECT_EQ(monthly[1].names.size(), 1);
}

TEST(KestalMonthlyMerge, NeedsContiguityMidnightAndParseableTexts)
{
    std::vector<LocalFile> files = {
        LocalFileFromName(dayName(7, 0, 100, "2006-08-01", "2006-08-02")),
        LocalFileFromName(dayName(7, 150, 100, "2006-08-02", "2006-08-03")),           // gap
        LocalFileFromName(dayName(7, 250, 100, "2006-08-03 10_00_00", "2006-08-04")),  // not midnight
        LocalFileFromName(dayName(7, 350, 100, "2006-08-04", "(running)")),             // stop unparseable
        LocalFileFromName(dayName(8, 450, 100, "2006-08-05", "2006-08-06")),           // other serial
    };
    MergeMonths(files);
    EXPECT_EQ(files.size(), 5u);

    unsigned y, m, d, h, mi, s;
    EXPECT_TRUE(ParseTimeText("2006-08-04", y, m, d, h, mi, s));
    EXPECT_EQ(h, 0u);
    EXPECT_TRUE(ParseTimeText("2006-08-04 05_10_20", y, m, d, h, mi, s));
    EXPECT_EQ(h, 5u);
    EXPECT_EQ(s, 20u);
    EXPECT_FALSE(ParseTimeText("(running)", y, m, d, h, mi, s));
    EXPECT_FALSE(ParseTimeText("", y, m, d, h, mi, s));
}

TEST(KestalLocalPaths, OneNameManyNamesAndSearchForm)
{
    const QString a = QString::fromStdString(dayName(7, 0, 100, "2006-08-01", "2006-08-02"));
    const QString b = QString::fromStdString(dayName(7, 100, 100, "2006-08-02", "2006-08-03"));
    const QString c = QString::fromStdString(dayName(7, 200, 100, "2006-08-03", "2006-08-04", "Other"));
    EXPECT_EQ(LocalFilePaths("/d/vrn", "", true), "");
    EXPECT_EQ(LocalFilePaths("/d/vrn", a, true), "/d/vrn/" + a);
    EXPECT_EQ(LocalFilePaths("/d/vrn", a + "\n" + b, false), "/d/vrn/" + a + "\n/d/vrn/" + b);
    EXPECT_EQ(LocalFilePaths("/d/vrn", a + "\n" + b + "\n" + c, true),
              "search=/d/vrn/*Wind.vrn\n[0007-00000000-00100-0000]\n[0007-00000100-00100-0000]\n/d/vrn/" + c);
}

TEST(KestalRenamePassTest, MovesOnlyRealRenamesOnce)
{
    QTemporaryDir dir;
    const std::string tilde = dayName(7, 100, 50, "2006-08-01", "2006-08-02", "Wind~");
    const std::string wrongRange = dayName(7, 300, 50, "2006-08-01", "2006-08-02", "Other~");
    const std::string same = dayName(7, 500, 50, "2006-08-01", "2006-08-02", "Same~");
    for (const std::string& n : {tilde, wrongRange, same})
        touch(dir.filePath(QString::fromStdString(n)), 4);
    const std::vector<LocalFile> files = LocalScan(dir.path());
    int identified = 0;
    const Identifier identify = [&](const QString& path, Identity& id) {
        ++identified;
        const LocalFile f = LocalFileFromName(QFileInfo(path).fileName().toStdString());
        id.start = f.start == 300 ? 301 : f.start;
        id.length = f.length;
        id.finalName = f.text == "Same~" ? f.fileName : dayName(7, f.start, f.length, "2006-08-01", "2006-08-02", "Wind");
        return true;
    };
    EXPECT_EQ(RenamePass(dir.path(), files, identify), 1);
    EXPECT_EQ(identified, 3);
    EXPECT_TRUE(QFile::exists(dir.filePath(QString::fromStdString(dayName(7, 100, 50, "2006-08-01", "2006-08-02")))));
    EXPECT_TRUE(QFile::exists(dir.filePath(QString::fromStdString(wrongRange))));
    EXPECT_TRUE(QFile::exists(dir.filePath(QString::fromStdString(same))));
    // A second pass finds nothing more to move.
    EXPECT_EQ(RenamePass(dir.path(), LocalScan(dir.path()), identify), 0);
}

class KestalImportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        varno::kestal::testing::coreTestApp();
        source = src.filePath("picked.vrn");
        QFile f(source);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const std::vector<uint8_t> bytes = varno::testing::SampleLog("Hill", 3, 144);
        f.write(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()));
        f.close();
        dataFolder = dst.filePath("vrn");
        QDir().mkpath(dataFolder);
    }
    QTemporaryDir src, dst;
    QString source, dataFolder;
};

TEST_F(KestalImportTest, FinalNameFromContents)
{
    const IdentifiedLog log = IdentifyDataLog(source);
    EXPECT_EQ(log.record.serial, 4711u);
    EXPECT_EQ(log.record.text, "Hill");
    const std::string name = FinalFileName(log);
    const varno::link::NameRecord back = varno::link::ReadName(name);
    EXPECT_EQ(back.serial, 4711u);
    EXPECT_EQ(back.startText, "2006-08-03");
    EXPECT_EQ(back.extension, "vrn");
    EXPECT_EQ(back.text, "Hill");
    // Version 2.5: start and length are times.
    EXPECT_EQ(back.start, uint32_t(CUtcTime(2006, 8, 3, 0, 0, 0).GetSeconds()));
    EXPECT_GT(back.length, 0u);
}

TEST_F(KestalImportTest, SecondImportBacksUpFirstAndSelfImportIsSkipped)
{
    QString message;
    EXPECT_EQ(ImportDataLog(source, dataFolder, &message), ImportResult::Imported);
    const QStringList first = QDir(dataFolder).entryList(QDir::Files);
    ASSERT_EQ(first.size(), 1);
    EXPECT_EQ(ImportDataLog(source, dataFolder, &message), ImportResult::Imported);
    QStringList after = QDir(dataFolder).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(after, QStringList({first[0], first[0] + ".bak00"}));

    // The station's own file picked again stays where it is.
    EXPECT_EQ(ImportDataLog(dataFolder + "/" + first[0], dataFolder, &message), ImportResult::SameFile);
    EXPECT_EQ(QDir(dataFolder).entryList(QDir::Files, QDir::Name), after);
}

TEST_F(KestalImportTest, FailureIsReported)
{
    QString message;
    EXPECT_EQ(ImportDataLog(source, dst.filePath("missing/folder"), &message), ImportResult::Failed);
    EXPECT_EQ(message, "Unable to import file: " + source);

    // No station, no folder: never the working folder instead.
    QTemporaryDir working;
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(working.path()));
    message.clear();
    const ImportResult result = ImportDataLog(source, QString(), &message);
    const QStringList left = QDir(working.path()).entryList(QDir::Files);
    QDir::setCurrent(before);
    EXPECT_EQ(result, ImportResult::Failed);
    EXPECT_EQ(message, "Unable to import file: " + source);
    EXPECT_TRUE(left.isEmpty()) << left.join(' ').toStdString();
}
