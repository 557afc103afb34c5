#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "NumberFormat.h"
#include "Ostrel.h"
#include "PodArray.h"

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

// The conversion object: entries (texts and value rows with time and flags) and what was
// learned about the file. Values and texts of all entries share one pool of 32-bit words;
// each entry knows only where its words start.
//
// The virtual operations are the library's binary interface, which no exception crosses:
// when memory runs out, a query gives its empty result (an empty text, NaN, no view) and
// an operation that adds entries takes them back.
class CDataStore final : public COstrel {
public:
    CDataStore();
    ~CDataStore() override;

    int GetEntryCount() override { return int(m_time.size()); }
    std::string GetTitle() override { return CopyOut(m_facts.title); }
    int GetEntryFlags(int i) override { return InRange(i) ? m_flags[size_t(i)] : 0; }
    CUtcTime GetEntryTime(int i) override;
    CUtcTime GetMinTime() override { return m_facts.minTime; }
    CUtcTime GetMaxTime() override { return m_facts.maxTime; }
    CUtcTime GetStartTime() override { return m_facts.startTime; }
    void SetNumberFormat(std::string format) override;
    std::string GetNumberFormat() override { return CopyOut(m_numberFormat.Get()); }
    void SetSeparator(std::string separator) override { m_separator = std::move(separator); }
    std::string GetSeparator() override { return CopyOut(m_separator); }
    std::string GetEntryText(int i) override;
    std::string GetColumnNames(int i) override;
    int GetValueCount(int i) override;
    double GetValueByName(int i, std::string name) override;
    double GetValue(int i, int j) override;
    void FillTestData() override;
    bool Load(std::string path) override;
    std::string GetFilePath() override { return CopyOut(m_filePath); }
    std::string GetResultText() override;
    int GetIntervalCount() override { return m_facts.intervalCount; }
    double GetLossRatio() override { return double(m_facts.corruptBytes) / double(m_facts.totalBytes); }
    COstrelView* CreateView(const QRect* rect, QWidget* parent) override;
    int GetAddressOffset() override { return m_facts.addressOffset; }
    int GetBytesDecoded() override { return m_facts.bytesDecoded; }
    int GetFileIdentity() override { return m_facts.fileIdentity; }
    double GetVersion() override { return m_facts.version; }
    int GetSerialNumber() override { return m_facts.serialNumber; }
    const char* GetInstrumentName() override { return m_facts.instrumentName.c_str(); }

    // Filling, for the readers.
    void AddText(int flags, CUtcTime time, const char* text, size_t length);
    void AddText(int flags, CUtcTime time, const std::string& text) { AddText(flags, time, text.data(), text.size()); }
    void AddValues(int flags, CUtcTime time, const float* values, size_t count);
    void SetEntryTime(int i, CUtcTime time);
    CUtcTime GetStoredTime(int i) const { return CUtcTime(m_time[size_t(i)]); }
    void AddColumnSet(std::vector<std::string> names);

    void SetInstrumentName(std::string name) { m_facts.instrumentName = std::move(name); }
    void SetTitle(std::string title) { m_facts.title = std::move(title); }
    bool HasTitle() const { return !m_facts.title.empty(); }
    int GetFormatCode() const { return m_facts.formatCode; }
    void SetFormatCode(int code) { m_facts.formatCode = code; }
    void SetVersion(double version) { m_facts.version = version; }
    void SetSerialNumber(int serial) { m_facts.serialNumber = serial; }
    void SetAddressOffset(int offset) { m_facts.addressOffset = offset; }
    void SetBytesDecoded(int count) { m_facts.bytesDecoded = count; }
    void AddByteCounts(long long corrupt, long long total)
    {
        m_facts.corruptBytes += corrupt;
        m_facts.totalBytes += total;
    }

    // Text of a text entry without building a string; empty for value entries.
    std::string_view TextOf(size_t i) const;

private:
    static std::string CopyOut(const std::string& text) noexcept;
    std::string EntryText(int i);
    double ValueByName(int i, const std::string& name);
    std::string ResultText();
    bool InRange(int i) const { return i >= 0 && size_t(i) < m_time.size(); }
    void AppendEntry(int flags, CUtcTime time, bool isText);
    void CheckPoolRoom(size_t words) const;
    int ColumnSetOf(size_t i) const;
    bool LoadFile(std::string path);
    std::string FindBracketName(const std::string& name) const;
    void ResolveTimes();

    // What was learned from the loaded files, besides the entries.
    struct Facts {
        std::string instrumentName;
        std::string title;
        int formatCode = 0;
        double version = 0;
        int serialNumber = 0;
        CUtcTime startTime, minTime, maxTime;
        long long corruptBytes = 0;
        long long totalBytes = 0;
        int intervalCount = 0;
        int fileIdentity = 0;
        int addressOffset = 0;
        int bytesDecoded = 0;
    };
    // The state before a load, to go back to when the load fails half-way.
    struct Snapshot {
        size_t entryCount;
        size_t columnSetCount;
        Facts facts;
    };
    Snapshot TakeSnapshot() const;
    void RollBack(const Snapshot& snapshot);

    // Entries: parallel arrays; entry i owns the pool words m_start[i] .. m_start[i+1].
    PodArray<uint32_t> m_pool;
    PodArray<uint32_t> m_start;
    PodArray<int32_t> m_time;
    PodArray<uint16_t> m_flags;
    std::vector<bool> m_isText;
    // (first entry, column set) each time the current column set changed.
    std::vector<std::pair<size_t, int>> m_columnSetChanges;
    std::vector<CColumnSet> m_columnSets;
    // For entries without a valid time: the first valid time after them, built on demand.
    PodArray<int32_t> m_resolvedTime;
    bool m_resolvedTimeValid = false;

    std::string m_filePath;
    std::string m_searchPattern;
    Facts m_facts;
    CNumberFormat m_numberFormat;
    std::string m_separator = " ";
};
