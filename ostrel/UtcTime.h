#pragma once

#include <cstdint>

#include <ostrel/OstrelExport.h>

// A signed number of seconds. Plain 32-bit value: it crosses library boundaries by copy.
class OSTREL_API CUtcTimeSpan {
public:
    CUtcTimeSpan() = default;
    CUtcTimeSpan(int32_t secs) : m_secs(secs) {}
    CUtcTimeSpan(int32_t days, int32_t hours, int32_t minutes, int32_t seconds);

    int32_t GetTotalSeconds() const { return m_secs; }

private:
    int32_t m_secs = 0;
};

// UTC time as whole seconds since 1970-01-01 00:00:00, valid only when greater than 0.
// No time zone or daylight-saving rule is ever applied.
class OSTREL_API CUtcTime {
public:
    enum { PrintBufferSize = 20 };

    CUtcTime() = default;
    CUtcTime(int32_t secs) : m_secs(secs) {}
    // Fields beyond their range carry into the next unit; the result wraps like the
    // 32-bit count it is.
    CUtcTime(int year, int month, int day, int hour, int minute, int second);

    bool bValid() const { return m_secs > 0; }
    int32_t GetSeconds() const { return m_secs; }

    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const { return (m_secs % 86400) / 3600; }
    int GetMinute() const { return (m_secs % 3600) / 60; }
    int GetSecond() const { return m_secs % 60; }

    CUtcTimeSpan operator-(const CUtcTime& other) const;
    CUtcTimeSpan operator+(const CUtcTime& other) const;
    CUtcTime operator+(const CUtcTimeSpan& span) const;
    CUtcTime operator-(const CUtcTimeSpan& span) const;
    CUtcTime& operator+=(const CUtcTimeSpan& span);
    CUtcTime& operator-=(const CUtcTimeSpan& span);

    bool operator==(const CUtcTime& o) const { return m_secs == o.m_secs; }
    bool operator!=(const CUtcTime& o) const { return m_secs != o.m_secs; }
    bool operator<(const CUtcTime& o) const { return m_secs < o.m_secs; }
    bool operator>(const CUtcTime& o) const { return m_secs > o.m_secs; }
    bool operator<=(const CUtcTime& o) const { return m_secs <= o.m_secs; }
    bool operator>=(const CUtcTime& o) const { return m_secs >= o.m_secs; }

    // "YYYY-MM-DD hh:mm:ss", or the date alone at midnight when bDateOnlyAtMidnight;
    // zeros for an invalid time. buf needs PrintBufferSize bytes.
    const char* Print(char* buf, bool bDateOnlyAtMidnight) const;

private:
    void GetDate(int& year, int& month, int& day) const;

    int32_t m_secs = 0;
};
