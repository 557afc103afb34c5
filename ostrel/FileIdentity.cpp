#include <ostrel/FileIdentity.h>

#include <array>

namespace varno::ostrel {

namespace {

std::array<uint32_t, 256> makeTable()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

} // namespace

uint32_t Crc32NoInversion(const uint8_t* data, size_t size)
{
    static const std::array<uint32_t, 256> table = makeTable();
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

int ComputeFileIdentity(const uint8_t* first, size_t n)
{
    // The last 128 of the bytes read do not count; short files have no identity.
    const long long counted = static_cast<long long>(n) - 128;
    int identity = 0;
    if (counted >= 256)
        identity = int(Crc32NoInversion(first, 256) % 999) + 1;
    if (counted >= 1024)
        identity += int(Crc32NoInversion(first, 1024) % 999) * 1000 + 1000;
    return identity;
}

} // namespace varno::ostrel
