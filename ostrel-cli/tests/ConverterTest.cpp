#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <sys/wait.h>

#include <ostrel-cli/Converter.h>
#include <ostrel/Ostrel.h>
#include <ostrel/RecordWriter.h>
#include <testing/CommaLocale.h>
#include <testing/ConvertedTable.h>
#include <testing/TestSupport.h>

using namespace varno::converter;

using varno::ostrel::records::Writer;
using varno::testing::ConvertedRow;
using varno::testing::convertInProcess;
using varno::testing::rowsOf;
using varno::testing::runProgram;
using varno::testing::shellQuote;
using varno::testing::splitNames;
using varno::testing::TempDir;

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
        varno::testing::writeFile(log, w.bytes());
    }

    varno::testing::ProgramResult convert(std::vector<std::string> args)
    {
        return runProgram(varno::testing::programPath("ostrel"), args);
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

// Separators, formats and column names whose tables would not load back are refused like
// missing values.
TEST_F(ConverterTest, OptionsWhoseTablesCannotLoadBackAreRefused)
{
    const auto r = convert({"-s|", "-s\\n", "-s,;", "-s;-", "-f%a", "-fv=%.2f", "-f%.1f V", "-f%.2f%%",
                            "-dv1 x", "-dv1,a\\nb", "-dv1;x", "-d\"v1\"", "-d", log});
    EXPECT_EQ(r.err, "erroneous column separator (ignored): -s|\n"
                     "erroneous column separator (ignored): -s\\n\n"
                     "erroneous column separator (ignored): -s,;\n"
                     "erroneous column separator (ignored): -s;-\n"
                     "erroneous number format (ignored): -f%a\n"
                     "erroneous number format (ignored): -fv=%.2f\n"
                     "erroneous number format (ignored): -f%.1f V\n"
                     "erroneous number format (ignored): -f%.2f%%\n"
                     "erroneous column list (ignored): -dv1 x\n"
                     "erroneous column list (ignored): -dv1,a\\nb\n"
                     "erroneous column list (ignored): -dv1;x\n"
                     "erroneous column list (ignored): -d\"v1\"\n");
    EXPECT_EQ(r.out.substr(0, 37), "2004-03-04 05:00:01 0    1.50   20.00");
}

// Every selected name, an empty one too, stands over its value; blanks around a name go,
// as the lookup by name ignores them.
TEST_F(ConverterTest, SelectedColumnsKeepTheirPlaces)
{
    const auto r = convert({"-d, v1 ,,V2\t", "-a", log});
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("\n\"date\" \"time\" \"period\" \"\" \"v1\" \"\" \"V2\"\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\n2004-03-04 05:00:01 0  NaN    1.50  NaN   20.00\n"), std::string::npos) << r.out;
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

// A file that gives no row (here a data log whose first bytes are damaged, so that the text
// reader takes it) converts to nothing, and says so.
TEST_F(ConverterTest, AFileWithoutEntriesIsWarnedAbout)
{
    std::vector<uint8_t> damaged = Writer().text("# 04.03.2004 05:00:00").floats({1.5f, 20}).bytes();
    damaged[0] = damaged[1] = 0xFF;
    varno::testing::writeFile(dir.file("damaged.vrn"), damaged);
    varno::testing::writeFile(dir.file("words.txt"), std::string("just words\n"));
    const auto r = convert({"-d", dir.file("damaged.vrn"), dir.file("words.txt"), log, "search=" + dir.path() + "/*"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Warning: no entries read from " + dir.file("damaged.vrn") + "\nWarning: no entries read from "
                         + dir.file("words.txt") + "\n");
    EXPECT_EQ(r.out.substr(0, 19), "2004-03-04 05:00:01");
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true; // their shadow memory does not fit under a memory limit
#else
constexpr bool kSanitized = false;
#endif

// Out of memory, a file fails like any other and the next one is converted.
TEST_F(ConverterTest, AFileTooLargeForTheMemoryFailsAndTheOthersAreConverted)
{
    if (kSanitized)
        GTEST_SKIP() << "memory limits do not work with sanitizers";
    // 16 MB whose entries take over twice their size.
    const std::string big = dir.file("big.vrn");
    varno::testing::writeMemoryHungryLog(big, 16 << 20);
    const auto r = runProgram(varno::testing::programPath("ostrel"), {"-d", big, log}, "ulimit -v 60000;");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "Error: not enough memory to load " + big + "\nFAILED reading file:" + big + "\n");
    EXPECT_EQ(r.out.substr(0, 19), "2004-03-04 05:00:01");
}

// A full disk must not leave a cut table that passes for whole; a reader that stops early
// (a closed pipe) is an ordinary, quiet end.
TEST_F(ConverterTest, AFailedWriteIsAnErrorAndAClosedPipeIsNot)
{
    const std::string ostrel = shellQuote(varno::testing::programPath("ostrel"));
    const std::string err = dir.file("err");
    int raw = std::system((ostrel + " " + shellQuote(log) + " >/dev/full 2>" + shellQuote(err)).c_str());
    EXPECT_EQ(WEXITSTATUS(raw), 1);
    EXPECT_EQ(varno::testing::readFile(err), "Error writing output: No space left on device\n");

    std::string rows;
    for (int k = 0; k < 20000; ++k)
        rows += "2004-03-04 05:06:07 1.5 2.5\n";
    varno::testing::writeFile(dir.file("rows.txt"), rows);
    const std::string status = dir.file("status");
    raw = std::system(("(" + ostrel + " " + shellQuote(dir.file("rows.txt")) + " 2>" + shellQuote(err) + "; echo $? >"
                       + shellQuote(status) + ") | head -c 100 >/dev/null")
                          .c_str());
    EXPECT_EQ(varno::testing::readFile(status), "0\n");
    EXPECT_EQ(varno::testing::readFile(err), "");
}

// The converter does not take the numeric locale of its environment, and the library it
// loads with reads and writes numbers the same in any locale.
TEST_F(ConverterTest, SameTableInACommaDecimalLocale)
{
    const varno::testing::CommaLocale comma; // also sets LOCPATH for the programs started here
    if (!comma.available())
        GTEST_SKIP() << varno::testing::CommaLocale::missingReason();
    varno::testing::writeFile(dir.file("table.txt"), std::string("\"date\" \"time\" \"period\" \"v\"\n"
                                                              "2004-03-04 05:06:07 0 1.5e0 -0.25\n"));
    for (const std::vector<std::string>& args : {std::vector<std::string>{log}, {"-f%.3e", "-v", dir.file("table.txt")}}) {
        const auto c = runProgram(varno::testing::programPath("ostrel"), args, "LC_ALL=C");
        const auto de = runProgram(varno::testing::programPath("ostrel"), args, std::string("LC_ALL=") + comma.name());
        EXPECT_EQ(de.out, c.out);
        EXPECT_EQ(de.err, c.err);
    }
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
    varno::testing::writeFile(dir.file("untimed.vrn"), Writer().floats({3}).bytes());
    const auto r = convert({"-d", dir.file("untimed.vrn")});
    EXPECT_EQ(r.out, "1970-01-01 00:00:00 0    3.00\n");
}

TEST_F(ConverterTest, OutputIntoACommand)
{
    const std::string copy = dir.file("copy.txt");
    auto r = convert({"-d", "-ccat > " + varno::testing::shellQuote(copy), log});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Exepath="), std::string::npos);
    EXPECT_EQ(varno::testing::readFile(copy).substr(0, 19), "2004-03-04 05:00:01");

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

// Every table the converter writes loads back through the library: the same rows and times,
// the same values to the printed precision, and, where the table has column lines, the same
// names over them ("period" first, over the 0 that every row carries).
TEST_F(ConverterTest, EveryTableLoadsBackWithItsNamesAndValues)
{
    Writer w;
    w.text("# varno 305 version 3.1 tarnvik orbelmetrik nr 42");
    w.text("# 04.03.2004 05:00:00");
    w.text("# set stat period 600");
    w.text("# stat format = mean max");
    w.floats({1.5f, 20, -0.25f, 12345.678f, 0.001f, 1e30f, 359.5f});
    w.floats({2.25f, -1, 0, 3.14159f, -7.5e-5f, 100, 0});
    w.halfFloats({0x7C00, 0xFC00, 0xFFFF, 0x3C00, 0, 0x8000, 0x4000});
    const std::string source = dir.file("source.vrn");
    varno::testing::writeFile(source, w.bytes());
    std::unique_ptr<COstrel> original(COstrel::newObject());
    ASSERT_TRUE(original->Load(source));

    const std::string selection = "v1,direction,v2_max,nothing";
    const std::vector<std::vector<std::string>> optionSets = {
        {}, {"-a"}, {"-d"}, {"-a", "-d"}, {"-d", "-a"}, {"-d" + selection}, {"-a", "-d" + selection}};
    const char* separators[] = {" ", ";", "\\t", ", ", " ; ", "\t\t"};
    const char* formats[] = {"%7.2f", "%.3e", "%-9.4g", "%+.1f", "%#.0f", "%G", "%010.3f", "% .5E", "%.9g"};
    const std::string table = dir.file("table.txt");
    for (const bool verbose : {false, true})
        for (const std::vector<std::string>& options : optionSets)
            for (const char* separator : separators)
                for (const char* format : formats) {
                    std::vector<std::string> args = options;
                    if (verbose)
                        args.push_back("-v");
                    args.insert(args.end(), {std::string("-s") + separator, std::string("-f") + format, source});
                    std::string what;
                    for (const std::string& arg : args)
                        what += "[" + arg + "] ";
                    std::string messages;
                    varno::testing::writeFile(table, convertInProcess(args, messages));
                    ASSERT_EQ(messages.find("erroneous"), std::string::npos) << what << messages;

                    std::unique_ptr<COstrel> back(COstrel::newObject());
                    ASSERT_TRUE(back->Load(table)) << what;
                    const bool selected = !options.empty() && options.back().size() > 2 && options.back().compare(0, 2, "-d") == 0;
                    const bool named = options.empty() || options.front() == "-a" || options.back() == "-a";
                    const std::vector<ConvertedRow> expected = rowsOf(*original, selected ? splitNames(selection) : std::vector<std::string>());
                    const std::vector<ConvertedRow> found = rowsOf(*back, {});
                    ASSERT_EQ(found.size(), expected.size()) << what;
                    const CNumberFormat printed(format);
                    for (size_t k = 0; k < expected.size(); ++k) {
                        ASSERT_EQ(found[k].time, expected[k].time) << what;
                        ASSERT_EQ(found[k].values.size(), expected[k].values.size() + 1) << what;
                        EXPECT_EQ(found[k].values[0], 0) << what;
                        for (size_t j = 0; j < expected[k].values.size(); ++j) {
                            std::string a, b;
                            printed.Append(a, found[k].values[j + 1]);
                            printed.Append(b, expected[k].values[j]);
                            ASSERT_EQ(a, b) << what << "row " << k << " value " << j;
                        }
                        if (named) {
                            ASSERT_EQ(found[k].names.size(), expected[k].names.size() + 1) << what;
                            EXPECT_EQ(found[k].names[0], "period") << what;
                            for (size_t j = 0; j < expected[k].names.size(); ++j)
                                ASSERT_EQ(found[k].names[j + 1], expected[k].names[j]) << what;
                        }
                    }
                }
}

TEST_F(ConverterTest, ConvertedTableLoadsBack)
{
    const auto first = convert({"-a", log});
    varno::testing::writeFile(dir.file("table.txt"), first.out);
    const auto again = convert({"-d", dir.file("table.txt")});
    // The period column becomes the first value of each row read back.
    EXPECT_EQ(again.out.substr(0, 45), "2004-03-04 05:00:01 0    0.00    1.50   20.00");
}

} // namespace
