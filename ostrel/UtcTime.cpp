#include "UtcTime.h"

#include <cstdint>

namespace {

constexpr int64_t kDayNumber1970 = 2440588;

// Day number on the Julian Day Number scale; years are counted from March so that the
// leap day falls at the end of the year.
int64_t dayNumber(int64_t year, int64_t month, int64_t day)
{
    // Carry months outside 1..12 into the year so that any field values stay defined.
    int64_t monthIndex = month - 1;
    year += monthIndex >= 0 ? monthIndex / 12 : (monthIndex - 11) / 12;
    monthIndex -= 12 * (monthIndex >= 0 ? monthIndex / 12 : (monthIndex - 11) / 12);
    static const int daysBeforeMonth[12] = {306, 337, 0, 31, 61, 92, 122, 153, 184, 214, 245, 275};
    if (monthIndex < 2)
        --year;
    auto floorDiv = [](int64_t a, int64_t b) { return a >= 0 ? a / b : (a - b + 1) / b; };
    return 365 * year + floorDiv(year, 4) - floorDiv(year, 100) + floorDiv(year, 400) + day
           + daysBeforeMonth[monthIndex] + 1721119;
}

// Inverse of dayNumber (Gregorian calendar).
void civilFromDayNumber(int64_t jdn, int& year, int& month, int& day)
{
    int64_t a = jdn + 32044;
    int64_t b = (4 * a + 3) / 146097;
    int64_t c = a - 146097 * b / 4;
    int64_t d = (4 * c + 3) / 1461;
    int64_t e = c - 1461 * d / 4;
    int64_t m = (5 * e + 2) / 153;
    day = int(e - (153 * m + 2) / 5 + 1);
    month = int(m + 3 - 12 * (m / 10));
    year = int(100 * b + d - 4800 + m / 10);
}

char* putTwoDigits(char* p, unsigned v)
{
    p[0] = char('0' + v / 10 % 10);
    p[1] = char('0' + v % 10);
    return p + 2;
}

} // namespace

CUtcTimeSpan::CUtcTimeSpan(int32_t days, int32_t hours, int32_t minutes, int32_t seconds)
    : m_secs(int32_t(uint32_t(days) * 86400u + uint32_t(hours) * 3600u + uint32_t(minutes) * 60u
                     + uint32_t(seconds)))
{
}

CUtcTime::CUtcTime(int year, int month, int day, int hour, int minute, int second)
{
    const int64_t secs = (dayNumber(year, month, day) - kDayNumber1970) * 86400 + int64_t(hour) * 3600
                         + int64_t(minute) * 60 + second;
    m_secs = int32_t(uint32_t(uint64_t(secs)));
}

void CUtcTime::GetDate(int& year, int& month, int& day) const
{
    const int64_t days = m_secs >= 0 ? m_secs / 86400 : (int64_t(m_secs) - 86399) / 86400;
    civilFromDayNumber(days + kDayNumber1970, year, month, day);
}

int CUtcTime::GetYear() const
{
    int y, m, d;
    GetDate(y, m, d);
    return y;
}

int CUtcTime::GetMonth() const
{
    int y, m, d;
    GetDate(y, m, d);
    return m;
}

int CUtcTime::GetDay() const
{
    int y, m, d;
    GetDate(y, m, d);
    return d;
}

CUtcTimeSpan CUtcTime::operator-(const CUtcTime& other) const
{
    return CUtcTimeSpan(int32_t(uint32_t(m_secs) - uint32_t(other.m_secs)));
}

CUtcTimeSpan CUtcTime::operator+(const CUtcTime& other) const
{
    return CUtcTimeSpan(int32_t(uint32_t(m_secs) + uint32_t(other.m_secs)));
}

CUtcTime CUtcTime::operator+(const CUtcTimeSpan& span) const
{
    CUtcTime t(*this);
    return bValid() ? t += span : CUtcTime();
}

CUtcTime CUtcTime::operator-(const CUtcTimeSpan& span) const
{
    CUtcTime t(*this);
    return bValid() ? t -= span : CUtcTime();
}

CUtcTime& CUtcTime::operator+=(const CUtcTimeSpan& span)
{
    if (bValid())
        m_secs = int32_t(uint32_t(m_secs) + uint32_t(span.GetTotalSeconds()));
    return *this;
}

CUtcTime& CUtcTime::operator-=(const CUtcTimeSpan& span)
{
    if (bValid())
        m_secs = int32_t(uint32_t(m_secs) - uint32_t(span.GetTotalSeconds()));
    return *this;
}

const char* CUtcTime::Print(char* buf, bool bDateOnlyAtMidnight) const
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (bValid()) {
        GetDate(year, month, day);
        hour = GetHour();
        minute = GetMinute();
        second = GetSecond();
    }
    // Written by hand: the converter prints one of these per row.
    char* p = putTwoDigits(buf, unsigned(year) / 100);
    p = putTwoDigits(p, unsigned(year) % 100);
    *p++ = '-';
    p = putTwoDigits(p, unsigned(month));
    *p++ = '-';
    p = putTwoDigits(p, unsigned(day));
    if (!(bDateOnlyAtMidnight && hour == 0 && minute == 0 && second == 0)) {
        *p++ = ' ';
        p = putTwoDigits(p, unsigned(hour));
        *p++ = ':';
        p = putTwoDigits(p, unsigned(minute));
        *p++ = ':';
        p = putTwoDigits(p, unsigned(second));
    }
    *p = '\0';
    return buf;
}
