// The station configuration reader, the file lists and the command line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include <transfer/Dictionary.h>
#include <transfer/StationCall.h>
#include <testing/TestSupport.h>
#include <transfer/TransferProgram.h>

using namespace varno::transfer;

namespace {

std::string printed(const Dictionary& d, const std::string& prefix)
{
    char* data = nullptr;
    size_t size = 0;
    std::FILE* out = open_memstream(&data, &size);
    d.Print(out, prefix);
    std::fclose(out);
    std::string text(data, size);
    std::free(data);
    return text;
}

Dictionary files(std::initializer_list<const char*> names)
{
    Dictionary d;
    for (const char* name : names)
        d.Append(std::string(name), std::string(name));
    return d;
}

std::vector<std::string> values(const Dictionary& d)
{
    std::vector<std::string> v;
    for (const DictionaryEntry& e : d.entries())
        v.push_back(e.value.value_or("<none>"));
    return v;
}

} // namespace

TEST(TransferDictionary, ReadsStationConfigurationLines)
{
    varno::testing::TempDir dir;
    const std::string longValue(5000, 'x');
    varno::testing::writeFile(dir.file("station.cfg"),
                           "creator kestal 3.0\r\n"
                           "  \t\r\n"
                           "# a comment  \r\n"
                           "CONNECTION   COM1 9600  \r\n"
                           "password\r\n"
                           "note " + longValue + "\n"
                           "connection COM2\n"
                           "last\tvalue with  blanks");
    Dictionary d;
    ASSERT_TRUE(d.ReadFile(dir.file("station.cfg")));
    ASSERT_EQ(d.size(), 8u);
    EXPECT_FALSE(d.entries()[1].key || d.entries()[1].value);
    EXPECT_FALSE(d.entries()[2].key);
    EXPECT_EQ(d.entries()[2].value, "# a comment");
    // Lookup: first match without regard to case; a key alone has no value.
    EXPECT_EQ(d.Lookup("connection"), "COM1 9600");
    EXPECT_EQ(d.Lookup("Password"), std::nullopt);
    EXPECT_EQ(d.Lookup("note"), longValue); // a long line is never split
    EXPECT_EQ(d.Lookup("last"), "value with  blanks");
    EXPECT_EQ(d.Lookup("*"), "kestal 3.0");
    EXPECT_EQ(d.Lookup("station"), std::nullopt);

    EXPECT_EQ(printed(d, "> "), "> creator kestal 3.0\n> # a comment\n> CONNECTION COM1 9600\n> password\n> note "
                                    + longValue + "\n> connection COM2\n> last value with  blanks\n");

    Dictionary none;
    EXPECT_FALSE(none.ReadFile(dir.file("missing.cfg")));
    varno::testing::writeFile(dir.file("empty.cfg"), "");
    EXPECT_TRUE(none.ReadFile(dir.file("empty.cfg")));
    EXPECT_TRUE(none.empty());
    EXPECT_EQ(none.Lookup("*"), std::nullopt);
}

TEST(TransferDictionary, InsertsAfterAGivenEntry)
{
    Dictionary d;
    d.Append(std::string("a"), std::nullopt);
    d.Append(std::string("c"), std::nullopt);
    d.InsertAfter(0, std::string("b"), std::nullopt);
    d.InsertAfter(-1, std::string("0"), std::nullopt);
    EXPECT_EQ(printed(d, ""), "0\na\nb\nc\n");
}

TEST(TransferSelection, NewFilesAgainstTheLocalFolder)
{
    const Dictionary remote = files({"[0123-00000000-03341-0000] [x] [y] A.vrn", "[0123-00003341-03341-0000] B.vrn",
                                     "[0123-00006682-03290-0000] C.vrn"});
    // An empty folder: everything, in the instrument's order.
    EXPECT_EQ(values(SelectNewFiles(Dictionary(), remote)), values(remote));

    // Covered by a local range that ends at or beyond the remote end, whatever its text;
    // a grown data log (same start, longer) is new again.
    Dictionary local = files({"[0123-00000000-03341-0000] other text.vrn", "[0123-00003341-03500-0000] B.vrn",
                              "[0123-00006682-03000-0000] C.vrn"});
    local.SortByName();
    EXPECT_EQ(values(SelectNewFiles(local, remote)), std::vector<std::string>{"[0123-00006682-03290-0000] C.vrn"});

    // Files of another instrument and names without the pattern cover nothing.
    local = files({"[0124-00000000-09999-0000] A.vrn", "notes.vrn", "[0123-x.vrn"});
    local.SortByName();
    EXPECT_EQ(values(SelectNewFiles(local, remote)), values(remote));

    // Sorting: serial, start, then length.
    local = files({"[0123-00000010-00005-0000] b.vrn", "zz.vrn", "[0123-00000010-00004-0000] a.vrn",
                   "[0001-00000099-00001-0000] c.vrn"});
    local.SortByName();
    EXPECT_EQ(values(local), (std::vector<std::string>{"zz.vrn", "[0001-00000099-00001-0000] c.vrn",
                                                        "[0123-00000010-00004-0000] a.vrn",
                                                        "[0123-00000010-00005-0000] b.vrn"}));
}

TEST(TransferCommandLine, OptionsAndTheirOrder)
{
    const auto parse = [](std::vector<std::string> args) {
        TransferOptions o;
        EXPECT_TRUE(ParseArguments(args, o));
        return o;
    };
    EXPECT_EQ(parse({"--verbose", "--verbose"}).verbose, 3);
    EXPECT_EQ(parse({"--verbose=2", "--verbose"}).verbose, 3);
    EXPECT_EQ(parse({"--verbose", "--verbose=0"}).verbose, 0);
    EXPECT_EQ(parse({"--verboseX"}).verbose, 2);
    EXPECT_EQ(parse({"--verbose=x"}).verbose, 0);
    EXPECT_EQ(parse({"--verbose=-4"}).verbose, -4);
    EXPECT_EQ(parse({}).readahead, -1);
    EXPECT_EQ(parse({"--readahead=abc"}).readahead, 0);
    EXPECT_EQ(parse({"--readahead=12blocks"}).readahead, 12);
    EXPECT_EQ(parse({"--readahead=99999999999"}).readahead, 2147483647);
    EXPECT_EQ(parse({}).stall, 120);
    EXPECT_EQ(parse({"--stall=5", "--stall=30s"}).stall, 30);

    const TransferOptions o = parse({"--station=a", "--station=b", "--destination=", "--archive=z",
                                     "--modemport=/dev/ttyUSB0", "--password=p=q"});
    EXPECT_EQ(o.station, "b");
    EXPECT_EQ(o.destination, "");
    EXPECT_EQ(o.archive, "z");
    EXPECT_EQ(o.password, "p=q");
    EXPECT_FALSE(o.connection);

    TransferOptions bad;
    EXPECT_FALSE(ParseArguments({"--stationx=/tmp"}, bad));
    EXPECT_FALSE(ParseArguments({"-station=/tmp"}, bad));
    EXPECT_FALSE(ParseArguments({"--Verbose"}, bad));
    EXPECT_FALSE(ParseArguments({"--station"}, bad));
    EXPECT_FALSE(ParseArguments({"--stall"}, bad));
}

TEST(TransferCommandLine, EffectiveConnectionIsNeverCut)
{
    TransferOptions o;
    EXPECT_EQ(EffectiveConnection(o, "0123456"), "0123456");
    o.modemPort = "/dev/ttyUSB0";
    EXPECT_EQ(EffectiveConnection(o, "0123456"), "/dev/ttyUSB0 0123456");
    EXPECT_EQ(EffectiveConnection(o, "COM1"), "COM1");
    EXPECT_EQ(EffectiveConnection(o, "/dev/ttyS1"), "/dev/ttyS1");
    EXPECT_EQ(EffectiveConnection(o, "com1"), "/dev/ttyUSB0 com1"); // the test is case-sensitive
    const std::string number(300, '5');
    EXPECT_EQ(EffectiveConnection(o, number), "/dev/ttyUSB0 " + number);
}
