#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include <ostrel/PodArray.h>

// How a row of values is kept in bytes. Instruments log values in tenths (0 to 6553.5), and
// the values of text logs are mostly whole tenths as well, so a row is kept in the fewest
// bytes of three forms:
//   Codes8   one byte a value: its tenths below 0xF0, else the number (from 0xF0 on) of
//            its tenths in two bytes after the codes; only for rows of whole tenths;
//   Codes16  two bytes a value: its tenths below 0xF000, else the number (from 0xF000 on)
//            of its float after the codes;
//   Floats   four bytes a value.
// A value read back is the float it was given as; tenths t stand for the float nearest
// t / 10, as double(t) * 0.1 rounds.
namespace varno::ostrel::valuerows {

enum Form : uint8_t { Floats, Codes8, Codes16 };

constexpr unsigned kFirstWideCode = 0xF0;
constexpr unsigned kFirstFloatCode = 0xF000;

constexpr float TenthsValue(unsigned tenths)
{
    return float(double(tenths) * 0.1);
}

// What each one-byte code stands for, so that copying rows needs no arithmetic for them.
template <typename Number>
constexpr std::array<Number, kFirstWideCode> kCodeValues = [] {
    std::array<Number, kFirstWideCode> values{};
    for (unsigned code = 0; code < kFirstWideCode; ++code)
        values[code] = Number(TenthsValue(code));
    return values;
}();

// Value j of a row of count values kept in the given form.
template <Form form>
inline float ValueOf(const uint8_t* bytes, size_t count, size_t j)
{
    if constexpr (form == Codes8) {
        const unsigned code = bytes[j];
        if (code < kFirstWideCode)
            return TenthsValue(code);
        uint16_t tenths;
        std::memcpy(&tenths, bytes + count + (code - kFirstWideCode) * sizeof tenths, sizeof tenths);
        return TenthsValue(tenths);
    } else if constexpr (form == Codes16) {
        uint16_t code;
        std::memcpy(&code, bytes + j * sizeof code, sizeof code);
        if (code < kFirstFloatCode)
            return TenthsValue(code);
        float v;
        std::memcpy(&v, bytes + count * sizeof code + (code - kFirstFloatCode) * sizeof v, sizeof v);
        return v;
    } else {
        float v;
        std::memcpy(&v, bytes + j * sizeof v, sizeof v);
        return v;
    }
}

// Value j of a row (inline: converting a log reads every value).
inline float ValueAt(Form form, const uint8_t* bytes, size_t count, size_t j)
{
    switch (form) {
    case Codes8: return ValueOf<Codes8>(bytes, count, j);
    case Codes16: return ValueOf<Codes16>(bytes, count, j);
    default: return ValueOf<Floats>(bytes, count, j);
    }
}

// Every value of a row, value j to out[j * stride]; the form is looked at once a row.
template <typename Number>
inline void CopyRow(Form form, const uint8_t* bytes, size_t count, Number* out, size_t stride)
{
    switch (form) {
    case Codes8:
        for (size_t j = 0; j < count; ++j)
            out[j * stride] = bytes[j] < kFirstWideCode ? kCodeValues<Number>[bytes[j]] : ValueOf<Codes8>(bytes, count, j);
        break;
    case Codes16:
        for (size_t j = 0; j < count; ++j)
            out[j * stride] = ValueOf<Codes16>(bytes, count, j);
        break;
    default:
        for (size_t j = 0; j < count; ++j)
            out[j * stride] = ValueOf<Floats>(bytes, count, j);
        break;
    }
}

// Packs rows at the end of a byte array.
class CPacker {
public:
    Form Pack(const float* values, size_t count, PodArray<uint8_t>& out);
    Form Pack(const uint16_t* tenths, size_t count, PodArray<uint8_t>& out);

private:
    template <typename Tenths>
    Form PackTenths(const Tenths* tenths, const float* values, size_t count, PodArray<uint8_t>& out);

    std::vector<uint32_t> m_tenths; // of a row given as floats; kNoTenths for the others
};

} // namespace varno::ostrel::valuerows
