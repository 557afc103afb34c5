#include <fenlux/FenluxData.h>

#include <gtest/gtest.h>

#include <cmath>

using namespace varno::fenlux;

using varno::fenlux::FenluxData;

namespace {

void feed(FenluxData& d, std::initializer_list<const char*> lines)
{
    for (const char* l : lines)
        d.appendLine(l);
}

struct Expect {
    const char* name;
    const char* suffix;
    int group, kind, index;
};

void expectColumns(const FenluxData& d, std::initializer_list<Expect> expected)
{
    int i = 1;
    for (const Expect& e : expected) {
        const FenluxColumn* c = d.column(i);
        ASSERT_NE(c, nullptr) << i;
        EXPECT_EQ(c->name, QString::fromLatin1(e.name)) << i;
        EXPECT_EQ(c->suffix, QString::fromLatin1(e.suffix)) << i;
        EXPECT_EQ(c->group, e.group) << i;
        EXPECT_EQ(c->kind, e.kind) << i;
        EXPECT_EQ(c->index, e.index) << i;
        ++i;
    }
}

} // namespace

TEST(FenluxStatistics, SuffixTableAndKindNames)
{
    EXPECT_EQ(varno::fenlux::statisticKind("mean360"), 0);
    EXPECT_EQ(varno::fenlux::statisticKind("median"), 5);
    EXPECT_EQ(varno::fenlux::statisticKind("Mean"), -1);
    EXPECT_EQ(varno::fenlux::statisticName(0), "value/mean");
    EXPECT_EQ(varno::fenlux::statisticName(3), "min");
    EXPECT_EQ(varno::fenlux::statisticName(6), "");
}

TEST(FenluxHeaderGrouping, StatisticsOfOneQuantityShareAGroup)
{
    FenluxData d;
    feed(d, {"\"time\",\"speed_mean\",\"speed_sigma\",\"speed_max\",\"dir_mean\""});
    EXPECT_EQ(d.column(0)->name, "index");
    expectColumns(d, {{"time", "", 0, 0, 1},
                      {"speed", "mean", 1, 0, 0},
                      {"speed", "sigma", 1, 1, 1},
                      {"speed", "max", 1, 2, 2},
                      {"dir", "mean", 2, 0, 0}});
    EXPECT_EQ(d.highestGroup(), 2);
    EXPECT_EQ(d.highestKind(), 2);
}

TEST(FenluxHeaderGrouping, RepeatedKindOpensANewGroup)
{
    FenluxData d;
    feed(d, {"\"time\",\"speed_mean\",\"speed_sigma\",\"speed_mean\""});
    expectColumns(d, {{"time", "", 0, 0, 1},
                      {"speed", "mean", 1, 0, 0},
                      {"speed", "sigma", 1, 1, 1},
                      {"speed", "mean", 2, 0, 0}});
}

TEST(FenluxHeaderGrouping, ConverterTableYieldsTimePeriodAndValues)
{
    FenluxData d;
    feed(d, {"# instrument T1- 7\n", "# header \"Hill top\"\n", "\n",
             "\"date\" \"time\" \"period\" \"v1_mean\" \"v1_max\" \"direction_mean360\"\n",
             "2004-03-04 05:06:07 0    1.50   20.00  270.00\n",
             "2004-03-04 05:16:07 0    1.75   21.00    NaN\n"});
    expectColumns(d, {{"time", "", 0, 0, 1},
                      {"period", "", 1, 0, 0},
                      {"v1", "mean", 2, 0, 0},
                      {"v1", "max", 2, 2, 1},
                      {"direction", "mean360", 3, 0, 0}});
    ASSERT_EQ(d.rowCount(), 2u);
    EXPECT_DOUBLE_EQ(d.values(1)[0], 1078376767.0);
    EXPECT_DOUBLE_EQ(d.values(2)[1], 0.0);
    EXPECT_DOUBLE_EQ(d.values(3)[1], 1.75);
    EXPECT_TRUE(std::isnan(d.values(5)[1]));
    EXPECT_DOUBLE_EQ(d.values(0)[1], 1.0);
    EXPECT_EQ(d.instrument(), "T1-,7");
    EXPECT_EQ(d.header(), "\"Hill top\"");
    EXPECT_EQ(d.titleFor("a.vrn"), "\"Hill top\"");
    EXPECT_TRUE(d.isUsable());
}

TEST(FenluxDataLines, ShortAndLongLinesAndPlainNumberTimes)
{
    FenluxData d;
    feed(d, {"\"time\",\"a\",\"b\"", "100,1,2", "200,3", "300,4,5,6,7"});
    ASSERT_EQ(d.columnCount(), 6);
    ASSERT_EQ(d.rowCount(), 3u);
    EXPECT_DOUBLE_EQ(d.values(1)[0], 100);
    EXPECT_TRUE(std::isnan(d.values(3)[1]));
    EXPECT_EQ(d.column(4)->name, "column 4");
    EXPECT_EQ(d.column(4)->group, 4);
    EXPECT_TRUE(std::isnan(d.values(4)[0]));
    EXPECT_TRUE(std::isnan(d.values(5)[1]));
    EXPECT_DOUBLE_EQ(d.values(5)[2], 7);
    // Unreadable numbers read as 0, an unreadable time as 0.
    d.appendLine("x,y,z");
    EXPECT_DOUBLE_EQ(d.values(1)[3], 0);
    EXPECT_DOUBLE_EQ(d.values(2)[3], 0);
}

TEST(FenluxDataLines, HeaderAfterDataFillsEarlierRowsWithZero)
{
    FenluxData d;
    feed(d, {"1,2", "3,4", "\"time\",\"a\",\"b_max\""});
    ASSERT_EQ(d.columnCount(), 4);
    EXPECT_EQ(d.column(2)->name, "a");
    EXPECT_DOUBLE_EQ(d.values(3)[0], 0.0);
    EXPECT_DOUBLE_EQ(d.values(3)[1], 0.0);
    d.appendLine("5,6,7");
    EXPECT_DOUBLE_EQ(d.values(3)[2], 7);
}

TEST(FenluxCommentLines, KeywordsIgnoreCaseAndMakeTheTitle)
{
    FenluxData d;
    feed(d, {"# Instrument Mast 3", "#,MEASUREMENT,12", "# other thing"});
    EXPECT_EQ(d.instrument(), "Mast,3");
    EXPECT_EQ(d.measurement(), "12");
    EXPECT_EQ(d.titleFor("x.csv"), "Mast,3 - measurement 12");
    FenluxData plain;
    EXPECT_EQ(plain.titleFor("x.csv"), "x.csv");
}

TEST(FenluxJoining, TimesAndAppendRules)
{
    FenluxData a, b, c;
    feed(a, {"\"time\",\"v\"", "1000,1", "1010,2"});
    feed(b, {"\"time\",\"v\"", "1020,3", "1030,4"});
    feed(c, {"\"time\",\"v\",\"w\"", "1020,3,4"});
    EXPECT_DOUBLE_EQ(a.lastTime(), 1010);
    EXPECT_DOUBLE_EQ(b.firstTime(), 1020);
    EXPECT_DOUBLE_EQ(b.startBeforeFirst(), 1010);
    EXPECT_FALSE(a.append(c));
    ASSERT_TRUE(a.append(b));
    ASSERT_EQ(a.rowCount(), 4u);
    EXPECT_DOUBLE_EQ(a.values(0)[3], 3);
    EXPECT_DOUBLE_EQ(a.values(2)[3], 4);
    EXPECT_TRUE(a.isAscending(1));

    FenluxData one, none;
    feed(one, {"\"time\",\"v\"", "50,1"});
    EXPECT_DOUBLE_EQ(one.startBeforeFirst(), 50);
    EXPECT_DOUBLE_EQ(none.startBeforeFirst(), 0);
    EXPECT_DOUBLE_EQ(none.lastTime(), 0);

    // Two documents without columns join to one without columns.
    FenluxData empty;
    EXPECT_TRUE(none.append(empty));
    EXPECT_EQ(none.columnCount(), 0);
}

TEST(FenluxUsability, NeedsMoreThanTwoColumnsAndARow)
{
    FenluxData d;
    d.appendLine("\"time\",\"v\"");
    EXPECT_FALSE(d.isUsable());
    d.appendLine("1,2");
    EXPECT_TRUE(d.isUsable());
    FenluxData narrow;
    narrow.appendLine("1");
    EXPECT_FALSE(narrow.isUsable());
}

TEST(FenluxOrdinaryCsv, AFirstLineOfNamesIsTheColumnLine)
{
    FenluxData d;
    feed(d, {"# exported by a logger", "time,speed,dir", "2024-05-01 00:10:00,5.5,270"});
    expectColumns(d, {{"time", "", 0, 0, 1}, {"speed", "", 1, 0, 0}, {"dir", "", 2, 0, 0}});
    ASSERT_EQ(d.rowCount(), 1u);
    EXPECT_DOUBLE_EQ(d.values(1)[0], 1714522200.0);
    EXPECT_DOUBLE_EQ(d.values(2)[0], 5.5);

    // Whatever heads the first column, it holds the time; date and time in two columns
    // are one time in the rows.
    FenluxData separate;
    feed(separate, {"Date;Time;v_mean;v_max", "01.05.2024;00:10:00;5.5;9"});
    expectColumns(separate, {{"time", "", 0, 0, 1}, {"v", "mean", 1, 0, 0}, {"v", "max", 1, 2, 1}});
    EXPECT_DOUBLE_EQ(separate.values(3)[0], 9.0);

    // A line with a number or a time in it is data, as is any later line of names.
    FenluxData numbers;
    feed(numbers, {"100,speed,dir", "x,y,z"});
    EXPECT_EQ(numbers.rowCount(), 2u);
    EXPECT_EQ(numbers.column(2)->name, "column 2");
    FenluxData time;
    feed(time, {"2024-05-01 00:10:00,calm,north"});
    EXPECT_EQ(time.rowCount(), 1u);
}

TEST(FenluxOrdinaryCsv, EmptyCellsAnywhereAreMissingValues)
{
    FenluxData d;
    feed(d, {"time,a,b,c", "10,1,,3", "20,,2,", "30, ,5,6", ",7,8,9"});
    ASSERT_EQ(d.rowCount(), 4u);
    ASSERT_EQ(d.columnCount(), 5);
    EXPECT_TRUE(std::isnan(d.values(3)[0]));
    EXPECT_DOUBLE_EQ(d.values(4)[0], 3);
    EXPECT_TRUE(std::isnan(d.values(2)[1]));
    EXPECT_TRUE(std::isnan(d.values(4)[1]));
    EXPECT_TRUE(std::isnan(d.values(2)[2]));
    // A row without its time keeps its values in their columns.
    EXPECT_TRUE(std::isnan(d.values(1)[3]));
    EXPECT_DOUBLE_EQ(d.values(2)[3], 7);
    EXPECT_DOUBLE_EQ(d.values(4)[3], 9);
}

TEST(FenluxOrdinaryCsv, InfinityIsAGapLikeNaN)
{
    FenluxData d;
    feed(d, {"time,a,b", "10,inf,1e400", "20,-inf,-1e999", "inf,2,3", "-inf,4,5", "40,1e300,nan"});
    ASSERT_EQ(d.rowCount(), 5u);
    for (size_t r = 0; r < 2; ++r) {
        EXPECT_TRUE(std::isnan(d.values(2)[r])) << r;
        EXPECT_TRUE(std::isnan(d.values(3)[r])) << r;
    }
    EXPECT_TRUE(std::isnan(d.values(1)[2]));
    EXPECT_TRUE(std::isnan(d.values(1)[3]));
    EXPECT_DOUBLE_EQ(d.values(2)[3], 4);
    EXPECT_DOUBLE_EQ(d.values(2)[4], 1e300);
    // What the scales see: only finite numbers.
    double low, high;
    ASSERT_TRUE(d.summary(2)->range(d.values(2), 0, 5, &low, &high));
    EXPECT_DOUBLE_EQ(low, 2);
    EXPECT_DOUBLE_EQ(high, 1e300);
}
