#pragma once

#include <cstddef>
#include <functional>

namespace varno::ostrel {

class CEntryTable;

// Told now and then how many bytes from the start of the data have been read for good, so
// that their memory can be given back.
using BytesDone = std::function<void(size_t offset)>;

// Reads the converter's own table format back: value lines start with a date and time
// (or a number of seconds), every other line is kept as text and may name columns. The
// converter's verbose rows (index, flags and names before the row) are read as well.
class CTextLogReader {
public:
    explicit CTextLogReader(CEntryTable& table) : m_table(table) {}
    void Read(const char* data, size_t size, const BytesDone& bytesDone = {});

private:
    int AnalyseTextLine(const char* line, const char* row, const char* end);

    CEntryTable& m_table;
};

// Reads number files: rows of numbers whose first two encode the time and whose last is
// the sum of all the others.
class CNumberLogReader {
public:
    explicit CNumberLogReader(CEntryTable& table) : m_table(table) {}
    void Read(const char* data, size_t size, const BytesDone& bytesDone = {});

    // Whether the first line of data (up to 2048 bytes are enough) is such a row.
    static bool FirstLineMatches(const char* data, size_t size);

private:
    CEntryTable& m_table;
};

} // namespace varno::ostrel
