// Feeds arbitrary bytes to the text-log and number-file readers alone, into entry tables.

#include <cstddef>
#include <cstdint>

#include "ReadBack.h"
#include <ostrel/TextReaders.h>

using namespace varno::ostrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* text = reinterpret_cast<const char*>(data);
    CNumberLogReader::FirstLineMatches(text, size);

    CEntryTable numbers;
    CNumberLogReader(numbers).Read(text, size);
    varno::ostrel::fuzz::readBack(numbers);

    CEntryTable log;
    CTextLogReader(log).Read(text, size);
    varno::ostrel::fuzz::readBack(log);
    return 0;
}
