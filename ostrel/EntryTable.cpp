#include <ostrel/EntryTable.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include <ostrel/TextScan.h>

namespace varno::ostrel {

namespace {

// Texts up to this length are looked up among the recent ones before they are stored.
constexpr size_t kSharedTextMax = 64;
constexpr size_t kRecentTextSlots = 1024;

std::string joinNames(const std::vector<std::string>& names)
{
    std::string joined;
    for (size_t k = 0; k < names.size(); ++k) {
        if (k)
            joined += ',';
        joined += names[k];
    }
    return joined;
}

// Whether the pool holds length bytes equal to bytes at p. Mostly a few bytes: no call.
bool sameBytes(const uint8_t* p, const void* bytes, size_t length)
{
    const uint8_t* q = static_cast<const uint8_t*>(bytes);
    if (length < 8) {
        for (size_t k = 0; k < length; ++k)
            if (p[k] != q[k])
                return false;
        return true;
    }
    uint64_t a, b;
    for (size_t k = 0; k + 8 <= length; k += 8) {
        std::memcpy(&a, p + k, 8);
        std::memcpy(&b, q + k, 8);
        if (a != b)
            return false;
    }
    std::memcpy(&a, p + length - 8, 8);
    std::memcpy(&b, q + length - 8, 8);
    return a == b;
}

size_t hashText(std::string_view text)
{
    uint64_t h = 0xcbf29ce484222325ull;
    for (const char c : text)
        h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    return size_t(h ^ (h >> 29));
}

} // namespace

CColumnSet::CColumnSet(std::vector<std::string> names) : m_names(std::move(names)), m_joined(joinNames(m_names))
{
    for (size_t k = 0; k < m_names.size(); ++k)
        m_lookup.emplace(textscan::ToLower(m_names[k]), int(k));
}

int CColumnSet::IndexOf(const std::string& lowerName) const
{
    const auto it = m_lookup.find(lowerName);
    return it == m_lookup.end() ? -1 : it->second;
}

CEntryTable::CEntryTable() : m_recentTexts(kRecentTextSlots) {}

void CEntryTable::AddText(int flags, CUtcTime time, std::string_view text)
{
    const uint64_t start = PlaceText(text);
    if (flags & LOGF_DATA)
        ++m_intervalCount;
    Append(flags, kTextForm, time, start, text.size());
}

void CEntryTable::AddValues(int flags, CUtcTime time, const float* values, size_t count)
{
    const uint64_t start = m_pool.size();
    const valuerows::Form form = m_rowPacker.Pack(values, count, m_pool);
    Append(flags, form, time, PlaceRow(start), count);
}

void CEntryTable::AddTenths(int flags, CUtcTime time, const uint16_t* tenths, size_t count)
{
    const uint64_t start = m_pool.size();
    const valuerows::Form form = m_rowPacker.Pack(tenths, count, m_pool);
    Append(flags, form, time, PlaceRow(start), count);
}

void CEntryTable::RepeatLastEntry(size_t count)
{
    const Located& last = Locate(Count() - 1);
    if (last.form == kTextForm && (last.flags & LOGF_DATA))
        m_intervalCount += int(count);
    NoteColumnSet();
    m_entries.AppendCopies(count);
    m_noValidTime = NoValidTime();
}

void CEntryTable::Append(int flags, uint8_t form, CUtcTime time, uint64_t start, size_t length)
{
    NoteColumnSet();
    m_entries.Append({time.GetSeconds(), int64_t(start), int64_t(length), KindOf(flags, form)});
    m_noValidTime = NoValidTime();
    NoteTime(time);
}

int64_t CEntryTable::NumberKind(uint32_t kind)
{
    const auto known = m_kindNumbers.find(kind);
    if (known != m_kindNumbers.end()) {
        m_lastKind = *known;
        return known->second;
    }
    m_kinds.push_back(kind);
    try {
        m_kindNumbers.emplace(kind, int64_t(m_kinds.size() - 1));
    } catch (...) {
        m_kinds.pop_back();
        throw;
    }
    m_lastKind = {kind, int64_t(m_kinds.size() - 1)};
    return m_lastKind.second;
}

void CEntryTable::SetEntryTime(size_t i, CUtcTime time)
{
    m_entries.Set(i, kTime, time.GetSeconds());
    if (i - m_windowFirst < m_windowCount)
        m_window[i - m_windowFirst].time = time.GetSeconds();
    m_noValidTime = NoValidTime();
    NoteTime(time);
}

void CEntryTable::NoteTime(CUtcTime t)
{
    if (!t.bValid())
        return;
    if (!m_times.min.bValid() || t < m_times.min)
        m_times.min = t;
    if (!m_times.max.bValid() || t > m_times.max)
        m_times.max = t;
    if (!m_times.start.bValid())
        m_times.start = t;
}

void CEntryTable::AddColumnSet(std::vector<std::string> names)
{
    m_columnSets.emplace_back(std::move(names));
}

// Where a text's bytes are: an empty text has none, a text equal to the last or to a recent
// short one shares its bytes, any other is appended to the pool.
uint64_t CEntryTable::PlaceText(std::string_view text)
{
    if (text.empty())
        return m_pool.size();
    if (PoolHolds(m_lastText, text.data(), text.size()))
        return m_lastText.start;
    Span* recent = nullptr;
    if (text.size() <= kSharedTextMax) {
        recent = &m_recentTexts[hashText(text) % kRecentTextSlots];
        if (PoolHolds(*recent, text.data(), text.size())) {
            m_lastText = *recent;
            return recent->start;
        }
    }
    m_lastText = Span{PoolAppend(text.data(), text.size()), text.size()};
    if (recent)
        *recent = m_lastText;
    return m_lastText.start;
}

// Where the row just packed at the end of the pool, from start on, is kept. Rows share
// their bytes only with the row before them: logged values repeat while nothing changes,
// and looking further back would slow every row down.
uint64_t CEntryTable::PlaceRow(uint64_t start)
{
    const size_t length = m_pool.size() - start;
    if (length == 0)
        return start;
    if (PoolHolds(m_lastRow, m_pool.data() + start, length)) {
        m_pool.truncate(start);
        return m_lastRow.start;
    }
    m_lastRow = Span{start, length};
    return start;
}

uint64_t CEntryTable::PoolAppend(const void* bytes, size_t length)
{
    const uint64_t start = m_pool.size();
    std::memcpy(m_pool.extend(length), bytes, length);
    return start;
}

bool CEntryTable::PoolHolds(const Span& span, const void* bytes, size_t length) const
{
    return span.length == length && sameBytes(m_pool.data() + span.start, bytes, length);
}

void CEntryTable::Unpack(size_t i) const
{
    CPackedRecords::Record records[CPackedRecords::kBlockSize];
    const size_t block = i >> CPackedRecords::kBlockBits;
    m_windowFirst = block << CPackedRecords::kBlockBits;
    m_windowCount = m_entries.GetBlock(block, records);
    for (size_t k = 0; k < m_windowCount; ++k) {
        const uint32_t kind = m_kinds[size_t(records[k][kKind])];
        m_window[k] = Located{int32_t(records[k][kTime]), int(kind & 0xFFFF), uint8_t(kind >> 16),
                              uint64_t(records[k][kStart]), size_t(records[k][kLength])};
    }
}

CUtcTime CEntryTable::EffectiveTime(size_t i) const
{
    const int32_t own = Locate(i).time;
    if (own > 0)
        return CUtcTime(own);
    // Viewers ask for neighbouring entries: one search serves a whole stretch without times.
    const size_t from = i + 1;
    if (from < m_noValidTime.from || from > m_noValidTime.found)
        m_noValidTime = NoValidTime{from, m_entries.FindAbove(from, kTime, 0)};
    return m_noValidTime.found < Count() ? CUtcTime(int32_t(m_entries.Get(m_noValidTime.found, kTime))) : CUtcTime();
}

std::string_view CEntryTable::Text(size_t i) const
{
    const Located& entry = Locate(i);
    if (entry.form != kTextForm)
        return {};
    return std::string_view(reinterpret_cast<const char*>(m_pool.data() + entry.start), entry.length);
}

const CColumnSet* CEntryTable::ColumnSetOf(size_t i) const
{
    const auto after = std::upper_bound(m_columnSetChanges.begin(), m_columnSetChanges.end(), i,
                                        [](size_t index, const auto& change) { return index < change.first; });
    if (after == m_columnSetChanges.begin() || std::prev(after)->second < 0)
        return nullptr;
    return &m_columnSets[size_t(std::prev(after)->second)];
}

CEntryTable::Mark CEntryTable::Checkpoint() const
{
    return Mark{Count(), m_columnSets.size(), m_pool.size(), m_facts, m_times, m_intervalCount};
}

void CEntryTable::RollBack(const Mark& mark)
{
    m_entries.Truncate(mark.entries);
    m_pool.truncate(mark.poolBytes);
    while (!m_columnSetChanges.empty() && m_columnSetChanges.back().first >= mark.entries)
        m_columnSetChanges.pop_back();
    m_columnSets.erase(m_columnSets.begin() + std::ptrdiff_t(mark.columnSets), m_columnSets.end());
    m_facts = mark.facts;
    m_times = mark.times;
    m_intervalCount = mark.intervalCount;
    ForgetCaches();
}

// After a roll-back, remembered places may lie beyond the pool or the entries.
void CEntryTable::ForgetCaches()
{
    m_lastText = m_lastRow = Span();
    std::fill(m_recentTexts.begin(), m_recentTexts.end(), Span());
    m_noValidTime = NoValidTime();
    m_windowCount = 0;
}

} // namespace varno::ostrel
