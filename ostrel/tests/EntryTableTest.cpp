#include <cmath>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <ostrel/EntryTable.h>
#include <ostrel/PackedRecords.h>
#include <ostrel/ValueRows.h>

using namespace varno::ostrel;

namespace {

uint32_t bitsOf(float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}

// Values of the kinds the packing treats apart: flat, even steps, small and large noise,
// 32-bit times with invalid ones among them, and the extremes.
int64_t valueOfPattern(int pattern, size_t k, std::mt19937_64& random)
{
    switch (pattern) {
    case 0: return 7;
    case 1: return -20000 + 600 * int64_t(k); // through 0
    case 2: return 1000 + 600 * int64_t(k) + int64_t(random() % 3) * 600;
    case 3: return int64_t(random() % 200);
    case 4: return random() % 4 ? int64_t(1100000000 + random() % 100000) : -1;
    case 5: return random() % 2 ? (int64_t(1) << 62) - int64_t(random() % 1000) : -(int64_t(1) << 62) + int64_t(random() % 1000);
    default: return int64_t(random() >> 2) - (int64_t(1) << 61);
    }
}

TEST(PackedRecords, ReadsBackWhatWasStoredThroughAppendsChangesAndCuts)
{
    std::mt19937_64 random(7);
    for (int round = 0; round < 20; ++round) {
        CPackedRecords packed;
        std::vector<CPackedRecords::Record> model;
        const int pattern = round % 7;
        for (int step = 0; step < 400; ++step) {
            const unsigned action = unsigned(random() % 20);
            if (action < 12 || model.empty()) {
                CPackedRecords::Record r;
                for (int f = 0; f < CPackedRecords::kFields; ++f)
                    r[size_t(f)] = valueOfPattern((pattern + f) % 7, model.size(), random);
                packed.Append(r);
                model.push_back(r);
            } else if (action < 14) {
                const size_t copies = size_t(random() % 300);
                packed.AppendCopies(copies);
                model.insert(model.end(), copies, model.back());
            } else if (action < 19) {
                const size_t i = size_t(random() % model.size());
                const int field = int(random() % CPackedRecords::kFields);
                const int64_t v = valueOfPattern(int(random() % 7), i, random);
                packed.Set(i, field, v);
                model[i][size_t(field)] = v;
            } else {
                const size_t count = size_t(random() % (model.size() + 1));
                packed.Truncate(count);
                model.resize(count);
            }
        }
        ASSERT_EQ(packed.Size(), model.size());
        for (size_t i = 0; i < model.size(); ++i)
            for (int f = 0; f < CPackedRecords::kFields; ++f)
                ASSERT_EQ(packed.Get(i, f), model[i][size_t(f)]) << "round " << round << " record " << i;
        CPackedRecords::Record block[CPackedRecords::kBlockSize];
        for (size_t b = 0; b * CPackedRecords::kBlockSize < model.size(); ++b) {
            const size_t n = packed.GetBlock(b, block);
            for (size_t k = 0; k < n; ++k)
                ASSERT_EQ(block[k], model[b * CPackedRecords::kBlockSize + k]) << "round " << round;
        }
        for (int64_t bound : {int64_t(-2), int64_t(0), int64_t(150), int64_t(1100050000)}) {
            for (size_t from : {size_t(0), model.size() / 3, model.size()}) {
                size_t expected = from;
                while (expected < model.size() && model[expected][0] <= bound)
                    ++expected;
                EXPECT_EQ(packed.FindAbove(from, 0, bound), expected) << "round " << round;
            }
        }
    }
}

// A block of evenly rising values is searched by its bounds, which must see its rise.
TEST(PackedRecords, SearchFindsValuesOfARisingBlock)
{
    CPackedRecords packed;
    for (int64_t k = 0; k < 200; ++k)
        packed.Append({-20000 + 600 * k, 0, 0, 0});
    EXPECT_EQ(packed.FindAbove(0, 0, 0), 34u);
    EXPECT_EQ(packed.FindAbove(100, 0, 0), 100u);
    EXPECT_EQ(packed.FindAbove(0, 0, 1000000), 200u);
    EXPECT_EQ(packed.FindAbove(0, 1, -1), 0u);
}

// The forms of a row and the values read back: the same floats, bit for bit.
TEST(ValueRows, RowsReadBackBitForBitInTheSmallestForm)
{
    using namespace varno::ostrel::valuerows;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        std::vector<float> values;
        Form form;
        size_t bytes;
    };
    std::vector<float> manyZeros(1000, 0.0f);
    manyZeros[500] = 7000.0f;
    const std::vector<Case> cases = {
        {{}, Codes8, 0},
        {{0.0f, 1.5f, 23.9f}, Codes8, 3},
        {{24.0f, 0.1f, 0.2f, 0.3f, 0.4f}, Codes8, 5 + 2}, // one beyond one-byte codes
        {{6553.5f, 2.3f, 0.0f, 0.0f, 0.0f, 0.0f}, Codes8, 6 + 2},
        {{24.0f, 25.5f, 0.1f}, Codes16, 6},
        {{6553.5f, 6143.9f, 2.3f}, Codes8, 3 + 2 * 2},
        {{6553.6f, 0.0f, 0.0f, 0.0f}, Codes16, 8 + 4},
        {manyZeros, Codes16, 2000 + 4},
        {{-0.0f, 1.0f, 2.0f}, Codes16, 6 + 4}, // -0 is no tenths
        {{-1.0f, nan, inf}, Floats, 12},
        {{0.05f, 1e-45f, 3.4e38f, -inf}, Floats, 16},
    };
    CPacker packer;
    PodArray<uint8_t> pool;
    for (const Case& c : cases) {
        const size_t start = pool.size();
        const Form form = packer.Pack(c.values.data(), c.values.size(), pool);
        EXPECT_EQ(form, c.form) << c.values.size() << " values, the first " << (c.values.empty() ? 0 : c.values[0]);
        EXPECT_EQ(pool.size() - start, c.bytes) << c.values.size() << " values";
        // A whole row copied, every third place of the output, gives the same bits.
        std::vector<float> copied(3 * c.values.size());
        CopyRow(form, pool.data() + start, c.values.size(), copied.data(), 3);
        for (size_t j = 0; j < c.values.size(); ++j) {
            EXPECT_EQ(bitsOf(ValueAt(form, pool.data() + start, c.values.size(), j)), bitsOf(c.values[j])) << j;
            EXPECT_EQ(bitsOf(copied[3 * j]), bitsOf(c.values[j])) << j;
        }
    }
    // More wide values than one-byte codes can number.
    std::vector<float> wide(20, 30.0f);
    EXPECT_EQ(packer.Pack(wide.data(), wide.size(), pool), Codes16);
}

TEST(ValueRows, TenthsReadBackAsTheirFloats)
{
    using namespace varno::ostrel::valuerows;
    std::mt19937 random(3);
    CPacker packer;
    PodArray<uint8_t> pool;
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint16_t> tenths(random() % 20);
        for (uint16_t& t : tenths)
            t = uint16_t(random() % 4 ? random() % 300 : random());
        const size_t start = pool.size();
        const Form form = packer.Pack(tenths.data(), tenths.size(), pool);
        size_t floats = 0;
        for (uint16_t t : tenths)
            floats += t >= kFirstFloatCode;
        ASSERT_LE(pool.size() - start, std::min(4 * tenths.size(), 2 * tenths.size() + 4 * floats));
        std::vector<float> copied(tenths.size());
        CopyRow(form, pool.data() + start, tenths.size(), copied.data(), 1);
        for (size_t j = 0; j < tenths.size(); ++j) {
            ASSERT_EQ(ValueAt(form, pool.data() + start, tenths.size(), j), float(double(tenths[j]) * 0.1));
            ASSERT_EQ(copied[j], float(double(tenths[j]) * 0.1));
        }
    }
}

// A plain model of the table: what it must read back.
struct ModelEntry {
    int flags;
    int32_t time;
    bool text;
    std::string bytes;
    std::vector<float> values;
    int columnSet;
};

class TableModel {
public:
    CEntryTable table;
    std::vector<ModelEntry> entries;
    int columnSets = 0;

    void addText(int flags, int32_t time, const std::string& text)
    {
        table.AddText(flags, CUtcTime(time), text);
        entries.push_back({flags, time, true, text, {}, columnSets - 1});
    }
    void addValues(int flags, int32_t time, const std::vector<float>& values)
    {
        table.AddValues(flags, CUtcTime(time), values.data(), values.size());
        entries.push_back({flags, time, false, "", values, columnSets - 1});
    }
    void addTenths(int flags, int32_t time, const std::vector<uint16_t>& tenths)
    {
        table.AddTenths(flags, CUtcTime(time), tenths.data(), tenths.size());
        std::vector<float> values;
        for (uint16_t t : tenths)
            values.push_back(float(double(t) * 0.1));
        entries.push_back({flags, time, false, "", values, columnSets - 1});
    }
    void repeatLast(size_t count)
    {
        table.RepeatLastEntry(count);
        ModelEntry copy = entries.back();
        copy.columnSet = columnSets - 1;
        entries.insert(entries.end(), count, copy);
    }
    void addColumnSet()
    {
        table.AddColumnSet({"c" + std::to_string(columnSets)});
        ++columnSets;
    }

    void expectSame(const std::string& where) const
    {
        ASSERT_EQ(table.Count(), entries.size()) << where;
        int32_t next = 0;
        std::vector<int32_t> effective(entries.size());
        for (size_t i = entries.size(); i-- > 0;) {
            if (entries[i].time > 0)
                next = entries[i].time;
            effective[i] = entries[i].time > 0 ? entries[i].time : next;
        }
        int intervals = 0;
        for (size_t i = 0; i < entries.size(); ++i) {
            const ModelEntry& e = entries[i];
            ASSERT_EQ(table.Flags(i), e.flags) << where << " entry " << i;
            ASSERT_EQ(table.StoredTime(i).GetSeconds(), e.time) << where << " entry " << i;
            ASSERT_EQ(table.EffectiveTime(i).GetSeconds(), effective[i]) << where << " entry " << i;
            ASSERT_EQ(std::string(table.Text(i)), e.bytes) << where << " entry " << i;
            ASSERT_EQ(table.ValueCount(i), e.values.size()) << where << " entry " << i;
            for (size_t j = 0; j < e.values.size(); ++j)
                ASSERT_EQ(bitsOf(table.Value(i, j)), bitsOf(e.values[j])) << where << " entry " << i;
            const CColumnSet* set = table.ColumnSetOf(i);
            ASSERT_EQ(set ? set->Names()[0] : std::string(), e.columnSet >= 0 ? "c" + std::to_string(e.columnSet) : "");
            intervals += e.text && (e.flags & LOGF_DATA);
        }
        EXPECT_EQ(table.IntervalCount(), intervals) << where;
    }
};

// Random filling, time changes going back (as back-dating does), repeats and roll-backs:
// everything reads back as the model says, in order and jumping about.
TEST(EntryTable, ReadsBackWhatWasAddedWhateverTheOrderOfWork)
{
    const std::vector<std::string> texts = {"", "", "* filling block 1", "a", "# 01.02.2006 10:00:00",
                                            std::string(300, 'x'), std::string("a\0b", 3)};
    std::mt19937 random(11);
    for (int round = 0; round < 12; ++round) {
        TableModel m;
        struct Saved {
            CEntryTable::Mark mark;
            size_t entries;
            int columnSets;
        };
        std::optional<Saved> saved;
        for (int step = 0; step < 3000; ++step) {
            const int32_t time = random() % 3 ? int32_t(1100000000 + step * 600) : -int32_t(random() % 2);
            const int flags = int(random() % 4) << 12 | int(random() % 3);
            switch (random() % 12) {
            case 0: case 1: case 2:
                m.addText(flags, time, texts[random() % texts.size()]);
                break;
            case 3: case 4: case 5: {
                std::vector<float> values(random() % 15);
                for (float& v : values)
                    v = random() % 2 ? float(random() % 700) * 0.1f : float(random()) / 1000.0f;
                m.addValues(flags, time, values);
                break;
            }
            case 6: case 7: {
                std::vector<uint16_t> tenths(13, uint16_t(random() % 2 ? 0 : random()));
                m.addTenths(flags, time, tenths);
                break;
            }
            case 8:
                if (!m.entries.empty())
                    m.repeatLast(random() % 200);
                break;
            case 9:
                for (size_t i = m.entries.size(), n = random() % 150; i-- > 0 && n-- > 0;) {
                    const int32_t t = random() % 5 ? time - int32_t(n) * 600 : -1;
                    m.table.Flags(i); // read, as back-dating does, before the change
                    m.table.SetEntryTime(i, CUtcTime(t));
                    m.entries[i].time = t;
                    ASSERT_EQ(m.table.StoredTime(i).GetSeconds(), t);
                }
                break;
            case 10:
                m.addColumnSet();
                break;
            default:
                if (random() % 2 || !saved) {
                    saved = Saved{m.table.Checkpoint(), m.entries.size(), m.columnSets};
                } else {
                    m.table.RollBack(saved->mark);
                    m.entries.resize(saved->entries);
                    m.columnSets = saved->columnSets;
                    saved.reset();
                }
                break;
            }
            if (step % 500 == 0)
                m.expectSame("round " + std::to_string(round) + " step " + std::to_string(step));
        }
        m.expectSame("round " + std::to_string(round));
        // Jumping about, as a viewer does.
        for (int k = 0; k < 2000 && !m.entries.empty(); ++k) {
            const size_t i = random() % m.entries.size();
            ASSERT_EQ(m.table.Flags(i), m.entries[i].flags);
            ASSERT_EQ(std::string(m.table.Text(i)), m.entries[i].bytes);
        }
    }
}

TEST(EntryTable, EffectiveTimeLooksPastEntriesWithoutTime)
{
    CEntryTable table;
    for (int k = 0; k < 1000; ++k)
        table.AddText(LOGF_TEXT, CUtcTime(-1), "");
    table.AddText(LOGF_TEXT, CUtcTime(500), "timed");
    table.AddText(LOGF_TEXT, CUtcTime(0), "");
    EXPECT_EQ(table.EffectiveTime(999).GetSeconds(), 500);
    EXPECT_FALSE(table.EffectiveTime(1001).bValid());
    EXPECT_EQ(table.EffectiveTime(0).GetSeconds(), 500);
    // A time given later to an entry in between is seen at once.
    table.SetEntryTime(300, CUtcTime(200));
    EXPECT_EQ(table.EffectiveTime(0).GetSeconds(), 200);
    EXPECT_EQ(table.EffectiveTime(301).GetSeconds(), 500);
    table.AddText(LOGF_TEXT, CUtcTime(900), "");
    EXPECT_EQ(table.EffectiveTime(1001).GetSeconds(), 900);
    EXPECT_EQ(table.MinTime().GetSeconds(), 200);
    EXPECT_EQ(table.MaxTime().GetSeconds(), 900);
    EXPECT_EQ(table.StartTime().GetSeconds(), 500);
}

} // namespace
