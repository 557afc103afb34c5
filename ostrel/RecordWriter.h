#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes data-log records the way an instrument puts them into its log memory: a length
// byte L (1..254), a type byte and L-1 payload bytes, numbers big-endian. The decoder of
// this library reads them back; the simulated instrument and the tests write them.
// Header-only so that programs can use it without linking the library.
namespace varno::ostrel::records {

enum : uint8_t {
    TypeFiller = 0,
    TypeText = 1,
    TypeFloats = 2,
    TypeHalfFloats = 3,
    TypeSignature = 4,
};

// Bits of a statistics type byte (high nibble not 0).
enum : uint8_t {
    StatChannel1 = 0x01,
    StatChannel2 = 0x02,
    StatChannel3 = 0x04,
    StatDirection = 0x08,
    StatA = 0x10,
    StatB = 0x20,
    StatD = 0x40,
    StatC = 0x80, // two bytes per channel
};

// Payload bytes that a statistics record of type t carries.
inline int statisticsPayloadSize(uint8_t t)
{
    const int channels = !!(t & StatChannel1) + !!(t & StatChannel2) + !!(t & StatChannel3);
    const int perChannel = !!(t & StatA) + !!(t & StatB) + 2 * !!(t & StatC) + !!(t & StatD);
    return !!(t & StatDirection) + channels * perChannel;
}

class Writer {
public:
    std::vector<uint8_t>& bytes() { return m_bytes; }
    const std::vector<uint8_t>& bytes() const { return m_bytes; }

    // A text line (type 1); texts longer than 253 bytes are cut.
    Writer& text(const std::string& line) { return record(TypeText, line.data(), line.size()); }

    // A filler block of total record length L (type 0).
    Writer& filler(uint8_t length)
    {
        std::string pad(length > 0 ? length - 1 : 0, '\0');
        return record(TypeFiller, pad.data(), pad.size());
    }

    // Single floats (type 2), at most 63.
    Writer& floats(const std::vector<float>& values)
    {
        std::string payload;
        for (float v : values) {
            uint32_t bits;
            static_assert(sizeof bits == sizeof v);
            __builtin_memcpy(&bits, &v, sizeof bits);
            appendBigEndian(payload, bits, 4);
        }
        return record(TypeFloats, payload.data(), payload.size());
    }

    // Raw 16-bit half-float words (type 3), at most 126.
    Writer& halfFloats(const std::vector<uint16_t>& words)
    {
        std::string payload;
        for (uint16_t w : words)
            appendBigEndian(payload, w, 2);
        return record(TypeHalfFloats, payload.data(), payload.size());
    }

    // A signature (type 4) with its time as calendar fields and the memory address.
    Writer& signature(uint8_t number, int year, int month, int day, int hour, int minute,
                      int second, uint32_t address)
    {
        std::string payload;
        payload += char(number);
        for (int field : {year % 100, month, day, hour, minute, second})
            payload += char(((field / 10) << 4) | (field % 10));
        appendBigEndian(payload, address, 4);
        return record(TypeSignature, payload.data(), payload.size());
    }

    // A statistics record of type t: quantities in tenths, per present channel in the
    // order A, B, C, D; direction in units of 1.5 degrees.
    struct Channel {
        uint8_t a = 0, b = 0;
        uint16_t c = 0;
        uint8_t d = 0;
    };
    Writer& statistics(uint8_t t, const Channel (&channels)[3], uint8_t direction = 0)
    {
        std::string payload;
        for (int ch = 0; ch < 3; ++ch) {
            if (!(t & (1 << ch)))
                continue;
            if (t & StatA) payload += char(channels[ch].a);
            if (t & StatB) payload += char(channels[ch].b);
            if (t & StatC) appendBigEndian(payload, channels[ch].c, 2);
            if (t & StatD) payload += char(channels[ch].d);
        }
        if (t & StatDirection)
            payload += char(direction);
        return record(t, payload.data(), payload.size());
    }

    // Any record: length byte, type byte, payload (cut to 253 bytes).
    Writer& record(uint8_t type, const char* payload, size_t size)
    {
        if (size > 253)
            size = 253;
        m_bytes.push_back(uint8_t(size + 1));
        m_bytes.push_back(type);
        m_bytes.insert(m_bytes.end(), payload, payload + size);
        return *this;
    }

    Writer& raw(std::initializer_list<uint8_t> bytes)
    {
        m_bytes.insert(m_bytes.end(), bytes);
        return *this;
    }

private:
    static void appendBigEndian(std::string& out, uint32_t value, int width)
    {
        for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
            out += char((value >> shift) & 0xFF);
    }

    std::vector<uint8_t> m_bytes;
};

} // namespace varno::ostrel::records
