#include <cmath>
#include <gtest/gtest.h>

#include <testing/CommaLocale.h>
#include <ostrel/DataStore.h>
#include <ostrel/LogDecoder.h>
#include <ostrel/RecordWriter.h>
#include <ostrel/TextReaders.h>

using namespace varno::ostrel;

using varno::ostrel::records::Writer;

namespace {

// Windowed programs run in the numeric locale of their environment, where printf writes
// "1,5" and strtod stops at a point. Every number the library reads or writes must come
// out as in the C locale all the same.
TEST(ProcessLocale, NumbersAreReadAndWrittenAsInTheCLocale)
{
    const varno::testing::ScopedCommaLocale comma;
    if (!comma.active())
        GTEST_SKIP() << varno::testing::CommaLocale::missingReason();

    CDataStore text;
    const std::string log = "2004-03-04 05:06:07 1.5 2.75 -0.25 1e-3\n";
    CTextLogReader(text.Table()).Read(log.data(), log.size());
    ASSERT_EQ(text.GetValueCount(0), 4);
    EXPECT_EQ(text.GetValue(0, 0), 1.5);
    EXPECT_EQ(text.GetValue(0, 1), 2.75);
    EXPECT_EQ(text.GetValue(0, 2), -0.25);
    EXPECT_EQ(text.GetValue(0, 3), double(0.001f));

    const std::string numbers = "1.5 2.5 4\n";
    EXPECT_TRUE(CNumberLogReader::FirstLineMatches(numbers.data(), numbers.size()));

    CDataStore decoded;
    std::vector<uint8_t> bytes = Writer().text("# varno 305 version 3.1 tarnvik orbelmetrik nr 42").floats({1}).bytes();
    CLogDecoder(decoded.Table()).Decode(bytes.data(), bytes.size());
    EXPECT_DOUBLE_EQ(decoded.GetVersion(), 3.1);

    text.SetNumberFormat("%.3e");
    EXPECT_EQ(text.GetEntryText(0), "1.500e+00 2.750e+00 -2.500e-01 1.000e-03");
    text.SetNumberFormat("%8.3f");
    EXPECT_EQ(text.GetEntryText(0), "   1.500    2.750   -0.250    0.001");
    EXPECT_EQ(decoded.GetResultText(), "conversion result: 0 intervals, conversion loss=0.00 %");
    EXPECT_STREQ(ostrel_getversionstring(), "Ostrel.Dll 2.0 , \tAug 17 2006");
}

} // namespace
