#include "NumberText.h"

#include <charconv>

namespace qsim {

const char* readNumber(const char* begin, const char* end, double& value)
{
    if (begin == end || *begin == '-')
        return nullptr;
    const std::from_chars_result r = std::from_chars(begin, end, value);
    return r.ec == std::errc() ? r.ptr : nullptr;
}

bool parseNumber(const std::string& text, double& value)
{
    const char* begin = text.data();
    const char* end = begin + text.size();
    const bool negative = begin != end && *begin == '-';
    double number = 0;
    if (readNumber(begin + negative, end, number) != end)
        return false;
    value = negative ? -number : number;
    return true;
}

namespace {

std::string formatted(double value, std::chars_format format, int precision)
{
    char buf[400]; // the longest fixed text of a double with a few decimals
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, value, format, precision);
    return r.ec == std::errc() ? std::string(buf, r.ptr) : std::string();
}

} // namespace

std::string fixedText(double value, int decimals)
{
    return formatted(value, std::chars_format::fixed, decimals);
}

std::string generalText(double value, int precision)
{
    return formatted(value, std::chars_format::general, precision);
}

} // namespace qsim
