#include <ostrel/NumberFormat.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// A checked format taken apart: the conversion and the literal text around it.
struct Parsed {
    CNumberFormat::Conversion conversion;
    std::string before, after;
};

// Parses a format of literal text and exactly one conversion; false for anything else.
bool parseFormat(const std::string& f, Parsed& parsed)
{
    if (f.find('\0') != std::string::npos)
        return false;
    int count = 0;
    std::string literal;
    for (size_t i = 0; i < f.size(); ++i) {
        if (f[i] != '%') {
            literal += f[i];
            continue;
        }
        if (i + 1 < f.size() && f[i + 1] == '%') {
            literal += '%';
            ++i;
            continue;
        }
        CNumberFormat::Conversion c;
        for (++i; i < f.size() && std::strchr("-+ #0", f[i]); ++i) {
            c.minus |= f[i] == '-';
            c.plus |= f[i] == '+';
            c.space |= f[i] == ' ';
            c.alternate |= f[i] == '#';
            c.zero |= f[i] == '0';
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
        if (i >= f.size() || !std::strchr("fFeEgGaA", f[i]))
            return false;
        c.letter = f[i];
        parsed.conversion = c;
        parsed.before = literal;
        literal.clear();
        ++count;
    }
    parsed.after = literal;
    return count == 1;
}

// The exponent of an "e" or "p" text: what follows its last letter.
int exponentOf(const char* first, const char* last)
{
    const char* at = last;
    while (at > first && at[-1] != 'e' && at[-1] != 'p')
        --at;
    int exponent = 0;
    std::from_chars(at + (at < last && *at == '+'), last, exponent);
    return exponent;
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
    Parsed parsed;
    return parseFormat(format, parsed);
}

bool CNumberFormat::Set(const std::string& format)
{
    Parsed parsed;
    if (!parseFormat(format, parsed))
        return false;
    m_format = format;
    m_conversion = parsed.conversion;
    m_before = parsed.before;
    m_after = parsed.after;
    const Conversion& c = m_conversion;
    m_fastPrecision = c.precision < 0 ? 6 : c.precision;
    const bool flags = c.minus || c.plus || c.space || c.alternate || c.zero;
    const bool plain = m_before.empty() && m_after.empty() && !flags && c.letter == 'f' && m_fastPrecision <= 17;
    m_fastWidth = plain ? (c.width < 0 ? 0 : c.width) : -1;
    m_fastPower = 1;
    for (int k = 0; k < m_fastPrecision && k < 17; ++k)
        m_fastPower *= 10;
    return true;
}

bool CNumberFormat::HasLiteralText() const
{
    return (m_before + m_after).find_first_not_of(' ') != std::string::npos;
}

// The conversion of a finite value, as printf writes it in the C locale.
std::string CNumberFormat::Convert(double v) const
{
    const Conversion& c = m_conversion;
    const char kind = char(c.letter | 0x20); // f, e, g or a
    const double magnitude = std::fabs(v);
    const int precision = c.precision < 0 ? 6 : c.precision;
    std::string body(size_t(precision) + 340, '\0'); // 309 digits before the point at most
    char* const first = &body[0];
    char* const last = first + body.size();
    std::to_chars_result r{};
    if (kind == 'f') {
        r = std::to_chars(first, last, magnitude, std::chars_format::fixed, precision);
    } else if (kind == 'e') {
        r = std::to_chars(first, last, magnitude, std::chars_format::scientific, precision);
    } else if (kind == 'a') {
        r = c.precision < 0 ? std::to_chars(first, last, magnitude, std::chars_format::hex)
                            : std::to_chars(first, last, magnitude, std::chars_format::hex, precision);
    } else if (!c.alternate) {
        r = std::to_chars(first, last, magnitude, std::chars_format::general, precision);
    } else {
        // "%#g" keeps its trailing zeros: the style that plain "%g" chooses, written in full.
        const int significant = precision == 0 ? 1 : precision;
        r = std::to_chars(first, last, magnitude, std::chars_format::scientific, significant - 1);
        const int exponent = exponentOf(first, r.ptr);
        if (exponent >= -4 && exponent < significant)
            r = std::to_chars(first, last, magnitude, std::chars_format::fixed, significant - 1 - exponent);
    }
    body.resize(size_t(r.ptr - first));
    if (c.alternate && body.find('.') == std::string::npos)
        body.insert(std::min(body.find_first_of("ep"), body.size()), 1, '.');
    if (c.letter != kind) // an upper-case conversion
        for (char& ch : body)
            ch = ch >= 'a' && ch <= 'z' ? char(ch - 'a' + 'A') : ch;

    std::string lead = std::signbit(v) ? "-" : c.plus ? "+" : c.space ? " " : "";
    if (kind == 'a')
        lead += c.letter == 'a' ? "0x" : "0X";
    const size_t length = lead.size() + body.size();
    const size_t padding = c.width > 0 && size_t(c.width) > length ? size_t(c.width) - length : 0;
    if (c.minus)
        return lead + body + std::string(padding, ' ');
    if (c.zero)
        return lead + std::string(padding, '0') + body;
    return std::string(padding, ' ') + lead + body;
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
    const std::string text = m_before + Convert(v) + m_after;
    std::memcpy(out, text.data(), std::min(text.size(), room));
    return text.size();
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
