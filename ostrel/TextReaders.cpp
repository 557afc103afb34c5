#include <ostrel/TextReaders.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <ostrel/EntryTable.h>
#include <ostrel/NumberText.h>
#include <ostrel/TextScan.h>

namespace varno::ostrel {

using namespace textscan;

namespace {

constexpr size_t kMaxValuesPerLine = 1000;
constexpr size_t kReleaseStep = size_t(1) << 20;

bool isWhite(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Calls onLine(begin, end) for every line of data: a line ends at LF, a CR before it is
// dropped. Texts are character strings, so a zero byte ends the line's text: what follows
// it up to the LF is no text (a file of zeros is one empty line). Lines are read where they
// lie, never copied; the bytes of finished lines are handed to bytesDone now and then, so
// that their memory can be given back.
template <typename OnLine>
void forEachLine(const char* data, size_t size, const BytesDone& bytesDone, OnLine onLine)
{
    const char* p = data;
    const char* end = data + size;
    const char* released = data;
    while (p < end) {
        const char* lf = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        const char* lineEnd = lf ? lf : end;
        const char* zero = static_cast<const char*>(std::memchr(p, '\0', size_t(lineEnd - p)));
        const char* contentEnd = zero ? zero : lf && lineEnd > p && lineEnd[-1] == '\r' ? lineEnd - 1 : lineEnd;
        onLine(p, contentEnd);
        p = lf ? lf + 1 : end;
        if (bytesDone && size_t(p - released) >= kReleaseStep) {
            bytesDone(size_t(p - data));
            released = p;
        }
    }
}

// Reads numbers from p, skipping one field after each, to the end of the text.
void readNumbers(const char* p, const char* end, std::vector<float>& values)
{
    values.clear();
    while (p < end && values.size() < kMaxValuesPerLine) {
        values.push_back(float(ReadNumber(p, end)));
        p = SkipField(p, end);
    }
}

int64_t adjustTwoDigitYear(int64_t year)
{
    return year < 100 ? year + (year < 70 ? 2000 : 1900) : year;
}

// An unsigned number as scanf's %u reads it: white space, an optional sign, digits. A
// negative number or one beyond 32 bits is never a calendar field, so it reads as too large.
bool scanField(const char*& p, const char* end, int64_t& value)
{
    const char* s = p;
    while (s < end && isWhite(*s))
        ++s;
    bool negative = false;
    if (s < end && (*s == '+' || *s == '-'))
        negative = *s++ == '-';
    if (s >= end || !isDigit(*s))
        return false;
    const int64_t tooLarge = int64_t(1) << 32;
    value = 0;
    for (; s < end && isDigit(*s); ++s)
        value = std::min(value * 10 + (*s - '0'), tooLarge);
    if (negative && value != 0)
        value = tooLarge;
    p = s;
    return true;
}

// Matches "%u<sep>%u<sep>%u%c%u:%u:%u.%u" as sscanf would and returns the number of fields
// read (the character in the middle counts as one).
int scanDateTime(const char* p, const char* end, char dateSeparator, int64_t field[8])
{
    int n = 0;
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && (p >= end || *p++ != dateSeparator))
            return n;
        if (!scanField(p, end, field[n]))
            return n;
        ++n;
    }
    if (p >= end)
        return n;
    field[n++] = static_cast<unsigned char>(*p++);
    for (const char before : {'\0', ':', ':', '.'}) {
        if (before && (p >= end || *p++ != before))
            return n;
        if (!scanField(p, end, field[n]))
            return n;
        ++n;
    }
    return n;
}

// Whether a text-log line is a row of values: it starts with a date and time that the time
// type holds, or with a number of seconds that is a valid time. The converter writes
// "1970-01-01 00:00:00" for a row without a time, so that date makes a row without one.
bool readRowStart(const char* begin, const char* end, CUtcTime& time, const char*& valueStart)
{
    for (const char separator : {'-', '.'}) {
        int64_t f[8] = {};
        if (scanDateTime(begin, end, separator, f) >= 7) {
            const bool yearFirst = separator == '-';
            time = TimeOrInvalid(adjustTwoDigitYear(yearFirst ? f[0] : f[2]), f[1], yearFirst ? f[2] : f[0], f[4],
                                 f[5], f[6]);
            valueStart = SkipField(SkipField(begin, end), end);
            return time.GetSeconds() >= 0;
        }
    }
    double seconds = 0;
    if (!ReadNumber(begin, end, seconds) || !(seconds >= 1 && seconds < 2147483648.0))
        return false;
    time = CUtcTime(int32_t(seconds));
    valueStart = SkipField(begin, end);
    return true;
}

// The converter's verbose rows start with the entry's index, its flags in hexadecimal and
// its column names in braces; returns where the row itself starts (line when there is no
// such prefix).
const char* skipVerbosePrefix(const char* line, const char* end)
{
    const char* p = line;
    while (p < end && isWhite(*p))
        ++p;
    const char* digits = p;
    while (p < end && isDigit(*p))
        ++p;
    if (p == digits || p == end || !IsFieldSeparator(*p))
        return line;
    p = SkipField(digits, end);
    if (end - p < 3 || p[0] != '0' || (p[1] != 'x' && p[1] != 'X') || !isHexDigit(p[2]))
        return line;
    p = SkipField(p, end);
    if (p == end || *p != '{')
        return line;
    const char* close = static_cast<const char*>(std::memchr(p, '}', size_t(end - p)));
    if (!close || (close + 1 < end && !IsFieldSeparator(close[1])))
        return line;
    return SkipField(close, end);
}

bool startsWithNoCase(const char* p, const char* end, const char* word)
{
    const size_t n = std::strlen(word);
    if (size_t(end - p) < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (lower(p[i]) != word[i])
            return false;
    return true;
}

// Where word (lower case) first occurs in [p, end) without regard to case, or end.
const char* findNoCase(const char* p, const char* end, const char* word)
{
    for (; p < end; ++p)
        if (startsWithNoCase(p, end, word))
            return p;
    return end;
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
    return valid ? TimeOrInvalid(year, month, day, hour, minute, sec) : CUtcTime(-1);
}

bool finiteInLongLongRange(double v)
{
    return std::isfinite(v) && std::fabs(v) < 9e18;
}

// Both readers keep the time of the first entry as the address offset.
void noteFirstTime(CEntryTable& table)
{
    table.Facts().addressOffset = table.Count() > 0 ? table.EffectiveTime(0).GetSeconds() : 0;
}

} // namespace

void CTextLogReader::Read(const char* data, size_t size, const BytesDone& bytesDone)
{
    std::vector<float> values;
    forEachLine(data, size, bytesDone, [&](const char* line, const char* end) {
        const char* row = skipVerbosePrefix(line, end);
        const char* valueStart = nullptr;
        CUtcTime time;
        if (readRowStart(row, end, time, valueStart)) {
            readNumbers(valueStart, end, values);
            m_table.AddValues(LOGF_DATA | LOGF_TIME, time, values.data(), values.size());
        } else {
            const int flags = AnalyseTextLine(line, row, end);
            m_table.AddText(LOGF_TEXT | flags, CUtcTime(-1), std::string_view(line, size_t(end - line)));
        }
    });
    noteFirstTime(m_table);
}

// line is the whole line, row where it starts after a verbose prefix.
int CTextLogReader::AnalyseTextLine(const char* line, const char* row, const char* end)
{
    int flags = 0;
    const char* p = row;
    while (p < end && isWhite(*p))
        ++p;
    if (startsWithNoCase(p, end, "\"date\"") || startsWithNoCase(p, end, "date"))
        p = SkipField(p, end);
    if (startsWithNoCase(p, end, "\"time\"") || startsWithNoCase(p, end, "time")) {
        p = SkipField(p, end);
        std::vector<std::string> names;
        for (const std::string& piece : Split(std::string(p, end), " ,;\t"))
            names.push_back(Trim(piece, "\" "));
        m_table.AddColumnSet(std::move(names));
        flags |= LOGF_COLUMNS;
    }

    if (startsWithNoCase(line, end, "# instrument")) {
        const char* at = findNoCase(line, end, "qrx731-");
        if (at != end) {
            m_table.Facts().serialNumber = TruncToInt(ReadNumber(at + 7, end));
            m_table.Facts().instrumentName = "QRX731";
        }
    } else if (startsWithNoCase(line, end, "# measurement")) {
        const unsigned long measurement = static_cast<unsigned long>(TruncToInt(ReadNumber(line + 13, end)));
        LogFacts& facts = m_table.Facts();
        if (facts.title.empty()) {
            char title[400];
            std::snprintf(title, sizeof title, "%.300s-%lu measurement %04lu", facts.instrumentName.c_str(),
                          static_cast<unsigned long>(static_cast<uint32_t>(facts.serialNumber)),
                          static_cast<unsigned long>(static_cast<uint32_t>(measurement)));
            facts.title = title;
        }
    } else if (startsWithNoCase(line, end, "# title")) {
        if (m_table.Facts().title.empty()) {
            const char* word = line + 7;
            while (word < end && *word == ' ')
                ++word;
            const char* stop = word;
            while (stop < end && !isWhite(*stop))
                ++stop;
            m_table.Facts().title = std::string(word, stop);
        }
        flags |= LOGF_HEADER;
    }
    return flags;
}

bool CNumberLogReader::FirstLineMatches(const char* data, size_t size)
{
    const char* p = data;
    const char* end = data + std::min<size_t>(size, 2048);
    while (p < end && isWhite(*p))
        ++p;
    if (p == end)
        return false;
    const char* lineEnd = p;
    while (lineEnd < end && *lineEnd != '\r' && *lineEnd != '\n')
        ++lineEnd;
    int count = 0;
    double sum = 0, last = 0;
    for (const char* q = p; q < lineEnd; q = SkipField(q, lineEnd)) {
        last = ReadNumber(q, lineEnd);
        sum += last;
        ++count;
    }
    return count >= 3 && sum != 0 && std::fabs(sum - 2 * last) < 0.1;
}

void CNumberLogReader::Read(const char* data, size_t size, const BytesDone& bytesDone)
{
    std::vector<float> values;
    forEachLine(data, size, bytesDone, [&](const char* line, const char* end) {
        // The time: the first two numbers, with only white space between them.
        double first = 0, second = 0;
        CUtcTime time(-1);
        const char* afterFirst = numbertext::Read(line, end, first);
        if (afterFirst && numbertext::Read(afterFirst, end, second) && finiteInLongLongRange(first)
            && finiteInLongLongRange(second))
            time = numberRowTime(first, second);
        readNumbers(line, end, values);
        m_table.AddValues(LOGF_DATA | LOGF_TIME, time, values.data(), values.size());
    });
    noteFirstTime(m_table);
    m_table.Facts().title = "MAS File";
    m_table.Facts().instrumentName = "MAS";
}

} // namespace varno::ostrel
