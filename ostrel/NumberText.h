#pragma once

// Numbers in files, tables and instrument texts, read and written the same way whatever
// the process locale (a windowed program takes its numeric locale from the environment,
// which would make printf write "1,5" and strtod stop at the point). What is read is what
// printf writes in the C locale: a decimal fraction with an optional exponent, or "inf" and
// "nan", each with an optional sign; hexadecimal is not a number.
//
// Header-only, so that the plotter shares it without linking the library.

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace varno::ostrel::numbertext {

namespace detail {

inline bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Characters that may belong to a number, "nan(...)" included.
inline bool isNumberChar(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '+'
           || c == '-' || c == '(' || c == ')' || c == '_';
}

// Whether a decimal text too large or too small for a double lies above 1 in magnitude.
inline bool overflows(const char* p, const char* end)
{
    long long position = 0; // decimal exponent of the first non-zero digit, plus one
    bool seenNonZero = false, afterPoint = false;
    for (; p < end && ((*p >= '0' && *p <= '9') || *p == '.'); ++p) {
        if (*p == '.')
            afterPoint = true;
        else if (!seenNonZero && *p != '0')
            seenNonZero = true;
        else if (!seenNonZero && afterPoint)
            --position;
        if (seenNonZero && !afterPoint)
            ++position;
    }
    long long exponent = 0;
    if (p < end && (*p == 'e' || *p == 'E'))
        exponent = std::strtoll(std::string(p + 1, end).c_str(), nullptr, 10);
    const long long limit = 1000000000000LL; // keeps the sum below overflow
    exponent = exponent > limit ? limit : exponent < -limit ? -limit : exponent;
    return position + exponent > 0;
}

} // namespace detail

// Reads a number at p, after white space; the text may go on after the number. end bounds
// the text, or is nullptr for a text ended by a zero byte. Returns the position just after
// the number, or nullptr (value 0) when no number starts there.
inline const char* Read(const char* p, const char* end, double& value)
{
    value = 0;
    while ((!end || p < end) && detail::isSpace(*p))
        ++p;
    const char* first = p;
    if ((!end || first < end) && *first == '+')
        ++first; // from_chars takes no plus sign
    const char* last = first;
    while ((!end || last < end) && detail::isNumberChar(*last))
        ++last;
    if (first == last || *first == '+' || (first > p && *first == '-'))
        return nullptr;
    const std::from_chars_result result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument) {
        value = 0;
        return nullptr;
    }
    if (result.ec == std::errc::result_out_of_range) {
        const bool negative = *first == '-';
        const double magnitude = detail::overflows(first + negative, result.ptr) ? HUGE_VAL : 0.0;
        value = negative ? -magnitude : magnitude;
    }
    return result.ptr;
}

// printf("%.*f") in the C locale.
inline void AppendFixed(std::string& out, double v, int precision)
{
    const size_t at = out.size();
    out.resize(at + 312 + size_t(precision < 0 ? 6 : precision)); // 309 digits before the point at most
    const std::to_chars_result result = std::to_chars(&out[at], &out[0] + out.size(), v, std::chars_format::fixed,
                                                      precision);
    out.resize(result.ec == std::errc() ? size_t(result.ptr - out.data()) : at);
}

inline std::string Fixed(double v, int precision)
{
    std::string text;
    AppendFixed(text, v, precision);
    return text;
}

// printf("%.*g") in the C locale.
inline std::string General(double v, int precision)
{
    char text[64];
    const std::to_chars_result result = std::to_chars(text, text + sizeof text, v, std::chars_format::general,
                                                      precision);
    return result.ec == std::errc() ? std::string(text, result.ptr) : std::string();
}

} // namespace varno::ostrel::numbertext
