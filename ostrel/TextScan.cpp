#include <ostrel/TextScan.h>

#include <cmath>
#include <cstring>
#include <limits>

#include <ostrel/Calendar.h>
#include <ostrel/NumberText.h>

namespace varno::ostrel::textscan {

std::string ToLower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return text;
}

std::string Trim(const std::string& text, const char* characters)
{
    const size_t first = text.find_first_not_of(characters);
    if (first == std::string::npos)
        return std::string();
    const size_t last = text.find_last_not_of(characters);
    return text.substr(first, last - first + 1);
}

size_t FindAfterStart(const std::string& text, const char* word)
{
    const size_t at = text.find(word);
    return at == 0 ? std::string::npos : at;
}

bool ReadNumber(const char* p, const char* end, double& value)
{
    return numbertext::Read(p, end, value) != nullptr;
}

double ReadNumber(const char* p, const char* end)
{
    double value;
    ReadNumber(p, end, value);
    return value;
}

int TruncToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(value);
}

std::vector<std::string> Split(const std::string& text, const char* separators)
{
    std::vector<std::string> pieces;
    size_t at = 0;
    while (at < text.size()) {
        const size_t begin = text.find_first_not_of(separators, at);
        if (begin == std::string::npos)
            break;
        size_t end = text.find_first_of(separators, begin);
        if (end == std::string::npos)
            end = text.size();
        pieces.push_back(text.substr(begin, end - begin));
        at = end;
    }
    return pieces;
}

bool IsFieldSeparator(char c)
{
    return c == '\t' || c == ' ' || c == ',' || c == ';';
}

const char* SkipField(const char* p, const char* end)
{
    while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == '\v' || *p == '\f'))
        ++p;
    while (p < end && !IsFieldSeparator(*p))
        ++p;
    bool punctuation = false;
    for (; p < end; ++p) {
        if ((*p == ',' || *p == ';') && !punctuation)
            punctuation = true;
        else if (*p != ' ' && *p != '\t')
            break;
    }
    return p;
}

CUtcTime TimeOrInvalid(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute, int64_t second)
{
    // Fields this large carry far beyond 2038 anyway; the bound keeps the sums in 64 bits.
    const int64_t limit = int64_t(1) << 31;
    for (int64_t field : {year, month, day, hour, minute, second})
        if (field > limit || field < -limit)
            return CUtcTime(-1);
    const int64_t seconds = calendar::SecondsFromCivil(year, month, day, hour, minute, second);
    if (seconds < 0 || seconds > std::numeric_limits<int32_t>::max())
        return CUtcTime(-1);
    return CUtcTime(int32_t(seconds));
}

} // namespace varno::ostrel::textscan
