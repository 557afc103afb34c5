#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

#include <ostrel/DataStore.h>
#include <ostrel/LogDecoder.h>
#include <ostrel/RecordWriter.h>

using namespace varno::ostrel;

using varno::ostrel::records::Writer;

namespace {

struct Decoded {
    CDataStore store;
    std::vector<std::string> texts;

    explicit Decoded(std::vector<uint8_t> bytes)
    {
        CLogDecoder(store.Table()).Decode(bytes.data(), bytes.size());
        for (int i = 0; i < store.GetEntryCount(); ++i)
            texts.push_back(store.GetEntryText(i));
    }
};

std::string print(CUtcTime t)
{
    char buf[CUtcTime::PrintBufferSize];
    return t.Print(buf, false);
}

std::vector<float> valuesOf(CDataStore& store, int i)
{
    std::vector<float> values;
    for (int j = 0; j < store.GetValueCount(i); ++j)
        values.push_back(float(store.GetValue(i, j)));
    return values;
}

TEST(Decoder, ConsecutiveTextRecordsAndSinglePadByte)
{
    for (const std::vector<uint8_t>& bytes : {std::vector<uint8_t>{2, 1, 'A', 2, 1, 'B'},
                                             std::vector<uint8_t>{2, 1, 'A', 0, 2, 1, 'B'}}) {
        Decoded d(bytes);
        EXPECT_EQ(d.texts, (std::vector<std::string>{"A", "B"}));
        EXPECT_EQ(d.store.GetEntryFlags(0), LOGF_TEXT);
        EXPECT_EQ(d.store.GetLossRatio(), 0.0);
    }
}

// Filler records skip the line analysis, since their line holds nothing it looks for: they
// get what a text record with the same line gets from it.
TEST(Decoder, FillersGetWhatTheLineAnalysisWouldGiveThem)
{
    for (int length = 1; length <= 254; ++length) {
        Writer fillers, texts;
        fillers.text("# 01.02.2006 10:00:00").filler(uint8_t(length)).floats({1});
        texts.text("# 01.02.2006 10:00:00").text("* filling block " + std::to_string(length)).floats({1});
        Decoded filler(fillers.bytes()), text(texts.bytes());
        ASSERT_EQ(filler.texts, text.texts) << length;
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(filler.store.GetEntryFlags(i), text.store.GetEntryFlags(i)) << length;
            EXPECT_EQ(filler.store.GetEntryTime(i), text.store.GetEntryTime(i)) << length;
        }
    }
}

TEST(Decoder, ValueRecordsOfEveryKind)
{
    Decoded floats({5, 2, 0x3F, 0x80, 0, 0, 3, 3, 0x3C, 0x00});
    ASSERT_EQ(floats.store.GetEntryCount(), 2);
    EXPECT_EQ(valuesOf(floats.store, 0), std::vector<float>{1.0f});
    EXPECT_EQ(valuesOf(floats.store, 1), std::vector<float>{1.0f});
    EXPECT_EQ(floats.store.GetEntryFlags(0), LOGF_DATA | LOGF_TIMED);

    // Channel 1 with quantity A and a direction byte: absent channels still give values.
    Decoded stats({3, 0x19, 0x0A, 0x3C});
    EXPECT_EQ(valuesOf(stats.store, 0), (std::vector<float>{1.0f, 0.0f, 0.0f, 90.0f}));

    Writer w;
    Writer::Channel channels[3] = {{1, 2, 300, 4}, {5, 6, 700, 8}, {9, 10, 1100, 12}};
    w.statistics(0xFF, channels, 240);
    Decoded full(w.bytes());
    EXPECT_EQ(valuesOf(full.store, 0), (std::vector<float>{0.1f, 0.2f, 30.0f, 0.4f, 0.5f, 0.6f, 70.0f, 0.8f, 0.9f,
                                                          1.0f, 110.0f, 1.2f, 360.0f}));
}

TEST(Decoder, HalfFloatsFollowTheInstrumentEncoding)
{
    EXPECT_EQ(HalfToFloat(0x0000), 0.0f);
    EXPECT_EQ(HalfToFloat(0x3C00), 1.0f);
    EXPECT_EQ(HalfToFloat(0xC000), -2.0f);
    EXPECT_EQ(HalfToFloat(0x8000), -std::ldexp(1.0f, -15));
    EXPECT_EQ(HalfToFloat(0x0001), std::ldexp(1.0f, -15) * (1 + std::ldexp(1.0f, -10)));
    EXPECT_EQ(HalfToFloat(0x7BFF), 65504.0f);
    EXPECT_EQ(HalfToFloat(0x7C01), std::ldexp(1.0f, 16) * (1 + std::ldexp(1.0f, -10)));
    EXPECT_EQ(HalfToFloat(0x7C00), INFINITY);
    EXPECT_EQ(HalfToFloat(0xFC00), -INFINITY);
    EXPECT_TRUE(std::isnan(HalfToFloat(0xFFFF)));
}

TEST(Decoder, SignatureTextAndAddressOffset)
{
    Writer w;
    w.text("x");
    w.raw({12, 4, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x00, 0x00, 0x1A, 0x2B});
    Decoded d(w.bytes());
    ASSERT_EQ(d.texts.size(), 2u);
    EXPECT_EQ(d.texts[1], "* 2004-05-06 07:08:09 signature 3 at 1a2b");
    EXPECT_EQ(d.store.GetEntryFlags(1), LOGF_TEXT | LOGF_SIGNATURE | LOGF_STAR | LOGF_TIME);
    EXPECT_EQ(print(d.store.GetEntryTime(1)), "2004-05-06 07:08:09");
    EXPECT_EQ(d.store.GetAddressOffset(), 0x1A2B - 3);
    EXPECT_EQ(d.store.GetBytesDecoded(), 16);

    Writer nineties;
    nineties.signature(1, 1998, 12, 31, 23, 59, 58, 0);
    EXPECT_EQ(Decoded(nineties.bytes()).texts[0], "* 1998-12-31 23:59:58 signature 1 at 0");
}

TEST(Decoder, TextTransferDamageIsRepairedAndReported)
{
    // The float with the bits 3F800A01: its LF byte was expanded to CR LF by a text transfer.
    Writer w;
    w.text("before");
    w.raw({5, 2, 0x3F, 0x80, 0x0D, 0x0A, 0x01});
    w.text("after");
    Decoded d(w.bytes());
    ASSERT_EQ(d.texts.size(), 5u);
    EXPECT_EQ(d.texts[0], "before");
    EXPECT_EQ(d.texts[1], "# warning: A text format conversion was needed in binary data!");
    EXPECT_EQ(d.store.GetEntryFlags(1), LOGF_TEXT | LOGF_WARNING);
    EXPECT_EQ(d.texts[2].substr(0, 10), "# reason: ");
    const uint32_t bits = 0x3F800A01;
    float expected;
    std::memcpy(&expected, &bits, 4);
    EXPECT_EQ(valuesOf(d.store, 3), std::vector<float>{expected});
    EXPECT_EQ(d.texts[4], "after");
    EXPECT_DOUBLE_EQ(d.store.GetLossRatio(), 1.0 / double(w.bytes().size()));
}

TEST(Decoder, GarbageIsCountedOnceAndTheReasonLineComesOnlyWithTextDamage)
{
    Writer w;
    w.text("a").raw({0xFF, 0x05, 0x06, 0x07}).text("b");
    Decoded d(w.bytes());
    // The valid "a" record followed by more than two stray bytes is dropped with them.
    EXPECT_EQ(d.texts, (std::vector<std::string>{"# warning: 7 corrupt bytes encountered during conversion", "b"}));
    EXPECT_EQ(d.store.GetEntryFlags(0), LOGF_TEXT | LOGF_WARNING);
}

TEST(Decoder, IdentificationLineSetsFormatAndRefusesRecordTypes)
{
    Writer w;
    w.text("# Varno 301 Version 2.5 Tarnvik Orbelmetrik nr 4711");
    w.floats({1.0f});
    w.text("end");
    Decoded d(w.bytes());
    EXPECT_EQ(d.store.Table().Facts().formatCode, 301);
    EXPECT_STREQ(d.store.GetInstrumentName(), "varno301");
    EXPECT_DOUBLE_EQ(d.store.GetVersion(), 2.5);
    EXPECT_EQ(d.store.GetSerialNumber(), 4711);
    EXPECT_EQ(d.store.GetEntryFlags(0) & LOGF_IDENT, LOGF_IDENT);
    ASSERT_EQ(d.texts.size(), 3u);
    EXPECT_EQ(d.texts[1], "# warning: 6 corrupt bytes encountered during conversion");
    EXPECT_EQ(d.texts[2], "end");

    // A word that only occurs at the very start is not found.
    Decoded atStart(Writer().text("varno 301 tarnvik orbelmetrik").bytes());
    EXPECT_EQ(atStart.store.GetEntryFlags(0) & LOGF_IDENT, 0);
}

TEST(Decoder, PeriodAdvancesTimedRecordsOnWholeMultiples)
{
    Writer w;
    w.text("# 01.02.2006 10:00:00");
    w.text("# set stat period 600");
    w.floats({1}).floats({2}).floats({3});
    Decoded d(w.bytes());
    EXPECT_EQ(print(d.store.GetEntryTime(2)), "2006-02-01 10:00:01");
    EXPECT_EQ(print(d.store.GetEntryTime(3)), "2006-02-01 10:10:00");
    EXPECT_EQ(print(d.store.GetEntryTime(4)), "2006-02-01 10:20:00");
    EXPECT_EQ(d.store.GetEntryFlags(2), LOGF_DATA | LOGF_TIMED | LOGF_RESET);
}

TEST(Decoder, ClockLinesBeyondTheTimeTypeSetNoTime)
{
    Writer w;
    w.text("# 01.02.2006 10:00:00");
    w.text("# 01.01.2300 00:00:00");
    Decoded d(w.bytes());
    EXPECT_EQ(d.store.GetEntryFlags(1) & LOGF_TIME, 0);
    EXPECT_EQ(print(d.store.GetEntryTime(1)), "2006-02-01 10:00:00");
}

TEST(Decoder, PeriodIsEstimatedAtTheSecondReferenceAndEarlierRowsAreBackDated)
{
    Writer w;
    w.text("# 01.02.2006 10:00:00");
    w.text("# bat 12.0 ext 0.0");
    w.floats({1}).floats({2}).floats({3});
    w.text("# 01.02.2006 10:30:00");
    w.text("# bat 12.0 ext 0.0");
    w.floats({4});
    Decoded d(w.bytes());
    // 30 minutes over 3 rows: about 600 s.
    EXPECT_EQ(print(d.store.GetEntryTime(2)), "2006-02-01 10:00:00");
    EXPECT_EQ(print(d.store.GetEntryTime(3)), "2006-02-01 10:10:00");
    EXPECT_EQ(print(d.store.GetEntryTime(4)), "2006-02-01 10:20:00");
    EXPECT_EQ(d.store.GetEntryFlags(6) & LOGF_MARK, LOGF_MARK);
    EXPECT_EQ(print(d.store.GetEntryTime(7)), "2006-02-01 10:30:00");
}

TEST(Decoder, MarkerRightAfterHeaderIsNoMarker)
{
    Writer w;
    w.text("# header \"x\"").text("# bat ext");
    Decoded d(w.bytes());
    EXPECT_EQ(d.store.GetEntryFlags(1) & LOGF_MARK, 0);
    EXPECT_EQ(d.store.GetTitle(), "x");
}

TEST(Decoder, ColumnSetsFromStatFormatAndLogLines)
{
    Writer w;
    w.text("# stat format = mean max");
    w.floats({1, 2, 3, 4, 5, 6, 7});
    w.text("# def wind: mean sigma = wind speed m/s");
    w.text("# def temp = air temperature");
    w.text("# log = wind temp(C) rain");
    w.floats({1, 2, 3, 4});
    Decoded d(w.bytes());
    EXPECT_EQ(d.texts[0], "v1_mean,v1_max,v2_mean,v2_max,v3_mean,v3_max,direction_mean360");
    EXPECT_EQ(d.store.GetColumnNames(1), d.texts[0]);
    EXPECT_EQ(d.texts[4], "wind_mean,wind_sigma,temp_mean,rain_xxx");
    EXPECT_EQ(d.store.GetEntryFlags(4) & LOGF_COLUMNS, LOGF_COLUMNS);
    EXPECT_EQ(d.store.GetValueByName(5, "temp"), 3.0);
    EXPECT_EQ(d.store.GetValueByName(1, "v2"), 3.0);
    EXPECT_EQ(d.store.GetValueByName(1, "direction"), 7.0);
}

TEST(Decoder, EmptyAndWhollyCorruptBuffersGiveNoEntries)
{
    EXPECT_EQ(Decoded({}).store.GetEntryCount(), 0);
    EXPECT_EQ(Decoded(std::vector<uint8_t>(100, 0xFF)).store.GetEntryCount(), 0);
    EXPECT_EQ(Decoded({0x07, 0x05, 0x00}).store.GetEntryCount(), 0);
}

} // namespace
