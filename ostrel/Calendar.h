#pragma once

// The proleptic Gregorian calendar of the whole suite, UTC, no zone. Header-only, so that
// the simulated instrument and the data-log names share it without linking this library.

#include <cstdint>

namespace varno::ostrel::calendar {

constexpr int64_t FloorDiv(int64_t a, int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// Days since 1970-01-01 of a date. Months outside 1..12 carry into the year and days
// beyond the month into the next one.
constexpr int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day)
{
    year += FloorDiv(month - 1, 12);
    month -= 12 * FloorDiv(month - 1, 12);
    const int64_t y = year - (month <= 2 ? 1 : 0);
    const int64_t era = FloorDiv(y, 400);
    const int64_t yearOfEra = y - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

struct Civil {
    int year, month, day, hour, minute, second;
};

// Calendar fields of seconds since 1970-01-01 00:00:00.
constexpr Civil CivilFromSeconds(int64_t seconds)
{
    const int64_t days = FloorDiv(seconds, 86400);
    const int64_t rest = seconds - days * 86400;
    const int64_t z = days + 719468;
    const int64_t era = FloorDiv(z, 146097);
    const int64_t dayOfEra = z - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t mp = (5 * dayOfYear + 2) / 153;
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    return Civil{int(yearOfEra + era * 400 + (month <= 2 ? 1 : 0)), month, int(dayOfYear - (153 * mp + 2) / 5 + 1),
                 int(rest / 3600), int(rest % 3600 / 60), int(rest % 60)};
}

// Seconds since 1970-01-01 00:00:00 of calendar fields (carrying as DaysFromCivil does).
constexpr int64_t SecondsFromCivil(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                                   int64_t second)
{
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

} // namespace varno::ostrel::calendar
