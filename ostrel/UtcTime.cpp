#include <ostrel/UtcTime.h>

#include <cstdint>

#include <ostrel/Calendar.h>

namespace {

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
    // Computed in 64 bits, then wrapped to the 32-bit count.
    const int64_t secs = varno::ostrel::calendar::SecondsFromCivil(year, month, day, hour, minute, second);
    m_secs = int32_t(uint32_t(uint64_t(secs)));
}

void CUtcTime::GetDate(int& year, int& month, int& day) const
{
    const varno::ostrel::calendar::Civil c = varno::ostrel::calendar::CivilFromSeconds(m_secs);
    year = c.year;
    month = c.month;
    day = c.day;
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
