#include <fenlux/FenluxParse.h>

#include <cctype>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <ostrel/Calendar.h>
#include <ostrel/NumberText.h>

namespace varno::fenlux {

namespace {

// Character classes of the splitter, looked up per byte.
enum : unsigned char { kSeparator = 1, kSpace = 2, kSpecial = 4 /* quote, braces, NUL */ };

struct CharClasses {
    unsigned char bits[256];
    CharClasses()
    {
        for (int c = 0; c < 256; ++c) {
            bits[c] = 0;
            if (std::isspace(c))
                bits[c] |= kSpace;
        }
        for (unsigned char c : {',', ';', ' ', '\t', '\r', '\n'})
            bits[c] |= kSeparator;
        for (unsigned char c : {'"', '{', '}', '\0'})
            bits[c] |= kSpecial;
    }
};
const CharClasses kClasses;

inline bool isSeparator(char c)
{
    return (kClasses.bits[static_cast<unsigned char>(c)] & kSeparator) != 0;
}

inline bool isSpace(char c)
{
    return (kClasses.bits[static_cast<unsigned char>(c)] & kSpace) != 0;
}

// Step 4 of the splitter: the gap after a field.
inline const char* skipGap(const char* p)
{
    bool separatorSeen = false;
    for (;;) {
        const char c = *p;
        if (c == ' ' || c == '\r' || c == '\n') {
            ++p;
        } else if ((c == ',' || c == ';' || c == '\t') && !separatorSeen) {
            separatorSeen = true;
            ++p;
        } else {
            return p;
        }
    }
}

const double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                               1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                               1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Plain decimals ("-12.25") with at most 15 digits in all: the quotient of two exact
// doubles, which is the correctly rounded value strtod gives. *end is where the number
// stops; false for anything else (exponents, hex, inf, nan, long mantissas).
inline bool fastDecimal(const char* s, double* value, const char** end)
{
    bool negative = false;
    if (*s == '+' || *s == '-') {
        negative = *s == '-';
        ++s;
    }
    unsigned long long mantissa = 0;
    int digits = 0, fraction = 0;
    for (; *s >= '0' && *s <= '9'; ++s, ++digits)
        mantissa = mantissa * 10 + unsigned(*s - '0');
    if (*s == '.') {
        ++s;
        for (; *s >= '0' && *s <= '9'; ++s, ++digits, ++fraction)
            mantissa = mantissa * 10 + unsigned(*s - '0');
    }
    if (digits == 0 || digits > 15 || *s == 'e' || *s == 'E' || *s == 'x' || *s == 'X')
        return false;
    double v = double(mantissa);
    if (fraction > 0)
        v /= kPowersOfTen[fraction];
    *value = negative ? -v : v;
    *end = s;
    return true;
}

// Reads an unsigned number the way scanf's %u does: leading white space, an optional
// sign, at least one digit. Returns false when no digit is there.
bool scanUnsigned(const char*& p, unsigned* value)
{
    const char* s = p;
    while (isSpace(*s))
        ++s;
    bool negative = false;
    if (*s == '+' || *s == '-') {
        negative = *s == '-';
        ++s;
    }
    if (*s < '0' || *s > '9')
        return false;
    unsigned long long v = 0;
    bool overflow = false;
    for (; *s >= '0' && *s <= '9'; ++s) {
        const unsigned d = unsigned(*s - '0');
        if (v > (ULLONG_MAX - d) / 10)
            overflow = true;
        else
            v = v * 10 + d;
    }
    if (overflow)
        v = ULLONG_MAX;
    if (negative)
        v = 0 - v;
    *value = static_cast<unsigned>(v);
    p = s;
    return true;
}

// Matches "%u<a>%u<b>%u%c%u:%u:%u.%u" and returns how many items were read (0..8).
int scanDateTime(const char* p, char dateSeparator, unsigned item[8])
{
    int n = 0;
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (*p != dateSeparator)
                return n;
            ++p;
        }
        if (!scanUnsigned(p, &item[n]))
            return n;
        ++n;
    }
    if (*p == '\0')
        return n;
    item[n++] = static_cast<unsigned char>(*p++);
    const char after[3] = {'\0', ':', ':'};
    for (int i = 0; i < 3; ++i) {
        if (after[i] != '\0') {
            if (*p != after[i])
                return n;
            ++p;
        }
        if (!scanUnsigned(p, &item[n]))
            return n;
        ++n;
    }
    if (*p != '.')
        return n;
    ++p;
    if (!scanUnsigned(p, &item[n]))
        return n;
    return ++n;
}

} // namespace

const char* csv_readfield(const char* p, Field* field, bool strip)
{
    while (isSpace(*p))
        ++p;
    const char* begin = p;
    bool quoted = false;
    int braces = 0;
    for (;; ++p) {
        // Plain characters in bulk; separators and specials below.
        while (!(kClasses.bits[static_cast<unsigned char>(*p)] & (kSeparator | kSpecial)))
            ++p;
        const char c = *p;
        if (c == '\0')
            break;
        if (c == '"' && braces == 0)
            quoted = !quoted;
        else if (c == '{' && !quoted)
            ++braces;
        else if (c == '}' && !quoted && braces > 0)
            --braces;
        else if (!quoted && braces == 0 && isSeparator(c))
            break;
    }
    size_t size = static_cast<size_t>(p - begin);
    if (strip && size > 1
        && ((begin[0] == '"' && begin[size - 1] == '"')
            || (begin[0] == '{' && begin[size - 1] == '}'))) {
        ++begin;
        size -= 2;
    }
    if (field) {
        field->begin = begin;
        field->size = size;
    }
    return skipGap(p);
}

const char* csv_readnumber(const char* p, double* value)
{
    const char* s = p;
    while (isSpace(*s))
        ++s;
    const char* end = nullptr;
    if (fastDecimal(s, value, &end) && (isSeparator(*end) || *end == '\0'))
        return skipGap(end);
    ostrel::numbertext::Read(s, nullptr, *value);
    return csv_skipfield(p);
}

bool csv_fieldempty(const char* p)
{
    while (isSpace(*p))
        ++p;
    return *p == '\0' || *p == ',' || *p == ';' || *p == '\t';
}

const char* csv_readvalue(const char* p, double* value)
{
    if (csv_fieldempty(p)) {
        *value = std::nan("");
        return csv_skipfield(p);
    }
    const char* next = csv_readnumber(p, value);
    if (std::isinf(*value))
        *value = std::nan("");
    return next;
}

const char* csv_skipfield(const char* p)
{
    return csv_readfield(p, nullptr, false);
}

double csv_gettime(const char* p, const char** next)
{
    if (next)
        *next = p;
    while (isSpace(*p))
        ++p;
    unsigned item[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    int n = scanDateTime(p, '-', item);
    bool dayFirst = false;
    if (n < 7) {
        unsigned other[8] = {0, 0, 0, 0, 0, 0, 0, 0};
        n = scanDateTime(p, '.', other);
        if (n >= 7) {
            dayFirst = true;
            std::memcpy(item, other, sizeof item);
        }
    }
    if (n < 7) {
        const char* fastEnd = nullptr;
        double fast;
        if (fastDecimal(p, &fast, &fastEnd) && (isSeparator(*fastEnd) || *fastEnd == '\0')) {
            if (next)
                *next = skipGap(fastEnd);
            return fast;
        }
        double value;
        if (!ostrel::numbertext::Read(p, nullptr, value))
            return -1;
        if (next)
            *next = csv_skipfield(p);
        return value;
    }
    const unsigned year = dayFirst ? item[2] : item[0];
    const unsigned month = item[1];
    const unsigned day = dayFirst ? item[0] : item[2];
    if (year < 1900 || month < 1)
        return -1;
    const unsigned ms = n >= 8 ? item[7] : 0;
    const long long seconds = utcSeconds(year, month, day, item[4], item[5], item[6]);
    if (next)
        *next = csv_skipfield(csv_skipfield(p));
    return double(seconds) + double(ms) * 0.001;
}

long long utcSeconds(long long year, long long month, long long day, long long hour,
                     long long minute, long long second)
{
    return ostrel::calendar::SecondsFromCivil(year, month, day, hour, minute, second);
}

CalendarTime utcCalendar(long long seconds)
{
    const ostrel::calendar::Civil civil = ostrel::calendar::CivilFromSeconds(seconds);
    CalendarTime c;
    c.year = civil.year;
    c.month = civil.month;
    c.day = civil.day;
    c.hour = civil.hour;
    c.minute = civil.minute;
    c.second = civil.second;
    return c;
}

std::string timeText(double seconds, bool calendar, char separator)
{
    char buf[96];
    if (!calendar) {
        const double whole = std::nearbyint(seconds);
        if (std::isfinite(seconds) && std::fabs(seconds - whole) < 0.001
            && std::fabs(whole) < 9.2e18) {
            long long v = static_cast<long long>(whole);
            char digits[24];
            int n = 0;
            const bool negative = v < 0;
            unsigned long long u = negative ? 0ULL - static_cast<unsigned long long>(v)
                                            : static_cast<unsigned long long>(v);
            do {
                digits[n++] = char('0' + u % 10);
                u /= 10;
            } while (u != 0);
            std::string text;
            text.reserve(size_t(n) + 1);
            if (negative)
                text += '-';
            while (n > 0)
                text += digits[--n];
            return text;
        }
        return ostrel::numbertext::Fixed(seconds, 3);
    }
    if (!(seconds > 0) || !std::isfinite(seconds) || seconds > 9.2e15) {
        std::snprintf(buf, sizeof buf, "0000-00-00%c00:00:00", separator);
        return buf;
    }
    long long t = static_cast<long long>(std::floor(seconds));
    const double fraction = seconds - double(t);
    int ms = -1;
    if (fraction >= 1.0 - 0.001 + 1e-12)
        ++t;
    else if (fraction >= 0.001)
        ms = int(std::lround(fraction * 1000.0));
    const CalendarTime c = utcCalendar(t);
    int len = std::snprintf(buf, sizeof buf, "%04lld-%02d-%02d%c%02d:%02d:%02d", c.year, c.month,
                            c.day, separator, c.hour, c.minute, c.second);
    if (ms >= 0 && len > 0)
        std::snprintf(buf + len, sizeof buf - size_t(len), ".%03i", ms);
    return buf;
}

bool normaliseLine(const char* line, std::string* out)
{
    std::string& o = *out;
    o.clear();
    const char* next = line;
    const char* p = line;
    const double t = csv_gettime(line, &next);
    if (t >= 0) {
        o = timeText(t, false);
        p = next;
    } else if (std::strncmp(line, "\"date\"", 6) == 0 && line[6] != '\0'
               && std::strncmp(line + 7, "\"time\"", 6) == 0) {
        p = csv_skipfield(line);
    }
    // An empty first field still counts: the fields after it keep their places.
    bool written = !o.empty();
    while (*p != '\0') {
        Field f;
        const char* after = csv_readfield(p, &f, false);
        const size_t need = f.size + (written ? 1 : 0);
        if (o.size() + need > kLineBufferSize - 1) {
            std::fputs("line buffer overflow\n", stderr);
            return false;
        }
        if (written)
            o += ',';
        o.append(f.begin, f.size);
        written = true;
        p = after;
    }
    return true;
}

} // namespace varno::fenlux
