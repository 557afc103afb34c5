#include "TextReaders.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "DataStore.h"
#include "TextScan.h"

using namespace textscan;

namespace {

constexpr size_t kMaxValuesPerLine = 1000;

// Calls onLine for every line of data: a line ends at LF, a CR before it is dropped.
template <typename OnLine>
void forEachLine(const char* data, size_t size, std::string& line, OnLine onLine)
{
    const char* p = data;
    const char* end = data + size;
    while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* lineEnd = lf ? lf : end;
        const char* contentEnd = lf && lineEnd > p && lineEnd[-1] == '\r' ? lineEnd - 1 : lineEnd;
        line.assign(p, contentEnd);
        onLine(line);
        p = lf ? lf + 1 : end;
    }
}

// Reads numbers from p, skipping one field after each, to the end of the text.
void readNumbers(const char* p, const char* end, std::vector<float>& values)
{
    values.clear();
    while (p < end && values.size() < kMaxValuesPerLine) {
        values.push_back(float(ReadNumber(p)));
        p = SkipField(p, end);
    }
}

unsigned adjustTwoDigitYear(unsigned year)
{
    return year < 100 ? year + (year < 70 ? 2000 : 1900) : year;
}

// The time at the start of a text-log line and where its values begin.
CUtcTime lineTime(const std::string& line, const char*& valueStart)
{
    const char* begin = line.c_str();
    const char* end = begin + line.size();
    for (const char* format : {"%u-%u-%u%c%u:%u:%u.%u", "%u.%u.%u%c%u:%u:%u.%u"}) {
        unsigned a = 0, b = 0, c = 0, hour = 0, minute = 0, second = 0, fraction = 0;
        char any = 0;
        if (std::sscanf(begin, format, &a, &b, &c, &any, &hour, &minute, &second, &fraction) >= 7) {
            const bool yearFirst = format[2] == '-';
            const unsigned year = adjustTwoDigitYear(yearFirst ? a : c);
            const unsigned day = yearFirst ? c : a;
            valueStart = SkipField(SkipField(begin, end), end);
            return CUtcTime(int(year), int(b), int(day), int(hour), int(minute), int(second));
        }
    }
    double seconds = 0;
    const bool found = ReadNumber(begin, seconds);
    valueStart = SkipField(begin, end);
    return CUtcTime(found ? int32_t(TruncToInt(seconds)) : -1);
}

bool startsWithNoCase(const char* p, const char* end, const char* word)
{
    const size_t n = std::strlen(word);
    if (size_t(end - p) < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(p[i])) != word[i])
            return false;
    return true;
}

// Time of a number-file row: year, day and hour packed in a, month, minute and second in b.
CUtcTime numberRowTime(double first, double second)
{
    const long long a = static_cast<long long>(std::trunc(first));
    const long long b = static_cast<long long>(std::trunc(second));
    long long year = a / 1024;
    const long long day = (a % 1024) / 32 + 1;
    const long long hour = a % 32;
    const long long month = b / 4096 + 1;
    const long long minute = (b % 4096) / 64;
    const long long sec = b % 64;
    if (year < 1970)
        year += 1970;
    while (year > 2038)
        year -= 10;
    const bool valid = year >= 1970 && year <= 2038 && month >= 1 && month <= 12 && day >= 1 && day <= 31
                       && hour >= 0 && hour <= 24 && minute >= 0 && minute <= 60 && sec >= 0 && sec <= 60;
    return valid ? CUtcTime(int(year), int(month), int(day), int(hour), int(minute), int(sec)) : CUtcTime(-1);
}

bool finiteInLongLongRange(double v)
{
    return std::isfinite(v) && std::fabs(v) < 9e18;
}

} // namespace

void CTextLogReader::Read(const char* data, size_t size)
{
    std::string line;
    std::vector<float> values;
    forEachLine(data, size, line, [&](const std::string& text) {
        const char* valueStart = nullptr;
        const CUtcTime time = lineTime(text, valueStart);
        if (time.bValid()) {
            readNumbers(valueStart, text.c_str() + text.size(), values);
            m_store.AddValues(LOGF_DATA | LOGF_TIME, time, values.data(), values.size());
        } else {
            const int flags = AnalyseTextLine(text.c_str(), text.c_str() + text.size());
            m_store.AddText(LOGF_TEXT | flags, CUtcTime(-1), text);
        }
    });
    m_store.SetAddressOffset(m_store.GetEntryTime(0).GetSeconds());
}

int CTextLogReader::AnalyseTextLine(const char* line, const char* end)
{
    int flags = 0;
    const char* p = line;
    if (startsWithNoCase(p, end, "\"date\"") || startsWithNoCase(p, end, "date"))
        p = SkipField(p, end);
    if (startsWithNoCase(p, end, "\"time\"") || startsWithNoCase(p, end, "time")) {
        p = SkipField(p, end);
        std::vector<std::string> names;
        for (const std::string& piece : Split(std::string(p, end), " ,"))
            names.push_back(Trim(piece, "\" "));
        m_store.AddColumnSet(std::move(names));
        flags |= LOGF_COLUMNS;
    }

    const std::string lower = ToLower(std::string(line, end));
    if (lower.compare(0, 12, "# instrument") == 0) {
        const size_t at = lower.find("qrx731-");
        if (at != std::string::npos) {
            m_store.SetSerialNumber(TruncToInt(ReadNumber(lower.c_str() + at + 7)));
            m_store.SetInstrumentName("QRX731");
        }
    } else if (lower.compare(0, 13, "# measurement") == 0) {
        const unsigned long measurement = static_cast<unsigned long>(TruncToInt(ReadNumber(lower.c_str() + 13)));
        if (!m_store.HasTitle()) {
            char title[400];
            std::snprintf(title, sizeof title, "%.300s-%lu measurement %04lu", m_store.GetInstrumentName(),
                          static_cast<unsigned long>(static_cast<uint32_t>(m_store.GetSerialNumber())),
                          static_cast<unsigned long>(static_cast<uint32_t>(measurement)));
            m_store.SetTitle(title);
        }
    } else if (lower.compare(0, 7, "# title") == 0) {
        if (!m_store.HasTitle()) {
            size_t at = 7;
            while (at < lower.size() && lower[at] == ' ')
                ++at;
            size_t stop = at;
            while (stop < lower.size() && !std::isspace(static_cast<unsigned char>(lower[stop])))
                ++stop;
            m_store.SetTitle(std::string(line + at, line + stop));
        }
        flags |= LOGF_HEADER;
    }
    return flags;
}

bool CNumberLogReader::FirstLineMatches(const char* data, size_t size)
{
    const char* p = data;
    const char* end = data + std::min<size_t>(size, 2048);
    while (p < end && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    if (p == end)
        return false;
    const char* lineEnd = p;
    while (lineEnd < end && *lineEnd != '\r' && *lineEnd != '\n')
        ++lineEnd;
    const std::string line(p, lineEnd);
    int count = 0;
    double sum = 0, last = 0;
    for (const char* q = line.c_str(); q < line.c_str() + line.size(); q = SkipField(q, line.c_str() + line.size())) {
        last = ReadNumber(q);
        sum += last;
        ++count;
    }
    return count >= 3 && sum != 0 && std::fabs(sum - 2 * last) < 0.1;
}

void CNumberLogReader::Read(const char* data, size_t size)
{
    std::string line;
    std::vector<float> values;
    forEachLine(data, size, line, [&](const std::string& text) {
        double first = 0, second = 0;
        CUtcTime time(-1);
        if (std::sscanf(text.c_str(), "%lf %lf", &first, &second) >= 2 && finiteInLongLongRange(first)
            && finiteInLongLongRange(second))
            time = numberRowTime(first, second);
        readNumbers(text.c_str(), text.c_str() + text.size(), values);
        m_store.AddValues(LOGF_DATA | LOGF_TIME, time, values.data(), values.size());
    });
    m_store.SetAddressOffset(m_store.GetEntryTime(0).GetSeconds());
    m_store.SetTitle("MAS File");
    m_store.SetInstrumentName("MAS");
}
