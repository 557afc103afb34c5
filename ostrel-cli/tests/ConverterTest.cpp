#include <gtest/gtest.h>

#include "RecordWriter.h"
#include "TestSupport.h"

using ostrel::records::Writer;
using testsupport::runProgram;
using testsupport::TempDir;

namespace {

class ConverterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Writer w;
        w.text("# varno 305 version 3.1 tarnvik orbelmetrik nr 42");
        w.text("# \"Tower A\"");
        w.text("# 04.03.2004 05:00:00");
        w.text("# set stat period 600");
        w.text("# stat format = mean");
        w.floats({1.5f, 20, 0, 0});
        w.floats({2.25f, -1, 0, 0});
        w.halfFloats({0x7C00, 0xFC00, 0xFFFF, 0});
        testsupport::writeFile(log, w.bytes());
    }

    testsupport::ProgramResult convert(std::vector<std::string> args)
    {
        return runProgram(testsupport::programPath("ostrel"), args);
    }

    TempDir dir;
    std::string log = dir.file("log.vrn");
};

TEST_F(ConverterTest, NoArgumentsWritesNothing)
{
    const auto r = convert({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

TEST_F(ConverterTest, DefaultTable)
{
    const auto r = convert({log});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "# instrument varno305-  42\n"
                     "# header \"Tower A\"\n"
                     "\n"
                     "\"date\" \"time\" \"period\" \"v1_mean\" \"v2_mean\" \"v3_mean\" \"direction_mean360\"\n"
                     "2004-03-04 05:00:01 0    1.50   20.00    0.00    0.00\n"
                     "2004-03-04 05:10:00 0    2.25   -1.00    0.00    0.00\n"
                     "2004-03-04 05:20:00 0  +INF  -INF  NaN    0.00\n");
}

TEST_F(ConverterTest, DataOnlyWithColumnSelectionFormatAndSeparator)
{
    const auto r = convert({"-dv1,direction,nothing", "-f%.1f", "-s\\t", log});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "2004-03-04 05:00:01\t0\t1.5\t0.0\t NaN\n"
                     "2004-03-04 05:10:00\t0\t2.2\t0.0\t NaN\n"
                     "2004-03-04 05:20:00\t0\t +INF\t0.0\t NaN\n");
}

TEST_F(ConverterTest, BadOptionsAreReportedAndIgnored)
{
    const auto r = convert({"-f", "-f%s", "-f%n%f", "-s", "-c", "-x", "-d", log});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "erroneous number format (ignored): -f\n"
                     "erroneous number format (ignored): -f%s\n"
                     "erroneous number format (ignored): -f%n%f\n"
                     "erroneous column separator (ignored): -s\n"
                     "erroneous output command (ignored): -c\n"
                     "erroneous option (ignored): -x\n");
    EXPECT_NE(r.out.find("2004-03-04 05:00:01 0    1.50   20.00"), std::string::npos);
}

TEST_F(ConverterTest, FailedFilesAreReportedAndTheOthersConverted)
{
    const auto r = convert({"-d", dir.file("missing.vrn"), log});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Error: unable to open file\nFAILED reading file:" + dir.file("missing.vrn") + "\n");
    EXPECT_EQ(r.out.substr(0, 19), "2004-03-04 05:00:01");
}

TEST_F(ConverterTest, VerboseTestAndAllModes)
{
    auto r = convert({"-v", "-t", log});
    EXPECT_EQ(r.err, "reading file: " + log + "\nconversion result: 0 intervals, conversion loss=0.00 %\nready\n");
    EXPECT_NE(r.out.find("0 0x1001 {v1_mean,v2_mean,v3_mean,direction_mean360} 2004-03-04 05:00:00 # varno 305 version 3.1 tarnvik orbelmetrik nr 42\n"),
              std::string::npos);
    // The library formats the values with the converter's number format.
    EXPECT_NE(r.out.find("5 0x2088 {v1_mean,v2_mean,v3_mean,direction_mean360} 2004-03-04 05:00:01    1.50   20.00"),
              std::string::npos);

    r = convert({"-d", "-a", log});
    EXPECT_NE(r.out.find("# instrument"), std::string::npos);
    EXPECT_NE(r.out.find("\n\"date\" \"time\" \"period\" \"v1_mean\" \"v2_mean\" \"v3_mean\" \"direction_mean360\"\n"
                         "2004-03-04 05:00:01"),
              std::string::npos);
}

TEST_F(ConverterTest, HelpPrintsUsageOnly)
{
    const auto r = convert({"-h", log});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("usage:\n  ostrel [options]  [filetoconvert]\n"), std::string::npos);
    EXPECT_NE(r.err.find("  -t                    test: let ostrel.dll format the output directly\n"), std::string::npos);
    EXPECT_EQ(r.err.find("-c"), std::string::npos);
}

TEST_F(ConverterTest, InvalidTimesPrintAsTheEpoch)
{
    testsupport::writeFile(dir.file("untimed.vrn"), Writer().floats({3}).bytes());
    const auto r = convert({"-d", dir.file("untimed.vrn")});
    EXPECT_EQ(r.out, "1970-01-01 00:00:00 0    3.00\n");
}

TEST_F(ConverterTest, OutputIntoACommand)
{
    const std::string copy = dir.file("copy.txt");
    auto r = convert({"-d", "-ccat > " + testsupport::shellQuote(copy), log});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Exepath="), std::string::npos);
    EXPECT_EQ(testsupport::readFile(copy).substr(0, 19), "2004-03-04 05:00:01");

    r = convert({"-d", "-cno-such-command-anywhere", log});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Unable to start external command: no-such-command-anywhere\n"), std::string::npos);
}

TEST_F(ConverterTest, InteractiveLoadFailsWithoutADialog)
{
    const auto r = convert({"-i"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "FAILED reading file:-i\n");
}

TEST_F(ConverterTest, ConvertedTableLoadsBack)
{
    const auto first = convert({"-a", log});
    testsupport::writeFile(dir.file("table.txt"), first.out);
    const auto again = convert({"-d", dir.file("table.txt")});
    // The period column becomes the first value of each row read back.
    EXPECT_EQ(again.out.substr(0, 45), "2004-03-04 05:00:01 0    0.00    1.50   20.00");
}

} // namespace
