#pragma once

#include <string>

#include <ostrel/EntryTable.h>
#include <ostrel/NumberFormat.h>
#include <ostrel/Ostrel.h>

namespace varno::ostrel {

// The conversion object: the entries of the loaded files and the queries over them. Load
// picks the reader for a file's content and lets it fill the entry table.
//
// The virtual operations are the library's binary interface, which no exception crosses:
// when memory runs out, a query gives its empty result (an empty text, NaN, no view) and
// an operation that adds entries takes them back.
class CDataStore final : public COstrel {
public:
    CDataStore() = default;
    ~CDataStore() override;

    int GetEntryCount() override { return int(m_table.Count()); }
    std::string GetTitle() override { return CopyOut(m_table.Facts().title); }
    int GetEntryFlags(int i) override { return InRange(i) ? m_table.Flags(size_t(i)) : 0; }
    CUtcTime GetEntryTime(int i) override;
    CUtcTime GetMinTime() override { return m_table.MinTime(); }
    CUtcTime GetMaxTime() override { return m_table.MaxTime(); }
    CUtcTime GetStartTime() override { return m_table.StartTime(); }
    void SetNumberFormat(std::string format) override;
    std::string GetNumberFormat() override { return CopyOut(m_numberFormat.Get()); }
    void SetSeparator(std::string separator) override { m_separator = std::move(separator); }
    std::string GetSeparator() override { return CopyOut(m_separator); }
    std::string GetEntryText(int i) override;
    std::string GetColumnNames(int i) override;
    int GetValueCount(int i) override { return InRange(i) ? int(m_table.ValueCount(size_t(i))) : 0; }
    double GetValueByName(int i, std::string name) override;
    double GetValue(int i, int j) override;
    void FillTestData() override;
    bool Load(std::string path) override;
    std::string GetFilePath() override { return CopyOut(m_filePath); }
    std::string GetResultText() override;
    int GetIntervalCount() override { return m_table.IntervalCount(); }
    double GetLossRatio() override;
    COstrelView* CreateView(const QRect* rect, QWidget* parent) override;
    int GetAddressOffset() override { return m_table.Facts().addressOffset; }
    int GetBytesDecoded() override { return m_table.Facts().bytesDecoded; }
    int GetFileIdentity() override { return m_table.Facts().fileIdentity; }
    double GetVersion() override { return m_table.Facts().version; }
    int GetSerialNumber() override { return m_table.Facts().serialNumber; }
    const char* GetInstrumentName() override { return m_table.Facts().instrumentName.c_str(); }

    // The entries, for filling them directly (tests) and for reading them in bulk.
    CEntryTable& Table() { return m_table; }
    // The index j that GetValueByName(i, name) reads with GetValue(i, j) (NaN when out of
    // range). It depends on i only through the entry's column set. May throw bad_alloc.
    int ValueIndexByName(int i, const std::string& name) const;

private:
    static std::string CopyOut(const std::string& text) noexcept;
    std::string EntryText(int i);
    std::string ResultText();
    bool InRange(int i) const { return i >= 0 && size_t(i) < m_table.Count(); }
    bool LoadFile(std::string path);
    std::string FindBracketName(const std::string& name) const;

    CEntryTable m_table;
    std::string m_filePath;
    std::string m_searchPattern;
    CNumberFormat m_numberFormat;
    std::string m_separator = " ";
};

} // namespace varno::ostrel
