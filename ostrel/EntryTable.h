#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include <ostrel/EntryFlags.h>
#include <ostrel/PackedRecords.h>
#include <ostrel/PodArray.h>
#include <ostrel/UtcTime.h>
#include <ostrel/ValueRows.h>

namespace varno::ostrel {

// Names of the values of the entries that follow a column-definition line.
class CColumnSet {
public:
    explicit CColumnSet(std::vector<std::string> names);

    const std::vector<std::string>& Names() const { return m_names; }
    const std::string& Joined() const { return m_joined; }
    // Index of a lower-case name, or -1.
    int IndexOf(const std::string& lowerName) const;

private:
    std::vector<std::string> m_names;
    std::string m_joined;
    std::unordered_map<std::string, int> m_lookup;
};

// What the readers learned about the files besides their entries.
struct LogFacts {
    std::string instrumentName;
    std::string title;
    int formatCode = 0;
    double version = 0;
    int serialNumber = 0;
    int fileIdentity = 0;
    int addressOffset = 0;
    int bytesDecoded = 0;
    long long corruptBytes = 0;
    long long totalBytes = 0;
};

// The entries read from one or more files, in order: text lines and rows of values, each
// with a time and flags, and the column sets that name the values. The readers fill it and
// the conversion object reads it back; it knows neither.
//
// A file may hold an entry in every byte or two (empty lines, filler records), so an entry
// costs next to nothing unless it carries something new: time, flags, and where its bytes
// lie are packed by blocks (see CPackedRecords), an empty text has no bytes, a text equal
// to the last or a recent short one and a row equal to the one before share their bytes.
// Texts and rows of values (see ValueRows.h) lie in one byte pool.
//
// Reading unpacks a block of entries at a time, so neighbours are cheap to read after one
// another; reading is not safe from two threads at once.
class CEntryTable {
public:
    CEntryTable();

    // Filling.
    void AddText(int flags, CUtcTime time, std::string_view text);
    void AddValues(int flags, CUtcTime time, const float* values, size_t count);
    // A row of values given in tenths: value j is the single float nearest tenths[j] / 10.
    void AddTenths(int flags, CUtcTime time, const uint16_t* tenths, size_t count);
    // Adds count entries equal to the last one (there must be one).
    void RepeatLastEntry(size_t count);
    void SetEntryTime(size_t i, CUtcTime time);
    // The set applies to every entry added after it.
    void AddColumnSet(std::vector<std::string> names);
    LogFacts& Facts() { return m_facts; }

    // Reading back, for i < Count().
    size_t Count() const { return m_entries.Size(); }
    int Flags(size_t i) const { return Locate(i).flags; }
    CUtcTime StoredTime(size_t i) const { return CUtcTime(Locate(i).time); }
    // Its own time when valid, else the first valid time after it (invalid when none).
    CUtcTime EffectiveTime(size_t i) const;
    // Empty for value entries.
    std::string_view Text(size_t i) const;
    // 0 for text entries.
    size_t ValueCount(size_t i) const
    {
        const Located& entry = Locate(i);
        return entry.form == kTextForm ? 0 : entry.length;
    }
    float Value(size_t i, size_t j) const // j < ValueCount(i)
    {
        const Located& entry = Locate(i);
        return valuerows::ValueAt(valuerows::Form(entry.form), m_pool.data() + entry.start, entry.length, j);
    }
    // Every value of entry i, value j to out[j * stride] (none for a text entry).
    template <typename Number>
    void CopyValues(size_t i, Number* out, size_t stride) const
    {
        const Located& entry = Locate(i);
        if (entry.form != kTextForm)
            valuerows::CopyRow(valuerows::Form(entry.form), m_pool.data() + entry.start, entry.length, out, stride);
    }
    // The set named last before entry i was added, or nullptr.
    const CColumnSet* ColumnSetOf(size_t i) const;
    const std::vector<CColumnSet>& ColumnSets() const { return m_columnSets; }
    const LogFacts& Facts() const { return m_facts; }

    // Valid times ever given to an entry: the first, the earliest and the latest.
    CUtcTime StartTime() const { return m_times.start; }
    CUtcTime MinTime() const { return m_times.min; }
    CUtcTime MaxTime() const { return m_times.max; }
    // Text entries added with LOGF_DATA.
    int IntervalCount() const { return m_intervalCount; }

    // The state at some moment, to go back to when a load fails half-way: RollBack removes
    // the entries, column sets and bytes added since and restores the facts and times (but
    // not the times of older entries set since).
    struct Mark;
    Mark Checkpoint() const;
    void RollBack(const Mark& mark);

private:
    enum Field { kTime, kStart, kLength, kKind };
    // How the bytes of an entry are read: a valuerows::Form, or this for a text.
    static constexpr uint8_t kTextForm = 0xFF;
    struct TimeRange {
        CUtcTime start, min, max;
    };
    struct Span {
        uint64_t start = 0;
        size_t length = 0;
    };
    struct Located {
        int32_t time;
        int flags;
        uint8_t form;
        uint64_t start;
        size_t length; // bytes of a text, values of a row
    };

    const Located& Locate(size_t i) const
    {
        if (i - m_windowFirst >= m_windowCount)
            Unpack(i);
        return m_window[i - m_windowFirst];
    }
    [[gnu::cold]] void Unpack(size_t i) const;
    void Append(int flags, uint8_t form, CUtcTime time, uint64_t start, size_t length);
    // Before an entry is added: remembers where the current column set begins to apply.
    void NoteColumnSet()
    {
        const int current = int(m_columnSets.size()) - 1;
        if (current != (m_columnSetChanges.empty() ? -1 : m_columnSetChanges.back().second))
            m_columnSetChanges.emplace_back(Count(), current);
    }
    int64_t KindOf(int flags, uint8_t form)
    {
        const uint32_t kind = uint32_t(uint16_t(flags)) | uint32_t(form) << 16;
        return kind == m_lastKind.first ? m_lastKind.second : NumberKind(kind);
    }
    int64_t NumberKind(uint32_t kind);
    void NoteTime(CUtcTime time);
    uint64_t PlaceText(std::string_view text);
    uint64_t PlaceRow(uint64_t start);
    uint64_t PoolAppend(const void* bytes, size_t length);
    bool PoolHolds(const Span& span, const void* bytes, size_t length) const;
    void ForgetCaches();

    // Per entry: time, start of its bytes in the pool, length and kind.
    CPackedRecords m_entries;
    PodArray<uint8_t> m_pool;
    // Kinds: the flags of an entry and its form (from bit 16 on), numbered as they come.
    std::vector<uint32_t> m_kinds;
    std::unordered_map<uint32_t, int64_t> m_kindNumbers;
    std::pair<uint32_t, int64_t> m_lastKind{~0u, 0};
    // (first entry, column set) each time the current column set changed.
    std::vector<std::pair<size_t, int>> m_columnSetChanges;
    std::vector<CColumnSet> m_columnSets;
    LogFacts m_facts;
    TimeRange m_times;
    int m_intervalCount = 0;

    // Bytes already in the pool: the last text, the last row, and recent short texts by hash.
    Span m_lastText, m_lastRow;
    std::vector<Span> m_recentTexts;
    valuerows::CPacker m_rowPacker;
    // Entries [from, found) have no valid time, and found is the next that has (or Count()).
    struct NoValidTime {
        size_t from = 1, found = 0;
    };
    mutable NoValidTime m_noValidTime;
    // The unpacked entries of one block: m_windowCount entries from m_windowFirst on.
    mutable Located m_window[CPackedRecords::kBlockSize];
    mutable size_t m_windowFirst = 0;
    mutable size_t m_windowCount = 0;
};

struct CEntryTable::Mark {
    size_t entries;
    size_t columnSets;
    size_t poolBytes;
    LogFacts facts;
    TimeRange times;
    int intervalCount;
};

} // namespace varno::ostrel
