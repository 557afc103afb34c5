#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <ostrel/DataStore.h>
#include <ostrel/FileIdentity.h>
#include <ostrel/OstrelUi.h>
#include <ostrel/RecordWriter.h>
#include <testing/TestSupport.h>
#include <ostrel/Wildcard.h>

using namespace varno::ostrel;

using varno::testing::TempDir;
using varno::testing::writeFile;

namespace {

// Records what Load asks of the user.
class RecordingUi : public COstrelUi {
public:
    std::vector<std::string> messages;
    std::string chosenFile;
    int waitCursorDepth = 0;

    void ShowMessage(const std::string& text, const std::string& caption) override
    {
        messages.push_back(caption + ": " + text);
    }
    std::string ChooseFileToOpen(const std::string&, const std::string&, const std::string&) override
    {
        return chosenFile;
    }
    void BeginWaitCursor() override { ++waitCursorDepth; }
    void EndWaitCursor() override { --waitCursorDepth; }
};

class DataStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ostrel_setui(&ui); }
    void TearDown() override { ostrel_setui(nullptr); }

    RecordingUi ui;
    TempDir dir;
    std::unique_ptr<COstrel> data{COstrel::newObject()};
};

TEST_F(DataStoreTest, NewObjectDefaults)
{
    EXPECT_EQ(data->GetEntryCount(), 0);
    EXPECT_EQ(data->GetNumberFormat(), "%8.3f");
    EXPECT_EQ(data->GetSeparator(), " ");
    EXPECT_FALSE(data->GetStartTime().bValid());
    EXPECT_TRUE(std::isnan(data->GetLossRatio()));
    EXPECT_EQ(data->GetEntryText(0), "");
    EXPECT_TRUE(std::isnan(data->GetValue(0, 0)));
    EXPECT_FALSE(data->GetEntryTime(5).bValid());
    EXPECT_EQ(data->CreateView(nullptr, nullptr), nullptr);
    EXPECT_DOUBLE_EQ(ostrel_getversion(), 2.0);
    EXPECT_STREQ(ostrel_getversionstring(), "Ostrel.Dll 2.0 , \tAug 17 2006");
}

TEST_F(DataStoreTest, FillTestDataAndQueries)
{
    data->FillTestData();
    ASSERT_EQ(data->GetEntryCount(), 101);
    EXPECT_EQ(data->GetEntryText(0), "date,time,x");
    EXPECT_EQ(data->GetEntryText(11), "   1.000");
    EXPECT_EQ(data->GetValueCount(0), 0);
    EXPECT_FLOAT_EQ(float(data->GetValue(100, 0)), 9.9f);
    char buf[CUtcTime::PrintBufferSize];
    EXPECT_STREQ(data->GetEntryTime(1).Print(buf, false), "2004-03-04 05:06:07");
    EXPECT_STREQ(data->GetMaxTime().Print(buf, false), "2004-03-04 05:07:46");
    // Out of range: first entry's time below, last entry's time above.
    EXPECT_EQ(data->GetEntryTime(-3), data->GetEntryTime(0));
    EXPECT_EQ(data->GetEntryTime(1000), data->GetEntryTime(100));
    EXPECT_EQ(data->GetResultText().substr(0, 48), "conversion result: 0 intervals, conversion loss=");
}

TEST_F(DataStoreTest, EntryTextOfValuesWithFormatSeparatorAndInfinity)
{
    auto* store = static_cast<CDataStore*>(data.get());
    const float values[] = {1.5f, INFINITY, -INFINITY, NAN};
    store->Table().AddValues(LOGF_DATA, CUtcTime(100), values, 4);
    EXPECT_EQ(data->GetEntryText(0), "   1.500  +INF  -INF  NaN");
    data->SetSeparator(";");
    data->SetNumberFormat("%.1f");
    EXPECT_EQ(data->GetEntryText(0), "1.5; +INF; -INF; NaN");
    data->SetNumberFormat("%s");
    EXPECT_EQ(data->GetNumberFormat(), "%.1f");
}

TEST_F(DataStoreTest, InvalidTimesTakeTheNextValidTime)
{
    auto* store = static_cast<CDataStore*>(data.get());
    store->Table().AddText(LOGF_TEXT, CUtcTime(), "a");
    store->Table().AddText(LOGF_TEXT, CUtcTime(-1), "b");
    store->Table().AddText(LOGF_TEXT, CUtcTime(500), "c");
    store->Table().AddText(LOGF_TEXT, CUtcTime(), "d");
    EXPECT_EQ(data->GetEntryTime(0).GetSeconds(), 500);
    EXPECT_EQ(data->GetEntryTime(1).GetSeconds(), 500);
    EXPECT_FALSE(data->GetEntryTime(3).bValid());
    store->Table().SetEntryTime(1, CUtcTime(300));
    EXPECT_EQ(data->GetEntryTime(0).GetSeconds(), 300);
    EXPECT_EQ(data->GetMinTime().GetSeconds(), 300);
}

TEST_F(DataStoreTest, ValuesByName)
{
    auto* store = static_cast<CDataStore*>(data.get());
    const float values[] = {10, 20, 30};
    store->Table().AddValues(LOGF_DATA, CUtcTime(1), values, 3); // no column set yet
    store->Table().AddColumnSet({"v1_mean", "v1_max", "direction_mean360"});
    store->Table().AddValues(LOGF_DATA, CUtcTime(1), values, 3);
    EXPECT_TRUE(std::isnan(data->GetValueByName(0, "v1")));
    EXPECT_EQ(data->GetValueByName(0, "col_2"), 30);
    EXPECT_EQ(data->GetValueByName(1, "col_2"), data->GetValue(1, 2));
    EXPECT_EQ(data->GetValueByName(1, "COL_2 "), 30);
    EXPECT_TRUE(std::isnan(data->GetValueByName(1, "col_")));
    EXPECT_EQ(data->GetValueByName(1, "v1"), 10);
    EXPECT_EQ(data->GetValueByName(1, " V1_MAX"), 20);
    EXPECT_EQ(data->GetValueByName(1, "direction"), 30);
    EXPECT_TRUE(std::isnan(data->GetValueByName(1, "v2")));
    EXPECT_EQ(data->GetColumnNames(0), "v1_mean,v1_max,direction_mean360");
    EXPECT_EQ(data->GetColumnNames(-1), "v1_mean,v1_max,direction_mean360");
}

TEST_F(DataStoreTest, FileIdentityDependsOnLengthAndContent)
{
    std::vector<uint8_t> bytes(3000);
    for (size_t k = 0; k < bytes.size(); ++k)
        bytes[k] = uint8_t(k * 7 + 1);
    EXPECT_EQ(ComputeFileIdentity(bytes.data(), 100), 0);
    EXPECT_EQ(ComputeFileIdentity(bytes.data(), 300), 0); // 172 counted bytes
    const int short1 = ComputeFileIdentity(bytes.data(), 1100);
    EXPECT_EQ(short1, int(Crc32NoInversion(bytes.data(), 256) % 999) + 1);
    const int full = ComputeFileIdentity(bytes.data(), 2048);
    EXPECT_EQ(full, short1 + int(Crc32NoInversion(bytes.data(), 1024) % 999) * 1000 + 1000);
    EXPECT_EQ(Crc32NoInversion(reinterpret_cast<const uint8_t*>("123456789"), 9), 0x2DFD2D88u);

    // Load reads at most 2048 bytes for it.
    writeFile(dir.file("log.vrn"), bytes);
    ASSERT_TRUE(data->Load(dir.file("log.vrn")));
    EXPECT_EQ(data->GetFileIdentity(), full);
}

TEST_F(DataStoreTest, LoadFailuresAreReportedAndReturnFalse)
{
    EXPECT_FALSE(data->Load(dir.file("missing.vrn")));
    writeFile(dir.file("tiny.vrn"), std::string("x"));
    EXPECT_FALSE(data->Load(dir.file("tiny.vrn")));
    EXPECT_EQ(data->GetFilePath(), dir.file("tiny.vrn"));
    EXPECT_EQ(ui.messages, (std::vector<std::string>{"Error: unable to open file", "Error: unable to open file"}));
    EXPECT_EQ(ui.waitCursorDepth, 0);
    EXPECT_FALSE(data->Load(""));
    EXPECT_EQ(data->GetFilePath(), "");
}

TEST_F(DataStoreTest, EmptyPathAsksForAFile)
{
    writeFile(dir.file("a.vrn"), varno::ostrel::records::Writer().text("hello").bytes());
    ui.chosenFile = dir.file("a.vrn");
    ASSERT_TRUE(data->Load(""));
    EXPECT_EQ(data->GetEntryText(0), "hello");
    EXPECT_EQ(data->GetFilePath(), dir.file("a.vrn"));
}

TEST_F(DataStoreTest, SecondLoadAppends)
{
    writeFile(dir.file("a.vrn"), varno::ostrel::records::Writer().text("one").bytes());
    writeFile(dir.file("b.vrn"), varno::ostrel::records::Writer().text("two").bytes());
    ASSERT_TRUE(data->Load(dir.file("a.vrn")));
    ASSERT_TRUE(data->Load(dir.file("b.vrn")));
    ASSERT_EQ(data->GetEntryCount(), 2);
    EXPECT_EQ(data->GetEntryText(1), "two");
}

TEST_F(DataStoreTest, BracketNamesAreFoundThroughTheSearchPattern)
{
    const std::string first = "[0012-00004096-02048-0000] [2006-08-01 12_00_00] [(running)] Tower A.vrn";
    writeFile(dir.file("[0012-00004096-02048-0000] [zz].vrn"), varno::ostrel::records::Writer().text("second").bytes());
    writeFile(dir.file(first), varno::ostrel::records::Writer().text("first").bytes());
    writeFile(dir.file("[0012-00004096-02048-0000].txt"), std::string("not matched"));
    ASSERT_TRUE(data->Load("SEARCH=" + dir.path() + "/*.VRN"));
    EXPECT_EQ(data->GetEntryCount(), 0);
    ASSERT_TRUE(data->Load("[0012-00004096-02048-0000]"));
    EXPECT_EQ(data->GetEntryText(0), "first");
    EXPECT_EQ(data->GetFilePath(), dir.file(first));
}

// The holes of a sparse file are not read but still count as zeros; a zero byte ends the
// text of its line, so a stretch of zeros is one empty text line.
TEST_F(DataStoreTest, SparseFilesReadAsTheirBytes)
{
    const std::string path = dir.file("sparse.txt");
    const std::string first = "2004-03-04 05:06:07 1.5\n";
    const std::string last = "\n2004-03-04 05:06:08 2.5\nend";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const off_t lastAt = off_t(first.size()) + (8 << 20);
    const bool written = pwrite(fd, first.data(), first.size(), 0) == ssize_t(first.size())
                         && pwrite(fd, last.data(), last.size(), lastAt) == ssize_t(last.size())
                         && ftruncate(fd, lastAt + off_t(last.size()) + (4 << 20)) == 0;
    close(fd);
    ASSERT_TRUE(written);

    ASSERT_TRUE(data->Load(path));
    ASSERT_EQ(data->GetEntryCount(), 4);
    EXPECT_EQ(data->GetValue(0, 0), 1.5);
    EXPECT_EQ(data->GetEntryFlags(1), LOGF_TEXT);
    EXPECT_EQ(data->GetEntryText(1), "");
    EXPECT_EQ(data->GetValue(2, 0), 2.5);
    EXPECT_EQ(data->GetEntryText(3), "end");
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true; // their shadow memory does not fit under an address-space limit
#else
constexpr bool kSanitized = false;
#endif

// Lets this process map at most extra bytes beyond what it maps now.
void limitAddressSpace(size_t extra)
{
    long pages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld", &pages) != 1)
            pages = 0;
        std::fclose(statm);
    }
    const rlim_t limit = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + extra;
    const struct rlimit rl{limit, limit};
    setrlimit(RLIMIT_AS, &rl);
}

// Out of memory, Load reports, takes back what it had added and returns false; what was
// loaded before stays, and later loads still work. No exception leaves a query either.
TEST_F(DataStoreTest, RunningOutOfMemoryUndoesTheLoad)
{
    if (kSanitized)
        GTEST_SKIP() << "address-space limits do not work with sanitizers";
    const std::string small = dir.file("small.vrn");
    writeFile(small, varno::ostrel::records::Writer().text("# 01.02.2006 10:00:00").floats({1.5f}).bytes());
    // 16 MB whose entries take over twice their size.
    const std::string big = dir.file("big.vrn");
    varno::testing::writeMemoryHungryLog(big, 16 << 20);
    // A text line of 16 MB, to be copied out when there is no room for it.
    const std::string line = dir.file("line.txt");
    writeFile(line, std::string(16 << 20, 'a'));
    ASSERT_TRUE(data->Load(line));
    ASSERT_TRUE(data->Load(small));
    const int count = data->GetEntryCount();

    EXPECT_EXIT(
        {
            limitAddressSpace(32 << 20);
            bool ok = !data->Load(big);
            ok = ok && !ui.messages.empty() && ui.messages.back() == "Error: not enough memory to load " + big;
            ok = ok && data->GetEntryCount() == count && data->GetValue(count - 1, 0) == 1.5;
            ok = ok && data->GetMaxTime() == data->GetEntryTime(count - 1) && data->GetIntervalCount() == 0;
            ok = ok && data->Load(small) && data->GetEntryCount() == count + 2;
            limitAddressSpace(8 << 20);
            ok = ok && data->GetEntryText(0).empty(); // rather than an exception across the interface
            std::fprintf(stderr, "%s", ok ? "undone" : "not undone");
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "^undone$");
}

TEST(Wildcard, StarQuestionMarkCaseAndLiteralBrackets)
{
    EXPECT_TRUE(varno::ostrel::WildcardMatch("*.vrn", "[1-2] x.vrn"));
    EXPECT_TRUE(varno::ostrel::WildcardMatch("*.vrn", "A.VRN"));
    EXPECT_TRUE(varno::ostrel::WildcardMatch("[1-2]*", "[1-2].vrn"));
    EXPECT_FALSE(varno::ostrel::WildcardMatch("[1-2]*", "1.vrn"));
    EXPECT_TRUE(varno::ostrel::WildcardMatch("a?c", "abc"));
    EXPECT_FALSE(varno::ostrel::WildcardMatch("a?c", "ac"));
    EXPECT_TRUE(varno::ostrel::WildcardMatch("*.*.vrn", "a.b.c.vrn"));
    EXPECT_FALSE(varno::ostrel::WildcardMatch("*.vrn", "a.vrn.bak00"));
    EXPECT_TRUE(varno::ostrel::WildcardMatch("*", ""));
}

} // namespace
