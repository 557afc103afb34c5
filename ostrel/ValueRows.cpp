#include "ValueRows.h"

#include <cstring>

namespace valuerows {

namespace {

constexpr uint32_t kMaxTenths = 0xFFFF;
constexpr uint32_t kNoTenths = 0x10000; // above every code
constexpr size_t kNever = size_t(-1);

// The tenths of v, or kNoTenths when v is not exactly what tenthsValue gives for any.
uint32_t tenthsOf(float v)
{
    if (!(v >= 0.0f && v <= TenthsValue(kMaxTenths)))
        return kNoTenths;
    const unsigned tenths = unsigned(double(v) * 10.0 + 0.5);
    const float back = TenthsValue(tenths);
    return std::memcmp(&back, &v, sizeof v) == 0 ? tenths : kNoTenths; // -0 is no tenths
}

} // namespace

Form CPacker::Pack(const float* values, size_t count)
{
    m_tenths.resize(count);
    for (size_t j = 0; j < count; ++j)
        m_tenths[j] = tenthsOf(values[j]);
    return PackTenths(m_tenths.data(), values, count);
}

Form CPacker::Pack(const uint16_t* tenths, size_t count)
{
    return PackTenths(tenths, nullptr, count);
}

// values, where given, are the values of the row; tenths marks those that are no tenths.
// Most rows take one-byte codes: they are packed so straight away, and the counts that
// decide the form are taken on the way. The loop has no branches, since which values are
// wide hardly follows a pattern.
template <typename Tenths>
Form CPacker::PackTenths(const Tenths* tenths, const float* values, size_t count)
{
    m_bytes.truncate(0);
    uint8_t* codes = m_bytes.extend(3 * count + 2);
    uint8_t* wideAt = codes + count;
    unsigned nextCode = kFirstWideCode;
    size_t others = 0, floats = 0;
    for (size_t j = 0; j < count; ++j) {
        const uint32_t t = tenths[j];
        const bool isWide = t >= kFirstWideCode;
        codes[j] = uint8_t(isWide ? nextCode : t);
        const uint16_t t16 = uint16_t(t);
        std::memcpy(wideAt, &t16, sizeof t16); // in vain unless wide
        wideAt += isWide ? sizeof t16 : 0;
        nextCode += isWide;
        floats += t >= kFirstFloatCode;
        others += t == kNoTenths;
    }
    const size_t wide = nextCode - kFirstWideCode;
    const size_t bytes8 = others == 0 && wide <= 0x100 - kFirstWideCode ? count + 2 * wide : kNever;
    const size_t bytes16 = floats <= 0x10000 - kFirstFloatCode ? 2 * count + 4 * floats : kNever;
    const size_t bytes32 = 4 * count;
    if (bytes8 <= bytes16 && bytes8 <= bytes32) {
        m_bytes.truncate(bytes8);
        return Codes8;
    }
    m_bytes.truncate(0);
    if (bytes16 <= bytes32) {
        PackCodes16(tenths, values, count, floats);
        return Codes16;
    }
    PackFloats(tenths, values, count);
    return Floats;
}

template <typename Tenths>
void CPacker::PackCodes16(const Tenths* tenths, const float* values, size_t count, size_t floats)
{
    uint8_t* codes = m_bytes.extend(2 * count + 4 * floats);
    uint8_t* floatAt = codes + 2 * count;
    unsigned nextCode = kFirstFloatCode;
    for (size_t j = 0; j < count; ++j) {
        uint16_t code = uint16_t(tenths[j]);
        if (tenths[j] >= kFirstFloatCode) {
            code = uint16_t(nextCode++);
            const float v = values ? values[j] : TenthsValue(tenths[j]);
            std::memcpy(floatAt, &v, sizeof v);
            floatAt += sizeof v;
        }
        std::memcpy(codes + j * sizeof code, &code, sizeof code);
    }
}

template <typename Tenths>
void CPacker::PackFloats(const Tenths* tenths, const float* values, size_t count)
{
    uint8_t* out = m_bytes.extend(4 * count);
    for (size_t j = 0; j < count; ++j) {
        const float v = values ? values[j] : TenthsValue(tenths[j]);
        std::memcpy(out + j * sizeof v, &v, sizeof v);
    }
}

} // namespace valuerows
