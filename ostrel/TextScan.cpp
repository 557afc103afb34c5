#include "TextScan.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace textscan {

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

bool ReadNumber(const char* p, double& value)
{
    char* end = nullptr;
    value = std::strtod(p, &end);
    if (end == p) {
        value = 0;
        return false;
    }
    return true;
}

double ReadNumber(const char* p)
{
    double value;
    ReadNumber(p, value);
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
    return p < end ? p + 1 : p;
}

} // namespace textscan
