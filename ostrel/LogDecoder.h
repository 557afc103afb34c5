#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <ostrel/RecordScanner.h>
#include <ostrel/UtcTime.h>

namespace varno::ostrel {

class CEntryTable;

// Decodes one binary data log into entries of a table: texts and value rows, each
// stamped with the time reconstructed from time lines, markers, signatures and the
// logging period; learns column names from the header and repairs transfer damage.
class CLogDecoder {
public:
    explicit CLogDecoder(CEntryTable& table);

    // Decodes buffer (repaired in place). consumed(offset) is told, now and then, that
    // bytes before offset will not be read again.
    void Decode(uint8_t* buffer, size_t size, const std::function<void(size_t)>& consumed = {});

private:
    void AddWarning(long long newCorruptBytes, int repairFlags);
    void ProcessRecord(const CRecordScanner::Record& record);
    void AddFiller(uint8_t length);
    int AnalyseLine(const std::string& line);
    int AnalyseIdentification(const std::string& lower);
    void AnalyseColumnLines(const std::string& line, const std::string& lower, int& flags);
    void AnalyseDefinition(const std::string& line, const std::string& lower);
    void TimeReference();
    void AdvanceTimed(int& flags);
    void BackDate();
    void SetPeriodFrom(const std::string& lower, size_t at, const char* format);

    CEntryTable& m_table;
    CUtcTime m_now;
    CUtcTimeSpan m_period;
    CUtcTime m_lastTimed;
    size_t m_segmentStart = 0;
    CUtcTime m_refTime;
    int m_sinceRef = 0;
    int m_sinceReset = 0;
    bool m_needSync = true;
    bool m_started = false;
    bool m_textConversionSeen = false;
    std::map<std::string, std::vector<std::string>> m_definitionWords;
    std::map<std::string, std::string> m_definitionTexts;
};

// Values of a half-float word as the instrument encodes it.
float HalfToFloat(uint16_t h);

} // namespace varno::ostrel
