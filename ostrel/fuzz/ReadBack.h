#pragma once

// Checks shared by the fuzz targets: a fault stops the fuzzer like a crash does.

#include <algorithm>
#include <string>
#include <vector>

#include <ostrel/EntryTable.h>

namespace varno::ostrel::fuzz {

inline void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

struct EntryCopy {
    int flags;
    int32_t time;
    std::string text;
    std::vector<float> values;

    bool operator==(const EntryCopy& o) const
    {
        return flags == o.flags && time == o.time && text == o.text
               && std::equal(values.begin(), values.end(), o.values.begin(), o.values.end(),
                             [](float a, float b) { return a == b || (a != a && b != b); });
    }
};

inline EntryCopy copyOf(const CEntryTable& table, size_t i)
{
    EntryCopy e{table.Flags(i), table.StoredTime(i).GetSeconds(), std::string(table.Text(i)), {}};
    for (size_t j = 0; j < table.ValueCount(i); ++j)
        e.values.push_back(table.Value(i, j));
    return e;
}

// Reads every entry, in order and backwards, and returns them.
inline std::vector<EntryCopy> readBack(const CEntryTable& table)
{
    std::vector<EntryCopy> entries;
    for (size_t i = 0; i < table.Count(); ++i) {
        entries.push_back(copyOf(table, i));
        const EntryCopy& e = entries.back();
        require(e.text.empty() || e.values.empty());
        require(e.time <= 0 || table.EffectiveTime(i).GetSeconds() == e.time);
        table.ColumnSetOf(i);
    }
    for (size_t i = table.Count(); i-- > 0;)
        require(copyOf(table, i) == entries[i]);
    require(!table.MinTime().bValid() || table.MinTime() <= table.MaxTime());
    return entries;
}

} // namespace varno::ostrel::fuzz
