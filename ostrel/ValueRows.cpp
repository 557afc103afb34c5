#include <ostrel/ValueRows.h>

#include <cstring>

namespace varno::ostrel::valuerows {

namespace {

constexpr uint32_t kMaxTenths = 0xFFFF;
constexpr uint32_t kNoTenths = 0x10000; // above every code
constexpr size_t kNever = size_t(-1);

// The tenths of v, or kNoTenths when v is not exactly what TenthsValue gives for any.
uint32_t tenthsOf(float v)
{
    if (!(v >= 0.0f && v <= TenthsValue(kMaxTenths)))
        return kNoTenths;
    const unsigned tenths = unsigned(double(v) * 10.0 + 0.5);
    const float back = TenthsValue(tenths);
    return std::memcmp(&back, &v, sizeof v) == 0 ? tenths : kNoTenths; // -0 is no tenths
}

// Value j of a row: from values where given, else what its tenths stand for.
template <typename Tenths>
float valueAt(const Tenths* tenths, const float* values, size_t j)
{
    return values ? values[j] : TenthsValue(tenths[j]);
}

template <typename Tenths>
void packCodes16(const Tenths* tenths, const float* values, size_t count, size_t floats, PodArray<uint8_t>& out)
{
    uint8_t* codes = out.extend(2 * count + 4 * floats);
    uint8_t* floatAt = codes + 2 * count;
    unsigned nextCode = kFirstFloatCode;
    for (size_t j = 0; j < count; ++j) {
        uint16_t code = uint16_t(tenths[j]);
        if (tenths[j] >= kFirstFloatCode) {
            code = uint16_t(nextCode++);
            const float v = valueAt(tenths, values, j);
            std::memcpy(floatAt, &v, sizeof v);
            floatAt += sizeof v;
        }
        std::memcpy(codes + j * sizeof code, &code, sizeof code);
    }
}

template <typename Tenths>
void packFloats(const Tenths* tenths, const float* values, size_t count, PodArray<uint8_t>& out)
{
    uint8_t* floatAt = out.extend(4 * count);
    for (size_t j = 0; j < count; ++j) {
        const float v = valueAt(tenths, values, j);
        std::memcpy(floatAt + j * sizeof v, &v, sizeof v);
    }
}

} // namespace

Form CPacker::Pack(const float* values, size_t count, PodArray<uint8_t>& out)
{
    m_tenths.resize(count);
    for (size_t j = 0; j < count; ++j)
        m_tenths[j] = tenthsOf(values[j]);
    return PackTenths(m_tenths.data(), values, count, out);
}

Form CPacker::Pack(const uint16_t* tenths, size_t count, PodArray<uint8_t>& out)
{
    return PackTenths(tenths, nullptr, count, out);
}

// values, where given, are the values of the row; tenths marks those that are no tenths.
// Most rows take one-byte codes: they are packed so straight away, and the counts that
// decide the form are taken on the way. The loop has no branches, since which values are
// wide hardly follows a pattern.
template <typename Tenths>
Form CPacker::PackTenths(const Tenths* tenths, const float* values, size_t count, PodArray<uint8_t>& out)
{
    const size_t start = out.size();
    uint8_t* codes = out.extend(3 * count + 2);
    uint8_t* wideAt = codes + count;
    unsigned nextCode = kFirstWideCode;
    size_t others = 0, floats = 0;
    for (size_t j = 0; j < count; ++j) {
        const uint32_t t = tenths[j];
        const unsigned isWide = t >= kFirstWideCode;
        const unsigned wideMask = 0u - isWide; // a select the compiler would make a branch
        codes[j] = uint8_t((nextCode & wideMask) | (t & ~wideMask));
        const uint16_t t16 = uint16_t(t);
        std::memcpy(wideAt, &t16, sizeof t16); // in vain unless wide
        wideAt += isWide * sizeof t16;
        nextCode += isWide;
        floats += t >= kFirstFloatCode;
        others += t == kNoTenths;
    }
    const size_t wide = nextCode - kFirstWideCode;
    const size_t bytes8 = others == 0 && wide <= 0x100 - kFirstWideCode ? count + 2 * wide : kNever;
    const size_t bytes16 = floats <= 0x10000 - kFirstFloatCode ? 2 * count + 4 * floats : kNever;
    const size_t bytes32 = 4 * count;
    if (bytes8 <= bytes16 && bytes8 <= bytes32) {
        out.truncate(start + bytes8);
        return Codes8;
    }
    out.truncate(start);
    if (bytes16 <= bytes32) {
        packCodes16(tenths, values, count, floats, out);
        return Codes16;
    }
    packFloats(tenths, values, count, out);
    return Floats;
}

} // namespace varno::ostrel::valuerows
