#include "NumberFormat.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Parses the single conversion of a checked format. Returns false for anything else.
struct Conversion {
    bool flags = false;
    int width = -1;
    int precision = -1;
    char letter = 0;
    size_t begin = 0, end = 0;
};

bool findSingleConversion(const std::string& f, Conversion& conv)
{
    int count = 0;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != '%')
            continue;
        if (i + 1 < f.size() && f[i + 1] == '%') {
            ++i;
            continue;
        }
        Conversion c;
        c.begin = i++;
        while (i < f.size() && std::strchr("-+ #0", f[i])) {
            c.flags = true;
            ++i;
        }
        auto readNumber = [&](int& out) {
            if (i >= f.size() || f[i] < '0' || f[i] > '9')
                return false;
            long n = 0;
            while (i < f.size() && f[i] >= '0' && f[i] <= '9') {
                n = n * 10 + (f[i++] - '0');
                if (n > 1000) // a field wider than this is no number format
                    return false;
            }
            out = int(n);
            return true;
        };
        if (i < f.size() && f[i] >= '0' && f[i] <= '9' && !readNumber(c.width))
            return false;
        if (i < f.size() && f[i] == '.') {
            ++i;
            c.precision = 0;
            if (i < f.size() && f[i] >= '0' && f[i] <= '9' && !readNumber(c.precision))
                return false;
        }
        if (i >= f.size() || !std::strchr("fFeEgGaA", f[i]) || f[i] == '\0')
            return false;
        c.letter = f[i];
        c.end = i + 1;
        conv = c;
        ++count;
    }
    return count == 1;
}

} // namespace

CNumberFormat::CNumberFormat(const std::string& format)
{
    if (!Set(format))
        Set("%8.3f");
}

bool CNumberFormat::IsValid(const std::string& format)
{
    Conversion c;
    return format.find('\0') == std::string::npos && findSingleConversion(format, c);
}

bool CNumberFormat::Set(const std::string& format)
{
    Conversion c;
    if (format.find('\0') != std::string::npos || !findSingleConversion(format, c))
        return false;
    m_format = format;
    const bool plain = c.begin == 0 && c.end == format.size() && !c.flags && c.letter == 'f';
    m_fastWidth = plain ? (c.width < 0 ? 0 : c.width) : -1;
    m_fastPrecision = c.precision < 0 ? 6 : c.precision;
    return true;
}

void CNumberFormat::Append(std::string& out, double v) const
{
    if (!std::isfinite(v)) {
        out += std::isnan(v) ? " NaN" : (v < 0 ? " -INF" : " +INF");
        return;
    }
    if (m_fastWidth < 0) {
        AppendWithPrintf(out, v);
        return;
    }
    char buf[400];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, m_fastPrecision);
    if (ec != std::errc()) {
        AppendWithPrintf(out, v);
        return;
    }
    const int length = int(end - buf);
    if (length < m_fastWidth)
        out.append(size_t(m_fastWidth - length), ' ');
    out.append(buf, end);
}

void CNumberFormat::AppendWithPrintf(std::string& out, double v) const
{
    char small[128];
    const int n = std::snprintf(small, sizeof small, m_format.c_str(), v);
    if (n < 0)
        return;
    if (size_t(n) < sizeof small) {
        out.append(small, size_t(n));
        return;
    }
    const size_t at = out.size();
    out.resize(at + size_t(n) + 1);
    std::snprintf(&out[at], size_t(n) + 1, m_format.c_str(), v);
    out.resize(at + size_t(n));
}
