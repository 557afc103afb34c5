#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include <ostrel/OstrelExport.h>

// A printf format for one value, checked before use: literal text plus exactly one
// conversion %[-+ #0]*[width][.precision] of f F e E g G a A ("%%" allowed anywhere).
// Values are written as printf writes them in the C locale, whatever the process locale;
// formats of the plain "%W.Pf" kind by a fast routine.
class OSTREL_API CNumberFormat {
public:
    explicit CNumberFormat(const std::string& format = "%8.3f");

    static bool IsValid(const std::string& format);

    // Takes format if it is valid; otherwise keeps the current one and returns false.
    bool Set(const std::string& format);
    const std::string& Get() const { return m_format; }

    // The conversion letter (f F e E g G a A) and whether text other than blanks
    // surrounds the conversion.
    char Letter() const { return m_conversion.letter; }
    bool HasLiteralText() const;

    // Writes v: a finite value through the format; minus infinity as " -INF", plus
    // infinity as " +INF", anything else not finite as " NaN". Like snprintf, writes at
    // most room bytes (no terminator) and returns the length the whole text needs.
    size_t Format(char* out, size_t room, double v) const;
    void Append(std::string& out, double v) const;

    // The parts of a checked format.
    struct Conversion {
        bool minus = false, plus = false, space = false, alternate = false, zero = false;
        int width = -1;
        int precision = -1;
        char letter = 0;
    };

private:
    std::string Convert(double v) const;

    std::string m_format;
    Conversion m_conversion;
    std::string m_before, m_after; // literal text around the conversion, "%%" as "%"
    // Fast path for "%W.Pf": width and precision, or fastWidth < 0 when not of that kind.
    int m_fastWidth = -1;
    int m_fastPrecision = 6;
    uint64_t m_fastPower = 1000000;
};
