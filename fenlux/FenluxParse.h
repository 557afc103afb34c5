#pragma once

#include <cstddef>
#include <string>

namespace varno::fenlux {

// Text handling of the plotter: the field splitter shared by every line reader, the
// time reader and writer, and the normalisation of raw lines into comma lists.

// Longest normalised line; a field that would not fit is dropped with the rest of its line.
constexpr size_t kLineBufferSize = 4096;

struct Field {
    const char* begin = nullptr;
    size_t size = 0;
    std::string text() const { return std::string(begin, size); }
};

// Reads one field at p (see the splitter rules: quotes and braces keep separators inside,
// an optional outer pair is stripped) and returns the position of the next field.
const char* csv_readfield(const char* p, Field* field, bool strip);
// Reads and drops one field.
const char* csv_skipfield(const char* p);

// Reads a time at p: "Y-M-D?h:m:s[.ms]" or "D.M.Y?h:m:s[.ms]" as UTC, or a plain number.
// Returns seconds since 1970-01-01 00:00:00, or -1 when nothing readable is there.
// *next receives the position after the time (after one field for a number, two for a
// date and time); it is p when nothing was read.
double csv_gettime(const char* p, const char** next);

// Reads a number at p as atof does in the C locale (white space first, the longest number
// that follows; hexadecimal is no number) and returns the position of the next field, as
// csv_skipfield from p would.
const char* csv_readnumber(const char* p, double* value);

// Reads the value of a data cell at p: as csv_readnumber, except that an empty cell and
// an infinite number (such as "inf" or "1e400") are missing values (NaN).
const char* csv_readvalue(const char* p, double* value);

// Whether the field at p is empty (a separator, or the end of the text, follows at once).
bool csv_fieldempty(const char* p);

// Seconds since 1970 as text. Number mode: "%li" when whole to 0.001, else "%1.3lf" (in
// the C locale, as every number the plotter reads or writes).
// Calendar mode: "YYYY-MM-DD<sep>HH:MM:SS[.mmm]", negative values as 0 and 0 as
// "0000-00-00 00:00:00".
std::string timeText(double seconds, bool calendar, char separator = ' ');

// Seconds since 1970 for a UTC calendar time; the month may lie outside 1..12.
long long utcSeconds(long long year, long long month, long long day, long long hour,
                     long long minute, long long second);
// Calendar fields of whole UTC seconds.
struct CalendarTime {
    long long year;
    int month, day, hour, minute, second;
};
CalendarTime utcCalendar(long long seconds);

// Turns one raw line into the plotter's internal form: a leading time written as a number,
// a leading quoted "date" of a column line dropped, the other fields joined by commas.
// Returns false when a field did not fit (the message goes to standard error).
bool normaliseLine(const char* line, std::string* out);

} // namespace varno::fenlux
