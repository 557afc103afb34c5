#include "NumberFormat.h"

#include <algorithm>
#include <cstdint>
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

// round(mantissa * 10^precision / 2^shift), ties to even, in the integer type T.
template <typename T>
T scaleDown(T scaled, int shift)
{
    if (shift == 0)
        return scaled;
    if (shift >= int(8 * sizeof(T)))
        return 0; // far below half a unit of the last digit
    const T remainder = scaled & ((T(1) << shift) - 1);
    const T half = T(1) << (shift - 1);
    scaled >>= shift;
    if (remainder > half || (remainder == half && (scaled & 1)))
        ++scaled;
    return scaled;
}

// v * 10^precision rounded exactly as printf rounds (to nearest, ties to even, on the
// exact binary value) into units; false when v is too large for 64 bits.
bool scaledUnits(double v, uint64_t power, uint64_t& units, bool& negative)
{
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    negative = bits >> 63;
    const int biasedExponent = int((bits >> 52) & 0x7FF);
    uint64_t mantissa = bits & ((uint64_t(1) << 52) - 1);
    if (biasedExponent != 0)
        mantissa |= uint64_t(1) << 52;
    // v = mantissa * 2^exponent, with the mantissa as short as possible.
    int exponent = (biasedExponent == 0 ? 1 : biasedExponent) - 1075;
    if (mantissa != 0) {
        const int zeros = __builtin_ctzll(mantissa);
        mantissa >>= zeros;
        exponent += zeros;
    }
    if (exponent > 10)
        return false;
    if (exponent <= 0 && mantissa < (uint64_t(1) << 32) && power < (uint64_t(1) << 31)) {
        units = scaleDown<uint64_t>(mantissa * power, -exponent);
        return true;
    }
    using u128 = unsigned __int128;
    u128 scaled = u128(mantissa) * power;
    scaled = exponent >= 0 ? scaled << exponent : scaleDown<u128>(scaled, -exponent);
    if (scaled >> 64)
        return false;
    units = uint64_t(scaled);
    return true;
}

// Writes the last two decimal digits of units before p and drops them from units.
char* putTwoDigitsBefore(char* p, uint64_t& units)
{
    static const char pairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                                "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                                "8081828384858687888990919293949596979899";
    const unsigned r = unsigned(units % 100);
    units /= 100;
    p -= 2;
    std::memcpy(p, pairs + 2 * r, 2);
    return p;
}

int decimalDigits(uint64_t n)
{
    int digits = 1;
    while (n >= 10) {
        n /= 10;
        ++digits;
    }
    return digits;
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
    m_fastPrecision = c.precision < 0 ? 6 : c.precision;
    const bool plain = c.begin == 0 && c.end == format.size() && !c.flags && c.letter == 'f' && m_fastPrecision <= 17;
    m_fastWidth = plain ? (c.width < 0 ? 0 : c.width) : -1;
    m_fastPower = 1;
    for (int k = 0; k < m_fastPrecision && k < 17; ++k)
        m_fastPower *= 10;
    return true;
}

size_t CNumberFormat::Format(char* out, size_t room, double v) const
{
    if (!std::isfinite(v)) {
        const char* text = std::isnan(v) ? " NaN" : (v < 0 ? " -INF" : " +INF");
        const size_t length = std::strlen(text);
        std::memcpy(out, text, std::min(length, room));
        return length;
    }
    uint64_t units;
    bool negative;
    if (m_fastWidth >= 0 && room >= 64 + size_t(m_fastWidth) && scaledUnits(v, m_fastPower, units, negative)) {
        // "%W.Pf" written from the last digit backwards, padded in front to the width.
        const int digits = std::max(decimalDigits(units), m_fastPrecision + 1);
        const int length = int(negative) + digits + (m_fastPrecision > 0);
        const int padding = std::max(m_fastWidth - length, 0);
        if (padding <= 16) // one fixed-size store instead of a memset call
            std::memcpy(out, "                ", 16);
        else
            std::memset(out, ' ', size_t(padding));
        char* p = out + padding + length;
        int k = m_fastPrecision;
        for (; k >= 2; k -= 2)
            p = putTwoDigitsBefore(p, units);
        if (k == 1) {
            *--p = char('0' + units % 10);
            units /= 10;
        }
        if (m_fastPrecision > 0)
            *--p = '.';
        char* const first = out + padding + int(negative);
        while (p - first >= 2)
            p = putTwoDigitsBefore(p, units);
        if (p > first)
            *--p = char('0' + units % 10);
        if (negative)
            *--p = '-';
        return size_t(padding + length);
    }
    // snprintf always writes a terminator; keep it out of the caller's room.
    char small[256];
    const int n = std::snprintf(small, sizeof small, m_format.c_str(), v);
    if (n < 0)
        return 0;
    if (size_t(n) < sizeof small) {
        std::memcpy(out, small, std::min(size_t(n), room));
        return size_t(n);
    }
    std::string large(size_t(n) + 1, '\0');
    std::snprintf(&large[0], large.size(), m_format.c_str(), v);
    std::memcpy(out, large.data(), std::min(size_t(n), room));
    return size_t(n);
}

void CNumberFormat::Append(std::string& out, double v) const
{
    char text[160];
    const size_t length = Format(text, sizeof text, v);
    if (length <= sizeof text) {
        out.append(text, length);
        return;
    }
    const size_t at = out.size();
    out.resize(at + length);
    Format(&out[at], length, v);
}
