// Feeds arbitrary bytes to the data-log decoder alone, into an entry table.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include <ostrel/LogDecoder.h>
#include "ReadBack.h"

using namespace varno::ostrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CEntryTable table;
    std::vector<uint8_t> buffer(data, data + size);
    CLogDecoder(table).Decode(buffer.data(), buffer.size());
    const std::vector<varno::ostrel::fuzz::EntryCopy> first = varno::ostrel::fuzz::readBack(table);

    // A second file appends, and its decoder back-dates only its own entries (it may read
    // fewer: the format code that the first one found narrows the records it accepts).
    buffer.assign(data, data + size);
    CLogDecoder(table).Decode(buffer.data(), buffer.size());
    const std::vector<varno::ostrel::fuzz::EntryCopy> both = varno::ostrel::fuzz::readBack(table);
    varno::ostrel::fuzz::require(both.size() >= first.size());
    varno::ostrel::fuzz::require(std::equal(first.begin(), first.end(), both.begin()));
    return 0;
}
