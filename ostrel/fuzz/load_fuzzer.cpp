// Feeds arbitrary bytes through every reader of the library and every query of the
// entries they make.

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "DataStore.h"
#include "FileIdentity.h"
#include "LogDecoder.h"
#include "NumberFormat.h"
#include "TextReaders.h"

namespace {

void queryEverything(CDataStore& store)
{
    const int count = store.GetEntryCount();
    for (int i = -1; i <= count; ++i) {
        store.GetEntryText(i);
        store.GetColumnNames(i);
        store.GetEntryTime(i);
        store.GetValueByName(i, "v1");
        store.GetValueByName(i, "col_3");
        for (int j = -1; j <= store.GetValueCount(i); ++j)
            store.GetValue(i, j);
    }
    store.GetResultText();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ComputeFileIdentity(data, size < 2048 ? size : 2048);

    std::vector<uint8_t> buffer(data, data + size);
    CDataStore binary;
    CLogDecoder(binary.Table()).Decode(buffer.data(), buffer.size());
    queryEverything(binary);

    const char* text = reinterpret_cast<const char*>(data);
    CDataStore numbers;
    CNumberLogReader::FirstLineMatches(text, size);
    CNumberLogReader(numbers.Table()).Read(text, size);
    queryEverything(numbers);

    CDataStore log;
    CTextLogReader(log.Table()).Read(text, size);
    queryEverything(log);

    // The first line as a number format handed in by a user.
    const std::string firstLine(text, std::find(text, text + size, '\n'));
    CNumberFormat format;
    if (format.Set(firstLine)) {
        std::string out;
        for (double v : {0.0, -1.5, 1e300, 123456.789})
            format.Append(out, v);
    }
    return 0;
}
