#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include <link/DataLogNames.h>

using namespace varno::link;

namespace {

// 2006-08-01 12:00:00 and 2006-08-17 00:00:00 as seconds since 1970.
constexpr uint32_t kAug1Noon = 1154433600u;
constexpr uint32_t kAug17 = 1155772800u;

Record towerA()
{
    Record r;
    r.serial = 12;
    r.start = 4096;
    r.length = 2048;
    r.startTime = kAug1Noon;
    r.stopTime = 0;
    r.text = "Tower A";
    return r;
}

} // namespace

TEST(DataLogNames, TransferNamesFollowTheExamples)
{
    EXPECT_EQ(TransferFileName(towerA()),
              "[0012-00004096-02048-0000] [2006-08-01 12_00_00] [(running)] Tower A.vrn");

    Record r;
    r.serial = 123;
    r.start = 4096;
    r.length = 512;
    r.startTime = kAug17; // midnight: the date alone
    r.text = "Tower 2";
    EXPECT_EQ(TransferFileName(r), "[0123-00004096-00512-0000] [2006-08-17] [(running)] Tower 2.vrn");
}

TEST(DataLogNames, KeyAndTimeTexts)
{
    EXPECT_EQ(FileKey(12, 4096, 2048), "0012-00004096-02048");
    EXPECT_EQ(FileKey(4294967295u, 4294967295u, 4294967295u), "4294967295-4294967295-4294967295");
    EXPECT_EQ(TimeText(0), "1970-01-01");
    EXPECT_EQ(TimeText(kAug1Noon), "2006-08-01 12:00:00");
    EXPECT_EQ(TimeText(kAug17 + 1), "2006-08-17 00:00:01");
    EXPECT_EQ(TimeText(951782400u), "2000-02-29"); // leap day
    EXPECT_EQ(TimeText(4294967295u), "2106-02-07 06:28:15");
    EXPECT_EQ(StopTimeText(0), "(running)");
    EXPECT_EQ(StopTimeText(kAug17), "2006-08-17");
}

TEST(DataLogNames, CharacterRule)
{
    EXPECT_EQ(ApplyCharacterRule("(running)"), "(running)");
    EXPECT_EQ(ApplyCharacterRule("azAZ09 !#%&()+,-;=[]^_{}~"), "azAZ09 !#%&()+,-;=[]^_{}~");
    // Latin-1: ä å æ ö ø ü ß, then Ä (not in the list) and other bytes.
    EXPECT_EQ(ApplyCharacterRule("\xE4\xE5\xE6\xF6\xF8\xFC\xDF"), "aaaoous");
    EXPECT_EQ(ApplyCharacterRule("M\xFCnster/Nord: 12.5 m \xC4"), "Munster_Nord_ 12_5 m _");
    EXPECT_EQ(ApplyCharacterRule(std::string("a\0b\tc\"d*e?f<g>h|i\\j'k@l$m`n", 27)), "a_b_c_d_e_f_g_h_i_j_k_l_m_n");
}

TEST(DataLogNames, TerminalNamesAndExtensions)
{
    const Record r = towerA();
    EXPECT_EQ(TerminalFileName(r, "", "varno310"),
              "[0012-00004096-02048-0000] [2006-08-01 12_00_00] [(running)]  Tower A.vrn");
    EXPECT_EQ(TerminalFileName(r, "", "CSV"), "[0012-00004096-02048-0000] [2006-08-01 12_00_00] [(running)]  Tower A.csv");
    EXPECT_EQ(TerminalFileName(r, "", "Qrx731").substr(TerminalFileName(r, "", "Qrx731").size() - 4), ".csv");
    EXPECT_EQ(TerminalFileName(r, "dat", "csv").substr(TerminalFileName(r, "dat", "csv").size() - 4), ".dat");
    Record withMagic = r;
    withMagic.magic = 345678;
    withMagic.stopTime = kAug17;
    EXPECT_EQ(TerminalFileName(withMagic, "", "varno310"),
              "[0012-00004096-02048-345678] [2006-08-01 12_00_00] [2006-08-17]  Tower A.vrn");
}

TEST(DataLogNames, BothFormsReadBackToTheSameRecord)
{
    Record r = towerA();
    r.magic = 77;
    r.text = "Tower A.north";
    for (const std::string& name : {TransferFileName(r), TerminalFileName(r, "", "varno310")}) {
        const NameRecord back = ReadName(name);
        EXPECT_EQ(back.serial, 12u) << name;
        EXPECT_EQ(back.start, 4096u);
        EXPECT_EQ(back.length, 2048u);
        EXPECT_EQ(back.magic, 77u);
        EXPECT_EQ(back.startText, "2006-08-01 12_00_00");
        EXPECT_EQ(back.stopText, "(running)");
        EXPECT_EQ(back.text, "Tower A_north"); // the dot fell to the character rule
        EXPECT_EQ(back.extension, "vrn");
        EXPECT_EQ(back.logLength, 2048u);
    }
}

TEST(DataLogNames, ReadingBackTakesTheBaseNameAndToleratesMissingParts)
{
    NameRecord r = ReadName("/data/[9999-1-2-3] st.ation/vrn/[0012-00004096-02048-0005] [a] [b]  Text.CSV");
    EXPECT_EQ(r.fileName, "[0012-00004096-02048-0005] [a] [b]  Text.CSV");
    EXPECT_EQ(r.serial, 12u);
    EXPECT_EQ(r.magic, 5u);
    EXPECT_EQ(r.text, "Text");
    EXPECT_EQ(r.extension, "csv");
    EXPECT_EQ(r.logLength, 0u); // not a vrn file

    r = ReadName("[0012-00004096] only two.vrn");
    EXPECT_EQ(r.serial, 12u);
    EXPECT_EQ(r.start, 4096u);
    EXPECT_EQ(r.length, 0u);
    EXPECT_EQ(r.magic, 0u);
    EXPECT_EQ(r.startText, "");
    EXPECT_EQ(r.text, "");

    r = ReadName("notes.vrn");
    EXPECT_EQ(r.serial, 0u);
    EXPECT_EQ(r.start, 0u);
    EXPECT_EQ(r.text, "");

    r = ReadName("[1-2-3-4] [s] [e]   no extension");
    EXPECT_EQ(r.text, "no extension");
    EXPECT_EQ(r.extension, "");
}

TEST(DataLogNames, LongTitlesAreCutToTheFileSystemLimit)
{
    Record r = towerA();
    r.text = std::string(253, 'x');
    for (const std::string& name : {TransferFileName(r), TerminalFileName(r, "", "varno310")}) {
        EXPECT_EQ(name.size(), kMaxNameBytes);
        EXPECT_EQ(name.substr(name.size() - 4), ".vrn");
        const NameRecord back = ReadName(name);
        EXPECT_EQ(back.serial, 12u);
        EXPECT_EQ(back.length, 2048u);
        EXPECT_EQ(back.extension, "vrn");
    }
    r.text = "short";
    EXPECT_LT(TransferFileName(r).size(), kMaxNameBytes);
}

TEST(DataLogNames, LeadingNumbersNeedTheBracketAtTheStart)
{
    uint32_t s, b, l, m;
    ReadLeadingNumbers("[0012-00004096-02048-0007] x.vrn", s, b, l, m);
    EXPECT_EQ(s, 12u);
    EXPECT_EQ(b, 4096u);
    EXPECT_EQ(l, 2048u);
    EXPECT_EQ(m, 7u);
    ReadLeadingNumbers("x [0012-00004096-02048-0007].vrn", s, b, l, m);
    EXPECT_EQ(s + b + l + m, 0u);
    ReadLeadingNumbers("[0012-abc-1-1].vrn", s, b, l, m);
    EXPECT_EQ(s, 12u);
    EXPECT_EQ(b, 0u);
    EXPECT_EQ(l, 0u);
}

TEST(DataLogNames, TransferSortOrder)
{
    std::vector<std::string> names = {
        "[0013-00000000-00010-0000] a.vrn",
        "[0012-00000100-00020-0000] a.vrn",
        "[0012-00000100-00010-0000] a.vrn",
        "[0012-00000050-00999-0000] a.vrn",
        "[0012-00000100-00010-0000] b.vrn",
        "[0012-00000100-00010-0000] B.vrn",
    };
    SortTransferNames(names);
    EXPECT_EQ(names[0], "[0012-00000050-00999-0000] a.vrn");
    // Equal numbers: the later name (without regard to case) first; b and B are equal and keep their order.
    EXPECT_EQ(names[1], "[0012-00000100-00010-0000] b.vrn");
    EXPECT_EQ(names[2], "[0012-00000100-00010-0000] B.vrn");
    EXPECT_EQ(names[3], "[0012-00000100-00010-0000] a.vrn");
    EXPECT_EQ(names[4], "[0012-00000100-00020-0000] a.vrn");
    EXPECT_EQ(names[5], "[0013-00000000-00010-0000] a.vrn");

    // Two non-zero magics that differ decide before the length.
    EXPECT_LT(CompareTransferNames("[1-2-900-5] x.vrn", "[1-2-10-6] x.vrn"), 0);
    EXPECT_GT(CompareTransferNames("[1-2-10-6] x.vrn", "[1-2-900-5] x.vrn"), 0);
    // A zero magic leaves it to the length.
    EXPECT_GT(CompareTransferNames("[1-2-900-0] x.vrn", "[1-2-10-6] x.vrn"), 0);
    EXPECT_EQ(CompareTransferNames("[1-2-3-4] x.vrn", "[1-2-3-4] X.VRN"), 0);
}

TEST(DataLogNames, MixedMagicListsSortWithoutHarm)
{
    // Magic 0 and non-zero magics in one folder make the order cyclic; sorting must stay
    // in range and keep every name.
    std::vector<std::string> names;
    for (uint32_t i = 0; i < 300; ++i) {
        char buf[80];
        std::snprintf(buf, sizeof buf, "[0001-00000000-%05u-%04u] n%u.vrn", (i * 37) % 50, (i % 3) ? (i * 7) % 11 : 0, i);
        names.push_back(buf);
    }
    std::vector<std::string> sorted = names;
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        std::shuffle(sorted.begin(), sorted.end(), rng);
        SortTransferNames(sorted);
        std::vector<std::string> a = sorted, b = names;
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        ASSERT_EQ(a, b);
    }
}

TEST(DataLogNames, TemporaryNameOfADownload)
{
    EXPECT_EQ(TemporaryDownloadName(12, 4096, 2048, "2006-08-01 00:00:00", "(running)", "Tower A"),
              "[0012-00004096-02048] [2006-08-01 ] [(running)] (tmp) Tower A");
    EXPECT_EQ(TemporaryDownloadName(12, 4096, 2048, "2006-08-01 12:00:00", "2006-08-02 00:00:00", "M\xFC/A"),
              "[0012-00004096-02048] [2006-08-01 12_00_00] [2006-08-02 ] (tmp) Mu_A");
    EXPECT_EQ(TemporaryDownloadName(1, 2, 3, "00_00_00", "", "x"), "[0001-00000002-00003] [00_00_00] [] (tmp) x");
    EXPECT_EQ(TemporaryDownloadName(1, 2, 3, "a", "b", std::string(300, 'y')).size(), kMaxNameBytes);
}
