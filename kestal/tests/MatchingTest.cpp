// Matching the instrument's data logs against the data folder, the listing range, and the
// choices a row transfer makes (temporary name, download mode), without a link or a window.
#include <kestal/files/DataFileList.h>
#include <kestal/files/Matching.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace varno::kestal;

namespace {

LocalFile file(uint32_t start, uint32_t length, uint32_t serial = 7, uint32_t magic = 0)
{
    LocalFile f;
    f.serial = serial;
    f.start = start;
    f.length = length;
    f.magic = magic;
    f.fileName = "f" + std::to_string(start) + "-" + std::to_string(length) + ".vrn";
    return f;
}

const std::vector<ListedRange> kRows = {{0, 100}, {100, 100}, {200, 100}};

// "kind:file" of each row, "-" for NotLooked.
std::vector<std::string> walk(const std::vector<ListedRange>& rows, const std::vector<LocalFile>& files)
{
    std::vector<std::string> out;
    for (const RowMatch& m : MatchRows(rows, files)) {
        switch (m.kind) {
        case MatchKind::Exact: out.push_back("exact:" + m.fileName); break;
        case MatchKind::Merged: out.push_back("merged:" + m.fileName); break;
        case MatchKind::Partial: out.push_back("partial:" + m.fileName); break;
        case MatchKind::Empty: out.push_back("empty"); break;
        case MatchKind::NotLooked: out.push_back("-"); break;
        }
    }
    return out;
}

using Walk = std::vector<std::string>;

TEST(KestalMatching, ExactCopiesAndTheNewRowAfterTheLastFile)
{
    EXPECT_EQ(walk(kRows, {file(0, 100), file(100, 100)}),
              (Walk{"exact:f0-100.vrn", "exact:f100-100.vrn", "-"}));
}

TEST(KestalMatching, OneLongFileIsMergedAndEndsTheWalk)
{
    EXPECT_EQ(walk(kRows, {file(0, 300)}), (Walk{"merged:f0-300.vrn", "-", "-"}));
}

TEST(KestalMatching, AGapBetweenFilesIsWarnedAsEmpty)
{
    EXPECT_EQ(walk(kRows, {file(0, 100), file(200, 100)}),
              (Walk{"exact:f0-100.vrn", "empty", "exact:f200-100.vrn"}));
}

TEST(KestalMatching, WithoutFilesOnlyTheFirstRowIsWarned)
{
    EXPECT_EQ(walk(kRows, {}), (Walk{"empty", "-", "-"}));
    EXPECT_TRUE(MatchRows({}, {file(0, 100)}).empty());
}

TEST(KestalMatching, ShorterAndOverlappingFilesArePartialOrMerged)
{
    // Same start, shorter: the copy of a data log that has grown since.
    EXPECT_EQ(walk({{0, 100}}, {file(0, 60)}), (Walk{"partial:f0-60.vrn"}));
    // A file that starts before the row and runs into it, or over it.
    EXPECT_EQ(walk({{100, 100}}, {file(50, 100)}), (Walk{"partial:f50-100.vrn"}));
    EXPECT_EQ(walk({{100, 100}}, {file(50, 150)}), (Walk{"merged:f50-150.vrn"}));
    // A file that ends where the row starts holds nothing of it.
    EXPECT_EQ(walk({{100, 100}}, {file(0, 100)}), (Walk{"empty"}));
    // An exact copy wins over a longer file of the same start.
    EXPECT_EQ(walk({{0, 100}}, {file(0, 100), file(0, 200)}), (Walk{"exact:f0-100.vrn"}));
}

TEST(KestalMatching, StatusWordsAndIcons)
{
    EXPECT_STREQ(MatchStatus(MatchKind::Exact), "ok exact");
    EXPECT_STREQ(MatchStatus(MatchKind::Merged), "ok merged");
    EXPECT_STREQ(MatchStatus(MatchKind::Partial), "warning partially");
    EXPECT_STREQ(MatchStatus(MatchKind::Empty), "warning empty");
    EXPECT_STREQ(MatchStatus(MatchKind::NotLooked), "");
    EXPECT_EQ(MatchIcon(MatchKind::Exact), 4);
    EXPECT_EQ(MatchIcon(MatchKind::Merged), 4);
    EXPECT_EQ(MatchIcon(MatchKind::Partial), 3);
    EXPECT_EQ(MatchIcon(MatchKind::Empty), 0);
    EXPECT_EQ(MatchIcon(MatchKind::NotLooked), 0);
}

TEST(KestalMatching, CandidatesAreThisInstrumentsLongestCopies)
{
    LocalFile negative = file(300, 0x80000000u);
    std::vector<LocalFile> files = {file(100, 50), file(0, 100, 8), file(100, 100), negative,
                                    file(0, 100, 7, 55), file(200, 10, 7, 66)};
    // Two copies of one start: only the longer one takes part.
    std::vector<LocalFile> all = MatchCandidates(files, 7, 0);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].start, 0u);
    EXPECT_EQ(all[1].length, 100u);
    EXPECT_EQ(all[2].start, 200u);
    // Older firmware names the memory's contents: other contents do not count.
    std::vector<LocalFile> same = MatchCandidates(files, 7, 55);
    ASSERT_EQ(same.size(), 1u);
    EXPECT_EQ(same[0].magic, 55u);
}

TEST(KestalMatching, ListingRangeByFirmware)
{
    const std::vector<LocalFile> own = InstrumentFiles({file(500, 20), file(100, 50), file(0, 10, 9)}, 7);
    ASSERT_EQ(own.size(), 2u);
    EXPECT_EQ(ListingRange(own, 3.1).start, 100u);
    EXPECT_EQ(ListingRange(own, 3.1).length, 420u);
    EXPECT_EQ(ListingRange(own, 3.0).start, 500u);
    EXPECT_EQ(ListingRange(own, 3.0).length, 20u);
    EXPECT_EQ(ListingRange({}, 3.2).length, 0u);
    // A file of another serial whose magic matches never pushes this instrument's copy out.
    const std::vector<LocalFile> mixed = InstrumentFiles({file(0, 100, 7, 5), file(0, 200, 0, 5)}, 7);
    ASSERT_EQ(mixed.size(), 1u);
    EXPECT_EQ(mixed[0].serial, 7u);
}

TEST(KestalRowTransfer, TemporaryTimeTextsAndModes)
{
    EXPECT_EQ(TemporaryTimeText("2006-08-01 00:00:00"), "2006-08-01 ");
    EXPECT_EQ(TemporaryTimeText("2006-08-01 12:00:00"), "2006-08-01 12_00_00");
    EXPECT_EQ(TemporaryTimeText("(running)"), "(running)");
    EXPECT_EQ(TemporaryTimeText("00_00_00"), "00_00_00");

    // The copy of a data log that has grown: [serial-start-length-magic].
    const QString copy = "[0001-00000100-00050-0000] [a] [b]  part.VRN";
    EXPECT_EQ(ChooseDownloadTarget(3.1, copy, "/d", 100, 80).mode, 1);
    EXPECT_EQ(ChooseDownloadTarget(3.1, copy, "/d", 100, 80).continueFrom, "");
    EXPECT_EQ(ChooseDownloadTarget(2.5, "", "/d", 100, 80).mode, 1);
    EXPECT_EQ(ChooseDownloadTarget(2.5, ".vrn", "/d", 100, 80).mode, 1); // four characters: no file
    const DownloadTarget partial = ChooseDownloadTarget(3.0, copy, "/d", 100, 80);
    EXPECT_EQ(partial.mode, 0);
    EXPECT_EQ(partial.continueFrom, "/d/" + copy);
    // Continued only from the data log's own beginning.
    EXPECT_EQ(ChooseDownloadTarget(2.5, copy, "/d", 120, 80).continueFrom, "");
    EXPECT_EQ(ChooseDownloadTarget(2.5, copy, "/d", 100, 50).continueFrom, "");
    const DownloadTarget other = ChooseDownloadTarget(2.5, "[0001-00000100-00050-0000] table.csv", "/d", 100, 80);
    EXPECT_EQ(other.mode, 0);
    EXPECT_EQ(other.continueFrom, "");
}

} // namespace
